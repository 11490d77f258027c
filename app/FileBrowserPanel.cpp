#include "FileBrowserPanel.h"

#include "FileListView.h"
#include "FileSizeText.h"

#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QTimer>

CFileBrowserPanel::CFileBrowserPanel(QWidget *parent)
    : QFrame(parent),
      m_nameBox(new QLineEdit(this)),
      m_selectButton(new QPushButton(QStringLiteral("..."), this)),
      m_fileList(new CFileListView(this)),
      m_infoBox(new QLineEdit(this)),
      m_infoRefresh(new QTimer(this))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_nameBox->setReadOnly(true);
    m_infoBox->setReadOnly(true);
    connect(m_fileList, &CFileListView::informationChanged, this, &CFileBrowserPanel::ShowInformation);
    connect(m_infoRefresh, &QTimer::timeout, this, &CFileBrowserPanel::RefreshInformation);
    m_infoRefresh->start(InfoRefreshMs);
    resize(204, 503);
}

void CFileBrowserPanel::ShowInformation(const QString &text)
{
    m_infoBox->setText(text);
    // The size comes first: a narrow panel shows the start of the text,
    // not the end where the line edit puts its cursor.
    m_infoBox->setCursorPosition(0);
}

void CFileBrowserPanel::RefreshInformation()
{
    const QFileInfo *entry = isVisible() ? m_fileList->SelectedEntry() : nullptr;
    if (!entry)
        return;
    // A fresh look at the file: the listed entry keeps what it saw then.
    const QFileInfo now(entry->absoluteFilePath());
    if (!now.exists())
        return;
    const QString text = FileInfoText(now);
    if (text != m_infoBox->text())
        ShowInformation(text);
}

void CFileBrowserPanel::ShowDirectory(const QString &path)
{
    m_nameBox->setText(LastComponent(path));
    m_fileList->ListDirectory(path);
}

QString CFileBrowserPanel::LastComponent(const QString &path)
{
    QString trimmed = path;
    if (trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    return trimmed.mid(trimmed.lastIndexOf(QLatin1Char('/')) + 1);
}

CFileBrowserPanel::SGeometry CFileBrowserPanel::GeometryFor(int width, int height)
{
    // Corners are inclusive: QRect(QPoint, QPoint) takes them as they stand.
    return {
        QRect(QPoint(5, 5), QPoint(width - 32, 25)),
        QRect(QPoint(width - 26, 5), QPoint(width - 6, 25)),
        QRect(QPoint(5, 35), QPoint(width - 6, height - 33)),
        QRect(QPoint(5, height - 26), QPoint(width - 6, height - 6)),
    };
}

void CFileBrowserPanel::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const SGeometry geometry = GeometryFor(event->size().width(), event->size().height());
    m_nameBox->setGeometry(geometry.nameBox);
    m_selectButton->setGeometry(geometry.selectButton);
    m_fileList->setGeometry(geometry.fileList);
    m_infoBox->setGeometry(geometry.infoBox);
}
