// Files dropped on the hex view, and its context menu.

#include "FileListView.h"
#include "FileMemoryNode.h"
#include "HexView.h"
#include "MemoryNode.h"
#include "RecordingFrame.h"

#include <QAction>
#include <QDropEvent>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

class CWindowFrame : public CRecordingFrame
{
public:
    QAction *SaveAction() const override { return save; }
    QAction *save = nullptr;
};

bool WriteAt(const QString &path, qint64 size, qint64 at, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && file.resize(size) && file.seek(at) && file.write(bytes) == bytes.size();
}

std::unique_ptr<CHexView> ShownView(CMemoryNode *buffer)
{
    auto view = std::make_unique<CHexView>(buffer);
    view->resize(600, 300);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        return nullptr;
    return view;
}

// A drop as the window system delivers it: the drag enters, then drops.
void Drop(CHexView &view, const QMimeData &data)
{
    const QPoint at(60, 60);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
}

} // namespace

class TestHexViewDrop : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void dropLoadsFile()
    {
        CRecordingFrame frame;
        const QString path = m_dir.filePath(QStringLiteral("two.bin"));
        QByteArray content(2 * 1024 * 1024, '\0');
        for (int i = 0; i < content.size(); ++i)
            content[i] = char(i * 7 + (i >> 12));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), qint64(content.size()));
        }
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 1024 * 1024, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);

        QMimeData data;
        data.setData(QStringLiteral("FileName"), QFile::encodeName(path) + QByteArray("\0junk", 5));
        const QPoint at(100, 100);
        QDragEnterEvent linkEnter(at, Qt::LinkAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &linkEnter);
        QVERIFY(!linkEnter.isAccepted());
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &drop);

        QByteArray loaded(1024 * 1024, '\0');
        buffer.Read(0, reinterpret_cast<uint8_t *>(loaded.data()), uint64_t(loaded.size()));
        QVERIFY(loaded == content.left(1024 * 1024));
        // The 2 MiB file is twice the buffer: the load says how much it took.
        QCOMPARE(frame.log.filter(path + QStringLiteral(" Loaded")).size(), 1);
        QCOMPARE(frame.log.filter(QStringLiteral("1048576 of the file's 2097152 bytes loaded")).size(), 1);
        QCOMPARE(frame.log.size(), 2);
        QCOMPARE(frame.recentFiles, QStringList{path});
    }

    void dropOfAListedFile()
    {
        CRecordingFrame frame;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("файл.bin"));
        QVERIFY(WriteAt(path, 32, 0, QByteArray("listed")));
        CFileListView list;
        list.ListDirectory(dir.path());
        std::unique_ptr<QMimeData> data(list.CreateDragData());
        QVERIFY(data);
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 64, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        Drop(*view, *data);
        uint8_t bytes[6] = {};
        buffer.Read(0, bytes, 6);
        QCOMPARE(QByteArray(reinterpret_cast<char *>(bytes), 6), QByteArray("listed"));
        QCOMPARE(frame.recentFiles, QStringList{path});
    }

    void dropOfMissingFileReportsIt()
    {
        CRecordingFrame frame;
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 64, 0xFF);
        auto view = ShownView(&buffer);
        QVERIFY(view);
        QMimeData data;
        const QString path = m_dir.filePath(QStringLiteral("missing.bin"));
        data.setData(QStringLiteral("FileName"), QFile::encodeName(path));
        Drop(*view, data);
        QVERIFY(frame.recentFiles.isEmpty());
        QCOMPARE(frame.log.size(), 1);
        QVERIFY(frame.log.first().startsWith(path));
    }

    void contextMenu()
    {
        CWindowFrame frame;
        QAction save(QStringLiteral("Save"));
        frame.save = &save;
        CMemoryNode buffer(QStringLiteral("SPI"), 0, 0x100, 0xA5);
        buffer.SetByte(3, 0x00);
        CHexView view(&buffer);
        QVERIFY(view.initAction());
        QCOMPARE(view.initAction()->text(), QStringLiteral("Init"));
        QCOMPARE(view.initAction()->statusTip(), QStringLiteral("Fill the memory tab with initial value"));

        std::unique_ptr<QMenu> menu = view.createContextMenu();
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 3);
        QCOMPARE(menu->actions().at(0), view.initAction());
        QVERIFY(menu->actions().at(1)->isSeparator());
        QCOMPARE(menu->actions().at(2), &save);

        save.setEnabled(false);
        menu = view.createContextMenu();
        QCOMPARE(menu->actions().size(), 1);

        view.initAction()->trigger();
        uint8_t byte = 0;
        buffer.Read(3, &byte, 1);
        QCOMPARE(byte, uint8_t(0xA5));

        CFileMemoryNode file(QStringLiteral("Nand"), 0, 0x100);
        CHexView fileView(&file);
        QVERIFY(!fileView.createContextMenu());
    }
};

QTEST_MAIN(TestHexViewDrop)
#include "tst_hexviewdrop.moc"
