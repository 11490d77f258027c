#include "ActionRecordingFrame.h"
#include "CmdProcessor.h"
#include "RecordingProgrammer.h"
#include "UiText.h"

#include <QTest>

#include <memory>

// The command processor: dispatch of lines, the table built for each kind of
// programmer, the help listing, completion and the awaited completion code.
class TestCmdProcessor : public QObject
{
    Q_OBJECT

private:
    static constexpr uint32_t NandCaps = 0x9F;
    static constexpr uint32_t SpiCaps = 0xCF;
    static constexpr uint32_t SpiQuadCaps = 0xC9;

    std::unique_ptr<CActionRecordingFrame> m_frame;
    std::unique_ptr<CRecordingProgrammer> m_programmer;

    void SetUpTarget(uint32_t caps)
    {
        m_programmer = std::make_unique<CRecordingProgrammer>(caps);
        m_frame->programmer = m_programmer.get();
        g_cmdProcessor.BuildCommands(m_programmer.get());
    }

    static QStringList Names()
    {
        QStringList names;
        for (const auto &command : g_cmdProcessor.commands())
            names << command->m_name;
        return names;
    }

    static QStringList NandNames()
    {
        return {"EXIT", "HELP", "DETECT", "INITUSB", "READ", "PROGRAM", "LOAD", "VERIFY",
                "BLKCHK", "WRITE", "NEWCHIP", "MFC", "SMTCPY", "DEVICE", "ABOUT", "CLS",
                "ERASE", "SPEED", "DEVICES", "LOG", "SCRIPT", "COLOR", "RANDOMFILE", "D"};
    }

private slots:
    void init()
    {
        m_frame = std::make_unique<CActionRecordingFrame>();
        SetUpTarget(NandCaps);
    }
    void cleanup()
    {
        g_cmdProcessor.BuildCommands(nullptr);
        m_programmer.reset();
        m_frame.reset();
    }

    void dispatch_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("calls");

