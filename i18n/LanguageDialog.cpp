#include "LanguageDialog.h"

#include "UiText.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>

namespace {

const QString s_englishItem = QStringLiteral("English(default)");
const QString s_languageFolder = QStringLiteral("Languages");
const QString s_languageFilePrefix = QStringLiteral("XR");

constexpr int UI_TITLE = 110;   // "Language Selection"
constexpr int UI_CAPTION = 111; // "Available Language"

} // namespace

CLanguageDialog::CLanguageDialog(QWidget *parent, const QString &languageDir, const QString &currentPath)
    : QDialog(parent)
    , m_languageDir(languageDir.isEmpty() ? DefaultLanguageDirectory() : languageDir)
{
    CreateWidgets();
    FillList(currentPath);
}

QString CLanguageDialog::DefaultLanguageDirectory()
{
    return QDir::current().absoluteFilePath(s_languageFolder);
}

QFileInfoList CLanguageDialog::LanguageFiles(const QString &languageDir)
{
    const QDir dir(languageDir);
    QFileInfoList files;
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Size | QDir::Reversed);
    // Judged by the file name alone, so that a current directory that itself
    // lies below some "Languages/XR..." folder does not admit every file.
    for (const QFileInfo &entry : entries) {
        if (entry.fileName().startsWith(s_languageFilePrefix))
            files << entry;
    }
    return files;
}

void CLanguageDialog::CreateWidgets()
{
    setWindowTitle(Text(UI_TITLE));
    setWindowIcon(QIcon(QStringLiteral(":/images/usbicon.png")));
    setFixedSize(291, 340);

    m_groupBox = new QGroupBox(this);
    m_groupBox->setGeometry(20, 5, 250, 30);
    m_caption = new QLabel(Text(UI_CAPTION), m_groupBox);
    m_caption->setGeometry(0, 0, 250, 30);
    m_caption->setAlignment(Qt::AlignCenter);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("languageList"));
    m_list->setGeometry(20, 45, 250, 235);
    m_list->setSortingEnabled(true);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &CLanguageDialog::accept);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    m_buttons->setGeometry(50, 300, 170, 23);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CLanguageDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CLanguageDialog::reject);
}

void CLanguageDialog::FillList(const QString &currentPath)
{
    QListWidgetItem *current = new QListWidgetItem(s_englishItem, m_list);
    const QString currentFile = currentPath.isEmpty() ? QString() : QFileInfo(currentPath).absoluteFilePath();
    for (const QFileInfo &file : LanguageFiles(m_languageDir)) {
        const QString name = CUiText::ReadLanguageName(file.absoluteFilePath());
        if (name.isEmpty())
            continue;
        QListWidgetItem *item = new QListWidgetItem(name, m_list);
        if (file.absoluteFilePath() == currentFile)
            current = item;
    }
    m_list->setCurrentItem(current);
}

void CLanguageDialog::accept()
{
    m_selectedPath.clear();
    const QListWidgetItem *item = m_list->currentItem();
    const QString name = item ? item->text() : QString();
    if (!name.isEmpty()) {
        // Two files may share a display name; the first one listed wins.
        for (const QFileInfo &file : LanguageFiles(m_languageDir)) {
            if (CUiText::ReadLanguageName(file.absoluteFilePath()) == name) {
                m_selectedPath = file.absoluteFilePath();
                break;
            }
        }
    }
    QDialog::accept();
}
