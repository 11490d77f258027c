// The simulated adapter seen from the host: finding it, loading firmware and
// re-enumeration, identification and set-target replies, the fault switches,
// the trace and stats files, and configuration handling.

#include "SimAdapterHost.h"
#include "StderrCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t TypeMatching = 0x170640DD;
constexpr uint32_t TypeOtherNand = 0xDD400617;

QByteArray NandImage(int index) { return CSimAdapterHost::FirmwareImage(0, index); }
QByteArray SpiImage(int index) { return CSimAdapterHost::FirmwareImage(1, index); }

QByteArray UntaggedImage()
{
    QByteArray image = NandImage(2);
    image[5] = 'X';  // the first data record no longer starts with NVPX
    return image;
}

QByteArray IdentifyPacket() { return CSimAdapterHost::Packet({0x18, 0x00, 0x02, 0x00, 0x0A}, 9); }
QByteArray StatusPacket() { return CSimAdapterHost::Packet({0x12}, 1); }

} // namespace

class TestSimLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firmwareLoad_data();
    void firmwareLoad();
    void reenumerationTiming();
    void nandImageSwitch();
    void identification_data();
    void identification();
    void setTarget_data();
    void setTarget();
    void status_data();
    void status();
    void unplugAndReplug_data();
    void unplugAndReplug();
    void replyFailuresLoseTheirBytes();
    void noAdapter();
    void throttledLink();
    void traceAndStats();
    void configurationReload();
    void badConfiguration_data();
    void badConfiguration();
    void concurrentCallers();
    void configurationBesideTheLibrary();
    void cleanupTestCase();

private:
    QString Ini(const QString &adapter, const QString &module = "nand");
    bool Start(const QString &adapter, const QByteArray &firmware, const QString &module = "nand");
    uint32_t TypeCode();

    CSimAdapterHost m_host;
    QTemporaryDir m_dir;
    int m_images = 0;
};

void TestSimLink::initTestCase()
{
    QVERIFY2(m_host.IsLoaded(), qPrintable(m_host.ErrorString()));
    QVERIFY(m_dir.isValid());
}

// A small chip with its own image file, so test cases never share contents.
QString TestSimLink::Ini(const QString &adapter, const QString &module)
{
    const QString image = m_dir.filePath(QStringLiteral("chip-%1.bin").arg(++m_images));
    return QStringLiteral("[adapter]\nmodule=%1\nreenumerate_ms=0\n%2\n"
                          "[nand]\nblocks=16\nbad_blocks=\nimage=%3\n"
                          "[spi]\nsize=0x10000\nimage=%3\n")
        .arg(module, adapter, image);
}

bool TestSimLink::Start(const QString &adapter, const QByteArray &firmware, const QString &module)
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini(adapter, module));
    return m_host.Connect(firmware);
}

uint32_t TestSimLink::TypeCode()
{
    const QByteArray reply = m_host.Command(IdentifyPacket(), 8, 2);
    return reply.size() == 8 ? SimLE(reply, 4, 4) : 0xFFFFFFFFu;
}

void TestSimLink::firmwareLoad_data()
{
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");

    QByteArray longRecord = NandImage(2);
    longRecord[22 * 5] = 17;
    QByteArray badType = NandImage(2);
    badType[22 * 5 + 4] = 2;
    QByteArray endAtLimit = CSimAdapterHost::FirmwareImage(0, 2, 4097);
    QByteArray endBeyondLimit = CSimAdapterHost::FirmwareImage(0, 2, 4098);

    QTest::newRow("NAND image") << "" << NandImage(2) << 1 << 2;
    QTest::newRow("SPI image") << "" << SpiImage(3) << 1 << 2;
    QTest::newRow("unknown kind still loads") << "" << CSimAdapterHost::FirmwareImage(7, 0) << 1 << 2;
    QTest::newRow("untagged image still loads") << "" << UntaggedImage() << 1 << 2;
    QTest::newRow("4096 data records") << "" << endAtLimit << 1 << 2;
    QTest::newRow("4097 data records") << "" << endBeyondLimit << 0 << 0;
    QTest::newRow("record longer than 16") << "" << longRecord << 0 << 0;
    QTest::newRow("record type 2") << "" << badType << 0 << 0;
    QTest::newRow("null image") << "" << QByteArray() << 0 << 0;
    QTest::newRow("failing firmware") << "fail_firmware=true" << NandImage(2) << 0 << 0;
    QTest::newRow("no adapter") << "present=false" << NandImage(2) << 0 << 0;
}

