#pragma once

// Layout of the bad-block map, apart from the widget: squares of 10 pixels
// with a 1-pixel margin, so one every 12 pixels, as many columns as fit
// beside the scroll bar and as many whole rows as fit in the height.

#include <QColor>
#include <QRect>

#include <cstdint>

class CBadBlockGrid
{
public:
    static constexpr int kCellSize = 10;
    static constexpr int kMargin = 1;
    static constexpr int kPitch = kCellSize + 2 * kMargin;
    // Room kept at the right for the scroll bar.
    static constexpr int kScrollBarRoom = 21;

    // Lays out for a widget of width x height showing blockCount blocks; the
    // first row is clamped to the new maximum.
    void Layout(int width, int height, uint32_t blockCount);

    uint32_t Columns() const { return m_columns; }
    uint32_t VisibleRows() const { return m_visibleRows; }
    int MaxFirstRow() const { return m_maxFirstRow; }
    int FirstRow() const { return m_firstRow; }
    // Clamped to 0 ... maximum first row; true when it changed.
    bool SetFirstRow(int row);

    // The block index a point of the viewport maps to (which may be at or
    // past the block count); -1 when there is no column.
    int64_t BlockAt(int x, int y) const;
    // The square of the k-th visible cell, counted from the top-left.
    static QRect CellRect(uint32_t column, uint32_t row);

    // Fills are numbered like the states they show: 0 unknown, 1 good, 2 bad.
    static constexpr int kFillCount = 3;
    // The fill of a block state; any state other than unknown, good and bad
    // keeps the previous fill.
    static int FillIndex(uint32_t state, int previous) { return state < kFillCount ? int(state) : previous; }
    static QColor FillColour(int index);

private:
    uint32_t m_blockCount = 0;
    uint32_t m_columns = 0;
    uint32_t m_visibleRows = 0;
    int m_maxFirstRow = 0;
    int m_firstRow = 0;
};
