#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "NandPackets.h"
#include "NandProgrammer.h"
#include "NandRig.h"
#include "ProgMessage.h"
#include "RecordingFrame.h"
#include "ReplyBudget.h"
#include "SimAdapterHost.h"
#include "UsbLibrary.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

// The worker's hold on replies the GUI thread has not dealt with yet: the
// budget itself, its reuse of data blocks, and a real worker that stops
// reading while its messages pile up and goes on once they are deleted.
class TestReplyBudget : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void cleanupTestCase() { CNandRig::ReleaseSimulator(m_dir.path()); }

    void waitsWhileOverTheLimit_data();
    void waitsWhileOverTheLimit();
    void blocksAreReused_data();
    void blocksAreReused();
    void workerHoldsBack();
};

void TestReplyBudget::waitsWhileOverTheLimit_data()
{
    QTest::addColumn<bool>("stopInstead");
    QTest::newRow("released by the receiver") << false;
    QTest::newRow("released by a stop") << true;
}

void TestReplyBudget::waitsWhileOverTheLimit()
{
    QFETCH(bool, stopInstead);
    CReplyBudget budget(1000);
    std::atomic<bool> stop{false};
    budget.Charge(1000);
    budget.WaitForRoom(stop); // at the limit: no wait
    budget.Charge(1);
    std::atomic<bool> through{false};
    std::thread worker([&] {
        budget.WaitForRoom(stop);
        through = true;
    });
    QTest::qWait(100);
    QVERIFY(!through);
    if (stopInstead)
        stop = true;
    else
        budget.Release(1);
    QVERIFY(QTest::qWaitFor([&] { return bool(through); }, 5000));
    worker.join();
    QCOMPARE(budget.Outstanding(), stopInstead ? 1001ull : 1000ull);
}

void TestReplyBudget::blocksAreReused_data()
{
    QTest::addColumn<bool>("replaceBlock");
    QTest::newRow("block kept by the message") << false;
    QTest::newRow("receiver put another block in") << true;
}

void TestReplyBudget::blocksAreReused()
{
    QFETCH(bool, replaceBlock);
    auto budget = std::make_shared<CReplyBudget>(3000);
    const uint8_t *first = nullptr;
    {
        auto message = std::make_unique<CProgMessage>('A', 0, 1000, false);
        message->data = budget->TakeBlock(1000);
        first = message->data.get();
        message->ChargeTo(budget);
        QCOMPARE(budget->Outstanding(), 1000ull);
        if (replaceBlock)
            message->data.reset(new uint8_t[1000]);
    }
    QCOMPARE(budget->Outstanding(), 0ull);
    QCOMPARE(budget->KeptBytes(), replaceBlock ? 0ull : 1000ull);
    std::unique_ptr<uint8_t[]> again = budget->TakeBlock(1000);
    QCOMPARE(again.get() == first, !replaceBlock);
    // Blocks of another size replace the kept ones; never more than the limit is kept.
    for (int i = 0; i < 5; ++i)
        budget->GiveBack(std::unique_ptr<uint8_t[]>(new uint8_t[1500]), 1500);
    QCOMPARE(budget->KeptBytes(), 3000ull);
    budget->Trim();
    QCOMPARE(budget->KeptBytes(), 0ull);
}

void TestReplyBudget::workerHoldsBack()
{
    CRecordingFrame frame;
    QObject receiver; // outlives the engine: no queued reply reaches a dead lambda
    CSimNand chip;
    chip.blocks = 400;
    WriteSimConfig(m_dir.path(), QStringLiteral("[adapter]\nreenumerate_ms=0\n[nand]\nblocks=%1\nbad_blocks=\nimage=%2\n")
                                     .arg(chip.blocks)
                                     .arg(QDir(m_dir.path()).filePath("held.bin")));
    QVERIFY(Usb::LoadLibrary());
    CDeviceFamilyNand family;
    QVERIFY(family.AddLine(chip.DeviceLine("SIMCHIP")));
    CNandProgrammer engine(dynamic_cast<CDeviceItemNand *>(family.FindByName("SIMCHIP")));
    bool connected = false;
    std::vector<std::unique_ptr<CProgMessage>> held;
    uint64_t heldBytes = 0;
    connect(&engine, &CProgrammer::connectionChanged, &receiver, [&](bool up) { connected = up; });
    connect(&engine, &CProgrammer::messageReady, &receiver, [&](CProgMessage *message) {
        heldBytes += message->size;
        held.emplace_back(message);
    });
    engine.start();
    QVERIFY(QTest::qWaitFor([&] { return connected; }, 20000));

    // 400 blocks of 132 KiB: far more than the budget.
    const CNandGeometry &g = engine.geometry();
    for (int block = 0; block < chip.blocks; ++block)
        engine.queueCommand(NandPacket::Read(g, uint32_t(block) * g.pagesPerBlock, g.pagesPerBlock), block * 264,
                            'A', uint32_t(g.blockBytes));
    QVERIFY(QTest::qWaitFor([&] { return heldBytes >= CProgrammer::ReplyBudgetBytes; }, 20000));
    QTest::qWait(300);
    // The worker waits with the rest of the queue: at most one piece past the limit.
    QVERIFY(heldBytes <= CProgrammer::ReplyBudgetBytes + 0x8000);
    QVERIFY(engine.pendingCommands() > 0);

    const uint64_t total = uint64_t(chip.blocks) * g.blockBytes;
    uint64_t handled = 0;
    QVERIFY(QTest::qWaitFor(
        [&] {
            for (const auto &message : held)
                handled += message->size;
            held.clear(); // the receiver deletes: the worker goes on
            return handled >= total;
        },
        30000));
    QCOMPARE(handled, total);
}

QTEST_MAIN(TestReplyBudget)
#include "tst_replybudget.moc"
