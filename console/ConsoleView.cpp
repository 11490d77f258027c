#include "ConsoleView.h"

#include "CmdProcessor.h"
#include "UiText.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QRegularExpression>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

CConsoleView::CConsoleView(QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_background(QColor(255, 255, 255, 255))
    , m_cursorBrush(QColor(0, 0, 0, 255))
{
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setCursor(Qt::IBeamCursor);
    m_lineHeight = std::max(1, fontMetrics().height());
    m_cursorRect = QRect(0, 0, 1, m_lineHeight);
    m_blinkTimerId = startTimer(kBlinkMs);

    m_pasteAction = new QAction(this);
    m_pasteAction->setShortcuts(QKeySequence::Paste);
    g_uiText.RegisterAction(m_pasteAction, 79, 80);
    connect(m_pasteAction, &QAction::triggered, this, &CConsoleView::Paste);
    m_clearAction = new QAction(this);
    g_uiText.RegisterAction(m_clearAction, 43, 107);
    connect(m_clearAction, &QAction::triggered, this, &CConsoleView::Clear);
}

void CConsoleView::Paste()
{
    const QString text = QApplication::clipboard()->text();
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n\r|\n|\r"));
    QStringList lines = text.split(lineEnd);
    // A single line (a trailing line end aside) is typed into the input.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() <= 1) {
        m_input += lines.isEmpty() ? QString() : lines.first();
        Repaint();
        return;
    }
    // Several lines run one after another, as the lines of a script: the
    // text typed so far begins the first of them.
    lines.first().prepend(m_input);
    m_input.clear();
    for (const QString &line : lines)
        AddToHistory(line);
    Repaint();
    g_cmdProcessor.RunLines(lines);
}

void CConsoleView::Clear()
{
    m_history.clear();
    m_browsing = false;
    m_completionPrefix.clear();
    m_input.clear();
    RecomputeLayout();
    Repaint();
}

void CConsoleView::Repaint()
{
    viewport()->update();
}

// --- layout and scrolling

void CConsoleView::RecomputeLayout()
{
    m_layoutDirty = false;
    const QFontMetrics metrics = fontMetrics();
    m_charWidth = metrics.horizontalAdvance(QLatin1Char('0'));
    m_lineHeight = std::max(1, metrics.height());
    m_cursorRect.setHeight(m_lineHeight);
    const QRect area = viewport()->rect();
    m_contentRect = QRect(QPoint(1, 1), QPoint(area.width() - 2, area.height() - 2)).normalized();
    // At least the input row, however small the pane.
    m_visibleLines = std::max(1, m_contentRect.height() / m_lineHeight);
    const int size = static_cast<int>(m_history.size());
    // One row stays free for the input line.
    m_maxTop = size < m_visibleLines ? 0 : size - m_visibleLines + 1;
    m_topLine = std::min(m_topLine, m_maxTop);
    UpdateScrollBar();
}

void CConsoleView::EnsureLayout()
{
    if (m_layoutDirty)
        RecomputeLayout();
}

void CConsoleView::UpdateScrollBar()
{
    m_updatingScrollBar = true;
    if (m_maxTop == 0) {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        verticalScrollBar()->setRange(0, 0);
    } else {
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QScrollBar *bar = verticalScrollBar();
        bar->setPageStep(m_visibleLines);
        bar->setRange(0, m_maxTop);
        m_topLine = std::min(m_topLine, m_maxTop);
        bar->setValue(m_topLine);
    }
    m_updatingScrollBar = false;
}

void CConsoleView::ScrollToBottom()
{
    if (m_topLine == m_maxTop)
        return;
    m_topLine = m_maxTop;
    UpdateScrollBar();
}

void CConsoleView::scrollContentsBy(int, int dy)
{
    if (m_updatingScrollBar)
        return;
    m_topLine = std::clamp(m_topLine - dy, 0, m_maxTop);
    m_updatingScrollBar = true;
    verticalScrollBar()->setValue(m_topLine);
    m_updatingScrollBar = false;
    Repaint();
}

void CConsoleView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    RecomputeLayout();
}

void CConsoleView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        m_layoutDirty = true;
    QAbstractScrollArea::changeEvent(event);
}

// --- painting and the cursor

