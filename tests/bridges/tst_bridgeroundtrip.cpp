// Real programmers end to end, without the hardware: the SPI engine on its
// worker thread drives dll/libxrusb.so, which drives a serial programmer
// emulated on a pseudo-terminal, a CH341A faked at its USB transfers or
// spidev faked at its ioctls, each in front of the bus-level chip model.
// For each bridge and part: detection, reads at the bottom and the top of
// the part (the top of a 32 MiB part lies above the 3-byte address range),
// erase and blank check, program and verify of a window at the top. Then
// what an operator meets when things go wrong: a programmer pulled during a
// read (and plugged back), one that never answers, one that is not there.

#include "BridgeRig.h"
#include "DeviceDatabase.h"
#include "SimAdapterHost.h"
#include "DeviceItemSPIFlash.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {

CDeviceItemSPIFlash *Entry(const QString &name)
{
    return dynamic_cast<CDeviceItemSPIFlash *>(FindByName(name));
}

QByteArray RandomBytes(qsizetype count, quint32 seed)
{
    QByteArray bytes(count, '\0');
    QRandomGenerator random(seed);
    random.fillRange(reinterpret_cast<quint32 *>(bytes.data()), count / 4);
    return bytes;
}

// The bus-level model of the part a device entry describes.
xrsim::CSpiConfig ChipOf(const CDeviceItemSPIFlash &device, bool eeprom)
{
    xrsim::CSpiConfig chip;
    chip.size = device.m_size;
    if (eeprom) {
        chip.kind = xrsim::ESpiKind::Eeprom;
        chip.id = {0xFF, 0xFF, 0xFF};
        chip.sfdp = false;
        chip.pageSize = device.m_pageSize;
    } else {
        chip.id = {device.m_id[0], device.m_id[1], device.m_id[2]};
    }
    return chip;
}

bool Contains(const QStringList &lines, const QString &part)
{
    for (const QString &line : lines)
        if (line.contains(part, Qt::CaseInsensitive))
            return true;
    return false;
}

} // namespace

Q_DECLARE_METATYPE(EBridgeKind)

