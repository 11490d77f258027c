#include "SpiTransfers.h"
#include "SpiChip.h"

#include <algorithm>

namespace xrsim {

void CSpiReadReply::Fill(uint64_t pos, uint8_t *dst, size_t count)
{
    m_chip.ReadLinear((m_address + pos) % m_chip.Size(), dst, count);
}

void CSpiProgramSink::Write(const uint8_t *data, size_t count)
{
    while (count && m_done < m_pages) {
        const size_t take = std::min<size_t>(count, m_pageBytes - m_partial.size());
        m_partial.insert(m_partial.end(), data, data + take);
        data += take;
        count -= take;
        if (m_partial.size() == m_pageBytes) {
            const uint64_t address = (m_address + uint64_t(m_done) * m_pageBytes) % m_chip.Size();
            m_chip.ProgramPage(address, m_partial.data(), m_partial.size());
            ++m_done;
            m_partial.clear();
        }
    }
}

void CSpiProgramSink::Finish()
{
    if (m_done < m_pages)
        m_chip.NoteIncompleteProgram();
    m_done = m_pages;
}

} // namespace xrsim
