// The bundled SPI list against the real parts: a table of datasheet facts
// (JEDEC ID, size, erase granularity, page, address width) compared with the
// entries and with what the engine will send; end-to-end round trips (erase,
// blank check, program, read back, verify, the chip image byte by byte) on a
// simulated twin of one entry of every kind and address width; a chip whose
// ID the selected entry does not match; and a part that programs one byte
// per page program, which the engine cannot drive.

#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceItemSPIFlash.h"
#include "SpiGeometry.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>
#include <span>

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
    for (qsizetype i = count / 4 * 4; i < count; ++i)
        bytes[i] = char(random.bounded(256));
    return bytes;
}

enum EKind { Flash = 0, At45 = 3, Eeprom = 4 };

} // namespace

class TestSpiParts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSpiSimSession> m_session;
    std::vector<std::unique_ptr<CDeviceItemSPIFlash>> m_copies;

    COperationFrame &Window() { return *m_session->frame; }
    CSpiProgrammer &Engine() { return *m_session->engine; }

    CDeviceItemSPIFlash *Copy(const QString &name)
    {
        m_copies.push_back(std::make_unique<CDeviceItemSPIFlash>(*Entry(name)));
        return m_copies.back().get();
    }

    bool Run(int (CSpiProgrammer::*start)(uint64_t, uint64_t), char code, uint64_t address = 0, uint64_t length = 0)
    {
        if ((Engine().*start)(address, length) != code)
            return false;
        return Window().WaitForCode(code, 120000) && m_session->Settle();
    }
    bool RunRead(char code)
    {
        return Engine().startReadOp(0, 0, code) == code && Window().WaitForCode(code, 120000) && m_session->Settle();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString error = CSpiSimSession::OpenForTests(m_dir.path(), m_session);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    void cleanupTestCase()
    {
        CSpiSimSession::CloseForTests(m_dir.path(), m_session);
    }
    void cleanup() { m_session->Stop(); }

    // Datasheet facts: the ID, the size, what the erase the entry uses
    // clears (64 KiB sector, 32 or 256 KiB on the parts that have those; the
    // AT45 sector of 128 or 256 pages), the page, the address bytes.
    void datasheetFacts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("id");      // 0: none (EEPROMs answer no ID)
        QTest::addColumn<quint64>("size");
        QTest::addColumn<uint>("erase");  // 0: no erase
        QTest::addColumn<uint>("page");
        QTest::addColumn<int>("addressBytes");
        const auto flash = [](const char *name, int id, quint64 size, uint erase = 0x10000, uint page = 256) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(Flash) << id << size << erase << page
                                << (size > 0x1000000 ? 4 : 3);
        };
        flash("W25X10", 0xEF3011, 0x20000);
        flash("W25X40", 0xEF3013, 0x80000);
        flash("W25Q80BV", 0xEF4014, 0x100000);
        flash("W25Q16JV", 0xEF4015, 0x200000);
        flash("W25Q32FV", 0xEF4016, 0x400000);
        flash("W25Q64FV", 0xEF4017, 0x800000);
        flash("W25Q64FW", 0xEF6017, 0x800000);
        flash("W25Q128FV", 0xEF4018, 0x1000000);
        flash("W25Q256FV", 0xEF4019, 0x2000000);
        flash("W25Q512JV", 0xEF4020, 0x4000000);
        flash("MX25L512E", 0xC22010, 0x10000);
        flash("MX25L1006E", 0xC22011, 0x20000);
        flash("MX25L8006E", 0xC22014, 0x100000);
        flash("MX25L3206E", 0xC22016, 0x400000);
        flash("MX25U6435F", 0xC22537, 0x800000);
        flash("MX25L12835F", 0xC22018, 0x1000000);
        flash("MX25L25635F", 0xC22019, 0x2000000);
        flash("MX25L51245G", 0xC2201A, 0x4000000);
        flash("MX66L1G45G", 0xC2201B, 0x8000000);
        flash("GD25Q512MC", 0xC84010, 0x10000);
        flash("GD25Q80B", 0xC84014, 0x100000);
        flash("GD25Q64C", 0xC84017, 0x800000);
        flash("GD25Q128C", 0xC84018, 0x1000000);
        flash("GD25Q256D", 0xC84019, 0x2000000);
        flash("M25P05A", 0x202010, 0x10000, 0x8000);
        flash("M25P10A", 0x202011, 0x20000, 0x8000);
        flash("M25P80", 0x202014, 0x100000);
        flash("M25P128", 0x202018, 0x1000000, 0x40000);
        flash("M25PX32", 0x207116, 0x400000);
        flash("N25Q128A13", 0x20BA18, 0x1000000);
        flash("N25Q256A13", 0x20BA19, 0x2000000);
        flash("MT25QL512ABB", 0x20BA20, 0x4000000);
        flash("S25FL116K", 0x014015, 0x200000);
        flash("S25FL164K", 0x014017, 0x800000);
        flash("S25FL512S", 0x010220, 0x4000000, 0x40000, 512);
        flash("EN25Q64", 0x1C3017, 0x800000);
        flash("EN25QH128", 0x1C7018, 0x1000000);
        flash("A25L512", 0x373010, 0x10000);
        flash("AT25DF321A", 0x1F4701, 0x400000);
        flash("AT25SF128A", 0x1F8901, 0x1000000);
        flash("IS25LP128F", 0x9D6018, 0x1000000);
        flash("IS25LP256D", 0x9D6019, 0x2000000);
        flash("SST25VF064C", 0xBF254B, 0x800000);
        const auto at45 = [](const char *name, int id, quint64 size, uint sectorPages, uint page) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(At45) << id << size << sectorPages * page << page
                                << 3;
        };
        at45("AT45DB011D-264", 0x1F2200, 512 * 264, 128, 264);
        at45("AT45DB021D-264", 0x1F2300, 1024 * 264, 128, 264);
        at45("AT45DB041D-264", 0x1F2400, 2048 * 264, 256, 264);
        at45("AT45DB081D-264", 0x1F2500, 4096 * 264, 256, 264);
        at45("AT45DB161D-528", 0x1F2600, 4096 * 528, 256, 528);
        at45("AT45DB321D-528", 0x1F2701, 8192 * 528, 128, 528);
        at45("AT45DB642D-1056", 0x1F2800, 8192 * 1056, 256, 1056);
        at45("AT45DB021D-256", 0x1F2300, 1024 * 256, 128, 256);
        at45("AT45DB041D-256", 0x1F2400, 2048 * 256, 256, 256);
        at45("AT45DB161D-512", 0x1F2600, 4096 * 512, 256, 512);
        at45("AT45DB321D-512", 0x1F2701, 8192 * 512, 128, 512);
        at45("AT45DB642D-1024", 0x1F2800, 8192 * 1024, 256, 1024);
        const auto eeprom = [](const char *name, quint64 size, uint page, int addressBytes) {
            QTest::newRow(name) << QString::fromLatin1(name) << int(Eeprom) << 0 << size << 0u << page << addressBytes;
        };
        eeprom("25LC010A", 128, 16, 1);
        eeprom("25LC040A", 512, 16, 1);
        eeprom("25LC080A", 1024, 16, 2);
        eeprom("25LC256", 0x8000, 64, 2);
        eeprom("25LC512", 0x10000, 128, 2);
        eeprom("25LC1024", 0x20000, 256, 3);
        eeprom("AT25040B", 512, 8, 1);
        eeprom("AT25256B", 0x8000, 64, 2);
        eeprom("M95040", 512, 16, 1);
        eeprom("M95256", 0x8000, 64, 2);
        eeprom("M95M02", 0x40000, 256, 3);
    }
    void datasheetFacts()
    {
        QFETCH(QString, name);
        QFETCH(int, kind);
        QFETCH(int, id);
        QFETCH(quint64, size);
        QFETCH(uint, erase);
        QFETCH(uint, page);
        QFETCH(int, addressBytes);
        const CDeviceItemSPIFlash *entry = Entry(name);
        QVERIFY2(entry, qPrintable(name));
        QCOMPARE(int(entry->m_algo), kind);
        QCOMPARE(entry->m_size, size);
        if (id) {
            QCOMPARE(int(entry->m_id[0]), (id >> 16) & 0xFF);
            QCOMPARE(int(entry->m_id[1]), (id >> 8) & 0xFF);
            QCOMPARE(int(entry->m_id[2]), id & 0xFF);
        } else {
            QCOMPARE(int(entry->m_id[0]), 0xFF);
        }
        const CSpiGeometry geometry(*entry, 512);
        QCOMPARE(geometry.AddressBytes(), addressBytes);
        switch (kind) {
        case Flash:
            // The engine erases whole entry sectors with 0xD8 and programs
            // 256-byte pieces, which must stay inside the part's page.
            QCOMPARE(entry->m_sectorSize, erase);
            QCOMPARE(entry->m_pageSize, page);
            QCOMPARE(page % 256, 0u);
            break;
        case At45:
            QCOMPARE(entry->m_sectorSize, erase);
            QCOMPARE(geometry.At45PageBytes(), page);
            break;
        case Eeprom:
            // Page writes of the entry's size must not wrap inside the part's page.
            QVERIFY(geometry.EepromPageBytes() <= page);
            QCOMPARE(page % geometry.EepromPageBytes(), 0u);
            break;
        }
    }

    // The byte-programming SST parts are not offered; no entry answers their IDs.
    void byteProgrammingPartsAreNotListed()
    {
        for (const char *name : {"SST25VF020B", "SST25VF040B", "SST25VF080B", "SST25VF016B", "SST25VF032B"})
            QVERIFY2(!FindByName(QString::fromLatin1(name)), name);
        for (int id3 : {0x8C, 0x8D, 0x8E, 0x41, 0x4A}) {
            const uint8_t id[3] = {0xBF, 0x25, uint8_t(id3)};
            QVERIFY(!FindById(DEVICE_SPI, std::span<const uint8_t>(id, 3), false));
        }
    }

    // Such a part takes one byte per page program: the engine's 256-byte page
    // programs leave the rest of each page blank.
    void byteProgrammingPartFailsVerify()
    {
        CDeviceItemSPIFlash *device = Copy("W25X16");
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 30 15\nsize=0x200000\nbyte_program=true")));
        QVERIFY(m_session->Start(device));
        const QByteArray data = RandomBytes(0x200000, 3);
        const QString file = m_dir.filePath(QStringLiteral("byte.bin"));
        QVERIFY(CSpiSimSession::WriteFile(file, data));
        QVERIFY(Engine().loadFile(file));
        QVERIFY(Run(&CSpiProgrammer::startProgram, 'D'));
        Engine().buffer(0)->Fill();
        QVERIFY(RunRead('A'));
        const QByteArray read = m_session->BufferBytes();
        QCOMPARE(read.left(1), data.left(1));
        QCOMPARE(read.mid(1, 255), QByteArray(255, '\xFF'));
        QVERIFY(m_session->Image() != data);
    }

    // With one device selected and another chip seated, erase and program
    // ask first, naming both IDs; No leaves the chip alone.
    void otherChipAsksFirst_data()
    {
        QTest::addColumn<bool>("program");
        QTest::addColumn<bool>("yes");
        QTest::newRow("erase, No") << false << false;
        QTest::newRow("erase, Yes") << false << true;
        QTest::newRow("program, No") << true << false;
        QTest::newRow("program, Yes") << true << true;
    }
    void otherChipAsksFirst()
    {
        QFETCH(bool, program);
        QFETCH(bool, yes);
        CDeviceItemSPIFlash *device = Copy("W25Q64FV");
        const QByteArray old = RandomBytes(0x800000, 5);
        QVERIFY(m_session->Seat(QStringLiteral("id=C2 20 17\nsize=0x800000"), old));
        QVERIFY(m_session->Start(device));
        Window().answerYes = yes;
        const qint64 from = m_session->TraceSize();
        if (program)
            QCOMPARE(Engine().startProgram(0, 0x10000), int('D'));
        else
            QCOMPARE(Engine().startErase(0, 0x10000), int('G'));
        QVERIFY(COperationFrame::WaitFor([&] { return !Window().questions.isEmpty(); }));
        // Confirmed, a program first reads its range, then erases and writes.
        if (program && yes)
            QVERIFY(Window().WaitForCode('D'));
        QVERIFY(m_session->Settle());
        QCOMPARE(Window().questions.size(), 1);
        const QString question = Window().questions.first();
        QVERIFY2(question.startsWith("Are you sure?: "), qPrintable(question));
        QVERIFY2(question.contains("C2 20 17") && question.contains("W25Q64FV") && question.contains("EF 40 17"),
                 qPrintable(question));
        const QStringList commands = m_session->TraceCommands(from);
        const bool written = std::any_of(commands.begin(), commands.end(), [](const QString &line) {
            return line.startsWith("CMD 1B") || line.startsWith("CMD 1C");
        });
        QCOMPARE(written, yes);
        if (!yes)
            QCOMPARE(m_session->Image(), old);
    }

    // One entry of every kind and address width on its simulated twin:
    // erase, blank check, program, read back, verify, the chip image.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::newRow("flash, 64 KiB, 32 KiB sectors, three address bytes")
            << "M25P05A" << "id=20 20 10\nsize=0x10000\nsector_erase=0x8000\nsmall_erases=false";
        QTest::newRow("flash, 32 MiB, four-byte mode entered by its Init record")
            << "MX25L25635F" << "id=C2 20 19\nsize=0x2000000";
        QTest::newRow("AT45, 264-byte pages, 256-page sectors")
            << "AT45DB041D-264" << "kind=at45\nid=1F 24 00\npage_size=264\nsize=0x84000";
        QTest::newRow("AT45, 264-byte pages, 128-page sectors")
            << "AT45DB011D-264" << "kind=at45\nid=1F 22 00\npage_size=264\nsize=0x21000";
        QTest::newRow("AT45, 528-byte pages, 128-page sectors")
            << "AT45DB321D-528" << "kind=at45\nid=1F 27 01\npage_size=528\nsize=0x420000";
        QTest::newRow("AT45, 1056-byte pages")
            << "AT45DB642D-1056" << "kind=at45\nid=1F 28 00\npage_size=1056\nsize=0x840000";
        QTest::newRow("AT45, binary 512-byte pages, 128-page sectors")
            << "AT45DB321D-512" << "kind=at45\nid=1F 27 01\npage_size=512\nsize=0x400000";
        QTest::newRow("EEPROM, one address byte and A8")
            << "25LC040A" << "kind=eeprom\nid=FF FF FF\nsize=512\npage_size=16\nsfdp=false";
        QTest::newRow("EEPROM, two address bytes")
            << "25LC256" << "kind=eeprom\nid=FF FF FF\nsize=0x8000\npage_size=64\nsfdp=false";
        QTest::newRow("EEPROM, three address bytes")
            << "M95M02" << "kind=eeprom\nid=FF FF FF\nsize=0x40000\npage_size=256\nsfdp=false";
    }
    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        CDeviceItemSPIFlash *device = Entry(name);
        QVERIFY(device);
        const bool erasable = device->m_algo != Eeprom;
        const qsizetype size = qsizetype(device->m_size);
        const QByteArray data = RandomBytes(size, 7);
        QVERIFY(m_session->Seat(chip, RandomBytes(size, 6)));
        m_session->tracing = false;
        QVERIFY(m_session->Start(device));
        if (erasable) {
            QVERIFY(Run(&CSpiProgrammer::startErase, 'G'));
            QVERIFY(!Window().log.join('\n').contains("Erase failed"));
            QVERIFY(RunRead('K'));
            QVERIFY2(!Window().log.join('\n').contains("not blank"), qPrintable(Window().log.join('\n')));
            QVERIFY(Engine().skipErase());
        }
        const QString file = m_dir.filePath(QStringLiteral("round.bin"));
        QVERIFY(CSpiSimSession::WriteFile(file, data));
        QVERIFY(Engine().loadFile(file));
        QVERIFY(Run(&CSpiProgrammer::startProgram, 'D'));
        Engine().buffer(0)->Fill();
        QVERIFY(RunRead('A'));
        QVERIFY(m_session->BufferBytes() == data);
        QVERIFY(Engine().loadFile(file));
        QCOMPARE(Engine().startReadOp(0, 0, 'B'), int('B'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().log.contains("Compare data OK"); }, 120000));
        QVERIFY(m_session->Settle());
        QVERIFY(Window().errors.isEmpty());
        QVERIFY(m_session->Image() == data);
        const auto stats = m_session->Stats();
        m_session->tracing = true;
        QCOMPARE(stats.value("program_failures"), 0ull);
        QCOMPARE(stats.value("programs_not_erased"), 0ull);
        QCOMPARE(stats.value("opcode_errors"), 0ull);
        QCOMPARE(stats.value("status_timeouts"), 0ull);
        QCOMPARE(stats.value("commands_while_busy"), 0ull);
    }

    // Parts above 16 MiB start in three-byte mode: their Init record brings
    // them into four-byte mode (B7, or the bank register), and the last
    // sector programs where it belongs. Without it the four address bytes
    // the engine sends are taken as three, and the upper half is never reached.
    void largePartReachesItsTop_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<bool>("withInit");
        QTest::newRow("enter four-byte mode") << "W25Q256FV" << "id=EF 40 19\nsize=0x2000000" << true;
        QTest::newRow("bank register") << "S25FL256S" << "id=01 02 19\nsize=0x2000000" << true;
        QTest::newRow("four-byte mode with write enable, flag status") << "MT25QL512ABB"
                                                                      << "id=20 BA 20\nsize=0x4000000" << true;
        QTest::newRow("without the Init record") << "MX25L25635F" << "id=C2 20 19\nsize=0x2000000" << false;
    }
    void largePartReachesItsTop()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        QFETCH(bool, withInit);
        CDeviceItemSPIFlash *device = Copy(name);
        if (!withInit)
            device->m_initCount = 0;
        QVERIFY(m_session->Seat(chip));
        QVERIFY(m_session->Start(device));
        const qsizetype size = qsizetype(device->m_size);
        const qsizetype top = size - 0x10000;
        QByteArray data(size, '\xFF');
        data.replace(top, 0x10000, RandomBytes(0x10000, 8));
        const QString file = m_dir.filePath(QStringLiteral("large.bin"));
        QVERIFY(CSpiSimSession::WriteFile(file, data));
        QVERIFY(Engine().loadFile(file));
        QVERIFY(Run(&CSpiProgrammer::startProgram, 'D', uint64_t(top), 0x10000));
        const QByteArray image = m_session->Image();
        QCOMPARE(image.mid(top, 0x10000) == data.mid(top, 0x10000), withInit);
        QVERIFY(Window().errors.isEmpty());
    }
};

QTEST_MAIN(TestSpiParts)
#include "tst_spiparts.moc"
