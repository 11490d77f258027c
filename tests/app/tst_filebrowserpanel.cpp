// The file browser panel: size texts, the listing, the row arithmetic behind
// the keys, and the click, double-click and drag rules.

#include "FileBrowserPanel.h"
#include "FileListNavigator.h"
#include "FileListView.h"
#include "FileSizeText.h"
#include "RecordingFrame.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// The window's side of opening: what was added to the recent files and what
// the target was asked to load.
class CLoadingFrame : public CRecordingFrame
{
public:
    bool LoadFileIntoTarget(const QString &path) override
    {
        loads << path;
        return true;
    }
    QStringList loads;
};

void WriteFile(const QString &path, qint64 size)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.resize(size));
}

} // namespace

class TestFileBrowserPanel : public QObject
{
    Q_OBJECT

private:
    // A panel listing `files` files named f000, f001, ... in a fresh folder.
    std::unique_ptr<CFileBrowserPanel> MakePanel(int files, QSize size = QSize(204, 503))
    {
        for (int i = 0; i < files; ++i)
            WriteFile(m_dir->filePath(QStringLiteral("f%1").arg(i, 3, 10, QLatin1Char('0'))), i);
        auto panel = std::make_unique<CFileBrowserPanel>();
        panel->resize(size);
        panel->ShowDirectory(m_dir->path());
        panel->show();
        if (!QTest::qWaitForWindowExposed(panel.get()))
            return nullptr;
        return panel;
    }

