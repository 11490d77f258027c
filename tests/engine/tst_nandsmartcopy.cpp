#include "BadBlockTable.h"
#include "DeviceDatabase.h"
#include "FileMemoryNode.h"
#include "NandOptionsPanel.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "SmartCopyLayout.h"
#include "UsbLibrary.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

// Smart copy: the layout rules around bad blocks of both chips, and the whole
// copy on the simulated adapter onto a chip whose bad blocks differ from the
// source's, programmed and then verified against the target image; a copy
// stopped half way leaves nothing that a later program would take.
class TestNandSmartCopy : public QObject
{
    Q_OBJECT

private:
    static void SetWindow(CNandProgrammer *engine, uint32_t start, uint32_t count)
    {
        engine->optionsPanelWidget()->startEdit()->setText(QString::number(start));
        engine->optionsPanelWidget()->countEdit()->setText(QString::number(count));
    }

    QTemporaryDir m_dir;

private slots:
    void cleanup() { DeleteAll(); }
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void layout_data();
    void layout();
    void copyOntoOtherChip_data();
    void copyOntoOtherChip();
    void refusals_data();
    void refusals();
    void newChipForgetsTarget();
    void stoppedCopyIsNotProgrammed_data();
    void stoppedCopyIsNotProgrammed();
};

using Steps = QList<int>;

void TestNandSmartCopy::layout_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<int>>("sourceBad");  // chip-wide
    QTest::addColumn<QList<int>>("targetBad");  // chip-wide
    QTest::addColumn<QList<int>>("blank");      // image-relative
    QTest::addColumn<bool>("copyBad");
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("overflow");

    QTest::newRow("target bad in a window of 4") << 0 << 4 << QList<int>{} << QList<int>{1} << QList<int>{} << false
                                                 << Steps{0, -1, 1, 2} << false;
    QTest::newRow("source bad skipped, blank block pads")
        << 0 << 4 << QList<int>{1} << QList<int>{} << QList<int>{3} << false << Steps{0, 2, -2, -2} << false;
    QTest::newRow("box checked takes every block")
        << 0 << 4 << QList<int>{1} << QList<int>{} << QList<int>{3} << true << Steps{0, 1, 2, 3} << false;
    QTest::newRow("bad at the same place in both")
        << 0 << 4 << QList<int>{1} << QList<int>{1} << QList<int>{} << false << Steps{0, -1, 2, 3} << false;
    QTest::newRow("window away from block 0")
        << 5 << 4 << QList<int>{6} << QList<int>{7} << QList<int>{} << false << Steps{0, 2, -1, 3} << false;
    QTest::newRow("blank block dropped while the target is ahead")
        << 0 << 5 << QList<int>{} << QList<int>{1} << QList<int>{2} << false << Steps{0, -1, 1, 3, 4} << false;
    QTest::newRow("bad run reaches the window end")
        << 0 << 4 << QList<int>{} << QList<int>{2, 3} << QList<int>{} << false << Steps{0, 1, -1, -1} << true;
    QTest::newRow("blank padding stops at a bad target block")
        << 0 << 5 << QList<int>{1, 2} << QList<int>{3} << QList<int>{3} << false << Steps{0, -2, -2, -1, 4}
        << false;
}

void TestNandSmartCopy::layout()
{
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(QList<int>, sourceBad);
    QFETCH(QList<int>, targetBad);
    QFETCH(QList<int>, blank);
    QFETCH(bool, copyBad);
    QFETCH(Steps, steps);
    QFETCH(bool, overflow);
    SmartCopy::CLayoutInput input;
    input.startBlock = uint32_t(start);
    input.blockCount = uint32_t(count);
    input.sourceBlocks = uint32_t(count);
    input.copySourceBadBlocks = copyBad;
    input.sourceState = [&](uint32_t b) { return sourceBad.contains(int(b)) ? CBadBlockTable::Bad : CBadBlockTable::Good; };
    input.targetState = [&](uint32_t b) { return targetBad.contains(int(b)) ? CBadBlockTable::Bad : CBadBlockTable::Good; };
    input.sourceBlockBlank = [&](uint32_t index) { return blank.contains(int(index)); };
    const SmartCopy::CLayout layout = SmartCopy::LayOut(input);
    QCOMPARE(Steps(layout.steps.begin(), layout.steps.end()), steps);
    QCOMPARE(layout.overflow, overflow);
}

