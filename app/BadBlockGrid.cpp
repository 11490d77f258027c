#include "BadBlockGrid.h"

#include <algorithm>

void CBadBlockGrid::Layout(int width, int height, uint32_t blockCount)
{
    m_blockCount = blockCount;
    m_visibleRows = height > 1 ? uint32_t((height - 1) / kPitch) : 0;
    m_columns = width > kScrollBarRoom ? uint32_t((width - kScrollBarRoom) / kPitch) : 0;
    if (m_columns == 0) {
        // Nothing fits: nothing to scroll either.
        m_maxFirstRow = 0;
    } else {
        const uint64_t rowsNeeded = (uint64_t(blockCount) + m_columns - 1) / m_columns;
        m_maxFirstRow = rowsNeeded > m_visibleRows ? int(rowsNeeded - m_visibleRows) : 0;
    }
    m_firstRow = std::clamp(m_firstRow, 0, m_maxFirstRow);
}

bool CBadBlockGrid::SetFirstRow(int row)
{
    row = std::clamp(row, 0, m_maxFirstRow);
    if (row == m_firstRow)
        return false;
    m_firstRow = row;
    return true;
}

int64_t CBadBlockGrid::BlockAt(int x, int y) const
{
    if (m_columns == 0 || x < 0 || y < 0)
        return -1;
    return (int64_t(m_firstRow) + y / kPitch) * m_columns + x / kPitch;
}

QRect CBadBlockGrid::CellRect(uint32_t column, uint32_t row)
{
    return QRect(kMargin + int(column) * kPitch, kMargin + int(row) * kPitch, kCellSize, kCellSize);
}

QColor CBadBlockGrid::FillColour(int index)
{
    switch (index) {
    case 1: return QColor(Qt::darkGreen);
    case 2: return QColor(Qt::darkRed);
    default: return QColor(Qt::lightGray);
    }
}
