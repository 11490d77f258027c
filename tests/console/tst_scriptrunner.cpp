#include "ActionRecordingFrame.h"
#include "AppDirectory.h"
#include "CmdProcessor.h"
#include "RangeOperation.h"
#include "RecordingProgrammer.h"
#include "Script.h"
#include "ScriptRunner.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The window's side of the script: the single-shot script timer is recorded
// and kept as a pending flag, and the compare flag (the CMPRAM term) is set
// by the test.
class CScriptFrame : public CActionRecordingFrame
{
public:
    bool compareFlag = false;
    bool timerPending = false;
    bool CompareFlag() const override { return compareFlag; }
    void StartScriptTimer(int milliseconds) override
    {
        CActionRecordingFrame::StartScriptTimer(milliseconds);
        timerPending = true;
    }
    void StopScriptTimer() override
    {
        actions << QStringLiteral("StopScriptTimer");
        timerPending = false;
    }
};

} // namespace

// The runner of the command processor with a real command table: scripts
// started by typing their names, every result code, the waits for an
// operation, a timer, a pause and a choice, and the auto script. Events are
// written as words: "type <text>" is a line entered in the console, "enter"
// an empty one, "notify <letter>" the end of an operation, "timer" the
// window's script timer firing, "target" a new target set up.
class TestScriptRunner : public QObject
{
    Q_OBJECT

private:
    static constexpr uint32_t NandCaps = 0x9F;

    QTemporaryDir m_dir;
    std::unique_ptr<CScriptFrame> m_frame;
    std::unique_ptr<CRecordingProgrammer> m_programmer;

