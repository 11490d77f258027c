#pragma once

// The long transfers of an SPI chip: a continuous read and the sink that
// programs page by page as the bulk data arrives.

#include "Reply.h"

#include <cstdint>
#include <vector>

namespace xrsim {

class CSpiChip;

class CSpiReadReply : public CReply
{
public:
    CSpiReadReply(CSpiChip &chip, uint64_t address, uint64_t length)
        : CReply(length), m_chip(chip), m_address(address)
    {
    }

protected:
    void Fill(uint64_t pos, uint8_t *dst, size_t count) override;

private:
    CSpiChip &m_chip;
    uint64_t m_address;
};

// The firmware splits the data into page programs of `pageBytes` each, at
// consecutive addresses from `address` on.
class CSpiProgramSink : public CDataSink
{
public:
    CSpiProgramSink(CSpiChip &chip, uint64_t address, uint32_t pageBytes, uint32_t pages)
        : m_chip(chip), m_address(address), m_pageBytes(pageBytes), m_pages(pages)
    {
    }

    void Write(const uint8_t *data, size_t count) override;
    void Finish() override;

private:
    CSpiChip &m_chip;
    uint64_t m_address;
    uint32_t m_pageBytes;
    uint32_t m_pages;
    uint32_t m_done = 0;
    std::vector<uint8_t> m_partial;
};

} // namespace xrsim
