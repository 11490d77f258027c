#include "DeviceSelectDialog.h"

#include "AppSettings.h"
#include "DeviceDatabase.h"
#include "DeviceTexts.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

namespace {
enum SelectTextIndex : int {
    UI_TYPE = 38,
    UI_DIALOG_TITLE = 121,
    UI_SEARCH_FOR = 122,
    UI_MANUFACTURE = 123,
    UI_DEVICE = 124,
    UI_FAVORITES = 125,
    UI_TIPS = 129,
};

constexpr QSize DIALOG_SIZE(740, 470);
constexpr QRect SEARCH_BOX(10, 10, 720, 34);
constexpr QRect SEARCH_LABEL(20, 7, 101, 20);
constexpr QRect SEARCH_EDIT(140, 7, 250, 20);
constexpr QRect TYPE_LABEL(40, 50, 101, 20);
constexpr QRect FAMILY_BOX(10, 80, 140, 180);
constexpr QRect ALL_RADIO(10, 30, 100, 17);
constexpr int RADIO_STEP = 20;
constexpr QRect MFG_LABEL(180, 50, 101, 20);
constexpr QRect MFG_LIST(160, 80, 140, 180);
constexpr QRect DEVICE_LABEL(360, 50, 101, 20);
constexpr QRect DEVICE_LIST(310, 80, 200, 180);
constexpr QRect FAVORITE_LABEL(580, 50, 101, 20);
constexpr QRect FAVORITE_LIST(560, 80, 170, 180);
constexpr QRect ADD_BUTTON(520, 120, 30, 30);
constexpr QRect REMOVE_BUTTON(520, 180, 30, 30);
constexpr QRect INFO_BOX(10, 280, 720, 80);
constexpr QRect INFO_DEVICE_CAPTION(20, 10, 80, 20);
constexpr QRect INFO_DEVICE_NAME(110, 10, 240, 20);
constexpr QRect INFO_MFG_CAPTION(20, 30, 80, 20);
constexpr QRect INFO_MFG_NAME(110, 30, 240, 20);
constexpr QRect TIP_LABEL(10, 370, 720, 80);
constexpr QRect SELECT_BUTTON(230, 435, 75, 23);
constexpr QRect CANCEL_BUTTON(380, 435, 75, 23);

const char *const HIGHLIGHT_STYLE = "QLabel{color:rgb(100,0,150)}";
const char *const TIP_STYLE = "QLabel{color:rgb(100,0,150);font:13px}";

QLabel *MakeLabel(const QString &text, const QRect &rect, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(rect);
    // A caption wider than its place (a longer translation, a larger font)
    // grows to the right instead of being cut.
    if (label->sizeHint().width() > rect.width())
        label->resize(label->sizeHint().width(), rect.height());
    return label;
}

bool ListHasText(const QListWidget *list, const QString &text)
{
    return !list->findItems(text, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty();
}
} // namespace

QString RemoveFavorite(const QString &favorites, const QString &name)
{
    const QString entry = name + QLatin1Char(',');
    for (qsizetype at = favorites.indexOf(entry); at >= 0; at = favorites.indexOf(entry, at + 1)) {
        if (at == 0 || favorites.at(at - 1) == QLatin1Char(','))
            return QString(favorites).remove(at, entry.size());
    }
    return favorites;
}

CDeviceSelectDialog::CDeviceSelectDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setModal(true);
    setWindowTitle(DeviceUiText(UI_DIALOG_TITLE));
    setWindowIcon(QIcon(QStringLiteral(":/images/usbprog.png")));
    setFixedSize(DIALOG_SIZE);
    CreateWidgets();
    ConnectSignals();

    m_familyButtons.front()->setChecked(true);
    LoadFavorites();
    m_family = AllFamilies;
    m_mfgFilter.clear();
    FillManufacturers();
    FillDevices();
}