void TestSimLink::firmwareLoad()
{
    QFETCH(QString, adapter);
    QFETCH(QByteArray, image);
    QFETCH(int, first);
    QFETCH(int, second);

    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini(adapter));
    m_host.Open();
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(image, 0), first);
    QCOMPARE(m_host.LoadFirmware(image, 1), second);
}

void TestSimLink::reenumerationTiming()
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini("reenumerate_ms=1500"));
    QCOMPARE(m_host.Open(), 1);  // the bare controller, before any firmware
    QCOMPARE(m_host.Send(0, StatusPacket()), -1);
    m_host.Close();

    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 0), 1);
    QCOMPARE(m_host.Open(), 0);
    int rounds = 0;
    while (!m_host.Open() && timer.elapsed() < 20000) {
        ++rounds;
        QThread::msleep(20);
    }
    QVERIFY(rounds > 0);
    QVERIFY2(timer.elapsed() >= 1500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(TypeCode(), TypeMatching);

    // The same image again: already running, no re-enumeration.
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 1), 2);
    QCOMPARE(m_host.Open(), 1);
}

// The board needs NAND image 1 while the application starts with image 2:
// identification answers the swapped code, the application loads the other
// image in a later attempt and the adapter then matches.
void TestSimLink::nandImageSwitch()
{
    QVERIFY(Start("nand_image=1", NandImage(2)));
    QCOMPARE(TypeCode(), TypeOtherNand);

    m_host.Close();
    QCOMPARE(m_host.Open(), 1);
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(1), 1), 1);
    QElapsedTimer timer;
    timer.start();
    while (!m_host.Open() && timer.elapsed() < 10000)
        QThread::msleep(10);
    QCOMPARE(TypeCode(), TypeMatching);
}

void TestSimLink::identification_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<uint>("serial");
    QTest::addColumn<uint>("type");

    QTest::newRow("NAND module, needed image") << "nand" << "nand_image=2" << NandImage(2) << 0x00A5C3u << TypeMatching;
    QTest::newRow("NAND module, other image") << "nand" << "nand_image=2" << NandImage(1) << 0x00A5C3u << TypeOtherNand;
    QTest::newRow("board needs image 1") << "nand" << "nand_image=1" << NandImage(1) << 0x00A5C3u << TypeMatching;
    QTest::newRow("board needs image 1, runs 2") << "nand" << "nand_image=1" << NandImage(2) << 0x00A5C3u << TypeOtherNand;
    QTest::newRow("SPI module, image 0") << "spi" << "" << SpiImage(0) << 0x0100A5C3u << TypeMatching;
    QTest::newRow("SPI module, image 4") << "spi" << "" << SpiImage(4) << 0x0100A5C3u << TypeMatching;
    QTest::newRow("SPI image 5 is unknown") << "spi" << "" << SpiImage(5) << 0x0100A5C3u << 0u;
    QTest::newRow("SPI image on a NAND module") << "nand" << "" << SpiImage(2) << 0x00A5C3u << TypeMatching;
    QTest::newRow("no module") << "none" << "" << NandImage(2) << 0xFF00A5C3u << TypeMatching;
    QTest::newRow("untagged image") << "nand" << "" << UntaggedImage() << 0x00A5C3u << 0u;
    QTest::newRow("unknown kind") << "nand" << "" << CSimAdapterHost::FirmwareImage(7, 1) << 0x00A5C3u << 0u;
    QTest::newRow("own serial, top byte replaced") << "spi" << "serial=0xAB123456" << SpiImage(1) << 0x01123456u
                                                   << TypeMatching;
}

