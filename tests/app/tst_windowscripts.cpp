#include "AppDirectory.h"
#include "AppSettings.h"
#include "CmdProcessor.h"
#include "DeviceSelectDialog.h"
#include "HexView.h"
#include "MainFrame.h"
#include "MemoryNode.h"
#include "Programmer.h"
#include "Script.h"
#include "WindowTestKit.h"

#include <QDir>
#include <QListWidget>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// A small-page NAND chip: 1024 blocks of 16 pages of 528 bytes, two of them
// factory bad.
constexpr int kNandPageSize = 528;
constexpr int kNandPagesPerBlock = 16;
constexpr int kNandBlocks = 1024;
const QString kNandTarget = QStringLiteral("K9F6408U0C");
const QString kNandChip = QStringLiteral("[adapter]\nmodule=nand\n[nand]\nid=EC E6 00 00 00 00\npage_size=528\n"
                                         "pages_per_block=16\nblocks=1024\nbad_blocks=37,811\nimage=@IMAGE@\n");

// A 512 KiB SPI flash of eight 64 KiB sectors.
constexpr int kSpiSize = 0x80000;
const QString kSpiTarget = QStringLiteral("W25X40");
const QString kSpiChip =
    QStringLiteral("[adapter]\nmodule=spi\n[spi]\nkind=flash\nid=EF 30 13\nsize=0x80000\nimage=@IMAGE@\n");

const QString kPausePrompt = QStringLiteral("Press enter to continue.Spacebar and enter to break....");

QByteArray SpiChipImage()
{
    QByteArray image(kSpiSize, 0);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
    return image;
}

// True when every entry of expected begins a line of lines, in this order.
bool LoggedInOrder(const QStringList &lines, const QStringList &expected)
{
    qsizetype at = 0;
    for (const QString &want : expected) {
        while (at < lines.size() && !lines[at].startsWith(want))
            ++at;
        if (at == lines.size())
            return false;
        ++at;
    }
    return true;
}

} // namespace

// Scripts in the real window, with its worker and the simulated adapter:
// script files from the script folder started by typing their names at the
// console, their arguments, the operator's answers to menus, pauses and
// timed waits, the target's auto script on connection, a target change under
// a waiting script, and a verify that fails under a script.
class TestWindowScripts : public QObject
{
    Q_OBJECT

    static constexpr int OPERATION_MS = CSimWindowRig::OPERATION_MS;

    CSimWindowRig m_rig;
    QByteArray m_chip; // what the chip in the socket holds

    CMainFrame &Window() const { return *m_rig.Window(); }
    QString Log() const { return m_rig.LogText(); }

    // Seats a chip of known contents and opens the window on its target;
    // prepare writes settings and files the window must find at start-up.
    void StartOn(bool nand, const std::function<void()> &prepare = {}, const QString &target = {})
    {
        const QString image = m_rig.UseChip(nand ? kNandChip : kSpiChip);
        m_chip = nand ? NandChipImage(kNandPageSize, kNandPagesPerBlock, kNandBlocks, {37, 811}) : SpiChipImage();
        QVERIFY(WriteWholeFile(image, m_chip));
        m_rig.Start(target.isEmpty() ? (nand ? kNandTarget : kSpiTarget) : target, prepare);
        m_rig.WaitConnected();
    }

    static void WriteScript(const QString &name, const QByteArray &text)
    {
        QVERIFY(QDir().mkpath(AppDirectory(DIR_SCRIPT)));
        QVERIFY(WriteWholeFile(AppDirectory(DIR_SCRIPT) + name + QStringLiteral(".usp"), text));
    }

    QByteArray MainBuffer(uint64_t offset, uint64_t length) const
    {
        QByteArray bytes(qsizetype(length), 0);
        CMemoryNode *buffer = Window().Programmer()->buffer(0);
        const uint64_t got = buffer->Read(offset, reinterpret_cast<uint8_t *>(bytes.data()), length);
        bytes.truncate(qsizetype(got));
        return bytes;
    }