void CDeviceSelectDialog::CreateWidgets()
{
    auto *searchBox = new QGroupBox(this);
    searchBox->setGeometry(SEARCH_BOX);
    MakeLabel(DeviceUiText(UI_SEARCH_FOR), SEARCH_LABEL, searchBox);
    m_searchEdit = new QLineEdit(searchBox);
    m_searchEdit->setGeometry(SEARCH_EDIT);

    MakeLabel(DeviceUiText(UI_TYPE), TYPE_LABEL, this);
    auto *familyBox = new QGroupBox(this);
    familyBox->setGeometry(FAMILY_BOX);
    QRect radioRect = ALL_RADIO;
    auto addRadio = [&](const QString &text) {
        auto *radio = new QRadioButton(text, familyBox);
        radio->setGeometry(radioRect);
        radioRect.translate(0, RADIO_STEP);
        m_familyButtons.push_back(radio);
    };
    addRadio(QStringLiteral("ALL"));
    for (const auto &family : DeviceFamilies())
        addRadio(family->m_name);

    MakeLabel(DeviceUiText(UI_MANUFACTURE), MFG_LABEL, this);
    m_mfgList = new QListWidget(this);
    m_mfgList->setGeometry(MFG_LIST);
    m_mfgList->setSortingEnabled(true);

    MakeLabel(DeviceUiText(UI_DEVICE), DEVICE_LABEL, this);
    m_deviceList = new QListWidget(this);
    m_deviceList->setGeometry(DEVICE_LIST);

    MakeLabel(DeviceUiText(UI_FAVORITES), FAVORITE_LABEL, this);
    m_favoriteList = new QListWidget(this);
    m_favoriteList->setGeometry(FAVORITE_LIST);
    m_favoriteList->setSortingEnabled(true);

    auto *add = new QPushButton(QStringLiteral(">>"), this);
    add->setObjectName(QStringLiteral("addFavorite"));
    add->setGeometry(ADD_BUTTON);
    add->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &CDeviceSelectDialog::OnAddFavorite);
    auto *remove = new QPushButton(QStringLiteral("<<"), this);
    remove->setObjectName(QStringLiteral("removeFavorite"));
    remove->setGeometry(REMOVE_BUTTON);
    remove->setAutoDefault(false);
    connect(remove, &QPushButton::clicked, this, &CDeviceSelectDialog::OnRemoveFavorite);

    auto *infoBox = new QGroupBox(this);
    infoBox->setGeometry(INFO_BOX);
    MakeLabel(DeviceUiText(UI_DEVICE), INFO_DEVICE_CAPTION, infoBox);
    m_deviceNameLabel = MakeLabel(QStringLiteral("-"), INFO_DEVICE_NAME, infoBox);
    MakeLabel(DeviceUiText(UI_MANUFACTURE), INFO_MFG_CAPTION, infoBox);
    m_mfgNameLabel = MakeLabel(QStringLiteral("-"), INFO_MFG_NAME, infoBox);

    QLabel *tip = MakeLabel(DeviceUiText(UI_TIPS), TIP_LABEL, this);
    tip->setStyleSheet(QString::fromLatin1(TIP_STYLE));
    tip->setWordWrap(true);
    tip->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto *select = new QPushButton(DeviceUiText(UI_SELECT), this);
    select->setObjectName(QStringLiteral("selectButton"));
    select->setGeometry(SELECT_BUTTON);
    select->setDefault(true);
    connect(select, &QPushButton::clicked, this, &CDeviceSelectDialog::accept);
    auto *cancel = new QPushButton(DeviceUiText(UI_CANCEL), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setGeometry(CANCEL_BUTTON);
    cancel->setAutoDefault(false);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CDeviceSelectDialog::ConnectSignals()
{
    for (QRadioButton *radio : m_familyButtons)
        connect(radio, &QRadioButton::released, this, &CDeviceSelectDialog::OnFamilyChanged);
    connect(m_mfgList, &QListWidget::currentRowChanged, this, &CDeviceSelectDialog::OnManufacturerChanged);
    connect(m_deviceList, &QListWidget::currentRowChanged, this, &CDeviceSelectDialog::OnDeviceHighlighted);
    connect(m_deviceList, &QListWidget::itemDoubleClicked, this, &CDeviceSelectDialog::OnItemChosen);
    connect(m_favoriteList, &QListWidget::itemDoubleClicked, this, &CDeviceSelectDialog::OnItemChosen);
    connect(m_deviceList, &QListWidget::itemClicked, this, [this] { m_favoritesFocus = false; });
    connect(m_favoriteList, &QListWidget::itemClicked, this, [this] { m_favoritesFocus = true; });
    connect(m_searchEdit, &QLineEdit::textEdited, this, &CDeviceSelectDialog::OnSearch);
}

void CDeviceSelectDialog::LoadFavorites()
{
    const QString stored = AppSettings().ReadString(SET_FAVORITE_DEVICES);
    m_favorites.clear();
    // Only names followed by a comma count; the scan ends at an empty name.
    const QStringList parts = stored.split(QLatin1Char(','));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QString &name = parts.at(i);
        if (name.isEmpty())
            break;
        if (FindByName(name) && !HasFavorite(name)) {
            m_favoriteList->addItem(name);
            m_favorites += name + QLatin1Char(',');
        }
    }
}

