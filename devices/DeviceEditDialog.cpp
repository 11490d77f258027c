#include "DeviceEditDialog.h"

#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "DeviceKeys.h"
#include "DeviceTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>

namespace {
enum EditTextIndex : int {
    UI_MANUFACTURE = 123,
    UI_NAME = 145,
};

constexpr QSize DIALOG_SIZE(391, 269);
constexpr int ID_STEP = 60;
constexpr QRect ID_LABEL(20, 10, 30, 16);
constexpr QRect ID_FIELD(40, 10, 30, 20);
constexpr QRect NAME_LABEL(20, 40, 30, 16);
constexpr QRect NAME_FIELD(80, 40, 230, 20);
constexpr QRect MFG_LABEL(20, 70, 100, 16);
constexpr QRect MFG_BOX(150, 70, 180, 25);
constexpr QRect SIZE_LABEL(20, 100, 30, 16);
constexpr QRect SIZE_FIELD(80, 100, 230, 20);
constexpr QRect GEOMETRY1_LABEL(20, 130, 60, 20);
constexpr QRect GEOMETRY1_FIELD(80, 130, 50, 20);
constexpr QRect GEOMETRY2_LABEL(140, 130, 60, 20);
constexpr QRect GEOMETRY2_FIELD(210, 130, 50, 20);
constexpr QRect PIN_LABEL(270, 130, 40, 20);
constexpr QRect PIN_BOX(320, 130, 50, 20);
constexpr QRect BUTTONS(90, 230, 190, 32);

// Identification texts shorter than this leave the byte out.
constexpr int MIN_ID_CHARS = 2;

QLabel *PlaceLabel(const QString &text, const QRect &rect, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setGeometry(rect);
    return label;
}

QLineEdit *PlaceField(const QRect &rect, QWidget *parent)
{
    auto *field = new QLineEdit(parent);
    field->setGeometry(rect);
    return field;
}
} // namespace

CDeviceEditDialog::CDeviceEditDialog(QWidget *parent, int kind, const QString &title)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_kind(kind == DEVICE_SPI ? DEVICE_SPI : DEVICE_NAND)
{
    if (m_kind == DEVICE_SPI)
        m_entry = std::make_unique<CDeviceItemSPIFlash>();
    else
        m_entry = std::make_unique<CDeviceItemNand>();
    setModal(true);
    setWindowTitle(title);
    setFixedSize(DIALOG_SIZE);
    CreateWidgets();
    FillManufacturers();
}

CDeviceEditDialog::~CDeviceEditDialog() = default;

void CDeviceEditDialog::CreateWidgets()
{
    // The identification fields come first, so a caller finds them by index.
    const int idCount = m_kind == DEVICE_SPI ? CDeviceItemSPIFlash::ID_BYTES : CDeviceItemNand::ID_BYTES;
    for (int i = 0; i < idCount; ++i) {
        PlaceLabel(QStringLiteral("ID%1").arg(i + 1), ID_LABEL.translated(ID_STEP * i, 0), this);
        m_ids.push_back(PlaceField(ID_FIELD.translated(ID_STEP * i, 0), this));
    }
    PlaceLabel(DeviceUiText(UI_NAME), NAME_LABEL, this);
    m_name = PlaceField(NAME_FIELD, this);
    PlaceLabel(DeviceUiText(UI_MANUFACTURE), MFG_LABEL, this);
    m_mfg = new QComboBox(this);
    m_mfg->setGeometry(MFG_BOX);
    m_mfg->setEditable(false);
    PlaceLabel(QStringLiteral("Size"), SIZE_LABEL, this);
    m_size = PlaceField(SIZE_FIELD, this);

    const bool spi = m_kind == DEVICE_SPI;
    PlaceLabel(spi ? QStringLiteral("Sector Size") : QStringLiteral("Page Size"), GEOMETRY1_LABEL, this);
    m_geometry1 = PlaceField(GEOMETRY1_FIELD, this);
    PlaceLabel(spi ? QStringLiteral("Sector Num") : QStringLiteral("Block Size"), GEOMETRY2_LABEL, this);
    m_geometry2 = PlaceField(GEOMETRY2_FIELD, this);
    PlaceLabel(spi ? QStringLiteral("IO Pins") : QStringLiteral("CE Pins"), PIN_LABEL, this);
    m_pins = new QComboBox(this);
    m_pins->setGeometry(PIN_BOX);
    m_pins->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")});
    m_pins->setCurrentIndex(0);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    buttons->setGeometry(BUTTONS);
    connect(buttons, &QDialogButtonBox::accepted, this, &CDeviceEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CDeviceEditDialog::FillManufacturers()
{
    const DeviceFamilyList &families = DeviceFamilies();
    if (m_kind >= int(families.size()))
        return;
    for (const auto &item : families[m_kind]->m_items) {
        if (m_mfg->findText(item->m_mfg, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0)
            m_mfg->addItem(item->m_mfg);
    }
    m_mfg->setCurrentIndex(m_mfg->count() > 0 ? 0 : -1);
}

QLineEdit *CDeviceEditDialog::IdField(int index) const
{
    return index >= 0 && index < int(m_ids.size()) ? m_ids[index] : nullptr;
}

void CDeviceEditDialog::accept()
{
    m_entry->m_name = m_name->text();
    m_entry->m_mfg = m_mfg->currentText();
    m_entry->m_size = ParseHex(m_size->text());
    if (m_kind == DEVICE_SPI)
        FillSpiEntry();
    else
        FillNandEntry();
    QDialog::accept();
}

void CDeviceEditDialog::FillNandEntry()
{
    auto *nand = static_cast<CDeviceItemNand *>(m_entry.get());
    for (int i = 0; i < int(m_ids.size()); ++i) {
        const QString text = m_ids[i]->text();
        if (text.size() < MIN_ID_CHARS)
            continue;
        nand->m_id[i] = static_cast<uint8_t>(ParseHex(text));
        nand->m_idValid[i] = 1;
    }
    nand->m_pageSize = static_cast<uint32_t>(ParseHex(m_geometry1->text()));
    nand->m_pagesPerBlock = static_cast<uint32_t>(ParseHex(m_geometry2->text()));
    nand->m_ceCount = m_pins->currentText().toInt();
}

void CDeviceEditDialog::FillSpiEntry()
{
    auto *spi = static_cast<CDeviceItemSPIFlash *>(m_entry.get());
    for (int i = 0; i < int(m_ids.size()); ++i) {
        const QString text = m_ids[i]->text();
        if (text.size() >= MIN_ID_CHARS)
            spi->m_id[i] = static_cast<uint8_t>(ParseHex(text));
    }
    spi->m_sectorSize = static_cast<uint32_t>(ParseHex(m_geometry1->text()));
    spi->m_sectorCount = static_cast<uint32_t>(ParseHex(m_geometry2->text()));
    spi->m_ioMode = m_pins->currentText().toInt();
}
