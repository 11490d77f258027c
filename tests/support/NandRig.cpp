#include "NandRig.h"

#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "NandProgrammer.h"
#include "SimAdapterHost.h"
#include "UsbLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>

namespace {

QString HexLine(const QString &key, uint64_t value)
{
    return QStringLiteral("%1=\"%2h\"").arg(key, QString::number(value, 16));
}

} // namespace

QString CSimNand::DeviceLine(const QString &name, int ceCount, const QString &idText) const
{
    QStringList parts;
    parts << QStringLiteral("Name=\"%1\"").arg(name) << QStringLiteral("MFG=\"SIM\"");
    const QStringList idBytes = (idText.isEmpty() ? id : idText).split(' ', Qt::SkipEmptyParts);
    for (int i = 0; i < idBytes.size() && i < 5; ++i)
        parts << QStringLiteral("ID%1=\"%2h\"").arg(i + 1).arg(idBytes[i].toLower());
    parts << HexLine("size", ChipBytes()) << HexLine("PageSize", pageSize) << HexLine("BlockSize", pagesPerBlock);
    parts << QStringLiteral("CE=\"%1\"").arg(ceCount > 0 ? ceCount : chipEnables);
    return parts.join(',');
}

CNandRig::CNandRig(const QString &dir)
    : m_dir(dir)
{
    static int rigs = 0;
    m_image = QDir(m_dir).filePath(QStringLiteral("chip-%1.bin").arg(++rigs));
}

CNandRig::~CNandRig()
{
    Stop();
}

QString CNandRig::NewPath(const QString &stem)
{
    static int files = 0; // names stay unique across the rigs of a process
    return QDir(m_dir).filePath(QStringLiteral("%1-%2.bin").arg(stem).arg(++files));
}

bool CNandRig::Start(const CSimNand &chip, const QStringList &deviceLines, const QString &target)
{
    Stop();
    static int starts = 0;
    ++starts;
    m_trace = QDir(m_dir).filePath(QStringLiteral("trace-%1.txt").arg(starts));
    m_stats = QDir(m_dir).filePath(QStringLiteral("stats-%1.txt").arg(starts));
    WriteSimConfig(m_dir, QStringLiteral("[adapter]\nmodule=nand\nreenumerate_ms=0\npacket_size=%1\ntrace=%2\nstats=%3\n%4\n"
                                         "[nand]\nid=%5\npage_size=%6\npages_per_block=%7\nblocks=%8\n"
                                         "chip_enables=%9\nbad_blocks=%10\nimage=%11\n%12\n")
                              .arg(chip.packetSize)
                              .arg(m_trace, m_stats, chip.adapterExtra, chip.id)
                              .arg(chip.pageSize)
                              .arg(chip.pagesPerBlock)
                              .arg(chip.blocks)
                              .arg(chip.chipEnables)
                              .arg(chip.badBlocks, m_image, chip.nandExtra));
    if (!Usb::LoadLibrary()) {
        m_error = Usb::LoadError();
        return false;
    }

    DeleteAll();
    auto family = std::make_unique<CDeviceFamilyNand>();
    for (const QString &line : deviceLines) {
        if (!family->AddLine(line)) {
            m_error = "device line refused: " + line;
            return false;
        }
    }
    DeviceFamilies().push_back(std::move(family));
    auto *device = Device(target);
    if (!device) {
        m_error = "no device " + target;
        return false;
    }
    SetCurrentDevice(device);

    m_engine = std::make_unique<CNandProgrammer>(device);
    frame.Attach(m_engine.get());
    m_engine->start();
    if (!frame.WaitForReady(readyTimeoutMs)) {
        m_error = "the adapter never became ready";
        return false;
    }
    return frame.WaitUntilQuiet();
}

void CNandRig::Stop()
{
    m_engine.reset();
    // Replies the worker sent before it ended reach the frame now and are
    // dropped there, not handed to the next engine.
    QCoreApplication::sendPostedEvents(&frame);
    frame.ready = false;
}

void CNandRig::ReleaseSimulator(const QString &dir)
{
    WriteSimConfig(dir, QStringLiteral("[adapter]\nreenumerate_ms=0\n[nand]\nblocks=1\nbad_blocks=\nimage=%1\n")
                            .arg(QDir(dir).filePath("released.bin")));
    Usb::Open();
    Usb::Close();
}

CDeviceItemNand *CNandRig::Device(const QString &name) const
{
    return dynamic_cast<CDeviceItemNand *>(FindByName(name));
}

QByteArray CNandRig::ReadImage() const
{
    return ReadFile(m_image);
}

bool CNandRig::PatchErased(uint64_t offset, const QByteArray &bytes) const
{
    constexpr uint64_t FsBlock = 4096;
    const uint64_t start = offset / FsBlock * FsBlock;
    const uint64_t end = (offset + uint64_t(bytes.size()) + FsBlock - 1) / FsBlock * FsBlock;
    QByteArray region(qsizetype(end - start), char(0xFF));
    region.replace(qsizetype(offset - start), bytes.size(), bytes);
    QFile file(m_image);
    if (!file.open(QIODevice::ReadWrite) || !file.seek(qint64(start)))
        return false;
    return file.write(region) == region.size();
}

QStringList CNandRig::TraceLines(int from) const
{
    QFile file(m_trace);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    return lines.mid(from);
}

QStringList CNandRig::Commands(int from) const
{
    QStringList commands;
    for (const QString &line : TraceLines(from)) {
        if (line.startsWith("CMD "))
            commands << line;
    }
    return commands;
}

QMap<QString, qulonglong> CNandRig::Stats() const
{
    return ReadSimStats(m_stats);
}

QString TraceHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QByteArray ArrayPacketBytes(int code, int columnBytes, int rowBytes, uint32_t row, int pageSize, int pages)
{
    QByteArray packet(20, '\0');
    packet[0] = char(code);
    packet[1] = char(columnBytes + rowBytes);
    for (int i = 0; i < rowBytes; ++i)
        packet[2 + columnBytes + i] = char(row >> (8 * i));
    packet[8] = char(pageSize & 0xFF);
    packet[9] = char(pageSize >> 8);
    packet[10] = char(pages & 0xFF);
    packet[11] = char((pages >> 8) + ((pages & 0xFF) ? 1 : 0));
    return packet;
}

QByteArray MakeImage(const CSimNand &chip, uint64_t bytes, uint32_t seed, const QList<int> &badBlocks)
{
    QByteArray image(qsizetype(bytes), '\0');
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    int dataBytes = 1;
    while (dataBytes * 2 <= chip.pageSize)
        dataBytes *= 2;
    const uint64_t blockBytes = chip.BlockBytes();
    for (uint64_t block = 0; block * blockBytes + uint64_t(dataBytes) + 6 <= bytes; ++block) {
        char *spare = image.data() + block * blockBytes + uint64_t(dataBytes);
        std::fill(spare, spare + 6, char(0xFF));
        if (badBlocks.contains(int(block)))
            spare[0] = 0;
    }
    return image;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
