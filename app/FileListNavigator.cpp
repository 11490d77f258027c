#include "FileListNavigator.h"

#include <algorithm>

void CFileListNavigator::SetCount(int entries)
{
    m_count = std::max(entries, 0);
    m_firstRow = 0;
    if (m_currentRow >= m_count)
        m_currentRow = 0;
    SetVisibleRows(m_visibleRows);
}

void CFileListNavigator::SetVisibleRows(int rows)
{
    m_visibleRows = std::max(rows, 0);
    m_maxFirstRow = std::max(m_count - m_visibleRows, 0);
    m_firstRow = std::clamp(m_firstRow, 0, m_maxFirstRow);
}

int CFileListNavigator::EntryAtRow(int row) const
{
    if (row < 0)
        return -1;
    const int entry = m_firstRow + row;
    return entry < m_count ? entry : -1;
}

bool CFileListNavigator::Change(int firstRow, int currentRow)
{
    firstRow = std::clamp(firstRow, 0, m_maxFirstRow);
    // A selection in the partly visible bottom row would point past the last
    // entry once the list is scrolled to its end: keep it on the last entry.
    if (m_count > 0 && firstRow + currentRow >= m_count)
        currentRow = m_count - 1 - firstRow;
    if (firstRow == m_firstRow && currentRow == m_currentRow)
        return false;
    m_firstRow = firstRow;
    m_currentRow = currentRow;
    return true;
}

bool CFileListNavigator::ScrollTo(int firstRow)
{
    return Change(firstRow, m_currentRow);
}

bool CFileListNavigator::SetCurrentRow(int row)
{
    if (EntryAtRow(row) < 0)
        return false;
    return Change(m_firstRow, row);
}

bool CFileListNavigator::Home()
{
    if (IsEmpty())
        return false;
    return Change(0, 0);
}

bool CFileListNavigator::End()
{
    if (IsEmpty())
        return false;
    const int last = m_count - 1;
    // First press: bring the last page into sight; second press: select it.
    if (last >= m_firstRow + m_visibleRows)
        return ScrollTo(m_maxFirstRow);
    return Change(m_firstRow, last - m_firstRow);
}

bool CFileListNavigator::Up()
{
    if (IsEmpty())
        return false;
    if (m_currentRow > 0)
        return Change(m_firstRow, m_currentRow - 1);
    return ScrollTo(m_firstRow - 1);
}

bool CFileListNavigator::Down()
{
    if (IsEmpty())
        return false;
    const bool atBottomRow = m_currentRow >= m_visibleRows - 1;
    if (atBottomRow)
        return ScrollTo(m_firstRow + 1);
    if (Selected() + 1 < m_count)
        return Change(m_firstRow, m_currentRow + 1);
    return false;
}

bool CFileListNavigator::PageUp()
{
    if (IsEmpty() || m_firstRow <= 0)
        return false;
    return ScrollTo(m_firstRow - m_visibleRows);
}

bool CFileListNavigator::PageDown()
{
    if (IsEmpty() || m_firstRow >= m_maxFirstRow)
        return false;
    return ScrollTo(m_firstRow + m_visibleRows);
}
