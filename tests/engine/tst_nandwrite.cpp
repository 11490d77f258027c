#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "FileMemoryNode.h"
#include "NandOptionsPanel.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "ProgMessage.h"

#include <QDir>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

// Erase, program and the bad-block tables end to end on the simulated
// adapter: the exact packets, an image programmed and read back, factory
// and worn bad blocks found after an erase, the marker rules, the source
// scan of a loaded image, and the refusals of a program.
class TestNandWrite : public QObject
{
    Q_OBJECT

private:
    static void SetWindow(CNandProgrammer *engine, uint32_t start, uint32_t count)
    {
        engine->optionsPanelWidget()->startEdit()->setText(QString::number(start));
        engine->optionsPanelWidget()->countEdit()->setText(QString::number(count));
    }

    static void Window(CNandProgrammer *engine, uint64_t &address, uint64_t &length)
    {
        address = 0;
        length = 0;
        engine->normalizeRange(address, length);
    }

    // Loads bytes as the image in the main buffer and waits for its scan.
    static bool LoadImage(CNandRig &rig, const QByteArray &bytes)
    {
        const QString path = rig.NewPath("source");
        return WriteFile(path, bytes) && rig.Engine()->loadFile(path) && rig.frame.WaitUntilQuiet();
    }

    static bool EraseWindow(CNandRig &rig)
    {
        uint64_t address, length;
        Window(rig.Engine(), address, length);
        return rig.Engine()->startErase(address, length) == 'G' && rig.frame.WaitForEnd("bbt");
    }

    QTemporaryDir m_dir;

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void programPackets();
    void erasePackets();
    void programAndReadBack_data();
    void programAndReadBack();
    void programStepsOverBadBlocks_data();
    void programStepsOverBadBlocks();
    void eraseFindsBadBlocks_data();
    void eraseFindsBadBlocks();
    void targetMarkerBytes_data();
    void targetMarkerBytes();
    void programRefusals_data();
    void programRefusals();
    void sourceScan_data();
    void sourceScan();
    void sourceScanNeedsAdapter();
};

void TestNandWrite::programPackets()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 8;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 2, 3);
    const QByteArray data = MakeImage(chip, 3 * chip.BlockBytes(), 5);
    QVERIFY(LoadImage(rig, data));
    const int from = rig.TraceLines().size();
    uint64_t address, length;
    Window(engine, address, length);
    QCOMPARE(engine->startProgram(address, length), int('D'));
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY(rig.frame.ends.contains("program data"));
    QVERIFY(rig.frame.WaitUntilQuiet());

    // 3 blocks of 64 pages are below one chunk of 512 pages: one job, one
    // command for 192 pages from row 128 (512 pages: 2 row bytes), its
    // status, then the end of programming.
    QStringList sent;
    for (const QString &line : rig.TraceLines(from)) {
        if (line.startsWith("CMD ") || line.startsWith("DATA "))
            sent << line;
    }
    QCOMPARE(sent, QStringList({"CMD 36 00", "CMD 29 01 00 00 00 00", "CMD 36 00",
                                "CMD " + TraceHex(ArrayPacketBytes(0x1C, 2, 2, 128, 2112, 192)),
                                QStringLiteral("DATA %1").arg(3 * chip.BlockBytes()), "CMD 32", "CMD 32", "CMD 33 00"}));
    QVERIFY(rig.ReadImage().mid(2 * chip.BlockBytes(), 3 * chip.BlockBytes()) == data);
    QCOMPARE(rig.frame.log.filter("Program Starts...").size(), 1);
}

void TestNandWrite::erasePackets()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 8;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 2, 3);
    const int from = rig.TraceLines().size();
    QVERIFY(EraseWindow(rig));
    QVERIFY(rig.frame.WaitUntilQuiet());
    auto erase = [](uint32_t row) { return QStringLiteral("CMD 1B 02 %1 %2").arg(row & 0xFF, 2, 16, QChar('0')).arg(row >> 8, 2, 16, QChar('0')).toUpper() + QString(" 00").repeated(16); };
    auto marker = [](uint32_t row) {
        QByteArray packet = ArrayPacketBytes(0x37, 2, 2, row, 0, 0);
        packet[8] = 0x00;
        packet[9] = 0x02; // 512 bytes, one transfer unit
        packet[10] = packet[11] = 0;
        return "CMD " + TraceHex(packet);
    };
    QCOMPARE(rig.Commands(from), QStringList({"CMD 36 00", "CMD 29 01 00 00 00 00", "CMD 36 00", erase(128),
                                              erase(192), erase(256), "CMD 33 00", "CMD 36 00", marker(128),
                                              marker(192), marker(256), "CMD 33 00"}));
    QCOMPARE(rig.frame.log.filter("Erase starts...").size(), 1);
    for (uint32_t block = 0; block < 8; ++block)
        QCOMPARE(engine->targetBbt()->state(block),
                 uint32_t(block >= 2 && block <= 4 ? CBadBlockTable::Good : CBadBlockTable::Unknown));
    QCOMPARE(rig.frame.progressBackwards, 0);
}

