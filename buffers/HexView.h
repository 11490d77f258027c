#pragma once

// A memory buffer as a hexadecimal dump: addresses, sixteen bytes per row in
// hex and as characters, a blinking caret, nibble editing of in-memory
// buffers, scrolling by bars, wheel and page drag, and file drops.
//
// The view never copies the buffer: every paint reads the rows in sight (at
// most 1536 bytes) through the buffer's Read, so multi-gigabyte file-backed
// images scroll without being loaded.

#include "HexCaret.h"
#include "HexLayout.h"
#include "PageDrag.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QRawFont>
#include <QTimer>

#include <array>
#include <memory>

class CMemoryNode;
class QAction;
class QMenu;

class CHexView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int kBlinkMs = 500;

    explicit CHexView(CMemoryNode *buffer, QWidget *parent = nullptr);
    ~CHexView() override;

    CMemoryNode *buffer() const { return m_buffer; }

    // Lays out again after the buffer changed (size, content) and resets the
    // scroll bars; the caller repaints.
    void Refresh();
    // Scrolls the chip addresses startAddress ... endAddress into sight.
    void ShowRange(uint64_t startAddress, uint64_t endAddress, bool repaint);

    const CHexLayout &layout() const { return m_layout; }
    SHexCaret caret() const { return m_caret; }
    // Places the caret on a byte and nibble (clamped to the buffer).
    void SetCaret(uint64_t offset, bool high);
    QRect caretRect() const { return m_caretRect; }
    bool caretShown() const { return m_caretShown; }
    // Fills an in-memory buffer with its fill value; null for file-backed ones.
    QAction *initAction() const { return m_initAction; }
    // The right-click menu; null when the buffer offers nothing (file-backed).
    std::unique_ptr<QMenu> createContextMenu();

signals:
    // A byte was edited from the keyboard.
    void dataEdited();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    // --- layout and scrolling (HexView.cpp)
    void DoLayout();
    void SyncScrollBars();
    // After the layout's scroll position changed: bars, caret, repaint.
    void Scrolled();
    void PlaceCaret();
    void OnBlink();

    // --- painting (HexView.cpp)
    void PaintAll(QPainter &painter);
    void PaintRows(QPainter &painter);
    // Draws `count` Latin-1 characters on a baseline, character i with its
    // left edge at left(i) of the layout: the glyphs sit exactly where the
    // caret and the hit test expect them, whatever the font's advance.
    template <typename LeftOf>
    void DrawChars(QPainter &painter, qreal baseline, const char *text, int count, LeftOf left);
    // Looks up the glyphs of the font once per font change.
    void PrepareGlyphs();
    void PaintCaretCell(QPainter &painter);
    void PaintCaretOverlay(QPainter &painter);

    // --- input (HexViewInput.cpp)
    void MoveCaret(EHexMove move);
    void EditNibble(int digit);
    void OnDragTick();
    void OnInit();
    // True (with "Busy" logged) while a chip operation holds the buffer.
    bool BufferBusy() const;
    static bool AcceptsDrag(Qt::DropAction action);

    CMemoryNode *m_buffer;
    CHexLayout m_layout;
    bool m_layoutDirty = true;
    // The vertical scroll bar counts rows >> m_barShift, so that buffers of
    // more than 2^31 rows still fit its int range.
    int m_barShift = 0;
    int m_syncing = 0;

    SHexCaret m_caret;
    QRect m_caretRect;
    bool m_caretShown = false;
    QTimer m_blinkTimer;

    CPageDrag m_drag;
    QTimer m_dragTimer;
    int m_wheelRemainder = 0;

    QAction *m_initAction = nullptr;

    QFont m_font;
    // The font's glyphs by Latin-1 code; without a usable raw font (or a
    // glyph missing from it) characters are drawn one by one as text.
    QRawFont m_rawFont;
    std::array<quint32, 256> m_glyphs{};
    bool m_glyphsComplete = false;
    const QColor m_background{255, 255, 255};
    const QColor m_headerBackground{192, 192, 192};
    const QColor m_headerText{255, 0, 0};
    const QColor m_addressText{150, 0, 150};
    const QColor m_hexText{0, 0, 255};
    const QColor m_charText{0, 0, 0};
    const QColor m_caretColour{0, 0, 0, 128};
};
