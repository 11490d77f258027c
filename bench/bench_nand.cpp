// The NAND engine's read and verify of a 1 GiB chip on the simulated adapter,
// through the real worker thread and message path into a file-backed buffer,
// against `cp` of the chip's image file on the same machine in the same run;
// the resident memory while the read runs; and, for where the time goes, the
// simulator alone (func2/func1 with one-block replies, no worker).
// Prints its figures; never fails on timing.
// Usage: bench_nand [folder for the files, default $TMPDIR] [blocks, default 8192] [runs, default 3]

#include "DeviceDatabase.h"
#include "FileMemoryNode.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "SimAdapterHost.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

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

// Runs the event loop, as the window does (no polling sleeps), until the
// frame reports the end of what; false after the time-out.
bool RunUntilEnd(COperationFrame &frame, const QString &what, int timeoutMs = 600000)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(&frame, &COperationFrame::ended, &loop, [&](const QString &end) {
        if (end == what) {
            done = true;
            loop.quit();
        }
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    return done;
}

void Sync()
{
    QProcess::execute("sync", {});
}

// A dense image of the chip (a real dump is dense), written in pieces.
bool WriteDenseImage(const QString &path, const CSimNand &chip)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::vector<uint8_t> piece(chip.BlockBytes());
    uint32_t state = 0x12345678;
    for (uint64_t block = 0; block < chip.ChipBytes() / chip.BlockBytes(); ++block) {
        for (size_t i = 0; i + 4 <= piece.size(); i += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            std::memcpy(&piece[i], &state, 4);
        }
        std::memset(&piece[2048], 0xFF, 6); // every block good
        if (file.write(reinterpret_cast<const char *>(piece.data()), qint64(piece.size())) != qint64(piece.size()))
            return false;
    }
    return true;
}

double TimeCp(const QString &from, const QString &to)
{
    QElapsedTimer timer;
    timer.start();
    const int rc = QProcess::execute("cp", {from, to});
    const double seconds = timer.nsecsElapsed() / 1e9;
    return rc == 0 ? seconds : -1;
}

// Samples the resident memory while an operation runs.
struct CMemoryWatch
{
    long peakKib = 0;
    QTimer timer;
    CMemoryWatch()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { peakKib = std::max(peakKib, StatusKib("VmRSS:")); });
        timer.start(20);
    }
};

