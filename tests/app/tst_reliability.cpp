#include "AppDirectory.h"
#include "AppSettings.h"
#include "CmdProcessor.h"
#include "MainFrame.h"
#include "Script.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The window on an adapter that cannot be used, or is lost: the worker
// retries at a bounded rate, the log says why once (and again when the
// adapter is back), and the auto script is never started over a running
// script or an open dialog.
class TestReliability : public QObject
{
    Q_OBJECT

    static constexpr int CONNECT_MS = CSimWindowRig::CONNECT_MS;
    static constexpr int OPERATION_MS = CSimWindowRig::OPERATION_MS;

    CSimWindowRig m_rig;
    QTemporaryDir m_dir;

    CMainFrame &Window() const { return *m_rig.Window(); }
    QString TracePath() const { return m_dir.filePath("trace.txt"); }

    int LinesOf(const QString &text) const { return int(m_rig.LogLines().count(text)); }

    int TracedCommands(const QByteArray &prefix) const
    {
        QFile file(TracePath());
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        int count = 0;
        for (const QByteArray &line : file.readAll().split('\n'))
            count += line.startsWith(prefix) ? 1 : 0;
        return count;
    }

    static void WriteScript(const QString &name, const QByteArray &text)
    {
        QVERIFY(QDir().mkpath(AppDirectory(DIR_SCRIPT)));
        QVERIFY(WriteWholeFile(AppDirectory(DIR_SCRIPT) + name + QStringLiteral(".usp"), text));
    }

    void StartWithAutoScript(const QString &target, const QByteArray &script)
    {
        m_rig.Start(target, [&] {
            AppSettings().WriteBool(SET_AUTO_SCRIPT, true);
            WriteScript(target, script);
        });
    }

private slots:
    void init()
    {
        QDir(AppDirectory(DIR_SCRIPT)).removeRecursively();
        QFile::remove(TracePath());
    }

    void cleanup()
    {
        m_rig.Close();
        g_cmdProcessor.script().Clear();
        QDir(AppDirectory(DIR_SCRIPT)).removeRecursively();
    }

