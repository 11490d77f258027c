#pragma once

// What the operator typed into the device editor, apart from the widgets, and
// the two things done with it: filling a new device entry the way OK does,
// and telling what the device list reader would make of the resulting line.

#include <QString>
#include <QStringList>

class CDeviceItem;

class CDeviceEditorFields
{
public:
    // 0 NAND, 1 SPI (DeviceType).
    int m_kind = 0;
    // One text per identification field: six for NAND, three for SPI.
    QStringList m_ids;
    QString m_name;
    QString m_mfg;
    QString m_size;
    // NAND: page size and pages per block; SPI: sector size and sector count.
    QString m_geometry1;
    QString m_geometry2;
    // The chip-enable (NAND) or data-line (SPI) count as shown in its box.
    QString m_pins;

    // Copies the texts into `entry`, which must be of the kind of m_kind.
    // Hexadecimal texts are read with ParseHex (optional trailing "h", not a
    // number gives 0); an identification field counts only with at least two
    // characters and then keeps the low byte; shorter ones leave the byte at
    // its default (not compared for NAND, FFh for SPI). Nothing is rejected:
    // the produced line may be one the reader drops (see Problems).
    void FillEntry(CDeviceItem &entry) const;

    // Operator-facing notes on the line FillEntry would produce: lines the
    // reader drops, values that change on the way and identification bytes
    // that are left out. Empty when the line reads back as typed.
    QStringList Problems() const;

private:
    void AddIdProblems(QStringList &problems) const;
    void AddReadBackProblems(QStringList &problems) const;
};

// Whether an identification field's text takes part in the entry.
bool IsIdFieldUsed(const QString &text);

// The fixed captions of the kind-dependent fields: `which` 0 or 1 for the two
// geometry fields ("Page Size"/"Block Size", "Sector Size"/"Sector Num").
QString GeometryCaption(int kind, int which);
// "CE Pins" for NAND, "IO Pins" for SPI.
QString PinCaption(int kind);