    void WaitLoggedInOrder(const QStringList &expected, qsizetype fromLine = 0)
    {
        QTRY_VERIFY2_WITH_TIMEOUT(LoggedInOrder(m_rig.LogLines().mid(fromLine), expected),
                                  qPrintable("expected in order: " + expected.join(" | ") + "\nlog:\n" + Log()),
                                  OPERATION_MS);
    }

    void VerifyNoneLogged(const QStringList &texts)
    {
        for (const QString &text : texts)
            QVERIFY2(!Log().contains(text), qPrintable(text + " logged:\n" + Log()));
    }

    // Steps of an operator at the console: the first entry is what is typed
    // ("<enter>" alone, "<none>" nothing, "<timer idle>" nothing but waiting
    // until the script timer is no longer pending); the rest are lines that
    // must then follow in the log, in this order.
    void Play(const QList<QStringList> &steps)
    {
        for (const QStringList &step : steps) {
            const qsizetype mark = m_rig.LogLines().size() - 1;
            const QString &input = step.first();
            if (input == "<enter>")
                TypeAtConsole(Window(), QString());
            else if (input == "<timer idle>")
                QTRY_VERIFY_WITH_TIMEOUT(!Window().ScriptTimer()->isActive(), OPERATION_MS);
            else if (input != "<none>")
                TypeAtConsole(Window(), input);
            WaitLoggedInOrder(step.mid(1), mark);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Answers the device selection by choosing name.
    static void ChooseDeviceInDialog(const QString &name)
    {
        AnswerNextModal<CDeviceSelectDialog>([name](CDeviceSelectDialog *dialog) {
            const auto found = dialog->DeviceList()->findItems(name, Qt::MatchExactly);
            if (found.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->DeviceList()->setCurrentItem(found.front());
            dialog->accept();
        });
    }

private slots:
    void init() { QDir(AppDirectory(DIR_SCRIPT)).removeRecursively(); }

    void cleanup()
    {
        m_rig.Close();
        g_cmdProcessor.ResetScript();
    }

    // Each line starts only after the operation of the line before has
    // ended: a line started early would meet a busy window and stop the
    // script with "Failed, Stop script".
    void readThenVerify_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::newRow("NAND") << true;
        QTest::newRow("SPI") << false;
    }
    void readThenVerify()
    {
        QFETCH(bool, nand);
        StartOn(nand);
        if (QTest::currentTestFailed())
            return;
        WriteScript("check", "read\r\nverify\r\necho chip passed\r\n");
        const QString readFile = QDir::tempPath() + "/check-read.bin";
        if (nand)
            AnswerNextFileDialog(readFile); // a NAND read asks where its image goes

        TypeAtConsole(Window(), "check");
        QVERIFY(g_cmdProcessor.script().IsLoaded());
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('A'));
        WaitLoggedInOrder({"-check", "-read", "-verify", "Compare data OK", "chip passed ", "Script finished"});
        VerifyNoneLogged({"Busy", "Stop script", "Bad command"});
        QVERIFY(!g_cmdProcessor.script().IsLoaded());
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(0));
        if (nand)
            QCOMPARE(ReadWholeFile(readFile), m_chip);
        else
            QCOMPARE(MainBuffer(0, kSpiSize), m_chip);
    }

