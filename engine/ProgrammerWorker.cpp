// The worker side of CProgrammer: the connection procedure, the wait for
// work, and the processing of each queued record.

#include "Programmer.h"

#include "MemoryNode.h"
#include "UsbLibrary.h"


#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <vector>

namespace {
constexpr uint8_t FirstAttempt = 0;
constexpr uint8_t LaterAttempt = 1;
constexpr int32_t FirmwareAlreadyRunning = 2;
constexpr int ReenumerationRounds = 100; // some 20 s in all
constexpr int ReenumerationPollMs = 200;
constexpr int ReenumerationSettleMs = 900;
constexpr uint32_t MediumReplyMin = 257; // from here up to m_maxTransfer: 512-byte pieces
constexpr uint32_t MediumReplyPiece = 512;
constexpr auto ReplyRoomTimeout = std::chrono::milliseconds(1000);
constexpr auto QuickDrop = std::chrono::milliseconds(2000);
constexpr int FirstBackOffMs = 250;
constexpr int LongestBackOffMs = 3000; // the retry period of a missing adapter
// How often a lost reply piece is asked for again before it counts as lost.
constexpr int PieceRetries = 3;

// Commands that only read: sending one again changes nothing on the chip or
// the adapter, so a reply piece that failed can be asked for once more.
// Erase and program-status replies cannot: the status is gone once read.
bool CanAskAgain(uint8_t code)
{
    switch (code) {
    case Adapter::Cmd::Read:
    case Adapter::Cmd::MarkerRead:
    case Adapter::Cmd::ReadId:
    case Adapter::Cmd::ReadParamPage:
    case Adapter::Cmd::ReadAdapterId:
    case Adapter::Cmd::SetTarget:
    case Adapter::Cmd::Status:
    case Adapter::Cmd::At45Status:
        return true;
    default:
        return false;
    }
}
} // namespace

void CProgrammer::run()
{
    WarmReplyMemory();
    connectFirstAttempt();
    while (waitForWork()) {
        if (!m_connected) {
            reconnectAttempt();
            continue;
        }
        processQueue();
    }
    Usb::Close();
    // Ends under the wake lock, which stopWorker takes after the join.
    std::lock_guard<std::mutex> locker(m_wakeLock);
}

// The reply pieces are allocated on this thread. Touching the memory of a
// full reply budget once lets the first large read find it mapped (the
// allocator keeps it, see KeepReplyMemory) instead of paying a page fault for
// every 4 KiB it reads.
void CProgrammer::WarmReplyMemory()
{
    constexpr size_t Page = 4096;
    const size_t bytes = size_t(ReplyBudget::Limit);
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[bytes]);
    if (!block)
        return;
    // Volatile stores: the compiler must not drop the touch of memory that
    // is freed unread.
    volatile uint8_t *touch = block.get();
    for (size_t at = 0; at < bytes; at += Page)
        touch[at] = 0;
}

bool CProgrammer::waitForWork()
{
    std::unique_lock<std::mutex> locker(m_wakeLock);
    // The queue test keeps a batch that was queued while the worker was busy
    // from lying in the queue after its wake-up was consumed.
    m_wake.wait(locker, [this] { return m_stop || m_wakePending || (m_connected && pendingCommands() > 0); });
    m_wakePending = false;
    return !m_stop;
}

bool CProgrammer::sleepUnlessStopped(int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock<std::mutex> locker(m_wakeLock);
    m_wake.wait_until(locker, deadline, [this] { return bool(m_stop); });
    return m_stop;
}

// --- connection procedure

void CProgrammer::connectFirstAttempt()
{
    if (Usb::Open() == 0) {
        reportTrouble(NoAdapter);
        return;
    }
    Usb::Close();
    finishConnection(Usb::LoadFirmware(m_firmware, FirstAttempt));
}

void CProgrammer::reconnectAttempt()
{
    Usb::Close();
    if (!backOffAfterQuickDrops())
        return;
    if (Usb::Open() == 0) {
        reportTrouble(NoAdapter);
        return;
    }
    Usb::Close();
    m_readPipe = Adapter::ShortReplyPipe;
    m_maxTransfer = 8192;
    finishConnection(Usb::LoadFirmware(m_firmware, LaterAttempt));
}

bool CProgrammer::backOffAfterQuickDrops()
{
    if (m_wasConnected) {
        m_wasConnected = false;
        const bool quick = std::chrono::steady_clock::now() - m_connectedAt < QuickDrop;
        m_quickDrops = quick ? std::min(m_quickDrops + 1, 16) : 0;
    }
    if (m_quickDrops == 0)
        return !m_stop;
    const int pause = std::min(LongestBackOffMs, FirstBackOffMs << std::min(m_quickDrops - 1, 4));
    return !sleepUnlessStopped(pause);
}

