#pragma once

// The bad-block map: one small square per erase block, coloured by what the
// table says of it (grey unknown, green good, red bad). A click names the
// block's address in the status bar and brings its data into sight in a hex
// view.

#include "BadBlockGrid.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QImage>

class CBadBlockTable;

class CBadBlockView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CBadBlockView(QWidget *parent = nullptr);

    // The table shown (not owned); null shows an empty map.
    void bind(const CBadBlockTable *table);
    const CBadBlockTable *table() const { return m_table; }
    // Repaints after the table changed.
    void refresh();

    const CBadBlockGrid &grid() const { return m_grid; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void Layout();
    uint32_t BlockCount() const;
    // The fill the first drawn square continues when its own state names no
    // colour.
    int FillBefore(uint32_t block) const;
    void PaintSquares(QImage &canvas) const;

    const CBadBlockTable *m_table = nullptr;
    CBadBlockGrid m_grid;
    const QColor m_background{255, 255, 255};
    // Reused from paint to paint while the viewport keeps its size.
    QImage m_canvas;
};
