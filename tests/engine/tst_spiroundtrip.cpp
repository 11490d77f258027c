// The SPI engine end to end against the simulated adapter: round trips
// (load a file, program, read back, verify) on serial flash, AT45 parts in
// their page organisations and serial EEPROMs; the exact packets of a read,
// a program and an AT45 erase of sector 0; blank checks; and when a program
// erases first.

#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceItemSPIFlash.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QCheckBox>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <initializer_list>

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

// A trace line of a command packet: every byte, upper-case hexadecimal.
QString Command(std::initializer_list<int> bytes, int length)
{
    QString line = QStringLiteral("CMD");
    int i = 0;
    for (int byte : bytes) {
        line += QStringLiteral(" %1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
        ++i;
    }
    for (; i < length; ++i)
        line += QStringLiteral(" 00");
    return line;
}

const QString IdBeforeOperation = Command({0x29, 0x9F}, 10);
const QString EndOfOperation = QStringLiteral("CMD 33 00");

int CountPrefix(const QStringList &lines, const QString &prefix)
{
    int count = 0;
    for (const QString &line : lines)
        count += line.startsWith(prefix) ? 1 : 0;
    return count;
}

// Index of the first (or last) line that starts with prefix; -1 for none.
qsizetype FindPrefix(const QStringList &lines, const QString &prefix, bool last = false)
{
    qsizetype found = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(prefix)) {
            found = i;
            if (!last)
                break;
        }
    }
    return found;
}

} // namespace

