#include "ProgrammerDialog.h"

#include "UiText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {
enum ProgrammerTextIndex : int {
    UI_PROGRAMMER_TITLE = 242,
    UI_PROGRAMMER_FORMS = 243,
};
constexpr int LINE_MIN_WIDTH = 360;
} // namespace

CProgrammerDialog::CProgrammerDialog(const QString &line, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(Text(UI_PROGRAMMER_TITLE));
    auto *layout = new QVBoxLayout(this);
    auto *forms = new QLabel(Text(UI_PROGRAMMER_FORMS), this);
    forms->setTextFormat(Qt::PlainText);
    layout->addWidget(forms);
    m_line = new QLineEdit(line, this);
    m_line->setObjectName(QStringLiteral("programmerLine"));
    m_line->setMinimumWidth(LINE_MIN_WIDTH);
    m_line->setPlaceholderText(QStringLiteral("sim"));
    forms->setBuddy(m_line);
    layout->addWidget(m_line);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CProgrammerDialog::Line() const
{
    return m_line->text().trimmed();
}
