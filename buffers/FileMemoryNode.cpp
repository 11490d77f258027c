#include "FileMemoryNode.h"

#include "BufferTexts.h"
#include "FrameServices.h"

#include <QFileInfo>
#include <QMutexLocker>
#include <QTemporaryFile>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {
const QString ImageFileFilter = QStringLiteral("Binary files (*.bin);;All files (*.*)");
// Position of the first byte from `from` on where a and b differ; `end` when
// none does.
uint64_t FirstDifference(const uint8_t *a, const uint8_t *b, uint64_t from, uint64_t end)
{
    uint64_t i = from;
    for (; i + sizeof(uint64_t) <= end; i += sizeof(uint64_t)) {
        uint64_t wordA, wordB;
        std::memcpy(&wordA, a + i, sizeof wordA);
        std::memcpy(&wordB, b + i, sizeof wordB);
        if (wordA != wordB)
            break;
    }
    while (i < end && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

CFileMemoryNode::CFileMemoryNode(const QString &name, uint64_t baseAddress, uint64_t size)
    : CMemoryNode(name, 0, 0, 0xFF)
{
    m_size = size;
    m_baseAddress = baseAddress;
}

// The file object goes first (a temporary file is removed with it), then the
// in-memory part with the base class.
CFileMemoryNode::~CFileMemoryNode()
{
    QMutexLocker fileLocker(&m_fileLock);
    m_file.reset();
}

uint64_t CFileMemoryNode::Read(uint64_t offset, uint8_t *destination, uint64_t length)
{
    QMutexLocker busyLocker(&m_lock);
    QMutexLocker fileLocker(&m_fileLock);
    return ReadFile(offset, destination, length);
}

uint64_t CFileMemoryNode::ReadFile(uint64_t offset, uint8_t *destination, uint64_t length)
{
    if (!m_file || !m_file->isOpen() || !m_file->seek(qint64(offset)))
        return 0;
    uint64_t done = 0;
    while (done < length) {
        const qint64 got = m_file->read(reinterpret_cast<char *>(destination + done), qint64(length - done));
        if (got <= 0)
            break;
        done += uint64_t(got);
    }
    ApplyStamp(offset, destination, done);
    return done;
}

void CFileMemoryNode::ApplyStamp(uint64_t offset, uint8_t *data, uint64_t length) const
{
    if (m_stamp.empty())
        return;
    const uint64_t stampEnd = m_stampOffset + m_stamp.size();
    const uint64_t from = std::max(offset, m_stampOffset);
    const uint64_t to = std::min(offset + length, stampEnd);
    if (from < to)
        std::memcpy(data + (from - offset), m_stamp.data() + (from - m_stampOffset), to - from);
}

void CFileMemoryNode::DropFile()
{
    m_file.reset();
    m_stamp.clear();
}

void CFileMemoryNode::SetNibble(uint64_t, uint8_t, bool) {}

void CFileMemoryNode::SetByte(uint64_t, uint8_t) {}

bool CFileMemoryNode::Contains(uint64_t address) const
{
    return address >= m_baseAddress && address - m_baseAddress < GetSize();
}

uint64_t CFileMemoryNode::GetSize() const
{
    QMutexLocker fileLocker(&m_fileLock);
    if (!m_file || !m_file->isOpen())
        return 0;
    return uint64_t(m_file->size());
}

bool CFileMemoryNode::ReleaseBackingFile()
{
    if (!TryLock())
        return false;
    {
        QMutexLocker fileLocker(&m_fileLock);
        DropFile();
    }
    Unlock();
    return true;
}

void CFileMemoryNode::Adopt(std::unique_ptr<QFile> file, const QString &path)
{
    QMutexLocker fileLocker(&m_fileLock);
    DropFile();
    m_file = std::move(file);
    m_filePath = path;
}

bool CFileMemoryNode::LoadFile(const QString &path, bool announce)
{
    if (!ReleaseBackingFile())
        return false;
    if (!IsLoadableImage(path)) {
        Adopt(nullptr, path);
        return false;
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Adopt(nullptr, path);
        return false;
    }
    Adopt(std::move(file), path);
    if (announce) {
        LogString(path + QStringLiteral(" Loaded"));
        Frame()->BufferChanged(this);
    }
    return true;
}

bool CFileMemoryNode::CreateImageFile()
{
    if (!ReleaseBackingFile())
        return false;
    const QString path = Frame()->GetSaveFileName(Text(BufferTextId::SaveBinaryFile), Frame()->WorkDir(),
                                                  ImageFileFilter);
    if (path.isEmpty())
        return false;
    // NewOnly refuses an existing file in the same step that creates the new
    // one, so an image the operator already has is never truncated.
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered | QIODevice::NewOnly))
        return false;
    Adopt(std::move(file), path);
    Frame()->BufferChanged(this);
    Frame()->AddRecentFile(path);
    return true;
}

