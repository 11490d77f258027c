#include "DeviceChoiceDialog.h"

#include "DeviceTexts.h"

#include <QListWidget>
#include <QPushButton>

namespace {
constexpr int DIALOG_WIDTH = 200;
constexpr int DIALOG_HEIGHT = 400;
constexpr QRect LIST_RECT(20, 10, 160, 350);
constexpr QRect SELECT_RECT(20, 370, 75, 23);
constexpr QRect CANCEL_RECT(110, 370, 75, 23);
} // namespace

CDeviceChoiceDialog::CDeviceChoiceDialog(const QStringList &names, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_list(new QListWidget(this))
{
    setModal(true);
    setWindowTitle(DeviceUiText(UI_SELECT_DEVICE));
    setFixedSize(DIALOG_WIDTH, DIALOG_HEIGHT);

    m_list->setGeometry(LIST_RECT);
    m_list->addItems(names);
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);

    auto *select = new QPushButton(DeviceUiText(UI_SELECT), this);
    select->setGeometry(SELECT_RECT);
    select->setDefault(true);
    auto *cancel = new QPushButton(DeviceUiText(UI_CANCEL), this);
    cancel->setGeometry(CANCEL_RECT);

    connect(select, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    // A double-click picks the row at once, as in the other device lists.
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

int CDeviceChoiceDialog::SelectedRow() const
{
    return m_list->currentRow();
}