    static void Click(CFileListView *list, int row)
    {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(row).center());
    }
    static void Key(CFileListView *list, Qt::Key key) { QTest::keyClick(list, key); }

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    void sizeText_data()
    {
        QTest::addColumn<quint64>("size");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << quint64(0) << QStringLiteral(" 1KB   ");
        QTest::newRow("1023") << quint64(1023) << QStringLiteral(" 1KB   ");
        QTest::newRow("1024") << quint64(1024) << QStringLiteral(" 1KB   ");
        QTest::newRow("1025") << quint64(1025) << QStringLiteral(" 2KB   ");
        QTest::newRow("1MiB-1") << quint64(1048575) << QStringLiteral(" 1024KB   ");
        QTest::newRow("1MiB") << quint64(1048576) << QStringLiteral(" 1MB   ");
        QTest::newRow("1.5MiB") << quint64(1572864) << QStringLiteral(" 1MB   ");
        QTest::newRow("1MiB and a byte") << quint64(1048577) << QStringLiteral(" 1MB   ");
        QTest::newRow("2MiB less 1024") << quint64(2097152 - 1024) << QStringLiteral(" 1MB   ");
        QTest::newRow("2MiB less 1023") << quint64(2097152 - 1023) << QStringLiteral(" 2MB   ");
        QTest::newRow("8GiB") << quint64(8) * 1024 * 1024 * 1024 << QStringLiteral(" 8192MB   ");
        QTest::newRow("largest") << ~quint64(0) << QStringLiteral(" 17592186044416MB   ");
    }
    void sizeText()
    {
        QFETCH(quint64, size);
        QFETCH(QString, text);
        QCOMPARE(FileSizeText(size), text);
    }

    void infoTextIsSizeThenShortDate()
    {
        const QString path = m_dir->filePath(QStringLiteral("image.bin"));
        WriteFile(path, 1025);
        const QFileInfo info(path);
        QCOMPARE(FileInfoText(info), QStringLiteral(" 2KB   ") + QLocale().toString(info.lastModified(), QLocale::ShortFormat));
    }

    void panelGeometry_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("initial") << QSize(204, 503);
        QTest::newRow("wide") << QSize(400, 300);
    }
    void panelGeometry()
    {
        QFETCH(QSize, size);
        CFileBrowserPanel panel;
        panel.resize(size);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        const int w = size.width(), h = size.height();
        QCOMPARE(panel.NameBox()->geometry(), QRect(QPoint(5, 5), QPoint(w - 32, 25)));
        QCOMPARE(panel.SelectDirectoryButton()->geometry(), QRect(QPoint(w - 26, 5), QPoint(w - 6, 25)));
        QCOMPARE(panel.FileList()->geometry(), QRect(QPoint(5, 35), QPoint(w - 6, h - 33)));
        QCOMPARE(panel.InfoBox()->geometry(), QRect(QPoint(5, h - 26), QPoint(w - 6, h - 6)));
        QCOMPARE(panel.SelectDirectoryButton()->text(), QStringLiteral("..."));
        QVERIFY(panel.NameBox()->isReadOnly());
        QVERIFY(panel.InfoBox()->isReadOnly());
    }

    void initialSize()
    {
        CFileBrowserPanel panel;
        QCOMPARE(panel.size(), QSize(204, 503));
    }

    void lastComponent_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << "/home/op/images" << "images";
        QTest::newRow("trailing slash") << "/home/op/images/" << "images";
        QTest::newRow("no slash") << "images" << "images";
        QTest::newRow("root") << "/" << "";
    }
    void lastComponent()
    {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(CFileBrowserPanel::LastComponent(path), name);
    }

    void listingHoldsFilesOnly()
    {
        WriteFile(m_dir->filePath(QStringLiteral("a.bin")), 10);
        WriteFile(m_dir->filePath(QStringLiteral("b.bin")), 2000);
        QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("a.bin")), m_dir->filePath(QStringLiteral("link.bin"))));
        CFileBrowserPanel panel;
        panel.ShowDirectory(m_dir->path() + QLatin1Char('/'));
        QStringList names;
        for (const QFileInfo &entry : panel.FileList()->Entries())
            names << entry.fileName();
        names.sort();
        QCOMPARE(names, QStringList({QStringLiteral("a.bin"), QStringLiteral("b.bin")}));
        QCOMPARE(panel.NameBox()->text(), QFileInfo(m_dir->path()).fileName());
        // The selected (first listed) file's size and date are shown at once.
        const QFileInfo *selected = panel.FileList()->SelectedEntry();
        QVERIFY(selected);
        QCOMPARE(panel.InfoBox()->text(), FileInfoText(*selected));
    }

    void emptyDirectoryIgnoresInput()
    {
        CLoadingFrame frame;
        auto panel = MakePanel(0);
        QVERIFY(panel);
        panel->InfoBox()->setText(QStringLiteral("before"));
        CFileListView *list = panel->FileList();
        panel->ShowDirectory(m_dir->path());
        QVERIFY(list->Entries().isEmpty());
        QVERIFY(!list->SelectedEntry());
        Click(list, 0);
        Click(list, 0);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(0).center());
        for (Qt::Key key : {Qt::Key_Home, Qt::Key_End, Qt::Key_Down, Qt::Key_Up, Qt::Key_PageDown})
            Key(list, key);
        QVERIFY(!list->CreateDragData());
        QCOMPARE(panel->InfoBox()->text(), QStringLiteral("before"));
        QVERIFY(frame.loads.isEmpty());
        QVERIFY(frame.recentFiles.isEmpty());
    }

    void clickSelectsThenOpens()
    {
        CLoadingFrame frame;
        auto panel = MakePanel(5);
        QVERIFY(panel);
        CFileListView *list = panel->FileList();
        QCOMPARE(list->Navigator().CurrentRow(), 0);

        Click(list, 2);
        QCOMPARE(list->Navigator().CurrentRow(), 2);
        QVERIFY(frame.loads.isEmpty());
        const QString path = list->SelectedEntry()->absoluteFilePath();
        QCOMPARE(panel->InfoBox()->text(), FileInfoText(*list->SelectedEntry()));

        Click(list, 2);
        QCOMPARE(frame.recentFiles, QStringList{path});
        QCOMPARE(frame.loads, QStringList{path});

        // Right clicks neither select nor open.
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->RowRect(3).center());
        QCOMPARE(list->Navigator().CurrentRow(), 2);
        QCOMPARE(frame.loads.size(), 1);

        // A click below the last file does nothing.
        Click(list, 7);
        QCOMPARE(list->Navigator().CurrentRow(), 2);
        QCOMPARE(frame.loads.size(), 1);
    }

    void doubleClickOpensOnce()
    {
        CLoadingFrame frame;
        auto panel = MakePanel(5);
        QVERIFY(panel);
        CFileListView *list = panel->FileList();
        // The event sequence of a real double-click on an unselected file.
        const QPoint at = list->RowRect(3).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(list->Navigator().CurrentRow(), 3);
        QCOMPARE(frame.loads, QStringList{list->SelectedEntry()->absoluteFilePath()});

        // A double-click event alone selects and opens.
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, list->RowRect(1).center());
        QCOMPARE(list->Navigator().CurrentRow(), 1);
        QCOMPARE(frame.loads.size(), 2);
        QCOMPARE(frame.loads.last(), list->SelectedEntry()->absoluteFilePath());
    }

    void dragCarriesSelectedPath()
    {
        WriteFile(m_dir->filePath(QStringLiteral("образ.bin")), 10);
        CFileListView list;
        list.ListDirectory(m_dir->path());
        std::unique_ptr<QMimeData> data(list.CreateDragData());
        QVERIFY(data);
        QVERIFY(data->hasFormat(QStringLiteral("FileName")));
        QCOMPARE(QFile::decodeName(data->data(QStringLiteral("FileName"))), m_dir->filePath(QStringLiteral("образ.bin")));
    }

    void endTwiceShowsThenSelects()
    {
        auto panel = MakePanel(100);
        QVERIFY(panel);
        CFileListView *list = panel->FileList();
        const CFileListNavigator &nav = list->Navigator();
        QVERIFY(nav.VisibleRows() > 0 && nav.VisibleRows() < 100);
        QVERIFY(list->verticalScrollBar()->isVisible());
        Click(list, 1);
        Key(list, Qt::Key_End);
        QCOMPARE(nav.FirstRow(), 100 - nav.VisibleRows());
        QCOMPARE(nav.CurrentRow(), 1);
        QCOMPARE(list->verticalScrollBar()->value(), nav.FirstRow());
        QCOMPARE(panel->InfoBox()->text(), FileInfoText(*list->SelectedEntry()));
        Key(list, Qt::Key_End);
        QCOMPARE(nav.Selected(), 99);
        QCOMPARE(list->SelectedEntry()->fileName(), list->Entries().last().fileName());
        Key(list, Qt::Key_Home);
        QCOMPARE(nav.FirstRow(), 0);
        QCOMPARE(nav.CurrentRow(), 0);
        QCOMPARE(list->verticalScrollBar()->value(), 0);
    }

    void scrollBarKeepsRow()
    {
        auto panel = MakePanel(100);
        QVERIFY(panel);
        CFileListView *list = panel->FileList();
        Click(list, 3);
        list->verticalScrollBar()->setValue(10);
        QCOMPARE(list->Navigator().FirstRow(), 10);
        QCOMPARE(list->Navigator().CurrentRow(), 3);
        QCOMPARE(list->SelectedEntry()->fileName(), list->Entries().at(13).fileName());
        QCOMPARE(panel->InfoBox()->text(), FileInfoText(list->Entries().at(13)));
    }

    void resizeResetsCurrentRow()
    {
        auto panel = MakePanel(10);
        QVERIFY(panel);
        Click(panel->FileList(), 4);
        QCOMPARE(panel->FileList()->Navigator().CurrentRow(), 4);
        panel->resize(220, 400);
        QCOMPARE(panel->FileList()->Navigator().CurrentRow(), 0);
        // The information box follows the selection to the file now selected.
        QCOMPARE(panel->InfoBox()->text(), FileInfoText(*panel->FileList()->SelectedEntry()));
    }

    void narrowPanelShowsTheSizeFirst()
    {
        auto panel = MakePanel(3, QSize(60, 300));
        QVERIFY(panel);
        Click(panel->FileList(), 2);
        QCOMPARE(panel->InfoBox()->cursorPosition(), 0);
        QVERIFY(panel->InfoBox()->text().startsWith(QStringLiteral(" 1KB")));
    }

    // A file that grows after it was listed (the image a read writes) shows
    // its present size within a refresh or two.
    void infoFollowsAGrowingFile()
    {
        auto panel = MakePanel(1);
        QVERIFY(panel);
        QCOMPARE(panel->InfoBox()->text().left(4), QStringLiteral(" 1KB"));
        WriteFile(m_dir->filePath(QStringLiteral("f000")), 3 << 20);
        QTRY_COMPARE_WITH_TIMEOUT(panel->InfoBox()->text().left(4), QStringLiteral(" 3MB"),
                                  3 * CFileBrowserPanel::InfoRefreshMs);
        QCOMPARE(panel->InfoBox()->cursorPosition(), 0);
    }

    // The selection bar spans the list's inner width, with the scroll bar
    // and without it, as soon as a listing is shown.
    void selectionBarReachesTheRightEdge()
    {
        auto panel = MakePanel(60);
        QVERIFY(panel);
        CFileListView *list = panel->FileList();
        QVERIFY(list->verticalScrollBar()->isVisible());
        const auto barRight = [list] {
            const QImage image = list->viewport()->grab().toImage();
            const QRgb selection = qRgb(0, 128, 215);
            const int y = int(list->RowRect(0).center().y() * image.devicePixelRatio());
            int right = -1;
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == selection)
                    right = x;
            return qreal(right + 1) / image.devicePixelRatio();
        };
        QVERIFY(qAbs(barRight() - (list->viewport()->width() - 1)) <= 1);
        // A short folder: the scroll bar goes, the bar follows at once.
        QTemporaryDir few;
        WriteFile(few.filePath(QStringLiteral("one.bin")), 5);
        panel->ShowDirectory(few.path());
        QVERIFY(!list->verticalScrollBar()->isVisible());
        QVERIFY(qAbs(barRight() - (list->viewport()->width() - 1)) <= 1);
    }

    // The key table on a list of 50 entries seen 10 rows at a time.
    void navigatorKeys_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("current");
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("newFirst");
        QTest::addColumn<int>("newCurrent");
        QTest::newRow("up moves selection") << 5 << 3 << "up" << 5 << 2;
        QTest::newRow("up at top row scrolls") << 5 << 0 << "up" << 4 << 0;
        QTest::newRow("up at very top stays") << 0 << 0 << "up" << 0 << 0;
        QTest::newRow("down moves selection") << 5 << 3 << "down" << 5 << 4;
        QTest::newRow("down at bottom row scrolls") << 5 << 9 << "down" << 6 << 9;
        QTest::newRow("down at the end stays") << 40 << 9 << "down" << 40 << 9;
        QTest::newRow("page up") << 15 << 4 << "pageup" << 5 << 4;
        QTest::newRow("page up stops at 0") << 6 << 4 << "pageup" << 0 << 4;
        QTest::newRow("page down") << 5 << 4 << "pagedown" << 15 << 4;
        QTest::newRow("page down stops at the last page") << 35 << 4 << "pagedown" << 40 << 4;
        QTest::newRow("home") << 20 << 4 << "home" << 0 << 0;
        QTest::newRow("end shows last page") << 0 << 4 << "end" << 40 << 4;
        QTest::newRow("end selects last") << 40 << 4 << "end" << 40 << 9;
    }
    void navigatorKeys()
    {
        QFETCH(int, first);
        QFETCH(int, current);
        QFETCH(QString, key);
        QFETCH(int, newFirst);
        QFETCH(int, newCurrent);
        CFileListNavigator nav;
        nav.SetVisibleRows(10);
        nav.SetCount(50);
        QVERIFY(nav.ScrollTo(first) || first == 0);
        QVERIFY(nav.SetCurrentRow(current) || current == 0);
        if (key == "up") nav.Up();
        else if (key == "down") nav.Down();
        else if (key == "pageup") nav.PageUp();
        else if (key == "pagedown") nav.PageDown();
        else if (key == "home") nav.Home();
        else if (key == "end") nav.End();
        QCOMPARE(nav.FirstRow(), newFirst);
        QCOMPARE(nav.CurrentRow(), newCurrent);
        QVERIFY(nav.Selected() < nav.Count());
    }

    void navigatorShortList()
    {
        CFileListNavigator nav;
        nav.SetVisibleRows(10);
        nav.SetCount(3);
        QCOMPARE(nav.MaxFirstRow(), 0);
        nav.SetCurrentRow(2);
        QVERIFY(!nav.Down());
        QCOMPARE(nav.CurrentRow(), 2);
        QVERIFY(!nav.SetCurrentRow(3));
        // A new, shorter listing drops a selection that no longer exists.
        nav.SetCount(2);
        QCOMPARE(nav.CurrentRow(), 0);
        nav.SetCurrentRow(1);
        nav.SetCount(5);
        QCOMPARE(nav.CurrentRow(), 1);
    }

    void partialRowSelectionStaysInList()
    {
        // 30 entries, 20 whole rows: the partly visible row 20 may be clicked;
        // scrolling to the end must not move the selection past entry 29.
        CFileListNavigator nav;
        nav.SetVisibleRows(20);
        nav.SetCount(30);
        QVERIFY(nav.SetCurrentRow(20));
        nav.ScrollTo(nav.MaxFirstRow());
        QCOMPARE(nav.Selected(), 29);
    }
};

QTEST_MAIN(TestFileBrowserPanel)
#include "tst_filebrowserpanel.moc"
