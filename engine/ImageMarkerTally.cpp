#include "ImageMarkerTally.h"

#include "NandGeometry.h"

void CImageMarkerTally::Begin(const CLayout &layout, const QString &path)
{
    m_layout = layout;
    m_path = path;
    m_state.assign(layout.blockBytes > 0 && layout.markerBytes > 0 ? layout.blockCount : 0, Unseen);
    m_seen = 0;
}

void CImageMarkerTally::Clear()
{
    Begin(CLayout{}, QString());
}

void CImageMarkerTally::Take(uint64_t chipAddress, const uint8_t *data, uint64_t length)
{
    if (m_state.empty() || !data || chipAddress < m_layout.firstAddress)
        return;
    const uint64_t end = chipAddress + length;
    uint64_t block = (chipAddress - m_layout.firstAddress) / m_layout.blockBytes;
    for (; block < m_state.size(); ++block) {
        const uint64_t marker = m_layout.firstAddress + block * m_layout.blockBytes + m_layout.markerOffset;
        if (marker + m_layout.markerBytes > end)
            break;
        if (marker < chipAddress || m_state[block] != Unseen)
            continue;
        m_state[block] = MarkerIsErased(data + (marker - chipAddress), m_layout.markerBytes) ? Good : Bad;
        ++m_seen;
    }
}

bool CImageMarkerTally::Covers(uint64_t firstAddress, uint32_t blockCount, const QString &path) const
{
    return !m_state.empty() && m_seen == m_state.size() && m_layout.firstAddress == firstAddress &&
           m_layout.blockCount == blockCount && m_path == path;
}
