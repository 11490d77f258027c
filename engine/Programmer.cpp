#include "Programmer.h"

#include "MemoryNode.h"
#include "UsbLibrary.h"

#include <QMutexLocker>
#include <QTimerEvent>

#include <malloc.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {
constexpr int ReconnectTimerMs = 3000;
// Reply pieces (up to a few MiB each, ReplyBudget::Limit in flight) are
// allocated on the worker and freed on the GUI thread by the thousand. The
// allocator's defaults hand that memory back to the system and take it again
// for the next pieces, a page fault per 4 KiB read; keeping it costs at most
// the budget.
constexpr int KeptFreeMemory = 64 << 20;
constexpr int LargestHeapBlock = 32 << 20;

void KeepReplyMemory()
{
    static std::once_flag once;
    std::call_once(once, [] {
        mallopt(M_TRIM_THRESHOLD, KeptFreeMemory);
        mallopt(M_MMAP_THRESHOLD, LargestHeapBlock);
    });
}
} // namespace

CProgrammer::CProgrammer(CDeviceItem *device, QObject *parent)
    : QThread(parent), m_device(device)
{
    KeepReplyMemory();
    qRegisterMetaType<CProgMessageParcel>("CProgMessageParcel");
    m_timerId = startTimer(ReconnectTimerMs);
}

CProgrammer::~CProgrammer()
{
    stopWorker();
    clearDataJobs();
    m_buffers.clear();
    delete m_optionsPanel.data();
}

void CProgrammer::stopWorker()
{
    clearQueue();
    {
        std::lock_guard<std::mutex> locker(m_wakeLock);
        m_stop = true;
        m_wakePending = true;
    }
    m_wake.notify_all();
    wait();
    // The worker's last step is under the wake lock: taking it here hands
    // over everything the worker touched, whatever the join reveals.
    std::lock_guard<std::mutex> locker(m_wakeLock);
}

// --- engine slots with a behaviour of their own

int CProgrammer::sendParam1D(uint8_t value)
{
    queueCommand(Adapter::ParamPacket(value), -1, 0, 0);
    return Refused;
}

uint32_t CProgrammer::alignBuffer(uint8_t *, uint32_t length)
{
    return (length + 3) & ~uint32_t(3);
}

void CProgrammer::saveBlocks(uint32_t, uint32_t, const QString &) {}
void CProgrammer::reservedHookA(int) {}
int CProgrammer::reservedHookB() { return 0; }

void CProgrammer::readIdAt2(int32_t address)
{
    readIdAt(address);
}

uint32_t CProgrammer::getLE(const uint8_t *pointer, int count)
{
    return Adapter::GetLE(pointer, count >= 1 && count <= 4 ? count : 4);
}

int CProgrammer::detect() { return Refused; }
int CProgrammer::reservedHookC() { return 0; }
int CProgrammer::reservedHookD() { return 0; }
int CProgrammer::reservedHookE() { return 0; }
int CProgrammer::reservedHookF() { return 0; }
void CProgrammer::fillRandom() {}
bool CProgrammer::tryLockBuffer() { return true; }
void CProgrammer::unlockBuffer() {}
void CProgrammer::configurePins() {}
void CProgrammer::switchFirmware() {}
void CProgrammer::logChipSelects() {}
void CProgrammer::newChip() {}
int CProgrammer::smartCopy() { return Refused; }
int CProgrammer::correctFromFiles(bool) { return 1; }
int CProgrammer::correctFromFileList(const QStringList &) { return 1; }
void CProgrammer::probeChip() {}

// --- queueing

void CProgrammer::queueCommand(const uint8_t *bytes, int32_t length, int32_t address, uint8_t tag,
                               uint32_t replyLength)
{
    if (!bytes || length <= 0)
        return;
    auto record = std::make_unique<CProgCommand>();
    record->length = std::min<int32_t>(length, Adapter::CPacket::MaxLength);
    std::memcpy(record->bytes, bytes, size_t(record->length));
    record->tag = tag;
    record->replyLength = replyLength;
    record->address = address;
    record->epoch = m_epoch;
    pushCommand(std::move(record));
}

void CProgrammer::queueCommand(const Adapter::CPacket &packet, int32_t address, uint8_t tag, uint32_t replyLength)
{
    queueCommand(packet.bytes, packet.length, address, tag, replyLength);
}

void CProgrammer::queueSleep(unsigned milliseconds)
{
    queueCommand(Adapter::SleepPacket(uint16_t(std::min(milliseconds, 0xFFFFu))), -1, 0, 0);
}

void CProgrammer::queueMarker(uint8_t tag, int32_t address, uint32_t size)
{
    // The marker's data size travels in the record's reply length.
    queueCommand(Adapter::MarkerPacket(), address, tag, size);
}

void CProgrammer::selectChip(uint8_t chipEnable)
{
    queueCommand(Adapter::SelectChipPacket(chipEnable), -1, 0, 0);
}

void CProgrammer::endOperation()
{
    queueCommand(Adapter::EndOperationPacket(), -1, 0, 0);
}