void TestNandWrite::programAndReadBack_data()
{
    QTest::addColumn<int>("chipEnables");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("startBlock");
    QTest::addColumn<int>("packetSize");
    QTest::newRow("one chip enable") << 1 << 16 << 0 << 512;
    // Chunks of 8 blocks from block 1: the second one meets the end of chip
    // enable 0 at block 12.
    QTest::newRow("two chip enables, window from block 1") << 2 << 12 << 1 << 512;
    QTest::newRow("64-byte packets") << 1 << 8 << 0 << 64;
}

void TestNandWrite::programAndReadBack()
{
    QFETCH(int, chipEnables);
    QFETCH(int, blocks);
    QFETCH(int, startBlock);
    QFETCH(int, packetSize);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.chipEnables = chipEnables;
    chip.blocks = blocks;
    chip.packetSize = packetSize;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    const int windowBlocks = blocks * chipEnables - startBlock;
    SetWindow(engine, uint32_t(startBlock), uint32_t(windowBlocks));
    const QByteArray source = MakeImage(chip, uint64_t(windowBlocks) * chip.BlockBytes(), 77);
    const QString sourcePath = rig.NewPath("source");
    QVERIFY(WriteFile(sourcePath, source));
    QVERIFY(engine->loadFile(sourcePath));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(EraseWindow(rig));

    uint64_t address, length;
    Window(engine, address, length);
    QCOMPARE(engine->startProgram(address, length), int('D'));
    QVERIFY(rig.frame.WaitForEnd("program"));
    const QString readBack = rig.NewPath("readback");
    rig.frame.saveAnswers << readBack;
    QCOMPARE(engine->startReadOp(address, length, 'A'), int('A'));
    QVERIFY(rig.frame.WaitForEnd("read"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(ReadFile(readBack) == ReadFile(sourcePath));
    // The chip holds the image in the window and nothing anywhere else
    // (never-written parts of the sparse image file read as holes: zeros).
    const QByteArray chipImage = rig.ReadImage();
    const qsizetype windowStart = qsizetype(startBlock * chip.BlockBytes());
    QVERIFY(chipImage.mid(windowStart) == source);
    const QByteArray before = chipImage.left(windowStart);
    QVERIFY(std::all_of(before.begin(), before.end(), [](char c) { return c == 0 || c == char(0xFF); }));
    rig.Stop();
    QCOMPARE(rig.Stats().value("programs_not_erased"), 0ull);
    QCOMPARE(rig.Stats().value("incomplete_programs"), 0ull);
}

// The chip's bad blocks take no data: the program steps over each one whole,
// also where a block is no whole number of transfer units (small pages), and
// a bad last block still lets the program end.
void TestNandWrite::programStepsOverBadBlocks_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pagesPerBlock");
    QTest::addColumn<QList<int>>("badBlocks");
    QTest::newRow("large pages") << 2112 << 64 << QList<int>{3, 9};
    QTest::newRow("small pages, 16.5 units a block") << 528 << 16 << QList<int>{3, 9};
    QTest::newRow("small pages, bad first and last block") << 528 << 16 << QList<int>{0, 15};
    QTest::newRow("small pages, two bad blocks in a row") << 528 << 16 << QList<int>{6, 7};
}

void TestNandWrite::programStepsOverBadBlocks()
{
    QFETCH(int, pageSize);
    QFETCH(int, pagesPerBlock);
    QFETCH(QList<int>, badBlocks);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.pageSize = pageSize;
    chip.pagesPerBlock = pagesPerBlock;
    QStringList bad;
    for (int block : badBlocks)
        bad << QString::number(block);
    chip.badBlocks = bad.join(',');
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    // The image marks the same blocks bad, as one read from a chip does.
    const QByteArray source = MakeImage(chip, chip.ChipBytes(), 91, badBlocks);
    QVERIFY(LoadImage(rig, source));
    QVERIFY(EraseWindow(rig));

    uint64_t address, length;
    Window(rig.Engine(), address, length);
    QCOMPARE(rig.Engine()->startProgram(address, length), int('D'));
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY2(rig.frame.failures.isEmpty(), qPrintable(rig.frame.failures.join('\n')));
    QVERIFY(rig.frame.WaitUntilQuiet());
    const QByteArray chipImage = rig.ReadImage();
    const qsizetype blockBytes = qsizetype(chip.BlockBytes());
    for (int block = 0; block < chip.blocks; ++block) {
        if (!badBlocks.contains(block))
            QVERIFY2(chipImage.mid(block * blockBytes, blockBytes) == source.mid(block * blockBytes, blockBytes),
                     qPrintable(QStringLiteral("block %1").arg(block)));
    }
    rig.Stop();
    QCOMPARE(rig.Stats().value("programs_not_erased"), 0ull);
    QCOMPARE(rig.Stats().value("incomplete_programs"), 0ull);
}

void TestNandWrite::eraseFindsBadBlocks_data()
{
    QTest::addColumn<QString>("badBlocks");
    QTest::addColumn<QString>("worn");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<char>("awaited");
    QTest::addColumn<QList<int>>("bad");
    QTest::addColumn<char>("code");
    QTest::newRow("whole chip") << "5,13" << QString() << 0 << 16 << char(0) << QList<int>{5, 13} << 'G';
    QTest::newRow("from block 10, script waits for N") << "5,12" << QString() << 10 << 6 << 'N' << QList<int>{12} << 'N';
    QTest::newRow("block worn out at its first erase") << QString() << "7:1" << 0 << 16 << 'K' << QList<int>{7} << 'K';
}

void TestNandWrite::eraseFindsBadBlocks()
{
    QFETCH(QString, badBlocks);
    QFETCH(QString, worn);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(char, awaited);
    QFETCH(QList<int>, bad);
    QFETCH(char, code);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.badBlocks = badBlocks;
    chip.nandExtra = "worn_blocks=" + worn;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, uint32_t(first), uint32_t(count));
    rig.frame.awaitedCode = awaited;
    rig.frame.log.clear();
    QVERIFY(EraseWindow(rig));

    QStringList expectedLog;
    for (int block : bad)
        expectedLog << QStringLiteral("Target bad block No. %1").arg(block + 1);
    QCOMPARE(rig.frame.log.filter("Target bad block No. "), expectedLog);
    for (int block = 0; block < 16; ++block) {
        const uint32_t expected = block < first || block >= first + count ? CBadBlockTable::Unknown
                                  : bad.contains(block)                   ? CBadBlockTable::Bad
                                                                          : CBadBlockTable::Good;
        QCOMPARE(engine->targetBbt()->state(uint32_t(block)), expected);
    }
    QCOMPARE(rig.frame.ends, QStringList({"erase", "bbt"}));
    QVERIFY(rig.frame.codes.endsWith(code));
    QCOMPARE(rig.frame.progressBackwards, 0);
    QVERIFY(!rig.frame.IsOperationRunning());
    QVERIFY(rig.frame.viewRefreshes.contains(2));
}

