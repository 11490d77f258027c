// The SPI engine without the round trips: construction per kind of part,
// range normalisation, wire addressing of flash, AT45 and EEPROM parts, the
// speed table (computed and as sent), detection with its outcomes, and
// failed erases.

#include "CmdProcessor.h"
#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceItemSPIFlash.h"
#include "FirmwareImages.h"
#include "SpiGeometry.h"
#include "SpiProtocol.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QCheckBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

namespace {

// Exposes what the window never reads but the construction decides.
class CInspectedSpi : public CSpiProgrammer
{
public:
    using CSpiProgrammer::CSpiProgrammer;
    const uint8_t *Firmware() const { return m_firmware; }
    uint32_t MaxTransfer() const { return m_maxTransfer; }
};

CDeviceItemSPIFlash *Entry(const QString &name)
{
    return dynamic_cast<CDeviceItemSPIFlash *>(FindByName(name));
}

QString Hex(const Adapter::CPacket &packet)
{
    QStringList bytes;
    for (int i = 0; i < packet.length; ++i)
        bytes << QStringLiteral("%1").arg(packet.bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    return bytes.join(QLatin1Char(' '));
}

} // namespace

class TestSpiProgrammer : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSpiSimSession> m_session;
    std::vector<std::unique_ptr<CDeviceItemSPIFlash>> m_copies;

    // A changed copy of a bundled entry, living until the end of the run.
    CDeviceItemSPIFlash *Copy(const QString &name)
    {
        m_copies.push_back(std::make_unique<CDeviceItemSPIFlash>(*Entry(name)));
        return m_copies.back().get();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString error = CSpiSimSession::OpenForTests(m_dir.path(), m_session);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(DeviceFamilies().back()->Count() > 200);
    }
    void cleanupTestCase()
    {
        CSpiSimSession::CloseForTests(m_dir.path(), m_session);
    }
    void cleanup() { m_session->Stop(); }

