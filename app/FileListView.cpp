#include "FileListView.h"

#include "FileSizeText.h"
#include "FrameServices.h"

#include <QDir>
#include <QDrag>
#include <QFile>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

namespace {
constexpr int kTextIndent = 2;
} // namespace

CFileListView::CFileListView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CFileListView::ListDirectory(const QString &path)
{
    m_directory = path;
    m_entries = QDir(path).entryInfoList(QDir::Files | QDir::NoSymLinks | QDir::NoDotAndDotDot, QDir::Unsorted);
    m_nav.SetCount(int(m_entries.size()));
    Layout();
    viewport()->update();
    ShowInformation();
}

const QFileInfo *CFileListView::SelectedEntry() const
{
    const int index = m_nav.Selected();
    if (m_nav.IsEmpty() || index < 0 || index >= m_entries.size())
        return nullptr;
    return &m_entries[index];
}

QRect CFileListView::RowRect(int row) const
{
    const int top = m_inner.top() + row * m_lineHeight;
    return QRect(QPoint(m_inner.left(), top), QPoint(m_inner.right(), top + m_lineHeight - 1));
}

void CFileListView::Layout()
{
    m_layoutPending = false;
    m_lineHeight = std::max(fontMetrics().height(), 1);
    UpdateInner();
    m_nav.SetVisibleRows(std::max(m_inner.height(), 0) / m_lineHeight);
    SyncScrollBar();
    // Switching the scroll bar on or off has just resized the viewport.
    UpdateInner();
}

void CFileListView::UpdateInner()
{
    const QSize size = viewport()->size();
    m_inner = QRect(QPoint(1, 1), QPoint(size.width() - 2, size.height() - 2));
}

void CFileListView::SyncScrollBar()
{
    m_syncing = true;
    QScrollBar *bar = verticalScrollBar();
    if (m_nav.MaxFirstRow() > 0) {
        bar->setRange(0, m_nav.MaxFirstRow());
        bar->setPageStep(std::max(m_nav.VisibleRows(), 1));
        bar->setValue(m_nav.FirstRow());
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    } else {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        bar->setRange(0, 0);
    }
    m_syncing = false;
}

void CFileListView::ShowInformation()
{
    if (const QFileInfo *entry = SelectedEntry())
        emit informationChanged(FileInfoText(*entry));
}

void CFileListView::RowsChanged()
{
    m_syncing = true;
    verticalScrollBar()->setValue(m_nav.FirstRow());
    m_syncing = false;
    ShowInformation();
    viewport()->update();
}

int CFileListView::RowAt(int y) const
{
    if (m_lineHeight <= 0 || y < m_inner.top())
        return 0;
    return (y - m_inner.top()) / m_lineHeight;
}

void CFileListView::Open()
{
    const QFileInfo *entry = SelectedEntry();
    if (!entry)
        return;
    // Copied first: adding a recent file makes the window list the directory again.
    const QString path = entry->absoluteFilePath();
    Frame()->AddRecentFile(path);
    Frame()->LoadFileIntoTarget(path);
}

QMimeData *CFileListView::CreateDragData() const
{
    const QFileInfo *entry = SelectedEntry();
    if (!entry)
        return nullptr;
    auto *data = new QMimeData;
    // The file system's own encoding, so that names outside Latin-1 survive.
    data->setData(QStringLiteral("FileName"), QFile::encodeName(entry->absoluteFilePath()));
    return data;
}

void CFileListView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    setFocus(Qt::MouseFocusReason);
    m_pressOpened = false;
    const int row = RowAt(event->position().toPoint().y());
    if (m_nav.EntryAtRow(row) < 0)
        return;
    if (row == m_nav.CurrentRow()) {
        m_pressOpened = true;
        Open();
        return;
    }
    m_nav.SetCurrentRow(row);
    ShowInformation();
    viewport()->update();
}

void CFileListView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const int row = RowAt(event->position().toPoint().y());
    if (m_nav.EntryAtRow(row) < 0)
        return;
    if (m_nav.SetCurrentRow(row)) {
        ShowInformation();
        viewport()->update();
    }
    // The second press of a double-click has opened the file already; a
    // second load of the same image would only cost time.
    const bool opened = m_pressOpened && row == m_nav.CurrentRow();
    m_pressOpened = false;
    if (!opened)
        Open();
}

void CFileListView::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    QMimeData *data = CreateDragData();
    if (!data)
        return;
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(style()->standardIcon(QStyle::SP_FileIcon).pixmap(32, 32));
    drag->exec(Qt::CopyAction);
}

void CFileListView::keyPressEvent(QKeyEvent *event)
{
    bool changed = false;
    switch (event->key()) {
    case Qt::Key_Home: changed = m_nav.Home(); break;
    case Qt::Key_End: changed = m_nav.End(); break;
    case Qt::Key_Up: changed = m_nav.Up(); break;
    case Qt::Key_Down: changed = m_nav.Down(); break;
    case Qt::Key_PageUp: changed = m_nav.PageUp(); break;
    case Qt::Key_PageDown: changed = m_nav.PageDown(); break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    if (changed)
        RowsChanged();
}

void CFileListView::paintEvent(QPaintEvent *)
{
    if (m_layoutPending)
        Layout();
    // The selection bar reaches the right edge whatever resized the viewport
    // since the last layout (a scroll bar coming or going).
    UpdateInner();
    QPainter painter(viewport());
    painter.fillRect(m_inner, m_background);
    painter.setFont(font());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setClipRect(m_inner);
    for (int row = 0; m_nav.EntryAtRow(row) >= 0; ++row) {
        const QRect rect = RowRect(row);
        if (rect.top() > m_inner.bottom())
            break;
        const bool selected = row == m_nav.CurrentRow();
        const QColor back = selected ? m_selection : m_background;
        painter.fillRect(rect, back);
        painter.setBackground(back);
        painter.setPen(selected ? m_selectedText : m_text);
        // A little air between the border and the names.
        painter.drawText(rect.adjusted(kTextIndent, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         m_entries[m_nav.EntryAtRow(row)].fileName());
    }
}

void CFileListView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // Showing or hiding the scroll bar resizes only the viewport; the
    // selection goes back to the top only when the list itself is resized.
    const bool moved = size() != m_widgetSize;
    if (moved) {
        m_widgetSize = size();
        m_nav.SetCurrentRow(0);
    }
    Layout();
    // The information box follows the selection to its new file.
    if (moved)
        ShowInformation();
}

void CFileListView::scrollContentsBy(int, int)
{
    if (m_syncing)
        return;
    if (m_nav.ScrollTo(verticalScrollBar()->value())) {
        ShowInformation();
        viewport()->update();
    }
}
