#include "FileBrowserPanel.h"

#include "FileListView.h"

#include <QLineEdit>
#include <QPushButton>
#include <QResizeEvent>

CFileBrowserPanel::CFileBrowserPanel(QWidget *parent)
    : QFrame(parent),
      m_nameBox(new QLineEdit(this)),
      m_selectButton(new QPushButton(QStringLiteral("..."), this)),
      m_fileList(new CFileListView(this)),
      m_infoBox(new QLineEdit(this))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_nameBox->setReadOnly(true);
    m_infoBox->setReadOnly(true);
    connect(m_fileList, &CFileListView::informationChanged, m_infoBox, [this](const QString &text) {
        m_infoBox->setText(text);
        // The size comes first: a narrow panel shows the start of the text,
        // not the end where the line edit puts its cursor.
        m_infoBox->setCursorPosition(0);
    });
    resize(204, 503);
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
