#include "ActionRecordingFrame.h"
#include "AppDirectory.h"
#include "CmdProcessor.h"
#include "DeviceDatabase.h"
#include "RecordingProgrammer.h"
#include "UiText.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// What each console command does with its words: the calls it makes on the
// programmer and the window, what it logs, and the code a script gets back.
class TestConsoleCommands : public QObject
{
    Q_OBJECT

private:
    static constexpr uint32_t NandCaps = 0x9F;
    static constexpr uint32_t SpiCaps = 0xCF;

    std::unique_ptr<CActionRecordingFrame> m_frame;
    std::unique_ptr<CRecordingProgrammer> m_programmer;
    std::unique_ptr<QTemporaryDir> m_scriptDir;

    void SetUpTarget(uint32_t caps)
    {
        m_programmer = std::make_unique<CRecordingProgrammer>(caps);
        m_frame->programmer = m_programmer.get();
        g_cmdProcessor.BuildCommands(m_programmer.get());
    }

    // The log without the "-" echo of the line itself.
    QStringList LogAfterEcho() const
    {
        QStringList log = m_frame->log;
        if (!log.isEmpty() && log.first().startsWith('-'))
            log.removeFirst();
        return log;
    }

    static QString BinaryFilter() { return QStringLiteral("Binary files (*.bin);;All files (*.*)"); }

    void WriteScript(const QString &relativePath, const QByteArray &content)
    {
        const QString path = m_scriptDir->filePath(relativePath);
        QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    // Two families, so DEVICE finds names in either.
    static void FillDatabase()
    {
        auto nand = std::make_unique<CDeviceFamilyNand>();
        QVERIFY(nand->AddLine("Name=\"K9F1G08U0B\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\","
                              "BlockSize=\"40h\""));
        auto spi = std::make_unique<CDeviceFamilySPI>();
        QVERIFY(spi->AddLine("Name=\"W25Q64\",ID1=\"efh\",ID2=\"40h\",ID3=\"17h\",size=\"800000h\","
                             "SectorNum=\"800h\""));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::move(spi));
    }

    // The window state, the programmer's answers and a line, then what came
    // out of it. Shared by the tables below.
    void AddCommandColumns()
    {
        QTest::addColumn<uint>("caps");
        QTest::addColumn<QString>("state"); // letters: n not ready, b busy, t no target, f load fails
        QTest::addColumn<QString>("dialogAnswer");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("actions");
    }
    void RunCommandRow()
    {
        QFETCH(uint, caps);
        QFETCH(QString, state);
        QFETCH(QString, dialogAnswer);
        QFETCH(QString, line);
        QFETCH(int, result);
        QFETCH(QStringList, log);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, actions);

        SetUpTarget(caps);
        m_frame->adapterReady = !state.contains('n');
        m_frame->operationRunning = state.contains('b');
        m_frame->targetSet = !state.contains('t');
        m_programmer->loadAnswer = !state.contains('f');
        m_frame->openAnswer = dialogAnswer;
        m_frame->saveAnswer = dialogAnswer;
        m_frame->workDir = QStringLiteral("/work/images/");

        QCOMPARE(g_cmdProcessor.RunCommand(line), result);
        QCOMPARE(m_frame->log.value(0), "-" + line);
        QCOMPARE(LogAfterEcho(), log);
        QCOMPARE(m_programmer->calls, calls);
        QCOMPARE(m_frame->actions, actions);
    }

