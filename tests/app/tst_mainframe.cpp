#include "AppDirectory.h"
#include "AppSettings.h"
#include "DeviceDatabase.h"
#include "AboutDialog.h"
#include "DeviceEditorDialog.h"
#include "DeviceSelectDialog.h"
#include "LanguageDialog.h"
#include "UiText.h"
#include "FileBrowserPanel.h"
#include "MainFrame.h"
#include "QtTranslations.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QAction>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QPointer>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWidgetAction>

#include <memory>

// Catches what the window asks the desktop to open.
class CUrlCatcher : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl &url) { urls << url; }

public:
    QList<QUrl> urls;
};

// The window as the operator first meets it: start-up with and without a
// stored target, the action table, menus, tool bars and status bar, the
// recent lists, the message log with its file, and what is kept at shut-down.
class TestMainFrame : public QObject
{
    Q_OBJECT

private:
    static void ClearSettings()
    {
        QSettings file(AppSettings().FileName(), QSettings::IniFormat);
        file.clear();
        file.sync();
    }

    // A window started with the device selection answered by cancelling.
    static std::unique_ptr<CMainFrame> WindowWithoutTarget()
    {
        AnswerNextModal<CDeviceSelectDialog>([](CDeviceSelectDialog *dialog) { dialog->reject(); });
        return std::make_unique<CMainFrame>();
    }

    // A window whose stored target is set up at start-up.
    static std::unique_ptr<CMainFrame> WindowWithTarget(const QString &name)
    {
        AppSettings().WriteString(SET_TEST_NAME, name);
        return std::make_unique<CMainFrame>();
    }

    static QStringList LogLines(const CMainFrame &window)
    {
        return window.LogPanel()->toPlainText().split(QLatin1Char('\n'));
    }

    static QStringList ToolBarOrder(const QToolBar *bar)
    {
        QStringList names;
        for (QAction *action : bar->actions()) {
            if (action->isSeparator())
                names << "|";
            else if (qobject_cast<QWidgetAction *>(action) || action->text().isEmpty())
                names << "widget";
            else
                names << action->text();
        }
        return names;
    }

    static QMenu *TopMenu(CMainFrame &window, const QString &title)
    {
        for (QAction *action : window.menuBar()->actions()) {
            if (action->menu() && action->menu()->title() == title)
                return action->menu();
        }
        return nullptr;
    }

    static QStringList MenuEntries(const QMenu *menu)
    {
        QStringList entries;
        for (QAction *action : menu->actions())
            entries << (action->isSeparator() ? QStringLiteral("|") : action->text());
        return entries;
    }

private slots:
    void init() { ClearSettings(); }

    // A confirmation before going on with a doubtful chip: No is the default,
    // so Enter never carries on by accident.
    void confirmationDefaultsToNo()
    {
        auto window = WindowWithoutTarget();
        bool defaultIsNo = false;
        QString title;
        AnswerNextModal<QMessageBox>([&](QMessageBox *box) {
            defaultIsNo = box->defaultButton() == box->button(QMessageBox::No);
            title = box->windowTitle();
            QTest::keyClick(box, Qt::Key_Return);
        });
        QVERIFY(!window->AskYesNo(QStringLiteral("Are you sure?"), QStringLiteral("ID detection error, check pin connetion!!")));
        QVERIFY(defaultIsNo);
        QCOMPARE(title, QStringLiteral("Are you sure?"));
    }