void TestSimLink::identification()
{
    QFETCH(QString, module);
    QFETCH(QString, adapter);
    QFETCH(QByteArray, image);
    QFETCH(uint, serial);
    QFETCH(uint, type);

    QVERIFY(Start(adapter, image, module));
    const QByteArray reply = m_host.Command(IdentifyPacket(), 8, 2);
    QCOMPARE(reply.size(), 8);
    QCOMPARE(SimLE(reply, 0, 4), serial);
    QCOMPARE(SimLE(reply, 4, 4), type);
}

void TestSimLink::setTarget_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("adapter");
    QTest::addColumn<int>("family");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("NAND module, NAND target") << "nand" << "" << 0 << QByteArray("\x01\x01", 2);
    QTest::newRow("NAND module, SPI target") << "nand" << "" << 1 << QByteArray("\x00\x01", 2);
    QTest::newRow("SPI module, SPI target") << "spi" << "" << 1 << QByteArray("\x01\x01", 2);
    QTest::newRow("SPI module, NAND target") << "spi" << "" << 0 << QByteArray("\x00\x01", 2);
    QTest::newRow("no module, NAND target") << "none" << "" << 0 << QByteArray("\x00\x01", 2);
    QTest::newRow("no module, SPI target") << "none" << "" << 1 << QByteArray("\x00\x01", 2);
    QTest::newRow("rejected, fitting") << "nand" << "reject_set_target=true" << 0 << QByteArray("\x01\x00", 2);
    QTest::newRow("rejected, not fitting") << "spi" << "reject_set_target=true" << 0 << QByteArray("\x00\x00", 2);
}

void TestSimLink::setTarget()
{
    QFETCH(QString, module);
    QFETCH(QString, adapter);
    QFETCH(int, family);
    QFETCH(QByteArray, reply);

    QVERIFY(Start(adapter, NandImage(2), module));
    const QByteArray packet = CSimAdapterHost::Packet({0x10, module == "nand" ? 0 : 1, family, 1, 0, 2, 2}, 10);
    QCOMPARE(m_host.Command(packet, 2, 2), reply);
}

void TestSimLink::status_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("NAND chip seated") << "nand" << QByteArray("\x01\x00", 2);
    QTest::newRow("SPI chip seated") << "spi" << QByteArray("\x01\x00", 2);
    QTest::newRow("empty socket") << "none" << QByteArray("\x00\x00", 2);
}

void TestSimLink::status()
{
    QFETCH(QString, module);
    QFETCH(QByteArray, reply);

    QVERIFY(Start("", NandImage(2), module));
    QCOMPARE(m_host.Command(StatusPacket(), 2, 2), reply);
}

void TestSimLink::unplugAndReplug_data()
{
    QTest::addColumn<int>("replugMs");
    QTest::newRow("comes back") << 300;
    QTest::newRow("stays away") << 0;
}

void TestSimLink::unplugAndReplug()
{
    QFETCH(int, replugMs);

    QVERIFY(Start(QStringLiteral("unplug_after_commands=3\nreplug_ms=%1").arg(replugMs), NandImage(2)));
    QCOMPARE(m_host.Command(StatusPacket(), 2, 2).size(), 2);
    QVERIFY(m_host.Send(0, StatusPacket()) > 0);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(m_host.Send(0, StatusPacket()), -1);  // the third command pulls the plug
    QCOMPARE(m_host.Reply(2, 2), QByteArray());
    QCOMPARE(m_host.Send(1, QByteArray(64, 'x')), -1);
    QCOMPARE(m_host.Open(), 0);

    if (replugMs == 0) {
        QThread::msleep(400);
        QCOMPARE(m_host.Open(), 0);
        QCOMPARE(m_host.LoadFirmware(NandImage(2), 1), 0);
        return;
    }
    while (!m_host.Open() && timer.elapsed() < 10000)
        QThread::msleep(10);
    QVERIFY(timer.elapsed() >= replugMs);
    // Power was lost: no firmware runs until the host loads it again.
    QCOMPARE(m_host.Send(0, StatusPacket()), -1);
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 1), 1);
    QVERIFY(m_host.Connect(NandImage(2)));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(m_host.Command(StatusPacket(), 2, 2).size(), 2);
}

