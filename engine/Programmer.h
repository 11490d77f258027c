#pragma once

// The worker thread that owns the link to the programmer adapter. The GUI
// thread calls an engine operation, which only appends command records (and,
// for program operations, data jobs) to the queues; the worker connects to the
// adapter, sends the records in order, streams program data after each
// program command and sends every reply piece back with messageReady.
//
// Threads: the GUI thread queues and receives the three signals (queued
// connections); the worker sends and reads. Each queue has its own mutex. A
// wake-up is recorded as pending under m_wakeLock before m_wake is signalled,
// and the worker waits only while none is pending and, when connected, the
// command queue is empty, so no record is ever left lying in the queue.
//
// Engines (CNandProgrammer, CSpiProgrammer) implement the pure slots and call
// stopWorker() first thing in their destructor: the worker calls virtual
// functions (afterCommandSent) and must be gone before the engine's own part
// is destroyed.

#include "AdapterProtocol.h"
#include "ProgMessage.h"

#include <QMutex>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CDeviceItem;
class CMemoryNode;

class CProgrammer : public QThread
{
    Q_OBJECT

public:
    // Result codes of the engine operations.
    static constexpr int Refused = 129;      // a message was logged
    static constexpr int SizeMismatch = 130;

    // Why a connection attempt failed or a connection ended, as the worker
    // reports it with adapterTrouble.
    enum Trouble : int {
        NoAdapter = 1,      // the library finds no adapter
        FirmwareFailed = 2, // the firmware download failed
        NotBack = 3,        // the adapter did not come back after its firmware load
        LinkLost = 4,       // a command could not be sent
    };

    explicit CProgrammer(CDeviceItem *device, QObject *parent = nullptr);
    ~CProgrammer() override;

    // --- engine slots, in their fixed order
    // Called by the worker after each record was sent.
    virtual void afterCommandSent(const CProgCommand &record) = 0;
    // Queues {0x1D, value}; not used by the application.
    virtual int sendParam1D(uint8_t value);
    // A length rounded up to a multiple of 4; not used by the application.
    virtual uint32_t alignBuffer(uint8_t *pointer, uint32_t length);
    virtual void saveBlocks(uint32_t firstBlock, uint32_t blockCount, const QString &path);
    virtual void reservedHookA(int argument);
    // Queues the set-target command 0x10 (tag 'J', 2-byte reply).
    virtual void setTarget(uint8_t adapterKind) = 0;
    virtual void putLE32(uint8_t *destination, uint32_t value) = 0;
    virtual int startReadOp(uint64_t address, uint64_t length, int opCode) = 0;
    virtual int startErase(uint64_t address, uint64_t length) = 0;
    virtual int startProgram(uint64_t address, uint64_t length) = 0;
    // Adjusts a typed range to the chip's units, in place.
    virtual void normalizeRange(uint64_t &address, uint64_t &length) = 0;
    virtual int reservedHookB();
    virtual void readIdAt(int32_t address) = 0;
    virtual void readIdAt2(int32_t address);
    // Little-endian value of 1, 2, 3 or 4 bytes; any other count reads 4.
    virtual uint32_t getLE(const uint8_t *pointer, int count);
    virtual int detect();
    virtual int reservedHookC();
    virtual int reservedHookD();
    virtual int reservedHookE();
    virtual int reservedHookF();
    // 0: main buffer; NAND 1: target buffer; else null.
    virtual CMemoryNode *buffer(int index) = 0;
    // A message the window does not handle itself; true when it ended an
    // operation whose completion code is the message's tag.
    virtual bool handleMessage(CProgMessage *message) = 0;
    virtual bool loadFile(const QString &path) = 0;
    virtual void saveNamedBuffer(const QString &bufferName, const QString &path) = 0;
    virtual void fillRandom();
    virtual bool tryLockBuffer();
    virtual void unlockBuffer();
    virtual void setSpeed(int speedIndex) = 0;
    virtual void configurePins();
    virtual void switchFirmware();
    virtual void logChipSelects();
    virtual void newChip();
    // The NAND tools behind the console's SMTCPY and MFC; other engines have
    // none and do nothing. smartCopy lays the image out around the socket
    // chip's bad blocks and programs it. correctFromFiles repairs single-bit
    // read errors from several reads; 1 when it refused (refuse set, or
    // nothing to correct), 0 otherwise.
    // Returns the completion code the copy ends with (that of its program),
    // or Refused after logging why it cannot start.
    virtual int smartCopy();
    virtual int correctFromFiles(bool refuse);
    // The correction with the reads named (two or more), so no dialog asks
    // for them; the output file is asked for as always.
    virtual int correctFromFileList(const QStringList &paths);
    // Results of the corrections.
    static constexpr int CorrectionDone = 0;
    static constexpr int CorrectionRefused = 1;
    static constexpr int CorrectionFailed = 2;    // a file could not be read or written
    static constexpr int CorrectionCancelled = 3; // the operator chose no files
    // Reads the ID of the chip in the socket outside any operation: the reply
    // comes back tagged Adapter::Tag::ChipProbe, for whoever waits for a chip
    // to be seated or removed. The ID bytes are those the device entries
    // hold, so a seated chip can be matched against the target.
    virtual void probeChip();