private slots:
    void init()
    {
        m_frame = std::make_unique<CActionRecordingFrame>();
        m_scriptDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_scriptDir->isValid());
        g_scriptDirOverride = m_scriptDir->path();
        SetUpTarget(NandCaps);
    }
    void cleanup()
    {
        g_cmdProcessor.BuildCommands(nullptr);
        g_scriptDirOverride.clear();
        DeleteAll();
        m_programmer.reset();
        m_frame.reset();
        m_scriptDir.reset();
    }

    // Every situation in which a command refuses or gives up.
    void refusals_data()
    {
        AddCommandColumns();
        const QString busy = Text(74);
        const QString openDialog = "GetOpenFileName Load binary file|/work/images/|" + BinaryFilter();
        const QString saveDialog = "GetSaveFileName Save binary file|/work/images/|" + BinaryFilter();

        // Writes refuse by themselves with 129, so a script goes on.
        QTest::newRow("program, not ready") << uint(NandCaps) << "n" << "" << "program" << 129 << QStringList{busy}
                                            << QStringList{} << QStringList{};
        QTest::newRow("program range, not ready") << uint(NandCaps) << "n" << "" << "program 0 800" << 129
                                                  << QStringList{busy} << QStringList{} << QStringList{};
        QTest::newRow("erase, not ready") << uint(SpiCaps) << "n" << "" << "erase" << 129 << QStringList{busy}
                                          << QStringList{} << QStringList{};
        // Reads are refused by the window with 128, which stops a script.
        for (const char *word : {"read", "verify", "blkchk"}) {
            QTest::addRow("%s, not ready", word) << uint(NandCaps) << "n" << "" << word << 128 << QStringList{busy}
                                                 << QStringList{"normalizeRange 0 0"} << QStringList{};
            QTest::addRow("%s, operation running", word)
                << uint(NandCaps) << "b" << "" << word << 128 << QStringList{busy}
                << QStringList{"normalizeRange 0 0"} << QStringList{};
        }
        QTest::newRow("detect, not ready") << uint(NandCaps) << "n" << "" << "detect" << 129 << QStringList{}
                                           << QStringList{} << QStringList{};
        QTest::newRow("load, no target") << uint(NandCaps) << "t" << "" << "load image.bin" << 130
                                         << QStringList{Text(89)} << QStringList{} << QStringList{};
        QTest::newRow("load, dialog cancelled") << uint(NandCaps) << "" << "" << "load" << 130 << QStringList{}
                                                << QStringList{} << QStringList{openDialog};
        QTest::newRow("load, file not loaded") << uint(NandCaps) << "f" << "" << "load missing.bin" << 130
                                               << QStringList{} << QStringList{"loadFile missing.bin"}
                                               << QStringList{};
        QTest::newRow("device, unknown name") << uint(NandCaps) << "" << "" << "device NoSuchChip" << 129
                                              << QStringList{"Target not exist"} << QStringList{} << QStringList{};
        QTest::newRow("device, other letter case") << uint(NandCaps) << "" << "" << "device k9f1g08u0b" << 129
                                                   << QStringList{"Target not exist"} << QStringList{}
                                                   << QStringList{};
        QTest::newRow("script, missing file") << uint(NandCaps) << "" << "" << "script nosuch" << 129
                                              << QStringList{"Script file error!"} << QStringList{}
                                              << QStringList{};
        for (const char *word : {"0", "11", "65536", "x", "-3"}) {
            QTest::addRow("speed %s", word) << uint(NandCaps) << "" << "" << QStringLiteral("speed %1").arg(word)
                                            << 129 << QStringList{} << QStringList{} << QStringList{};
        }
        QTest::newRow("save, dialog cancelled") << uint(SpiCaps) << "" << "" << "save 0 10" << 129 << QStringList{}
                                                << QStringList{} << QStringList{saveDialog};
    }
    void refusals()
    {
        FillDatabase();
        RunCommandRow();
    }

    // What the commands do when nothing stands in their way.
    void effects_data()
    {
        AddCommandColumns();
        const QString openDialog = "GetOpenFileName Load binary file|/work/images/|" + BinaryFilter();
        const QString saveDialog = "GetSaveFileName Save binary file|/work/images/|" + BinaryFilter();
        const QStringList none;

        QTest::newRow("exit") << uint(NandCaps) << "" << "" << "exit" << 129 << none << none
                              << QStringList{"ExitApplication 0"};
        QTest::newRow("initusb") << uint(NandCaps) << "n" << "" << "initusb" << 129 << none << none
                                 << QStringList{"ReinitUsb"};
        QTest::newRow("detect") << uint(NandCaps) << "" << "" << "detect" << int('H') << none
                                << QStringList{"detect"} << none;
        QTest::newRow("save alone") << uint(SpiCaps) << "" << "" << "save" << 129 << none << none
                                    << QStringList{"RunSaveAction"};
        QTest::newRow("save one word") << uint(SpiCaps) << "" << "" << "save SPI" << 129 << none << none
                                       << QStringList{"RunSaveAction"};
        QTest::newRow("save with path") << uint(SpiCaps) << "" << "" << "save 0 10 dump.bin" << 129 << none
                                        << QStringList{"saveBlocks 0 10 dump.bin"} << none;
        QTest::newRow("save, 32-bit values") << uint(SpiCaps) << "" << "" << "save 100000002 0x3 d.bin" << 129
                                             << none << QStringList{"saveBlocks 2 3 d.bin"} << none;
        QTest::newRow("save through dialog") << uint(SpiCaps) << "" << "/tmp/out.bin" << "save 2 3" << 129 << none
                                             << QStringList{"saveBlocks 2 3 /tmp/out.bin"}
                                             << QStringList{saveDialog};
        QTest::newRow("load with path") << uint(NandCaps) << "" << "" << "load a.bin b.bin" << 129 << none
                                        << QStringList{"loadFile a.bin"} << none;
        QTest::newRow("load through dialog") << uint(NandCaps) << "" << "/img/x.bin" << "load" << 129 << none
                                             << QStringList{"loadFile /img/x.bin"} << QStringList{openDialog};
        QTest::newRow("write does nothing") << uint(NandCaps) << "" << "" << "write 0 10" << 129 << none << none
                                            << none;
        QTest::newRow("newchip") << uint(NandCaps) << "" << "" << "newchip" << 129 << none
                                 << QStringList{"newChip"} << QStringList{"RefreshBadBlockView 0"};
        QTest::newRow("mfc") << uint(NandCaps) << "" << "" << "mfc" << 129 << none
                             << QStringList{"correctFromFiles false"} << none;
        QTest::newRow("mfc with a word") << uint(NandCaps) << "" << "" << "mfc 0" << 129 << none
                                         << QStringList{"correctFromFiles true"} << none;
        QTest::newRow("smtcpy") << uint(NandCaps) << "" << "" << "smtcpy" << 129 << none
                                << QStringList{"smartCopy"} << none;
        QTest::newRow("device dialog") << uint(NandCaps) << "" << "" << "device" << 129 << none << none
                                       << QStringList{"RunDeviceSelection"};
        QTest::newRow("device by name") << uint(NandCaps) << "" << "" << "device K9F1G08U0B" << 129 << none << none
                                        << QStringList{"RequestTargetChange K9F1G08U0B"};
        QTest::newRow("device SPI name") << uint(NandCaps) << "" << "" << "device W25Q64" << 129 << none << none
                                         << QStringList{"RequestTargetChange W25Q64"};
        QTest::newRow("about") << uint(NandCaps) << "" << "" << "about" << 129 << none << none
                               << QStringList{"RunAboutBox"};
        QTest::newRow("cls") << uint(NandCaps) << "" << "" << "cls" << 129 << none << none
                             << QStringList{"ClearLog"};
        QTest::newRow("speed 1") << uint(NandCaps) << "" << "" << "speed 1" << 129 << none
                                 << QStringList{"setSpeed 1"} << QStringList{"ApplySpeed 1"};
        QTest::newRow("speed 10") << uint(NandCaps) << "" << "" << "speed 10" << 129 << none
                                  << QStringList{"setSpeed 10"} << QStringList{"ApplySpeed 10"};
        QTest::newRow("speed 010 is decimal") << uint(NandCaps) << "" << "" << "speed 010" << 129 << none
                                              << QStringList{"setSpeed 10"} << QStringList{"ApplySpeed 10"};
        QTest::newRow("speed alone") << uint(NandCaps) << "" << "" << "speed" << 129 << QStringList{Text(95)}
                                     << none << none;
        QTest::newRow("randomfile") << uint(SpiCaps) << "" << "" << "randomfile" << 129 << none
                                    << QStringList{"fillRandom"} << none;
        QTest::newRow("d alone") << uint(NandCaps) << "" << "" << "d" << 129 << none << none << none;
        QTest::newRow("d address") << uint(NandCaps) << "" << "" << "d 1f00" << 129 << none << none
                                   << QStringList{"ShowAddressRange 1f00 1 none"};
        QTest::newRow("d 0x address") << uint(NandCaps) << "" << "" << "D 0x84000000" << 129 << none << none
                                      << QStringList{"ShowAddressRange 84000000 1 none"};
        QTest::newRow("d word") << uint(NandCaps) << "" << "" << "d top" << 129 << none << none
                                << QStringList{"ShowAddressRange 0 1 none"};
    }
    void effects()
    {
        FillDatabase();
        RunCommandRow();
    }

    void loadRecordsRecentFile()
    {
        m_frame->openAnswer = QStringLiteral("/img/chosen.bin");
        QCOMPARE(g_cmdProcessor.RunCommand("load"), 129);
        QCOMPARE(g_cmdProcessor.RunCommand("load typed.bin"), 129);
        QCOMPARE(m_frame->recentFiles, (QStringList{"/img/chosen.bin", "typed.bin"}));
        QCOMPARE(m_programmer->calls, (QStringList{"loadFile /img/chosen.bin", "loadFile typed.bin"}));

        // Nothing chosen: nothing recorded either.
        m_frame->openAnswer.clear();
        QCOMPARE(g_cmdProcessor.RunCommand("load"), 130);
        QCOMPARE(m_frame->recentFiles.size(), 2);
    }

    void rangeOperations_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<qulonglong>("alignUnit");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QString>("start");

        QTest::newRow("read, range kept") << "read 100 200" << 1ull << int('A') << QStringList{}
                                          << "startReadOp 100 200 A";
        QTest::newRow("read, range adjusted") << "read 100 200" << 0x800ull << int('A') << QStringList{"READ 0 800"}
                                              << "startReadOp 0 800 A";
        QTest::newRow("lower-case word, registered name") << "ReAd 3 5" << 4ull << int('A')
                                                          << QStringList{"READ 0 8"} << "startReadOp 0 8 A";
        QTest::newRow("verify adjusted") << "verify 801 10" << 0x800ull << int('B')
                                         << QStringList{"VERIFY 800 800"} << "startReadOp 800 800 B";
        QTest::newRow("blkchk aligned already") << "blkchk 0x800 0x800" << 0x800ull << int('K') << QStringList{}
                                                << "startReadOp 800 800 K";
        QTest::newRow("program adjusted") << "program 10 10" << 0x200ull << int('D')
                                          << QStringList{"PROGRAM 0 200"} << "startProgram 0 200";
        QTest::newRow("erase adjusted") << "erase 1 1" << 0x1000ull << int('G') << QStringList{"ERASE 0 1000"}
                                        << "startErase 0 1000";
        QTest::newRow("length clipped at the chip's end") << "read f000 2000" << 0x800ull << int('A')
                                                          << QStringList{"READ f000 1000"}
                                                          << "startReadOp f000 1000 A";
        // Anything but two words is the whole chip, which is never reported.
        QTest::newRow("no words") << "read" << 0x800ull << int('A') << QStringList{} << "startReadOp 0 10000 A";
        QTest::newRow("one word") << "read 100" << 0x800ull << int('A') << QStringList{} << "startReadOp 0 10000 A";
        QTest::newRow("three words") << "read 100 200 300" << 0x800ull << int('A') << QStringList{}
                                     << "startReadOp 0 10000 A";
        QTest::newRow("typed 0 0 becomes the chip") << "erase 0 0" << 1ull << int('G') << QStringList{"ERASE 0 10000"}
                                                    << "startErase 0 10000";
        QTest::newRow("bad number reads as 0") << "read zz 10" << 1ull << int('A') << QStringList{}
                                               << "startReadOp 0 10 A";
    }
    void rangeOperations()
    {
        QFETCH(QString, line);
        QFETCH(qulonglong, alignUnit);
        QFETCH(int, result);
        QFETCH(QStringList, log);
        QFETCH(QString, start);

        m_programmer->alignUnit = alignUnit;
        QCOMPARE(g_cmdProcessor.RunCommand(line), result);
        QCOMPARE(LogAfterEcho(), log);
        QCOMPARE(m_programmer->calls.size(), 2);
        QCOMPARE(m_programmer->calls.value(1), start);
    }

    // The start call's answer is the command's result, refusals included.
    void rangeStartAnswers_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("answer");

        QTest::newRow("read refused by the engine") << "read" << 129;
        QTest::newRow("verify size mismatch") << "verify" << 130;
        QTest::newRow("program refused") << "program" << 129;
        QTest::newRow("program size mismatch") << "program" << 130;
        QTest::newRow("erase refused") << "erase" << 129;
    }
    void rangeStartAnswers()
    {
        QFETCH(QString, line);
        QFETCH(int, answer);

        m_programmer->readOpAnswer = answer;
        m_programmer->programAnswer = answer;
        m_programmer->eraseAnswer = answer;
        QCOMPARE(g_cmdProcessor.RunCommand(line), answer);
    }

    void logFileSwitch_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("action");

        QTest::newRow("log") << "log" << "SetLogFileEnabled on norvaplex.log";
        QTest::newRow("log 1") << "log 1" << "SetLogFileEnabled on norvaplex.log";
        QTest::newRow("log ff") << "log ff" << "SetLogFileEnabled on norvaplex.log";
        QTest::newRow("log 0") << "log 0" << "SetLogFileEnabled off norvaplex.log";
        QTest::newRow("only the low 32 bits count") << "log 100000000" << "SetLogFileEnabled off norvaplex.log";
        QTest::newRow("not a number") << "log yes" << "SetLogFileEnabled off norvaplex.log";
    }
    void logFileSwitch()
    {
        QFETCH(QString, line);
        QFETCH(QString, action);

        QCOMPARE(g_cmdProcessor.RunCommand(line), 129);
        QCOMPARE(m_frame->actions, QStringList{action});
        QCOMPARE(LogAfterEcho(), QStringList{});
    }

    void color_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("actions");

        QTest::newRow("light yellow") << "COLOR ffffc0" << QStringList{} << QStringList{"SetLogBackground ffffc0"};
        QTest::newRow("first word only") << "color 000000 ffffff" << QStringList{}
                                         << QStringList{"SetLogBackground 000000"};
        QTest::newRow("not validated") << "color blue" << QStringList{} << QStringList{"SetLogBackground blue"};
        QTest::newRow("no word: usage as one message")
            << "color" << QStringList{"Usage: color ffffff\r\n Change back ground color"} << QStringList{};
    }
    void color()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, log);
        QFETCH(QStringList, actions);

        QCOMPARE(g_cmdProcessor.RunCommand(line), 129);
        QCOMPARE(LogAfterEcho(), log);
        QCOMPARE(m_frame->actions, actions);
    }

    void devicesListsTheDatabase()
    {
        auto nand = std::make_unique<CDeviceFamilyNand>();
        QVERIFY(nand->AddLine("Name=\"K9F1G08U0B\",ID1=\"ech\",ID2=\"f1h\",size=\"8400000h\",PageSize=\"840h\","
                              "BlockSize=\"40h\""));
        DeviceFamilies().push_back(std::move(nand));
        DeviceFamilies().push_back(std::make_unique<CDeviceFamilySPI>());

        QStringList expected;
        PrintAll([&expected](const QString &line) { expected << line; }, false);
        QVERIFY(expected.contains(QStringLiteral("Nand")));
        QVERIFY(expected.contains(QStringLiteral("SPI")));

        QCOMPARE(g_cmdProcessor.RunCommand("devices"), 129);
        QCOMPARE(LogAfterEcho(), expected);
    }

    void scriptListing_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("log");

        QTest::newRow("none") << QStringList{} << QStringList{"No script files"};
        QTest::newRow("only other files") << QStringList{"notes.txt", "old.usp.bak"} << QStringList{"No script files"};
        QTest::newRow("sorted ignoring case") << QStringList{"b.usp", "Zed.usp", "A.usp", "notes.txt", "c.USP"}
                                              << QStringList{"A.usp", "b.usp", "Zed.usp"};
        QTest::newRow("folders are not scripts") << QStringList{"dir.usp/inner.usp", "k.usp"}
                                                 << QStringList{"k.usp"};
    }
    void scriptListing()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, log);

        for (const QString &file : files)
            WriteScript(file, "echo x\r\n");
        QCOMPARE(g_cmdProcessor.RunCommand("script"), 129);
        QCOMPARE(LogAfterEcho(), log);
    }

    void scriptShow_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("shown");

        QTest::newRow("name") << "demo.usp" << "script demo" << true;
        QTest::newRow("name with extension") << "demo.usp" << "script demo.usp" << true;
        QTest::newRow("extension inside the name") << "demo.usp.old" << "script demo.usp.old" << true;
        QTest::newRow("other letter case") << "demo.usp" << "script DEMO" << false;
        QTest::newRow("in a subfolder") << "line/a.usp" << "script line/a" << true;
        QTest::newRow("a folder is no file") << "dir.usp/inner.usp" << "script dir" << false;
    }
    void scriptShow()
    {
        QFETCH(QString, file);
        QFETCH(QString, line);
        QFETCH(bool, shown);

        const QByteArray content("// production run\r\necho start\r\nread\r\n");
        WriteScript(file, content);
        QCOMPARE(g_cmdProcessor.RunCommand(line), 129);
        QCOMPARE(LogAfterEcho(),
                 QStringList{shown ? QString::fromLatin1(content) : QStringLiteral("Script file error!")});
        // Shown, never run.
        QVERIFY(m_programmer->calls.isEmpty());
    }

    // The name with ".usp" and its terminator must fit 272 bytes; the file is
    // reached through folders because one file name cannot be that long.
    void scriptNameLimit_data()
    {
        QTest::addColumn<int>("nameBytes"); // word length, ".usp" included
        QTest::addColumn<bool>("shown");

        QTest::newRow("271 bytes") << 271 << true;
        QTest::newRow("272 bytes") << 272 << false;
        QTest::newRow("300 bytes") << 300 << false;
    }
    void scriptNameLimit()
    {
        QFETCH(int, nameBytes);
        QFETCH(bool, shown);

        // Folders of 99 letters plus "/", then the rest as the file name.
        QString name;
        while (nameBytes - name.size() - 4 > 120)
            name += QString(99, QLatin1Char(char('a' + name.size() / 100))) + '/';
        name += QString(nameBytes - name.size() - 4, 'z');
        name += QStringLiteral(".usp");
        QCOMPARE(name.size(), nameBytes);

        WriteScript(name, "echo long\r\n");
        QCOMPARE(g_cmdProcessor.RunCommand("script " + name), 129);
        QCOMPARE(LogAfterEcho(), QStringList{shown ? QStringLiteral("echo long\r\n") : QStringLiteral("Script file error!")});
    }
};

QTEST_GUILESS_MAIN(TestConsoleCommands)
#include "tst_consolecommands.moc"
