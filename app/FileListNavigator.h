#pragma once

// Row arithmetic of the file list, apart from the widget: which entry is at
// the top, which row of the view is selected, and what the keys do to them.
//
// The selection is a row of the view, not an entry: scrolling keeps the row,
// so the selected file changes with the scroll.

class CFileListNavigator
{
public:
    // A new listing: first row 0, the current row kept while it is inside
    // the list.
    void SetCount(int entries);
    // A new view height: the maximum first row follows, the first row is
    // clamped to it.
    void SetVisibleRows(int rows);

    int Count() const { return m_count; }
    bool IsEmpty() const { return m_count <= 0; }
    int VisibleRows() const { return m_visibleRows; }
    int FirstRow() const { return m_firstRow; }
    int CurrentRow() const { return m_currentRow; }
    int MaxFirstRow() const { return m_maxFirstRow; }
    // The selected entry (first row + current row).
    int Selected() const { return m_firstRow + m_currentRow; }
    // The entry shown in a row of the view, -1 when that row holds none.
    int EntryAtRow(int row) const;

    // Each returns true when the first row or the current row changed.
    bool ScrollTo(int firstRow);
    bool SetCurrentRow(int row);
    bool Home();
    bool End();
    bool Up();
    bool Down();
    bool PageUp();
    bool PageDown();

private:
    bool Change(int firstRow, int currentRow);

    int m_count = 0;
    int m_visibleRows = 0;
    int m_firstRow = 0;
    int m_currentRow = 0;
    int m_maxFirstRow = 0;
};
