#include "AppDirectory.h"
#include "AppSettings.h"
#include "BadBlockTable.h"
#include "CmdProcessor.h"
#include "Script.h"
#include "DeviceSelectDialog.h"
#include "MainFrame.h"
#include "MemoryNode.h"
#include "NandWindowLink.h"
#include "Programmer.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QSettings>
#include <QTabWidget>
#include <QTest>

#include <memory>

// Whole sessions of the window with the simulated adapter: connecting,
// detecting, erasing, programming, verifying and reading back NAND and SPI
// chips through the console and scripts, and what happens when the operator
// stops, the adapter is unplugged, the firmware does not suit the board, or
// the top module does not fit the target.
class TestMainFrameSession : public QObject
{
    Q_OBJECT

    static constexpr int CONNECT_MS = CSimWindowRig::CONNECT_MS;
    static constexpr int OPERATION_MS = CSimWindowRig::OPERATION_MS;

    CSimWindowRig m_rig;
    CMainFrame *m_window = nullptr;

    QString LogText() const { return m_rig.LogText(); }
    bool Logged(const QString &text) const { return m_rig.Logged(text); }
    void SimConfig(const QString &sections) { m_rig.UseChip(sections); }

    void StartWindow(const QString &target)
    {
        m_rig.Start(target);
        m_window = m_rig.Window();
    }

    void WaitConnected() { m_rig.WaitConnected(); }

    // Runs command lines one after the other as a script does: a line that
    // starts an operation waits until the window reports that operation's
    // completion code to the console. A code reported early would make the
    // next line meet a busy window and fail the run.
    void RunSteps(const QStringList &lines)
    {
        for (const QString &line : lines) {
            // A completion code resumes only a loaded script.
            QVERIFY(g_cmdProcessor.script().Load("d\r\n"));
            const int result = g_cmdProcessor.RunCommand(line);
            QVERIFY2(result != CMD_BAD && result != CMD_FAILED && result != CMD_ERROR,
                     qPrintable(line + ": " + QString::number(result) + "\n" + LogText()));
            if (result == CMD_DONE)
                continue;
            g_cmdProcessor.setAwaitCode(uint8_t(result));
            QTRY_VERIFY2_WITH_TIMEOUT(g_cmdProcessor.awaitCode() == 0, qPrintable(line + "\n" + LogText()),
                                      OPERATION_MS);
        }
        g_cmdProcessor.script().Clear();
        QVERIFY2(!Logged("Busy"), qPrintable(LogText()));
    }

private slots:
    void cleanup()
    {
        m_rig.Close();
        m_window = nullptr;
    }