        const QStringList wholeChipRead{"normalizeRange 0 0", "startReadOp 0 10000 A"};
        QTest::newRow("lower case") << "read" << int('A') << QStringList{"-read"} << wholeChipRead;
        QTest::newRow("mixed case") << "Read" << int('A') << QStringList{"-Read"} << wholeChipRead;
        QTest::newRow("upper case") << "READ" << int('A') << QStringList{"-READ"} << wholeChipRead;
        QTest::newRow("longer word") << "READX" << 0 << QStringList{"-READX"} << QStringList{};
        QTest::newRow("prefix only") << "rea" << 0 << QStringList{"-rea"} << QStringList{};
        QTest::newRow("unknown word with arguments") << "frobnicate 1 2" << 0 << QStringList{"-frobnicate 1 2"}
                                                     << QStringList{};
        QTest::newRow("runs of spaces") << "  read   0   800" << int('A') << QStringList{"-  read   0   800"}
                                        << QStringList{"normalizeRange 0 800", "startReadOp 0 800 A"};
        QTest::newRow("trailing spaces") << "read 0 800   " << int('A') << QStringList{"-read 0 800   "}
                                         << QStringList{"normalizeRange 0 800", "startReadOp 0 800 A"};
        QTest::newRow("tab belongs to the word") << "read\t0 800" << 0 << QStringList{"-read\t0 800"}
                                                 << QStringList{};
        QTest::newRow("empty line") << "" << 0 << QStringList{} << QStringList{};
        QTest::newRow("only spaces") << "     " << 0 << QStringList{} << QStringList{};
        QTest::newRow("command result passed on") << "write" << 129 << QStringList{"-write"} << QStringList{};
    }
    void dispatch()
    {
        QFETCH(QString, line);
        QFETCH(int, result);
        QFETCH(QStringList, log);
        QFETCH(QStringList, calls);

        QCOMPARE(g_cmdProcessor.RunCommand(line), result);
        QCOMPARE(m_frame->log, log);
        QCOMPARE(m_programmer->calls, calls);
    }

    void noTargetMeansNoCommands()
    {
        g_cmdProcessor.BuildCommands(nullptr);
        QVERIFY(g_cmdProcessor.commands().empty());
        QCOMPARE(g_cmdProcessor.programmer(), nullptr);
        QCOMPARE(g_cmdProcessor.RunCommand("help"), 0);
        QCOMPARE(m_frame->log, QStringList{"-help"});
        QString current;
        QVERIFY(!g_cmdProcessor.CompleteCommand("h", current));
    }

    void registration_data()
    {
        QTest::addColumn<uint>("caps");
        QTest::addColumn<QStringList>("names");

        QTest::newRow("NAND") << uint(NandCaps) << NandNames();
        QTest::newRow("SPI") << uint(SpiCaps)
                             << QStringList{"EXIT", "HELP", "DETECT", "INITUSB", "READ", "PROGRAM", "SAVE",
                                            "LOAD", "VERIFY", "BLKCHK", "WRITE", "DEVICE", "ABOUT", "CLS",
                                            "ERASE", "SPEED", "DEVICES", "LOG", "SCRIPT", "COLOR",
                                            "RANDOMFILE", "D"};
        QTest::newRow("SPI quad IO") << uint(SpiQuadCaps)
                                     << QStringList{"EXIT", "HELP", "DETECT", "INITUSB", "READ", "PROGRAM",
                                                    "SAVE", "LOAD", "VERIFY", "WRITE", "DEVICE", "ABOUT",
                                                    "CLS", "SPEED", "DEVICES", "LOG", "SCRIPT", "COLOR",
                                                    "RANDOMFILE", "D"};
        // Bit 0x20 means nothing to the console.
        QTest::newRow("only the unused bit") << 0x20u
                                             << QStringList{"EXIT", "HELP", "INITUSB", "READ", "LOAD", "DEVICE",
                                                            "ABOUT", "CLS", "SPEED", "DEVICES", "LOG", "SCRIPT",
                                                            "COLOR", "RANDOMFILE", "D"};
    }
    void registration()
    {
        QFETCH(uint, caps);
        QFETCH(QStringList, names);

        SetUpTarget(caps);
        QCOMPARE(Names(), names);
        QCOMPARE(g_cmdProcessor.programmer(), m_programmer.get());

        // HELP lists exactly the registered names, in order.
        QStringList listing{"-help"};
        for (const QString &name : names)
            listing << " " + name;
        QCOMPARE(g_cmdProcessor.RunCommand("help"), 129);
        QCOMPARE(m_frame->log, listing);
    }

    void familyOnlyCommands_data()
    {
        QTest::addColumn<uint>("caps");
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("known");

        QTest::newRow("SAVE on NAND") << uint(NandCaps) << "save" << false;
        QTest::newRow("SAVE on SPI") << uint(SpiCaps) << "save" << true;
        for (const char *word : {"newchip", "mfc", "smtcpy"}) {
            QTest::addRow("%s on NAND", word) << uint(NandCaps) << word << true;
            QTest::addRow("%s on SPI", word) << uint(SpiCaps) << word << false;
        }
        QTest::newRow("ERASE on quad SPI") << uint(SpiQuadCaps) << "erase" << false;
        QTest::newRow("BLKCHK on quad SPI") << uint(SpiQuadCaps) << "blkchk" << false;
    }
    void familyOnlyCommands()
    {
        QFETCH(uint, caps);
        QFETCH(QString, word);
        QFETCH(bool, known);

        SetUpTarget(caps);
        QCOMPARE(g_cmdProcessor.FindCommand(word) != nullptr, known);
        if (!known)
            QCOMPARE(g_cmdProcessor.RunCommand(word), 0);
    }

    void findCommand_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("found");

        QTest::newRow("exact") << "DEVICES" << "DEVICES";
        QTest::newRow("lower case") << "devices" << "DEVICES";
        QTest::newRow("one letter") << "d" << "D";
        QTest::newRow("no alias") << "quit" << "";
        QTest::newRow("empty") << "" << "";
    }
    void findCommand()
    {
        QFETCH(QString, name);
        QFETCH(QString, found);

        const CCmd *command = g_cmdProcessor.FindCommand(name);
        QCOMPARE(command ? command->m_name : QString(), found);
    }

    void usageTexts_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("usage");

        QTest::newRow("EXIT") << "exit" << "Usage: exit\r\n Exit the application.";
        QTest::newRow("HELP") << "help" << "Usage: help (cmd)\r\n Output the usage of the command.";
        QTest::newRow("DETECT") << "detect" << "Usage: detect\r\n Detect the devices.";
        QTest::newRow("INITUSB") << "initusb" << "Usage: initusb\r\n Reinit the USB port.";
        QTest::newRow("READ") << "read"
                              << "Usage: read address length\r\n Usage:read\r\n Read memory from target to PC memory";
        QTest::newRow("PROGRAM") << "program" << "Usage: program address length\r\n Usage:program\r\n program target.";
        QTest::newRow("LOAD") << "load" << "Usage: load (filename)\r\n Load file into memory.";
        QTest::newRow("VERIFY") << "verify"
                                << "Usage: verify address length\r\n Usage:verify\r\n compare memory between target "
                                   "and PC memory";
        QTest::newRow("BLKCHK") << "blkchk" << "Usage: blkchk address length\r\n Usage:blkchk \r\n Blank check flash";
        QTest::newRow("WRITE") << "write" << "Usage: write \r\n Write memory to target from PC memory";
        QTest::newRow("NEWCHIP") << "newchip" << "Start a new chip operation";
        QTest::newRow("MFC") << "mfc" << "Usage: mfc \r\n Multiple Read File Correction";
        QTest::newRow("SMTCPY") << "smtcpy" << "Copy to target with analyze";
        QTest::newRow("DEVICE") << "device" << "Usage: device \r\n select device";
        QTest::newRow("ABOUT") << "about" << "Usage: about\r\n Display version info";
        QTest::newRow("CLS") << "cls" << "Usage: cls\r\n Clear the output display";
        QTest::newRow("ERASE") << "erase" << "Usage: erase address length\r\n Usage:erase\r\n Erase the flash";
        QTest::newRow("SPEED") << "speed" << "Usage: speed 0 (1) (2)\r\nAdjust target speed";
        QTest::newRow("DEVICES") << "devices" << "Usage: devices\n Display all the devices";
        QTest::newRow("LOG") << "log" << "Usage: log (1) 0\r\n Enable/disable the log.";
        QTest::newRow("SCRIPT") << "script"
                                << "Usage: script \r\nDisplay all the script files\r\n script file\r\n Display script";
        QTest::newRow("COLOR") << "color" << "Usage: color ffffff\r\n Change back ground color";
        QTest::newRow("RANDOMFILE") << "randomfile" << "";
        QTest::newRow("D") << "d" << "Usage: d address.\r\n Make the address visible";
    }
    void usageTexts()
    {
        QFETCH(QString, word);
        QFETCH(QString, usage);

        QCOMPARE(g_cmdProcessor.RunCommand("help " + word), 129);
        QCOMPARE(m_frame->log, (QStringList{"-help " + word, usage}));
    }

    void saveUsageOnSpi()
    {
        SetUpTarget(SpiCaps);
        QCOMPARE(g_cmdProcessor.FindCommand("save")->usageText(),
                 QStringLiteral("Usage: save tabname (filename)\r\n save start end (filename)\r\n Save the data in the tab"));
    }

    void helpForUnknownLogsNothing()
    {
        QCOMPARE(g_cmdProcessor.RunCommand("help nosuch"), 129);
        QCOMPARE(m_frame->log, QStringList{"-help nosuch"});
    }

    void randomFileCarriesItsOwnText()
    {
        const CCmd *command = g_cmdProcessor.FindCommand("randomfile");
        QVERIFY(command);
        QCOMPARE(command->m_helpIndex, -1);
        QVERIFY(command->m_helpText.isEmpty());
    }

    void completion_data()
    {
        QTest::addColumn<uint>("caps");
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QStringList>("sequence");

        QTest::newRow("de cycles") << uint(NandCaps) << "de" << ""
                                   << QStringList{"DETECT", "DEVICE", "DEVICES", "DETECT"};
        QTest::newRow("d cycles") << uint(NandCaps) << "d" << ""
                                  << QStringList{"DETECT", "DEVICE", "DEVICES", "D", "DETECT"};
        QTest::newRow("upper-case prefix") << uint(NandCaps) << "DE" << "" << QStringList{"DETECT", "DEVICE"};
        QTest::newRow("current not matching") << uint(NandCaps) << "de" << "READ" << QStringList{"DETECT"};
        QTest::newRow("current in other case starts over") << uint(NandCaps) << "de" << "device"
                                                           << QStringList{"DETECT"};
        QTest::newRow("single match stays") << uint(NandCaps) << "sm" << "" << QStringList{"SMTCPY", "SMTCPY"};
        QTest::newRow("family-only word absent") << uint(SpiCaps) << "sa" << "" << QStringList{"SAVE"};
    }
    void completion()
    {
        QFETCH(uint, caps);
        QFETCH(QString, prefix);
        QFETCH(QString, start);
        QFETCH(QStringList, sequence);

        SetUpTarget(caps);
        QString current = start;
        QStringList seen;
        for (int i = 0; i < sequence.size(); ++i) {
            QVERIFY(g_cmdProcessor.CompleteCommand(prefix, current));
            seen << current;
        }
        QCOMPARE(seen, sequence);
        QVERIFY(m_frame->log.isEmpty());
    }

    void completionWithoutMatch_data()
    {
        QTest::addColumn<uint>("caps");
        QTest::addColumn<QString>("prefix");

        QTest::newRow("empty prefix") << uint(NandCaps) << "";
        QTest::newRow("nothing starts so") << uint(NandCaps) << "zz";
        QTest::newRow("SAVE absent on NAND") << uint(NandCaps) << "sa";
        QTest::newRow("longer than any name") << uint(NandCaps) << "devicess";
    }
    void completionWithoutMatch()
    {
        QFETCH(uint, caps);
        QFETCH(QString, prefix);

        SetUpTarget(caps);
        QString current = QStringLiteral("unchanged");
        QVERIFY(!g_cmdProcessor.CompleteCommand(prefix, current));
        QCOMPARE(current, QStringLiteral("unchanged"));
    }

    // Every way of replacing the target forgets the awaited code.
    void awaitCodeReset_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("BuildCommands") << 0;
        QTest::newRow("ClearCommands") << 1;
        QTest::newRow("ResetScript") << 2;
    }
    void awaitCodeReset()
    {
        QFETCH(int, how);

        g_cmdProcessor.setAwaitCode('A');
        if (how == 0)
            SetUpTarget(SpiCaps);
        else if (how == 1)
            g_cmdProcessor.ClearCommands();
        else
            g_cmdProcessor.ResetScript();
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(0));
        // ResetScript keeps the table; the other two rebuild or empty it.
        QCOMPARE(g_cmdProcessor.commands().empty(), how == 1);
    }

    void notificationWithoutScriptDoesNothing()
    {
        g_cmdProcessor.setAwaitCode('A');
        g_cmdProcessor.NotifyConsole('A');
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('A'));
        QVERIFY(m_frame->log.isEmpty());
    }

    void conditionValuesStartAtZero()
    {
        QCOMPARE(g_cmdProcessor.peekValue(), 0u);
        QCOMPARE(g_cmdProcessor.memoryValue(), 0u);
        QCOMPARE(g_cmdProcessor.flashSetValue(), uint8_t(0));
    }

    void hexArguments_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<qulonglong>("value");

        QTest::newRow("plain") << "800" << 0x800ull;
        QTest::newRow("upper-case digits") << "FF" << 0xFFull;
        QTest::newRow("0x prefix") << "0x1f" << 0x1Full;
        QTest::newRow("0X prefix") << "0X20" << 0x20ull;
        QTest::newRow("64 bits") << "ffffffffffffffff" << ~0ull;
        QTest::newRow("too large") << "10000000000000000" << 0ull;
        QTest::newRow("not a number") << "zz" << 0ull;
        QTest::newRow("trailing junk") << "12g" << 0ull;
        QTest::newRow("negative") << "-1" << 0ull;
        QTest::newRow("prefix alone") << "0x" << 0ull;
        QTest::newRow("empty") << "" << 0ull;
    }
    void hexArguments()
    {
        QFETCH(QString, word);
        QFETCH(qulonglong, value);
        QCOMPARE(qulonglong(ParseHexArgument(word)), value);
    }

    void speedArguments_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<int>("value");

        QTest::newRow("decimal") << "10" << 10;
        QTest::newRow("leading zero is still decimal") << "011" << 11;
        QTest::newRow("largest") << "65535" << 65535;
        QTest::newRow("too large") << "65536" << 0;
        QTest::newRow("hex digits") << "a" << 0;
        QTest::newRow("negative") << "-1" << 0;
    }
    void speedArguments()
    {
        QFETCH(QString, word);
        QFETCH(int, value);
        QCOMPARE(int(ParseSpeedArgument(word)), value);
    }
};

QTEST_GUILESS_MAIN(TestCmdProcessor)
#include "tst_cmdprocessor.moc"
