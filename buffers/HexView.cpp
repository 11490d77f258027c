#include "HexView.h"

#include "HexText.h"
#include "MemoryNode.h"
#include "FileMemoryNode.h"
#include "UiText.h"

#include <QAction>
#include <QGlyphRun>
#include <QPaintEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

constexpr int kInitText = 139;
constexpr int kInitTip = 140;

// What the buffer's size field says: the nominal size of a file-backed image
// (its file may still be shorter), the block size of an in-memory one.
uint64_t SizeField(const CMemoryNode *buffer)
{
    if (const auto *file = dynamic_cast<const CFileMemoryNode *>(buffer))
        return file->GetNominalSize();
    return buffer->GetSize();
}

} // namespace

CHexView::CHexView(CMemoryNode *buffer, QWidget *parent)
    : QAbstractScrollArea(parent), m_buffer(buffer)
{
    m_font = QFont(QStringLiteral("Lucida Console"));
    m_font.setPixelSize(11);
    m_font.setFixedPitch(true);
    // Where that family is missing, any fixed-pitch face keeps the columns.
    m_font.setStyleHint(QFont::TypeWriter);
    setFont(m_font);
    viewport()->setCursor(Qt::IBeamCursor);
    // Every paint covers the whole viewport: no background fill beforehand.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_blinkTimer.setInterval(kBlinkMs);
    connect(&m_blinkTimer, &QTimer::timeout, this, &CHexView::OnBlink);
    m_dragTimer.setInterval(CPageDrag::kTickMs);
    connect(&m_dragTimer, &QTimer::timeout, this, &CHexView::OnDragTick);

    if (m_buffer && m_buffer->IsInMemory()) {
        m_initAction = new QAction(Text(kInitText), this);
        m_initAction->setStatusTip(Text(kInitTip));
        g_uiText.RegisterAction(m_initAction, kInitText, kInitTip);
        connect(m_initAction, &QAction::triggered, this, &CHexView::OnInit);
    }
}

CHexView::~CHexView()
{
    m_blinkTimer.stop();
    m_dragTimer.stop();
}

void CHexView::Refresh()
{
    DoLayout();
}

void CHexView::DoLayout()
{
    m_layoutDirty = false;
    const QFontMetrics metrics(m_font);
    CHexLayout::SMetrics sizes;
    sizes.viewportWidth = viewport()->width();
    sizes.viewportHeight = viewport()->height();
    // The exact advance: rounding it to whole pixels moves the caret off
    // the digits by several pixels towards the end of a row.
    sizes.charWidth = QFontMetricsF(m_font).horizontalAdvance(QLatin1Char('0'));
    sizes.rowHeight = metrics.height();
    const uint64_t size = m_buffer ? m_buffer->GetSize() : 0;
    const int digits = m_buffer ? HexAddressDigits(SizeField(m_buffer), m_buffer->GetBaseAddress(), size) : 8;
    m_layout.Layout(sizes, size, digits);
    SyncScrollBars();
    PlaceCaret();
}

void CHexView::SyncScrollBars()
{
    QScopedValueRollback<int> guard(m_syncing, m_syncing + 1);
    const uint64_t maxRow = m_layout.MaxFirstRow();
    m_barShift = 0;
    while ((maxRow >> m_barShift) > uint64_t(INT_MAX))
        ++m_barShift;
    QScrollBar *vbar = verticalScrollBar();
    vbar->setRange(0, int(maxRow >> m_barShift));
    vbar->setPageStep(std::max(m_layout.FullRows() >> m_barShift, 1));
    vbar->setValue(int(m_layout.FirstRow() >> m_barShift));
    QScrollBar *hbar = horizontalScrollBar();
    hbar->setRange(0, m_layout.MaxHorizontalOffset());
    hbar->setPageStep(std::max(m_layout.Content().width(), 1));
    hbar->setValue(m_layout.HorizontalOffset());
    // Policies last: switching a bar on or off resizes the viewport, which
    // lays out again with the ranges already in place.
    setVerticalScrollBarPolicy(maxRow > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(m_layout.MaxHorizontalOffset() > 0 ? Qt::ScrollBarAlwaysOn
                                                                    : Qt::ScrollBarAlwaysOff);
}

void CHexView::scrollContentsBy(int, int)
{
    if (m_syncing)
        return;
    const QScrollBar *vbar = verticalScrollBar();
    // The bar's end is the last row exactly, whatever the scale.
    const uint64_t row = vbar->value() >= vbar->maximum() ? m_layout.MaxFirstRow()
                                                          : uint64_t(vbar->value()) << m_barShift;
    const bool moved = m_layout.SetFirstRow(row);
    const bool shifted = m_layout.SetHorizontalOffset(horizontalScrollBar()->value());
    if (moved || shifted) {
        PlaceCaret();
        viewport()->update();
    }
}

void CHexView::Scrolled()
{
    SyncScrollBars();
    PlaceCaret();
    viewport()->update();
}

void CHexView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    DoLayout();
}

