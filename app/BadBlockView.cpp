#include "BadBlockView.h"

#include "BadBlockTable.h"
#include "FrameServices.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <array>
#include <cmath>

CBadBlockView::CBadBlockView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    // Without a frame the viewport is the widget's full height, so the rows
    // counted from the widget's height are exactly the rows that get painted.
    setFrameShape(QFrame::NoFrame);
    // Every paint covers the whole viewport: no background fill beforehand.
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CBadBlockView::bind(const CBadBlockTable *table)
{
    m_table = table;
    Layout();
    viewport()->update();
}

void CBadBlockView::refresh()
{
    viewport()->update();
}

uint32_t CBadBlockView::BlockCount() const
{
    return m_table ? m_table->count() : 0;
}

void CBadBlockView::Layout()
{
    m_grid.Layout(width(), height(), BlockCount());
    QScrollBar *bar = verticalScrollBar();
    if (m_grid.MaxFirstRow() > 0) {
        bar->setRange(0, m_grid.MaxFirstRow());
        bar->setPageStep(int(m_grid.VisibleRows()));
        bar->setValue(m_grid.FirstRow());
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        bar->setRange(0, 0);
    }
}

void CBadBlockView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    Layout();
}

void CBadBlockView::scrollContentsBy(int, int)
{
    if (m_grid.SetFirstRow(verticalScrollBar()->value()))
        viewport()->update();
}

int CBadBlockView::FillBefore(uint32_t block) const
{
    // Walk back to the nearest block with a colour of its own, so a square
    // looks the same whichever row is at the top.
    while (block > 0) {
        const int fill = CBadBlockGrid::FillIndex(m_table->state(--block), -1);
        if (fill >= 0)
            return fill;
    }
    return CBadBlockGrid::FillIndex(CBadBlockTable::Unknown, 0);
}

void CBadBlockView::paintEvent(QPaintEvent *)
{
    // The canvas has the screen's own pixels: at a device pixel ratio of 2
    // the squares are not painted at 1x and scaled up.
    const qreal ratio = viewport()->devicePixelRatioF();
    const QSize size = (QSizeF(viewport()->size()) * ratio).toSize();
    if (m_canvas.size() != size)
        m_canvas = QImage(size, QImage::Format_RGB32);
    m_canvas.setDevicePixelRatio(ratio);
    m_canvas.fill(m_background);
    PaintSquares(m_canvas);
    QPainter painter(viewport());
    painter.drawImage(0, 0, m_canvas);
}

void CBadBlockView::PaintSquares(QImage &canvas) const
{
    const uint32_t columns = m_grid.Columns();
    const uint32_t count = BlockCount();
    if (columns == 0 || count == 0)
        return;
    // The squares are written straight into the image's pixels: a map of
    // thousands of blocks paints in a fraction of the time that as many
    // outlined rectangles take through the painter. What results is what
    // the painter draws: a one-pixel black outline around a filled square.
    std::array<QRgb, CBadBlockGrid::kFillCount> fills;
    for (int i = 0; i < CBadBlockGrid::kFillCount; ++i)
        fills[size_t(i)] = CBadBlockGrid::FillColour(i).rgb();
    const QRgb outline = QColor(Qt::black).rgb();
    const QRect bounds = canvas.rect();
    // Square edges land on whole device pixels, and the outline is one
    // device pixel wide at every ratio, so the map stays sharp at 1.5 too.
    const qreal ratio = canvas.devicePixelRatio();
    const auto device = [ratio](int logical) { return int(std::lround(logical * ratio)); };
    // One detach for the whole paint: scanLine() on a writable image checks
    // for sharing at every call.
    uchar *const pixels = canvas.bits();
    const qsizetype stride = canvas.bytesPerLine();

    uint64_t block = uint64_t(m_grid.FirstRow()) * columns;
    int fill = block < count ? FillBefore(uint32_t(block)) : 0;
    for (uint32_t row = 0; row < m_grid.VisibleRows() && block < count; ++row) {
        for (uint32_t column = 0; column < columns && block < count; ++column, ++block) {
            fill = CBadBlockGrid::FillIndex(m_table->state(uint32_t(block)), fill);
            const QRect logical = CBadBlockGrid::CellRect(column, row);
            // The outline lies on the rectangle's edges, one pixel beyond its size.
            const int left = device(logical.left()), top = device(logical.top());
            const int right = device(logical.left() + logical.width());
            const int bottom = device(logical.top() + logical.height());
            const QRect square = QRect(QPoint(left, top), QPoint(right, bottom)).intersected(bounds);
            for (int y = square.top(); y <= square.bottom(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(pixels + y * stride);
                const bool edgeRow = y == top || y == bottom;
                for (int x = square.left(); x <= square.right(); ++x) {
                    const bool edge = edgeRow || x == left || x == right;
                    line[x] = edge ? outline : fills[size_t(fill)];
                }
            }
        }
    }
}

void CBadBlockView::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int64_t block = m_grid.BlockAt(pos.x(), pos.y());
    if (block < 0 || uint64_t(block) >= BlockCount())
        return;
    const uint64_t address = uint64_t(block) * m_table->blockBytes();
    Frame()->ShowStatusMessage(QStringLiteral(" ") + QString::number(address, 16).toUpper());
    // The left button asks for the hex view beside this map's position; any
    // other button takes the first hex view that holds the address.
    Frame()->ShowAddressRange(address, 1, event->button() == Qt::LeftButton ? this : nullptr);
}