class TestSpiRoundTrip : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<CSpiSimSession> m_session;

    COperationFrame &Window() { return *m_session->frame; }
    CSpiProgrammer &Engine() { return *m_session->engine; }

    // The chip as the engine reads it (the image file shows erased holes as zeros).
    QByteArray ChipBytes()
    {
        Engine().buffer(0)->Fill();
        Engine().startReadOp(0, 0, 'A');
        return Window().WaitForCode('A') ? m_session->BufferBytes() : QByteArray();
    }

    // Seats a chip holding `old`, loads `data` from a file and programs the
    // whole chip, then reads it back and verifies it.
    // An EEPROM (not erasable) answers no ID: the operator is asked before
    // each operation.
    void RoundTrip(CDeviceItemSPIFlash *device, const QString &chip, bool erasable, int singleIo = -1)
    {
        const qsizetype size = qsizetype(device->m_size);
        const QByteArray old = RandomBytes(size, 1);
        const QByteArray data = RandomBytes(size, 2);
        QVERIFY(m_session->Seat(chip, old));
        QVERIFY(m_session->Start(device));
        if (singleIo >= 0) {
            QVERIFY(Engine().singleIoBox());
            Engine().singleIoBox()->setChecked(singleIo == 1);
        }
        const QString file = m_dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(CSpiSimSession::WriteFile(file, data));
        QVERIFY(Engine().loadFile(file));
        QCOMPARE(m_session->BufferBytes(), data);

        if (erasable) {
            // The chip holds data: the blank check says so, and the program erases first.
            QCOMPARE(Engine().startReadOp(0, 0, 'K'), int('K'));
            QVERIFY(COperationFrame::WaitFor([&] { return Window().stops == 1; }));
            QVERIFY(!Engine().skipErase());
        }
        const qint64 programFrom = m_session->TraceSize();
        QCOMPARE(Engine().startProgram(0, 0), int('D'));
        QVERIFY2(Window().WaitForCode('D'), qPrintable(Window().log.join(" | ")));
        QVERIFY(m_session->Settle());
        QVERIFY(!Window().IsOperationRunning());
        const QStringList commands = m_session->TraceCommands(programFrom);
        const int sectors = int(device->m_size / device->m_sectorSize);
        if (erasable)
            QVERIFY(CountPrefix(commands, "CMD 1B") >= sectors);
        else
            QCOMPARE(CountPrefix(commands, "CMD 1B"), 0);
        QCOMPARE(Engine().skipErase(), !erasable);

        Engine().buffer(0)->Fill();
        QCOMPARE(Engine().startReadOp(0, 0, 'A'), int('A'));
        QVERIFY(Window().WaitForCode('A'));
        QCOMPARE(m_session->BufferBytes(), data);
        QCOMPARE(Engine().startReadOp(0, 0, 'B'), int('B'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().log.contains("Compare data OK"); }));
        QCOMPARE(Window().stops, erasable ? 1 : 0);
        QVERIFY(m_session->Settle());

        QCOMPARE(Window().questions.isEmpty(), erasable);
        if (!erasable)
            QCOMPARE(Window().questions.first(), QStringLiteral("Are you sure?: ID detection error, check pin connetion!!"));
        QVERIFY(Window().errors.isEmpty());
        QCOMPARE(m_session->Image(), data);
        const auto stats = m_session->Stats();
        QCOMPARE(stats.value("programs_not_erased"), 0ull);
        QCOMPARE(stats.value("program_failures"), 0ull);
        QCOMPARE(stats.value("opcode_errors"), 0ull);
        QCOMPARE(stats.value("status_timeouts"), 0ull);
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

    void flashRoundTrip_data()
    {
        QTest::addColumn<bool>("singleIo");
        QTest::newRow("one data line") << true;
        QTest::newRow("four data lines") << false;
    }
    void flashRoundTrip()
    {
        QFETCH(bool, singleIo);
        RoundTrip(Entry("W25Q128FV"), QStringLiteral("id=EF 40 18\nsize=0x1000000"), true, singleIo ? 1 : 0);
    }

    void at45RoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::newRow("528-byte pages") << "AT45DB161D-528" << "id=1F 26 00\npage_size=528\nsize=0x210000";
        QTest::newRow("512-byte pages") << "AT45DB161D-512" << "id=1F 26 00\npage_size=512\nsize=0x200000";
        QTest::newRow("264-byte pages") << "AT45DB011D-264" << "id=1F 22 00\npage_size=264\nsize=0x21000";
        QTest::newRow("1024-byte pages") << "AT45DB642D-1024" << "id=1F 28 00\npage_size=1024\nsize=0x800000";
    }
    void at45RoundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        RoundTrip(Entry(name), "kind=at45\n" + chip, true);
    }

    void eepromRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("128 bytes") << "25LC010A";
        QTest::newRow("512 bytes, nine-bit addresses") << "25LC040A";
        QTest::newRow("8 KiB in two sectors") << "25LC640A";
        QTest::newRow("128 KiB, three address bytes") << "25LC1024";
    }
    void eepromRoundTrip()
    {
        QFETCH(QString, name);
        CDeviceItemSPIFlash *device = Entry(name);
        // Serial EEPROMs answer no ID instruction: the operator is asked.
        RoundTrip(device, QStringLiteral("kind=eeprom\nid=FF FF FF\nsfdp=false\nsize=%1\npage_size=%2")
                              .arg(device->m_size)
                              .arg(device->m_pageSize),
                  false);
    }

    void quadReadPackets()
    {
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 18\nsize=0x1000000")));
        QVERIFY(m_session->Start(Entry("W25Q128FV")));
        Engine().singleIoBox()->setChecked(false);
        QVERIFY(m_session->Settle());
        const qint64 from = m_session->TraceSize();
        QCOMPARE(Engine().startReadOp(0x20000, 0x20000, 'A'), int('A'));
        QVERIFY(Window().WaitForCode('A'));
        QVERIFY(m_session->Settle());
        const QStringList expected{
            IdBeforeOperation,
            Command({0x27, 0x6B, 0x03, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0x02}, 20),
            Command({0x27, 0x6B, 0x03, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0, 0, 0, 0, 0x02}, 20),
            EndOfOperation,
        };
        QCOMPARE(m_session->TraceCommands(from), expected);
        QCOMPARE(Window().seen.count('A'), 2);
    }

    void programPackets_data()
    {
        QTest::addColumn<bool>("singleIo");
        QTest::addColumn<int>("opcode");
        QTest::addColumn<int>("mode");
        QTest::newRow("one data line") << true << 0x02 << 0;
        QTest::newRow("four data lines") << false << 0x32 << 2;
    }
    void programPackets()
    {
        QFETCH(bool, singleIo);
        QFETCH(int, opcode);
        QFETCH(int, mode);
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 18\nsize=0x1000000")));
        QVERIFY(m_session->Start(Entry("W25Q128FV")));
        Engine().singleIoBox()->setChecked(singleIo);
        const QByteArray data = RandomBytes(0x20000, 3);
        Engine().buffer(0)->WriteAt(reinterpret_cast<const uint8_t *>(data.constData()), 0x10000, 0x20000);
        QVERIFY(m_session->Settle());
        const qint64 from = m_session->TraceSize();
        QCOMPARE(Engine().startProgram(0x10000, 0x20000), int('D'));
        QVERIFY(Window().WaitForCode('D'));
        QVERIFY(m_session->Settle());
        // 256 pages of 256 bytes per sector: count 00 01 with the carry rule.
        // The chip is not known to be blank: the range is read first, and a
        // blank range is programmed without an erase.
        const QStringList commands = m_session->TraceCommands(from);
        QCOMPARE(commands.first(), IdBeforeOperation);
        QVERIFY(commands.filter(QStringLiteral("CMD 1B")).isEmpty());
        int firstProgram = 0;
        while (firstProgram < commands.size() && !commands.at(firstProgram).startsWith(QStringLiteral("CMD 1C")))
            ++firstProgram;
        const QStringList expected{
            Command({0x1C, opcode, 0x03, 0x01, 0x00, 0x00, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, mode, 0x05, 0x01, 0x00}, 20),
            QStringLiteral("DATA 65536"),
            Command({0x1C, opcode, 0x03, 0x02, 0x00, 0x00, 0, 0, 0, 0, 0x00, 0x01, 0, 0, 0, mode, 0x05, 0x01, 0x00}, 20),
            QStringLiteral("DATA 65536"),
            QStringLiteral("CMD 32"),
            EndOfOperation,
        };
        QCOMPARE(commands.mid(firstProgram), expected);
        QCOMPARE(m_session->Image().mid(0x10000, 0x20000), data);
    }

    void at45EraseSector0_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<int>("sector0bByte5");
        QTest::newRow("528-byte pages") << "AT45DB161D-528" << "page_size=528\nsize=0x210000" << 0x20;
        QTest::newRow("512-byte pages") << "AT45DB161D-512" << "page_size=512\nsize=0x200000" << 0x10;
        QTest::newRow("264-byte pages") << "AT45DB011D-264" << "page_size=264\nsize=0x21000" << 0x10;
        QTest::newRow("1056-byte pages") << "AT45DB642D-1056" << "page_size=1056\nsize=0x840000" << 0x40;
    }
    void at45EraseSector0()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        QFETCH(int, sector0bByte5);
        CDeviceItemSPIFlash *device = Entry(name);
        const QByteArray old(qsizetype(device->m_size), '\x5A');
        QVERIFY(m_session->Seat("kind=at45\nid=1F 26 00\n" + chip, old));
        QVERIFY(m_session->Start(device));
        const qint64 from = m_session->TraceSize();
        QCOMPARE(Engine().startErase(0, device->m_sectorSize), int('G'));
        QVERIFY(Window().WaitForCode('G'));
        QVERIFY(m_session->Settle());
        const QStringList expected{
            IdBeforeOperation,
            Command({0x1B, 0x06, 0x7C, 0x03, 0x00, 0x00, 0x00, 0x00, 0xD7, 0x80, 0x80}, 20),
            Command({0x1B, 0x06, 0x7C, 0x03, 0x00, sector0bByte5, 0x00, 0x00, 0xD7, 0x80, 0x80}, 20),
            EndOfOperation,
        };
        QCOMPARE(m_session->TraceCommands(from), expected);
        QCOMPARE(Window().erasePositions, (QList<uint32_t>{0, 1}));
        QCOMPARE(Window().log.count("Erase starts..."), 1);
        // Both halves of the chip's sector 0 (256 pages, or the listed sector when smaller) read erased.
        const qsizetype erased = std::min<qsizetype>(device->m_sectorSize, 256 * name.section('-', 1).toInt());
        QCOMPARE(ChipBytes().left(erased), QByteArray(erased, '\xFF'));
    }

    void blankCheck_data()
    {
        QTest::addColumn<quint64>("offset");
        QTest::newRow("first byte") << 0x0ull;
        QTest::newRow("inside the chip") << 0x12345ull;
        QTest::newRow("last byte") << 0xFFFFFull;
    }
    void blankCheck()
    {
        QFETCH(quint64, offset);
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 14\nsize=0x100000"), RandomBytes(0x100000, 4)));
        QVERIFY(m_session->Start(Entry("W25Q80BV")));

        QCOMPARE(Engine().startErase(0, 0), int('G'));
        QVERIFY(Window().WaitForCode('G'));
        QCOMPARE(Window().erasePositions.size(), 16);
        QCOMPARE(Window().erasePositions.last(), 16u);
        QVERIFY(Engine().skipErase());
        QCOMPARE(Engine().startReadOp(0, 0, 'K'), int('K'));
        QVERIFY(Window().WaitForCode('K'));
        QVERIFY(Window().log.contains("Flash blanked"));
        QCOMPARE(Window().stops, 0);
        QVERIFY(Engine().skipErase());

        // Programmed bytes: the first, its neighbour, and one further on.
        CMemoryNode *buffer = Engine().buffer(0);
        buffer->SetByte(offset, 0x5A);
        buffer->SetByte(offset + 1, 0x00);
        buffer->SetByte(offset + 0x40000, 0x11);
        const qint64 from = m_session->TraceSize();
        QCOMPARE(Engine().startProgram(0, 0), int('D'));
        QVERIFY(Window().WaitForCode('D'));
        QCOMPARE(CountPrefix(m_session->TraceCommands(from), "CMD 1B"), 0); // known blank
        QVERIFY(!Engine().skipErase());

        QCOMPARE(Engine().startReadOp(0, 0, 'K'), int('K'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().stops == 1; }));
        QVERIFY(m_session->Settle());
        QStringList reports;
        for (const QString &line : Window().log)
            if (line.startsWith("Flash is not blank at address"))
                reports << line;
        QCOMPARE(reports, QStringList{QStringLiteral("Flash is not blank at address %1 ,target 5A")
                                          .arg(QString::number(offset, 16).toUpper())});
        QVERIFY(!Engine().skipErase());
        QCOMPARE(Window().stops, 1);
    }

    void programAfterDetection()
    {
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 14\nsize=0x100000")));
        QVERIFY(m_session->Start(Entry("W25Q80BV")));
        const QByteArray data = RandomBytes(0x100000, 5);
        Engine().buffer(0)->WriteAt(reinterpret_cast<const uint8_t *>(data.constData()), 0, uint32_t(data.size()));
        QCOMPARE(Engine().detect(), int('H'));
        QVERIFY(Window().WaitForCode('H'));
        QVERIFY(!Engine().skipErase());

        // Right after detection: the range is read first, and the blank chip
        // is programmed without an erase.
        qint64 from = m_session->TraceSize();
        QCOMPARE(Engine().startProgram(0, 0), int('D'));
        QVERIFY(Window().WaitForCode('D'));
        QVERIFY(m_session->Settle());
        QStringList commands = m_session->TraceCommands(from);
        QCOMPARE(CountPrefix(commands, "CMD 1B"), 0);
        QCOMPARE(CountPrefix(commands, "CMD 1C"), 16);
        QCOMPARE(Window().log.count("Program Starts..."), 1);
        QVERIFY(!Engine().skipErase());

        // A second program erases the range first, then programs.
        from = m_session->TraceSize();
        QCOMPARE(Engine().startProgram(0, 0), int('D'));
        QVERIFY(Window().WaitForCode('D'));
        QVERIFY(m_session->Settle());
        QCOMPARE(Window().codes.count('G'), 1);
        commands = m_session->TraceCommands(from);
        QCOMPARE(CountPrefix(commands, "CMD 1B"), 16);
        QCOMPARE(CountPrefix(commands, "CMD 1C"), 16);
        QVERIFY(FindPrefix(commands, "CMD 1B", true) < FindPrefix(commands, "CMD 1C"));
        QCOMPARE(Window().log.count("Erase starts..."), 1);
        QCOMPARE(Window().log.count("Program Starts..."), 2);
        QVERIFY(!Engine().programPending());
        QVERIFY(!Engine().skipErase());

        // A partial erase leaves the chip not known to be blank.
        QCOMPARE(Engine().startErase(0x10000, 0x10000), int('G'));
        QVERIFY(Window().WaitForCode('G'));
        QVERIFY(!Engine().skipErase());

        // A new detection forgets what was proven of the chip before.
        QCOMPARE(Engine().detect(), int('H'));
        QVERIFY(Window().WaitForCode('H'));
        QVERIFY(!Engine().skipErase());
        QByteArray expected = data;
        expected.replace(0x10000, 0x10000, QByteArray(0x10000, '\xFF'));
        QCOMPARE(ChipBytes(), expected);
        QCOMPARE(m_session->Stats().value("programs_not_erased"), 0ull);
    }

    // A page whose cells no longer take a program. An AT45 part compares
    // each page with its buffer, so the program itself fails; serial flash
    // says nothing, and the verify that follows finds the page.
    void wornPage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("chip");
        QTest::addColumn<bool>("programFails");
        QTest::newRow("AT45, 528-byte pages") << "AT45DB161D-528"
                                              << "kind=at45\nid=1F 26 00\npage_size=528\nsize=0x210000" << true;
        QTest::newRow("serial flash") << "W25Q80BV" << "id=EF 40 14\nsize=0x100000" << false;
    }
    void wornPage()
    {
        QFETCH(QString, name);
        QFETCH(QString, chip);
        QFETCH(bool, programFails);
        CDeviceItemSPIFlash *device = Entry(name);
        const QByteArray data = RandomBytes(qsizetype(device->m_size), 3);
        QVERIFY(m_session->Seat(chip + "\nworn_page=5"));
        QVERIFY(m_session->Start(device));
        const QString file = m_dir.filePath(QStringLiteral("image.bin"));
        QVERIFY(CSpiSimSession::WriteFile(file, data));
        QVERIFY(Engine().loadFile(file));
        QCOMPARE(Engine().startProgram(0, 0), int('D'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().codes.contains('D') || Window().failedCodes.contains('D'); },
                                         60000));
        QVERIFY(m_session->Settle());
        QCOMPARE(Window().failedCodes.contains('D'), programFails);
        QCOMPARE(Window().log.filter(QStringLiteral("Program time")).isEmpty(), programFails);
        if (programFails)
            return;
        QCOMPARE(Engine().startReadOp(0, 0, 'B'), int('B'));
        QVERIFY(COperationFrame::WaitFor([&] { return Window().stops > 0; }));
        QVERIFY(!Window().log.contains(QStringLiteral("Compare data OK")));
    }

    // A program refuses to start while the buffer is held.
    void programWhileBusy()
    {
        QVERIFY(m_session->Seat(QStringLiteral("id=EF 40 14\nsize=0x100000")));
        QVERIFY(m_session->Start(Entry("W25Q80BV")));
        QVERIFY(Engine().tryLockBuffer());
        Engine().startProgram(0, 0);
        QVERIFY(COperationFrame::WaitFor([&] { return Window().log.contains("Busy"); }));
        QVERIFY(!Engine().loadFile(m_dir.filePath("image.bin")));
        Engine().unlockBuffer();
        QVERIFY(m_session->Settle());
        QCOMPARE(CountPrefix(m_session->TraceCommands(), "CMD 1C"), 0);
    }

    // A chip that does not answer: reads ask, erases and programs stop.
    void missingChip_data()
    {
        QTest::addColumn<QString>("socket");  // [spi] and [adapter] keys
        QTest::addColumn<char>("op");         // 'A' read, 'G' erase, 'D' program
        QTest::addColumn<bool>("answerYes");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("command"); // sent only when the operation goes on
        const QString empty = QStringLiteral("module=none");
        const QString answersFF = QStringLiteral("id=FF FF FF");
        const QString asked = QStringLiteral("Are you sure?: ID detection error, check pin connetion!!");
        const QString refused = QStringLiteral("Error: ID detection error, check pin connetion!!");
        QTest::newRow("read, operator stops") << empty << 'A' << false << asked << "" << "CMD 27";
        QTest::newRow("read, operator goes on") << empty << 'A' << true << asked << "" << "CMD 27";
        QTest::newRow("erase") << empty << 'G' << true << "" << refused << "CMD 1B";
        QTest::newRow("program") << empty << 'D' << true << "" << refused << "CMD 1C";
        QTest::newRow("program, chip answering 0xFF") << answersFF << 'D' << true << "" << refused << "CMD 1C";
    }
    void missingChip()
    {
        QFETCH(QString, socket);
        QFETCH(char, op);
        QFETCH(bool, answerYes);
        QFETCH(QString, question);
        QFETCH(QString, error);
        QFETCH(QString, command);
        const bool noModule = socket.startsWith("module=");
        QVERIFY(m_session->Seat(QStringLiteral("size=0x100000\n") + (noModule ? QString() : socket), {},
                                noModule ? socket : QString()));
        QVERIFY(m_session->Start(Entry("W25Q80BV")));
        Window().answerYes = answerYes;
        const qint64 from = m_session->TraceSize();
        if (op == 'A')
            Engine().startReadOp(0, 0, 'A');
        else if (op == 'G')
            Engine().startErase(0, 0);
        else
            Engine().startProgram(0, 0);
        QVERIFY(COperationFrame::WaitFor([&] { return Window().questions.size() + Window().errors.size() == 1; }));
        const bool goesOn = !question.isEmpty() && answerYes;
        // An empty socket never answers an array read: the operator would stop it.
        if (goesOn)
            QVERIFY(COperationFrame::WaitFor([&] { return CountPrefix(m_session->TraceCommands(from), command) > 0; }));
        Window().Stop();
        QVERIFY(m_session->Settle());
        QCOMPARE(Window().questions, question.isEmpty() ? QStringList() : QStringList{question});
        QCOMPARE(Window().errors, error.isEmpty() ? QStringList() : QStringList{error});
        const QStringList commands = m_session->TraceCommands(from);
        QCOMPARE(commands.first(), IdBeforeOperation);
        QCOMPARE(CountPrefix(commands, command) > 0, goesOn);
        // Nothing is ever erased or programmed without a chip.
        QCOMPARE(CountPrefix(commands, "CMD 1B") + CountPrefix(commands, "CMD 1C"), 0);
    }
};

QTEST_MAIN(TestSpiRoundTrip)
#include "tst_spiroundtrip.moc"
