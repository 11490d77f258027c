// Mouse, keyboard, drops and the context menu of the hex view.

#include "HexView.h"

#include "BufferTexts.h"
#include "FrameServices.h"
#include "MemoryNode.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QWheelEvent>

namespace {

constexpr int kWheelNotch = 120;

const QString &FileNameFormat()
{
    static const QString format = QStringLiteral("FileName");
    return format;
}

bool KeyMove(int key, EHexMove &move)
{
    switch (key) {
    case Qt::Key_Home: move = EHexMove::Home; return true;
    case Qt::Key_End: move = EHexMove::End; return true;
    case Qt::Key_Left: move = EHexMove::Left; return true;
    case Qt::Key_Right: move = EHexMove::Right; return true;
    case Qt::Key_Up: move = EHexMove::Up; return true;
    case Qt::Key_Down: move = EHexMove::Down; return true;
    case Qt::Key_PageUp: move = EHexMove::PageUp; return true;
    case Qt::Key_PageDown: move = EHexMove::PageDown; return true;
    default: return false;
    }
}

} // namespace

bool CHexView::BufferBusy() const
{
    // A chip operation holds the buffer's busy lock while it reads or
    // programs it; changing the bytes under it would corrupt the operation.
    if (m_buffer->TryLock()) {
        m_buffer->Unlock();
        return false;
    }
    LogString(QStringLiteral("Busy"));
    return true;
}

void CHexView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    CHexLayout::SHit hit;
    if (m_layout.HitTest(pos.x(), pos.y(), hit))
        SetCaret(hit.offset, hit.high);
    m_drag.Press(pos);
    m_dragTimer.stop();
}

void CHexView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    CHexLayout::SHit hit;
    if (m_layout.HitTest(pos.x(), pos.y(), hit))
        SetCaret(hit.offset, hit.high);
}

void CHexView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_drag.ButtonDown() || !(event->buttons() & Qt::LeftButton))
        return;
    viewport()->setCursor(Qt::ClosedHandCursor);
    int64_t rows = 0;
    int pixels = 0;
    if (m_drag.Move(event->position().toPoint(), m_layout.RowHeight(), rows, pixels))
        m_dragTimer.start();
    const bool moved = m_layout.ScrollRows(rows);
    const bool shifted = m_layout.SetHorizontalOffset(m_layout.HorizontalOffset() + pixels);
    if (moved || shifted)
        Scrolled();
}

void CHexView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    viewport()->setCursor(Qt::IBeamCursor);
    m_drag.Release();
}

void CHexView::OnDragTick()
{
    int64_t rows = 0;
    const bool goesOn = m_drag.Tick(rows);
    if (!goesOn)
        m_dragTimer.stop();
    if (m_layout.ScrollRows(rows))
        Scrolled();
}

void CHexView::wheelEvent(QWheelEvent *event)
{
    // Fine-grained wheels send fractions of a notch; they add up to rows.
    m_wheelRemainder += event->angleDelta().y();
    const int notches = m_wheelRemainder / kWheelNotch;
    m_wheelRemainder -= notches * kWheelNotch;
    if (notches != 0 && m_layout.ScrollRows(-notches))
        Scrolled();
    event->accept();
}

void CHexView::keyPressEvent(QKeyEvent *event)
{
    EHexMove move;
    const bool plain = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const int digit = HexDigitOfKey(event->key());
    if (KeyMove(event->key(), move))
        MoveCaret(move);
    else if (digit >= 0 && plain)
        EditNibble(digit);
    else
        QAbstractScrollArea::keyPressEvent(event);
}

void CHexView::MoveCaret(EHexMove move)
{
    if (m_layoutDirty)
        DoLayout();
    m_caret = MoveHexCaret(m_caret, move, m_layout.BufferSize(), m_layout.VisibleRows());
    if (m_layout.ScrollToOffset(m_caret.offset, m_caret.high)) {
        SyncScrollBars();
        viewport()->update();
    }
    PlaceCaret();
}

void CHexView::EditNibble(int digit)
{
    if (!m_buffer || m_layout.BufferSize() == 0)
        return;
    const bool editable = m_buffer->IsInMemory();
    if (editable && BufferBusy())
        return;
    // A file-backed buffer ignores the write; the caret moves all the same.
    m_buffer->SetNibble(m_caret.offset, uint8_t(digit), m_caret.high);
    MoveCaret(EHexMove::Right);
    viewport()->update();
    if (editable)
        emit dataEdited();
}

void CHexView::OnInit()
{
    if (BufferBusy())
        return;
    m_buffer->Fill();
    viewport()->update();
}

std::unique_ptr<QMenu> CHexView::createContextMenu()
{
    if (!m_initAction)
        return nullptr;
    auto menu = std::make_unique<QMenu>(this);
    menu->addAction(m_initAction);
    QAction *save = Frame()->SaveAction();
    if (save && save->isEnabled()) {
        menu->addSeparator();
        menu->addAction(save);
    }
    return menu;
}

void CHexView::contextMenuEvent(QContextMenuEvent *event)
{
    if (std::unique_ptr<QMenu> menu = createContextMenu())
        menu->exec(event->globalPos());
}

bool CHexView::AcceptsDrag(Qt::DropAction action)
{
    return action == Qt::CopyAction || action == Qt::MoveAction;
}

void CHexView::dragEnterEvent(QDragEnterEvent *event)
{
    if (AcceptsDrag(event->proposedAction()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CHexView::dragMoveEvent(QDragMoveEvent *event)
{
    if (AcceptsDrag(event->proposedAction()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void CHexView::dropEvent(QDropEvent *event)
{
    const QMimeData *data = event->mimeData();
    if (!m_buffer || !data || !data->hasFormat(FileNameFormat())) {
        event->ignore();
        return;
    }
    QByteArray bytes = data->data(FileNameFormat());
    const qsizetype end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    const QString path = QFile::decodeName(bytes);
    event->acceptProposedAction();
    if (path.isEmpty() || BufferBusy())
        return;
    if (m_buffer->LoadFile(path, true))
        Frame()->AddRecentFile(path);
    else
        LogString(path + QLatin1Char(' ') + Text(BufferTextId::FileError));
    Refresh();
    viewport()->update();
}
