#include "ActionRecordingFrame.h"
#include "AppDirectory.h"
#include "AppSettings.h"
#include "CmdProcessor.h"
#include "OperationOutcome.h"
#include "ProductionReport.h"
#include "RangeOperation.h"
#include "RecordingProgrammer.h"
#include "Script.h"
#include "ScriptRunner.h"
#include "SerialNumber.h"

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
            else if (event.startsWith("done ") || event.startsWith("fail ")) {
                COperationOutcome outcome;
                outcome.result = event.startsWith("done ") ? COperationOutcome::EResult::Done
                                                           : COperationOutcome::EResult::Failed;
                outcome.code = uint8_t(event.at(5).unicode());
                outcome.reason = QStringLiteral("reason");
                g_cmdProcessor.NotifyOutcome(outcome);
            } else if (event == "probe lost") {
                g_cmdProcessor.OnChipProbe(QByteArray(), true);
            } else if (event.startsWith("probe ")) {
                g_cmdProcessor.OnChipProbe(QByteArray::fromHex(event.mid(6).toLatin1()), false);
            } else if (event.startsWith("sleep "))
                QTest::qWait(event.mid(6).toInt());
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
    // Unattended runs: a failed operation sent to the fail label, the
    // RESULT term, the time-out of an operation, a refusal under "onfail",
    // and the answer setting's usage.
    void production_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("loaded");

        const QByteArray verifyOnFail("onfail bad\nverify\necho passed\ngoto end\nbad:\necho failed\nend:\n");
        const QString verify = QString(QChar(OP_CODE_VERIFY));
        const QString jump = QStringLiteral("Operation failed, the script goes on at bad");
        const QString waits =
            QStringLiteral("Operation failed: the script waits (Enter goes on, any other text ends it)");
        QTest::newRow("a failure goes to the fail label")
            << verifyOnFail << QStringList{"type job", "fail " + verify}
            << QStringList{"-job", "-verify", jump, "failed ", "Script finished"} << false;
        QTest::newRow("a passed operation goes on")
            << verifyOnFail << QStringList{"type job", "done " + verify}
            << QStringList{"-job", "-verify", "passed ", "Script finished"} << false;
        QTest::newRow("a late completion after the jump is not taken twice")
            << verifyOnFail << QStringList{"type job", "fail " + verify, "done " + verify}
            << QStringList{"-job", "-verify", jump, "failed ", "Script finished"} << false;
        QTest::newRow("without onfail the script waits for the operator")
            << QByteArray("verify\necho passed\n") << QStringList{"type job", "fail " + verify}
            << QStringList{"-job", "-verify", waits} << true;
        QTest::newRow("onfail without a label waits again")
            << QByteArray("onfail bad\nonfail\nverify\nbad:\necho failed\n") << QStringList{"type job", "fail " + verify}
            << QStringList{"-job", "-verify", waits} << true;
        QTest::newRow("RESULT reads 2 after a failure")
            << QByteArray("verify\nif RESULT == 2\necho failed\nelse\necho passed\nendif\n")
            << QStringList{"type job", "fail " + verify, "enter"}
            << QStringList{"-job", "-verify", waits, "failed ", "Script finished"} << false;
        QTest::newRow("RESULT reads 1 after a done operation")
            << QByteArray("verify\nif RESULT == 1\necho passed\nendif\n")
            << QStringList{"type job", "done " + verify}
            << QStringList{"-job", "-verify", "passed ", "Script finished"} << false;
        QTest::newRow("a missing fail label ends the script")
            << QByteArray("onfail nowhere\nverify\necho passed\n") << QStringList{"type job", "fail " + verify}
            << QStringList{"-job", "-verify", "Label nowhere not found", "Script finished"} << false;
        QTest::newRow("a time-out fails the operation")
            << QByteArray("timeout 20\n") + verifyOnFail << QStringList{"type job", "sleep 300"}
            << QStringList{"-job", "-verify", "Time-out: the operation did not end within 20 ms", jump, "failed ",
                           "Script finished"}
            << false;
        QTest::newRow("an operation that ends in time stops its time-out")
            << QByteArray("timeout 100\n") + verifyOnFail << QStringList{"type job", "done " + verify, "sleep 300"}
            << QStringList{"-job", "-verify", "passed ", "Script finished"} << false;
        QTest::newRow("timeout 0 switches it off")
            << QByteArray("timeout 20\ntimeout 0\n") + verifyOnFail << QStringList{"type job", "sleep 200"}
            << QStringList{"-job", "-verify"} << true;
        QTest::newRow("a refusal goes to the fail label")
            << QByteArray("onfail bad\nread\necho passed\nbad:\necho failed\n") << QStringList{"type job"}
            << QStringList{"-job", "-read", "Busy", jump, "failed ", "Script finished"} << false;
        QTest::newRow("answer with an unknown word")
            << QByteArray("answer maybe\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "Usage: answer yes|no|ask", "-cls", "Script finished"} << false;
        const QByteArray seatOnFail("onfail bad\nwaitchip 40\necho seated\ngoto end\nbad:\necho failed\nend:\n");
        const QString seatWait = QStringLiteral("Waiting for a chip in the socket");
        const QString removeWait = QStringLiteral("Waiting for the chip to be taken out");
        QTest::newRow("no chip seated in time goes to the fail label")
            << seatOnFail << QStringList{"type job", "sleep 400"}
            << QStringList{"-job", seatWait, "Time-out: no chip was seated within 40 ms", jump, "failed ",
                           "Script finished"}
            << false;
        QTest::newRow("an empty socket answers no chip")
            << seatOnFail << QStringList{"type job", "probe FFFFFFFFFFFF", "probe 000000000000", "sleep 400"}
            << QStringList{"-job", seatWait, "Time-out: no chip was seated within 40 ms", jump, "failed ",
                           "Script finished"}
            << false;
        QTest::newRow("a removal counts after two empty readings")
            << QByteArray("waitremove\necho out\n") << QStringList{"type job", "probe FFFFFF", "probe FFFFFF"}
            << QStringList{"-job", removeWait, "Chip taken out", "out ", "Script finished"} << false;
        QTest::newRow("readings that disagree or got lost count for nothing")
            << QByteArray("waitremove\necho out\n")
            << QStringList{"type job", "probe FFFFFF", "probe EF4018", "probe FFFFFF", "probe lost", "probe FFFFFF"}
            << QStringList{"-job", removeWait} << true;
        QTest::newRow("the script's time-out limits a wait without its own")
            << QByteArray("timeout 30\nonfail bad\nwaitremove\nbad:\necho failed\n") << QStringList{"type job", "sleep 400"}
            << QStringList{"-job", removeWait, "Time-out: the chip was not taken out within 30 ms", jump, "failed ",
                           "Script finished"}
            << false;
        QTest::newRow("typed text ends a wait for the socket")
            << QByteArray("waitchip\necho seated\n") << QStringList{"type job", "type stop", "probe EF4018", "probe EF4018"}
            << QStringList{"-job", seatWait, "Exit Script"} << false;
        QTest::newRow("a serial number statement with a bad width")
            << QByteArray("serial 10 x dec\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "Usage: serial OFFSET WIDTH dec|hex|bin [FIRST], or serial off", "-cls",
                           "Script finished"}
            << false;
        QTest::newRow("report without a file")
            << QByteArray("report\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "Usage: report FILE, or report off", "-cls", "Script finished"} << false;
        QTest::newRow("CHIPS counts no chip without a report")
            << QByteArray("if CHIPS == 0\necho none\nendif\nif PASSED != 0\necho some\nendif\n")
            << QStringList{"type job"} << QStringList{"-job", "none ", "Script finished"} << false;
        QTest::newRow("file names and answers are no commands")
            << QByteArray("answer YES\nfile out.bin\nFile other.bin\ncls\n") << QStringList{"type job"}
            << QStringList{"-job", "-cls", "Script finished"} << false;
    }
    void production()
    {
        QFETCH(QByteArray, script);
        QFETCH(QStringList, events);
        QFETCH(QStringList, log);
        QFETCH(bool, loaded);
        WriteScript("job", script);
        m_frame->operationRunning = QTest::currentDataTag() == QLatin1String("a refusal goes to the fail label");
        Play(events);
        QCOMPARE(m_frame->log, log);
        QCOMPARE(g_cmdProcessor.script().IsLoaded(), loaded);
        // What a script set up ends with it.
        if (!loaded) {
            QVERIFY(g_cmdProcessor.production().FailLabel().isEmpty());
            QCOMPARE(g_cmdProcessor.production().Timeout(), 0);
            QVERIFY(!g_cmdProcessor.production().Unattended());
            QVERIFY(!g_cmdProcessor.production().HasFileName());
        }
    }

    // Serial numbers as the statement describes them: the bytes written
    // into the image and the text the report names, or a refusal.
    void serialNumbers_data()
    {
        QTest::addColumn<QByteArray>("statement");
        QTest::addColumn<qulonglong>("value");
        QTest::addColumn<QByteArray>("bytes"); // empty: does not fit
        QTest::addColumn<QString>("text");
        QTest::newRow("decimal, padded") << QByteArray("serial 10 6 dec") << 42ull << QByteArray("000042") << "000042";
        QTest::newRow("hex digits") << QByteArray("serial 0 4 hex") << 0xBEEFull << QByteArray("BEEF") << "BEEF";
        QTest::newRow("a MAC address") << QByteArray("serial 100 6 bin") << 0x0050C2000001ull
                                       << QByteArray::fromHex("0050C2000001") << "00:50:C2:00:00:01";
        QTest::newRow("eight binary bytes") << QByteArray("serial 0 8 BIN") << 0xFFFFFFFFFFFFFFFFull
                                            << QByteArray(8, char(0xFF)) << "FF:FF:FF:FF:FF:FF:FF:FF";
        QTest::newRow("too many digits") << QByteArray("serial 0 3 dec") << 1000ull << QByteArray() << "1000";
        QTest::newRow("too large for the bytes") << QByteArray("serial 0 1 bin") << 256ull << QByteArray() << "00";
    }
    void serialNumbers()
    {
        QFETCH(QByteArray, statement);
        QFETCH(qulonglong, value);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QString error;
        const auto serial = CSerialNumber::Parse(statement.split(' '), error);
        QVERIFY2(serial, qPrintable(error));
        const auto written = serial->Bytes(value);
        QCOMPARE(written.has_value(), !bytes.isEmpty());
        if (written)
            QCOMPARE(*written, bytes);
        if (written || serial->Format() != CSerialNumber::EFormat::Binary)
            QCOMPARE(serial->Text(value), text);
    }

    // Statements that describe no serial number are refused with the usage.
    void serialRefusals_data()
    {
        QTest::addColumn<QByteArray>("statement");
        for (const char *statement : {"serial", "serial 10", "serial 10 6", "serial 10 6 oct", "serial 10 0 dec",
                                      "serial 10 33 dec", "serial 10 9 bin", "serial zz 6 dec", "serial 10 6 dec 12x",
                                      "serial 10 6 dec 1 2", "serial 10 -1 hex"})
            QTest::newRow(statement) << QByteArray(statement);
    }
    void serialRefusals()
    {
        QFETCH(QByteArray, statement);
        QString error;
        QVERIFY(!CSerialNumber::Parse(statement.split(' '), error));
        QVERIFY(error.startsWith("Usage: serial"));
    }

    // The next number is kept in the settings, never below the first one a
    // script asks for, and moves on only when told.
    void serialNumbersAreKept()
    {
        AppSettings().WriteString(CSerialNumber::SettingsKey(), QString());
        QString error;
        const auto serial = CSerialNumber::Parse(QByteArray("serial 0 6 dec 500").split(' '), error);
        QVERIFY(serial);
        QCOMPARE(serial->Next(), 500ull);
        serial->Advance();
        QCOMPARE(serial->Next(), 501ull);
        const auto lower = CSerialNumber::Parse(QByteArray("serial 0 6 dec 10").split(' '), error);
        QCOMPARE(lower->Next(), 501ull);
        AppSettings().WriteString(CSerialNumber::SettingsKey(), QString());
    }

    // CSV fields with separators are quoted; the header names every column.
    void reportFields()
    {
        QCOMPARE(CProductionReport::CsvField("plain"), QStringLiteral("plain"));
        QCOMPARE(CProductionReport::CsvField("a,b"), QStringLiteral("\"a,b\""));
        QCOMPARE(CProductionReport::CsvField("say \"x\""), QStringLiteral("\"say \"\"x\"\"\""));
        QCOMPARE(CProductionReport::CsvField("two\nlines"), QStringLiteral("\"two\nlines\""));
        QCOMPARE(CProductionReport::Header().split(',').size(), 9);
    }

    // The settings a script makes hold while it runs.
    void productionSettings()
    {
        WriteScript("job", "answer yes\nfile a b.bin\nfile c.bin\nonfail x\ntimeout 5000\nread\nx:\n");
        Play({"type job"});
        CScriptProduction &production = g_cmdProcessor.production();
        QVERIFY(production.Unattended());
        QCOMPARE(production.Answer(), CScriptProduction::EAnswer::Yes);
        QCOMPARE(production.TakeFileName(), QStringLiteral("a b.bin"));
        QCOMPARE(production.TakeFileName(), QStringLiteral("c.bin"));
        QVERIFY(!production.HasFileName());
        QCOMPARE(production.FailLabel(), QByteArray("x"));
        QCOMPARE(production.Timeout(), 5000);
        QVERIFY(production.OperationTimerActive());
        Play({"type stop"});
        QVERIFY(!production.OperationTimerActive());
        QVERIFY(!production.Unattended());
    }

    // Script names in UTF-8 run the script of that name; a name with bytes
    // that are no UTF-8 is refused, and never runs the script its ASCII
    // beginning names.
    void utf8Names_data()
    {
        QTest::addColumn<QByteArray>("caller");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("log");
        QTest::newRow("run of a UTF-8 name")
            << QByteArray("run pr\xC3\xBC" "fung 7\n") << QString("job")
            << QStringList{"-job", QString::fromUtf8("run pr\xC3\xBC" "fung 7"), "umlaut ", " ", "Script finished"};
        QTest::newRow("typed UTF-8 name") << QByteArray() << QString::fromUtf8("pr\xC3\xBC" "fung 8")
                                          << QStringList{QString::fromUtf8("-pr\xC3\xBC" "fung 8"), "umlaut ",
                                                         "Script finished"};
        QTest::newRow("run of a Latin-1 name")
            << QByteArray("run pr\xFC" "fung\necho after\n") << QString("job")
            << QStringList{"-job", QString::fromLocal8Bit("run pr\xFC" "fung"),
                           QString::fromLatin1("Script name is not valid UTF-8: pr\xFC" "fung"), "Bad command",
                           "Script finished"};
    }
    void utf8Names()
    {
        QFETCH(QByteArray, caller);
        QFETCH(QString, typed);
        QFETCH(QStringList, log);
        WriteScript("pr", "echo wrong script\n");
        WriteScript(QString::fromUtf8("pr\xC3\xBC" "fung"), "echo umlaut\n");
        if (!caller.isEmpty())
            WriteScript("job", caller);
        Play({"type " + typed});
        QCOMPARE(m_frame->log, log);
    }

    // Lines pasted at once run one after another: the second waits for the
    // operation the first started.
    void pastedLines()
    {
        g_cmdProcessor.RunLines({"read", "", "verify", "cls"});
        QCOMPARE(m_frame->log, (QStringList{"-read"}));
        Play({"notify A"});
        QCOMPARE(m_frame->log, (QStringList{"-read", "-verify"}));
        Play({"notify " + QString(QChar(OP_CODE_VERIFY))});
        QCOMPARE(m_frame->log, (QStringList{"-read", "-verify", "-cls", "Script finished"}));
        // While a script runs, a paste does not stop it.
        WriteScript("job", "read\ncls\n");
        m_frame->log.clear();
        Play({"type job"});
        g_cmdProcessor.RunLines({"erase", "cls"});
        QCOMPARE(m_frame->log, (QStringList{"-job", "-read", "A running script takes no pasted lines"}));
        QVERIFY(g_cmdProcessor.script().IsLoaded());
    }

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