    // Before a target is chosen the chip and buffer actions are off (they
    // would ask "Are you sure" and then do nothing), and the empty window
    // says what to do, with the device button beside it.
    void withoutTargetTheWindowPointsToTheDevice()
    {
        auto window = WindowWithoutTarget();
        const CMainFrame::ActionId chipActions[] = {
            CMainFrame::ActOpen, CMainFrame::ActSave, CMainFrame::ActDetect, CMainFrame::ActRead,
            CMainFrame::ActVerify, CMainFrame::ActBlankCheck, CMainFrame::ActErase, CMainFrame::ActWrite,
            CMainFrame::ActSmartCopy, CMainFrame::ActStop, CMainFrame::ActMultiFileCorrection,
            CMainFrame::ActNewChip, CMainFrame::ActEditDeviceFile};
        for (CMainFrame::ActionId id : chipActions)
            QVERIFY2(!window->Action(id)->isEnabled(), qPrintable(window->Action(id)->text()));
        for (CMainFrame::ActionId id : {CMainFrame::ActDevice, CMainFrame::ActAbout, CMainFrame::ActLanguage,
                                        CMainFrame::ActNandFlash, CMainFrame::ActExit})
            QVERIFY(window->Action(id)->isEnabled());
        QWidget *page = window->centralWidget();
        QVERIFY(page);
        QCOMPARE(page->objectName(), QStringLiteral("noTargetPage"));
        const auto *line = page->findChild<QLabel *>(QStringLiteral("noTargetText"));
        QVERIFY(line);
        QCOMPARE(line->text(), Text(280));
        const auto *button = page->findChild<QToolButton *>(QStringLiteral("noTargetDevice"));
        QVERIFY(button);
        QCOMPARE(button->defaultAction(), window->Action(CMainFrame::ActDevice));
        // A right click on a tool bar offers no blank entries that hide it.
        QCOMPARE(window->createPopupMenu(), nullptr);

        // With a target the chip actions come on; Save follows the engine.
        window.reset();
        window = WindowWithTarget("K9F1G08U0E");
        for (CMainFrame::ActionId id : {CMainFrame::ActOpen, CMainFrame::ActRead, CMainFrame::ActVerify,
                                        CMainFrame::ActWrite, CMainFrame::ActStop, CMainFrame::ActSmartCopy,
                                        CMainFrame::ActDetect, CMainFrame::ActErase})
            QVERIFY2(window->Action(id)->isEnabled(), qPrintable(window->Action(id)->text()));
        QVERIFY(!window->Action(CMainFrame::ActSave)->isVisible());
        QVERIFY(window->centralWidget()->objectName() != QStringLiteral("noTargetPage"));
    }

    // A recent target that has left the device lists is refused with a line
    // in the log; the settings and the running target stay.
    void recentTargetNoLongerListedKeepsTheTarget()
    {
        AppSettings().WriteStringList(SET_RECENT_TARGETS, {QStringLiteral("GONE-CHIP"), QStringLiteral("K9F1G08U0E")});
        auto window = WindowWithTarget("K9F1G08U0E");
        const QStringList recentBefore = AppSettings().ReadStringList(SET_RECENT_TARGETS);
        QAction *gone = nullptr;
        for (QAction *action : window->RecentTargetsMenu()->actions())
            if (action->data().toString() == QStringLiteral("GONE-CHIP"))
                gone = action;
        QVERIFY(gone);
        gone->trigger();
        QVERIFY2(LogLines(*window).contains(Text(281) + QStringLiteral("GONE-CHIP")),
                 qPrintable(window->LogPanel()->toPlainText()));
        QCOMPARE(AppSettings().ReadString(SET_TEST_NAME), QStringLiteral("K9F1G08U0E"));
        QCOMPARE(AppSettings().ReadStringList(SET_RECENT_TARGETS), recentBefore);
        QVERIFY(window->windowTitle().contains(QStringLiteral("K9F1G08U0E")));
    }

