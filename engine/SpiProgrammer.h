#pragma once

// The programmer for serial (SPI) flash: ordinary serial flash, AT45
// DataFlash parts and small serial EEPROMs that need no erase. The image lives
// in one in-memory buffer "SPI". Every array operation first reads the JEDEC
// ID; its reply continues the operation in handleMessage, which queues the
// command batch. A program operation erases first unless the chip is known to
// be blank.

#include "Programmer.h"
#include "SpiGeometry.h"

#include <QCheckBox>
#include <QPointer>

#include <atomic>
#include <cstdint>
#include <vector>

class CDeviceItemSPIFlash;

class CSpiProgrammer : public CProgrammer
{
    Q_OBJECT

public:
    // Completion codes of the operations that are not read-type.
    static constexpr int DetectCode = 'H';
    static constexpr int EraseCode = 'G';
    static constexpr int ProgramCode = 'D';

    explicit CSpiProgrammer(CDeviceItemSPIFlash *device, QObject *parent = nullptr);
    ~CSpiProgrammer() override;

    void afterCommandSent(const CProgCommand &record) override;
    void setTarget(uint8_t adapterKind) override;
    void putLE32(uint8_t *destination, uint32_t value) override;
    int startReadOp(uint64_t address, uint64_t length, int opCode) override;
    int startErase(uint64_t address, uint64_t length) override;
    int startProgram(uint64_t address, uint64_t length) override;
    void normalizeRange(uint64_t &address, uint64_t &length) override;
    void readIdAt(int32_t address) override;
    int detect() override;
    void probeChip() override;
    CMemoryNode *buffer(int index) override;
    bool handleMessage(CProgMessage *message) override;
    bool loadFile(const QString &path) override;
    void saveNamedBuffer(const QString &bufferName, const QString &path) override;
    void fillRandom() override;
    bool tryLockBuffer() override;
    void unlockBuffer() override;
    void setSpeed(int speedIndex) override;
    void configurePins() override;

    // --- state, for the window and the tests
    // The chip is known to be blank: a program starts without erasing.
    bool skipErase() const { return m_skipErase; }
    // An erase runs on behalf of a program, which follows it.
    bool programPending() const { return m_programPending; }
    // The ID of the last chip that no entry knew.
    const uint8_t *unknownId() const { return m_unknownId; }
    // "Single IO", on parts with more than one data line (else null).
    QCheckBox *singleIoBox() const { return m_singleIo; }

private:
    // Opcodes and mode byte for the data lines in use.
    struct COpcodes
    {
        uint8_t read = 0;
        uint8_t program = 0;
        uint8_t mode = 0;
    };
    enum class EAccess { Read, Destructive };

    CDeviceItemSPIFlash *Spi() const;
    CSpiGeometry Geometry() const;
    bool SingleLine() const;
    COpcodes Opcodes() const;
    void StoreRange(uint64_t address, uint64_t length, int opCode);
    // False when the operation must not go on after an ID of 0xFF.
    bool ChipAnswered(const CProgMessage &id, EAccess access) const;
    // The detected ID is the selected entry's (or the entry has none to compare).
    bool OwnId(const uint8_t *id) const;

    // --- continuations, in SpiOperations.cpp
    bool OnDetectedId(const CProgMessage &message);
    void OnAt45Status(const CProgMessage &message) const;
    bool OnSelfDescription(const CProgMessage &message);
    bool FailedWithoutId(const CProgMessage &id);
    void QueueReadBatch(const CProgMessage &id);
    void QueueEraseBatch(const CProgMessage &id);
    void OnProgramId(const CProgMessage &id);
    void QueueProgramBatch();
    void OnReadData(const CProgMessage &message);
    void OnVerifyData(const CProgMessage &message);
    void OnBlankData(const CProgMessage &message);
    void OnSectorErased(const CProgMessage &message);
    void OnChunkProgrammed(const CProgMessage &message);
    // A program of a chip not known to be blank: the range is read first,
    // then only the sectors that hold data are erased.
    void QueuePreRead();
    void QueueReadCommands(uint64_t chunk, uint8_t tag);
    void OnPreReadData(const CProgMessage &message);
    void QueueSectorErases();
    // A piece of a read-type operation that is missing or not the next one
    // of the range ends the operation failed; true when it did.
    bool FailsReadAccounting(const CProgMessage &message, uint8_t code);
    // The operation's range covers the chip from its first byte on.
    bool CoversChipStart() const;

    CMemoryNode *m_buffer = nullptr;
    bool m_skipErase = false;
    bool m_programPending = false;
    uint8_t m_unknownId[3] = {};
    QPointer<QCheckBox> m_singleIo;
    bool m_blankFailed = false;  // the running blank check has reported its first difference
    bool m_eraseFailed = false;  // a sector of the running erase did not erase
    uint64_t m_readNext = 0;     // chip address the next reply piece must start at
    std::vector<bool> m_dirtySectors;     // pre-read: sectors of the range that hold data
    std::vector<uint32_t> m_eraseSectors; // the sectors a program erases first, in order
    // The job unit of the program batch, read by the worker.
    std::atomic<int32_t> m_programUnit{0};
};