void CHexView::ShowRange(uint64_t startAddress, uint64_t endAddress, bool repaint)
{
    if (!m_buffer)
        return;
    if (m_layoutDirty)
        DoLayout();
    const uint64_t base = m_buffer->GetBaseAddress();
    const uint64_t first = startAddress > base ? startAddress - base : 0;
    const uint64_t last = endAddress > base ? endAddress - base : 0;
    m_layout.ShowOffsets(first, std::max(first, last));
    SyncScrollBars();
    PlaceCaret();
    if (repaint)
        viewport()->update();
}

void CHexView::SetCaret(uint64_t offset, bool high)
{
    const uint64_t size = m_layout.BufferSize();
    if (size == 0)
        m_caret = {0, true};
    else if (offset >= size)
        m_caret = {size - 1, false};
    else
        m_caret = {offset, high};
    PlaceCaret();
}

void CHexView::PlaceCaret()
{
    const QRect rect = hasFocus() ? m_layout.CaretRect(m_caret.offset, m_caret.high) : QRect();
    if (rect != m_caretRect && !m_caretRect.isEmpty())
        viewport()->update(m_caretRect);
    m_caretRect = rect;
    if (rect.isEmpty()) {
        m_blinkTimer.stop();
        m_caretShown = false;
        return;
    }
    viewport()->update(rect);
    if (!m_blinkTimer.isActive())
        m_blinkTimer.start();
}

void CHexView::OnBlink()
{
    m_caretShown = !m_caretShown;
    if (!m_caretRect.isEmpty())
        viewport()->update(m_caretRect);
}

void CHexView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        m_font = font();
        PrepareGlyphs();
        m_layoutDirty = true;
        viewport()->update();
    }
}

void CHexView::PrepareGlyphs()
{
    m_rawFont = QRawFont::fromFont(m_font);
    m_glyphsComplete = m_rawFont.isValid();
    if (!m_glyphsComplete)
        return;
    QString all;
    for (int code = 0x20; code <= 0x7E; ++code)
        all += QChar(code);
    const QList<quint32> indexes = m_rawFont.glyphIndexesForString(all);
    m_glyphs.fill(0);
    for (int code = 0x20; code <= 0x7E; ++code) {
        const qsizetype at = code - 0x20;
        m_glyphs[size_t(code)] = at < indexes.size() ? indexes[at] : 0;
        // Only the blank may lack ink of its own; any other missing glyph
        // would need the painter's font fallback.
        if (m_glyphs[size_t(code)] == 0 && code != 0x20)
            m_glyphsComplete = false;
    }
}

void CHexView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    PlaceCaret();
}

void CHexView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    PlaceCaret();
}

void CHexView::paintEvent(QPaintEvent *event)
{
    if (m_layoutDirty)
        DoLayout();
    QPainter painter(viewport());
    painter.setFont(m_font);
    // Every cell's background is filled before its text is drawn.
    painter.setBackgroundMode(Qt::TransparentMode);
    // A blink repaints the caret's cell alone and reads just its byte.
    if (!m_caretRect.isEmpty() && m_caretRect.contains(event->rect()))
        PaintCaretCell(painter);
    else
        PaintAll(painter);
}

template <typename LeftOf>
void CHexView::DrawChars(QPainter &painter, qreal baseline, const char *text, int count, LeftOf left)
{
    if (count <= 0)
        return;
    if (!m_glyphsComplete) {
        for (int i = 0; i < count; ++i)
            painter.drawText(QPointF(left(i), baseline), QString(QLatin1Char(text[i])));
        return;
    }
    QList<quint32> glyphs;
    QList<QPointF> positions;
    glyphs.reserve(count);
    positions.reserve(count);
    for (int i = 0; i < count; ++i) {
        const auto code = uint8_t(text[i]);
        if (code == ' ')
            continue;
        glyphs.append(m_glyphs[code]);
        positions.append(QPointF(left(i), baseline));
    }
    QGlyphRun run;
    run.setRawFont(m_rawFont);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
}