// Every third read fails and its bytes are lost, so the pieces after it keep
// their place in the reply, as the worker's address bookkeeping expects.
void TestSimLink::replyFailuresLoseTheirBytes()
{
    QVERIFY(Start("reply_fail_every=3", NandImage(2)));
    const QByteArray readId = CSimAdapterHost::Packet({0x29, 0x01}, 6);
    QVERIFY(m_host.Send(0, readId) > 0);
    QCOMPARE(m_host.Reply(3, 2), QByteArray("\xEC\xF1", 2));
    QCOMPARE(m_host.Reply(3, 2), QByteArray("\x00\x95", 2));
    QCOMPARE(m_host.Reply(3, 2), QByteArray());  // third read fails
    QCOMPARE(m_host.Reply(3, 2), QByteArray());  // nothing left: 41 00 were lost
    QVERIFY(m_host.Send(0, readId) > 0);
    QCOMPARE(m_host.Reply(3, 6), QByteArray("\xEC\xF1\x00\x95\x41\x00", 6));
    QVERIFY(m_host.Send(0, readId) > 0);
    QCOMPARE(m_host.Reply(3, 6), QByteArray());  // the sixth read
}

void TestSimLink::noAdapter()
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini("present=false\npacket_size=64"));
    QCOMPARE(m_host.Open(), 0);
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 0), 0);
    QCOMPARE(m_host.Send(0, StatusPacket()), -1);
    QCOMPARE(m_host.Reply(2, 2), QByteArray());
    QCOMPARE(m_host.PacketSize(), 64);  // never 0: the host divides by it
}

// 8 Mbit/s: 256 KiB of read data cannot arrive in less than about 262 ms.
void TestSimLink::throttledLink()
{
    QVERIFY(Start("link_mbps=8", NandImage(2)));
    QCOMPARE(m_host.PacketSize(), 512);
    // 0x27: 2 column + 1 row cycles, page 2112, 124 pages (0x7C, 0x01)
    const QByteArray read = CSimAdapterHost::Packet({0x27, 3, 0, 0, 0, 0, 0, 0, 0x40, 0x08, 0x7C, 0x01});
    QVERIFY(m_host.Send(0, read) > 0);
    QElapsedTimer timer;
    timer.start();
    qint64 total = 0;
    for (;;) {
        const QByteArray piece = m_host.Reply(3, 65536);
        if (piece.isEmpty())
            break;
        total += piece.size();
    }
    QCOMPARE(total, qint64(124 * 2112 + 256));  // padded to whole packets
    QVERIFY2(timer.elapsed() >= 240, qPrintable(QString::number(timer.elapsed())));
}

void TestSimLink::traceAndStats()
{
    const QString trace = m_dir.filePath("trace.txt");
    const QString stats = m_dir.filePath("stats.txt");
    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini(QStringLiteral("trace=%1\nstats=%2").arg(trace, stats)));
    QCOMPARE(m_host.Open(), 1);
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 0), 1);
    QCOMPARE(m_host.Open(), 1);
    QCOMPARE(m_host.Send(0, StatusPacket()), 1);
    QCOMPARE(m_host.Reply(2, 2).size(), 2);
    QCOMPARE(m_host.Send(0, CSimAdapterHost::Packet({0x36, 0x01}, 2)), 2);
    QCOMPARE(m_host.Send(1, QByteArray(100, 'x')), 100);
    QCOMPARE(m_host.Reply(3, 512), QByteArray());
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(UntaggedImage(), 1), 1);

    QFile file(trace);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {"OPEN 1", "CLOSE", "FW 0 2 0 1", "OPEN 1", "CMD 12", "READ 2 2",
                                  "CMD 36 01", "DATA 100", "READ 3 512", "CLOSE", "FW - - 1 1"};
    QCOMPARE(lines, expected);

    const auto counters = ReadSimStats(stats);
    QCOMPARE(counters.value("commands"), 2ull);
    QCOMPARE(counters.value("bytes_read"), 2ull);
    QCOMPARE(counters.value("stray_data_bytes"), 100ull);
    QCOMPARE(counters.value("empty_reads"), 1ull);
    QCOMPARE(counters.value("firmware_loads"), 1ull);
}

