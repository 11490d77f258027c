#pragma once

// The PC-side image of a chip. CMemoryNode keeps the whole image in one block
// of process memory (SPI flash); CFileMemoryNode keeps it in a file and reads
// it on demand (NAND flash). Offsets count from the buffer's first byte,
// addresses are chip addresses (offset plus the base address); both are 64-bit
// so that chips of 4 GiB and more work.

#include "BlockGeometry.h"

#include <QMutex>
#include <QString>

#include <cstdint>
#include <memory>

class QFile;

class CMemoryNode
{
public:
    CMemoryNode(const QString &name, uint64_t baseAddress, uint64_t size, uint8_t fillValue);
    virtual ~CMemoryNode();
    CMemoryNode(const CMemoryNode &) = delete;
    CMemoryNode &operator=(const CMemoryNode &) = delete;

    // Copies length bytes at offset into destination and returns how many
    // bytes of destination were written. A read that crosses the end of the
    // block yields only fill bytes.
    virtual uint64_t Read(uint64_t offset, uint8_t *destination, uint64_t length);
    virtual void SetNibble(uint64_t offset, uint8_t value, bool high);
    virtual void SetByte(uint64_t offset, uint8_t value);
    virtual bool Contains(uint64_t address) const;
    virtual uint64_t GetSize() const;
    virtual uint64_t GetBaseAddress() const;
    virtual bool LoadFile(const QString &path, bool announce);
    virtual bool CreateImageFile();
    virtual void WriteAt(const uint8_t *source, uint64_t address, uint32_t length);
    // Lays length bytes over the image at offset so that every later read,
    // compare and save sees them, also where the image is a file that takes
    // no edits (a production serial number in a NAND image). The in-memory
    // kind writes them into its block. False when they do not all fit.
    virtual bool Stamp(uint64_t offset, const uint8_t *data, uint32_t length);
    // True when the length bytes of chipData, read from the chip at address,
    // equal the buffer; logs the first difference. badBlocks and geometry are
    // used by the file-backed kind only and may be null.
    virtual bool Compare(uint64_t address, uint32_t length, const uint8_t *chipData,
                         const uint32_t *badBlocks, const CBlockGeometry *geometry);
    virtual bool IsInMemory() const;
    virtual void Fill();
    virtual void SaveFile(const QString &path);
    // Copies a range of the backing file to a new file; true when all of it
    // was written. The in-memory kind has no backing file and does nothing.
    virtual bool SaveRange(uint64_t offset, uint64_t length, const QString &path);

    // The busy lock: held by an operation that needs the buffer unchanged.
    bool TryLock();
    void Unlock();

    const QString &GetName() const { return m_name; }
    uint8_t GetFillValue() const { return m_fillValue; }
    const QString &GetLoadedPath() const { return m_loadedPath; }
    void SetBaseAddress(uint64_t baseAddress) { m_baseAddress = baseAddress; }
    // The line and chip address of the last compare that found a difference
    // (GUI thread), for the outcome of the verify it ended.
    static const QString &LastCompareFailure() { return s_lastCompareFailure; }
    static uint64_t LastCompareFailureAddress() { return s_lastCompareFailureAddress; }

protected:
    // Logs the one line that reports the first difference of a compare.
    static void LogCompareFailure(uint64_t address, uint8_t chipByte, uint8_t bufferByte);
    // Writes the whole of data to an open file, finishing short writes.
    static bool WriteAll(QFile &file, const uint8_t *data, uint64_t length);

    std::unique_ptr<uint8_t[]> m_data;
    uint64_t m_size = 0;
    uint64_t m_baseAddress = 0;
    uint8_t m_fillValue = 0xFF;
    QMutex m_lock;
    static QString s_lastCompareFailure;
    static uint64_t s_lastCompareFailureAddress;
    QString m_name;
    QString m_loadedPath;
};
