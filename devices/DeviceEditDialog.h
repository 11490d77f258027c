#pragma once

// A small form that defines a new device: identification bytes, name,
// manufacturer, size and geometry. It fills an entry of the chosen kind whose
// device list line the caller shows and offers for the device list file; the
// device database itself is never changed.

#include <QDialog>

#include <memory>
#include <vector>

class CDeviceItem;
class QComboBox;
class QLineEdit;

class CDeviceEditDialog : public QDialog
{
    Q_OBJECT
public:
    // kind: DEVICE_NAND or DEVICE_SPI (any other value edits a NAND entry).
    CDeviceEditDialog(QWidget *parent, int kind, const QString &title);
    ~CDeviceEditDialog() override;

    // Identification field i (0 to 5 for NAND, 0 to 2 for SPI); null outside.
    QLineEdit *IdField(int index) const;
    QLineEdit *NameField() const { return m_name; }
    QComboBox *ManufacturerBox() const { return m_mfg; }
    QLineEdit *SizeField() const { return m_size; }
    // Page size and block size (NAND), sector size and sector count (SPI).
    QLineEdit *GeometryField(int index) const { return index == 0 ? m_geometry1 : m_geometry2; }
    QComboBox *PinBox() const { return m_pins; }

    int Kind() const { return m_kind; }
    // The edited entry; valid until the dialog is destroyed.
    CDeviceItem *Entry() const { return m_entry.get(); }

public slots:
    void accept() override;

private:
    void CreateWidgets();
    void FillManufacturers();
    void FillNandEntry();
    void FillSpiEntry();

    int m_kind;
    std::unique_ptr<CDeviceItem> m_entry;
    std::vector<QLineEdit *> m_ids;
    QLineEdit *m_name = nullptr;
    QComboBox *m_mfg = nullptr;
    QLineEdit *m_size = nullptr;
    QLineEdit *m_geometry1 = nullptr;
    QLineEdit *m_geometry2 = nullptr;
    QComboBox *m_pins = nullptr;
};