void TestNandSmartCopy::copyOntoOtherChip_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<QString>("targetBad");     // the socket chip's factory bad blocks
    QTest::addColumn<QList<int>>("sourceBad");  // image-relative
    QTest::addColumn<bool>("scanRunning");      // smart copy asked before the source scan ended
    QTest::addColumn<bool>("copyBad");          // "Copy source badblock"
    QTest::addColumn<Steps>("steps");           // image block per chip block of the window, -1 zeros, -2 0xFF

    // Window of 8 blocks; target bad at 2, source bad at 5: zeros at 2, the
    // bad source block dropped where the image is aligned again.
    QTest::newRow("differing bad blocks") << 0 << "2" << QList<int>{5} << false << false
                                          << Steps{0, 1, -1, 2, 3, 4, 6, 7};
    QTest::newRow("layout waits for the source scan")
        << 0 << "2" << QList<int>{5} << true << false << Steps{0, 1, -1, 2, 3, 4, 6, 7};
    QTest::newRow("window from block 4") << 4 << "6" << QList<int>{0} << false << false << Steps{1, 2, -1, 3};
    QTest::newRow("source bad blocks copied") << 0 << "2" << QList<int>{5} << false << true
                                              << Steps{0, 1, -1, 2, 3, 4, 5, 6};
}

void TestNandSmartCopy::copyOntoOtherChip()
{
    QFETCH(int, start);
    QFETCH(QString, targetBad);
    QFETCH(QList<int>, sourceBad);
    QFETCH(bool, scanRunning);
    QFETCH(bool, copyBad);
    QFETCH(Steps, steps);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 8;
    chip.badBlocks = targetBad;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    const int count = chip.blocks - start;
    SetWindow(engine, uint32_t(start), uint32_t(count));
    engine->optionsPanelWidget()->copyBadBlocksBox()->setChecked(copyBad);

    uint64_t address = 0, length = 0;
    engine->normalizeRange(address, length);
    QCOMPARE(engine->startErase(address, length), int('G'));
    QVERIFY(rig.frame.WaitForEnd("bbt"));
    QVERIFY(rig.frame.WaitUntilQuiet());

    const QByteArray image = MakeImage(chip, uint64_t(count) * chip.BlockBytes(), 31, sourceBad);
    const QString path = rig.NewPath("source");
    QVERIFY(WriteFile(path, image));
    QVERIFY(engine->loadFile(path));
    if (!scanRunning) {
        QVERIFY(rig.frame.WaitUntilQuiet());
        for (int block : sourceBad)
            QCOMPARE(engine->sourceBbt()->state(uint32_t(start + block)), uint32_t(CBadBlockTable::Bad));
    } else {
        QCOMPARE(engine->sourceBbt()->state(uint32_t(start)), uint32_t(CBadBlockTable::Unknown));
    }
    rig.frame.log.clear();
    rig.frame.ends.clear();
    engine->smartCopy();
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    QVERIFY(rig.frame.log.contains("Create temporary file"));
    QVERIFY(!rig.frame.log.contains("Error"));

    // The target buffer holds the layout, and the chip holds it wherever its
    // blocks are good.
    const qsizetype blockBytes = qsizetype(chip.BlockBytes());
    QCOMPARE(qsizetype(engine->targetBuffer()->GetSize()), count * blockBytes);
    QByteArray target(count * blockBytes, '\0');
    engine->targetBuffer()->Read(0, reinterpret_cast<uint8_t *>(target.data()), uint64_t(target.size()));
    const QByteArray chipImage = rig.ReadImage();
    const QStringList badList = targetBad.split(',');
    for (int t = 0; t < count; ++t) {
        const QByteArray expected = steps[t] >= 0 ? image.mid(steps[t] * blockBytes, blockBytes)
                                                  : QByteArray(blockBytes, steps[t] == -1 ? '\0' : char(0xFF));
        QVERIFY2(target.mid(t * blockBytes, blockBytes) == expected, qPrintable(QString("target block %1").arg(t)));
        if (!badList.contains(QString::number(start + t)))
            QVERIFY2(chipImage.mid((start + t) * blockBytes, blockBytes) == expected,
                     qPrintable(QString("chip block %1").arg(start + t)));
    }

    // A later verify compares the chip with the target image.
    rig.frame.log.clear();
    engine->normalizeRange(address = 0, length = 0);
    QCOMPARE(engine->startReadOp(address, length, 'B'), int('B'));
    QVERIFY(rig.frame.WaitForEnd("verify"));
    QCOMPARE(rig.frame.log.last(), QString("Compare data OK"));
}

