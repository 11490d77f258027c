#include "DeviceDatabase.h"
#include "FileMemoryNode.h"
#include "NandOptionsPanel.h"
#include "NandProgrammer.h"
#include "NandRig.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

// The read-type operations end to end on the simulated adapter: the exact
// packets of a read across chip enables, whole-chip reads of several
// geometries compared byte for byte with the chip, the source table built
// after a read, verify with read disturb and with real differences, blank
// check around bad blocks, and the refusals.
class TestNandRead : public QObject
{
    Q_OBJECT

private:
    // Sets the option panel's block window as the operator types it.
    static void SetWindow(CNandProgrammer *engine, uint32_t start, uint32_t count)
    {
        engine->optionsPanelWidget()->startEdit()->setText(QString::number(start));
        engine->optionsPanelWidget()->countEdit()->setText(QString::number(count));
    }

    // Normalises the empty range (the whole window) and starts op on it.
    static int StartOnWindow(CNandProgrammer *engine, int op)
    {
        uint64_t address = 0;
        uint64_t length = 0;
        engine->normalizeRange(address, length);
        return engine->startReadOp(address, length, op);
    }

    // Loads a copy of the seated image, perhaps changed, as the image to
    // verify against (which builds the source table).
    bool Load(CNandRig &rig, const CSimNand &chip, const QByteArray &loaded)
    {
        const QString copy = rig.NewPath("loaded");
        if (!WriteFile(copy, loaded))
            return false;
        if (!rig.Engine()->loadFile(copy))
            return false;
        return rig.frame.WaitUntilQuiet() && rig.Engine()->mainBuffer()->GetSize() == chip.ChipBytes();
    }

    static QString Hex(qlonglong value) { return QString::number(value, 16).toUpper(); }

    QTemporaryDir m_dir;

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void readPacketsAcrossChipEnables();
    void readWholeChip_data();
    void readWholeChip();
    void verify_data();
    void verify();
    void verifyNeedsEnoughData();
    void blankCheck_data();
    void blankCheck();
    void readWithoutFile();
};

void TestNandRead::readPacketsAcrossChipEnables()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 4;
    chip.chipEnables = 2;
    const QByteArray image = MakeImage(chip, chip.ChipBytes(), 11);
    QVERIFY(WriteFile(rig.ImagePath(), image));
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 3, 3);
    const QString path = rig.NewPath("read");
    rig.frame.saveAnswers << path;
    const int from = rig.TraceLines().size();

    QCOMPARE(StartOnWindow(engine, 'A'), int('A'));
    QVERIFY(rig.frame.WaitForEnd("read"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    // 256 pages per chip enable: 2 column and 2 row bytes; block 3 is the
    // last of chip enable 0, blocks 4 and 5 the first of chip enable 1.
    const QStringList expected = {"CMD 36 00",
                                  "CMD 29 01 00 00 00 00",
                                  "CMD 36 00",
                                  "CMD " + TraceHex(ArrayPacketBytes(0x27, 2, 2, 192, 2112, 64)),
                                  "CMD 36 01",
                                  "CMD " + TraceHex(ArrayPacketBytes(0x27, 2, 2, 0, 2112, 64)),
                                  "CMD " + TraceHex(ArrayPacketBytes(0x27, 2, 2, 64, 2112, 64)),
                                  "CMD 33 00"};
    QCOMPARE(rig.Commands(from), expected);
    QCOMPARE(rig.TraceLines(from).filter("READ 3 135168").size(), 3);
    QCOMPARE(ReadFile(path), image.mid(3 * 135168, 3 * 135168));
    QCOMPARE(engine->mainBuffer()->GetBaseAddress(), 3ull * 135168);
}

void TestNandRead::readWholeChip_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pagesPerBlock");
    QTest::addColumn<int>("blocks");
    QTest::addColumn<int>("chipEnables");
    QTest::addColumn<int>("packetSize");
    QTest::newRow("2112 x 64, two chip enables") << 2112 << 64 << 8 << 2 << 512;
    QTest::newRow("2112 x 64, 64-byte packets") << 2112 << 64 << 8 << 1 << 64;
    QTest::newRow("4320 x 128") << 4320 << 128 << 8 << 1 << 512;
    QTest::newRow("528 x 32") << 528 << 32 << 32 << 1 << 512;
    // 8448-byte blocks are 16.5 transfer units: replies carry padding.
    QTest::newRow("528 x 16, blocks not whole units") << 528 << 16 << 32 << 2 << 512;
}