    void qtTranslationFollowsTheLanguageName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("language");
        QTest::newRow("own words") << QStringLiteral("Deutsch") << int(QLocale::German);
        QTest::newRow("English name") << QStringLiteral("french") << int(QLocale::French);
        QTest::newRow("unknown") << QStringLiteral("Klingonish") << -1;
        QTest::newRow("empty") << QString() << -1;
    }
    void qtTranslationFollowsTheLanguageName()
    {
        QFETCH(QString, name);
        QFETCH(int, language);
        QLocale locale(QLocale::C);
        QCOMPARE(LocaleOfLanguageName(name, locale), language >= 0);
        if (language >= 0)
            QCOMPARE(int(locale.language()), language);
    }

    void emptySettingsOpenTheDeviceSelection()
    {
        bool asked = false;
        AnswerNextModal<CDeviceSelectDialog>([&asked](CDeviceSelectDialog *dialog) {
            asked = true;
            dialog->reject();
        });
        CMainFrame window;
        QVERIFY(asked);
        QCOMPARE(g_pMainFrame, &window);
        // No target: only the page that points to the device button.
        QVERIFY(window.centralWidget());
        QCOMPARE(window.centralWidget()->objectName(), QStringLiteral("noTargetPage"));
        QVERIFY(!window.LogPanel());
        QVERIFY(!window.Programmer());
        QCOMPARE(window.TargetName(), QString());
        QCOMPARE(window.windowTitle(), QStringLiteral("Norvaplex 1.09 prebuild  "));
        QCOMPARE(window.size(), QSize(850, 600));
        // A fresh account gets the bundled device lists.
        QVERIFY(QFile::exists(AppDirectory(DIR_CONFIG) + "Nand.txt"));
        QVERIFY(QFile::exists(AppDirectory(DIR_CONFIG) + "SPI.txt"));
        // Nothing is logged anywhere before the first target.
        window.LogMessage("lost");
        window.SetLogFile(true, "norvaplex.log");
        window.LogMessage("lost too");
        window.SetLogFile(false, QString());
        QFile log(AppDirectory(DIR_TEMP) + "norvaplex.log");
        QVERIFY(log.open(QIODevice::ReadOnly));
        QCOMPARE(log.readAll(), QByteArray("Log Start\r\n"));
    }

    void choosingADeviceSetsItUp()
    {
        AnswerNextModal<CDeviceSelectDialog>([](CDeviceSelectDialog *dialog) {
            const auto found = dialog->DeviceList()->findItems("K9F1G08U0E", Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            dialog->DeviceList()->setCurrentItem(found.front());
            dialog->findChild<QPushButton *>("selectButton")->click();
        });
        CMainFrame window;
        QCOMPARE(window.TargetName(), QStringLiteral("K9F1G08U0E"));
        QVERIFY(window.centralWidget());
        QCOMPARE(window.windowTitle(), QStringLiteral("Norvaplex 1.09 prebuild  Target: K9F1G08U0E "));
        const QStringList lines = LogLines(window);
        QVERIFY2(lines.size() >= 2, qPrintable(lines.join('|')));
        QCOMPARE(lines[0], QStringLiteral("Norvaplex   1.09 prebuild"));
        QCOMPARE(lines[1], QStringLiteral("Target: K9F1G08U0E"));
        QCOMPARE(AppSettings().ReadString(SET_TEST_NAME), QStringLiteral("K9F1G08U0E"));
        QCOMPARE(AppSettings().ReadStringList(SET_RECENT_TARGETS), QStringList({"K9F1G08U0E"}));
        QVERIFY(window.RecentTargetsMenu()->actions().front()->isVisible());
        QCOMPARE(window.RecentTargetsMenu()->actions().front()->text(), QStringLiteral("K9F1G08U0E"));
        // A first start reaches the adapter (the simulated one by default).
        QTRY_COMPARE_WITH_TIMEOUT(window.ConnectionLabel()->State(), 2, 30000);
        QVERIFY(window.IsAdapterReady());
    }

    void storedTargetBuildsTheCentralWidget()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        QCOMPARE(window->centralWidget(), window->MainSplitter());
        QCOMPARE(window->MainSplitter()->count(), 2);
        QCOMPARE(window->MainSplitter()->widget(0), window->FilePanel());
        QCOMPARE(window->MainSplitter()->widget(1), window->VerticalSplitter());
        QCOMPARE(window->MainSplitter()->handleWidth(), 4);
        QVERIFY(!window->MainSplitter()->childrenCollapsible());
        QCOMPARE(window->VerticalSplitter()->handleWidth(), 4);
        QCOMPARE(window->VerticalSplitter()->widget(0), window->Tabs());
        QCOMPARE(window->Tabs()->tabPosition(), QTabWidget::South);
        QCOMPARE(window->Tabs()->tabText(0), QStringLiteral("Message Log"));
        QCOMPARE(window->Tabs()->widget(0), window->LogPanel());
        QVERIFY(window->LogPanel()->isReadOnly());
        // The defaults of a fresh account on a tall desktop.
        QVERIFY(QGuiApplication::primaryScreen()->size().height() > 699);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QList<int> right = window->VerticalSplitter()->sizes();
        const QList<int> main = window->MainSplitter()->sizes();
        // Splitters scale the stored sizes to their space; the proportions stay.
        QVERIFY2(right[0] > 2 * right[1], qPrintable(QString("%1 %2").arg(right[0]).arg(right[1])));
        QVERIFY2(main[1] > 2 * main[0], qPrintable(QString("%1 %2").arg(main[0]).arg(main[1])));
    }

    void actionTable_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::addColumn<bool>("hasIcon");
        QTest::newRow("Clear") << int(CMainFrame::ActClear) << "Clear" << "Clear output window"
                               << QKeySequence(QKeySequence::New) << true;
        QTest::newRow("Open") << int(CMainFrame::ActOpen) << "Open" << "Load binary file"
                              << QKeySequence(QKeySequence::Open) << true;
        QTest::newRow("Save") << int(CMainFrame::ActSave) << "Save" << "Save data for backup"
                              << QKeySequence(QKeySequence::Save) << true;
        QTest::newRow("Exit") << int(CMainFrame::ActExit) << "Exit" << "Exit the application"
                              << QKeySequence(QKeySequence::Quit) << false;
        QTest::newRow("Device") << int(CMainFrame::ActDevice) << "Device" << "Select Device" << QKeySequence()
                                << true;
        QTest::newRow("Detect") << int(CMainFrame::ActDetect) << "Detect Chip (F1)" << "Detect chip ID"
                                << QKeySequence(Qt::Key_F1) << true;
        QTest::newRow("Read") << int(CMainFrame::ActRead) << "Read from chip (F2)" << "Read data from target"
                              << QKeySequence(Qt::Key_F2) << true;
        QTest::newRow("Verify") << int(CMainFrame::ActVerify) << "Verify data (F3)"
                                << "Verify the data between memory and target" << QKeySequence(Qt::Key_F3) << true;
        QTest::newRow("Blank") << int(CMainFrame::ActBlankCheck) << "Blank Check (F5)"
                               << "Check if the target is blanked" << QKeySequence(Qt::Key_F5) << true;
        QTest::newRow("Erase") << int(CMainFrame::ActErase) << "Erase chip (F4)"
                               << "Erase the memory block on the chip" << QKeySequence(Qt::Key_F4) << true;
        QTest::newRow("Write") << int(CMainFrame::ActWrite) << "Write chip (CTRL+W)" << "Write data to target chip"
                               << QKeySequence(Qt::CTRL | Qt::Key_W) << true;
        QTest::newRow("Smart copy") << int(CMainFrame::ActSmartCopy) << "Smart copy"
                                    << "Copy to target with analyze" << QKeySequence() << true;
        QTest::newRow("Stop") << int(CMainFrame::ActStop) << "Stop" << "Stop access target"
                              << QKeySequence(Qt::Key_Escape) << true;
        QTest::newRow("Nand Flash") << int(CMainFrame::ActNandFlash) << "Nand Flash" << "" << QKeySequence()
                                    << false;
        QTest::newRow("SPI Flash") << int(CMainFrame::ActSpiFlash) << "SPI Flash" << "" << QKeySequence() << false;
        QTest::newRow("Language") << int(CMainFrame::ActLanguage) << "Language" << "Select new language"
                                  << QKeySequence() << false;
        QTest::newRow("Edit device file") << int(CMainFrame::ActEditDeviceFile) << "Edit Device File"
                                          << "Edit Device File" << QKeySequence() << false;
        QTest::newRow("New chip") << int(CMainFrame::ActNewChip) << "New Chip" << "Start a new chip operation"
                                  << QKeySequence() << false;
        QTest::newRow("MFC") << int(CMainFrame::ActMultiFileCorrection) << "Multiple File Correction"
                             << "Multiple Read File Correction" << QKeySequence() << false;
        QTest::newRow("Goto config") << int(CMainFrame::ActGotoConfigFolder) << "Goto Configure folder"
                                     << "Open configuration folder" << QKeySequence() << false;
        QTest::newRow("About") << int(CMainFrame::ActAbout) << "About" << "About Norvaplex ...." << QKeySequence()
                               << true;
    }
    void actionTable()
    {
        QFETCH(int, id);
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QFETCH(QKeySequence, shortcut);
        QFETCH(bool, hasIcon);
        auto window = WindowWithoutTarget();
        const QAction *action = window->Action(CMainFrame::ActionId(id));
        QVERIFY(action);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->statusTip(), tip);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(!action->icon().isNull(), hasIcon);
    }

    void menusInMenuBarOrder()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        QStringList titles;
        for (QAction *action : window->menuBar()->actions())
            titles << action->text();
        QCOMPARE(titles, QStringList({"File", "Tools", "Nand", "Help"}));
        QCOMPARE(MenuEntries(TopMenu(*window, "File")),
                 QStringList({"Clear", "Open", "Save", "|", "Recent Files", "|", "Exit"}));
        QCOMPARE(MenuEntries(TopMenu(*window, "Tools")),
                 QStringList({"Device", "New Flash", "Language", "Programmer...", "|", "Edit Device File",
                              "Recent Targets"}));
        QCOMPARE(MenuEntries(window->FamilyMenu()), QStringList({"New Chip", "Multiple File Correction"}));
        QCOMPARE(MenuEntries(TopMenu(*window, "Help")), QStringList({"Goto Configure folder", "About"}));
        QCOMPARE(window->RecentFilesMenu()->actions().size(), 20);
        QCOMPARE(window->RecentTargetsMenu()->actions().size(), 20);
    }

    void toolBarsInOrder()
    {
        auto window = WindowWithoutTarget();
        QCOMPARE(ToolBarOrder(window->ToolBar1()),
                 QStringList({"Clear", "Open", "Save", "Device", "|", "Detect Chip (F1)", "Read from chip (F2)",
                              "Verify data (F3)", "Blank Check (F5)", "|", "Erase chip (F4)", "Write chip (CTRL+W)",
                              "Stop", "|", "About", "|", "widget", "widget", "|"}));
        for (QToolBar *bar : {window->ToolBar1(), window->ToolBar2()}) {
            QVERIFY(!bar->isMovable());
            QCOMPARE(bar->iconSize(), QSize(32, 32));
            QVERIFY(bar->windowTitle().isEmpty());
        }
        QCOMPARE(window->toolBarBreak(window->ToolBar2()), true);
        QCOMPARE(window->ToolBar2()->actions().front(), window->Action(CMainFrame::ActSmartCopy));
        QCOMPARE(window->SpeedSlider()->width(), 100);
        QCOMPARE(window->SpeedSlider()->minimum(), 1);
        QCOMPARE(window->SpeedSlider()->maximum(), 10);
        QCOMPARE(window->SpeedSlider()->value(), 10);
        QCOMPARE(window->SpeedLabel()->text(), QStringLiteral("   Speed: (10)  "));
        window->SpeedSlider()->setValue(3);
        QCOMPARE(window->SpeedLabel()->text(), QStringLiteral("   Speed: (3)  "));
    }

    void statusBarWidgets()
    {
        auto window = WindowWithoutTarget();
        QCOMPARE(window->ProgressBar()->width(), 160);
        QVERIFY(!window->ProgressBar()->isTextVisible());
        QVERIFY(window->ProgressBar()->styleSheet().contains("#05B8CC"));
        QCOMPARE(window->InfoLabel()->width(), 70);
        QVERIFY(window->InfoLabel()->text().isEmpty());
        QCOMPARE(window->ConnectionLabel()->State(), -1);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Left to right: progress bar, information label, connection label.
        QVERIFY(window->ProgressBar()->x() < window->InfoLabel()->x());
        QVERIFY(window->InfoLabel()->x() < window->ConnectionLabel()->x());
    }

    void connectionLabelStatesAtTargetSetUp()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        const QStringList texts = window->ConnectionLabel()->Texts();
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[0].trimmed(), QStringLiteral("USB Not connected"));
        QCOMPARE(texts[1], QStringLiteral("USB connected (1.1)"));
        QCOMPARE(texts[2], QStringLiteral("USB connected (2.0)"));
        QCOMPARE(texts[0].size(), texts[2].size());
    }

    void recentFiles()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        const QString dir = QDir::tempPath() + "/images/";
        for (int i = 1; i <= 21; ++i)
            window->AddRecentFile(dir + QStringLiteral("f%1.bin").arg(i));
        QStringList list = AppSettings().ReadStringList(SET_RECENT_FILES);
        QCOMPARE(list.size(), 20);
        QCOMPARE(list.front(), dir + "f21.bin");
        QCOMPARE(list.back(), dir + "f2.bin");
        window->AddRecentFile(dir + "f10.bin");
        list = AppSettings().ReadStringList(SET_RECENT_FILES);
        QCOMPARE(list.size(), 20);
        QCOMPARE(list.front(), dir + "f10.bin");
        QCOMPARE(list.count(dir + "f10.bin"), 1);
        const QList<QAction *> actions = window->RecentFilesMenu()->actions();
        QCOMPARE(actions[0]->text(), QStringLiteral("&1 f10.bin"));
        QCOMPARE(actions[0]->data().toString(), dir + "f10.bin");
        QCOMPARE(actions[19]->text(), QStringLiteral("&20 f2.bin"));
        QVERIFY(actions[19]->isVisible());
        QCOMPARE(window->WorkDir(), dir);
        QCOMPARE(window->FilePanel()->NameBox()->text(), QStringLiteral("images"));
        // A path without a folder stays whole.
        window->AddRecentFile("plain.bin");
        QCOMPARE(window->WorkDir(), QStringLiteral("plain.bin"));
    }

    void workDirectoryFollowsTheTarget()
    {
        AppSettings().WriteString(CAppSettings::TargetDirKey("MX25L6405D"), "/spi/work/");
        auto window = WindowWithTarget("K9F1G08U0E");
        window->AddRecentFile("/nand/work/image.bin");
        // Switching to another target stores the old one's folder and takes
        // the new one's.
        QVERIFY(window->RequestTargetChange("MX25L6405D"));
        QTRY_COMPARE(window->TargetName(), QStringLiteral("MX25L6405D"));
        QTRY_VERIFY(window->HasTarget() && window->windowTitle().contains("MX25L6405D"));
        QCOMPARE(AppSettings().ReadString(CAppSettings::TargetDirKey("K9F1G08U0E")), QStringLiteral("/nand/work/"));
        QCOMPARE(window->WorkDir(), QStringLiteral("/spi/work/"));
        QCOMPARE(window->FamilyMenu()->title(), QString());
        QVERIFY(!window->FamilyMenu()->menuAction()->isVisible());
        QVERIFY(!window->Action(CMainFrame::ActSmartCopy)->isVisible());
        QCOMPARE(window->Tabs()->tabText(window->Tabs()->count() - 1).contains("BadBlock"), false);
        // The same name again is no change.
        QVERIFY(!window->RequestTargetChange("MX25L6405D"));
        window.reset();
        QCOMPARE(AppSettings().ReadString(CAppSettings::TargetDirKey("MX25L6405D")), QStringLiteral("/spi/work/"));
    }

    void shutDownKeepsTheLayout()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(900, 640);
        window->MainSplitter()->setSizes({200, 600});
        window->VerticalSplitter()->setSizes({300, 150});
        const QList<int> main = window->MainSplitter()->sizes();
        const QList<int> right = window->VerticalSplitter()->sizes();
        window.reset();
        QCOMPARE(AppSettings().ReadWindowSize(), QSize(900, 640));
        QCOMPARE(AppSettings().ReadStringList(SET_WINDOWS_1),
                 QStringList({QString::number(main[0]), QString::number(main[1])}));
        QCOMPARE(AppSettings().ReadStringList(SET_WINDOWS_2),
                 QStringList({QString::number(right[0]), QString::number(right[1])}));
        QVERIFY(!g_pMainFrame);
    }

    void logMirrorsToTheStatusBarOnlyOffTheLogTab()
    {
        auto window = WindowWithTarget("MX25L6405D");
        window->statusBar()->clearMessage();
        window->LogMessage("on the log tab");
        QVERIFY(window->statusBar()->currentMessage().isEmpty());
        QVERIFY(window->Tabs()->count() > 1);
        window->Tabs()->setCurrentIndex(1);
        window->LogMessage("on a buffer tab");
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("on a buffer tab"));
        QCOMPARE(LogLines(*window).back(), QStringLiteral("on a buffer tab"));
    }

    void logFile()
    {
        auto window = WindowWithTarget("MX25L6405D");
        const QString path = AppDirectory(DIR_TEMP) + "norvaplex.log";
        QFile::remove(path);
        window->SetLogFile(true, "norvaplex.log");
        window->LogMessage("first");
        window->LogMessage(QString());
        window->LogMessage(QString::fromUtf8("caf\u00e9 \u20ac"));
        window->SetLogFile(true, "norvaplex.log"); // reopens: a second start line
        window->LogMessage("second");
        window->SetLogFile(false, QString());
        QVERIFY(!window->IsLogFileOpen());
        window->LogMessage("not in the file");
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Log Start\r\nfirst\r\n\r\ncaf\xe9 ?\r\nLog Start\r\nsecond\r\n"));
        QVERIFY(window->LogPanel()->toPlainText().contains(QString::fromUtf8("caf\u00e9 \u20ac")));
    }

    void logBackgroundAndClear()
    {
        auto window = WindowWithTarget("MX25L6405D");
        window->SetLogBackground("ffffc0");
        QCOMPARE(window->LogPanel()->styleSheet(), QStringLiteral("QPlainTextEdit{background-color:#ffffc0}"));
        window->ClearLog();
        QVERIFY(window->LogPanel()->toPlainText().isEmpty());
    }

    void selectingTheCurrentDeviceChangesNothing()
    {
        AppSettings().WriteStringList(SET_RECENT_TARGETS, {"MX25L6405D"});
        auto window = WindowWithTarget("MX25L6405D");
        const QWidget *central = window->centralWidget();
        AnswerNextModal<CDeviceSelectDialog>([](CDeviceSelectDialog *dialog) {
            const auto found = dialog->DeviceList()->findItems("MX25L6405D", Qt::MatchExactly);
            dialog->DeviceList()->setCurrentItem(found.front());
            dialog->accept();
        });
        window->OnSelectDevice();
        QCOMPARE(window->centralWidget(), central);
        // Cancelling after highlighting another device keeps the target's own
        // device current.
        AnswerNextModal<CDeviceSelectDialog>([](CDeviceSelectDialog *dialog) {
            const auto found = dialog->DeviceList()->findItems("W25Q32FV", Qt::MatchExactly);
            dialog->DeviceList()->setCurrentItem(found.front());
            dialog->reject();
        });
        window->OnSelectDevice();
        QCOMPARE(window->centralWidget(), central);
        QCOMPARE(CurrentDevice()->m_name, QStringLiteral("MX25L6405D"));
        // The recent-targets menu rebuilds the set-up even for the same name:
        // the old central widget goes (its address may be reused at once).
        const QPointer<const QWidget> old(central);
        window->RecentTargetsMenu()->actions().front()->trigger();
        QTRY_VERIFY(old.isNull());
        QCOMPARE(window->TargetName(), QStringLiteral("MX25L6405D"));
    }

    void desktopLinks()
    {
        CUrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        auto window = WindowWithTarget("K9F1G08U0E");
        window->Action(CMainFrame::ActGotoConfigFolder)->trigger();
        window->Action(CMainFrame::ActEditDeviceFile)->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(catcher.urls.size(), 2);
        QCOMPARE(catcher.urls[0], QUrl::fromLocalFile(AppDirectory(DIR_CONFIG)));
        QCOMPARE(catcher.urls[1], QUrl::fromLocalFile(AppDirectory(DIR_CONFIG) + "Nand.txt"));
        QVERIFY(QFile::exists(catcher.urls[1].toLocalFile()));
    }

    void newFlashLogsTheDefinition_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("idFields");
        QTest::newRow("Nand Flash") << int(CMainFrame::ActNandFlash) << "Nand.txt" << 6;
        QTest::newRow("SPI Flash") << int(CMainFrame::ActSpiFlash) << "SPI.txt" << 3;
    }
    void newFlashLogsTheDefinition()
    {
        QFETCH(int, action);
        QFETCH(QString, file);
        QFETCH(int, idFields);
        CUrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        auto window = WindowWithTarget("K9F1G08U0E");
        QString title;
        int fields = 0;
        AnswerNextModal<CDeviceEditorDialog>([&](CDeviceEditorDialog *dialog) {
            title = dialog->windowTitle();
            fields = dialog->IdFieldCount();
            dialog->IdField(0)->setText("ef");
            dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        });
        window->Action(CMainFrame::ActionId(action))->trigger();
        // Cancelling writes nothing and opens nothing.
        AnswerNextModal<CDeviceEditorDialog>([](CDeviceEditorDialog *dialog) { dialog->reject(); });
        // (The adapter's own lines may arrive meanwhile: count definitions.)
        const auto definitions = [&] { return LogLines(*window).filter(QStringLiteral("ID1=")).size(); };
        const qsizetype defined = definitions();
        window->Action(CMainFrame::ActionId(action))->trigger();
        QDesktopServices::unsetUrlHandler("file");
        QCOMPARE(definitions(), defined);
        QCOMPARE(title, window->Action(CMainFrame::ActionId(action))->text());
        QCOMPARE(fields, idFields);
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(AppDirectory(DIR_CONFIG) + file)}));
        const QStringList definitionLines = LogLines(*window).filter(QStringLiteral("ID1="));
        QVERIFY2(!definitionLines.isEmpty() && definitionLines.back().contains("ID1=\"efh\""),
                 qPrintable(LogLines(*window).join('\n')));
    }

    void aboutBox()
    {
        auto window = WindowWithoutTarget();
        bool shown = false;
        AnswerNextModal<CAboutDialog>([&shown](CAboutDialog *dialog) {
            shown = true;
            dialog->accept();
        });
        window->Action(CMainFrame::ActAbout)->trigger();
        QVERIFY(shown);
    }

    void languageChangeRelabels()
    {
        auto window = WindowWithTarget("K9F1G08U0E");
        AnswerNextModal<CLanguageDialog>([](CLanguageDialog *dialog) {
            auto *list = dialog->findChild<QListWidget *>("languageList");
            const auto found = list->findItems("Deutsch", Qt::MatchExactly);
            QCOMPARE(found.size(), 1);
            list->setCurrentItem(found.front());
            dialog->accept();
        });
        window->Action(CMainFrame::ActLanguage)->trigger();
        QVERIFY(AppSettings().ReadString(SET_LANGUAGE_FILE).endsWith("XRDeutsch.txt"));
        QCOMPARE(TopMenu(*window, "Datei") != nullptr, true);
        QVERIFY(TopMenu(*window, "Werkzeuge"));
        QCOMPARE(window->RecentFilesMenu()->title(), QString::fromUtf8("Zuletzt geöffnete Dateien"));
        QCOMPARE(window->Action(CMainFrame::ActDevice)->text(), QStringLiteral("Baustein"));
        QCOMPARE(window->Action(CMainFrame::ActNandFlash)->text(), QStringLiteral("Nand Flash"));
        QVERIFY(Text(32).contains("Geschwindigkeit"));
        QCOMPARE(window->SpeedLabel()->text(), Text(32) + "(10)  ");
        // Qt's own buttons speak the language too.
        {
            QMessageBox box;
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box.button(QMessageBox::Cancel)->text().remove(QLatin1Char('&')), QStringLiteral("Abbrechen"));
            QCOMPARE(box.button(QMessageBox::No)->text().remove(QLatin1Char('&')), QStringLiteral("Nein"));
        }
        // The next start loads it again.
        window.reset();
        g_uiText.LoadLanguage(QString());
        window = WindowWithTarget("K9F1G08U0E");
        QCOMPARE(window->Action(CMainFrame::ActDevice)->text(), QStringLiteral("Baustein"));
        window.reset();
        g_uiText.LoadLanguage(QString());
        InstallQtTranslations(QString());
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
