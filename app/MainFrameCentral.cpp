// The central widget, rebuilt for every target: file panel, buffer tabs with
// the message log, the NAND bad-block maps and the console; and the rules by
// which other parts find the views in it.

#include "MainFrame.h"

#include "AppFont.h"
#include "AppSettings.h"
#include "BadBlockView.h"
#include "ConsoleView.h"
#include "FileBrowserPanel.h"
#include "HexView.h"
#include "MemoryNode.h"
#include "NandWindowLink.h"
#include "Programmer.h"
#include "UiText.h"
#include "WindowLayout.h"

#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>

namespace {
enum CentralTextIndex : int {
    UI_MESSAGE_LOG = 76,
};

constexpr int SPLITTER_HANDLE_WIDTH = 4;
const char *const BAD_BLOCK_TAB = "BadBlock";

int ScreenHeight()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->size().height() : 768;
}

QList<int> StoredSplitterSizes(int key, Splitter splitter)
{
    return SplitterSizesFromSetting(AppSettings().ReadStringList(key), splitter, ScreenHeight());
}
} // namespace

void CMainFrame::BuildCentralWidget()
{
    // The console keeps its history across targets: it leaves the old
    // central widget before that is deleted.
    if (m_console)
        m_console->setParent(this);
    delete takeCentralWidget();
    m_mainSplitter = nullptr;
    m_vSplitter = nullptr;
    m_filePanel = nullptr;
    m_logPanel = nullptr;
    m_tabs = nullptr;

    ApplyGeometry();
    m_mainSplitter = new QSplitter(Qt::Horizontal);

    m_filePanel = new CFileBrowserPanel(m_mainSplitter);
    m_filePanel->ShowDirectory(m_workDir);
    connect(m_filePanel->SelectDirectoryButton(), &QPushButton::clicked, this, &CMainFrame::OnSelectWorkDir);
    m_mainSplitter->addWidget(m_filePanel);

    m_vSplitter = new QSplitter(Qt::Vertical);
    m_vSplitter->setHandleWidth(SPLITTER_HANDLE_WIDTH);

    m_logPanel = new QPlainTextEdit;
    m_logPanel->setReadOnly(true);
    m_logPanel->setFont(AppFont());

    m_tabs = new QTabWidget;
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->addTab(m_logPanel, Text(UI_MESSAGE_LOG));
    AddBufferTabs();
    if (IsNandTarget())
        AddBadBlockTab();

    if (!m_console)
        m_console = new CConsoleView;
    m_vSplitter->addWidget(m_tabs);
    m_vSplitter->addWidget(m_console);
    m_console->show();
    m_vSplitter->setSizes(StoredSplitterSizes(SET_WINDOWS_2, Splitter::TabsOverConsole));

    m_mainSplitter->addWidget(m_vSplitter);
    m_mainSplitter->setHandleWidth(SPLITTER_HANDLE_WIDTH);
    m_mainSplitter->setChildrenCollapsible(false);
    m_mainSplitter->setSizes(StoredSplitterSizes(SET_WINDOWS_1, Splitter::FilesBesideRight));

    setCentralWidget(m_mainSplitter);
    m_console->setFocus();
}

void CMainFrame::AddBufferTabs()
{
    if (!m_programmer)
        return;
    QSplitter *side = nullptr;
    for (int i = 0;; ++i) {
        CMemoryNode *buffer = m_programmer->buffer(i);
        if (!buffer)
            break;
        if (!IsNandTarget()) {
            m_tabs->addTab(new CHexView(buffer), buffer->GetName());
            continue;
        }
        // NAND: the image and the target image side by side in one tab.
        if (!side) {
            side = new QSplitter(Qt::Horizontal);
            m_tabs->addTab(side, buffer->GetName());
        }
        side->addWidget(new CHexView(buffer));
    }
}

