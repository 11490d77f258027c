#pragma once

// How many reply bytes the worker may have handed to the GUI thread before
// they are dealt with, and the data blocks those replies travel in.
//
// The worker reads replies as fast as the adapter gives them; the GUI thread
// stores each one (a file write for a NAND read). Were the worker never to
// wait, a slow disk would let the queued messages grow to the size of the
// chip. Each reply message charges its bytes here and gives them back when
// its receiver deletes it; before reading the next piece the worker waits
// while more than the limit is outstanding.
//
// A deleted reply's data block comes back here too and is handed out again
// for the next piece of the same size: a fresh block of a block-sized reply
// would cost the worker a page fault per 4 KiB on every piece. The kept
// blocks never exceed the limit and are freed by Trim when the worker idles.
//
// Shared (shared_ptr) between the engine and its messages, so a message that
// outlives its engine still has a budget to give back to.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

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

    // A block of size bytes, uninitialised: a kept one when there is one.
    std::unique_ptr<uint8_t[]> TakeBlock(uint32_t size);
    // Keeps a block of size bytes for the next TakeBlock (or frees it).
    void GiveBack(std::unique_ptr<uint8_t[]> block, uint32_t size);
    // Frees every kept block.
    void Trim();
    uint64_t KeptBytes() const;

private:
    mutable std::mutex m_lock;
    std::condition_variable m_room;
    uint64_t m_outstanding = 0; // under m_lock
    const uint64_t m_limit;
    std::vector<std::unique_ptr<uint8_t[]>> m_kept; // under m_lock, all of m_keptSize bytes
    uint32_t m_keptSize = 0;
};