    // --- queueing, on the GUI thread
    // Commands queued while a batch is open (on the thread that opened it)
    // go to the worker together when the outermost batch ends: one lock and
    // one wake-up instead of one of each per command. Thousands of commands
    // queued one by one kept the window busy for tens of milliseconds while
    // the worker fought for the queue's lock.
    class CCommandBatch
    {
    public:
        explicit CCommandBatch(CProgrammer &programmer);
        ~CCommandBatch();
        CCommandBatch(const CCommandBatch &) = delete;
        CCommandBatch &operator=(const CCommandBatch &) = delete;

    private:
        CProgrammer &m_programmer;
    };
    // Copies up to 100 bytes into a new record and wakes the worker.
    void queueCommand(const uint8_t *bytes, int32_t length, int32_t address, uint8_t tag, uint32_t replyLength);
    void queueCommand(const Adapter::CPacket &packet, int32_t address, uint8_t tag, uint32_t replyLength);
    // The worker sleeps ms milliseconds (at most 65535) in order with the traffic.
    void queueSleep(unsigned milliseconds);
    // The worker answers with a message of that tag and address and a
    // zero-filled data block of size bytes, in order with the traffic.
    void queueMarker(uint8_t tag, int32_t address, uint32_t size);
    void selectChip(uint8_t chipEnable);
    void endOperation();
    // Program data for the next program command: size bytes from the buffer at
    // byte offset address x packetSize(), or at sourceOffset when one is given
    // (a stretch that starts inside a transfer unit). Queue it before that
    // command.
    void queueDataJob(int32_t address, uint32_t size, uint64_t sourceOffset = CProgMessage::NoSourceOffset);
    // The adapter's serial number and firmware type code, tag 'I'.
    void readAdapterId();
    // Drops the connection; the worker runs the connection procedure again.
    void reconnect();
    // Deletes every queued record and data job and starts a new epoch (the
    // window's Stop action, a lost link, a new connection): nothing queued
    // before reaches the adapter, and replies still on their way are known
    // by their old epoch.
    void clearQueue();
    // The epoch records and data jobs queued now belong to.
    uint32_t epoch() const { return m_epoch; }
    // A message (or dataSent report) of this epoch still belongs to the
    // operation under way; earlier ones must be dropped by the receiver.
    bool isCurrent(uint32_t epoch) const { return epoch == m_epoch; }
    // How often the queue has been emptied so far. Work paced through
    // markers compares it with the count when it started: a change means
    // its remaining markers were dropped and will never come back.
    uint32_t queueClears() const { return m_queueClears; }
    // The bulk packet size: the transfer unit of message and job addresses.
    int32_t packetSize() const;

    // --- state the window reads
    bool isConnected() const { return m_connected; }
    uint32_t capabilities() const { return m_capabilities; }
    QWidget *optionsPanel() const { return m_optionsPanel; }
    CDeviceItem *device() const { return m_device; }
    int pendingCommands() const;
    int pendingDataJobs() const;

signals:
    void connectionChanged(bool connected);
    // Receivers Take() the message and delete it.
    void messageReady(CProgMessageParcel message);
    // epoch: that of the job; a report of an earlier epoch is stale.
    void dataSent(unsigned int firstUnit, unsigned int unitsSent, unsigned int epoch = 0);
    // A connection attempt failed, or the link was lost (then lastUnit is
    // the transfer unit after the last reply piece or program data that got
    // through, -1 when none since the connection was made). Sent on every
    // failed attempt; the receiver decides what is worth saying again.
    void adapterTrouble(int trouble, qint64 lastUnit);

protected:
    void run() override;
    void timerEvent(QTimerEvent *event) override;