    void construction_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("algoOverride"); // -1: as listed
        QTest::addColumn<int>("firmware");
        QTest::addColumn<uint>("capabilities");
        QTest::addColumn<bool>("singleIoBox");
        QTest::newRow("quad flash") << "W25Q128FV" << -1 << 0 << 0xCFu << true;
        QTest::newRow("dual flash") << "M25PX16" << -1 << 0 << 0xCFu << true;
        QTest::newRow("one-line flash") << "W25X16" << -1 << 0 << 0xCFu << false;
        QTest::newRow("AT45") << "AT45DB161D-528" << -1 << 3 << 0xCFu << false;
        QTest::newRow("EEPROM: no erase, no blank check") << "25LC040A" << -1 << 4 << 0xC9u << false;
        QTest::newRow("algorithm 2") << "W25X16" << 2 << 2 << 0xCFu << false;
        QTest::newRow("unknown algorithm: reset to 0") << "W25X16" << 9 << 0 << 0xCFu << false;
    }
    void construction()
    {
        QFETCH(QString, name);
        QFETCH(int, algoOverride);
        QFETCH(int, firmware);
        QFETCH(uint, capabilities);
        QFETCH(bool, singleIoBox);
        CDeviceItemSPIFlash *device = Copy(name);
        if (algoOverride >= 0)
            device->m_algo = uint32_t(algoOverride);
        COperationFrame frame;
        CInspectedSpi engine(device);
        QCOMPARE(engine.Firmware(), SpiFirmware(firmware));
        QCOMPARE(device->m_algo, uint32_t(firmware));
        QCOMPARE(engine.capabilities(), capabilities);
        QCOMPARE(engine.MaxTransfer(), 0x8000u);
        QVERIFY(frame.saveAllowed);
        // A new engine knows nothing of the chip: only a part without an
        // erase is never erased before programming.
        if (capabilities & CmdCapability::BlankCheck)
            QVERIFY(!engine.skipErase());
        QVERIFY(!engine.programPending());

        CMemoryNode *buffer = engine.buffer(0);
        QVERIFY(buffer);
        QCOMPARE(engine.buffer(1), nullptr);
        QCOMPARE(buffer->GetName(), QStringLiteral("SPI"));
        QCOMPARE(buffer->GetBaseAddress(), 0ull);
        QCOMPARE(buffer->GetSize(), device->m_size);
        QCOMPARE(buffer->GetFillValue(), uint8_t(0xFF));
        uint8_t last = 0;
        buffer->Read(device->m_size - 1, &last, 1);
        QCOMPARE(last, uint8_t(0xFF));

        QCOMPARE(engine.singleIoBox() != nullptr, singleIoBox);
        QCOMPARE(engine.optionsPanel() != nullptr, singleIoBox);
        if (singleIoBox) {
            QCOMPARE(engine.singleIoBox()->text(), QStringLiteral("Single IO"));
            QVERIFY(engine.singleIoBox()->isChecked());
            // Toggling re-applies the device's speed through the window.
            engine.singleIoBox()->setChecked(false);
            QCOMPARE(frame.appliedSpeeds, QList<int>{device->m_speed});
        }
    }

    void normalizeRange_data()
    {
        QTest::addColumn<quint64>("address");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<quint64>("wantAddress");
        QTest::addColumn<quint64>("wantLength");
        QTest::newRow("rounded down to sectors") << 0x12345ull << 0x23456ull << 0x10000ull << 0x20000ull;
        QTest::newRow("empty: whole chip") << 0ull << 0ull << 0ull << 0x1000000ull;
        QTest::newRow("shorter than a sector: whole chip") << 0x30000ull << 0x8000ull << 0ull << 0x1000000ull;
        QTest::newRow("address beyond the chip") << 0x2000000ull << 0x10000ull << 0ull << 0x10000ull;
        QTest::newRow("range beyond the chip") << 0xFF0000ull << 0x20000ull << 0ull << 0x1000000ull;
        QTest::newRow("last sector") << 0xFF0000ull << 0x10000ull << 0xFF0000ull << 0x10000ull;
    }
    void normalizeRange()
    {
        QFETCH(quint64, address);
        QFETCH(quint64, length);
        COperationFrame frame;
        CSpiProgrammer engine(Entry("W25Q128FV"));
        uint64_t a = address;
        uint64_t n = length;
        engine.normalizeRange(a, n);
        QFETCH(quint64, wantAddress);
        QFETCH(quint64, wantLength);
        QCOMPARE(quint64(a), wantAddress);
        QCOMPARE(quint64(n), wantLength);
    }

    void addressing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<quint64>("byteAddress");
        QTest::addColumn<int>("addressBytes");
        QTest::addColumn<uint>("field");
        QTest::addColumn<int>("readOpcode"); // for instruction 0x03
        QTest::addColumn<uint>("programUnit");
        QTest::newRow("16 MiB flash") << "W25Q128FV" << 0x123456ull << 3 << 0x123456u << 0x03 << 512u;
        // Serial flash takes three address bytes however small it is.
        QTest::newRow("64 KiB flash") << "M25P05A" << 0xFF00ull << 3 << 0xFF00u << 0x03 << 512u;
        QTest::newRow("128 KiB flash") << "W25X10" << 0x1FF00ull << 3 << 0x1FF00u << 0x03 << 512u;
        QTest::newRow("128 MiB flash") << "MT25QL01GBBB" << 0x7654321ull << 4 << 0x7654321u << 0x03 << 512u;
        QTest::newRow("AT45, 528-byte pages") << "AT45DB161D-528" << 300ull * 528 + 5 << 3 << (300u << 10 | 5) << 0x03
                                              << 528u;
        QTest::newRow("AT45, 512-byte pages") << "AT45DB161D-512" << 300ull * 512 + 5 << 3 << 300u * 512 + 5 << 0x03
                                              << 512u;
        QTest::newRow("AT45, 264-byte pages") << "AT45DB011D-264" << 100ull * 264 + 7 << 3 << (100u << 9 | 7) << 0x03
                                              << 264u;
        QTest::newRow("AT45, 256-byte pages") << "AT45DB011D-256" << 100ull * 256 + 7 << 3 << 100u * 256 + 7 << 0x03
                                              << 256u;
        QTest::newRow("AT45, 1056-byte pages") << "AT45DB642D-1056" << 8191ull * 1056 << 3 << (8191u << 11) << 0x03
                                               << 1056u;
        QTest::newRow("EEPROM of 128 bytes") << "25LC010A" << 0x7Full << 1 << 0x7Fu << 0x03 << 512u;
        QTest::newRow("EEPROM of 256 bytes") << "25LC020A" << 0xF0ull << 1 << 0xF0u << 0x03 << 512u;
        QTest::newRow("nine-bit EEPROM, lower half") << "25LC040A" << 0xF0ull << 1 << 0xF0u << 0x03 << 512u;
        QTest::newRow("nine-bit EEPROM, upper half") << "25LC040A" << 0x110ull << 1 << 0x10u << 0x0B << 512u;
        QTest::newRow("EEPROM of 1 KiB") << "25LC080A" << 0x310ull << 2 << 0x310u << 0x03 << 512u;
        QTest::newRow("EEPROM of 128 KiB") << "25LC1024" << 0x1ABCDull << 3 << 0x1ABCDu << 0x03 << 512u;
    }
    void addressing()
    {
        QFETCH(QString, name);
        QFETCH(quint64, byteAddress);
        QFETCH(int, addressBytes);
        QFETCH(uint, field);
        QFETCH(int, readOpcode);
        QFETCH(uint, programUnit);
        const CSpiGeometry geometry(*Entry(name), 512);
        QCOMPARE(geometry.AddressBytes(), addressBytes);
        QCOMPARE(geometry.AddressField(byteAddress), uint32_t(field));
        QCOMPARE(int(geometry.Opcode(0x03, byteAddress)), readOpcode);
        QCOMPARE(geometry.ProgramUnit(), uint32_t(programUnit));
        QCOMPARE(geometry.TransferUnit(), 512u);
    }

    void eepromPageField_data()
    {
        QTest::addColumn<uint>("pageSize");
        QTest::addColumn<uint>("pageBytes");
        QTest::newRow("16-byte pages") << 16u << 16u;
        QTest::newRow("128-byte pages") << 128u << 128u;
        QTest::newRow("256-byte pages go out as 0") << 256u << 256u;
        QTest::newRow("no page size listed (512)") << 512u << 256u;
    }
    void eepromPageField()
    {
        QFETCH(uint, pageSize);
        QFETCH(uint, pageBytes);
        CDeviceItemSPIFlash *device = Copy("25LC1024");
        device->m_pageSize = pageSize;
        QCOMPARE(CSpiGeometry(*device, 512).EepromPageBytes(), uint32_t(pageBytes));
    }

    void speedTable_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("ioMode");
        QTest::addColumn<bool>("singleLine");
        QTest::addColumn<QString>("packet");
        QTest::newRow("one line, 10") << 10 << 1 << false << "30 00 01 20 01 01 0E 21 0E 00";
        QTest::newRow("one line, 6") << 6 << 1 << false << "30 00 05 20 05 01 12 21 12 00";
        QTest::newRow("one line, 5") << 5 << 1 << false << "30 00 04 20 04 01 21 21 21 01";
        QTest::newRow("one line, 3") << 3 << 1 << false << "30 00 05 20 05 01 22 21 22 01";
        QTest::newRow("one line, 2") << 2 << 1 << false << "30 00 03 20 03 01 3C 21 3C 02";
        QTest::newRow("one line, 0") << 0 << 1 << false << "30 00 03 20 03 01 3C 21 3C 02";
        QTest::newRow("two lines, 4") << 4 << 2 << false << "30 00 04 20 04 01 11 21 11 01";
        QTest::newRow("two lines, 1") << 1 << 2 << false << "30 00 03 20 03 01 1C 21 1C 02";
        QTest::newRow("four lines, 8") << 8 << 4 << false << "30 00 03 20 03 01 04 21 04 00";
        QTest::newRow("four lines, 0") << 0 << 4 << false << "30 00 06 20 06 01 0B 21 0B 01";
        QTest::newRow("four-line part on one line, 1") << 1 << 4 << true << "30 00 06 20 06 01 23 21 23 01";
        QTest::newRow("four-line part on one line, 7") << 7 << 4 << true << "30 00 04 20 04 01 11 21 11 00";
        QTest::newRow("above the range: as 10") << 12 << 1 << false << "30 00 01 20 01 01 0E 21 0E 00";
    }
    void speedTable()
    {
        QFETCH(int, index);
        QFETCH(int, ioMode);
        QFETCH(bool, singleLine);
        QFETCH(QString, packet);
        QCOMPARE(Hex(Adapter::Spi::TimingPacket(Adapter::Spi::TimingFor(index, ioMode, singleLine))), packet);
    }

    // The packets as the adapter receives them, with the option as the
    // operator leaves it.
    void speedPackets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("singleIo");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("command");
        QTest::newRow("one-line part, 6") << "W25X16" << true << 6 << "CMD 30 00 05 20 05 01 12 21 12 00";
        QTest::newRow("one-line part, 0") << "W25X16" << true << 0 << "CMD 30 00 03 20 03 01 3C 21 3C 02";
        QTest::newRow("quad part, Single IO") << "W25Q128FV" << true << 9 << "CMD 30 00 02 20 02 01 0F 21 0F 00";
        QTest::newRow("quad part, four lines") << "W25Q128FV" << false << 9 << "CMD 30 00 02 20 02 01 03 21 03 00";
        QTest::newRow("dual part, two lines") << "M25PX16" << false << 3 << "CMD 30 00 05 20 05 01 12 21 12 01";
    }
    void speedPackets()
    {
        QFETCH(QString, name);
        QFETCH(bool, singleIo);
        QFETCH(int, index);
        QFETCH(QString, command);
        // One chip for all rows: the adapter keeps its firmware between them.
        if (QTest::currentDataTag() == QLatin1String("one-line part, 6"))
            QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 18\nsize=0x1000000")));
        QVERIFY(m_session->Start(Entry(name)));
        if (QCheckBox *box = m_session->engine->singleIoBox()) {
            QSignalBlocker quiet(box); // the option alone, without the re-applied speed
            box->setChecked(singleIo);
        }
        const qint64 from = m_session->TraceSize();
        m_session->engine->setSpeed(index);
        QVERIFY(m_session->Settle());
        QCOMPARE(m_session->TraceCommands(from), QStringList{command});
    }

    void setTargetPacket_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("adapterKind");
        QTest::addColumn<QString>("command");
        QTest::newRow("flash") << "W25X16" << 1 << "CMD 10 01 01 01 00 00 00 00 00 00";
        QTest::newRow("AT45") << "AT45DB161D-528" << 1 << "CMD 10 01 01 01 03 00 00 00 00 00";
        QTest::newRow("EEPROM") << "25LC040A" << 0 << "CMD 10 00 01 01 04 00 00 00 00 00";
    }
    void setTargetPacket()
    {
        QFETCH(QString, name);
        QFETCH(int, adapterKind);
        QFETCH(QString, command);
        if (QTest::currentDataTag() == QLatin1String("flash"))
            QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 18\nsize=0x1000000")));
        QVERIFY(m_session->Start(Entry(name)));
        const qint64 from = m_session->TraceSize();
        m_session->engine->setTarget(uint8_t(adapterKind));
        QVERIFY(m_session->Settle());
        QCOMPARE(m_session->TraceCommands(from), QStringList{command});
    }

    void detection_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QStringList>("logged");
        QTest::addColumn<int>("currentNameLines"); // log lines naming the entry detection ends with
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QString>("current");
        QTest::addColumn<bool>("configured");
        QTest::newRow("the current entry") << "W25X16" << "id=EF 30 15\nsize=0x200000" << false << QStringList()
                                           << 1 << QStringList() << "W25X16" << true;
        // Three entries share the ID: the first is taken, all are reported.
        QTest::newRow("another entry, the window selects it")
            << "W25X16" << "id=EF 40 18\nsize=0x1000000" << true
            << QStringList{"Duplcaite found", "W25Q128FV", "W25Q128JV"} << 1 << QStringList{"W25Q128BV"}
            << "W25Q128BV" << false;
        QTest::newRow("another entry, the window declines")
            << "W25X16" << "id=EF 40 18\nsize=0x1000000" << false << QStringList{"Duplcaite found"} << 2
            << QStringList{"W25Q128BV"} << "W25Q128BV" << true;
        QTest::newRow("unknown chip that describes itself")
            << "W25X16" << "id=AB CD EF\nsize=0x400000\nsfdp=true" << true << QStringList() << 0
            << QStringList{"SPI SFDP"} << "SPI SFDP" << false;
        // A chip without a description is offered to the device editor: see tst_spinewdevice.
        QTest::newRow("nothing answers")
            << "W25X16" << "id=FF FF FF\nsize=0x400000\nsfdp=false" << true
            << QStringList{"Unknown device", "ff,ff,ff", " ", "ID detection error, check pin connetion!!"} << 0
            << QStringList() << "W25X16" << false;
        QTest::newRow("AT45 in the other page organisation")
            << "AT45DB161D-528" << "kind=at45\nid=1F 26 00\npage_size=512\nsize=0x200000" << false
            << QStringList{"AT45 Config page size error", "Duplcaite found"} << 2 << QStringList() << "AT45DB161D-528"
            << true;
        QTest::newRow("AT45 as listed") << "AT45DB161D-512" << "kind=at45\nid=1F 26 00\npage_size=512\nsize=0x200000"
                                        << false << QStringList{"Duplcaite found"} << 2 << QStringList()
                                        << "AT45DB161D-512" << true;
    }
    void detection()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        QFETCH(bool, accept);
        QFETCH(QStringList, logged);
        QFETCH(int, currentNameLines);
        QFETCH(QStringList, requests);
        QFETCH(QString, current);
        QFETCH(bool, configured);
        QVERIFY(m_session->Seat(chip));
        QVERIFY(m_session->Start(Entry(name)));
        COperationFrame &frame = *m_session->frame;
        frame.acceptTargetChange = accept;
        CSpiProgrammer &engine = *m_session->engine;

        const qint64 from = m_session->TraceSize();
        QCOMPARE(engine.detect(), int('H'));
        // A socket where nothing answers ends the detection failed.
        const bool nothingAnswers = logged.contains(QStringLiteral("ff,ff,ff"));
        if (nothingAnswers)
            QVERIFY(COperationFrame::WaitFor([&] { return frame.failedCodes.contains('H'); }));
        else
            QVERIFY(frame.WaitForCode('H'));
        QVERIFY(m_session->Settle());
        for (const QString &line : logged)
            QVERIFY2(frame.log.contains(line), qPrintable(frame.log.join(" | ")));
        QCOMPARE(frame.log.contains("AT45 Config page size error"), logged.contains("AT45 Config page size error"));
        QCOMPARE(int(frame.log.count(current)), currentNameLines);
        QCOMPARE(frame.targetRequests, requests);
        QCOMPARE(engine.device()->m_name, current);
        // Detection proves nothing about the array: the chip is not blank yet.
        QVERIFY(!engine.skipErase());

        const QStringList commands = m_session->TraceCommands(from);
        QCOMPARE(commands.first(), QStringLiteral("CMD 29 9F") + QStringLiteral(" 00").repeated(62));
        bool configurePacket = false;
        for (const QString &command : commands)
            configurePacket |= command.startsWith("CMD 34 9F");
        QCOMPARE(configurePacket, configured);
        if (current == QLatin1String("SPI SFDP")) {
            const auto *sfdp = Entry("SPI SFDP");
            QCOMPARE(sfdp->m_size, 0x400000ull);
            QCOMPARE(sfdp->m_id[0], uint8_t(0xAB));
            QCOMPARE(commands.last(), QStringLiteral("CMD 2A 00 00 00 00 00"));
        }
        if (logged.contains("Unknown device"))
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(engine.unknownId()), 3),
                     QByteArray::fromHex(chip.mid(3, 8).remove(' ').toLatin1()));
    }

    // The device's init records go out with write enables in front.
    void configurePacket()
    {
        CDeviceItemSPIFlash *device = Copy("MT25QL01GBBB"); // Init="0600B700h"
        QCOMPARE(device->m_initCount, 2);
        QCOMPARE(Hex(Adapter::Spi::ConfigurePacket(*device)).left(3 * 9 - 1),
                 QStringLiteral("34 9F 02 06 06 00 06 B7 00"));
        CDeviceItemSPIFlash *spansion = Copy("S25FL512S"); // Init="01020002170180h"
        QCOMPARE(Hex(Adapter::Spi::ConfigurePacket(*spansion)).left(3 * 12 - 1),
                 QStringLiteral("34 9F 02 06 01 02 00 02 06 17 01 80"));
    }

    // A sector that never reports ready is not erased: the chip is not known
    // to be blank afterwards and the operator learns where.
    void failedErase()
    {
        CDeviceItemSPIFlash *device = Copy("W25X16");
        device->m_busyMask = 0x80; // a ready value the status register never shows
        device->m_readyValue = 0x80;
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 30 15\nsize=0x200000")));
        QVERIFY(m_session->Start(device));
        COperationFrame &frame = *m_session->frame;
        QCOMPARE(m_session->engine->startErase(0x10000, 0x20000), int('G'));
        QVERIFY(COperationFrame::WaitFor([&] { return frame.failedCodes.contains('G'); }));
        QVERIFY(frame.WaitUntilQuiet());
        // The first sector that fails ends the erase, naming its address.
        QCOMPARE(frame.log.filter(QRegularExpression("Erase failed at address (0x)?0*10000$")).size(), 1);
        QVERIFY2(frame.log.filter(QRegularExpression("Erase failed at address (0x)?0*20000$")).isEmpty(),
                 qPrintable(frame.log.join(" | ")));
        QVERIFY(!m_session->engine->skipErase());
    }

    void fillRandom()
    {
        COperationFrame frame;
        CSpiProgrammer engine(Copy("W25X16"));
        engine.fillRandom();
        CMemoryNode *buffer = engine.buffer(0);
        QByteArray first(int(buffer->GetSize()), '\0');
        buffer->Read(0, reinterpret_cast<uint8_t *>(first.data()), buffer->GetSize());
        std::srand(0x1234567);
        const int value = std::rand();
        QCOMPARE(uint8_t(first[0]), uint8_t(value));
        QCOMPARE(uint8_t(first[1]), uint8_t(value >> 8));
        QVERIFY(first.count(char(0xFF)) < first.size() / 128);
        // The same seed every time: the same contents.
        buffer->Fill();
        engine.fillRandom();
        QByteArray second(first.size(), '\0');
        buffer->Read(0, reinterpret_cast<uint8_t *>(second.data()), buffer->GetSize());
        QCOMPARE(second, first);
        // Not while a program holds the buffer.
        QVERIFY(engine.tryLockBuffer());
        buffer->Fill();
        engine.fillRandom();
        engine.unlockBuffer();
        QVERIFY(frame.log.contains("Busy"));
        uint8_t byte = 0;
        buffer->Read(0, &byte, 1);
        QCOMPARE(byte, uint8_t(0xFF));
    }
};

QTEST_MAIN(TestSpiProgrammer)
#include "tst_spiprogrammer.moc"
