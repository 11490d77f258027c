#include "MemoryNode.h"

#include "BufferTexts.h"
#include "FrameServices.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <new>

CMemoryNode::CMemoryNode(const QString &name, uint64_t baseAddress, uint64_t size, uint8_t fillValue)
    : m_size(size), m_baseAddress(baseAddress), m_fillValue(fillValue), m_name(name)
{
    if (size == 0)
        return;
    m_data.reset(new (std::nothrow) uint8_t[size]);
    if (!m_data) {
        // A block this large cannot be had: the buffer holds nothing rather
        // than pretending to hold the whole chip.
        m_size = 0;
        LogString(QStringLiteral("%1: out of memory for 0x%2 bytes").arg(name).arg(size, 0, 16));
        return;
    }
    std::memset(m_data.get(), fillValue, size);
}

CMemoryNode::~CMemoryNode() = default;

uint64_t CMemoryNode::Read(uint64_t offset, uint8_t *destination, uint64_t length)
{
    if (offset <= m_size && length <= m_size - offset)
        std::memcpy(destination, m_data.get() + offset, length);
    else
        std::memset(destination, m_fillValue, length);
    return length;
}

void CMemoryNode::SetNibble(uint64_t offset, uint8_t value, bool high)
{
    if (offset >= m_size)
        return;
    uint8_t &byte = m_data[offset];
    byte = high ? uint8_t((byte & 0x0F) | (value << 4)) : uint8_t((byte & 0xF0) | (value & 0x0F));
}

void CMemoryNode::SetByte(uint64_t offset, uint8_t value)
{
    if (offset < m_size)
        m_data[offset] = value;
}

bool CMemoryNode::Contains(uint64_t address) const
{
    return address >= m_baseAddress && address - m_baseAddress < m_size;
}

uint64_t CMemoryNode::GetSize() const
{
    return m_size;
}

uint64_t CMemoryNode::GetBaseAddress() const
{
    return m_baseAddress;
}

bool CMemoryNode::LoadFile(const QString &path, bool announce)
{
    m_loadedPath = path;
    if (!IsLoadableImage(path))
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    // Never more than the block holds, however large the file or the chip.
    const uint64_t fileSize = uint64_t(file.size());
    const uint64_t wanted = std::min<uint64_t>(fileSize, m_size);
    uint64_t done = 0;
    while (done < wanted) {
        const qint64 got = file.read(reinterpret_cast<char *>(m_data.get() + done), qint64(wanted - done));
        if (got < 0)
            return false;
        if (got == 0)
            break;
        done += uint64_t(got);
    }
    file.close();
    // Past the end of a short image the buffer keeps what it held (callers
    // load partial images over a prepared buffer); the log says how much of
    // the chip the image covered.
    if (announce) {
        LogString(path + QStringLiteral(" Loaded"));
        if (fileSize != m_size)
            LogString(Text(BufferTextId::LoadedAgainstSize).arg(done).arg(fileSize).arg(m_size));
        Frame()->BufferChanged(this);
    }
    return true;
}

bool CMemoryNode::CreateImageFile()
{
    return true;
}

void CMemoryNode::WriteAt(const uint8_t *source, uint64_t address, uint32_t length)
{
    if (address < m_baseAddress || address - m_baseAddress >= m_size)
        return;
    const uint64_t offset = address - m_baseAddress;
    const uint64_t count = std::min<uint64_t>(length, m_size - offset);
    std::memcpy(m_data.get() + offset, source, count);
    Frame()->BufferChanged(this);
}

bool CMemoryNode::Stamp(uint64_t offset, const uint8_t *data, uint32_t length)
{
    if (offset > m_size || m_size - offset < length)
        return false;
    WriteAt(data, m_baseAddress + offset, length);
    return true;
}

bool CMemoryNode::Compare(uint64_t address, uint32_t length, const uint8_t *chipData, const uint32_t *,
                          const CBlockGeometry *)
{
    // Only the part of the range the buffer holds is compared.
    if (address < m_baseAddress || address - m_baseAddress >= m_size)
        return true;
    const uint64_t offset = address - m_baseAddress;
    const uint64_t count = std::min<uint64_t>(length, m_size - offset);
    const uint8_t *mine = m_data.get() + offset;
    // Equal ranges are the rule: one block compare, then the byte search
    // only when there is a difference to locate.
    if (std::memcmp(chipData, mine, count) == 0)
        return true;
    for (uint64_t i = 0; i < count; ++i) {
        if (chipData[i] != mine[i]) {
            LogCompareFailure(address + i, chipData[i], mine[i]);
            return false;
        }
    }
    return true;
}

bool CMemoryNode::IsInMemory() const
{
    return true;
}

void CMemoryNode::Fill()
{
    if (m_size == 0)
        return;
    std::memset(m_data.get(), m_fillValue, m_size);
    Frame()->BufferChanged(this);
}

void CMemoryNode::SaveFile(const QString &path)
{
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
                    && WriteAll(file, m_data.get(), m_size);
    // A write that stops short (a full disk) is an error too, never "Saved".
    LogString(path + QLatin1Char(' ') + Text(ok ? BufferTextId::Saved : BufferTextId::FileError));
}

bool CMemoryNode::SaveRange(uint64_t, uint64_t, const QString &)
{
    return false;
}

bool CMemoryNode::TryLock()
{
    return m_lock.tryLock();
}

void CMemoryNode::Unlock()
{
    m_lock.unlock();
}

QString CMemoryNode::s_lastCompareFailure;
uint64_t CMemoryNode::s_lastCompareFailureAddress = 0;

void CMemoryNode::LogCompareFailure(uint64_t address, uint8_t chipByte, uint8_t bufferByte)
{
    s_lastCompareFailure = Text(BufferTextId::CompareFailed) + QLatin1Char(' ') + QString::number(address, 16).toUpper()
                           + QString::asprintf(" ,target %02X,PC memory %02X", chipByte, bufferByte);
    s_lastCompareFailureAddress = address;
    LogString(s_lastCompareFailure);
}

bool CMemoryNode::WriteAll(QFile &file, const uint8_t *data, uint64_t length)
{
    uint64_t done = 0;
    while (done < length) {
        const qint64 put = file.write(reinterpret_cast<const char *>(data + done), qint64(length - done));
        if (put <= 0)
            return false;
        done += uint64_t(put);
    }
    return true;
}

bool IsLoadableImage(const QString &path)
{
    // A missing file is left to the open, which fails as it always did.
    const QFileInfo info(path);
    if (info.isFile() || !info.exists())
        return true;
    LogString(Text(BufferTextId::NotRegularFile).arg(path));
    return false;
}