    void nandConnectsAndDetects()
    {
        SimConfig("[adapter]\nmodule=nand\n[nand]\nimage=@IMAGE@\n");
        StartWindow("K9F1G08U0E");
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_window->ConnectionLabel()->text(), QStringLiteral("USB connected (2.0)"));
        QTRY_COMPARE(m_window->InfoLabel()->text(), QStringLiteral("NAND"));
        QCOMPARE(g_cmdProcessor.RunCommand("detect"), int('H'));
        QTRY_VERIFY_WITH_TIMEOUT(LogText().count("CE Pin = 1") >= 2, OPERATION_MS);
        const QStringList lines = LogText().split('\n');
        QVERIFY2(lines.contains("K9F1G08U0E"), qPrintable(LogText()));
        QVERIFY(lines.contains("-detect"));
    }

    void nandSession()
    {
        const int pageSize = 528, pagesPerBlock = 32, blocks = 1024;
        SimConfig(QStringLiteral("[adapter]\nmodule=nand\n[nand]\nid=EC 73 00 00 00 00\npage_size=%1\n"
                                 "pages_per_block=%2\nblocks=%3\nbad_blocks=37,811\nimage=@IMAGE@\n")
                      .arg(pageSize)
                      .arg(pagesPerBlock)
                      .arg(blocks));
        StartWindow("K9F2808U0C");
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QVERIFY(m_window->Tabs()->tabText(m_window->Tabs()->count() - 1).contains("BadBlock"));

        const QString imagePath = QDir::tempPath() + "/nand-image.bin";
        const QByteArray image = NandChipImage(pageSize, pagesPerBlock, blocks, {37, 811});
        QVERIFY(WriteWholeFile(imagePath, image));
        // Each line waits for the one before: a completion reported too early
        // would make the next line answer "Busy" and stop the script.
        const QString readBack = QDir::tempPath() + "/nand-readback.bin";
        AnswerNextFileDialog(readBack); // the read asks where the image goes
        RunSteps({"erase", "load " + imagePath, "program", "verify", "read"});
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(Logged("Target bad block No. 38") && Logged("Target bad block No. 812"), qPrintable(LogText()));
        QVERIFY(Logged("Erase time"));
        QVERIFY(Logged("Program time"));
        QVERIFY(Logged("Compare data OK"));
        QVERIFY(!m_window->IsOperationRunning());

        auto *nand = dynamic_cast<CNandWindowLink *>(m_window->Programmer());
        QVERIFY(nand);
        QCOMPARE(nand->targetBbt()->state(37), uint32_t(CBadBlockTable::Bad));
        QCOMPARE(nand->targetBbt()->state(811), uint32_t(CBadBlockTable::Bad));
        QCOMPARE(nand->targetBbt()->state(36), uint32_t(CBadBlockTable::Good));

        // Every good block reads back as programmed; the factory bad blocks
        // hold what the chip keeps there.
        const QByteArray back = ReadWholeFile(readBack);
        QCOMPARE(back.size(), image.size());
        const qsizetype blockBytes = qsizetype(pageSize) * pagesPerBlock;
        for (int block = 0; block < blocks; ++block) {
            if (block == 37 || block == 811)
                continue;
            QVERIFY2(back.mid(block * blockBytes, blockBytes) == image.mid(block * blockBytes, blockBytes),
                     qPrintable(QString("block %1").arg(block)));
        }

        // A file just loaded is checked for bad-block markers without keeping
        // the window busy: a verify starts right after.
        RunSteps({"load " + imagePath, "verify"});
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(LogText().count("Compare data OK"), 2);

        // The chip holds data now: the blank check stops at the first byte,
        // and a script waiting for it stays waiting.
        QVERIFY(g_cmdProcessor.script().Load("d\r\n"));
        g_cmdProcessor.setAwaitCode('K');
        QCOMPARE(g_cmdProcessor.RunCommand("blkchk "), int('K'));
        QTRY_VERIFY_WITH_TIMEOUT(Logged("Flash is not blank at address"), OPERATION_MS);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->IsOperationRunning(), OPERATION_MS);
        QVERIFY(!Logged("Flash blanked"));
        QCOMPARE(g_cmdProcessor.awaitCode(), uint8_t('K'));
        g_cmdProcessor.script().Clear();
    }

    void spiSession()
    {
        SimConfig("[adapter]\nmodule=spi\n[spi]\nkind=flash\nid=EF 30 13\nsize=0x80000\nimage=@IMAGE@\n");
        StartWindow("W25X40");
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QTRY_COMPARE(m_window->InfoLabel()->text(), QStringLiteral("SPI"));
        QVERIFY(m_window->Action(CMainFrame::ActSave)->isVisible());

        const QString imagePath = QDir::tempPath() + "/spi-image.bin";
        QByteArray image(0x80000, 0);
        QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(image.data()), image.size() / 4);
        QVERIFY(WriteWholeFile(imagePath, image));
        RunSteps({"erase", "blkchk", "load " + imagePath, "program", "verify", "read"});
        if (QTest::currentTestFailed())
            return;
        // A simulated erase may take no measurable time: then no time line.
        QVERIFY(Logged("Erase starts..."));
        QVERIFY(Logged("Flash blanked"));
        QVERIFY(Logged("Compare data OK"));

        // Save the buffer read back, through the Save action's dialog.
        const QString saved = QDir::tempPath() + "/spi-saved.bin";
        AnswerNextFileDialog(saved);
        m_window->Tabs()->setCurrentIndex(1);
        m_window->Action(CMainFrame::ActSave)->trigger();
        QCOMPARE(ReadWholeFile(saved), image);
        QCOMPARE(AppSettings().ReadStringList(SET_RECENT_FILES).front(), saved);

        QCOMPARE(g_cmdProcessor.RunCommand("blkchk "), int('K'));
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->IsOperationRunning(), OPERATION_MS);
        QVERIFY(LogText().count("Flash blanked") == 1);
    }

    void busyWhileAReadRunsAndStop()
    {
        SimConfig("[adapter]\nmodule=nand\nlink_mbps=40\n[nand]\nimage=@IMAGE@\n");
        StartWindow("K9F1G08U0E");
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        AnswerNextFileDialog(QDir::tempPath() + "/stopped-read.bin");
        QCOMPARE(g_cmdProcessor.RunCommand("read "), int('A'));
        QTRY_VERIFY_WITH_TIMEOUT(m_window->IsOperationRunning(), OPERATION_MS);
        QCOMPARE(g_cmdProcessor.RunCommand("verify "), 128);
        QVERIFY(LogText().split('\n').contains("Busy"));
        m_window->Action(CMainFrame::ActStop)->trigger();
        QVERIFY(!m_window->IsOperationRunning());
        // The stopped read never reports a time, and the window takes the next
        // operation.
        QTest::qWait(300);
        QVERIFY(!LogText().split('\n').filter(QRegularExpression("^Time ")).size());
        QCOMPARE(g_cmdProcessor.RunCommand("detect"), int('H'));
        QTRY_VERIFY_WITH_TIMEOUT(LogText().count("CE Pin = 1") >= 2, OPERATION_MS);
    }

    void unplugDuringARead()
    {
        SimConfig("[adapter]\nmodule=nand\nlink_mbps=40\nunplug_after_commands=40\nreplug_ms=1500\n"
                  "[nand]\nimage=@IMAGE@\n");
        StartWindow("K9F1G08U0E");
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        AnswerNextFileDialog(QDir::tempPath() + "/unplugged-read.bin");
        g_cmdProcessor.RunCommand("read ");
        QTRY_COMPARE_WITH_TIMEOUT(m_window->ConnectionLabel()->State(), 0, OPERATION_MS);
        QCOMPARE(m_window->ConnectionLabel()->text().trimmed(), QStringLiteral("USB Not connected"));
        // A lost link is shown in the status bar; the wait box belongs to
        // the reconnect sequence only.
        QVERIFY(!m_window->WaitBox()->isVisible());
        QVERIFY(m_window->InfoLabel()->text().isEmpty());
        // Replugged: the worker finds it again and the window is ready and idle.
        QTRY_COMPARE_WITH_TIMEOUT(m_window->ConnectionLabel()->State(), 2, CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->WaitBox()->isVisible(), CONNECT_MS);
        QVERIFY(!m_window->IsOperationRunning());
        QCOMPARE(g_cmdProcessor.RunCommand("detect"), int('H'));
        QTRY_VERIFY_WITH_TIMEOUT(LogText().count("CE Pin = 1") >= 2, OPERATION_MS);
    }

    void otherNandFirmwareIsSwitched()
    {
        SimConfig("[adapter]\nmodule=nand\nnand_image=1\n[nand]\nimage=@IMAGE@\n");
        AppSettings().WriteBool(SET_BOARD_TYPE, false);
        StartWindow("K9F1G08U0E");
        QTRY_VERIFY_WITH_TIMEOUT(m_window->WaitBox()->isVisible(), CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(AppSettings().ReadBool(SET_BOARD_TYPE, false), CONNECT_MS);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->WaitBox()->isVisible(), CONNECT_MS);
        WaitConnected();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(g_cmdProcessor.RunCommand("detect"), int('H'));
        QTRY_VERIFY_WITH_TIMEOUT(LogText().count("CE Pin = 1") >= 2, OPERATION_MS);
        AppSettings().WriteBool(SET_BOARD_TYPE, false);
    }

    void moduleThatDoesNotFit()
    {
        SimConfig("[adapter]\nmodule=spi\n[spi]\nimage=@IMAGE@\n");
        QString text;
        bool askedForDevice = false;
        AnswerNextModal<QMessageBox>([&](QMessageBox *box) {
            text = box->text();
            AnswerNextModal<CDeviceSelectDialog>([&askedForDevice](CDeviceSelectDialog *dialog) {
                askedForDevice = true;
                dialog->reject();
            });
            box->done(QMessageBox::Ok);
        });
        StartWindow("K9F1G08U0E");
        QTRY_VERIFY_WITH_TIMEOUT(askedForDevice, CONNECT_MS);
        QCOMPARE(text, QStringLiteral("Incompatible  adapter(top module) detected."));
        QCOMPARE(m_window->TargetName(), QStringLiteral("K9F1G08U0E"));
    }
};

QTEST_MAIN(TestMainFrameSession)
#include "tst_mainframesession.moc"