void TestNandSmartCopy::refusals_data()
{
    QTest::addColumn<bool>("erased");
    QTest::addColumn<int>("imageBlocks");
    QTest::addColumn<QString>("message");
    QTest::newRow("image of the wrong size") << true << 3 << "Make sure the proper source file is loaded";
    QTest::newRow("chip not erased") << false << 4 << "Erase the chip first";
}

void TestNandSmartCopy::refusals()
{
    QFETCH(bool, erased);
    QFETCH(int, imageBlocks);
    QFETCH(QString, message);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 4;
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 0, 4);
    if (erased) {
        uint64_t address = 0, length = 0;
        engine->normalizeRange(address, length);
        QCOMPARE(engine->startErase(address, length), int('G'));
        QVERIFY(rig.frame.WaitForEnd("bbt"));
    }
    const QString path = rig.NewPath("source");
    QVERIFY(WriteFile(path, MakeImage(chip, uint64_t(imageBlocks) * chip.BlockBytes(), 3)));
    engine->loadFile(path);
    QVERIFY(rig.frame.WaitUntilQuiet());
    const int from = rig.TraceLines().size();
    rig.frame.log.clear();
    engine->smartCopy();
    QVERIFY(rig.frame.WaitUntilQuiet());
    QCOMPARE(rig.frame.log, QStringList{message});
    QCOMPARE(engine->targetBuffer()->GetSize(), uint64_t(0));
    QVERIFY(rig.Commands(from).isEmpty());
}

void TestNandSmartCopy::newChipForgetsTarget()
{
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 4;
    chip.badBlocks = "1";
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 0, 4);
    uint64_t address = 0, length = 0;
    engine->normalizeRange(address, length);
    QCOMPARE(engine->startErase(address, length), int('G'));
    QVERIFY(rig.frame.WaitForEnd("bbt"));
    const QString path = rig.NewPath("source");
    QVERIFY(WriteFile(path, MakeImage(chip, 4 * chip.BlockBytes(), 3)));
    QVERIFY(engine->loadFile(path));
    QVERIFY(rig.frame.WaitUntilQuiet());
    engine->smartCopy();
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY(engine->targetBuffer()->GetSize() > 0);

    engine->newChip();
    QCOMPARE(engine->targetBuffer()->GetSize(), uint64_t(0));
    for (uint32_t block = 0; block < 4; ++block)
        QCOMPARE(engine->targetBbt()->state(block), uint32_t(CBadBlockTable::Unknown));
    rig.frame.log.clear();
    engine->smartCopy();
    QCOMPARE(rig.frame.log, QStringList{"Erase the chip first"});
}

