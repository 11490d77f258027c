#pragma once

// The long transfers of a NAND chip: a read reply produced page by page as
// the host drains it, and the sink that programs pages as their data arrives.

#include "Reply.h"

#include <cstdint>
#include <vector>

namespace xrsim {

class CNandChip;

struct CNandSpan
{
    uint32_t ce = 0;
    uint64_t row = 0;
    uint32_t column = 0;
    uint32_t pageBytes = 0;  // bytes per page as the command counts them
    uint32_t pages = 0;
};

// Page data, then 0xFF up to the padded size.
class CNandReadReply : public CReply
{
public:
    CNandReadReply(CNandChip &chip, const CNandSpan &span, uint64_t paddedSize);

protected:
    void Fill(uint64_t pos, uint8_t *dst, size_t count) override;

private:
    size_t FillPages(uint64_t pos, uint8_t *dst, size_t count);

    CNandChip &m_chip;
    CNandSpan m_span;
    uint64_t m_dataBytes;
};

// Whole pages go to the chip as soon as they are complete; bytes after the
// last page are the host's padding and are dropped.
class CNandProgramSink : public CDataSink
{
public:
    CNandProgramSink(CNandChip &chip, const CNandSpan &span) : m_chip(chip), m_span(span) {}

    void Write(const uint8_t *data, size_t count) override;
    void Finish() override;

private:
    CNandChip &m_chip;
    CNandSpan m_span;
    uint32_t m_done = 0;
    std::vector<uint8_t> m_partial;
};

} // namespace xrsim
