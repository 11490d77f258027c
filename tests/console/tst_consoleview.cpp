#include "ActionRecordingFrame.h"
#include "AppDirectory.h"
#include "CmdProcessor.h"
#include "ConsoleView.h"
#include "RecordingProgrammer.h"
#include "Script.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The console's input pane with the real command processor behind it: the
// history, browsing, completion, paste, Enter on an empty line and scrolling.
class TestConsoleView : public QObject
{
    Q_OBJECT

private:
    static constexpr uint32_t NandCaps = 0x9F;

    QTemporaryDir m_dir;
    std::unique_ptr<CActionRecordingFrame> m_frame;
    std::unique_ptr<CRecordingProgrammer> m_programmer;
    std::unique_ptr<CConsoleView> m_view;

    void Enter(const QString &text)
    {
        QTest::keyClicks(m_view.get(), text);
        QTest::keyClick(m_view.get(), Qt::Key_Return);
    }
    void Press(const QString &keys)
    {
        for (const QChar key : keys) {
            if (key == 'U')
                QTest::keyClick(m_view.get(), Qt::Key_Up);
            else if (key == 'D')
                QTest::keyClick(m_view.get(), Qt::Key_Down);
            else if (key == 'T')
                QTest::keyClick(m_view.get(), Qt::Key_Tab);
            else
                QTest::keyClick(m_view.get(), key.toLatin1());
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
        m_frame = std::make_unique<CActionRecordingFrame>();
        m_programmer = std::make_unique<CRecordingProgrammer>(NandCaps);
        m_frame->programmer = m_programmer.get();
        g_cmdProcessor.BuildCommands(m_programmer.get());
        m_view = std::make_unique<CConsoleView>();
        m_view->resize(400, 300);
        m_view->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
    }
    void cleanup()
    {
        m_view.reset();
        g_cmdProcessor.BuildCommands(nullptr);
        m_programmer.reset();
        m_frame.reset();
    }

    void enteredLinesReachTheProcessor()
    {
        Enter("cls");
        QCOMPARE(m_frame->log, QStringList{"-cls"});
        QCOMPARE(m_view->history(), QStringList{"cls"});
        QVERIFY(m_view->input().isEmpty());
    }

    // Enter alone adds nothing to the history but still reaches the
    // processor, where it continues a paused script.
    void enterOnEmptyInput()
    {
        QFile file(m_dir.filePath("job.usp"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("pause\ncls\n");
        file.close();
        Enter("job");
        QCOMPARE(m_frame->log.size(), 2);
        Enter("");
        QCOMPARE(m_view->history(), QStringList{"job"});
        QCOMPARE(m_frame->log.mid(2), (QStringList{"-cls", "Script finished"}));
    }

    void historyKeepsTheLast40()
    {
        for (int i = 1; i <= 41; ++i)
            Enter(QStringLiteral("cls %1").arg(i));
        QCOMPARE(m_view->history().size(), CConsoleView::kHistoryLimit);
        QCOMPARE(m_view->history().first(), "cls 2");
        QCOMPARE(m_view->history().last(), "cls 41");
    }

    void browsing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("input");
        QTest::newRow("newest") << "U" << "three";
        QTest::newRow("older") << "UU" << "two";
        QTest::newRow("oldest") << "UUU" << "one";
        QTest::newRow("stays at the oldest") << "UUUUU" << "one";
        QTest::newRow("forward again") << "UUUD" << "two";
        QTest::newRow("never past the newest") << "UUDDDD" << "three";
        QTest::newRow("Down without browsing") << "D" << "";
        QTest::newRow("typing ends browsing") << "UUxU" << "three";
    }
    void browsing()
    {
        QFETCH(QString, keys);
        QFETCH(QString, input);
        Enter("one");
        Enter("two");
        Enter("three");
        Press(keys);
        QCOMPARE(m_view->input(), input);
    }

    void upOnEmptyHistory()
    {
        Press("UU");
        QVERIFY(m_view->input().isEmpty());
    }

    void completion_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("input");
        QTest::newRow("first match") << "deT" << "DETECT";
        QTest::newRow("second") << "deTT" << "DEVICE";
        QTest::newRow("third") << "deTTT" << "DEVICES";
        QTest::newRow("wraps around") << "deTTTT" << "DETECT";
        QTest::newRow("single letter includes D") << "dTTTT" << "D";
        QTest::newRow("no match changes nothing") << "xT" << "x";
        QTest::newRow("typing starts over") << "deTTe" << "DEVICEe";
        QTest::newRow("a new prefix after typing") << "rTxT" << "READx";
    }
    void completion()
    {
        QFETCH(QString, keys);
        QFETCH(QString, input);
        Press(keys);
        QCOMPARE(m_view->input(), input);
    }

    // One pasted line is typed into the input; several lines run one after
    // another and land in the history, the typed text beginning the first.
    void pasteTypesOneLineAndRunsSeveral()
    {
        QApplication::clipboard()->setText("read 0 800\n");
        Press("ab");
        QTest::keyClick(m_view.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_view->input(), "abread 0 800");
        // Other Control keys type nothing.
        QTest::keyClick(m_view.get(), Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(m_view->input(), "abread 0 800");
        QTest::keyClick(m_view.get(), Qt::Key_Backspace);
        QCOMPARE(m_view->input(), "abread 0 80");
        while (!m_view->input().isEmpty())
            QTest::keyClick(m_view.get(), Qt::Key_Backspace);
        QApplication::clipboard()->setText("c\r\ncls\n");
        Press("cl");
        QTest::keyClick(m_view.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(m_view->input(), QString());
        QCOMPARE(m_view->history().mid(m_view->history().size() - 2), QStringList({"clc", "cls"}));
    }

    void contextMenuOffersPasteAndClear()
    {
        Enter("cls");
        Press("ab");
        QStringList offered;
        QTimer::singleShot(0, this, [&offered] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *action : menu->actions())
                offered << action->text();
            menu->actions().at(1)->trigger();
            menu->close();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(10, 10), m_view->mapToGlobal(QPoint(10, 10)));
        QApplication::sendEvent(m_view->viewport(), &event);
        QCOMPARE(offered, (QStringList{"Paste", "Clear"}));
        QVERIFY(m_view->history().isEmpty());
        QVERIFY(m_view->input().isEmpty());
        QCOMPARE(m_view->pasteAction()->statusTip(), "Paste the clipboard's contents into the current position");
        QCOMPARE(m_view->clearAction()->statusTip(), "Clear command window");
    }

    void scrolling()
    {
        m_view->resize(400, 6 * m_view->fontMetrics().height() + 2);
        QTest::qWait(0);
        const int visible = m_view->visibleLines();
        QVERIFY(visible >= 3);
        for (int i = 0; i < 10; ++i)
            Enter(QStringLiteral("cls %1").arg(i));
        const int maxTop = 10 - visible + 1;
        QCOMPARE(m_view->maxTop(), maxTop);
        QCOMPARE(m_view->topLine(), maxTop);
        QScrollBar *bar = m_view->verticalScrollBar();
        QCOMPARE(m_view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(bar->maximum(), maxTop);
        QCOMPARE(bar->pageStep(), visible);

        bar->setValue(2);
        QCOMPARE(m_view->topLine(), 2);
        Press("x");
        QCOMPARE(m_view->topLine(), maxTop);
        QCOMPARE(bar->value(), maxTop);
        bar->setValue(0);
        Press("U");
        QCOMPARE(m_view->topLine(), maxTop);

        m_view->Clear();
        QCOMPARE(m_view->maxTop(), 0);
        QCOMPARE(m_view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    // The cursor blinks only while the pane has the focus, and ends switched
    // off when the focus goes.
    void blinking()
    {
        m_view->activateWindow();
        m_view->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(m_view.get()));
        QTRY_VERIFY(m_view->isCursorShown());
        QTRY_VERIFY(!m_view->isCursorShown());
        m_view->clearFocus();
        QTRY_VERIFY(!m_view->isCursorShown());
        QTest::qWait(3 * CConsoleView::kBlinkMs);
        QVERIFY(!m_view->isCursorShown());
        QCOMPARE(m_view->cursorRect().width(), 1);
        QCOMPARE(m_view->cursorRect().height(), m_view->fontMetrics().height());
    }
};

QTEST_MAIN(TestConsoleView)
#include "tst_consoleview.moc"
