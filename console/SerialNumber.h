#pragma once

// The serial number a production run writes into each chip's image: where
// in the buffer, how wide and in which form. The next number is kept in the
// settings, so a line that restarts goes on where it stopped and never hands
// out a number twice.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

class CSerialNumber
{
public:
    // dec: ASCII decimal digits; hex: ASCII upper-case hex digits; both
    // zero-padded on the left. bin: the value's bytes, most significant
    // first (a MAC address, a binary serial).
    enum class EFormat { Decimal, Hex, Binary };

    static constexpr int kMaxWidth = 32;
    static constexpr int kMaxBinaryWidth = 8;

    // "serial OFFSET WIDTH dec|hex|bin [FIRST]": OFFSET in hex like every
    // script address, WIDTH in decimal bytes, FIRST in the format's own base
    // (decimal for dec, hex otherwise). Empty error when it was read.
    static std::optional<CSerialNumber> Parse(const QList<QByteArray> &words, QString &error);

    uint64_t Offset() const { return m_offset; }
    int Width() const { return m_width; }
    EFormat Format() const { return m_format; }

    // The number the next chip gets: the stored one, raised to FIRST when
    // that is higher.
    uint64_t Next() const;
    // The chip that got Next() passed: the one after it is stored.
    void Advance() const;

    // The bytes of value as written into the image; nothing when it does not
    // fit in the width.
    std::optional<QByteArray> Bytes(uint64_t value) const;
    // The value as the report names it.
    QString Text(uint64_t value) const;

    // The settings key of the stored next number.
    static QString SettingsKey();

private:
    uint64_t m_offset = 0;
    int m_width = 0;
    EFormat m_format = EFormat::Decimal;
    uint64_t m_first = 0;
};