    void WriteScript(const QString &name, const QByteArray &text)
    {
        QFile file(m_dir.filePath(name + ".usp"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(text), text.size());
    }

    void SetUpTarget()
    {
        m_programmer = std::make_unique<CRecordingProgrammer>(NandCaps);
        m_frame->programmer = m_programmer.get();
        g_cmdProcessor.BuildCommands(m_programmer.get());
    }

    void Play(const QStringList &events)
    {
        for (const QString &event : events) {
            if (event.startsWith("type "))
                g_cmdProcessor.OnConsoleLine(event.mid(5));
            else if (event == "enter")
                g_cmdProcessor.OnConsoleLine(QString());
            else if (event.startsWith("notify "))
                g_cmdProcessor.NotifyConsole(event.at(7).unicode());
            else if (event == "timer") {
                // The window's timer fires only when it is still pending; its
                // slot resumes only a loaded script.
                if (!m_frame->timerPending)
                    continue;
                m_frame->timerPending = false;
                if (g_cmdProcessor.script().IsLoaded())
                    g_cmdProcessor.RunScript();
            } else if (event == "target") {
                g_cmdProcessor.ResetScript();
                SetUpTarget();
            } else {
                QFAIL(qPrintable("unknown event " + event));
            }
        }
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        g_scriptDirOverride = m_dir.path();
    }
    void init()
    {
        m_frame = std::make_unique<CScriptFrame>();
        SetUpTarget();
        m_frame->actions.clear();
    }
    void cleanup()
    {
        g_cmdProcessor.BuildCommands(nullptr);
        m_programmer.reset();
        m_frame.reset();
    }

    void results_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<int>("awaitCode");

        const QString verify = QString(QChar(OP_CODE_VERIFY));
        const QByteArray readVerify("read\nverify\n");

        QTest::newRow("commands done at once run back to back")
            << QByteArray("cls\nwrite\n") << QStringList{"type job"}
            << QStringList{"-job", "-cls", "-write", "Script finished"} << false << 0;
        QTest::newRow("an operation makes the script wait")
            << readVerify << QStringList{"type job"} << QStringList{"-job", "-read"} << true << int('A');
        QTest::newRow("its completion resumes it")
            << readVerify << QStringList{"type job", "notify A"} << QStringList{"-job", "-read", "-verify"} << true
            << int(OP_CODE_VERIFY);
        QTest::newRow("to the end")
            << readVerify << QStringList{"type job", "notify A", "notify " + verify}
            << QStringList{"-job", "-read", "-verify", "Script finished"} << false << 0;
        QTest::newRow("another completion does not")
            << readVerify << QStringList{"type job", "notify " + verify} << QStringList{"-job", "-read"} << true
            << int('A');
        QTest::newRow("Enter runs on without waiting")
            << readVerify << QStringList{"type job", "enter"} << QStringList{"-job", "-read", "-verify"} << true
            << int(OP_CODE_VERIFY);
        QTest::newRow("other text ends the wait and the script")
            << readVerify << QStringList{"type job", "type x", "notify A"}
            << QStringList{"-job", "-read", "Exit Script"} << false << 0;
        QTest::newRow("a bad command pauses")
            << QByteArray("frob 1\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-frob 1", "Bad command"} << true << 0;
        QTest::newRow("Enter goes on after a bad command")
            << QByteArray("frob 1\ncls\n") << QStringList{"type job", "enter"}
            << QStringList{"-job", "-frob 1", "Bad command", "-cls", "Script finished"} << false << 0;
        QTest::newRow("a refused command stops")
            << QByteArray("busy:\nread\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-read", "Busy", "Failed, Stop script", "Script finished"} << false << 0;
        QTest::newRow("an error stops")
            << QByteArray("load\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-load", "Error, Stop script", "Script finished"} << false << 0;
        QTest::newRow("pause")
            << QByteArray("pause\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "Press enter to continue.Spacebar and enter to break...."} << true << 0;
        QTest::newRow("pause, Enter")
            << QByteArray("pause\ncls\n") << QStringList{"type job", "enter"}
            << QStringList{"-job", "Press enter to continue.Spacebar and enter to break....", "-cls",
                           "Script finished"}
            << false << 0;
        QTest::newRow("pause, space Enter")
            << QByteArray("pause\ncls\n") << QStringList{"type job", "type  "}
            << QStringList{"-job", "Press enter to continue.Spacebar and enter to break....", "Exit Script"}
            << false << 0;
        QTest::newRow("a pause is not ended by a late completion")
            << QByteArray("read\npause\ncls\n") << QStringList{"type job", "enter", "notify A"}
            << QStringList{"-job", "-read", "Press enter to continue.Spacebar and enter to break...."} << true
            << 0;
        QTest::newRow("checkm lines are skipped")
            << QByteArray("xcheckmx 1\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-cls", "Script finished"} << false << 0;
        QTest::newRow("only labels and blanks")
            << QByteArray("a:\n\n   \nb:\n") << QStringList{"type job"} << QStringList{"-job", "Script finished"}
            << false << 0;
        QTest::newRow("a new target clears a waiting script")
            << readVerify << QStringList{"type job", "target", "notify A"} << QStringList{"-job", "-read"} << false
            << 0;
        QTest::newRow("Enter without a script does nothing")
            << readVerify << QStringList{"enter"} << QStringList{} << false << 0;
        QTest::newRow("a typed command is no script")
            << readVerify << QStringList{"type read"} << QStringList{"-read"} << false << 0;
        QTest::newRow("a word naming neither")
            << readVerify << QStringList{"type nosuch 1"} << QStringList{"-nosuch 1", "Bad command"} << false << 0;
        QTest::newRow("only spaces") << readVerify << QStringList{"type    "} << QStringList{"Bad command"} << false
                                     << 0;
    }
    void results()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, events);
        QFETCH(QStringList, log);
        QFETCH(bool, loaded);
        QFETCH(int, awaitCode);
        WriteScript("job", script);
        m_frame->operationRunning = QTest::currentDataTag() == QLatin1String("a refused command stops");
        Play(events);
        QCOMPARE(m_frame->log, log);
        QCOMPARE(g_cmdProcessor.script().IsLoaded(), loaded);
        QCOMPARE(int(g_cmdProcessor.awaitCode()), awaitCode);
    }

    void arguments_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("both")
            << "myscript 5 A0"
            << QStringList{"normalizeRange 5 a0", "startReadOp 5 a0 A", "normalizeRange 0 0", "startErase 0 10000"};
        QTest::newRow("missing")
            << "myscript 5"
            << QStringList{"normalizeRange 0 0", "startReadOp 0 10000 A", "normalizeRange 0 0", "startErase 0 10000"};
    }
    // "read %1 %2" with both arguments reads the range; a missing one leaves
    // one word, which means the whole chip; "erase %3" erases it all.
    void arguments()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, calls);
        WriteScript("myscript", "read %1 %2\nerase %3\n");
        g_cmdProcessor.OnConsoleLine(typed);
        g_cmdProcessor.NotifyConsole('A');
        QCOMPARE(m_programmer->calls, calls);
        QCOMPARE(m_frame->log.first(), "-" + typed);
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("loaded");
        const QStringList start{"-job", "Please select"};
        QTest::newRow("waits for a choice") << QStringList{"type job"} << start << true;
        QTest::newRow("second") << QStringList{"type job", "type 2"} << start + QStringList{"2", "two ", "Script finished"}
                                << false;
        QTest::newRow("first, then the menu again")
            << QStringList{"type job", "type 1"} << start + QStringList{"1", "one ", "Please select"} << true;
        QTest::newRow("not offered") << QStringList{"type job", "type 3"}
                                     << start + QStringList{"3", "Please select right value"} << true;
        QTest::newRow("Enter alone") << QStringList{"type job", "enter"} << start + QStringList{"Please select"}
                                     << true;
        QTest::newRow("a completion does not choose") << QStringList{"type job", "notify A"} << start << true;
    }
    void options()
    {
        QFETCH(QStringList, events);
        QFETCH(QStringList, log);
        QFETCH(bool, loaded);
        WriteScript("job", "menu:\noption 1 first 2 second\nfirst:\necho one\ngoto menu\nsecond:\necho two\n");
        Play(events);
        QCOMPARE(m_frame->log, log);
        QCOMPARE(g_cmdProcessor.script().IsLoaded(), loaded);
    }

    // A menu inside a nested script is answered through the console too.
    void nestedMenu()
    {
        WriteScript("job", "run ask\necho after\n");
        WriteScript("ask", "option 1 yes\nyes:\necho chosen\n");
        Play({"type job", "type 1"});
        QCOMPARE(m_frame->log,
                 (QStringList{"-job", "run ask", "Please select", "1", "chosen ", " ", "after ", "Script finished"}));
    }

    void conditions_data()
    {
        QTest::addColumn<QByteArray>("condition");
        QTest::addColumn<bool>("compareFlag");
        QTest::addColumn<QString>("branch");
        QTest::newRow("MEMORY == 0") << QByteArray("if MEMORY == 0") << false << "yes ";
        QTest::newRow("MEMORY != 0") << QByteArray("if MEMORY != 0") << false << "no ";
        QTest::newRow("PEEK == 0") << QByteArray("if PEEK == 0") << false << "yes ";
        QTest::newRow("FLASHSET != 0") << QByteArray("if FLASHSET != 0") << false << "no ";
        QTest::newRow("CMPRAM clear") << QByteArray("if CMPRAM == 1") << false << "no ";
        QTest::newRow("CMPRAM set") << QByteArray("if CMPRAM == 1") << true << "yes ";
        // An unknown term reads 1 and keeps the earlier operator and value (== 0).
        QTest::newRow("unknown term") << QByteArray("if OTHER == 1") << false << "no ";
    }
    void conditions()
    {
        QFETCH(QByteArray, condition);
        QFETCH(bool, compareFlag);
        QFETCH(QString, branch);
        m_frame->compareFlag = compareFlag;
        WriteScript("job", condition + "\necho yes\nelse\necho no\nendif\n");
        Play({"type job"});
        QCOMPARE(m_frame->log, (QStringList{"-job", branch, "Script finished"}));
    }

    void waits_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<QStringList>("actions");
        const QStringList started{"StopScriptTimer", "StopScriptTimer", "StartScriptTimer 250"};
        QTest::newRow("wait starts the timer")
            << QByteArray("wait 250\ncls\n") << QStringList{"type job"} << QStringList{"-job"} << started;
        QTest::newRow("the timer resumes")
            << QByteArray("wait 250\ncls\n") << QStringList{"type job", "timer"}
            << QStringList{"-job", "-cls", "Script finished"}
            << started + QStringList{"StopScriptTimer", "ClearLog", "StopScriptTimer"};
        QTest::newRow("Enter runs on and cancels the timer")
            << QByteArray("wait 250\nread\n") << QStringList{"type job", "enter", "timer"}
            << QStringList{"-job", "-read"} << started + QStringList{"StopScriptTimer"};
        QTest::newRow("text ends the script and cancels the timer")
            << QByteArray("wait 250\ncls\n") << QStringList{"type job", "type q", "timer"}
            << QStringList{"-job", "Exit Script"} << started + QStringList{"StopScriptTimer"};
        QTest::newRow("no number, 0, or not a number: no wait")
            << QByteArray("wait\nwait 0\nWAIT zz\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-cls", "Script finished"}
            << QStringList{"StopScriptTimer", "StopScriptTimer", "ClearLog", "StopScriptTimer"};
    }
    void waits()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, events);
        QFETCH(QStringList, log);
        QFETCH(QStringList, actions);
        WriteScript("job", script);
        Play(events);
        QCOMPARE(m_frame->log, log);
        QCOMPARE(m_frame->actions, actions);
    }

    // A loop over commands that finish at once hands control back to the
    // window after a bounded number of lines, and can then be stopped.
    void endlessLoopStaysStoppable()
    {
        WriteScript("job", "top:\ncls\ngoto top\n");
        Play({"type job"});
        QCOMPARE(m_frame->log.count("-cls"), kScriptLinesPerTurn);
        QCOMPARE(m_frame->actions.last(), "StartScriptTimer 0");
        Play({"timer"});
        QCOMPARE(m_frame->log.count("-cls"), 2 * kScriptLinesPerTurn);
        Play({"type stop"});
        QCOMPARE(m_frame->log.last(), "Exit Script");
        QVERIFY(!g_cmdProcessor.script().IsLoaded());
    }

    void autoScript_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("started");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("exists") << "K9F1G08U0E" << true << QStringList{"-detect", "-read"};
        QTest::newRow("name with a space") << "NAND OFNI" << true << QStringList{"-detect", "-read"};
        QTest::newRow("missing") << "W25Q64" << false << QStringList{};
        QTest::newRow("no device") << "" << false << QStringList{};
    }
    void autoScript()
    {
        QFETCH(QString, device);
        QFETCH(bool, started);
        QFETCH(QStringList, log);
        WriteScript("K9F1G08U0E", "detect\nread\n");
        WriteScript("NAND OFNI", "detect\nread\n");
        m_programmer->detectAnswer = CMD_DONE;
        QCOMPARE(RunAutoScript(device), started);
        QCOMPARE(m_frame->log, log);
    }

    // The auto script replaces a script that waits, runs from its first
    // line, and the old script's completion no longer resumes anything.
    void autoScriptReplacesAWaitingScript()
    {
        WriteScript("job", "read\nerase\n");
        WriteScript("K9F1G08U0E", "pause\ncls\n");
        Play({"type job"});
        QVERIFY(RunAutoScript("K9F1G08U0E"));
        Play({"notify A"});
        QCOMPARE(m_frame->log,
                 (QStringList{"-job", "-read", "Press enter to continue.Spacebar and enter to break...."}));
        Play({"enter"});
        QCOMPARE(m_frame->log.mid(3), (QStringList{"-cls", "Script finished"}));
    }
};

QTEST_MAIN(TestScriptRunner)
#include "tst_scriptrunner.moc"
