#include "SelectFilesDialog.h"

#include "FrameServices.h"
#include "NandTexts.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int DialogWidth = 500;
constexpr int DialogHeight = 269;

// Two paths name the same file when they resolve to the same place.
QString Canonical(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QFileInfo(path).absoluteFilePath() : canonical;
}

} // namespace

CSelectFilesDialog::CSelectFilesDialog(const QString &excludedPath, QWidget *parent)
    : QDialog(parent), m_excludedPath(excludedPath)
{
    setWindowTitle(QStringLiteral("Select Files"));
    resize(DialogWidth, DialogHeight);

    m_list = new QListWidget(this);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_remove = new QPushButton(QStringLiteral(">>"), this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *side = new QVBoxLayout;
    side->addWidget(m_browse);
    side->addWidget(m_remove);
    side->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(m_list, 1);
    row->addLayout(side);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);

    connect(m_browse, &QPushButton::clicked, this, &CSelectFilesDialog::browse);
    connect(m_remove, &QPushButton::clicked, this, &CSelectFilesDialog::removeSelected);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QStringList CSelectFilesDialog::paths() const
{
    QStringList result;
    for (int row = 0; row < m_list->count(); ++row)
        result << m_list->item(row)->text();
    return result;
}

bool CSelectFilesDialog::addPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString canonical = Canonical(path);
    if (!m_excludedPath.isEmpty() && canonical == Canonical(m_excludedPath))
        return false;
    for (const QString &listed : paths()) {
        if (Canonical(listed) == canonical)
            return false;
    }
    m_list->addItem(path);
    return true;
}

void CSelectFilesDialog::browse()
{
    addPath(Frame()->GetOpenFileName(Text(NandTextId::LoadBinaryFile), Frame()->WorkDir(),
                                     QStringLiteral("Binary files (*.bin);;All files (*.*)")));
}

void CSelectFilesDialog::removeSelected()
{
    const int row = m_list->currentRow();
    if (row >= 0)
        delete m_list->takeItem(row);
}
