#include "NandTransfers.h"
#include "NandChip.h"

#include <algorithm>
#include <cstring>

namespace xrsim {

CNandReadReply::CNandReadReply(CNandChip &chip, const CNandSpan &span, uint64_t paddedSize)
    : CReply(paddedSize), m_chip(chip), m_span(span), m_dataBytes(uint64_t(span.pages) * span.pageBytes)
{
}

void CNandReadReply::Fill(uint64_t pos, uint8_t *dst, size_t count)
{
    while (count) {
        if (pos >= m_dataBytes || !m_chip.ChipEnablePresent(m_span.ce)) {
            std::memset(dst, 0xFF, count);
            return;
        }
        const size_t n = FillPages(pos, dst, size_t(std::min<uint64_t>(count, m_dataBytes - pos)));
        pos += n;
        dst += n;
        count -= n;
    }
}

// Fills from one page, or from a run of pages that lie back to back in the
// image when whole pages are read: one file read per reply piece.
size_t CNandReadReply::FillPages(uint64_t pos, uint8_t *dst, size_t count)
{
    const CNandGeometry &g = m_chip.Geometry();
    const uint64_t page = pos / m_span.pageBytes;
    const uint32_t within = uint32_t(pos % m_span.pageBytes);
    const auto row = g.ResolveRow(m_span.row + page);
    size_t n = std::min<size_t>(count, m_span.pageBytes - within);
    if (!row) {
        std::memset(dst, 0xFF, n);
        return n;
    }
    if (m_span.column == 0 && m_span.pageBytes == g.pageSize) {
        const uint64_t wanted = (within + count + g.pageSize - 1) / g.pageSize;
        uint64_t run = 1;
        while (run < wanted && g.ResolveRow(m_span.row + page + run) == *row + run)
            ++run;
        n = size_t(std::min<uint64_t>(count, run * g.pageSize - within));
        m_chip.ReadArray(g.PageOffset(m_span.ce, *row) + within, dst, n);
        return n;
    }
    const uint64_t start = uint64_t(m_span.column) + within;
    const size_t inside = start < g.pageSize ? size_t(std::min<uint64_t>(n, g.pageSize - start)) : 0;
    if (inside)
        m_chip.ReadArray(g.PageOffset(m_span.ce, *row) + start, dst, inside);
    std::memset(dst + inside, 0xFF, n - inside);
    return n;
}

void CNandProgramSink::Write(const uint8_t *data, size_t count)
{
    const uint32_t pageBytes = m_span.pageBytes;
    while (count && m_done < m_span.pages) {
        if (m_partial.empty() && count >= pageBytes) {
            const uint32_t whole = uint32_t(std::min<uint64_t>(count / pageBytes, m_span.pages - m_done));
            m_chip.ProgramPages(m_span.ce, m_span.row + m_done, m_span.column, pageBytes, data, whole);
            m_done += whole;
            data += size_t(whole) * pageBytes;
            count -= size_t(whole) * pageBytes;
            continue;
        }
        const size_t take = std::min<size_t>(count, pageBytes - m_partial.size());
        m_partial.insert(m_partial.end(), data, data + take);
        data += take;
        count -= take;
        if (m_partial.size() == pageBytes) {
            m_chip.ProgramPages(m_span.ce, m_span.row + m_done, m_span.column, pageBytes, m_partial.data(), 1);
            ++m_done;
            m_partial.clear();
        }
    }
}

void CNandProgramSink::Finish()
{
    if (m_done < m_span.pages)
        m_chip.NoteIncompleteProgram();
    m_done = m_span.pages;
}

} // namespace xrsim
