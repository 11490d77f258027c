#pragma once

// What the firmware owes the host after a command: a reply the host drains
// with reads of any size, and, after a program command, a sink for the bulk
// data that follows. Long replies are produced lazily, piece by piece, as the
// host asks for them, so a multi-megabyte read never sits in memory.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace xrsim {

class CReply
{
public:
    explicit CReply(uint64_t size) : m_size(size) {}
    virtual ~CReply() = default;

    uint64_t Remaining() const { return m_size - m_pos; }
    // Copies the next bytes into dst; returns how many.
    size_t Take(uint8_t *dst, size_t count);
    // Drops the next bytes, as a failed transfer loses them.
    size_t Skip(size_t count);

protected:
    virtual void Fill(uint64_t pos, uint8_t *dst, size_t count) = 0;

private:
    uint64_t m_size;
    uint64_t m_pos = 0;
};

// A reply held in memory, padded with 0xFF up to `size` bytes.
class CBytesReply : public CReply
{
public:
    explicit CBytesReply(std::vector<uint8_t> bytes);
    CBytesReply(std::vector<uint8_t> bytes, uint64_t size);

protected:
    void Fill(uint64_t pos, uint8_t *dst, size_t count) override;

private:
    std::vector<uint8_t> m_bytes;
};

class CDataSink
{
public:
    virtual ~CDataSink() = default;
    virtual void Write(const uint8_t *data, size_t count) = 0;
    // The next command arrived (or the link closed): whatever is still
    // missing will never come.
    virtual void Finish() = 0;
};

} // namespace xrsim