void CProgrammer::reportTrouble(int trouble)
{
    if (m_stop)
        return;
    CSignalSendGuard handOver;
    emit adapterTrouble(trouble, m_lastUnit);
}

void CProgrammer::finishConnection(int32_t firmwareResult)
{
    if (firmwareResult == 0) {
        reportTrouble(FirmwareFailed);
        return;
    }
    if (firmwareResult != FirmwareAlreadyRunning && !waitForReenumeration()) {
        reportTrouble(NotBack);
        return;
    }
    if (m_stop)
        return;
    m_connectedAt = std::chrono::steady_clock::now();
    m_wasConnected = true;
    m_lastUnit = -1;
    // A new connection starts a new epoch: whatever was queued for the old
    // one (or while it was gone) never reaches this adapter, which first
    // gets the set-up the window queues when it learns of the connection.
    // Records queued before the very first connection wait for it.
    if (m_everConnected)
        clearQueue();
    m_everConnected = true;
    // The flag first, so a window that reacts to the signal already finds
    // the engine connected.
    m_connected = true;
    {
        CSignalSendGuard handOver;
        emit connectionChanged(true);
    }
    Usb::Open();
}

bool CProgrammer::waitForReenumeration()
{
    for (int round = 0; round < ReenumerationRounds; ++round) {
        if (sleepUnlessStopped(ReenumerationPollMs))
            return false;
        if (Usb::Open() != 0) {
            sleepUnlessStopped(ReenumerationSettleMs);
            Usb::Close();
            return !m_stop;
        }
        Usb::Close();
    }
    return false;
}

// --- records

void CProgrammer::processQueue()
{
    // A reconnect() from the GUI thread also ends the batch: the records wait
    // for the new connection.
    while (!m_stop && m_connected) {
        std::unique_ptr<CProgCommand> record = takeCommand();
        if (!record || !processRecord(*record))
            return;
    }
}

bool CProgrammer::processRecord(const CProgCommand &record)
{
    switch (record.Code()) {
    case Adapter::Cmd::Sleep:
        sleepUnlessStopped(record.bytes[1] * 256 + record.bytes[2]);
        return true;
    case Adapter::Cmd::Marker: {
        auto *marker = new CProgMessage(record.tag, record.address, record.replyLength, true);
        marker->epoch = record.epoch;
        emitMessage(marker);
        return true;
    }
    case Adapter::Cmd::Program:
        // The command and its data go together: without its job (dropped
        // by a Stop) the command is not sent at all, so the adapter is never
        // left waiting for data that does not come.
        m_sendingJob = popDataJob();
        if (!m_sendingJob || m_sendingJob->epoch != record.epoch) {
            m_sendingJob.reset();
            return true;
        }
        break;
    default:
        break;
    }
    if (Usb::Send(Adapter::CommandPipe, record.bytes, record.length) <= 0) {
        m_sendingJob.reset();
        dropLink();
        return false;
    }
    afterCommandSent(record);
    m_sendingJob.reset();
    if (!m_stop && record.replyLength > 0)
        readReply(record);
    return true;
}

void CProgrammer::readReply(const CProgCommand &record)
{
    const int32_t pipe = record.address == -1 && record.replyLength <= Adapter::ShortReplyMax
                             ? m_readPipe.load()
                             : m_readPipe.load() + 1;
    const uint32_t maxTransfer = m_maxTransfer;
    uint32_t pieceSize = record.replyLength < maxTransfer && record.replyLength >= MediumReplyMin
                             ? MediumReplyPiece
                             : maxTransfer;
    if (pieceSize == 0)
        pieceSize = record.replyLength; // no limit set: one piece
    const int32_t unit = packetSize();
    const uint32_t advance = unit > 0 ? pieceSize / uint32_t(unit) : 0;

    int32_t address = record.address;
    uint32_t remaining = record.replyLength;
    uint32_t delivered = 0; // pieces handed on so far
    int retries = 0;
    const bool canAskAgain = CanAskAgain(record.Code());
    bool budgeted = true; // a receiver that keeps its pieces stops the waiting for this reply
    // A Stop or a new connection ends the reading: the rest of the reply
    // belongs to an operation nobody follows any more.
    while (remaining > 0 && !m_stop && !isStale(record)) {
        const uint32_t piece = std::min(remaining, pieceSize);
        if (budgeted && !ReplyBudget::WaitForRoom(piece, m_stop, ReplyRoomTimeout))
            budgeted = false;
        if (m_stop)
            break;
        auto message = CProgMessage::ForReply(record.tag, address, piece);
        message->epoch = record.epoch;
        // The read asks for exactly the block's size, so the library can
        // never write past it; a short read leaves zeros, never stale memory.
        const int32_t received = Usb::Receive(pipe, message->data.get(), int32_t(piece));
        if (received <= 0 && canAskAgain && retries < PieceRetries) {
            ++retries;
            if (!askAgain(record, delivered, pieceSize))
                return;
            continue; // the same piece once more
        }
        if (received > 0) {
            // Only data replies count: status replies carry record numbers.
            if (message->address != -1 && unit > 0 && piece % uint32_t(unit) == 0)
                m_lastUnit = int64_t(uint32_t(message->address)) + advance;
            if (uint32_t(received) < piece)
                std::memset(message->data.get() + received, 0, piece - uint32_t(received));
        } else {
            // Still missing: the receiver learns which piece it never got.
            message->data.reset();
            message->lost = true;
        }
        emitMessage(message.release());
        address = int32_t(uint32_t(address) + advance); // wraps, never overflows
        remaining -= piece;
        ++delivered;
    }
}

