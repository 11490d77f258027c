// Choosing the programmer from the window: Tools > Programmer... opens the
// dialog with the line in use; the chosen line is kept for the next start,
// handed to the adapter library and the target connects again, and what the
// library says about the programmer reaches the log. Cancelling changes
// nothing; an empty line goes back to the configuration's choice.

#include "MainFrame.h"
#include "ProgrammerDialog.h"
#include "ProgrammerLine.h"
#include "WindowTestKit.h"

#include <QAction>
#include <QLineEdit>
#include <QTest>

class TestProgrammerMenu : public QObject
{
    Q_OBJECT

    CSimWindowRig m_rig;

    CMainFrame &Window() const { return *m_rig.Window(); }

    // Opens the dialog from the menu and lets `answer` handle it; returns
    // the line the dialog showed.
    QString Choose(const std::function<void(CProgrammerDialog *)> &answer)
    {
        QString shown;
        AnswerNextModal<CProgrammerDialog>([&](CProgrammerDialog *dialog) {
            shown = dialog->LineEdit()->text();
            answer(dialog);
        });
        Window().Action(CMainFrame::ActProgrammer)->trigger();
        return shown;
    }

private slots:
    void initTestCase()
    {
        qunsetenv("XRUSB_PROGRAMMER");
        m_rig.UseChip("[adapter]\nmodule=spi\nreenumerate_ms=0\n[spi]\nimage=@IMAGE@\n");
        m_rig.Start("W25Q128FV");
        m_rig.WaitConnected();
    }
    void cleanupTestCase()
    {
        m_rig.Close();
        qunsetenv("XRUSB_PROGRAMMER");
    }

    void cancelChangesNothing()
    {
        const QString shown = Choose([](CProgrammerDialog *dialog) {
            dialog->LineEdit()->setText(QStringLiteral("ch341a"));
            dialog->reject();
        });
        QCOMPARE(shown, QString());
        QVERIFY(ProgrammerLine::Stored().isEmpty());
        QVERIFY(ProgrammerLine::Current().isEmpty());
        QVERIFY(Window().IsAdapterReady());
    }

    void chosenLineIsKeptUsedAndExplained()
    {
        const QString line = QStringLiteral("spidev:/nonexistent/spidev7.7");
        Choose([&](CProgrammerDialog *dialog) {
            dialog->LineEdit()->setText(QStringLiteral("  ") + line + QStringLiteral(" "));
            dialog->accept();
        });
        QVERIFY(m_rig.Logged(QStringLiteral("Programmer: ") + line));
        QCOMPARE(ProgrammerLine::Stored(), line);
        QCOMPARE(ProgrammerLine::Current(), line);
        // The new connection attempt meets a programmer that is not there:
        // the library's reason, then the window's own line.
        QTRY_VERIFY_WITH_TIMEOUT(m_rig.Logged(QStringLiteral("No adapter answers; still looking for one")),
                                 CSimWindowRig::CONNECT_MS);
        const QStringList reasons = m_rig.LogLines().filter(QStringLiteral("Adapter: "));
        QVERIFY2(reasons.filter(QStringLiteral("/nonexistent/spidev7.7")).size() == 1, qPrintable(reasons.join(" | ")));
        QVERIFY(!Window().IsAdapterReady());

        // The dialog shows the line in use; an empty one hands the choice
        // back to the configuration: the simulated adapter again.
        const QString shown = Choose([](CProgrammerDialog *dialog) {
            dialog->LineEdit()->clear();
            dialog->accept();
        });
        QCOMPARE(shown, line);
        QVERIFY(m_rig.Logged(QStringLiteral("Programmer: the adapter configuration file's choice")));
        QVERIFY(ProgrammerLine::Stored().isEmpty());
        QVERIFY(ProgrammerLine::Current().isEmpty());
        m_rig.WaitConnected();
    }
};

QTEST_MAIN(TestProgrammerMenu)
#include "tst_programmermenu.moc"