void TestNandWrite::targetMarkerBytes_data()
{
    QTest::addColumn<int>("zeroByte"); // -1: none
    QTest::addColumn<bool>("bad");
    QTest::newRow("all erased") << -1 << false;
    QTest::newRow("first byte") << 0 << true;
    QTest::newRow("byte 5, bytes 0 to 4 erased") << 5 << true;
    QTest::newRow("byte 6 is no part of the marker") << 6 << false;
}

// The rule on the bytes of a 0x37 reply, fed straight to the engine's
// handler: erased spare areas of real chips hold more than the marker byte.
void TestNandWrite::targetMarkerBytes()
{
    QFETCH(int, zeroByte);
    QFETCH(bool, bad);
    COperationFrame frame;
    CSimNand chip;
    auto family = std::make_unique<CDeviceFamilyNand>();
    QVERIFY(family->AddLine(chip.DeviceLine("SIMCHIP")));
    CNandProgrammer engine(dynamic_cast<CDeviceItemNand *>(family->FindByName("SIMCHIP")));
    CProgMessage reply('N', 3, 512, true); // block 2
    std::fill(reply.data.get(), reply.data.get() + reply.size, uint8_t(0xFF));
    if (zeroByte >= 0)
        reply.data[size_t(zeroByte)] = 0;
    QVERIFY(!engine.handleMessage(&reply));
    QCOMPARE(engine.targetBbt()->state(2), uint32_t(bad ? CBadBlockTable::Bad : CBadBlockTable::Good));
    QCOMPARE(frame.log, bad ? QStringList({"Target bad block No. 3"}) : QStringList());
}

void TestNandWrite::programRefusals_data()
{
    QTest::addColumn<int>("imageBlocks");
    QTest::addColumn<int>("firstBlock");
    QTest::addColumn<int>("blockCount");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("image smaller than the window") << 15 << 0 << 16 << false << 130 << "Size does not match";
    QTest::newRow("range beyond the image") << 16 << 15 << 2 << false << 129 << "Not enough data";
    QTest::newRow("buffer busy") << 16 << 0 << 16 << true << 129 << "Busy";
}