void CConsoleView::paintEvent(QPaintEvent *event)
{
    EnsureLayout();
    QPainter painter(viewport());
    if (event->rect() == m_cursorRect) {
        // A blink: only the cursor changes, and only at the bottom.
        if (m_topLine == m_maxTop)
            painter.fillRect(m_cursorRect, m_blinkOn ? m_cursorBrush : m_background);
        return;
    }
    painter.setFont(font());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(m_background);
    painter.fillRect(m_contentRect, m_background);
    QRect row(m_contentRect.left(), m_contentRect.top(), m_contentRect.width(), m_lineHeight);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    for (qsizetype i = m_topLine; i < m_history.size(); ++i) {
        painter.drawText(row, flags, QLatin1Char('-') + m_history.at(i));
        row.translate(0, m_lineHeight);
    }
    const QString inputText = QLatin1Char('-') + m_input;
    QRect drawn;
    painter.drawText(row, flags, inputText, &drawn);
    const int right = drawn.isValid() ? drawn.right() : row.left() + fontMetrics().horizontalAdvance(inputText);
    m_cursorRect.moveTo(right + 1, row.top());
}

void CConsoleView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_blinkTimerId) {
        QAbstractScrollArea::timerEvent(event);
        return;
    }
    // Without the focus the cursor ends in the off state and stays there.
    if (!m_blinkOn && !hasFocus())
        return;
    m_blinkOn = !m_blinkOn;
    viewport()->update(m_cursorRect);
}

// --- keys

bool CConsoleView::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab) {
            event->accept();
            CompleteOnTab();
            return true;
        }
        m_completionPrefix.clear();
    }
    return QAbstractScrollArea::event(event);
}

void CConsoleView::CompleteOnTab()
{
    ScrollToBottom();
    QString current = m_input;
    if (m_completionPrefix.isEmpty()) {
        m_completionPrefix = m_input;
        current.clear();
    } else {
        const bool shorter = m_completionPrefix.size() < m_input.size();
        // The input no longer continues the prefix: the operator typed anew.
        if ((shorter && !m_input.startsWith(m_completionPrefix, Qt::CaseInsensitive))
            || (!shorter && m_completionPrefix != m_input)) {
            m_completionPrefix = m_input;
            current.clear();
        }
    }
    if (g_cmdProcessor.CompleteCommand(m_completionPrefix.toUpper(), current)) {
        m_input = current;
        Repaint();
    }
}

void CConsoleView::keyPressEvent(QKeyEvent *event)
{
    event->accept();
    EnsureLayout();
    if (event->modifiers() == Qt::ControlModifier) {
        if (event->key() == Qt::Key_V)
            Paste();
        return;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
        if (!m_input.isEmpty()) {
            m_input.chop(1);
            Repaint();
        }
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EnterLine();
        return;
    case Qt::Key_Up:
        BrowseUp();
        return;
    case Qt::Key_Down:
        BrowseDown();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return;
    m_browsing = false;
    m_input += text;
    if (m_topLine != m_maxTop)
        ScrollToBottom();
    Repaint();
}

void CConsoleView::AddToHistory(const QString &line)
{
    if (!line.isEmpty()) {
        m_history.append(line);
        if (m_history.size() > kHistoryLimit)
            m_history.removeFirst();
    }
    const int size = static_cast<int>(m_history.size());
    if (size >= m_visibleLines) {
        m_topLine = m_maxTop = size - m_visibleLines + 1;
        UpdateScrollBar();
    }
    m_historyPos = size;
}

void CConsoleView::EnterLine()
{
    AddToHistory(m_input);
    const QString text = m_input;
    m_input.clear();
    // The history and the input are settled before a script may run here.
    g_cmdProcessor.OnConsoleLine(text);
    Repaint();
}

void CConsoleView::BrowseUp()
{
    ScrollToBottom();
    if (!m_browsing) {
        m_browsing = true;
        m_historyPos = static_cast<int>(m_history.size());
    }
    if (m_historyPos >= 1) {
        --m_historyPos;
        m_input = m_history.at(m_historyPos);
        Repaint();
    }
}

void CConsoleView::BrowseDown()
{
    ScrollToBottom();
    if (!m_browsing)
        return;
    if (m_historyPos < m_history.size() - 1) {
        ++m_historyPos;
        m_input = m_history.at(m_historyPos);
        Repaint();
    }
}

// --- context menu

void CConsoleView::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(m_pasteAction);
    menu.addAction(m_clearAction);
    menu.exec(event->globalPos());
}
