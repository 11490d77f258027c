#include "HexLayout.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr uint64_t kRowBytes = CHexLayout::kBytesPerRow;
} // namespace

void CHexLayout::Layout(const SMetrics &metrics, uint64_t bufferSize, int addressDigits)
{
    m_charWidth = std::max<qreal>(metrics.charWidth, 1);
    m_rowHeight = std::max(metrics.rowHeight, 1);
    m_bufferSize = bufferSize;
    m_addressDigits = addressDigits;

    m_content = QRect(QPoint(5, 2), QPoint(metrics.viewportWidth - 6, metrics.viewportHeight - 3));
    const int usable = std::max(m_content.height() - HeaderHeight(), 0);
    m_fullRows = std::min(usable / m_rowHeight, kMaxRows);
    m_visibleRows = std::min(m_fullRows + (usable % m_rowHeight ? 1 : 0), kMaxRows);

    m_addressWidth = m_charWidth * m_addressDigits + kColumnGap;
    m_hexWidth = m_charWidth * kHexChars + kColumnGap;
    m_totalWidth = m_addressWidth + m_hexWidth + m_charWidth * kBytesPerRow;

    m_rows = bufferSize / kRowBytes + (bufferSize % kRowBytes ? 1 : 0);
    m_maxFirstRow = m_rows > uint64_t(m_fullRows) ? m_rows - uint64_t(m_fullRows) : 0;
    m_maxHorizontal = std::max(int(std::ceil(m_totalWidth)) - std::max(m_content.width(), 0), 0);
    m_firstRow = std::min(m_firstRow, m_maxFirstRow);
    m_horizontal = std::clamp(m_horizontal, 0, m_maxHorizontal);
}

bool CHexLayout::SetFirstRow(uint64_t row)
{
    row = std::min(row, m_maxFirstRow);
    if (row == m_firstRow)
        return false;
    m_firstRow = row;
    return true;
}

bool CHexLayout::ScrollRows(int64_t rows)
{
    if (rows < 0 && uint64_t(-rows) > m_firstRow)
        return SetFirstRow(0);
    return SetFirstRow(m_firstRow + uint64_t(rows));
}

bool CHexLayout::SetHorizontalOffset(int offset)
{
    offset = std::clamp(offset, 0, m_maxHorizontal);
    if (offset == m_horizontal)
        return false;
    m_horizontal = offset;
    return true;
}

int CHexLayout::RowTop(int row) const
{
    return m_content.top() + HeaderHeight() + row * m_rowHeight;
}

qreal CHexLayout::CellStart(int byteInRow, bool high) const
{
    return m_addressWidth + m_charWidth * (byteInRow * 3 + (high ? 0 : 1));
}

qreal CHexLayout::NibbleLeft(int byteInRow, bool high) const
{
    return m_content.left() + CellStart(byteInRow, high) - m_horizontal;
}

qreal CHexLayout::AddressCharLeft(int index) const
{
    return m_content.left() - m_horizontal + m_charWidth * index;
}

qreal CHexLayout::HexCharLeft(int index) const
{
    return m_content.left() - m_horizontal + m_addressWidth + m_charWidth * index;
}

qreal CHexLayout::CharCharLeft(int index) const
{
    return m_content.left() - m_horizontal + CharColumnStart() + m_charWidth * index;
}

QRectF CHexLayout::CaretCell(uint64_t offset, bool high) const
{
    const uint64_t row = offset / kRowBytes;
    if (offset >= m_bufferSize || row < m_firstRow || row - m_firstRow >= uint64_t(m_visibleRows))
        return {};
    const int top = RowTop(int(row - m_firstRow));
    const QRectF cell(NibbleLeft(int(offset % kRowBytes), high), top, m_charWidth, m_rowHeight);
    // The partly visible last row gets only its visible part.
    return cell.intersected(QRectF(m_content));
}

QRect CHexLayout::CaretRect(uint64_t offset, bool high) const
{
    const QRectF cell = CaretCell(offset, high);
    if (cell.isEmpty())
        return {};
    return cell.toAlignedRect().intersected(m_content);
}

