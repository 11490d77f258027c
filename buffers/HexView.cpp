#include "HexView.h"

#include "HexText.h"
#include "MemoryNode.h"
#include "FileMemoryNode.h"
#include "UiText.h"

#include <QAction>
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
    sizes.charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
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
    painter.setBackgroundMode(Qt::OpaqueMode);
    // A blink repaints the caret's cell alone and reads just its byte.
    if (!m_caretRect.isEmpty() && m_caretRect.contains(event->rect()))
        PaintCaretCell(painter);
    else
        PaintAll(painter);
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
    painter.setBackground(m_headerBackground);
    painter.setPen(m_headerText);
    // The header's labels sit over the hex columns of 8-digit addresses;
    // wider addresses move them along with the columns.
    const int labelShift = (m_layout.AddressDigits() - 8) * m_layout.CharWidth();
    painter.drawText(QPoint(content.left() - m_layout.HorizontalOffset() + labelShift, header.top() + ascent),
                     HexHeaderText());

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
    painter.setBackground(m_background);
    char address[kHexAddressRoom], hex[kHexRowRoom], chars[kHexCharRoom];
    for (int row = 0; uint64_t(row) * CHexLayout::kBytesPerRow < wanted; ++row) {
        const uint64_t rowOffset = uint64_t(row) * CHexLayout::kBytesPerRow;
        const int count = int(std::min<uint64_t>(CHexLayout::kBytesPerRow, wanted - rowOffset));
        const int baseline = m_layout.RowTop(row) + ascent;
        const int addressLength = HexAddressChars(base + start + rowOffset, m_layout.AddressDigits(), address);
        const int hexLength = HexRowChars(bytes + rowOffset, count, hex);
        const int charLength = HexCharChars(bytes + rowOffset, count, chars);
        DrawRowTexts(painter, baseline, {QString::fromLatin1(address, addressLength),
                                         QString::fromLatin1(hex, hexLength), QString::fromLatin1(chars, charLength)});
    }
}

void CHexView::DrawRowTexts(QPainter &painter, int baseline, const std::array<QString, 3> &texts)
{
    const int left = m_layout.Content().left() - m_layout.HorizontalOffset();
    painter.setPen(m_addressText);
    painter.drawText(QPoint(left, baseline), texts[0]);
    painter.setPen(m_hexText);
    painter.drawText(QPoint(left + m_layout.AddressWidth(), baseline), texts[1]);
    painter.setPen(m_charText);
    painter.drawText(QPoint(left + m_layout.CharColumnStart(), baseline), texts[2]);
}

void CHexView::PaintCaretCell(QPainter &painter)
{
    painter.setClipRect(m_caretRect);
    painter.fillRect(m_caretRect, m_background);
    uint8_t byte = m_buffer->GetFillValue();
    m_buffer->Read(m_caret.offset, &byte, 1);
    const int column = int(m_caret.offset % CHexLayout::kBytesPerRow);
    const int row = int(m_caret.offset / CHexLayout::kBytesPerRow - m_layout.FirstRow());
    painter.setBackground(m_background);
    painter.setPen(m_hexText);
    const QPoint at(m_layout.NibbleLeft(column, true), m_layout.RowTop(row) + QFontMetrics(m_font).ascent());
    painter.drawText(at, HexRowText(&byte, 1));
    PaintCaretOverlay(painter);
}

void CHexView::PaintCaretOverlay(QPainter &painter)
{
    if (m_caretShown && !m_caretRect.isEmpty())
        painter.fillRect(m_caretRect, m_caretColour);
}