void TestNandWrite::programRefusals()
{
    QFETCH(int, imageBlocks);
    QFETCH(int, firstBlock);
    QFETCH(int, blockCount);
    QFETCH(bool, locked);
    QFETCH(int, result);
    QFETCH(QString, message);
    CNandRig rig(m_dir.path());
    const CSimNand chip;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    QVERIFY(LoadImage(rig, MakeImage(chip, uint64_t(imageBlocks) * chip.BlockBytes(), 9)));
    const int from = rig.TraceLines().size();
    if (locked)
        QVERIFY(engine->mainBuffer()->TryLock());
    QCOMPARE(engine->startProgram(uint64_t(firstBlock) * chip.BlockBytes(), uint64_t(blockCount) * chip.BlockBytes()),
             result);
    if (locked)
        engine->mainBuffer()->Unlock();
    QCOMPARE(rig.frame.log.last(), message);
    QCOMPARE(engine->pendingCommands(), 0);
    QCOMPARE(engine->pendingDataJobs(), 0);
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(rig.Commands(from).isEmpty());
}

void TestNandWrite::sourceScan_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("imageBlocks");
    QTest::addColumn<QList<int>>("markedBad"); // blocks of the image
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QList<int>>("badEntries"); // -1: nothing scanned
    QTest::newRow("whole chip") << 2112 << 0 << 16 << 16 << QList<int>{1, 7}
                                << QStringList({"Source bad block No. 2", "Source bad block No. 8"})
                                << QList<int>{1, 7};
    QTest::newRow("window from block 4") << 2112 << 4 << 4 << 4 << QList<int>{1}
                                         << QStringList({"Source bad block No. 2"}) << QList<int>{5};
    QTest::newRow("image too short") << 2112 << 0 << 16 << 15 << QList<int>{1}
                                     << QStringList({"Build bad block table for source chip (file), Size does not match"})
                                     << QList<int>{-1};
    QTest::newRow("pages without a spare area") << 2048 << 0 << 16 << 16 << QList<int>{1}
                                                << QStringList({"Unsupported page size"}) << QList<int>{-1};
}

void TestNandWrite::sourceScan()
{
    QFETCH(int, pageSize);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(int, imageBlocks);
    QFETCH(QList<int>, markedBad);
    QFETCH(QStringList, log);
    QFETCH(QList<int>, badEntries);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.pageSize = pageSize;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, uint32_t(start), uint32_t(count));
    QByteArray image = MakeImage(chip, uint64_t(imageBlocks) * chip.BlockBytes(), 31, markedBad);
    // Byte 4 of the spare area is no part of the source marker.
    image[qsizetype(2 * chip.BlockBytes() + 2048 + 4)] = 0;
    rig.frame.log.clear();
    rig.frame.viewRefreshes.clear();
    QVERIFY(LoadImage(rig, image));

    const QStringList scanned = rig.frame.log.filter(QRegularExpression("bad block|Unsupported"));
    QCOMPARE(scanned, log);
    const bool queued = !badEntries.contains(-1);
    for (uint32_t block = 0; block < 16; ++block) {
        const bool inWindow = queued && block >= uint32_t(start) && block < uint32_t(start + count);
        const uint32_t expected = !inWindow                        ? CBadBlockTable::Unknown
                                  : badEntries.contains(int(block)) ? CBadBlockTable::Bad
                                                                    : CBadBlockTable::Good;
        QCOMPARE(engine->sourceBbt()->state(block), expected);
    }
    if (queued) {
        QCOMPARE(rig.frame.barMin, 0u);
        QCOMPARE(rig.frame.barMax, uint32_t(count));
        QCOMPARE(rig.frame.barValue, 0u);
        QCOMPARE(rig.frame.viewRefreshes, QList<int>({1, 2}));
        QCOMPARE(engine->markerOffset(), 2048u);
    }
    // The scan runs outside any followed operation.
    QVERIFY(!rig.frame.IsOperationRunning());
}

void TestNandWrite::sourceScanNeedsAdapter()
{
    COperationFrame frame;
    CSimNand chip;
    auto family = std::make_unique<CDeviceFamilyNand>();
    QVERIFY(family->AddLine(chip.DeviceLine("SIMCHIP")));
    auto *device = dynamic_cast<CDeviceItemNand *>(family->FindByName("SIMCHIP"));
    QVERIFY(device);
    CNandProgrammer engine(device); // never started: no adapter
    const QString path = QDir(m_dir.path()).filePath("unconnected.bin");
    QVERIFY(WriteFile(path, MakeImage(chip, chip.ChipBytes(), 3, {1})));
    QVERIFY(engine.loadFile(path));
    QVERIFY(!engine.buildSourceBbt());
    QCOMPARE(engine.pendingCommands(), 0);
    QCOMPARE(engine.sourceBbt()->state(1), uint32_t(CBadBlockTable::Unknown));
    QCOMPARE(engine.mainBuffer()->GetSize(), chip.ChipBytes());
}

QTEST_MAIN(TestNandWrite)
#include "tst_nandwrite.moc"
