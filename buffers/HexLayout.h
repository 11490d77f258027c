#pragma once

// Geometry of the hex view, apart from the widget: where the address, hex and
// character columns lie, how many rows fit, the scroll ranges, the caret's
// cell and which byte a point hits. Offsets are 64-bit byte offsets into the
// buffer; pixel positions are viewport coordinates.
//
// The character advance is fractional (a fixed-pitch face at 11 pixels is
// often 6.6 pixels wide): every position the view uses - where each glyph is
// drawn, the caret's cell, the hit test, the cells scrolled into sight -
// comes from this one layout, so none of them drifts along a row.

#include <QRect>
#include <QRectF>

#include <cstdint>

class CHexLayout
{
public:
    static constexpr int kBytesPerRow = 16;
    // The most bytes one paint reads, whatever the buffer's size; the view
    // never lays out more rows than that.
    static constexpr int kMaxPaintBytes = 1536;
    static constexpr int kMaxRows = kMaxPaintBytes / kBytesPerRow;
    // Characters of a row of hex cells: "XX " 16 times without the last blank.
    static constexpr int kHexChars = kBytesPerRow * 3 - 1;
    static constexpr int kColumnGap = 8;
    static constexpr int kHeaderGap = 3;

    struct SMetrics
    {
        int viewportWidth = 0;
        int viewportHeight = 0;
        qreal charWidth = 1;
        int rowHeight = 1;
    };

    // Recomputes everything from the viewport, the font and the buffer; the
    // scroll positions are clamped to the new ranges.
    void Layout(const SMetrics &metrics, uint64_t bufferSize, int addressDigits);

    // --- results of the layout
    const QRect &Content() const { return m_content; }
    int AddressDigits() const { return m_addressDigits; }
    qreal CharWidth() const { return m_charWidth; }
    int RowHeight() const { return m_rowHeight; }
    int HeaderHeight() const { return m_rowHeight + kHeaderGap; }
    int FullRows() const { return m_fullRows; }
    int VisibleRows() const { return m_visibleRows; }
    qreal AddressWidth() const { return m_addressWidth; }
    qreal HexWidth() const { return m_hexWidth; }
    // Start of the character column, from the content's left edge.
    qreal CharColumnStart() const { return m_addressWidth + m_hexWidth; }
    qreal TotalWidth() const { return m_totalWidth; }
    uint64_t BufferSize() const { return m_bufferSize; }
    uint64_t Rows() const { return m_rows; }
    uint64_t MaxFirstRow() const { return m_maxFirstRow; }
    int MaxHorizontalOffset() const { return m_maxHorizontal; }

    // --- scroll state
    uint64_t FirstRow() const { return m_firstRow; }
    int HorizontalOffset() const { return m_horizontal; }
    // Clamped to the ranges; true when the value changed.
    bool SetFirstRow(uint64_t row);
    bool ScrollRows(int64_t rows);
    bool SetHorizontalOffset(int offset);

    // Top of a row of the view (0 = first row below the header).
    int RowTop(int row) const;
    // Left edge of a byte's hex cell and its nibble, in viewport coordinates.
    qreal NibbleLeft(int byteInRow, bool high) const;
    // Left edge of character `index` of a row's address text, hex text and
    // character text (the header starts where the address text does).
    qreal AddressCharLeft(int index) const;
    qreal HexCharLeft(int index) const;
    qreal CharCharLeft(int index) const;
    // The caret's cell for an offset, exact and clipped to the content; empty
    // when the offset's row is not in sight.
    QRectF CaretCell(uint64_t offset, bool high) const;
    // The whole pixels the caret's cell touches, for repainting it.
    QRect CaretRect(uint64_t offset, bool high) const;

    struct SHit
    {
        uint64_t offset = 0;
        bool high = true;
    };
    // The byte and nibble under a point (false for an empty buffer).
    bool HitTest(int x, int y, SHit &hit) const;

    // Scrolls so that the byte at offset is in sight: by whole rows
    // vertically, by pixels horizontally.
    bool ScrollToOffset(uint64_t offset, bool high);
    // Scrolls the offsets first ... last into sight by the view's range rules.
    bool ShowOffsets(uint64_t first, uint64_t last);

private:
    bool ShowRowsOf(uint64_t first, uint64_t last);
    bool ShowCellsOf(uint64_t first, uint64_t last);
    // Left edge of a hex cell measured from the content's left edge, unscrolled.
    qreal CellStart(int byteInRow, bool high) const;

    QRect m_content;
    qreal m_charWidth = 1;
    int m_rowHeight = 1;
    int m_addressDigits = 8;
    int m_fullRows = 0;
    int m_visibleRows = 0;
    qreal m_addressWidth = 0;
    qreal m_hexWidth = 0;
    qreal m_totalWidth = 0;
    uint64_t m_bufferSize = 0;
    uint64_t m_rows = 0;
    uint64_t m_maxFirstRow = 0;
    int m_maxHorizontal = 0;
    uint64_t m_firstRow = 0;
    int m_horizontal = 0;
};
