#include "DeviceEditorDialog.h"

#include "DeviceDatabase.h"
#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "UiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

constexpr int UI_MANUFACTURE = 123; // "Manufacture"
constexpr int UI_NAME = 145;        // "Name"

constexpr QSize DIALOG_SIZE(391, 269);

// The identification row: label i at ID_LABEL shifted by ID_STEP·i, its field
// likewise. Each label reaches under the next field's left edge, so fields are
// raised above the labels to keep their whole width clickable.
constexpr QRect ID_LABEL(20, 10, 30, 16);
constexpr QRect ID_FIELD(40, 10, 30, 20);
constexpr int ID_STEP = 60;

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
// The free band between the geometry row and the buttons.
constexpr QRect HINT_LABEL(20, 160, 351, 64);
constexpr QRect BUTTON_BOX(90, 230, 190, 32);

const QStringList s_pinCounts = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")};

// Captions are laid out for a small dialog font; a larger desktop font is
// stepped down until every caption fits its place, but not below this.
constexpr qreal MIN_CAPTION_POINT_SIZE = 6.5;
constexpr qreal POINT_SIZE_STEP = 0.5;
constexpr int MIN_CAPTION_PIXEL_SIZE = 9;
// Space kept between a caption and an input field that starts inside its rectangle.
constexpr int CAPTION_GAP = 2;
// Input fields are this tall; shorter captions beside them put their text at
// the bottom so that it sits on the same line as the field's text.
constexpr int FIELD_HEIGHT = 20;

std::unique_ptr<CDeviceItem> NewEntry(int kind)
{
    if (kind == DEVICE_SPI)
        return std::make_unique<CDeviceItemSPIFlash>();
    return std::make_unique<CDeviceItemNand>();
}

} // namespace

CDeviceEditorDialog::CDeviceEditorDialog(QWidget *parent, int kind, const QString &title)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , m_kind(kind == DEVICE_SPI ? DEVICE_SPI : DEVICE_NAND)
    , m_entry(NewEntry(m_kind))
{
    setModal(true);
    setWindowTitle(title);
    setFixedSize(DIALOG_SIZE);

    CreateIdRow();
    CreateNameRows();
    CreateGeometryRow();
    CreateHintAndButtons();
    FitCaptionFont();
    FillManufacturers();
    ConnectHintUpdates();
    UpdateHint();
}

CDeviceEditorDialog::~CDeviceEditorDialog() = default;

void CDeviceEditorDialog::CreateIdRow()
{
    const int count = m_kind == DEVICE_SPI ? CDeviceItemSPIFlash::ID_BYTES : CDeviceItemNand::ID_BYTES;
    for (int i = 0; i < count; ++i) {
        AddCaption(QStringLiteral("ID%1").arg(i + 1), ID_LABEL.translated(ID_STEP * i, 0),
                   QStringLiteral("idLabel%1").arg(i + 1));
        auto *field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("idField%1").arg(i + 1));
        field->setGeometry(ID_FIELD.translated(ID_STEP * i, 0));
        m_idFields.push_back(field);
    }
    for (QLineEdit *field : m_idFields)
        field->raise();
}

void CDeviceEditorDialog::AddCaption(const QString &text, const QRect &geometry, const QString &name)
{
    auto *label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | (geometry.height() < FIELD_HEIGHT ? Qt::AlignBottom : Qt::AlignVCenter));
    m_captions.push_back(label);
}

void CDeviceEditorDialog::CreateNameRows()
{
    AddCaption(Text(UI_NAME), NAME_LABEL, QStringLiteral("nameLabel"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("nameField"));
    m_name->setGeometry(NAME_FIELD);

    AddCaption(Text(UI_MANUFACTURE), MFG_LABEL, QStringLiteral("mfgLabel"));
    m_mfg = new QComboBox(this);
    m_mfg->setObjectName(QStringLiteral("mfgBox"));
    m_mfg->setEditable(false);
    m_mfg->setGeometry(MFG_BOX);

    AddCaption(QStringLiteral("Size"), SIZE_LABEL, QStringLiteral("sizeLabel"));
    m_size = new QLineEdit(this);
    m_size->setObjectName(QStringLiteral("sizeField"));
    m_size->setGeometry(SIZE_FIELD);
}

void CDeviceEditorDialog::CreateGeometryRow()
{
    AddCaption(GeometryCaption(m_kind, 0), GEOMETRY1_LABEL, QStringLiteral("geometryLabel1"));
    m_geometry1 = new QLineEdit(this);
    m_geometry1->setObjectName(QStringLiteral("geometryField1"));
    m_geometry1->setGeometry(GEOMETRY1_FIELD);

    AddCaption(GeometryCaption(m_kind, 1), GEOMETRY2_LABEL, QStringLiteral("geometryLabel2"));
    m_geometry2 = new QLineEdit(this);
    m_geometry2->setObjectName(QStringLiteral("geometryField2"));
    m_geometry2->setGeometry(GEOMETRY2_FIELD);

    AddCaption(PinCaption(m_kind), PIN_LABEL, QStringLiteral("pinLabel"));
    m_pins = new QComboBox(this);
    m_pins->setObjectName(QStringLiteral("pinBox"));
    m_pins->addItems(s_pinCounts);
    m_pins->setCurrentIndex(0);
    m_pins->setGeometry(PIN_BOX);
}

void CDeviceEditorDialog::CreateHintAndButtons()
{
    m_hint = new QLabel(this);
    m_hint->setObjectName(QStringLiteral("hintLabel"));
    m_hint->setGeometry(HINT_LABEL);
    m_hint->setWordWrap(true);
    m_hint->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_hint->setTextFormat(Qt::PlainText);
    QPalette palette = m_hint->palette();
    palette.setColor(QPalette::WindowText, Qt::darkRed);
    m_hint->setPalette(palette);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, Qt::Horizontal, this);
    m_buttons->setObjectName(QStringLiteral("buttonBox"));
    m_buttons->setGeometry(BUTTON_BOX);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &CDeviceEditorDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &CDeviceEditorDialog::reject);
}