    // An adapter that rejects the set-target command is connected again and
    // again; the pauses between the attempts grow to the retry period of a
    // missing adapter, the reason is logged once, and the auto script, still
    // waiting at its pause, is not started again.
    void rejectedTargetIsRetriedWithBackOff()
    {
        m_rig.UseChip("[adapter]\nmodule=nand\nreject_set_target=true\ntrace=" + TracePath() +
                      "\n[nand]\nimage=@IMAGE@\n");
        StartWithAutoScript("K9F1G08U0E", "echo auto script ran\npause\n");
        const QString rejected = QStringLiteral("The adapter did not accept the target set-up; retrying");
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.Logged(rejected), CONNECT_MS);
        QTest::qWait(6000);
        // Without the pause this is thousands of attempts in six seconds.
        const int setTargets = TracedCommands("CMD 10");
        QVERIFY2(setTargets >= 2 && setTargets <= 8, qPrintable(QString::number(setTargets)));
        QCOMPARE(LinesOf(rejected), 1);
        QCOMPARE(LinesOf("auto script ran "), 1);
        QVERIFY(Window().WaitBox()->isVisible());
    }

    // Firmware that does not load is retried on the timer and said once.
    void failingFirmwareIsSaidOnce()
    {
        m_rig.UseChip("[adapter]\nmodule=nand\nfail_firmware=true\ntrace=" + TracePath() +
                      "\n[nand]\nimage=@IMAGE@\n");
        m_rig.Start("K9F1G08U0E");
        const QString failed = QStringLiteral("The adapter's firmware did not load; retrying");
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.Logged(failed), CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(TracedCommands("FW ") >= 2, CONNECT_MS);
        QCOMPARE(LinesOf(failed), 1);
        QVERIFY(!Window().IsAdapterReady());
    }

    // The adapter lost in the middle of a read: the log says where the read
    // was cut off and that the adapter is gone, once, and says when it
    // answers again.
    void lostAdapterIsSaidWithTheAddress()
    {
        m_rig.UseChip("[adapter]\nmodule=nand\nlink_mbps=40\nunplug_after_commands=40\nreplug_ms=4000\n"
                      "[nand]\nimage=@IMAGE@\n");
        m_rig.Start("K9F1G08U0E");
        m_rig.WaitConnected();
        if (QTest::currentTestFailed())
            return;
        AnswerNextFileDialog(m_dir.filePath("cut-off-read.bin"));
        g_cmdProcessor.RunCommand("read ");
        QTRY_COMPARE_WITH_TIMEOUT(Window().ConnectionLabel()->State(), 0, OPERATION_MS);
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.Logged("No adapter answers; still looking for one"), CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.Logged("Adapter answers again"), CONNECT_MS);
        const QStringList lines = m_rig.LogLines();
        const QStringList cutOff = lines.filter(QRegularExpression("^Adapter lost: operation cut off at address "
                                                                   "0x[0-9A-F]{8}$"));
        QVERIFY2(cutOff.size() == 1, qPrintable(m_rig.LogText()));
        QCOMPARE(LinesOf("The adapter stopped taking commands; retrying"), 1);
        QCOMPARE(LinesOf("No adapter answers; still looking for one"), 1);
        const auto at = [&](const QString &text) { return lines.indexOf(text); };
        QVERIFY(at("No adapter answers; still looking for one") < at("Adapter answers again"));
    }

    // With the adapter gone, operations are refused at once (a read-type
    // one with CMD_FAILED, a write with the busy line): their commands would
    // belong to the lost connection and be dropped, and a script waiting
    // for them would wait for ever.
    void operationsRefusedWhileAdapterIsGone()
    {
        m_rig.UseChip("[adapter]\nmodule=nand\nlink_mbps=40\nunplug_after_commands=40\nreplug_ms=600000\n"
                      "[nand]\nimage=@IMAGE@\n");
        m_rig.Start("K9F1G08U0E");
        m_rig.WaitConnected();
        if (QTest::currentTestFailed())
            return;
        AnswerNextFileDialog(m_dir.filePath("read-before-the-adapter-went.bin"));
        g_cmdProcessor.RunCommand("read ");
        QTRY_COMPARE_WITH_TIMEOUT(Window().ConnectionLabel()->State(), 0, OPERATION_MS);
        QVERIFY(!Window().IsAdapterReady());
        QCOMPARE(g_cmdProcessor.RunCommand("verify "), int(CMD_FAILED));
        const int busyBefore = LinesOf("Busy");
        QCOMPARE(g_cmdProcessor.RunCommand("erase "), int(CMD_DONE));
        QCOMPARE(LinesOf("Busy"), busyBefore + 1);
        QCOMPARE(g_cmdProcessor.awaitCode(), 0);
    }

    // The operator cancels a read's save dialog: the read says so and ends,
    // with no time as if it had read, no file anywhere, and the window takes
    // the next operation.
    void cancelledSaveEndsTheRead()
    {
        m_rig.UseChip("[adapter]\nmodule=nand\n[nand]\nimage=@IMAGE@\n");
        m_rig.Start("K9F1G08U0E");
        m_rig.WaitConnected();
        if (QTest::currentTestFailed())
            return;
        const QDir settingsDir = QFileInfo(AppSettings().FileName()).absoluteDir();
        const QStringList before = settingsDir.entryList(QDir::Files);
        AnswerNextModal<QFileDialog>([](QFileDialog *dialog) { dialog->reject(); });
        QCOMPARE(g_cmdProcessor.RunCommand("read "), int('A'));
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.LogLines().contains("File Error"), OPERATION_MS);
        QTest::qWait(500);
        QVERIFY2(m_rig.LogLines().filter(QRegularExpression("^Time")).isEmpty(), qPrintable(m_rig.LogText()));
        QCOMPARE(settingsDir.entryList(QDir::Files), before);
        QVERIFY(!Window().IsOperationRunning());
        QCOMPARE(g_cmdProcessor.RunCommand("detect"), int('H'));
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.LogText().count("CE Pin = 1") >= 2, OPERATION_MS);
    }

    // A connection made while a dialog waits for the operator (here the
    // console's USB re-initialisation while a message box is open) does not
    // start the auto script inside the dialog's event loop.
    void autoScriptWaitsForOpenDialog()
    {
        StartWithAutoScript("K9F1G08U0E", "echo auto script ran\n");
        m_rig.WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE_WITH_TIMEOUT(LinesOf("auto script ran "), 1, CONNECT_MS);
        QMessageBox box(QMessageBox::Information, "x", "dialog", QMessageBox::Ok);
        bool reconnected = false;
        QTimer::singleShot(0, &box, [&] {
            Window().ReinitUsb();
            QTRY_COMPARE_WITH_TIMEOUT(Window().ConnectionLabel()->State(), 0, CONNECT_MS);
            QTRY_COMPARE_WITH_TIMEOUT(Window().ConnectionLabel()->State(), 2, CONNECT_MS);
            QTRY_VERIFY_WITH_TIMEOUT(!Window().WaitBox()->isVisible(), CONNECT_MS);
            reconnected = true;
            box.done(QMessageBox::Ok);
        });
        box.exec();
        QVERIFY(reconnected);
        QCOMPARE(LinesOf("auto script ran "), 1);
        // Without a dialog the next connection runs it again.
        Window().ReinitUsb();
        QTRY_COMPARE_WITH_TIMEOUT(LinesOf("auto script ran "), 2, CONNECT_MS);
    }
};

QTEST_MAIN(TestReliability)
#include "tst_reliability.moc"
