#pragma once

// How many reply bytes the worker may have handed to the GUI thread before
// they are dealt with. The worker reads replies as fast as the adapter gives
// them; the GUI thread stores each one (a file write for a NAND read). Were
// the worker never to wait, a slow disk would let the queued messages grow
// to the size of the chip. Each reply message charges its bytes here and
// gives them back when its receiver deletes it; before reading the next
// piece the worker waits while more than the limit is outstanding.
//
// Shared (shared_ptr) between the engine and its messages, so a message that
// outlives its engine still has a budget to give back to.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class CReplyBudget
{
public:
    explicit CReplyBudget(uint64_t limitBytes) : m_limit(limitBytes) {}

    void Charge(uint64_t bytes);
    void Release(uint64_t bytes);
    // Returns once no more than the limit is outstanding, or once stop is set
    // (checked at least every few milliseconds).
    void WaitForRoom(const std::atomic<bool> &stop);
    uint64_t Outstanding() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_room;
    uint64_t m_outstanding = 0; // under m_lock
    const uint64_t m_limit;
};
