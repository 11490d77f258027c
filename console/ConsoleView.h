#pragma once

// The console's input pane: a self-drawn command line above the history of
// entered lines, with a blinking cursor, Up/Down browsing of the history, Tab
// completion of command names and paste from the clipboard. It shows only
// what the operator typed; every entered line goes to the command processor
// (OnConsoleLine), whose output lands in the message log.

#include <QAbstractScrollArea>
#include <QBrush>
#include <QRect>
#include <QString>
#include <QStringList>

class QAction;

class CConsoleView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    // The history keeps the most recent lines only.
    static constexpr int kHistoryLimit = 40;
    static constexpr int kBlinkMs = 500;

    // The font starts as the system's fixed-pitch font; the window sets the
    // application's own with setFont().
    explicit CConsoleView(QWidget *parent = nullptr);

    const QStringList &history() const { return m_history; }
    const QString &input() const { return m_input; }
    int topLine() const { return m_topLine; }
    int maxTop() const { return m_maxTop; }
    int visibleLines() const { return m_visibleLines; }
    QRect cursorRect() const { return m_cursorRect; }
    bool isCursorShown() const { return m_blinkOn; }
    QAction *pasteAction() const { return m_pasteAction; }
    QAction *clearAction() const { return m_clearAction; }

public slots:
    // Appends the clipboard's text, line breaks included, to the input.
    void Paste();
    // Forgets the history and the input.
    void Clear();

protected:
    bool event(QEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void RecomputeLayout();
    void EnsureLayout();
    void UpdateScrollBar();
    void ScrollToBottom();
    void CompleteOnTab();
    void EnterLine();
    // Keeps a non-empty entered line and moves the view to the newest one.
    void AddToHistory(const QString &line);
    void BrowseUp();
    void BrowseDown();
    void Repaint();

    bool m_browsing = false;
    QStringList m_history;
    int m_historyPos = 0;
    QString m_completionPrefix;
    int m_visibleLines = 1;
    int m_lineHeight = 1;
    int m_charWidth = 1;
    QRect m_contentRect;
    int m_topLine = 0;
    int m_maxTop = 0;
    QRect m_cursorRect;
    QString m_input;
    bool m_layoutDirty = true;
    int m_blinkTimerId = 0;
    bool m_blinkOn = false;
    QBrush m_background;
    QBrush m_cursorBrush;
    QAction *m_pasteAction = nullptr;
    QAction *m_clearAction = nullptr;
    bool m_updatingScrollBar = false;  // our own scroll bar changes are no scrolling
};