    // Typed words after the script's name reach its command lines as %1,
    // %2 ...; a missing argument leaves its place empty.
    void argumentsReachCommands_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("readLine");
        QTest::addColumn<QString>("adjusted");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("length");
        QTest::newRow("range") << "10000 20000" << "-read 10000 20000" << "" << 0x10000 << 0x20000;
        QTest::newRow("range moved to whole sectors")
            << "10010 20000" << "-read 10010 20000" << "READ 10000 20000" << 0x10000 << 0x20000;
        QTest::newRow("no arguments: whole chip") << "" << "-read  " << "" << 0 << kSpiSize;
    }
    void argumentsReachCommands()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, readLine);
        QFETCH(QString, adjusted);
        QFETCH(int, first);
        QFETCH(int, length);
        StartOn(false);
        if (QTest::currentTestFailed())
            return;
        WriteScript("span", "read %1 %2\nverify %1 %2\nd %1\necho span checked\n");

        TypeAtConsole(Window(), ("span " + arguments).trimmed());
        WaitLoggedInOrder({"-span", "-read", "-verify", "Compare data OK", "-d", "span checked ", "Script finished"});
        VerifyNoneLogged({"Busy", "Stop script", "Bad command"});
        const QStringList lines = m_rig.LogLines();
        QVERIFY2(lines.contains(readLine), qPrintable(Log()));
        if (!adjusted.isEmpty()) {
            QVERIFY2(lines.contains(adjusted), qPrintable(Log()));
            QVERIFY2(lines.contains(QString(adjusted).replace("READ", "VERIFY")), qPrintable(Log()));
        }
        // The read filled the range and nothing before it.
        QCOMPARE(MainBuffer(first, length), m_chip.mid(first, length));
        if (first > 0)
            QVERIFY(MainBuffer(0, first) != m_chip.left(first));
        if (arguments.isEmpty())
            return;

        // "d %1" brought the typed address into sight in the buffer's view.
        const uint64_t shown = arguments.section(' ', 0, 0).toULongLong(nullptr, 16);
        CHexView *view = nullptr;
        for (CHexView *candidate : Window().findChildren<CHexView *>()) {
            if (candidate->buffer() == Window().Programmer()->buffer(0))
                view = candidate;
        }
        QVERIFY(view);
        QVERIFY(view->isVisible());
        const uint64_t row = shown / CHexLayout::kBytesPerRow;
        QVERIFY(view->layout().FirstRow() <= row);
        QVERIFY(row < view->layout().FirstRow() + uint64_t(view->layout().VisibleRows()));
    }

    // The operator's part: choosing from a menu, continuing or ending after
    // a pause, and timed waits on the window's script timer.
    void operatorAnswers_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QList<QStringList>>("steps");
        QTest::addColumn<QStringList>("neverLogged");

        const QByteArray menu = "echo 1 = first 2 = second\n"
                                "option 1 first 2 second\n"
                                "first:\necho took first\ngoto done\n"
                                "second:\necho took second\n"
                                "done:\necho menu done\n";
        QTest::newRow("menu: nothing, a wrong number, a right one")
            << menu
            << QList<QStringList>{{"job", "-job", "1 = first 2 = second ", "Please select"},
                                  {"<enter>", "Please select"},
                                  {"3", "3", "Please select right value"},
                                  {"2", "2", "took second ", "menu done ", "Script finished"}}
            << QStringList{"took first", "Exit Script"};

        const QByteArray production = "again:\nread 0 10000\nverify 0 10000\n"
                                      "option 1 again 2 stop\n"
                                      "stop:\necho stopped\n";
        QTest::newRow("menu after chip operations")
            << production
            << QList<QStringList>{{"job", "-read 0 10000", "-verify 0 10000", "Compare data OK", "Please select"},
                                  {"1", "1", "-read 0 10000", "-verify 0 10000", "Compare data OK", "Please select"},
                                  {"2", "2", "stopped ", "Script finished"}}
            << QStringList{"Exit Script"};

        const QByteArray pauses = "echo step one\npause\necho step two\npause\necho step three\n";
        QTest::newRow("pause: Enter continues")
            << pauses
            << QList<QStringList>{{"job", "step one ", kPausePrompt},
                                  {"<enter>", "step two ", kPausePrompt},
                                  {"<enter>", "step three ", "Script finished"}}
            << QStringList{"Exit Script"};
        QTest::newRow("pause: space and Enter end")
            << pauses << QList<QStringList>{{"job", "step one ", kPausePrompt}, {" ", "Exit Script"}}
            << QStringList{"step two", "Script finished"};
        QTest::newRow("pause: text ends after a continue")
            << pauses
            << QList<QStringList>{{"job", "step one ", kPausePrompt},
                                  {"<enter>", "step two ", kPausePrompt},
                                  {"stop", "Exit Script"}}
            << QStringList{"step three", "Script finished"};

        QTest::newRow("wait: the timer runs on")
            << QByteArray("echo waiting\nwait 200\necho after wait\n")
            << QList<QStringList>{{"job", "waiting "}, {"<none>", "after wait ", "Script finished"}}
            << QStringList{"Exit Script"};
        QTest::newRow("wait between chip operations")
            << QByteArray("read 0 10000\nwait 100\nverify 0 10000\necho after wait\n")
            << QList<QStringList>{{"job", "-read 0 10000", "-verify 0 10000", "Compare data OK", "after wait ",
                                   "Script finished"}}
            << QStringList{"Exit Script"};
        QTest::newRow("wait: Enter runs on at once")
            << QByteArray("echo waiting\nwait 600000\necho after wait\n")
            << QList<QStringList>{{"job", "waiting "}, {"<enter>", "after wait ", "Script finished"}}
            << QStringList{"Exit Script"};
        QTest::newRow("wait: text ends the script")
            << QByteArray("echo waiting\nwait 200\necho after wait\n")
            << QList<QStringList>{{"job", "waiting "}, {"stop", "Exit Script"}, {"<timer idle>"}}
            << QStringList{"after wait", "Script finished"};
    }
    void operatorAnswers()
    {
        QFETCH(QByteArray, script);
        QFETCH(QList<QStringList>, steps);
        QFETCH(QStringList, neverLogged);
        StartOn(false);
        if (QTest::currentTestFailed())
            return;
        WriteScript("job", script);
        Play(steps);
        if (QTest::currentTestFailed())
            return;
        VerifyNoneLogged(neverLogged + QStringList{"Busy", "Stop script", "Bad command"});
    }

    // The script named after the target runs when the adapter becomes ready,
    // only with the "Auto Script" setting on.
    void autoScriptOnConnection_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("autoScript");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("on") << kSpiTarget << true << QByteArray("read\nverify\necho auto script passed\n")
                            << QStringList{"-read", "-verify", "Compare data OK", "auto script passed ",
                                           "Script finished"};
        QTest::newRow("off") << kSpiTarget << false << QByteArray("read\nverify\necho auto script passed\n")
                             << QStringList{};
        QTest::newRow("device name with a space")
            << QStringLiteral("SPI SFDP") << true << QByteArray("echo auto script passed\n")
            << QStringList{"auto script passed ", "Script finished"};
    }
    void autoScriptOnConnection()
    {
        QFETCH(QString, target);
        QFETCH(bool, autoScript);
        QFETCH(QByteArray, script);
        QFETCH(QStringList, expected);
        StartOn(
            false,
            [&] {
                AppSettings().WriteBool(SET_AUTO_SCRIPT, autoScript);
                WriteScript(target, script);
            },
            target);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(Window().AutoScript(), autoScript);
        if (expected.isEmpty()) {
            // The auto script would have started with the ready adapter.
            QVERIFY(!g_cmdProcessor.script().IsLoaded());
            VerifyNoneLogged({"-read", "auto script passed"});
            return;
        }
        WaitLoggedInOrder(expected);
        VerifyNoneLogged({"Busy", "Stop script", "Bad command"});
    }

    // Another target set up while a script waits (from the device dialog,
    // or asked for by the script itself) clears the script: nothing of it
    // runs afterwards.
    void targetChangeClearsWaitingScript_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("byDialog");
        QTest::newRow("paused") << QByteArray("echo ready\npause\necho after\n") << true;
        QTest::newRow("waiting for a choice") << QByteArray("echo ready\noption 1 next\nnext:\necho after\n") << true;
        QTest::newRow("waiting for the timer") << QByteArray("echo ready\nwait 600000\necho after\n") << true;
        QTest::newRow("device chosen by the script")
            << QByteArray("echo ready\ndevice W25X20\npause\necho after\n") << false;
    }
    void targetChangeClearsWaitingScript()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, byDialog);
        StartOn(false);
        if (QTest::currentTestFailed())
            return;
        WriteScript("job", script);
        TypeAtConsole(Window(), "job");
        QVERIFY2(Log().contains("ready "), qPrintable(Log()));
        if (byDialog) {
            QVERIFY(g_cmdProcessor.script().IsLoaded());
            ChooseDeviceInDialog("W25X20");
            Window().Action(CMainFrame::ActDevice)->trigger();
        }
        QTRY_COMPARE_WITH_TIMEOUT(Window().TargetName(), QStringLiteral("W25X20"), OPERATION_MS);
        QTRY_VERIFY_WITH_TIMEOUT(Log().contains("Target: W25X20"), OPERATION_MS);
        QVERIFY(!g_cmdProcessor.script().IsLoaded());
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t(0));

        // Enter, a choice or the timer have nothing left to run on.
        TypeAtConsole(Window(), QString());
        TypeAtConsole(Window(), "1");
        m_rig.WaitConnected();
        QTRY_VERIFY_WITH_TIMEOUT(!Window().ScriptTimer()->isActive(), OPERATION_MS);
        VerifyNoneLogged({"after", "Script finished", "Please select right value"});
    }

    // A verify that finds a difference ends without its completion code:
    // the script stays waiting; Enter runs on, any text ends it.
    void failedVerifyLeavesScriptWaiting_data()
    {
        QTest::addColumn<bool>("nand");
        QTest::addColumn<qint64>("altered");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("then");
        const qint64 nandByte = qint64(1000) * kNandPageSize * kNandPagesPerBlock + 3 * kNandPageSize + 100;
        QTest::newRow("SPI, Enter runs on") << false << qint64(0x7FF00) << "<enter>"
                                            << QStringList{"after verify ", "Script finished"};
        QTest::newRow("SPI, text ends") << false << qint64(0x7FF00) << "no" << QStringList{"Exit Script"};
        QTest::newRow("NAND, Enter runs on") << true << nandByte << "<enter>"
                                             << QStringList{"after verify ", "Script finished"};
        QTest::newRow("NAND, text ends") << true << nandByte << "no" << QStringList{"Exit Script"};
    }
    void failedVerifyLeavesScriptWaiting()
    {
        QFETCH(bool, nand);
        QFETCH(qint64, altered);
        QFETCH(QString, answer);
        QFETCH(QStringList, then);
        StartOn(nand);
        if (QTest::currentTestFailed())
            return;
        // The image differs from the chip in one byte near its end, so most
        // of the compare passes first.
        QByteArray image = m_chip;
        image[altered] = char(image[altered] ^ 0x5A);
        const QString imagePath = QDir::tempPath() + "/altered.bin";
        QVERIFY(WriteWholeFile(imagePath, image));
        WriteScript("recheck", "load %1\nverify\necho after verify\n");

        TypeAtConsole(Window(), "recheck " + imagePath);
        const QString failure = QStringLiteral("Compare data Failed address ")
                                + QString::number(altered, 16).toUpper()
                                + QString::asprintf(" ,target %02X,PC memory %02X", uint8_t(m_chip[altered]),
                                                    uint8_t(image[altered]));
        QTRY_VERIFY_WITH_TIMEOUT(Log().contains("Compare data Failed"), OPERATION_MS);
        QTRY_VERIFY_WITH_TIMEOUT(!Window().IsOperationRunning(), OPERATION_MS);
        QVERIFY2(m_rig.LogLines().contains(failure), qPrintable(failure + "\n" + Log()));
        QVERIFY(g_cmdProcessor.script().IsLoaded());
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('B'));
        VerifyNoneLogged({"Compare data OK", "after verify"});

        Play({QStringList{answer} + then});
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!g_cmdProcessor.script().IsLoaded());
        if (answer != "<enter>")
            VerifyNoneLogged({"after verify"});
        VerifyNoneLogged({"Busy", "Stop script", "Bad command"});
    }
};

QTEST_MAIN(TestWindowScripts)
#include "tst_windowscripts.moc"