bool CHexLayout::HitTest(int x, int y, SHit &hit) const
{
    if (m_bufferSize == 0 || m_visibleRows == 0)
        return false;
    // A click selects the nibble whose cell starts nearest to it.
    const qreal hexLeft = m_content.left() + m_addressWidth - m_horizontal;
    const qreal at = std::clamp<qreal>(x, hexLeft, hexLeft + m_charWidth * kHexChars - 1);
    const int column = std::clamp(int(std::floor((at - hexLeft + m_charWidth / 2) / m_charWidth)), 0, kHexChars - 1);
    const int byteInRow = column / 3;
    const int rowPixels = std::max(y - m_content.top() - HeaderHeight(), 0);
    const int row = std::min(rowPixels / m_rowHeight, m_visibleRows - 1);
    const uint64_t offset = kRowBytes * (m_firstRow + uint64_t(row)) + uint64_t(byteInRow);
    if (offset >= m_bufferSize) {
        hit = {m_bufferSize - 1, false};
        return true;
    }
    hit = {offset, column % 3 == 0};
    return true;
}

bool CHexLayout::ScrollToOffset(uint64_t offset, bool high)
{
    bool changed = false;
    const uint64_t row = offset / kRowBytes;
    if (row < m_firstRow)
        changed |= SetFirstRow(row);
    else if (m_fullRows > 0 && row >= m_firstRow + uint64_t(m_fullRows))
        changed |= SetFirstRow(row - uint64_t(m_fullRows) + 1);
    else if (m_fullRows == 0)
        changed |= SetFirstRow(row);

    const int left = int(std::floor(CellStart(int(offset % kRowBytes), high)));
    const int right = int(std::ceil(CellStart(int(offset % kRowBytes), high) + m_charWidth));
    if (left < m_horizontal)
        changed |= SetHorizontalOffset(left);
    else if (right > m_horizontal + m_content.width())
        changed |= SetHorizontalOffset(right - m_content.width());
    return changed;
}

bool CHexLayout::ShowOffsets(uint64_t first, uint64_t last)
{
    if (m_bufferSize == 0)
        return false;
    last = std::min(last, m_bufferSize - 1);
    first = std::min(first, last);
    const bool rows = ShowRowsOf(first, last);
    const bool cells = ShowCellsOf(first, last);
    return rows || cells;
}

bool CHexLayout::ShowRowsOf(uint64_t first, uint64_t last)
{
    const uint64_t viewStart = kRowBytes * m_firstRow;
    const uint64_t viewBytes = kRowBytes * uint64_t(m_fullRows);
    const uint64_t viewEnd = viewStart + viewBytes;
    // The row that puts `last` on the bottom full row.
    const auto rowEndingAt = [&](uint64_t offset) {
        const uint64_t lead = offset + kRowBytes;
        return lead > viewBytes ? (lead - viewBytes) / kRowBytes : 0;
    };
    if (first <= viewStart && last >= viewEnd)
        return false;
    if (last - first <= viewBytes) {
        if (first < viewStart)
            return SetFirstRow(first / kRowBytes);
        if (last < viewEnd)
            return false;
        return SetFirstRow(rowEndingAt(last));
    }
    if (first > viewStart)
        return SetFirstRow(first / kRowBytes);
    if (last < viewEnd)
        return SetFirstRow(rowEndingAt(last));
    return false;
}

bool CHexLayout::ShowCellsOf(uint64_t first, uint64_t last)
{
    const int firstColumn = int(first % kRowBytes);
    const int lastColumn = int(last % kRowBytes);
    const int nearer = std::min(firstColumn, lastColumn);
    const int further = std::max(firstColumn, lastColumn);
    const int furtherRight = int(std::ceil(CellStart(further, true) + 2 * m_charWidth));
    const int nearerLeft = int(std::floor(CellStart(nearer, true)));
    if (furtherRight - m_horizontal > m_content.width())
        return SetHorizontalOffset(furtherRight - m_content.width());
    if (nearerLeft < m_horizontal)
        return SetHorizontalOffset(nearerLeft);
    return false;
}
