#include "AppSettings.h"
#include "CommandLine.h"
#include "ProgrammerLine.h"
#include "UiText.h"

#include <QTest>

// The option table, its parser, and the help and manual page made from it.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parses_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("set");    // options found set
        QTest::addColumn<QString>("errorWord"); // the word the error names
        QTest::newRow("nothing") << QStringList() << true << QStringList() << "";
        QTest::newRow("long help") << QStringList({"--help"}) << true << QStringList({"help"}) << "";
        QTest::newRow("short help") << QStringList({"-h"}) << true << QStringList({"help"}) << "";
        QTest::newRow("both") << QStringList({"-v", "--help"}) << true << QStringList({"help", "version"}) << "";
        QTest::newRow("unknown long") << QStringList({"--frobnicate"}) << false << QStringList() << "--frobnicate";
        QTest::newRow("unknown short") << QStringList({"-q"}) << false << QStringList() << "-q";
        QTest::newRow("prefix is no option") << QStringList({"--hel"}) << false << QStringList() << "--hel";
        QTest::newRow("argument") << QStringList({"image.bin"}) << false << QStringList() << "image.bin";
        // Two dashes end the options: what follows goes to the script.
        QTest::newRow("lone dashes") << QStringList({"--"}) << true << QStringList() << "";
        QTest::newRow("switch with value") << QStringList({"--help=yes"}) << false << QStringList() << "--help=yes";
        // What came before the bad word is kept, so --help is still seen.
        QTest::newRow("help before unknown") << QStringList({"--help", "-platform"}) << false
                                             << QStringList({"help"}) << "-platform";
    }
    void parses()
    {
        QFETCH(QStringList, words);
        QFETCH(bool, ok);
        QFETCH(QStringList, set);
        QFETCH(QString, errorWord);
        CCommandLine commandLine;
        QCOMPARE(commandLine.Parse(words), ok);
        for (const SCommandLineOption &option : CommandLineOptions())
            QCOMPARE(commandLine.IsSet(option.name), set.contains(QLatin1String(option.name)));
        QCOMPARE(commandLine.Error().isEmpty(), ok);
        if (!ok)
            QVERIFY2(commandLine.Error().contains(errorWord), qPrintable(commandLine.Error()));
    }

    // Options with values, on a table of the test's own.
    void readsValues_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("script");
        QTest::newRow("separate word") << QStringList({"--device", "W25Q80BV"}) << true << "W25Q80BV" << "";
        QTest::newRow("after equals") << QStringList({"--device=SPI SFDP"}) << true << "SPI SFDP" << "";
        QTest::newRow("empty after equals") << QStringList({"--device="}) << true << "" << "";
        QTest::newRow("short") << QStringList({"-d", "K9F1G08U0E", "-s", "run.usp"}) << true << "K9F1G08U0E"
                               << "run.usp";
        QTest::newRow("value starting with a dash") << QStringList({"--script", "-x.usp"}) << true << ""
                                                    << "-x.usp";
        QTest::newRow("last one wins") << QStringList({"-d", "A", "--device", "B"}) << true << "B" << "";
        QTest::newRow("value missing") << QStringList({"--device"}) << false << "" << "";
        QTest::newRow("short value missing") << QStringList({"--script", "a.usp", "-d"}) << false << "" << "a.usp";
    }
    void readsValues()
    {
        QFETCH(QStringList, words);
        QFETCH(bool, ok);
        QFETCH(QString, device);
        QFETCH(QString, script);
        static const SCommandLineOption options[] = {
            {"device", 'd', "NAME", 353},
            {"script", 's', "FILE", 353},
            {"quiet", 0, nullptr, 353},
        };
        CCommandLine commandLine(options);
        QCOMPARE(commandLine.Parse(words), ok);
        QCOMPARE(commandLine.Value("device"), device);
        QCOMPARE(commandLine.Value("script"), script);
        QVERIFY(!commandLine.IsSet("quiet"));
        if (!ok)
            QVERIFY2(commandLine.Error().contains("needs a value"), qPrintable(commandLine.Error()));
    }

    // --programmer picks the programmer for this run; without it the
    // environment's line stands, else the one the window stored.
    void programmerOptionChoosesTheLine_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("used");
        QTest::newRow("option") << QStringList({"--programmer", "serprog:/dev/ttyACM0,baud=2000000"}) << "ch341a"
                                << "spidev:/dev/spidev0.0" << "serprog:/dev/ttyACM0,baud=2000000";
        QTest::newRow("short option") << QStringList({"-p", "ch341a"}) << "" << "" << "ch341a";
        QTest::newRow("option back to the simulator") << QStringList({"--programmer=sim"}) << "ch341a" << ""
                                                      << "sim";
        QTest::newRow("environment") << QStringList() << "ch341a" << "spidev:/dev/spidev0.0" << "ch341a";
        QTest::newRow("stored") << QStringList() << "" << "spidev:/dev/spidev0.0" << "spidev:/dev/spidev0.0";
        QTest::newRow("nothing: the configuration decides") << QStringList() << "" << "" << "";
    }
    void programmerOptionChoosesTheLine()
    {
        QFETCH(QStringList, words);
        QFETCH(QString, environment);
        QFETCH(QString, stored);
        QFETCH(QString, used);
        ProgrammerLine::Use(environment);
        ProgrammerLine::Store(stored);
        CCommandLine commandLine;
        QVERIFY(commandLine.Parse(words));
        ProgrammerLine::UseAtStartup(commandLine.IsSet("programmer"), commandLine.Value("programmer"));
        QCOMPARE(ProgrammerLine::Current(), used);
        QCOMPARE(qEnvironmentVariable("XRUSB_PROGRAMMER"), used);
        ProgrammerLine::Use(QString());
        ProgrammerLine::Store(QString());
    }

    void aSecondParseForgetsTheFirst()
    {
        CCommandLine commandLine;
        QVERIFY(!commandLine.Parse({"--version", "--bogus"}));
        QVERIFY(commandLine.Parse({"--help"}));
        QVERIFY(!commandLine.IsSet("version"));
        QVERIFY(commandLine.Error().isEmpty());
    }

    void everyOptionIsListedAndDocumented()
    {
        const QString help = CommandLineHelp("norvaplex");
        const QString man = CommandLineManOptions();
        QVERIFY(help.startsWith("Usage: norvaplex [options]\n"));
        for (const SCommandLineOption &option : CommandLineOptions()) {
            const QString name = QLatin1String(option.name);
            QVERIFY2(help.contains("--" + name), option.name);
            // The manual page writes every dash of an option as a minus sign.
            QVERIFY2(man.contains("\\fB\\-\\-" + QString(name).replace("-", "\\-") + "\\fR"), option.name);
            QVERIFY2(!Text(option.helpText).isEmpty(), option.name);
            QVERIFY2(help.contains(Text(option.helpText)), option.name);
            if (option.shortName)
                QVERIFY2(help.contains(QString("-%1, --%2").arg(QLatin1Char(option.shortName)).arg(name)), option.name);
            if (option.valueName)
                QVERIFY2(help.contains(QLatin1String(option.valueName)), option.name);
        }
        // One paragraph per option, each a tagged paragraph of troff.
        QCOMPARE(man.count(".TP\n"), qsizetype(CommandLineOptions().size()));
    }

    void namesAreUnique()
    {
        const auto options = CommandLineOptions();
        for (size_t i = 0; i < options.size(); ++i) {
            for (size_t j = i + 1; j < options.size(); ++j) {
                QVERIFY2(qstrcmp(options[i].name, options[j].name) != 0, options[i].name);
                QVERIFY2(!options[i].shortName || options[i].shortName != options[j].shortName, options[i].name);
            }
        }
    }

    void versionNamesTheProduct()
    {
        QVERIFY(CommandLineVersion().startsWith("Norvaplex 1."));
        QVERIFY(CommandLineVersion().endsWith('\n'));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
