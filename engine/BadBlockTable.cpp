#include "BadBlockTable.h"

#include "DeviceItemNand.h"

#include <algorithm>

// An entry whose geometry is refused gets no table: a page and a block of
// one byte would otherwise ask for a state per byte of the chip.
CBadBlockTable::CBadBlockTable(const CDeviceItemNand *device)
    : CBadBlockTable(device && device->GeometryFault().isEmpty() ? device->m_size : 0,
                     device ? device->m_pageSize * device->m_pagesPerBlock : 0)
{
}

CBadBlockTable::CBadBlockTable(uint64_t chipBytes, uint32_t blockBytes)
    : m_count(blockBytes ? uint32_t(chipBytes / blockBytes) : 0), m_blockBytes(blockBytes), m_status(m_count, Unknown)
{
}

void CBadBlockTable::reset()
{
    std::fill(m_status.begin(), m_status.end(), Unknown);
}

void CBadBlockTable::setState(uint32_t block, uint32_t state)
{
    if (block < m_count)
        m_status[block] = state;
}