bool CFileMemoryNode::CreateTempFile()
{
    if (!ReleaseBackingFile())
        return false;
    auto temporary = std::make_unique<QTemporaryFile>();
    temporary->setAutoRemove(true);
    std::unique_ptr<QFile> file = std::move(temporary);
    // Through QFile, so the open mode (unbuffered) reaches the temporary file.
    if (!file->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    const QString path = file->fileName();
    Adopt(std::move(file), path);
    Frame()->BufferChanged(this);
    return true;
}

void CFileMemoryNode::WriteAt(const uint8_t *, uint64_t, uint32_t) {}

bool CFileMemoryNode::Stamp(uint64_t offset, const uint8_t *data, uint32_t length)
{
    {
        QMutexLocker fileLocker(&m_fileLock);
        if (!m_file || !m_file->isOpen())
            return false;
        const uint64_t size = uint64_t(m_file->size());
        if (offset > size || size - offset < length)
            return false;
        m_stampOffset = offset;
        m_stamp.assign(data, data + length);
    }
    Frame()->BufferChanged(this);
    return true;
}

bool CFileMemoryNode::IsBadBlock(uint64_t address, const uint32_t *badBlocks, const CBlockGeometry &geometry) const
{
    const uint64_t block = (address / geometry.pageSize) / geometry.pagesPerBlock;
    return block < geometry.blockCount && badBlocks[block] == BlockStateBad;
}

bool CFileMemoryNode::Compare(uint64_t address, uint32_t length, const uint8_t *chipData,
                              const uint32_t *badBlocks, const CBlockGeometry *geometry)
{
    if (length == 0 || address < GetBaseAddress())
        return true;
    // Kept from one compare to the next: a verify compares block after
    // block, and a fresh block-sized buffer each time costs a page fault per
    // 4 KiB. Every byte compared is read into it first.
    if (m_compareScratch.size() < length)
        m_compareScratch.resize(length);
    uint8_t *const mine = m_compareScratch.data();
    // Only what the file holds is compared; past its end there is nothing of
    // the image to compare with.
    const uint64_t held = Read(address - GetBaseAddress(), mine, length);
    const bool canSkip = badBlocks && geometry && geometry->pageSize && geometry->pagesPerBlock;
    uint64_t i = 0;
    while (i < held) {
        // Equal stretches are the rule: step over them a word at a time.
        i = FirstDifference(chipData, mine, i, held);
        if (i >= held)
            break;
        const uint8_t diff = chipData[i] ^ mine[i];
        // Zero or one differing bit: what the chip's ECC corrects.
        if ((diff & (diff - 1)) == 0) {
            ++i;
            continue;
        }
        if (canSkip && IsBadBlock(address + i, badBlocks, *geometry)) {
            const uint64_t blockBytes = geometry->BlockBytes();
            const uint64_t nextBlock = ((address + i) / blockBytes + 1) * blockBytes;
            i = nextBlock - address;
            continue;
        }
        LogCompareFailure(address + i, chipData[i], mine[i]);
        return false;
    }
    return true;
}

bool CFileMemoryNode::IsInMemory() const
{
    return false;
}

void CFileMemoryNode::Fill() {}

bool CFileMemoryNode::CopyRange(uint64_t offset, uint64_t length, QFile &target)
{
    uint8_t chunk[CopyChunk];
    uint64_t done = 0;
    while (done < length) {
        const uint64_t want = std::min(CopyChunk, length - done);
        uint64_t got = 0;
        {
            // One chunk at a time, so the worker's reads are never held up
            // for a whole copy.
            QMutexLocker fileLocker(&m_fileLock);
            got = ReadFile(offset + done, chunk, want);
        }
        if (got == 0 || !WriteAll(target, chunk, got))
            return false;
        done += got;
    }
    return true;
}

bool CFileMemoryNode::SaveRange(uint64_t offset, uint64_t length, const QString &path)
{
    if (!HasFile())
        return false;
    QFile target(path);
    if (!target.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return false;
    return CopyRange(offset, length, target);
}

void CFileMemoryNode::SaveFile(const QString &path)
{
    QFile target(path);
    const bool ok = target.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
                    && CopyRange(0, GetSize(), target);
    LogString(path + QLatin1Char(' ') + Text(ok ? BufferTextId::Saved : BufferTextId::FileError));
}

bool CFileMemoryNode::Append(const uint8_t *data, uint64_t length)
{
    QMutexLocker fileLocker(&m_fileLock);
    if (!m_file || !m_file->isOpen() || !m_file->seek(m_file->size()))
        return false;
    return WriteAll(*m_file, data, length);
}

void CFileMemoryNode::CloseFile()
{
    {
        QMutexLocker fileLocker(&m_fileLock);
        if (!m_file)
            return;
        DropFile();
    }
    Frame()->BufferChanged(this);
}

QString CFileMemoryNode::SetAsidePartial()
{
    QString path;
    {
        QMutexLocker fileLocker(&m_fileLock);
        if (!m_file)
            return {};
        path = m_filePath;
        DropFile();
    }
    Frame()->BufferChanged(this);
    QString partial = path + QStringLiteral(".partial");
    for (int n = 1; QFileInfo::exists(partial); ++n)
        partial = path + QStringLiteral(".partial.") + QString::number(n);
    if (QFile::rename(path, partial))
        return partial;
    QFile::remove(path);
    return {};
}

bool CFileMemoryNode::HasFile() const
{
    QMutexLocker fileLocker(&m_fileLock);
    return m_file && m_file->isOpen();
}

QString CFileMemoryNode::GetFilePath() const
{
    QMutexLocker fileLocker(&m_fileLock);
    return m_filePath;
}
