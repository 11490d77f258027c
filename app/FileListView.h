#pragma once

// The file list of the file browser panel: the files of one directory as a
// plain list with a selected row. A click on the selected file, or a
// double-click, opens it into the target's buffer; dragging carries the
// selected file's path to a hex view.

#include "FileListNavigator.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFileInfo>
#include <QList>
#include <QRect>
#include <QString>

class QMimeData;

class CFileListView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CFileListView(QWidget *parent = nullptr);

    // Reads the directory's files (no links, in the order the file system
    // gives them) and shows them from the top.
    void ListDirectory(const QString &path);

    const QString &Directory() const { return m_directory; }
    const QList<QFileInfo> &Entries() const { return m_entries; }
    const CFileListNavigator &Navigator() const { return m_nav; }
    // The selected file, null when the list is empty.
    const QFileInfo *SelectedEntry() const;
    // The row rectangle of a view row, as painted.
    QRect RowRect(int row) const;

    // Adds the selected file to the recent files and loads it into the target.
    void Open();
    // What a drag of the selected file carries; null when the list is empty.
    QMimeData *CreateDragData() const;

signals:
    // Size and date of the newly selected file, for the information box.
    void informationChanged(const QString &text);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void Layout();
    // The inner rectangle from the viewport's present size.
    void UpdateInner();
    void SyncScrollBar();
    void ShowInformation();
    // After a key or scroll changed the rows: scroll bar, information, repaint.
    void RowsChanged();
    int RowAt(int y) const;

    QString m_directory;
    QList<QFileInfo> m_entries;
    CFileListNavigator m_nav;
    int m_lineHeight = 0;
    QRect m_inner;
    QSize m_widgetSize;
    bool m_layoutPending = true;
    bool m_syncing = false;
    // The last press opened the file (it was on the selected row).
    bool m_pressOpened = false;

    const QColor m_background{255, 255, 255};
    const QColor m_text{0, 0, 0};
    const QColor m_selection{0, 128, 215};
    const QColor m_selectedText{255, 255, 255};
};