void TestNandSmartCopy::stoppedCopyIsNotProgrammed_data()
{
    QTest::addColumn<bool>("linkLost"); // else the operator presses Stop
    QTest::newRow("Stop pressed") << false;
    QTest::newRow("link lost") << true;
}

// The copy is cut short after its first steps were appended: neither the
// steps still on their way nor a later plain program may put the partial
// target image onto the chip; the program writes the loaded image as it is.
void TestNandSmartCopy::stoppedCopyIsNotProgrammed()
{
    QFETCH(bool, linkLost);
    CNandRig rig(m_dir.path());
    CSimNand chip;
    chip.blocks = 8;
    chip.badBlocks = "2"; // the laid-out image differs from the loaded one from block 2 on
    QVERIFY2(rig.Start(chip, {chip.DeviceLine("SIMCHIP")}, "SIMCHIP"), qPrintable(rig.Error()));
    CNandProgrammer *engine = rig.Engine();
    SetWindow(engine, 0, 8);
    uint64_t address = 0, length = 0;
    engine->normalizeRange(address, length);
    QCOMPARE(engine->startErase(address, length), int('G'));
    QVERIFY(rig.frame.WaitForEnd("bbt"));
    const QByteArray image = MakeImage(chip, 8 * chip.BlockBytes(), 17);
    const QString path = rig.NewPath("source");
    QVERIFY(WriteFile(path, image));
    QVERIFY(engine->loadFile(path));
    QVERIFY(rig.frame.WaitUntilQuiet());

    constexpr uint32_t StopAtStep = 2;
    bool stopped = false;
    rig.frame.onProgressValue = [&](uint32_t step) {
        if (step != StopAtStep || stopped)
            return;
        stopped = true;
        if (!linkLost) {
            rig.frame.Stop();
            return;
        }
        // The cable goes: the next command fails and the worker drops the
        // link with everything queued (and connects again). Waited for here,
        // before the steps already on their way are handled.
        const uint32_t clears = engine->queueClears();
        Usb::Close();
        engine->readIdAt(0);
        const QDeadlineTimer deadline(10000);
        while (engine->queueClears() == clears && !deadline.hasExpired())
            QThread::msleep(5);
        QVERIFY(engine->queueClears() != clears);
    };
    rig.frame.log.clear();
    rig.frame.ends.clear();
    const int from = rig.TraceLines().size();
    engine->smartCopy();
    QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(engine->isConnected(), 20000);
    QVERIFY(rig.frame.WaitUntilQuiet());
    rig.frame.onProgressValue = nullptr;
    QVERIFY(!rig.frame.ends.contains("program"));
    QVERIFY(rig.Commands(from).filter("CMD 1C ").isEmpty());
    QCOMPARE(rig.frame.log, QStringList{"Create temporary file"});

    // A plain program now streams the loaded image, block for block, around
    // the chip's bad block 2 (a program over it is refused).
    const uint64_t blockSize = chip.BlockBytes();
    QCOMPARE(engine->startProgram(address, 2 * blockSize), int('D'));
    QCOMPARE(engine->targetBuffer()->GetSize(), uint64_t(0));
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    rig.frame.ends.clear();
    QCOMPARE(engine->startProgram(address + 3 * blockSize, 5 * blockSize), int('D'));
    QVERIFY(rig.frame.WaitForEnd("program"));
    QVERIFY(rig.frame.WaitUntilQuiet());
    const QByteArray chipImage = rig.ReadImage();
    const qsizetype blockBytes = qsizetype(chip.BlockBytes());
    for (int block = 0; block < 8; ++block) {
        if (block != 2)
            QVERIFY2(chipImage.mid(block * blockBytes, blockBytes) == image.mid(block * blockBytes, blockBytes),
                     qPrintable(QString("chip block %1").arg(block)));
    }
}

QTEST_MAIN(TestNandSmartCopy)
#include "tst_nandsmartcopy.moc"
