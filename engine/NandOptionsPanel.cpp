#include "NandOptionsPanel.h"

#include "UiText.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <climits>

namespace {
constexpr int StartBlockLabel = 188;   // "Start Block:"
constexpr int BlockCountLabel = 189;   // "Number of Blocks:"
constexpr int CopyBadBlocksLabel = 190; // "Copy source badblock"

int ValidatorLimit(uint32_t value)
{
    return int(std::min<uint32_t>(value, INT_MAX));
}
} // namespace

CNandOptionsPanel::CNandOptionsPanel(uint32_t blockCount, QWidget *parent)
    : QWidget(parent), m_chipBlocks(blockCount)
{
    setFixedWidth(PanelWidth);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *startLabel = new QLabel(this);
    m_startEdit = new QLineEdit(QString::number(0), this);
    m_startEdit->setValidator(new QIntValidator(0, ValidatorLimit(blockCount ? blockCount - 1 : 0), m_startEdit));
    auto *countLabel = new QLabel(this);
    m_countEdit = new QLineEdit(QString::number(blockCount), this);
    m_countValidator = new QIntValidator(1, ValidatorLimit(std::max<uint32_t>(blockCount, 1)), m_countEdit);
    m_countEdit->setValidator(m_countValidator);
    auto *copyLabel = new QLabel(this);
    m_copyBadBlocks = new QCheckBox(this);
    m_copyBadBlocks->setChecked(true);

    // Registered, so a language change re-labels the panel too.
    g_uiText.RegisterLabel(startLabel, StartBlockLabel);
    g_uiText.RegisterLabel(countLabel, BlockCountLabel);
    g_uiText.RegisterLabel(copyLabel, CopyBadBlocksLabel);

    layout->addWidget(startLabel);
    layout->addWidget(m_startEdit);
    layout->addWidget(countLabel);
    layout->addWidget(m_countEdit);
    layout->addWidget(copyLabel);
    layout->addWidget(m_copyBadBlocks);
    layout->addStretch();

    connect(m_startEdit, &QLineEdit::textEdited, this, &CNandOptionsPanel::onStartEdited);
}

uint32_t CNandOptionsPanel::startBlock() const
{
    const uint32_t typed = m_startEdit->text().toUInt();
    return m_chipBlocks ? std::min(typed, m_chipBlocks - 1) : 0;
}

uint32_t CNandOptionsPanel::blockCount() const
{
    const uint32_t room = m_chipBlocks - startBlock();
    const uint32_t typed = m_countEdit->text().toUInt();
    return typed >= 1 && typed <= room ? typed : room;
}

bool CNandOptionsPanel::copySourceBadBlocks() const
{
    return m_copyBadBlocks->isChecked();
}

void CNandOptionsPanel::onStartEdited(const QString &)
{
    const uint32_t start = startBlock();
    const uint32_t room = m_chipBlocks - start;
    m_countValidator->setTop(ValidatorLimit(std::max<uint32_t>(room, 1)));
    m_countEdit->setText(QString::number(room));
    emit windowEdited(start, room);
}