    // Ends the worker and waits for it; safe to call more than once.
    void stopWorker();
    // The set-target packet for this link (byte 3 from packetSize()).
    void queueSetTarget(Adapter::CTargetSetup setup);
    // After a program command: streams the oldest data job from source and
    // reports it with dataSent. Does nothing after any other command. The
    // job's byte offset is its own source offset, else its address times
    // unitBytes (0: packetSize()); dataSent counts the units of that size
    // that were sent.
    void streamProgramData(const CProgCommand &record, CMemoryNode *source, int32_t unitBytes = 0);
    // Takes ownership; the buffer lives as long as the engine.
    CMemoryNode *addBuffer(CMemoryNode *buffer);

    CDeviceItem *m_device = nullptr;
    int m_timerId = 0;
    std::atomic<const uint8_t *> m_firmware{nullptr};
    bool m_altFirmware = false;
    uint32_t m_capabilities = 0xCF;
    std::atomic<int32_t> m_readPipe{Adapter::ShortReplyPipe};
    std::atomic<uint32_t> m_maxTransfer{8192};
    std::atomic<bool> m_connected{false};
    int32_t m_opCode = 0;
    uint64_t m_address = 0;
    uint64_t m_length = 0;
    std::vector<std::unique_ptr<CMemoryNode>> m_buffers;
    QPointer<QWidget> m_optionsPanel;

private:
    // --- worker side
    static void WarmReplyMemory();
    void connectFirstAttempt();
    void reconnectAttempt();
    // Steps 2 and 3 of the connection procedure with the firmware result.
    void finishConnection(int32_t firmwareResult);
    bool waitForReenumeration();
    // Connections that end within moments of being made (a set-target the
    // adapter rejects, a library whose every send fails) would otherwise be
    // retried as fast as the adapter answers: each such one in a row doubles
    // the pause before the next attempt, up to the retry period of a missing
    // adapter. False when the worker was told to stop meanwhile.
    bool backOffAfterQuickDrops();
    void reportTrouble(int trouble);
    // Sleeps, but returns early (true) once the worker is told to stop.
    bool sleepUnlessStopped(int milliseconds);
    // Waits until there is something to do; false when the worker must end.
    bool waitForWork();
    void processQueue();
    // False when the link was lost while sending it.
    bool processRecord(const CProgCommand &record);
    void readReply(const CProgCommand &record);
    // Sends the record again after a reply piece was lost and reads past the
    // pieces already delivered; false when the link failed.
    bool askAgain(const CProgCommand &record, uint32_t piecesDelivered, uint32_t pieceSize);
    bool isStale(const CProgCommand &record) const { return record.epoch != m_epoch; }
    void dropLink();
    void emitMessage(CProgMessage *message);

    // --- queues
    void pushCommand(std::unique_ptr<CProgCommand> record);
    std::unique_ptr<CProgCommand> takeCommand();
    std::unique_ptr<CProgMessage> popDataJob();
    void clearDataJobs();
    void wakeWorker();

    bool batching() const;
    void flushBatch();

    mutable QMutex m_commandLock;
    std::deque<std::unique_ptr<CProgCommand>> m_commands;
    // The open batch: its depth and records belong to the thread that opened it.
    std::atomic<Qt::HANDLE> m_batchThread{nullptr};
    int m_batchDepth = 0;
    std::vector<std::unique_ptr<CProgCommand>> m_batch;
    std::atomic<uint32_t> m_queueClears{0};
    std::atomic<uint32_t> m_epoch{1};
    bool m_everConnected = false; // worker only: a connection was made before
    // The data job of the program command being sent (worker only).
    std::unique_ptr<CProgMessage> m_sendingJob;
    mutable QMutex m_jobLock;
    QMutex m_jobPopLock; // held by whoever pops, outside m_jobLock
    std::deque<std::unique_ptr<CProgMessage>> m_jobs;

    std::atomic<bool> m_stop{false};
    // --- worker only
    std::chrono::steady_clock::time_point m_connectedAt{};
    bool m_wasConnected = false;
    int m_quickDrops = 0;
    int64_t m_lastUnit = -1;
    // Plain standard primitives: their hand-over is visible to the race
    // checker of the sanitizer build, which does not see inside Qt.
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    bool m_wakePending = false; // under m_wakeLock
};
