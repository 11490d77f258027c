#pragma once

// A buffer whose image lives only in a backing file: NAND images are too large
// to hold in memory. Its size as every reader sees it is the backing file's
// current length; the size given at construction is only remembered
// (GetNominalSize) for the engine that lays out its operations.
//
// Two locks guard it. The busy lock (TryLock/Unlock) marks a chip operation at
// work; Read takes it, so a view repaint waits for the worker's file access,
// and replacing the backing file is refused while it is held. Under it, a
// private file lock serialises every use of the file object and its position
// (seek then read or write), so the GUI thread's Append or SaveRange can never
// move the position under the worker's Read. The file lock is always the
// innermost one and is never held while calling out.
//
// Fill, WriteAt, SetByte and SetNibble do nothing here: the image is a file the
// operator loaded (read-only) or one the engine is filling with Append, and
// the hex view offers editing only for in-memory buffers. SaveFile copies the
// backing file, so a save never silently writes nothing.
//
// Stamp lays a few bytes over the image without touching the file (a serial
// number a production run gives each chip): reads, compares and saves see
// them until the next stamp or until the backing file changes.

#include "MemoryNode.h"

#include <QFile>
#include <QMutex>

#include <vector>

class CFileMemoryNode : public CMemoryNode
{
public:
    CFileMemoryNode(const QString &name, uint64_t baseAddress, uint64_t size);
    ~CFileMemoryNode() override;

    // Reads up to length bytes of the backing file; bytes past its end are
    // not written. Returns the number of bytes read.
    uint64_t Read(uint64_t offset, uint8_t *destination, uint64_t length) override;
    void SetNibble(uint64_t offset, uint8_t value, bool high) override;
    void SetByte(uint64_t offset, uint8_t value) override;
    bool Contains(uint64_t address) const override;
    uint64_t GetSize() const override;
    bool LoadFile(const QString &path, bool announce) override;
    bool CreateImageFile() override;
    void WriteAt(const uint8_t *source, uint64_t address, uint32_t length) override;
    // Replaces the previous stamp.
    bool Stamp(uint64_t offset, const uint8_t *data, uint32_t length) override;
    // Tolerates single-bit differences (what the chip's ECC corrects) and,
    // given a bad-block list with its geometry, skips the rest of a bad block.
    bool Compare(uint64_t address, uint32_t length, const uint8_t *chipData, const uint32_t *badBlocks,
                 const CBlockGeometry *geometry) override;
    bool IsInMemory() const override;
    void Fill() override;
    void SaveFile(const QString &path) override;
    bool SaveRange(uint64_t offset, uint64_t length, const QString &path) override;
    // Writes at the end of the backing file; true when every byte was written.
    virtual bool Append(const uint8_t *data, uint64_t length);
    virtual void CloseFile();
    // Closes a backing file that could not be written to its end and gives
    // it a name that says so: the first free of "<name>.partial",
    // "<name>.partial.1", ... The new path, or empty when it could not be
    // renamed (the file is then removed, so no short image passes for a
    // whole one).
    QString SetAsidePartial();

    // A fresh read-write backing file in the temporary directory, removed
    // when it is closed.
    bool CreateTempFile();

    bool HasFile() const;
    QString GetFilePath() const;
    uint64_t GetNominalSize() const { return m_size; }
    void SetNominalSize(uint64_t size) { m_size = size; }

private:
    // Drops the current backing file unless a chip operation holds the busy
    // lock; false (and nothing changed) when it does.
    bool ReleaseBackingFile();
    // Makes an opened file the backing file.
    void Adopt(std::unique_ptr<QFile> file, const QString &path);
    // Copies [offset, offset + length) of the backing file to target in
    // 1024-byte chunks; false when not every byte could be copied.
    bool CopyRange(uint64_t offset, uint64_t length, QFile &target);
    bool IsBadBlock(uint64_t address, const uint32_t *badBlocks, const CBlockGeometry &geometry) const;
    // Up to length bytes of the file from offset, the stamp laid over them;
    // fewer at the file's end, 0 without a file. Under the file lock.
    uint64_t ReadFile(uint64_t offset, uint8_t *destination, uint64_t length);
    // Puts the stamped bytes that fall in [offset, offset + length) into
    // data, which holds the file's bytes from offset on. Under the file lock.
    void ApplyStamp(uint64_t offset, uint8_t *data, uint64_t length) const;
    // Drops the backing file and the stamp laid over it. Under the file lock.
    void DropFile();

    static constexpr uint64_t CopyChunk = 1024;

    // The image's side of a compare (GUI thread only, as Compare is).
    std::vector<uint8_t> m_compareScratch;
    mutable QMutex m_fileLock;
    std::unique_ptr<QFile> m_file;
    QString m_filePath;
    uint64_t m_stampOffset = 0;
    std::vector<uint8_t> m_stamp;
};