void CDeviceSelectDialog::StoreFavorites()
{
    AppSettings().WriteString(SET_FAVORITE_DEVICES, m_favorites);
}

bool CDeviceSelectDialog::FamilyIncluded(int familyIndex) const
{
    return m_family == AllFamilies || m_family == familyIndex;
}

bool CDeviceSelectDialog::HasFavorite(const QString &name) const
{
    return ListHasText(m_favoriteList, name);
}

void CDeviceSelectDialog::FillManufacturers()
{
    const QSignalBlocker blocker(m_mfgList);
    m_mfgList->clear();
    const QString search = m_searchEdit->text().toUpper();
    const DeviceFamilyList &families = DeviceFamilies();
    for (int f = 0; f < int(families.size()); ++f) {
        if (!FamilyIncluded(f))
            continue;
        const auto &items = families[f]->m_items;
        for (const auto &item : items) {
            const QString &mfg = item->m_mfg;
            if (mfg.isEmpty() || ListHasText(m_mfgList, mfg))
                continue;
            if (!search.isEmpty()) {
                const QString mfgUpper = mfg.toUpper();
                const bool anyMatch = std::any_of(items.begin(), items.end(), [&](const auto &other) {
                    return other->m_mfg.toUpper() == mfgUpper && !other->m_name.isEmpty()
                           && other->m_name.toUpper().contains(search);
                });
                if (!anyMatch)
                    continue;
            }
            m_mfgList->addItem(mfg);
        }
    }
}

void CDeviceSelectDialog::FillDevices()
{
    {
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->clear();
        const QString search = m_searchEdit->text().toUpper();
        const DeviceFamilyList &families = DeviceFamilies();
        for (int f = 0; f < int(families.size()); ++f) {
            if (!FamilyIncluded(f))
                continue;
            for (const auto &item : families[f]->m_items) {
                const QString &name = item->m_name;
                if (name.isEmpty() || ListHasText(m_deviceList, name))
                    continue;
                if (!m_mfgFilter.isEmpty() && item->m_mfg != m_mfgFilter)
                    continue;
                if (!search.isEmpty() && !name.toUpper().contains(search))
                    continue;
                m_deviceList->addItem(name);
            }
        }
    }
    m_favoriteList->setCurrentRow(-1);
    m_deviceList->setCurrentRow(0);
}

void CDeviceSelectDialog::OnFamilyChanged()
{
    m_family = AllFamilies;
    for (int i = 1; i < int(m_familyButtons.size()); ++i) {
        if (m_familyButtons[i]->isChecked())
            m_family = i - 1;
    }
    m_mfgFilter.clear();
    m_searchEdit->clear();
    m_searchUpper.clear();
    FillManufacturers();
    if (m_mfgList->count() == 0) {
        m_deviceList->clear();
        return;
    }
    FillDevices();
    m_favoriteList->setCurrentRow(-1);
}

