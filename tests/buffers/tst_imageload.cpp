#include "FileMemoryNode.h"
#include "MemoryNode.h"
#include "RecordingFrame.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// What a buffer loads: only regular files (a FIFO would block the window,
// a device hand over endless or no bytes), and an image shorter or longer
// than the chip says how much of it was taken, with the rest of the chip
// erased rather than left from an earlier image.
class TestImageLoad : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    static bool Write(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }

    static QByteArray Held(CMemoryNode &node)
    {
        QByteArray bytes(int(node.GetSize()), '\0');
        node.Read(0, reinterpret_cast<uint8_t *>(bytes.data()), uint32_t(bytes.size()));
        return bytes;
    }

private slots:
    void onlyRegularFilesLoad_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("character device") << "/dev/zero";
        QTest::newRow("folder") << "folder";
    }
    void onlyRegularFilesLoad()
    {
        QFETCH(QString, kind);
        QString path = kind;
        if (kind == "fifo") {
            path = m_dir.filePath("image.fifo");
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else if (kind == "folder") {
            path = m_dir.filePath("folder");
            QVERIFY(QDir().mkpath(path));
        }
        const QString line = "Not loaded, not a regular file: " + path;
        {
            CRecordingFrame frame;
            CMemoryNode node(QStringLiteral("Buffer"), 0, 4096, 0xFF);
            const QByteArray before = Held(node);
            QVERIFY(!node.LoadFile(path, true));
            QCOMPARE(frame.log, QStringList{line});
            QCOMPARE(Held(node), before);
        }
        {
            CRecordingFrame frame;
            CFileMemoryNode node(QStringLiteral("Buffer"), 0, 4096);
            QVERIFY(!node.LoadFile(path, true));
            QCOMPARE(frame.log, QStringList{line});
            QCOMPARE(node.GetSize(), uint64_t(0));
        }
    }

    void imageSizeAgainstChip_data()
    {
        QTest::addColumn<int>("fileBytes");
        QTest::addColumn<QStringList>("extraLog");
        QTest::newRow("as large as the chip") << 4096 << QStringList{};
        QTest::newRow("shorter") << 1000 << QStringList{"1000 of the file's 1000 bytes loaded, the chip holds 4096 bytes"};
        QTest::newRow("longer") << 5000 << QStringList{"4096 of the file's 5000 bytes loaded, the chip holds 4096 bytes"};
        QTest::newRow("empty") << 0 << QStringList{"0 of the file's 0 bytes loaded, the chip holds 4096 bytes"};
    }
    void imageSizeAgainstChip()
    {
        QFETCH(int, fileBytes);
        QFETCH(QStringList, extraLog);
        CRecordingFrame frame;
        CMemoryNode node(QStringLiteral("Buffer"), 0, 4096, 0xFF);
        // An earlier image fills the buffer with zeros.
        const QString earlier = m_dir.filePath("earlier.bin");
        QVERIFY(Write(earlier, QByteArray(4096, '\0')));
        QVERIFY(node.LoadFile(earlier, false));
        QByteArray image(fileBytes, '\0');
        for (int i = 0; i < fileBytes; ++i)
            image[i] = char(i * 7 + 1);
        const QString path = m_dir.filePath("image.bin");
        QVERIFY(Write(path, image));
        QVERIFY(node.LoadFile(path, true));
        QCOMPARE(frame.log, QStringList{path + " Loaded"} + extraLog);
        QByteArray expected = image.left(4096);
        expected += QByteArray(4096 - expected.size(), '\xFF');
        QVERIFY(Held(node) == expected);
    }
};

QTEST_MAIN(TestImageLoad)
#include "tst_imageload.moc"