bool CProgrammer::askAgain(const CProgCommand &record, uint32_t piecesDelivered, uint32_t pieceSize)
{
    if (Usb::Send(Adapter::CommandPipe, record.bytes, record.length) <= 0) {
        dropLink();
        return false;
    }
    // The reply starts again from its first byte: the pieces already handed
    // on are read past.
    const int32_t pipe = record.address == -1 && record.replyLength <= Adapter::ShortReplyMax
                             ? m_readPipe.load()
                             : m_readPipe.load() + 1;
    std::vector<uint8_t> skipped(pieceSize);
    uint32_t remaining = record.replyLength;
    for (uint32_t i = 0; i < piecesDelivered && remaining > 0; ++i) {
        const uint32_t piece = std::min(remaining, pieceSize);
        Usb::Receive(pipe, skipped.data(), int32_t(piece));
        remaining -= piece;
    }
    return true;
}

void CProgrammer::emitMessage(CProgMessage *message)
{
    CSignalSendGuard handOver;
    emit messageReady(CProgMessageParcel(message));
}

void CProgrammer::dropLink()
{
    reportTrouble(LinkLost);
    Usb::Close();
    clearQueue();
    m_connected = false;
    {
        CSignalSendGuard handOver;
        emit connectionChanged(false);
    }
    wakeWorker();
}

// --- program data

void CProgrammer::streamProgramData(const CProgCommand &record, CMemoryNode *source, int32_t unitBytes)
{
    if (record.Code() != Adapter::Cmd::Program || !m_sendingJob)
        return;
    // The job was taken with its command. It is streamed whole even when a
    // Stop comes meanwhile: a program command cut short would leave pages
    // half written and its failure would show in the next operation.
    std::unique_ptr<CProgMessage> job = std::move(m_sendingJob);
    const uint32_t chunkMax = std::max<uint32_t>(m_maxTransfer, 1);
    const int32_t unit = packetSize();
    std::vector<uint8_t> transfer(chunkMax);
    const int32_t offsetUnit = unitBytes > 0 ? unitBytes : unit;
    uint64_t offset = job->sourceOffset != CProgMessage::NoSourceOffset
                          ? job->sourceOffset
                          : uint64_t(uint32_t(job->address)) * uint64_t(std::max(offsetUnit, 0));
    uint32_t sent = 0;
    while (sent < job->size && !m_stop) {
        const uint32_t n = std::min(job->size - sent, chunkMax);
        // Bytes the source does not hold go out as erased flash, never as
        // whatever the previous chunk left in the transfer buffer.
        const uint8_t fill = source ? source->GetFillValue() : 0xFF;
        std::memset(transfer.data(), fill, n);
        if (source && offset >= source->GetBaseAddress())
            source->Read(offset - source->GetBaseAddress(), transfer.data(), n);
        Usb::Send(Adapter::DataPipe, transfer.data(), int32_t(n));
        sent += n;
        offset += n;
    }
    if (offsetUnit > 0)
        m_lastUnit = int64_t(offset / uint64_t(offsetUnit));
    // Counted in the job's own units, so that the progress of a job whose
    // unit is not the packet size (AT45 pages) ends where its range ends.
    CSignalSendGuard handOver;
    emit dataSent(unsigned(job->address), offsetUnit > 0 ? sent / uint32_t(offsetUnit) : 0, job->epoch);
}