void CHexView::PaintAll(QPainter &painter)
{
    painter.fillRect(viewport()->rect(), m_background);
    const QRect &content = m_layout.Content();
    if (content.isEmpty())
        return;
    painter.setClipRect(content);
    const int ascent = QFontMetrics(m_font).ascent();

    const QRect header(content.left(), content.top(), content.width(), m_layout.RowHeight());
    painter.fillRect(header, m_headerBackground);
    painter.setPen(m_headerText);
    // " OFFSET" over the addresses, each hex label centred over its byte's
    // two digits, "A S C I I" centred over the character column.
    const QByteArray label = HexHeaderText().toLatin1();
    const int firstHexLabel = int(label.indexOf('0'));
    const int asciiLabel = int(label.indexOf("A S C I I"));
    const qreal charWidth = m_layout.CharWidth();
    const int addressShift = m_layout.AddressDigits() - 8;
    DrawChars(painter, header.top() + ascent, label.constData(), int(label.size()), [&](int i) {
        if (i >= asciiLabel)
            return m_layout.CharCharLeft(i - asciiLabel) + charWidth * (CHexLayout::kBytesPerRow - 9) / 2;
        if (i >= firstHexLabel)
            return m_layout.HexCharLeft(i - firstHexLabel) + charWidth / 2;
        return m_layout.AddressCharLeft(i + addressShift);
    });

    PaintRows(painter);
    PaintCaretOverlay(painter);
}

void CHexView::PaintRows(QPainter &painter)
{
    const uint64_t size = m_layout.BufferSize();
    const uint64_t start = m_layout.FirstRow() * CHexLayout::kBytesPerRow;
    if (!m_buffer || start >= size)
        return;
    uint8_t bytes[CHexLayout::kMaxPaintBytes];
    const uint64_t wanted = std::min<uint64_t>(
        {uint64_t(m_layout.VisibleRows()) * CHexLayout::kBytesPerRow, uint64_t(CHexLayout::kMaxPaintBytes), size - start});
    // Bytes a short file read leaves out show as the fill value.
    std::fill_n(bytes, wanted, m_buffer->GetFillValue());
    m_buffer->Read(start, bytes, wanted);

    const int ascent = QFontMetrics(m_font).ascent();
    const uint64_t base = m_buffer->GetBaseAddress();
    char address[kHexAddressRoom], hex[kHexRowRoom], chars[kHexCharRoom];
    const auto addressLeft = [this](int i) { return m_layout.AddressCharLeft(i); };
    const auto hexLeft = [this](int i) { return m_layout.HexCharLeft(i); };
    const auto charLeft = [this](int i) { return m_layout.CharCharLeft(i); };
    for (int row = 0; uint64_t(row) * CHexLayout::kBytesPerRow < wanted; ++row) {
        const uint64_t rowOffset = uint64_t(row) * CHexLayout::kBytesPerRow;
        const int count = int(std::min<uint64_t>(CHexLayout::kBytesPerRow, wanted - rowOffset));
        const int baseline = m_layout.RowTop(row) + ascent;
        painter.setPen(m_addressText);
        DrawChars(painter, baseline, address, HexAddressChars(base + start + rowOffset, m_layout.AddressDigits(), address),
                  addressLeft);
        painter.setPen(m_hexText);
        DrawChars(painter, baseline, hex, HexRowChars(bytes + rowOffset, count, hex), hexLeft);
        painter.setPen(m_charText);
        DrawChars(painter, baseline, chars, HexCharChars(bytes + rowOffset, count, chars), charLeft);
    }
}

void CHexView::PaintCaretCell(QPainter &painter)
{
    // The repainted pixels may take in slivers of the characters beside the
    // cell; they are drawn again from the same layout, so nothing is cut.
    painter.setClipRect(m_caretRect);
    painter.fillRect(m_caretRect, m_background);
    uint8_t byte = m_buffer->GetFillValue();
    m_buffer->Read(m_caret.offset, &byte, 1);
    const int column = int(m_caret.offset % CHexLayout::kBytesPerRow);
    const int row = int(m_caret.offset / CHexLayout::kBytesPerRow - m_layout.FirstRow());
    // The byte's two digits with the separators on either side.
    char cell[4];
    const int first = column * 3 - 1;
    cell[0] = column == 8 ? '-' : ' ';
    HexRowChars(&byte, 1, cell + 1);
    cell[3] = column == 7 ? '-' : ' ';
    const bool hasLeft = column > 0, hasRight = column < CHexLayout::kBytesPerRow - 1;
    painter.setPen(m_hexText);
    const int baseline = m_layout.RowTop(row) + QFontMetrics(m_font).ascent();
    const auto left = [&](int i) { return m_layout.HexCharLeft(first + (hasLeft ? 0 : 1) + i); };
    DrawChars(painter, baseline, cell + (hasLeft ? 0 : 1), 4 - (hasLeft ? 0 : 1) - (hasRight ? 0 : 1), left);
    PaintCaretOverlay(painter);
}

void CHexView::PaintCaretOverlay(QPainter &painter)
{
    if (m_caretShown && !m_caretRect.isEmpty())
        painter.fillRect(m_layout.CaretCell(m_caret.offset, m_caret.high), m_caretColour);
}