void CMainFrame::AddBadBlockTab()
{
    auto *nand = dynamic_cast<CNandWindowLink *>(m_programmer.get());
    if (!nand)
        return;
    auto *maps = new QSplitter(Qt::Horizontal);
    auto *sourceView = new CBadBlockView;
    auto *targetView = new CBadBlockView;
    sourceView->bind(nand->sourceBbt());
    targetView->bind(nand->targetBbt());
    maps->addWidget(sourceView);
    maps->addWidget(targetView);
    nand->setBadBlockViews(sourceView, targetView);
    m_tabs->addTab(maps, QString::fromLatin1(BAD_BLOCK_TAB));
}

int CMainFrame::BadBlockTabIndex() const
{
    if (!m_tabs)
        return -1;
    for (int i = 0; i < m_tabs->count(); ++i) {
        if (m_tabs->tabText(i).contains(QLatin1String(BAD_BLOCK_TAB)))
            return i;
    }
    return -1;
}

void CMainFrame::BufferChanged(CMemoryNode *buffer)
{
    if (!m_tabs || !buffer)
        return;
    auto refresh = [this, buffer](QWidget *widget, bool tabIsCurrent) {
        auto *view = qobject_cast<CHexView *>(widget);
        if (!view || view->buffer() != buffer)
            return;
        view->Refresh();
        if (tabIsCurrent)
            view->viewport()->update();
    };
    for (int i = 1; i < m_tabs->count(); ++i) {
        QWidget *page = m_tabs->widget(i);
        const bool current = m_tabs->currentIndex() == i;
        if (auto *splitter = qobject_cast<QSplitter *>(page)) {
            for (int w = 0; w < splitter->count(); ++w)
                refresh(splitter->widget(w), current);
        } else {
            refresh(page, current);
        }
    }
}

void CMainFrame::RefreshBadBlockView(int view)
{
    const int index = BadBlockTabIndex();
    if (index < 0)
        return;
    auto *splitter = qobject_cast<QSplitter *>(m_tabs->widget(index));
    if (!splitter)
        return;
    if (view == 0) {
        if (m_tabs->currentIndex() != index)
            return;
        for (int w = 0; w < splitter->count(); ++w)
            splitter->widget(w)->update();
        return;
    }
    if (view >= 1 && view <= splitter->count()) {
        if (auto *map = qobject_cast<CBadBlockView *>(splitter->widget(view - 1)))
            map->refresh();
    }
}

void CMainFrame::ShowAddressRange(uint64_t start, uint64_t length, const void *askingView)
{
    if (!m_tabs)
        return;
    const uint64_t end = length ? start + length - 1 : start;
    auto show = [this](CHexView *view, int tab, uint64_t first, uint64_t last) {
        // The tab comes to the front first, so the view scrolls with the size
        // it is shown at rather than the size it had while hidden.
        m_tabs->setCurrentIndex(tab);
        view->ShowRange(first, last, true);
    };

    // The asking map's position among all maps picks the hex view of the
    // same position in a splitter tab.
    int askingPosition = -1;
    if (askingView) {
        int position = 0;
        for (int i = 1; i < m_tabs->count() && askingPosition < 0; ++i) {
            auto *splitter = qobject_cast<QSplitter *>(m_tabs->widget(i));
            for (int w = 0; splitter && w < splitter->count(); ++w) {
                if (!qobject_cast<CBadBlockView *>(splitter->widget(w)))
                    continue;
                if (splitter->widget(w) == askingView) {
                    askingPosition = position;
                    break;
                }
                ++position;
            }
        }
    }

    for (int i = 1; i < m_tabs->count(); ++i) {
        QWidget *page = m_tabs->widget(i);
        if (auto *view = qobject_cast<CHexView *>(page)) {
            if (view->buffer()->Contains(start))
                show(view, i, start, end);
            continue;
        }
        auto *splitter = qobject_cast<QSplitter *>(page);
        if (!splitter || (askingView && askingPosition < 0))
            continue;
        int k = 0;
        for (int w = 0; w < splitter->count(); ++w) {
            auto *view = qobject_cast<CHexView *>(splitter->widget(w));
            if (!view || !view->buffer()->Contains(start))
                continue;
            if (!askingView || k == askingPosition) {
                show(view, i, start, end);
                return;
            }
            ++k;
        }
    }
}
