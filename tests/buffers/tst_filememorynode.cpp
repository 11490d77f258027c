#include "BufferFixture.h"
#include "FileMemoryNode.h"
#include "RecordingFrame.h"

#include <QDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

// The file-backed buffer's own life: loading in place, replacing the backing
// file (refused while busy), new image and temporary files, range saves,
// appends, and reads from the worker while the GUI thread appends.
class TestFileMemoryNode : public QObject
{
    Q_OBJECT

    CBufferFiles m_files;
    CRecordingFrame *m_frame = nullptr;

    QString NewPath() { return m_files.NewPath(); }
    QString WriteFile(const QByteArray &content) { return m_files.WriteFile(content); }
    std::unique_ptr<CMemoryNode> Make(BufferKind kind, uint64_t base, const QByteArray &content)
    {
        return m_files.Make(kind, base, content);
    }

private slots:
    void init()
    {
        QVERIFY(m_files.IsValid());
        m_frame = new CRecordingFrame;
    }
    void cleanup()
    {
        delete m_frame;
        m_frame = nullptr;
    }

    void fileBackedReadsInPlace()
    {
        CFileMemoryNode buffer("Nand", 0, 0x1000);
        QCOMPARE(buffer.GetSize(), quint64(0));
        uint8_t byte = 0xCC;
        QCOMPARE(buffer.Read(0, &byte, 1), quint64(0));
        const QString path = WriteFile(TestPattern(300));
        QVERIFY(buffer.LoadFile(path, true));
        QCOMPARE(buffer.GetSize(), quint64(300));
        QCOMPARE(buffer.GetFilePath(), path);
        QCOMPARE(m_frame->log, QStringList{path + " Loaded"});
        QCOMPARE(m_frame->changes, 1);
        // Read-only: appending to an image the operator loaded must fail and
        // leave it as it was.
        const QByteArray more(10, '\0');
        QVERIFY(!buffer.Append(Bytes(more), more.size()));
        QCOMPARE(ReadWholeFile(path), TestPattern(300));
    }

