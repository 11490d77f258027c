// Throughput and memory of the simulated adapter: a 1 GiB NAND chip read
// through func2/func1, blank (sparse image) and filled (dense image), in
// 128 KiB replies and in the engine's one-block replies; programming the
// chip through the bulk pipe; a 4 GiB blank chip to show that resident
// memory does not grow with the chip. Prints its figures; never fails on
// timing. Usage: bench_sim [folder for the chip images, default $TMPDIR]

#include "SimAdapterHost.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct CNandShape
{
    int pageSize = 2112;
    int pagesPerBlock = 64;
    int blocks = 8192;  // 1 GiB of data plus spare areas

    quint64 Pages() const { return quint64(pagesPerBlock) * blocks; }
    quint64 Bytes() const { return Pages() * quint64(pageSize); }
    int RowBytes() const
    {
        int count = 0;
        for (quint64 v = Pages(); v; v >>= 8)
            ++count;
        return count;
    }
};

long StatusKib(const char *field)
{
    QFile file("/proc/self/status");
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

QByteArray ArrayPacket(int code, const CNandShape &shape, quint64 row, int pages)
{
    QByteArray packet(20, '\0');
    packet[0] = char(code);
    packet[1] = char(2 + shape.RowBytes());
    for (int i = 0; i < shape.RowBytes(); ++i)
        packet[4 + i] = char(row >> (8 * i));
    packet[8] = char(shape.pageSize & 0xFF);
    packet[9] = char(shape.pageSize >> 8);
    packet[10] = char(pages & 0xFF);
    packet[11] = char((pages >> 8) + ((pages & 0xFF) ? 1 : 0));
    return packet;
}

bool StartChip(const CSimAdapterHost &host, const QString &dir, const QString &image, const CNandShape &shape)
{
    host.Close();
    WriteSimConfig(dir, QStringLiteral("[adapter]\nreenumerate_ms=0\n[nand]\npage_size=%1\npages_per_block=%2\n"
                                       "blocks=%3\nbad_blocks=\nimage=%4\n")
                            .arg(shape.pageSize)
                            .arg(shape.pagesPerBlock)
                            .arg(shape.blocks)
                            .arg(image));
    return host.Connect(CSimAdapterHost::FirmwareImage(0, 2));
}

// Reads the whole chip with commands of `pagesPerCommand` pages, each reply
// drained with func1 calls of `piece` bytes. Returns GB/s.
double ReadChip(const CSimAdapterHost &host, const CNandShape &shape, int pagesPerCommand, int piece,
                quint64 &checksum)
{
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    const int unit = host.PacketSize();
    quint64 bytes = 0;
    const auto start = Clock::now();
    for (quint64 row = 0; row < shape.Pages(); row += quint64(pagesPerCommand)) {
        const int pages = int(qMin<quint64>(quint64(pagesPerCommand), shape.Pages() - row));
        if (host.Send(0, ArrayPacket(0x27, shape, row, pages)) <= 0)
            return 0;
        const qint64 reply = (qint64(pages) * shape.pageSize + unit - 1) / unit * unit;
        for (qint64 left = reply; left > 0;) {
            const int got = host.Read(3, buffer.data(), int(qMin<qint64>(left, piece)));
            if (got <= 0)
                return 0;
            checksum += buffer[0] + buffer[size_t(got) - 1];
            left -= got;
            bytes += quint64(got);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return double(bytes) / seconds / 1e9;
}

// Programs the whole chip as the engine does: packet size x page size per
// command, streamed in one bulk transfer. Returns GB/s.
double ProgramChip(const CSimAdapterHost &host, const CNandShape &shape)
{
    const int unit = host.PacketSize();
    const int pagesPerCommand = unit;
    std::vector<uint8_t> data(size_t(pagesPerCommand) * size_t(shape.pageSize));
    quint64 bytes = 0;
    const auto start = Clock::now();
    for (quint64 row = 0; row < shape.Pages(); row += quint64(pagesPerCommand)) {
        for (size_t i = 0; i < data.size(); i += 64)
            data[i] = uint8_t(row + i);  // every page differs, every page is written
        const int pages = int(qMin<quint64>(quint64(pagesPerCommand), shape.Pages() - row));
        host.Send(0, ArrayPacket(0x1C, shape, row, pages));
        const int length = pages * shape.pageSize;
        host.Send(1, QByteArray::fromRawData(reinterpret_cast<const char *>(data.data()), length));
        bytes += quint64(length);
    }
    host.Command(CSimAdapterHost::Packet({0x32}, 1), 2, 3);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return double(bytes) / seconds / 1e9;
}

} // namespace

int main(int argc, char **argv)
{
    CSimAdapterHost host;
    if (!host.IsLoaded()) {
        std::fprintf(stderr, "cannot load the simulator: %s\n", qPrintable(host.ErrorString()));
        return 1;
    }
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir dir(base + "/bench_sim-XXXXXX");
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const long baselineKib = StatusKib("VmRSS:");
    std::printf("resident memory before the simulator works: %.1f MiB\n", baselineKib / 1024.0);

    const CNandShape shape;
    const QString image = dir.filePath("nand-1GiB.bin");
    quint64 checksum = 0;
    if (!StartChip(host, dir.path(), image, shape))
        return 1;
    std::printf("chip: %d-byte pages, %d pages per block, %d blocks = %.3f GB\n", shape.pageSize,
                shape.pagesPerBlock, shape.blocks, double(shape.Bytes()) / 1e9);
    std::printf("read, blank chip, 128 KiB replies (62 pages):   %6.2f GB/s\n", ReadChip(host, shape, 62, 131072, checksum));
    std::printf("read, blank chip, one block per reply:          %6.2f GB/s\n",
                ReadChip(host, shape, shape.pagesPerBlock, shape.pagesPerBlock * shape.pageSize, checksum));
    std::printf("program, 512 pages per command:                 %6.2f GB/s\n", ProgramChip(host, shape));
    std::printf("read, filled chip, 128 KiB replies (62 pages):  %6.2f GB/s\n", ReadChip(host, shape, 62, 131072, checksum));
    std::printf("read, filled chip, one block per reply:         %6.2f GB/s\n",
                ReadChip(host, shape, shape.pagesPerBlock, shape.pagesPerBlock * shape.pageSize, checksum));
    std::printf("resident memory after the 1 GiB chip: %.1f MiB (peak %.1f MiB)\n", StatusKib("VmRSS:") / 1024.0,
                StatusKib("VmHWM:") / 1024.0);
    host.Close();
    QFile::remove(image);

    CNandShape large;
    large.blocks = 32768;
    if (!StartChip(host, dir.path(), dir.filePath("nand-4GiB.bin"), large))
        return 1;
    std::printf("read, blank 4 GiB chip (%.3f GB), 128 KiB replies: %6.2f GB/s\n", double(large.Bytes()) / 1e9,
                ReadChip(host, large, 62, 131072, checksum));
    std::printf("resident memory after the 4 GiB chip: %.1f MiB (peak %.1f MiB)\n", StatusKib("VmRSS:") / 1024.0,
                StatusKib("VmHWM:") / 1024.0);
    std::printf("(checksum %llu)\n", static_cast<unsigned long long>(checksum));
    host.Close();
    return 0;
}