// The simulator alone: func2/func1 with one block per command, as the
// worker asks, no threads and no messages.
double RawSimSeconds(const CSimNand &chip)
{
    CSimAdapterHost host;
    if (!host.IsLoaded() || !host.Open())
        return -1;
    std::vector<uint8_t> buffer(chip.BlockBytes());
    const uint64_t blocks = chip.ChipBytes() / chip.BlockBytes();
    int rowBytes = 0;
    for (uint64_t pages = blocks * uint64_t(chip.pagesPerBlock); pages; pages >>= 8)
        ++rowBytes;
    QElapsedTimer timer;
    timer.start();
    for (uint64_t block = 0; block < blocks; ++block) {
        const QByteArray packet = ArrayPacketBytes(0x27, 2, rowBytes, uint32_t(block * uint64_t(chip.pagesPerBlock)),
                                                   chip.pageSize, chip.pagesPerBlock);
        if (host.Send(0, packet) <= 0 || host.Read(3, buffer.data(), int32_t(buffer.size())) <= 0)
            return -1;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    host.Close();
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    CSimNand chip;
    chip.blocks = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 8192;
    QTemporaryDir dir(base + "/bench_nand-XXXXXX");
    if (!dir.isValid() || chip.blocks <= 0) {
        std::fprintf(stderr, "usage: bench_nand [folder] [blocks] [runs]\n");
        return 1;
    }
    std::printf("chip: %d-byte pages, %d pages per block, %d blocks = %.3f GB\n", chip.pageSize, chip.pagesPerBlock,
                chip.blocks, double(chip.ChipBytes()) / 1e9);
    std::printf("resident memory at start: %.1f MiB\n", StatusKib("VmRSS:") / 1024.0);

    CNandRig rig(dir.path());
    if (!WriteDenseImage(rig.ImagePath(), chip)) {
        std::fprintf(stderr, "cannot write the chip image\n");
        return 1;
    }
    // The machine is shared: every figure is the best of a few runs, each
    // started on a disk with nothing left to write back.
    const int Runs = argc > 3 ? std::max(1, QString::fromLocal8Bit(argv[3]).toInt()) : 3;
    const QString copy = dir.filePath("cp-copy.bin");
    double cpSeconds = 1e9;
    for (int run = 0; run < Runs; ++run) {
        Sync();
        const double seconds = TimeCp(rig.ImagePath(), copy);
        QFile::remove(copy);
        if (seconds > 0)
            cpSeconds = std::min(cpSeconds, seconds);
    }

    if (!rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP")) {
        std::fprintf(stderr, "%s\n", qPrintable(rig.Error()));
        return 1;
    }
    CNandProgrammer *engine = rig.Engine();
    double readSeconds = 1e9;
    long readPeakKib = 0;
    bool readSame = true;
    for (int run = 0; run < Runs; ++run) {
        const QString readPath = dir.filePath(QStringLiteral("read-%1.bin").arg(run));
        rig.frame.saveAnswers << readPath;
        Sync();
        CMemoryWatch watch;
        QElapsedTimer timer;
        timer.start();
        engine->startReadOp(0, chip.ChipBytes(), 'A');
        if (RunUntilEnd(rig.frame, "read"))
            readSeconds = std::min(readSeconds, timer.nsecsElapsed() / 1e9);
        readPeakKib = std::max({readPeakKib, watch.peakKib, StatusKib("VmRSS:")});
        rig.frame.WaitUntilQuiet(600000); // the source scan after the read
        readSame = readSame && engine->mainBuffer()->GetSize() == chip.ChipBytes();
        if (run > 0)
            QFile::remove(dir.filePath(QStringLiteral("read-%1.bin").arg(run - 1)));
    }

    double verifySeconds = 1e9;
    for (int run = 0; run < Runs; ++run) {
        Sync();
        QElapsedTimer timer;
        timer.start();
        engine->startReadOp(0, chip.ChipBytes(), 'B');
        if (RunUntilEnd(rig.frame, "verify"))
            verifySeconds = std::min(verifySeconds, timer.nsecsElapsed() / 1e9);
    }
    const bool verified = rig.frame.log.count("Compare data OK") == Runs && rig.frame.stops == 0;
    rig.Stop();
    const double rawSeconds = RawSimSeconds(chip);

    const double gb = double(chip.ChipBytes()) / 1e9;
    std::printf("best of %d runs\n", Runs);
    std::printf("cp of the chip image:                 %7.3f s  (%.2f GB/s)\n", cpSeconds, gb / cpSeconds);
    std::printf("engine read into a file buffer:       %7.3f s  (%.2f GB/s)  %.2f x cp  %s\n", readSeconds,
                gb / readSeconds, readSeconds / cpSeconds, readSame ? "size ok" : "SIZE WRONG");
    std::printf("engine verify against the buffer:     %7.3f s  (%.2f GB/s)  %.2f x cp  %s\n", verifySeconds,
                gb / verifySeconds, verifySeconds / cpSeconds, verified ? "compare ok" : "COMPARE FAILED");
    std::printf("simulator alone, one block per reply: %7.3f s  (%.2f GB/s)\n", rawSeconds, gb / rawSeconds);
    std::printf("resident memory: peak during the reads %.1f MiB, process peak %.1f MiB\n", readPeakKib / 1024.0,
                StatusKib("VmHWM:") / 1024.0);
    CNandRig::ReleaseSimulator(dir.path());
    return 0;
}