int CDeviceEditorDialog::CaptionRoom(const QLabel *caption) const
{
    int room = caption->width();
    // The identification captions reach under the next field: only the part
    // left of it is visible.
    for (const QWidget *input : findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        const bool isInput = qobject_cast<const QLineEdit *>(input) || qobject_cast<const QComboBox *>(input);
        if (isInput && input->x() > caption->x() && input->geometry().intersects(caption->geometry()))
            room = std::min(room, input->x() - caption->x() - CAPTION_GAP);
    }
    return room;
}

bool CDeviceEditorDialog::CaptionsFit(const QFont &font) const
{
    const QFontMetrics metrics(font);
    return std::all_of(m_captions.begin(), m_captions.end(), [&](const QLabel *caption) {
        return metrics.horizontalAdvance(caption->text()) <= CaptionRoom(caption)
               && metrics.height() <= caption->height();
    });
}

void CDeviceEditorDialog::FitCaptionFont()
{
    // The positions are fixed, so the font gives way: one smaller font for the
    // whole form keeps captions and fields alike.
    QFont fitted = font();
    if (fitted.pointSizeF() > 0) {
        while (!CaptionsFit(fitted) && fitted.pointSizeF() - POINT_SIZE_STEP >= MIN_CAPTION_POINT_SIZE)
            fitted.setPointSizeF(fitted.pointSizeF() - POINT_SIZE_STEP);
    } else {
        while (!CaptionsFit(fitted) && fitted.pixelSize() > MIN_CAPTION_PIXEL_SIZE)
            fitted.setPixelSize(fitted.pixelSize() - 1);
    }
    setFont(fitted);
    // A caption that is still too long (a long translation) shows in full on hover.
    const QFontMetrics metrics(fitted);
    for (QLabel *caption : m_captions) {
        if (metrics.horizontalAdvance(caption->text()) > CaptionRoom(caption))
            caption->setToolTip(caption->text());
    }
}

void CDeviceEditorDialog::FillManufacturers()
{
    const DeviceFamilyList &families = DeviceFamilies();
    if (m_kind >= static_cast<int>(families.size()))
        return;
    QStringList makers;
    for (const auto &item : families[m_kind]->m_items) {
        if (!makers.contains(item->m_mfg))
            makers << item->m_mfg;
    }
    m_mfg->addItems(makers);
    m_mfg->setCurrentIndex(makers.isEmpty() ? -1 : 0);
}

void CDeviceEditorDialog::ConnectHintUpdates()
{
    for (QLineEdit *field : m_idFields)
        connect(field, &QLineEdit::textChanged, this, &CDeviceEditorDialog::UpdateHint);
    for (QLineEdit *field : {m_name, m_size, m_geometry1, m_geometry2})
        connect(field, &QLineEdit::textChanged, this, &CDeviceEditorDialog::UpdateHint);
    connect(m_pins, &QComboBox::currentTextChanged, this, &CDeviceEditorDialog::UpdateHint);
}

void CDeviceEditorDialog::UpdateHint()
{
    m_hint->setText(Fields().Problems().join(QLatin1Char('\n')));
}

QLineEdit *CDeviceEditorDialog::IdField(int i) const
{
    if (i < 0 || i >= IdFieldCount())
        return nullptr;
    return m_idFields[static_cast<size_t>(i)];
}

CDeviceEditorFields CDeviceEditorDialog::Fields() const
{
    CDeviceEditorFields fields;
    fields.m_kind = m_kind;
    for (const QLineEdit *field : m_idFields)
        fields.m_ids << field->text();
    fields.m_name = m_name->text();
    fields.m_mfg = m_mfg->currentText();
    fields.m_size = m_size->text();
    fields.m_geometry1 = m_geometry1->text();
    fields.m_geometry2 = m_geometry2->text();
    fields.m_pins = m_pins->currentText();
    return fields;
}

void CDeviceEditorDialog::accept()
{
    Fields().FillEntry(*m_entry);
    QDialog::accept();
}