void TestSimLink::configurationReload()
{
    QVERIFY(Start("", NandImage(2), "nand"));
    QCOMPARE(m_host.Command(IdentifyPacket(), 8, 2).at(3), '\x00');

    // Same file, same contents: the adapter keeps running its firmware.
    m_host.Close();
    QCOMPARE(m_host.Open(), 1);
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 1), 2);

    // Same file, new contents: another adapter is plugged in.
    const QString path = QString::fromLocal8Bit(qgetenv("XRUSB_SIM"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(Ini("", "spi").toUtf8());
    file.close();
    QCOMPARE(m_host.Open(), 1);
    m_host.Close();
    QCOMPARE(m_host.LoadFirmware(NandImage(2), 1), 1);
    QVERIFY(m_host.Connect(NandImage(2)));
    QCOMPARE(m_host.Command(IdentifyPacket(), 8, 2).at(3), '\x01');

    // While the adapter is open a new configuration waits for the next open.
    WriteSimConfig(m_dir.path(), Ini("", "none"));
    QCOMPARE(m_host.Open(), 1);
    QCOMPARE(m_host.Command(IdentifyPacket(), 8, 2).at(3), '\x01');
    m_host.Close();
    QVERIFY(m_host.Connect(NandImage(2)));
    QCOMPARE(m_host.Command(IdentifyPacket(), 8, 2).at(3), '\xFF');
}

void TestSimLink::badConfiguration_data()
{
    QTest::addColumn<QString>("ini");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("packetSize");

    QTest::newRow("valid") << "[adapter]\npacket_size=64 ; full speed\n" << "" << 64;
    QTest::newRow("unknown key") << "[adapter]\ncolour=blue\n" << "unknown key \"colour\" in [adapter]" << 512;
    QTest::newRow("unknown section") << "[gadget]\na=1\nb=2\n" << "unknown section [gadget]" << 512;
    QTest::newRow("key before any section") << "packet_size=64\n" << "outside a section" << 512;
    QTest::newRow("bad packet size") << "[adapter]\npacket_size=100\n" << "packet_size = \"100\" is not valid" << 512;
    QTest::newRow("not key=value") << "[adapter]\njust words\npacket_size=64\n" << "not a key=value line" << 64;
    QTest::newRow("broken header") << "[adapter\npacket_size=64\n" << "section header without ']'" << 512;
    QTest::newRow("bad boolean") << "[adapter]\npresent=maybe\n" << "present = \"maybe\"" << 512;
    QTest::newRow("bad NAND ID") << "[nand]\nid=EC G1\n" << "[nand] id" << 512;
    QTest::newRow("page size too small") << "[nand]\npage_size=12\n" << "[nand] page_size" << 512;
    QTest::newRow("three chip enables") << "[nand]\nchip_enables=3\n" << "[nand] chip_enables" << 512;
    QTest::newRow("bad block beyond the chip") << "[nand]\nblocks=64\nbad_blocks=5,99\n" << "bad block 99" << 512;
    QTest::newRow("chip above 1 TiB") << "[nand]\npage_size=65535\npages_per_block=4096\nblocks=1048576\n"
                                      << "above 1 TiB" << 512;
    QTest::newRow("worn block without count") << "[nand]\nworn_blocks=7\n" << "[nand] worn_blocks" << 512;
    QTest::newRow("weak bit 9") << "[nand]\nweak_bits=100:9\n" << "[nand] weak_bits" << 512;
    QTest::newRow("model too long") << "[nand]\nonfi_model=ABCDEFGHIJKLMNOPQRSTUVWXYZ\n" << "onfi_model" << 512;
    QTest::newRow("AT45 page of 300") << "[spi]\nkind=at45\npage_size=300\n" << "pages of 256, 264, 512, 528, 1024 or 1056"
                                      << 512;
    QTest::newRow("AT45 too many 264-byte pages") << "[spi]\nkind=at45\npage_size=264\nsize=17301504\n"
                                                  << "page count of a real density" << 512;
    QTest::newRow("SPI size not a power of two") << "[spi]\nsize=3000\n" << "not a power of two" << 512;
    QTest::newRow("binary noise") << QString::fromLatin1("\x01\x02\xFE[[\n=\n") << "" << 512;
}

void TestSimLink::badConfiguration()
{
    QFETCH(QString, ini);
    QFETCH(QString, message);
    QFETCH(int, packetSize);

    m_host.Close();
    CStderrCapture capture;
    const QString image = m_dir.filePath(QStringLiteral("chip-%1.bin").arg(++m_images));
    WriteSimConfig(m_dir.path(), ini + QStringLiteral("\n[nand]\nimage=%1\n").arg(image));
    QCOMPARE(m_host.Open(), 1);
    const QStringList lines = capture.Stop();
    QCOMPARE(m_host.PacketSize(), packetSize);
    if (QTest::currentDataTag() == QLatin1String("binary noise")) {
        QVERIFY(!lines.isEmpty());
    } else if (message.isEmpty()) {
        QCOMPARE(lines, QStringList());
    } else {
        QCOMPARE(lines.size(), 1);  // one clear message per problem
        QVERIFY2(lines.first().startsWith("xrusb: ") && lines.first().contains(message), qPrintable(lines.first()));
    }
    m_host.Close();
}

void TestSimLink::concurrentCallers()
{
    const QString stats = m_dir.filePath("concurrent.txt");
    QVERIFY(Start(QStringLiteral("stats=%1").arg(stats), NandImage(2)));
    constexpr int Threads = 4;
    constexpr int Commands = 250;
    std::atomic<int> sent{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < Threads; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < Commands; ++i) {
                if (m_host.Send(0, StatusPacket()) > 0)
                    ++sent;
                uint8_t reply[2];
                m_host.Read(2, reply, 2);
                m_host.PacketSize();
            }
        });
    for (std::thread &thread : threads)
        thread.join();
    m_host.Close();
    QCOMPARE(sent.load(), Threads * Commands);
    QCOMPARE(ReadSimStats(stats).value("commands"), qulonglong(Threads * Commands));
}

