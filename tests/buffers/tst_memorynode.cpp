#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "BufferFixture.h"
#include "RecordingFrame.h"

#include <QTest>

#include <vector>

// The cases that hold for both kinds of buffer run once per kind; the rows say
// which kind. The file-backed kind's own life (backing files, saving ranges,
// threads) is tested in tst_filememorynode.

namespace {
using Patches = QList<QPair<int, int>>; // offset into the chip data, new byte
} // namespace

Q_DECLARE_METATYPE(Patches)

class TestMemoryNode : public QObject
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

    static void AddKindColumn() { QTest::addColumn<int>("kind"); }

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

    void readReturnsFillOrShort_data()
    {
        AddKindColumn();
        QTest::addColumn<quint64>("offset");
        QTest::addColumn<quint64>("length");
        QTest::addColumn<int>("expectedCount");
        QTest::addColumn<QByteArray>("expected"); // what the 16-byte destination holds afterwards
        const QByteArray image = TestPattern(64);
        const QByteArray sentinel(16, char(0xCC));
        QTest::newRow("memory inside") << int(InMemory) << quint64(8) << quint64(16) << 16 << image.mid(8, 16);
        QTest::newRow("file inside") << int(FileBacked) << quint64(8) << quint64(16) << 16 << image.mid(8, 16);
        QTest::newRow("memory crossing the end gives only fill")
            << int(InMemory) << quint64(56) << quint64(16) << 16 << QByteArray(16, char(0xFF));
        QTest::newRow("file crossing the end reads short")
            << int(FileBacked) << quint64(56) << quint64(16) << 8 << image.mid(56, 8) + sentinel.left(8);
        QTest::newRow("memory offset near 2^64 does not wrap")
            << int(InMemory) << quint64(-8) << quint64(16) << 16 << QByteArray(16, char(0xFF));
        QTest::newRow("file offset past the end") << int(FileBacked) << quint64(64) << quint64(16) << 0 << sentinel;
    }
    void readReturnsFillOrShort()
    {
        QFETCH(int, kind);
        QFETCH(quint64, offset);
        QFETCH(quint64, length);
        QFETCH(int, expectedCount);
        QFETCH(QByteArray, expected);
        auto buffer = Make(BufferKind(kind), 0, TestPattern(64));
        QByteArray destination(16, char(0xCC));
        QCOMPARE(buffer->Read(offset, reinterpret_cast<uint8_t *>(destination.data()), length),
                 quint64(expectedCount));
        QCOMPARE(destination.toHex(), expected.toHex());
    }

    void containsChecksTheWindow_data()
    {
        AddKindColumn();
        QTest::addColumn<quint64>("address");
        QTest::addColumn<bool>("expected");
        const quint64 base = 0x140000000; // above 4 GiB
        for (int kind : {InMemory, FileBacked}) {
            const char *name = kind == InMemory ? "memory" : "file";
            QTest::addRow("%s base", name) << kind << base << true;
            QTest::addRow("%s last byte", name) << kind << base + 0xFF << true;
            QTest::addRow("%s base + size", name) << kind << base + 0x100 << false;
            QTest::addRow("%s below base", name) << kind << base - 1 << false;
            QTest::addRow("%s low 32 bits of base", name) << kind << (base & 0xFFFFFFFF) << false;
        }
    }
    void containsChecksTheWindow()
    {
        QFETCH(int, kind);
        QFETCH(quint64, address);
        QFETCH(bool, expected);
        auto buffer = Make(BufferKind(kind), 0x140000000, TestPattern(0x100));
        QCOMPARE(buffer->Contains(address), expected);
    }

    void writeAtClipsToTheBlock_data()
    {
        QTest::addColumn<quint64>("address");
        QTest::addColumn<int>("written");
        QTest::newRow("inside") << quint64(0x1010) << 8;
        QTest::newRow("4 bytes before the end") << quint64(0x1000 + 60) << 4;
        QTest::newRow("below the base") << quint64(0xFFC) << 0;
        QTest::newRow("at base + size") << quint64(0x1040) << 0;
        QTest::newRow("far above") << quint64(-4) << 0;
    }
    void writeAtClipsToTheBlock()
    {
        QFETCH(quint64, address);
        QFETCH(int, written);
        CMemoryNode buffer("SPI", 0x1000, 64, 0xFF);
        const QByteArray source(8, char(0x5A));
        buffer.WriteAt(Bytes(source), address, source.size());
        QByteArray expected(64, char(0xFF));
        if (written)
            expected.replace(int(address - 0x1000), written, source.left(written));
        QByteArray content(64, '\0');
        buffer.Read(0, reinterpret_cast<uint8_t *>(content.data()), 64);
        QCOMPARE(content.toHex(), expected.toHex());
        QCOMPARE(m_frame->changes, written ? 1 : 0);
    }

    void editsAndFill()
    {
        CMemoryNode buffer("SPI", 0, 4, 0xFF);
        buffer.SetNibble(0, 0x3, true);
        buffer.SetNibble(1, 0xA, false);
        buffer.SetByte(2, 0x42);
        buffer.SetByte(4, 0x42); // past the end: ignored
        buffer.SetNibble(99, 0x1, true);
        QByteArray content(4, '\0');
        buffer.Read(0, reinterpret_cast<uint8_t *>(content.data()), 4);
        QCOMPARE(content.toHex(), QByteArray("3ffa42ff"));
        QCOMPARE(m_frame->changes, 0); // the hex view repaints edits itself
        buffer.Fill();
        buffer.Read(0, reinterpret_cast<uint8_t *>(content.data()), 4);
        QCOMPARE(content.toHex(), QByteArray("ffffffff"));
        QCOMPARE(m_frame->changes, 1);
    }

    // The file-backed buffer has an empty in-memory block but a large nominal
    // size; none of the in-memory edits may reach past that block (the
    // sanitizer build catches any overrun) or change the file.
    void fileBackedIgnoresInMemoryEdits()
    {
        const QByteArray image = TestPattern(256);
        const QString path = WriteFile(image);
        CFileMemoryNode buffer("Nand", 0, 0x10000000);
        QVERIFY(buffer.LoadFile(path, false));
        const QByteArray source(16, '\0');
        buffer.WriteAt(Bytes(source), 0, source.size());
        buffer.Fill();
        buffer.SetByte(3, 0);
        buffer.SetNibble(3, 0, true);
        QCOMPARE(ReadWholeFile(path), image);
        QCOMPARE(buffer.GetSize(), quint64(256));
        QCOMPARE(buffer.GetNominalSize(), quint64(0x10000000));
        QCOMPARE(m_frame->changes, 0);
    }

    void compare_data()
    {
        AddKindColumn();
        QTest::addColumn<quint64>("base");
        QTest::addColumn<int>("imageSize");
        QTest::addColumn<quint64>("address");
        QTest::addColumn<int>("length");
        QTest::addColumn<Patches>("patches");
        QTest::addColumn<QList<int>>("badBlocks");
        QTest::addColumn<bool>("expected");
        QTest::addColumn<QString>("logLine");
        // Geometry of these rows: 256-byte pages, 4 pages per block, 8 blocks.
        const QString failed = QStringLiteral("Compare data Failed address ");
        for (int kind : {InMemory, FileBacked}) {
            const char *name = kind == InMemory ? "memory" : "file";
            QTest::addRow("%s equal", name) << kind << quint64(0) << 0x2000 << quint64(0x400) << 0x800 << Patches{}
                                            << QList<int>{} << true << QString();
            QTest::addRow("%s reports the first failing address", name)
                << kind << quint64(0) << 0x2000 << quint64(0x1A00) << 0x100 << Patches{{0x2B, 0x00}, {0x40, 0x00}}
                << QList<int>{} << false << failed + "1A2B ,target 00,PC memory FF";
            QTest::addRow("%s range past the end compares what is held", name)
                << kind << quint64(0) << 0x2000 << quint64(0x1F00) << 0x200 << Patches{{0x100, 0x00}, {0x1FF, 0x12}}
                << QList<int>{} << true << QString();
            QTest::addRow("%s range below the base compares nothing", name)
                << kind << quint64(0x10000) << 0x2000 << quint64(0x100) << 0x100 << Patches{{0, 0}} << QList<int>{}
                << true << QString();
        }
        QTest::newRow("memory one bit is a difference") << int(InMemory) << quint64(0) << 0x2000 << quint64(0)
                                                        << 0x100 << Patches{{5, 0xFE}} << QList<int>{} << false
                                                        << failed + "5 ,target FE,PC memory FF";
        QTest::newRow("memory ignores bad blocks") << int(InMemory) << quint64(0) << 0x2000 << quint64(0x400)
                                                   << 0x400 << Patches{{5, 0xFC}} << QList<int>{1} << false
                                                   << failed + "405 ,target FC,PC memory FF";
        QTest::newRow("file one bit is tolerated") << int(FileBacked) << quint64(0) << 0x2000 << quint64(0)
                                                   << 0x100 << Patches{{5, 0xFE}, {6, 0x7F}} << QList<int>{} << true
                                                   << QString();
        QTest::newRow("file two bits fail") << int(FileBacked) << quint64(0) << 0x2000 << quint64(0x400) << 0x400
                                            << Patches{{5, 0xFE}, {9, 0xFC}} << QList<int>{} << false
                                            << failed + "409 ,target FC,PC memory FF";
        QTest::newRow("file bad block skipped to its end")
            << int(FileBacked) << quint64(0) << 0x2000 << quint64(0x400) << 0x800
            << Patches{{9, 0xFC}, {0x3FF, 0x00}, {0x401, 0x00}} << QList<int>{1} << false
            << failed + "801 ,target 00,PC memory FF";
        QTest::newRow("file only the marked block is skipped")
            << int(FileBacked) << quint64(0) << 0x2000 << quint64(0x400) << 0x800 << Patches{{9, 0xFC}}
            << QList<int>{0, 2} << false << failed + "409 ,target FC,PC memory FF";
        QTest::newRow("file block past the list is compared")
            << int(FileBacked) << quint64(0) << 0x4000 << quint64(0x3000) << 0x400 << Patches{{1, 0x00}}
            << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << false << failed + "3001 ,target 00,PC memory FF";
    }
    void compare()
    {
        QFETCH(int, kind);
        QFETCH(quint64, base);
        QFETCH(int, imageSize);
        QFETCH(quint64, address);
        QFETCH(int, length);
        QFETCH(Patches, patches);
        QFETCH(QList<int>, badBlocks);
        QFETCH(bool, expected);
        QFETCH(QString, logLine);

        auto buffer = Make(BufferKind(kind), base, QByteArray(imageSize, char(0xFF)));
        QByteArray chip(length, char(0xFF));
        for (const auto &patch : patches)
            chip[patch.first] = char(patch.second);
        std::vector<uint32_t> states(8, 1); // the list covers 8 blocks only
        for (int block : badBlocks)
            states[block] = BlockStateBad;
        const CBlockGeometry geometry{256, 4, states.size()};

        QCOMPARE(buffer->Compare(address, length, Bytes(chip), states.data(), &geometry), expected);
        QCOMPARE(m_frame->log, logLine.isEmpty() ? QStringList() : QStringList{logLine});
    }

    // Block numbers of chips beyond 4 GiB: a window at 5 GiB of a chip with
    // 2112-byte pages and 64 pages per block starts inside block 39718, whose
    // end lies 0x7000 bytes into the window.
    void compareSkipsBadBlocksAbove4GiB_data()
    {
        QTest::addColumn<bool>("blockIsBad");
        QTest::addColumn<QString>("logLine");
        QTest::newRow("bad: resumes at the next block")
            << true << "Compare data Failed address 140007005 ,target 00,PC memory FF";
        QTest::newRow("good: fails at once") << false << "Compare data Failed address 140000010 ,target 00,PC memory FF";
    }
    void compareSkipsBadBlocksAbove4GiB()
    {
        QFETCH(bool, blockIsBad);
        QFETCH(QString, logLine);
        const quint64 base = 0x140000000;
        auto buffer = Make(FileBacked, base, QByteArray(0x8000, char(0xFF)));
        QByteArray chip(0x8000, char(0xFF));
        chip[0x10] = 0;
        chip[0x7005] = 0;
        std::vector<uint32_t> states(40000, 1);
        states[7943] = BlockStateBad; // where a 32-bit address would land
        if (blockIsBad)
            states[39718] = BlockStateBad;
        const CBlockGeometry geometry{2112, 64, states.size()};
        QVERIFY(!buffer->Compare(base, chip.size(), Bytes(chip), states.data(), &geometry));
        QCOMPARE(m_frame->log, QStringList{logLine});
    }

    void compareWithoutBadBlockList()
    {
        auto buffer = Make(FileBacked, 0, QByteArray(0x800, char(0xFF)));
        QByteArray chip(0x800, char(0xFF));
        chip[0x10] = 0;
        const std::vector<uint32_t> states(8, BlockStateBad);
        const CBlockGeometry noGeometry{0, 0, 8};
        QVERIFY(!buffer->Compare(0, chip.size(), Bytes(chip), states.data(), nullptr));
        QVERIFY(!buffer->Compare(0, chip.size(), Bytes(chip), nullptr, &noGeometry));
        QVERIFY(!buffer->Compare(0, chip.size(), Bytes(chip), states.data(), &noGeometry));
        QCOMPARE(m_frame->log.size(), 3);
    }

    // The caller takes the geometry from its device entry: a NAND entry lets
    // the compare skip a bad block, any other entry does not.
    void compareTakesGeometryFromTheDevice_data()
    {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("expected");
        QTest::newRow("NAND entry") << "nand" << true;
        QTest::newRow("SPI entry") << "spi" << false;
        QTest::newRow("no entry") << "" << false;
    }
    void compareTakesGeometryFromTheDevice()
    {
        QFETCH(QString, device);
        QFETCH(bool, expected);
        CDeviceItemNand nand;
        nand.m_pageSize = 256;
        nand.m_pagesPerBlock = 4;
        CDeviceItemSPIFlash spi;
        const CDeviceItem *entry = device == "nand" ? static_cast<CDeviceItem *>(&nand)
                                   : device == "spi" ? static_cast<CDeviceItem *>(&spi)
                                                     : nullptr;
        const std::vector<uint32_t> states{1, BlockStateBad, 1, 1};
        const CBlockGeometry geometry = NandBlockGeometry(entry, states.size());
        auto buffer = Make(FileBacked, 0, QByteArray(0x1000, char(0xFF)));
        QByteArray chip(0x1000, char(0xFF));
        chip[0x500] = 0;
        QCOMPARE(buffer->Compare(0, chip.size(), Bytes(chip), states.data(), &geometry), expected);
    }

    void loadFileIntoMemory_data()
    {
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<bool>("announce");
        QTest::newRow("shorter file keeps the tail") << 40 << true;
        QTest::newRow("longer file reads only the buffer size") << 100 << false;
        QTest::newRow("empty file") << 0 << true;
    }
    void loadFileIntoMemory()
    {
        QFETCH(int, fileSize);
        QFETCH(bool, announce);
        CMemoryNode buffer("SPI", 0, 64, 0xFF);
        const QByteArray old(64, char(0x11));
        buffer.WriteAt(Bytes(old), 0, 64);
        m_frame->changes = 0;
        const QByteArray file = TestPattern(fileSize);
        const QString path = WriteFile(file);
        QVERIFY(buffer.LoadFile(path, announce));
        QByteArray content(64, '\0');
        buffer.Read(0, reinterpret_cast<uint8_t *>(content.data()), 64);
        const QByteArray expected = (file + old.mid(qMin(fileSize, 64))).left(64);
        QCOMPARE(content.toHex(), expected.toHex());
        QCOMPARE(buffer.GetLoadedPath(), path);
        // An image that is not the buffer's size also says how much it covered.
        QCOMPARE(m_frame->log.mid(0, 1), announce ? QStringList{path + " Loaded"} : QStringList());
        QCOMPARE(m_frame->log.filter("bytes loaded, the chip holds").size(),
                 announce && fileSize != 64 ? 1 : 0);
        QCOMPARE(m_frame->changes, announce ? 1 : 0);
    }

    void loadFileFailure_data()
    {
        AddKindColumn();
        QTest::newRow("memory") << int(InMemory);
        QTest::newRow("file") << int(FileBacked);
    }
    void loadFileFailure()
    {
        QFETCH(int, kind);
        auto buffer = Make(BufferKind(kind), 0, TestPattern(32));
        const QString missing = m_files.FilePath("missing.bin");
        QVERIFY(!buffer->LoadFile(missing, true));
        QVERIFY(m_frame->log.isEmpty());
        if (kind == FileBacked) {
            QCOMPARE(buffer->GetSize(), quint64(0));
            QVERIFY(!buffer->Contains(0));
        } else {
            QCOMPARE(buffer->GetSize(), quint64(32)); // the block keeps its content
        }
    }
    void saveFile_data()
    {
        AddKindColumn();
        QTest::addColumn<bool>("writable");
        for (int kind : {InMemory, FileBacked}) {
            const char *name = kind == InMemory ? "memory" : "file";
            QTest::addRow("%s saved", name) << kind << true;
            QTest::addRow("%s unwritable path", name) << kind << false;
        }
    }
    void saveFile()
    {
        QFETCH(int, kind);
        QFETCH(bool, writable);
        const QByteArray image = TestPattern(3000);
        auto buffer = Make(BufferKind(kind), 0x800, image);
        m_frame->changes = 0;
        const QString target = writable ? WriteFile("old content that is longer than nothing")
                                        : m_files.FilePath("no/such/folder/x.bin");
        buffer->SaveFile(target);
        QCOMPARE(m_frame->log, QStringList{target + (writable ? " Saved" : " File Error")});
        if (writable)
            QCOMPARE(ReadWholeFile(target), image);
        QCOMPARE(m_frame->changes, 0);
    }

    void busyLockIsExclusive()
    {
        CMemoryNode buffer("SPI", 0, 16, 0xFF);
        {
            CBusyHolder busy(buffer);
            QVERIFY(busy.Locked());
            QVERIFY(!buffer.TryLock());
        }
        QVERIFY(buffer.TryLock());
        buffer.Unlock();
    }

    // The worker reads the image while the GUI thread appends to it: every
};

QTEST_GUILESS_MAIN(TestMemoryNode)
#include "tst_memorynode.moc"