void TestNandRead::readWholeChip()
{
    QFETCH(int, pageSize);
    QFETCH(int, pagesPerBlock);
    QFETCH(int, blocks);
    QFETCH(int, chipEnables);
    QFETCH(int, packetSize);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.pageSize = pageSize;
    chip.pagesPerBlock = pagesPerBlock;
    chip.blocks = blocks;
    chip.chipEnables = chipEnables;
    chip.packetSize = packetSize;
    const QByteArray image = MakeImage(chip, chip.ChipBytes(), uint32_t(pageSize + blocks), {2, 5});
    QVERIFY(WriteFile(rig.ImagePath(), image));
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    const QString path = rig.NewPath("read");
    rig.frame.saveAnswers << path;
    rig.frame.log.clear();

    QCOMPARE(StartOnWindow(rig.Engine(), 'A'), int('A'));
    QVERIFY(rig.frame.WaitForEnd("read"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(ReadFile(path) == image);
    QCOMPARE(rig.frame.progressBackwards, 0);
    QVERIFY(rig.frame.codes.contains('A'));
    // The read-completion check found the two marked blocks in the image.
    const CBadBlockTable *source = rig.Engine()->sourceBbt();
    for (uint32_t block = 0; block < source->count(); ++block)
        QCOMPARE(source->state(block), uint32_t(block == 2 || block == 5 ? CBadBlockTable::Bad : CBadBlockTable::Good));
    QCOMPARE(rig.frame.log.filter("Source bad block No. "), QStringList({"Source bad block No. 3", "Source bad block No. 6"}));
    QVERIFY(rig.frame.viewRefreshes.contains(2));
}

void TestNandRead::verify_data()
{
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<int>("pagesPerBlock");
    QTest::addColumn<QString>("disturb");
    QTest::addColumn<int>("changedBlock"); // -1: none
    QTest::addColumn<int>("changedBits");  // at byte 100 of the changed block
    QTest::addColumn<bool>("passes");
    QTest::newRow("identical") << 2112 << 64 << QString() << -1 << 0 << true;
    QTest::newRow("single-bit read disturb") << 2112 << 64 << "bitflips_per_mib=64\nseed=7" << -1 << 0 << true;
    QTest::newRow("one bit differs") << 2112 << 64 << QString() << 6 << 0x10 << true;
    QTest::newRow("two bits differ in a good block") << 2112 << 64 << QString() << 6 << 0x11 << false;
    QTest::newRow("two bits differ in a bad block") << 2112 << 64 << QString() << 3 << 0x11 << true;
    // 8448-byte blocks are 16.5 transfer units: each block's last reply is
    // padded, and the padding is no chip data to compare.
    QTest::newRow("blocks not whole units, identical") << 528 << 16 << QString() << -1 << 0 << true;
    QTest::newRow("blocks not whole units, two bits differ") << 528 << 16 << QString() << 6 << 0x11 << false;
}

void TestNandRead::verify()
{
    QFETCH(int, pageSize);
    QFETCH(int, pagesPerBlock);
    QFETCH(QString, disturb);
    QFETCH(int, changedBlock);
    QFETCH(int, changedBits);
    QFETCH(bool, passes);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.pageSize = pageSize;
    chip.pagesPerBlock = pagesPerBlock;
    chip.nandExtra = disturb;
    const qlonglong changedOffset = changedBlock < 0 ? -1 : qlonglong(changedBlock * chip.BlockBytes() + 100);
    const QByteArray image = MakeImage(chip, chip.ChipBytes(), 21, {3});
    QVERIFY(WriteFile(rig.ImagePath(), image));
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    QByteArray loaded = image;
    if (changedOffset >= 0)
        loaded[changedOffset] = char(loaded[changedOffset] ^ changedBits);
    QVERIFY(Load(rig, chip, loaded));
    QCOMPARE(rig.Engine()->sourceBbt()->state(3), uint32_t(CBadBlockTable::Bad));
    rig.frame.log.clear();

    QCOMPARE(StartOnWindow(rig.Engine(), 'B'), int('B'));
    if (passes) {
        QVERIFY(rig.frame.WaitForEnd("verify"));
        QCOMPARE(rig.frame.log.last(), QString("Compare data OK"));
        QCOMPARE(rig.frame.stops, 0);
    } else {
        QVERIFY(QTest::qWaitFor([&] { return rig.frame.stops > 0; }, 20000));
        QVERIFY(rig.frame.WaitUntilQuiet());
        const QString address = QString::number(changedOffset, 16).toUpper();
        QCOMPARE(rig.frame.log.filter("Compare data Failed address").size(), 1);
        QVERIFY(rig.frame.log.filter("Compare data Failed address").first().startsWith(
            "Compare data Failed address " + address + " ,"));
        QVERIFY(!rig.frame.log.contains("Compare data OK"));
    }
    rig.Stop();
    if (!disturb.isEmpty())
        QVERIFY(rig.Stats().value("bitflips") > 0);
}

void TestNandRead::verifyNeedsEnoughData()
{
    CNandRig rig(m_dir.path());
    const CSimNand chip;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    const QString shortImage = rig.NewPath("short");
    QVERIFY(WriteFile(shortImage, MakeImage(chip, 2 * chip.BlockBytes(), 3)));
    QVERIFY(rig.Engine()->loadFile(shortImage));
    QVERIFY(rig.frame.WaitUntilQuiet());
    const int from = rig.TraceLines().size();
    QCOMPARE(StartOnWindow(rig.Engine(), 'B'), 129);
    QCOMPARE(rig.frame.log.last(), QString("Not enough data"));
    QCOMPARE(rig.Engine()->pendingCommands(), 0);
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(rig.Commands(from).isEmpty());
}

void TestNandRead::blankCheck_data()
{
    QTest::addColumn<bool>("eraseFirst");
    QTest::addColumn<qlonglong>("programmedOffset"); // -1: none
    QTest::addColumn<QString>("report");             // empty: blank
    const qlonglong block = 2112 * 64;
    // Factory bad blocks 3 and 9 keep a 0x00 marker at the start of their spare area.
    QTest::newRow("erased, bad blocks skipped") << true << -1ll << QString();
    QTest::newRow("no target table: the marker of block 3")
        << false << -1ll << QString("Flash is not blank at address %1 ,target 00").arg(Hex(3 * block + 2048));
    QTest::newRow("programmed byte in a good block")
        << true << 6 * block + 77 << QString("Flash is not blank at address %1 ,target 12").arg(Hex(6 * block + 77));
}

void TestNandRead::blankCheck()
{
    QFETCH(bool, eraseFirst);
    QFETCH(qlonglong, programmedOffset);
    QFETCH(QString, report);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.badBlocks = "3,9";
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    if (eraseFirst) {
        uint64_t address = 0;
        uint64_t length = 0;
        engine->normalizeRange(address, length);
        QCOMPARE(engine->startErase(address, length), int('G'));
        QVERIFY(rig.frame.WaitForEnd("bbt"));
        QVERIFY(engine->targetBbt()->isBad(3) && engine->targetBbt()->isBad(9));
    }
    if (programmedOffset >= 0)
        QVERIFY(rig.PatchErased(uint64_t(programmedOffset), QByteArray(1, '\x12')));
    rig.frame.log.clear();

    QCOMPARE(StartOnWindow(engine, 'K'), int('K'));
    if (report.isEmpty()) {
        QVERIFY(rig.frame.WaitForEnd("blank"));
        QCOMPARE(rig.frame.log.last(), QString("Flash blanked"));
        QVERIFY(rig.frame.log.filter("not blank").isEmpty());
        QVERIFY(rig.frame.codes.endsWith('K'));
    } else {
        QVERIFY(QTest::qWaitFor([&] { return rig.frame.stops > 0; }, 20000));
        QVERIFY(rig.frame.WaitUntilQuiet());
        QCOMPARE(rig.frame.log.filter("not blank"), QStringList({report}));
        QVERIFY(!rig.frame.log.contains("Flash blanked"));
    }
}

void TestNandRead::readWithoutFile()
{
    CNandRig rig(m_dir.path());
    const CSimNand chip;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    const int from = rig.TraceLines().size();
    // The operator cancels the file dialog.
    QCOMPARE(StartOnWindow(rig.Engine(), 'A'), int('A'));
    QVERIFY(rig.frame.WaitForTag('O'));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QCOMPARE(rig.frame.log.last(), QString("File Error"));
    QVERIFY(rig.Commands(from).filter("CMD 27").isEmpty());
    QVERIFY(!rig.frame.IsOperationRunning());
}

QTEST_MAIN(TestNandRead)
#include "tst_nandread.moc"
