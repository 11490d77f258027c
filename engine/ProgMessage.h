#pragma once

// The two records that pass between the GUI thread and the programmer's
// worker: a queued command (GUI to worker) and a reply piece, marker or data
// job (worker to GUI, or GUI to worker for data jobs).

#include "AdapterProtocol.h"

#include <QMetaType>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

// One queued command record, owned by the command queue until processed.
struct CProgCommand
{
    uint8_t bytes[Adapter::CPacket::MaxLength] = {};
    int32_t length = 0;       // packet bytes to send (1 to 100)
    uint8_t tag = 0;          // copied into every reply message
    uint32_t replyLength = 0; // reply bytes to read after sending; markers: data size
    int32_t address = -1;     // copied into the first reply message; -1 = none
    uint32_t epoch = 0;       // the programmer's epoch when it was queued

    uint8_t Code() const { return bytes[0]; }
};

// One reply piece, marker or data job. Created on the worker thread (replies,
// markers) or the GUI thread (data jobs); whoever receives it owns it.
class CProgMessage
{
public:
    // A message with a data block of size bytes, zero-filled, or none.
    CProgMessage(uint8_t tag, int32_t address, uint32_t size, bool withData);
    // A reply piece whose block the caller fills at once (not zero-filled:
    // replies run to hundreds of megabytes); counted in the reply budget.
    static std::unique_ptr<CProgMessage> ForReply(uint8_t tag, int32_t address, uint32_t size);
    virtual ~CProgMessage();
    CProgMessage(const CProgMessage &) = delete;
    CProgMessage &operator=(const CProgMessage &) = delete;

    static constexpr uint64_t NoSourceOffset = ~uint64_t(0);

    int32_t address = -1;   // transfer units (data jobs: the first unit)
    uint32_t size = 0;      // bytes in data (data jobs: bytes to stream)
    // Data jobs only: the byte offset in the source to stream from, when it
    // is not address x the unit size.
    uint64_t sourceOffset = NoSourceOffset;
    std::unique_ptr<uint8_t[]> data;
    uint8_t tag = 0;
    // The epoch of the record it answers (data jobs: of the job). A message
    // of an earlier epoch belongs to a stopped operation or a lost link.
    uint32_t epoch = 0;
    // A reply piece that could not be read, even when asked for again: it
    // has no data, and the operation waiting for it cannot end as done.
    bool lost = false;

private:
    uint32_t m_budgeted = 0; // bytes counted in the reply budget until deletion
};

// Reply pieces hold their memory from the worker's read until the receiver
// deletes them. The worker waits for room before it reads the next piece, so
// a fast adapter and a busy GUI thread never pile up hundreds of megabytes of
// pieces, and the few blocks in flight are reused while still hot.
namespace ReplyBudget {
// Bytes of reply pieces that may be on their way at once.
constexpr uint64_t Limit = 16u << 20;
// Waits until `bytes` more fit, or nothing is in flight. False when stop was
// set or the wait gave up after `timeout` (a receiver that keeps its pieces).
bool WaitForRoom(uint64_t bytes, const std::atomic<bool> &stop, std::chrono::milliseconds timeout);
// Bytes of the reply pieces not deleted yet.
uint64_t InFlight();
} // namespace ReplyBudget

// A message on its way from the worker to a receiver in another thread. The
// queued signal holds a copy of the parcel until it is delivered; when it
// never is (the receiver went away first, or the process is ending), the
// last copy frees the message, so nothing handed over is ever lost track of.
class CProgMessageParcel
{
public:
    CProgMessageParcel() = default;
    explicit CProgMessageParcel(CProgMessage *message);
    // The message, from now on the caller's to delete; null when another
    // receiver of the same signal took it first.
    CProgMessage *Take() const;

private:
    struct CHolder
    {
        explicit CHolder(CProgMessage *m) : message(m) {}
        ~CHolder() { delete message.load(); }
        std::atomic<CProgMessage *> message;
    };
    std::shared_ptr<CHolder> m_holder;
};

Q_DECLARE_METATYPE(CProgMessageParcel)

// Signals from the worker reach the GUI thread through Qt's event queue,
// whose locking the race checker of the sanitizer build cannot see (Qt is not
// built with it). In that build the worker emits while holding one lock
// (CSignalSendGuard) and a receiver takes the same lock when an event arrives,
// before anything reads it (MarkSignalReceived, first thing in its event()),
// so the hand-over is visible to the checker. In a normal build both do
// nothing. The worker's signals must never use Qt::BlockingQueuedConnection.
class CSignalSendGuard
{
public:
    CSignalSendGuard();
    ~CSignalSendGuard();
    CSignalSendGuard(const CSignalSendGuard &) = delete;
    CSignalSendGuard &operator=(const CSignalSendGuard &) = delete;
};
void MarkSignalReceived();