class TestBridgeRoundTrip : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSpiSimSession> m_session;
    std::unique_ptr<CBridgeRig> m_rig;
    int m_connects = 0;
    int m_disconnects = 0;

    COperationFrame &Window() { return *m_session->frame; }
    CSpiProgrammer &Engine() { return *m_session->engine; }

    // Builds the engine and starts its worker without waiting for the adapter.
    void Launch(CDeviceItemSPIFlash *device)
    {
        m_session->Stop();
        m_connects = m_disconnects = 0;
        m_session->frame = std::make_unique<COperationFrame>();
        m_session->engine = std::make_unique<CSpiProgrammer>(device);
        m_session->frame->Attach(m_session->engine.get());
        connect(m_session->engine.get(), &CProgrammer::connectionChanged, m_session->frame.get(),
                [this](bool up) { ++(up ? m_connects : m_disconnects); });
        m_session->engine->start();
    }

    // Reads [address, address + length) into a cleared buffer.
    QByteArray ReadBack(uint64_t address, uint64_t length)
    {
        Engine().buffer(0)->Fill();
        if (Engine().startReadOp(address, length, 'A') != 'A' || !Window().WaitForCode('A'))
            return {};
        return m_session->BufferBytes().mid(qsizetype(address), qsizetype(length));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY2(Usb::LoadLibrary(), qPrintable(Usb::LoadError()));
        CSpiSimSession::AddBundledFamily();
        m_session = std::make_unique<CSpiSimSession>(m_dir.path());
        m_rig = std::make_unique<CBridgeRig>(m_dir.path());
        // No simulator configuration: the bridges are chosen by the programmer line alone.
        qunsetenv("XRUSB_SIM");
    }
    void cleanupTestCase()
    {
        m_session.reset();
        m_rig.reset();
        DeleteAll();
    }
    void cleanup()
    {
        m_session->Stop();
        m_rig->Unseat();
    }

    void roundTrip_data()
    {
        QTest::addColumn<EBridgeKind>("kind");
        QTest::addColumn<QString>("part");
        QTest::addColumn<bool>("eeprom");
        for (EBridgeKind kind : {EBridgeKind::Serprog, EBridgeKind::Ch341a, EBridgeKind::Spidev}) {
            const QByteArray bridge = CBridgeRig::KindName(kind).toLatin1();
            QTest::newRow(bridge + ", 16 MiB flash") << kind << "W25Q128FV" << false;
            QTest::newRow(bridge + ", 32 MiB flash, 4-byte addresses") << kind << "W25Q256FV" << false;
            QTest::newRow(bridge + ", 25-series EEPROM") << kind << "25LC1024" << true;
        }
    }
    void roundTrip()
    {
        QFETCH(EBridgeKind, kind);
        QFETCH(QString, part);
        QFETCH(bool, eeprom);
        CDeviceItemSPIFlash *device = Entry(part);
        QVERIFY(device);
        const qsizetype size = qsizetype(device->m_size);
        const QByteArray old = RandomBytes(size, 7);
        QVERIFY(m_rig->Seat(kind, ChipOf(*device, eeprom), old));
        QVERIFY(m_session->Start(device));
        QVERIFY2(Contains(CBridgeRig::Messages(), m_rig->ProgrammerLine() + " ready"), "the library names the programmer");
        QCOMPARE(Window().setTargetReply.left(1), QByteArray(1, 1)); // an SPI module

        if (!eeprom) {
            QCOMPARE(Engine().detect(), int('H'));
            QVERIFY(Window().WaitForCode('H'));
            QVERIFY2(Window().errors.isEmpty(), qPrintable(Window().errors.join(" | ")));
        }

        // A window at the bottom and one at the top of the part: two sectors
        // of a flash, one of the EEPROM.
        const qsizetype window = qsizetype(device->m_sectorSize) * (eeprom ? 1 : 2);
        const qsizetype top = size - window;
        QCOMPARE(ReadBack(0, uint64_t(window)), old.left(window));
        QCOMPARE(ReadBack(uint64_t(top), uint64_t(window)), old.mid(top));

        if (!eeprom) {
            QCOMPARE(Engine().startErase(uint64_t(top), uint64_t(window)), int('G'));
            QVERIFY(Window().WaitForCode('G'));
            QCOMPARE(Engine().startReadOp(uint64_t(top), uint64_t(window), 'K'), int('K'));
            QVERIFY(Window().WaitForCode('K'));
            QVERIFY2(Window().log.contains("Flash blanked"), qPrintable(Window().log.join(" | ")));
        }

        const QByteArray data = RandomBytes(window, 8);
        Engine().buffer(0)->WriteAt(reinterpret_cast<const uint8_t *>(data.constData()), uint64_t(top),
                                    uint32_t(window));
        QCOMPARE(Engine().startProgram(uint64_t(top), uint64_t(window)), int('D'));
        QVERIFY2(Window().WaitForCode('D'), qPrintable(Window().log.join(" | ")));
        QCOMPARE(Engine().startReadOp(uint64_t(top), uint64_t(window), 'B'), int('B'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().log.contains("Compare data OK"); }));
        QVERIFY(m_session->Settle());
        QVERIFY2(Window().failures.isEmpty(), qPrintable(Window().failures.join(" | ")));
        QCOMPARE(ReadBack(uint64_t(top), uint64_t(window)), data);

        // Landed where it was meant to, and nothing else moved.
        const QByteArray image = m_rig->Image();
        QCOMPARE(image.size(), size);
        QCOMPARE(image.mid(top), data);
        QVERIFY(image.left(top) == old.left(top));
        QCOMPARE(m_disconnects, 0);
    }

    // A bridge carries an SPI module: a NAND target set-up is told it does
    // not fit (the window then names the incompatible top module).
    void nandTargetMeetsAnSpiModule()
    {
        QVERIFY(m_rig->Seat(EBridgeKind::Spidev, ChipOf(*Entry("W25Q128FV"), false)));
        CSimAdapterHost host;
        QVERIFY2(host.IsLoaded(), qPrintable(host.ErrorString()));
        QVERIFY(host.Connect(CSimAdapterHost::FirmwareImage(0, 1)));
        const QByteArray identity = host.Command(CSimAdapterHost::Packet({0x18}), 8, 2);
        QCOMPARE(identity.size(), 8);
        QCOMPARE(uint8_t(identity.at(3)), uint8_t(0x01));
        QCOMPARE(host.Command(CSimAdapterHost::Packet({0x10, 0x00, 0x00}), 2, 2), QByteArray("\x00\x01", 2));
        QCOMPARE(host.Command(CSimAdapterHost::Packet({0x10, 0x01, 0x01}), 2, 2), QByteArray("\x01\x01", 2));
        host.Close();
    }

    void unplugDuringRead_data()
    {
        QTest::addColumn<EBridgeKind>("kind");
        QTest::addColumn<int>("transfers"); // after which it goes
        QTest::addColumn<bool>("replug");
        QTest::addColumn<QString>("reason");
        QTest::newRow("serprog") << EBridgeKind::Serprog << 0 << false << "serial programmer on /dev/";
        QTest::newRow("ch341a") << EBridgeKind::Ch341a << 200 << true << "disconnected";
        QTest::newRow("spidev") << EBridgeKind::Spidev << 20 << true << "went away";
    }
    void unplugDuringRead()
    {
        QFETCH(EBridgeKind, kind);
        QFETCH(int, transfers);
        QFETCH(bool, replug);
        QFETCH(QString, reason);
        CDeviceItemSPIFlash *device = Entry("W25Q128FV");
        const QByteArray old = RandomBytes(qsizetype(device->m_size), 9);
        QVERIFY(m_rig->Seat(kind, ChipOf(*device, false), old));
        Launch(device);
        QVERIFY(Window().WaitForReady(30000));
        CBridgeRig::Messages();

        QCOMPARE(Engine().startReadOp(0, 0x400000, 'A'), int('A'));
        m_rig->UnplugAfter(transfers);
        QVERIFY(COperationFrame::WaitFor([&] { return m_disconnects > 0; }, 30000));
        QVERIFY(!Window().WaitForCode('A', 300));
        const QStringList said = CBridgeRig::Messages();
        QVERIFY2(!said.isEmpty(), "the library says why the link broke");
        QVERIFY2(Contains(said, reason), qPrintable(said.join(" | ")));
        if (!replug)
            return;
        m_rig->Replug();
        QVERIFY(COperationFrame::WaitFor([&] { return m_connects > 1; }, 30000));
        QVERIFY(Window().WaitForReady(30000));
        QCOMPARE(ReadBack(0x120000, 0x10000), old.mid(0x120000, 0x10000));
    }

    void deviceThatNeverAnswers_data()
    {
        QTest::addColumn<EBridgeKind>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("serprog") << EBridgeKind::Serprog << "no answer to the serprog handshake";
        QTest::newRow("ch341a") << EBridgeKind::Ch341a << "time";
        QTest::newRow("spidev") << EBridgeKind::Spidev << "time";
    }
    void deviceThatNeverAnswers()
    {
        QFETCH(EBridgeKind, kind);
        QFETCH(QString, reason);
        CDeviceItemSPIFlash *device = Entry("W25Q128FV");
        QVERIFY(m_rig->Seat(kind, ChipOf(*device, false), QByteArray(), true));
        Launch(device);
        QStringList said;
        QVERIFY(COperationFrame::WaitFor([&] {
            said += CBridgeRig::Messages();
            return Contains(said, reason);
        }, 20000));
        // Never a detection that worked.
        QCOMPARE(Engine().detect(), int('H'));
        QVERIFY(!Window().WaitForCode('H', 500));
        m_session->Stop();
        said += CBridgeRig::Messages();
        QCOMPARE(said.filter(reason, Qt::CaseInsensitive).size(), 1);
    }

    void programmerNotThere_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no such node") << "spidev:/nonexistent/spidev9.9" << "/nonexistent/spidev9.9";
        QTest::newRow("no such port") << "serprog:/nonexistent/ttyACM9" << "/nonexistent/ttyACM9";
        QTest::newRow("mistyped line") << "serprg:/dev/ttyACM0" << "cannot use the programmer";
    }
    void programmerNotThere()
    {
        QFETCH(QString, line);
        QFETCH(QString, reason);
        qputenv("XRUSB_PROGRAMMER", line.toLocal8Bit());
        Launch(Entry("W25Q128FV"));
        QStringList said;
        QVERIFY(COperationFrame::WaitFor([&] {
            said += CBridgeRig::Messages();
            return Contains(said, reason);
        }, 20000));
        QVERIFY(!Window().ready);
        m_session->Stop();
        qunsetenv("XRUSB_PROGRAMMER");
        said += CBridgeRig::Messages();
        QCOMPARE(said.filter(reason, Qt::CaseInsensitive).size(), 1);
    }
};

QTEST_MAIN(TestBridgeRoundTrip)
#include "tst_bridgeroundtrip.moc"