// Without XRUSB_SIM the library reads xrusb-sim.ini from its own folder, else
// runs on built-in defaults. A copy of the library in a folder of its own is
// a second, independent instance.
void TestSimLink::configurationBesideTheLibrary()
{
    const QString folder = m_dir.filePath("dll");
    QVERIFY(QDir().mkpath(folder));
    const QString copy = folder + "/libxrusb.so";
    QVERIFY(QFile::copy(CSimAdapterHost::DefaultLibraryPath(), copy));
    const QString ini = folder + "/xrusb-sim.ini";
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(Ini("packet_size=64", "spi").toUtf8());
    file.close();

    const QByteArray saved = qgetenv("XRUSB_SIM");
    qunsetenv("XRUSB_SIM");
    {
        CSimAdapterHost beside(copy);
        QVERIFY2(beside.IsLoaded(), qPrintable(beside.ErrorString()));
        QVERIFY(beside.Connect(SpiImage(0)));
        QCOMPARE(beside.PacketSize(), 64);
        QCOMPARE(beside.Command(IdentifyPacket(), 8, 2).at(3), '\x01');
        beside.Close();
        QVERIFY(QFile::remove(ini));
        QCOMPARE(beside.Open(), 1);  // the defaults: a NAND module on a high-speed link
        QCOMPARE(beside.PacketSize(), 512);
        beside.Close();
    }
    qputenv("XRUSB_SIM", saved);
}

// The library outlives the test's folder: leave it with a configuration that
// writes nothing there at exit.
void TestSimLink::cleanupTestCase()
{
    m_host.Close();
    WriteSimConfig(m_dir.path(), Ini(""));
    m_host.Open();
    m_host.Close();
}

QTEST_GUILESS_MAIN(TestSimLink)
#include "tst_simlink.moc"
