#pragma once

// The small form in which the operator defines a new NAND or SPI device. OK
// turns the fields into a new entry whose device list line the caller logs
// and offers for the device list file; the device database is never changed.

#include "DeviceEditorFields.h"

#include <QDialog>

#include <memory>
#include <vector>

class CDeviceItem;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRect;

class CDeviceEditorDialog : public QDialog
{
    Q_OBJECT
public:
    // `kind` is DEVICE_NAND or DEVICE_SPI (anything else is taken as NAND);
    // the manufacturer box lists the makers of the family at that position of
    // the device database.
    CDeviceEditorDialog(QWidget *parent, int kind, const QString &title);
    ~CDeviceEditorDialog() override;

    // Identification field i (0 to 5 for NAND, 0 to 2 for SPI), null outside;
    // callers fill them before exec().
    QLineEdit *IdField(int i) const;
    int IdFieldCount() const { return static_cast<int>(m_idFields.size()); }
    // The edited entry, owned by the dialog; filled when OK is pressed.
    CDeviceItem *Entry() const { return m_entry.get(); }
    int Kind() const { return m_kind; }

    // The texts as they stand now.
    CDeviceEditorFields Fields() const;

public slots:
    // Fills the entry from the fields, unchecked, and closes as accepted.
    void accept() override;

private:
    void AddCaption(const QString &text, const QRect &geometry, const QString &name);
    void CreateIdRow();
    void CreateNameRows();
    void CreateGeometryRow();
    void CreateHintAndButtons();
    // Width a caption's text may take without running under a field.
    int CaptionRoom(const QLabel *caption) const;
    bool CaptionsFit(const QFont &font) const;
    void FitCaptionFont();
    void FillManufacturers();
    void ConnectHintUpdates();
    void UpdateHint();

    int m_kind;
    std::unique_ptr<CDeviceItem> m_entry;
    std::vector<QLineEdit *> m_idFields;
    std::vector<QLabel *> m_captions;
    QLineEdit *m_name = nullptr;
    QComboBox *m_mfg = nullptr;
    QLineEdit *m_size = nullptr;
    QLineEdit *m_geometry1 = nullptr;
    QLineEdit *m_geometry2 = nullptr;
    QComboBox *m_pins = nullptr;
    // Says what the device list reader would make of the line; it never
    // stops OK, the operator may still want the line as it is.
    QLabel *m_hint = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};
