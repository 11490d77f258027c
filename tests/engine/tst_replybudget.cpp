// The budget of reply pieces in flight between the worker and the receiver:
// pieces count from their creation to their deletion, a full budget makes
// the worker wait until half of it is free, and a receiver that keeps its
// pieces only delays the worker, never stops it.

#include "ProgMessage.h"

#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

class TestReplyBudget : public QObject
{
    Q_OBJECT

    using Pieces = std::vector<std::unique_ptr<CProgMessage>>;

    static Pieces Take(uint64_t bytes, uint32_t piece)
    {
        Pieces pieces;
        for (uint64_t taken = 0; taken < bytes; taken += piece)
            pieces.push_back(CProgMessage::ForReply('A', int32_t(pieces.size()), piece));
        return pieces;
    }

private slots:
    void init() { QCOMPARE(ReplyBudget::InFlight(), 0ull); }

    void piecesCountUntilDeleted_data()
    {
        QTest::addColumn<uint>("piece");
        QTest::addColumn<int>("count");
        QTest::newRow("one piece") << 65536u << 1;
        QTest::newRow("many pieces") << 512u << 100;
    }
    void piecesCountUntilDeleted()
    {
        QFETCH(uint, piece);
        QFETCH(int, count);
        Pieces pieces = Take(uint64_t(piece) * uint64_t(count), piece);
        QCOMPARE(ReplyBudget::InFlight(), uint64_t(piece) * uint64_t(count));
        QCOMPARE(pieces.front()->size, uint32_t(piece));
        QVERIFY(pieces.front()->data);
        pieces.pop_back();
        QCOMPARE(ReplyBudget::InFlight(), uint64_t(piece) * uint64_t(count - 1));
        pieces.clear();
        // Markers and data jobs are not replies.
        CProgMessage marker('Z', -1, 4096, true);
        QCOMPARE(ReplyBudget::InFlight(), 0ull);
    }

    void roomWhileBelowTheLimit()
    {
        const std::atomic<bool> stop{false};
        Pieces pieces = Take(ReplyBudget::Limit - 65536, 65536);
        QVERIFY(ReplyBudget::WaitForRoom(65536, stop, std::chrono::milliseconds(0)));
        // Nothing in flight: even a piece larger than the budget may go.
        pieces.clear();
        QVERIFY(ReplyBudget::WaitForRoom(ReplyBudget::Limit * 2, stop, std::chrono::milliseconds(0)));
    }

    void fullBudgetWaitsForHalf()
    {
        std::atomic<bool> stop{false};
        Pieces pieces = Take(ReplyBudget::Limit, 65536);
        std::atomic<bool> waited{false};
        std::atomic<bool> room{false};
        std::jthread worker([&] {
            room = ReplyBudget::WaitForRoom(65536, stop, std::chrono::seconds(30));
            waited = true;
        });
        const auto finish = qScopeGuard([&] { stop = true; });
        QTest::qWait(100);
        QVERIFY(!waited);
        // Freeing a little is not enough once the worker waits; freeing half is.
        pieces.resize(pieces.size() - 4);
        QTest::qWait(100);
        QVERIFY(!waited);
        pieces.resize(pieces.size() / 2);
        QVERIFY(QTest::qWaitFor([&] { return bool(waited); }, 5000));
        QVERIFY(room);
    }

    void keptPiecesOnlyDelay()
    {
        std::atomic<bool> stop{false};
        Pieces pieces = Take(ReplyBudget::Limit, 65536);
        const auto start = std::chrono::steady_clock::now();
        QVERIFY(!ReplyBudget::WaitForRoom(65536, stop, std::chrono::milliseconds(200)));
        QVERIFY(std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(200));
        // A stopping worker does not wait at all.
        stop = true;
        QVERIFY(!ReplyBudget::WaitForRoom(65536, stop, std::chrono::seconds(30)));
    }
};

QTEST_GUILESS_MAIN(TestReplyBudget)
#include "tst_replybudget.moc"