void CDeviceSelectDialog::OnManufacturerChanged(int row)
{
    if (row < 0)
        return;
    m_mfgFilter = m_mfgList->item(row)->text();
    FillDevices();
    m_favoriteList->setCurrentRow(-1);
    OnDeviceHighlighted();
}

void CDeviceSelectDialog::OnDeviceHighlighted()
{
    {
        const QSignalBlocker blocker(m_favoriteList);
        m_favoriteList->setCurrentRow(-1);
    }
    const QListWidgetItem *current = m_deviceList->currentItem();
    if (!current)
        current = m_favoriteList->currentItem();
    if (!current)
        return;
    CDeviceItem *device = FindByName(current->text());
    if (!device)
        return;
    SetCurrentDevice(device);
    m_selectedName = device->m_name;
    m_mfgNameLabel->setText(device->m_mfg);
    m_mfgNameLabel->setStyleSheet(QString::fromLatin1(HIGHLIGHT_STYLE));
    m_deviceNameLabel->setText(device->m_name);
    m_deviceNameLabel->setStyleSheet(QString::fromLatin1(HIGHLIGHT_STYLE));
}

void CDeviceSelectDialog::OnSearch(const QString &text)
{
    m_searchUpper = text.toUpper();
    {
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->clear();
        for (const auto &family : DeviceFamilies()) {
            for (const auto &item : family->m_items) {
                if (item->m_name.contains(m_searchUpper))
                    m_deviceList->addItem(item->m_name);
            }
        }
    }
    if (!text.isEmpty() && m_family != AllFamilies)
        m_familyButtons.front()->setChecked(true);
    // The first match is highlighted, as after any other filling: otherwise
    // Enter would choose the device highlighted before the search, which the
    // list no longer even shows.
    if (m_deviceList->count() > 0)
        m_deviceList->setCurrentRow(0);
}

QString CDeviceSelectDialog::NameInFocus() const
{
    if (m_favoritesFocus && m_favoriteList->currentItem())
        return m_favoriteList->currentItem()->text();
    if (m_deviceList->currentItem())
        return m_deviceList->currentItem()->text();
    return {};
}

bool CDeviceSelectDialog::Choose(const QString &name)
{
    CDeviceItem *device = FindByName(name);
    if (!device)
        return false;
    SetCurrentDevice(device);
    m_selectedName = name;
    return true;
}

void CDeviceSelectDialog::OnItemChosen(QListWidgetItem *item)
{
    if (!item)
        return;
    // The list double-clicked is the one the choice comes from, even when it
    // was not clicked before (keyboard, or the other list's highlight).
    m_favoritesFocus = item->listWidget() == m_favoriteList;
    item->listWidget()->setCurrentItem(item);
    Choose(item->text());
    accept();
}

void CDeviceSelectDialog::OnAddFavorite()
{
    const QListWidgetItem *current = m_deviceList->currentItem();
    if (!current || HasFavorite(current->text()))
        return;
    m_favoriteList->addItem(current->text());
    m_favorites += current->text() + QLatin1Char(',');
    StoreFavorites();
}

void CDeviceSelectDialog::OnRemoveFavorite()
{
    const int row = m_favoriteList->currentRow();
    if (row < 0)
        return;
    const QString name = m_favoriteList->item(row)->text();
    delete m_favoriteList->takeItem(row);
    m_favorites = RemoveFavorite(m_favorites, name);
    StoreFavorites();
    const int remaining = m_favoriteList->count();
    m_favoriteList->setCurrentRow(row < remaining ? row : -1);
    {
        const QSignalBlocker blocker(m_deviceList);
        m_deviceList->setCurrentRow(-1);
    }
    m_favoritesFocus = false;
}

void CDeviceSelectDialog::accept()
{
    const QString name = NameInFocus();
    if (!name.isEmpty())
        Choose(name);
    QDialog::accept();
}