void CProgrammer::queueDataJob(int32_t address, uint32_t size, uint64_t sourceOffset)
{
    auto job = std::make_unique<CProgMessage>(Adapter::Tag::ProgramDone, address, size, false);
    job->epoch = m_epoch;
    job->sourceOffset = sourceOffset;
    QMutexLocker locker(&m_jobLock);
    m_jobs.push_back(std::move(job));
}

void CProgrammer::readAdapterId()
{
    queueCommand(Adapter::ReadAdapterIdPacket(), -1, Adapter::Tag::AdapterId, Adapter::AdapterIdReplyLength);
}

void CProgrammer::queueSetTarget(Adapter::CTargetSetup setup)
{
    setup.highSpeedLink = packetSize() == 512;
    queueCommand(Adapter::SetTargetPacket(setup), -1, Adapter::Tag::TargetSet, Adapter::SetTargetReplyLength);
}

void CProgrammer::reconnect()
{
    // What was queued for this connection must not reach the next one: its
    // epoch ends here, and the next connection empties the queue.
    {
        QMutexLocker locker(&m_commandLock);
        ++m_epoch;
    }
    m_connected = false;
    wakeWorker();
}

void CProgrammer::clearQueue()
{
    // What a batch holds so far is dropped with the queue.
    if (batching())
        m_batch.clear();
    std::deque<std::unique_ptr<CProgCommand>> dropped;
    {
        QMutexLocker locker(&m_commandLock);
        dropped.swap(m_commands);
        // Under the lock: a record taken after this sees the new epoch.
        ++m_epoch;
        ++m_queueClears;
    }
    clearDataJobs();
}

int32_t CProgrammer::packetSize() const
{
    return Usb::PacketSize();
}

int CProgrammer::pendingCommands() const
{
    QMutexLocker locker(&m_commandLock);
    return int(m_commands.size());
}

int CProgrammer::pendingDataJobs() const
{
    QMutexLocker locker(&m_jobLock);
    return int(m_jobs.size());
}

CMemoryNode *CProgrammer::addBuffer(CMemoryNode *buffer)
{
    m_buffers.emplace_back(buffer);
    return buffer;
}

CProgrammer::CCommandBatch::CCommandBatch(CProgrammer &programmer)
    : m_programmer(programmer)
{
    if (m_programmer.m_batchDepth++ == 0)
        m_programmer.m_batchThread = QThread::currentThreadId();
}

CProgrammer::CCommandBatch::~CCommandBatch()
{
    if (--m_programmer.m_batchDepth == 0) {
        m_programmer.m_batchThread = nullptr;
        m_programmer.flushBatch();
    }
}

bool CProgrammer::batching() const
{
    return m_batchThread.load() == QThread::currentThreadId();
}

void CProgrammer::flushBatch()
{
    if (m_batch.empty())
        return;
    {
        QMutexLocker locker(&m_commandLock);
        for (auto &record : m_batch)
            m_commands.push_back(std::move(record));
    }
    m_batch.clear();
    wakeWorker();
}

void CProgrammer::pushCommand(std::unique_ptr<CProgCommand> record)
{
    if (batching()) {
        m_batch.push_back(std::move(record));
        return;
    }
    {
        QMutexLocker locker(&m_commandLock);
        m_commands.push_back(std::move(record));
    }
    wakeWorker();
}

std::unique_ptr<CProgCommand> CProgrammer::takeCommand()
{
    QMutexLocker locker(&m_commandLock);
    // A record queued with an epoch that ended while it was on its way in
    // (a Stop or a lost link on the other thread) is dropped here.
    while (!m_commands.empty() && m_commands.front()->epoch != m_epoch)
        m_commands.pop_front();
    if (m_commands.empty())
        return nullptr;
    std::unique_ptr<CProgCommand> record = std::move(m_commands.front());
    m_commands.pop_front();
    return record;
}

std::unique_ptr<CProgMessage> CProgrammer::popDataJob()
{
    QMutexLocker popLocker(&m_jobPopLock);
    QMutexLocker locker(&m_jobLock);
    // Jobs of an earlier epoch belong to a stopped operation.
    while (!m_jobs.empty() && m_jobs.front()->epoch != m_epoch)
        m_jobs.pop_front();
    if (m_jobs.empty())
        return nullptr;
    std::unique_ptr<CProgMessage> job = std::move(m_jobs.front());
    m_jobs.pop_front();
    return job;
}

void CProgrammer::clearDataJobs()
{
    std::deque<std::unique_ptr<CProgMessage>> dropped;
    QMutexLocker popLocker(&m_jobPopLock);
    QMutexLocker locker(&m_jobLock);
    dropped.swap(m_jobs);
}

void CProgrammer::wakeWorker()
{
    {
        std::lock_guard<std::mutex> locker(m_wakeLock);
        m_wakePending = true;
    }
    m_wake.notify_all();
}

void CProgrammer::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QThread::timerEvent(event);
        return;
    }
    // A missing adapter is retried on every tick.
    if (!m_connected)
        wakeWorker();
}