    void replacingTheFileIsRefusedWhileBusy_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("LoadFile") << "LoadFile";
        QTest::newRow("CreateImageFile") << "CreateImageFile";
        QTest::newRow("CreateTempFile") << "CreateTempFile";
    }
    void replacingTheFileIsRefusedWhileBusy()
    {
        QFETCH(QString, operation);
        const QString path = WriteFile(TestPattern(128));
        CFileMemoryNode buffer("Nand", 0, 0x1000);
        QVERIFY(buffer.LoadFile(path, false));
        m_frame->saveAnswer = NewPath();
        const QString other = WriteFile(TestPattern(16));
        auto run = [&] {
            if (operation == "LoadFile")
                return buffer.LoadFile(other, true);
            if (operation == "CreateImageFile")
                return buffer.CreateImageFile();
            return buffer.CreateTempFile();
        };
        {
            CBusyHolder busy(buffer);
            QVERIFY(busy.Locked());
            QVERIFY(!run());
            QCOMPARE(buffer.GetFilePath(), path);
            QCOMPARE(buffer.GetSize(), quint64(128));
        }
        QVERIFY(run());
        QVERIFY(buffer.GetFilePath() != path);
    }

    void createImageFile_data()
    {
        QTest::addColumn<QString>("answer"); // "new", "existing" or ""
        QTest::addColumn<bool>("expected");
        QTest::newRow("new file") << "new" << true;
        QTest::newRow("existing file is refused") << "existing" << false;
        QTest::newRow("cancelled") << "" << false;
    }
    void createImageFile()
    {
        QFETCH(QString, answer);
        QFETCH(bool, expected);
        CFileMemoryNode buffer("Nand", 0, 0x1000);
        QVERIFY(buffer.CreateTempFile()); // an older backing file is always dropped
        m_frame->changes = 0;
        const QByteArray existing = TestPattern(20);
        if (answer == "new")
            m_frame->saveAnswer = NewPath();
        else if (answer == "existing")
            m_frame->saveAnswer = WriteFile(existing);
        m_frame->workDir = m_files.Path() + "/";

        QCOMPARE(buffer.CreateImageFile(), expected);
        QCOMPARE(buffer.HasFile(), expected);
        QCOMPARE(m_frame->changes, expected ? 1 : 0);
        QCOMPARE(m_frame->recentFiles, expected ? QStringList{m_frame->saveAnswer} : QStringList());
        if (answer == "existing")
            QCOMPARE(ReadWholeFile(m_frame->saveAnswer), existing);
        if (expected) {
            QCOMPARE(buffer.GetFilePath(), m_frame->saveAnswer);
            const QByteArray data = TestPattern(1500);
            QVERIFY(buffer.Append(Bytes(data), 1000));
            QVERIFY(buffer.Append(Bytes(data) + 1000, 500));
            QCOMPARE(buffer.GetSize(), quint64(1500));
            QCOMPARE(ReadWholeFile(m_frame->saveAnswer), data);
        }
    }

    void tempFileIsRemovedWhenClosed_data()
    {
        QTest::addColumn<bool>("destroy"); // else CloseFile
        QTest::newRow("CloseFile") << false;
        QTest::newRow("destruction") << true;
    }
    void tempFileIsRemovedWhenClosed()
    {
        QFETCH(bool, destroy);
        auto buffer = std::make_unique<CFileMemoryNode>("Target", 0, 0x1000);
        QVERIFY(buffer->CreateTempFile());
        const QString path = buffer->GetFilePath();
        QVERIFY(path.startsWith(QDir::tempPath()));
        QVERIFY(QFile::exists(path));
        const QByteArray data = TestPattern(64);
        QVERIFY(buffer->Append(Bytes(data), data.size()));
        QCOMPARE(buffer->GetSize(), quint64(64));
        QCOMPARE(m_frame->changes, 1);
        if (destroy) {
            buffer.reset();
        } else {
            buffer->CloseFile();
            QCOMPARE(m_frame->changes, 2);
            QCOMPARE(buffer->GetSize(), quint64(0));
            buffer->CloseFile(); // nothing left to close: no notification
            QCOMPARE(m_frame->changes, 2);
        }
        QVERIFY(!QFile::exists(path));
    }

    void saveRange_data()
    {
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<int>("savedBytes");
        QTest::newRow("1024 + 1024 + 452") << quint64(100) << quint64(2500) << true << 2500;
        QTest::newRow("exactly one chunk") << quint64(0) << quint64(1024) << true << 1024;
        QTest::newRow("past the end of the image") << quint64(3000) << quint64(2500) << false << 1000;
    }
    void saveRange()
    {
        QFETCH(quint64, offset);
        QFETCH(quint64, length);
        QFETCH(bool, expected);
        QFETCH(int, savedBytes);
        const QByteArray image = TestPattern(4000);
        auto buffer = Make(FileBacked, 0, image);
        const QString target = NewPath();
        QCOMPARE(buffer->SaveRange(offset, length, target), expected);
        QCOMPARE(ReadWholeFile(target), image.mid(int(offset), savedBytes));
        QVERIFY(m_frame->log.isEmpty());
    }

    void saveRangeDoesNothingWithoutSource()
    {
        CFileMemoryNode empty("Nand", 0, 0x1000);
        const QString target = NewPath();
        QVERIFY(!empty.SaveRange(0, 100, target));
        QVERIFY(!QFile::exists(target));
        auto buffer = Make(FileBacked, 0, TestPattern(100));
        QVERIFY(!buffer->SaveRange(0, 100, m_files.FilePath("no/such/folder/x.bin")));
        QVERIFY(m_frame->log.isEmpty());
        CMemoryNode memory("SPI", 0, 100, 0xFF);
        QVERIFY(!memory.SaveRange(0, 100, target));
        QVERIFY(!QFile::exists(target));
    }

    // A stamp (a production serial number) is seen by every read, compare
    // and save of the buffer, straddling chunk and read boundaries, while
    // the operator's file keeps its bytes; a new stamp replaces it, a new
    // file drops it, and one that does not fit is refused.
    void stampLiesOverTheImage_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("file-backed") << int(FileBacked);
        QTest::newRow("in memory") << int(InMemory);
    }
    void stampLiesOverTheImage()
    {
        QFETCH(int, kind);
        const QByteArray image = TestPattern(4000);
        auto buffer = Make(BufferKind(kind), 0x10000, image);
        const QByteArray serial("SN-000042");
        // Across the first 1024-byte chunk of a save.
        QVERIFY(buffer->Stamp(1020, Bytes(serial), uint32_t(serial.size())));
        QByteArray expected = image;
        expected.replace(1020, serial.size(), serial);

        QByteArray read(12, '\0');
        QCOMPARE(buffer->Read(1016, reinterpret_cast<uint8_t *>(read.data()), 12), quint64(12));
        QCOMPARE(read, expected.mid(1016, 12));
        QVERIFY(buffer->Compare(0x10000 + 1000, 100, Bytes(expected) + 1000, nullptr, nullptr));
        QVERIFY(!buffer->Compare(0x10000 + 1000, 100, Bytes(image) + 1000, nullptr, nullptr));
        const QString saved = NewPath();
        QVERIFY(buffer->SaveRange(0, 4000, saved) || kind == InMemory);
        if (kind == FileBacked) {
            QCOMPARE(ReadWholeFile(saved), expected);
            QCOMPARE(ReadWholeFile(static_cast<CFileMemoryNode &>(*buffer).GetFilePath()), image);
        }

        const QByteArray next("SN-000043");
        QVERIFY(buffer->Stamp(1020, Bytes(next), uint32_t(next.size())));
        QCOMPARE(buffer->Read(1020, reinterpret_cast<uint8_t *>(read.data()), 9), quint64(9));
        QCOMPARE(read.left(9), next);
        QVERIFY(!buffer->Stamp(3995, Bytes(next), uint32_t(next.size())));
        QVERIFY(!buffer->Stamp(5000, Bytes(next), 1));

        QVERIFY(buffer->LoadFile(WriteFile(image), false));
        QCOMPARE(buffer->Read(1020, reinterpret_cast<uint8_t *>(read.data()), 9), quint64(9));
        QCOMPARE(read.left(9), image.mid(1020, 9));
    }

    void readAndAppendFromTwoThreads()
    {
        CFileMemoryNode buffer("Target", 0, 0x100000);
        QVERIFY(buffer.CreateTempFile());
        const QByteArray head = TestPattern(1024);
        QVERIFY(buffer.Append(Bytes(head), head.size()));
        std::atomic<bool> done{false};
        std::atomic<int> badReads{0};
        std::thread reader([&] {
            QByteArray got(1024, '\0');
            while (!done) {
                const uint64_t n = buffer.Read(0, reinterpret_cast<uint8_t *>(got.data()), 1024);
                if (n != 1024 || got != head)
                    ++badReads;
            }
        });
        const QByteArray tail(512, char(0xA5));
        for (int i = 0; i < 400; ++i)
            QVERIFY(buffer.Append(Bytes(tail), tail.size()));
        done = true;
        reader.join();
        QCOMPARE(badReads.load(), 0);
        QCOMPARE(buffer.GetSize(), quint64(1024 + 400 * 512));
    }
};

QTEST_GUILESS_MAIN(TestFileMemoryNode)
#include "tst_filememorynode.moc"
