#pragma once

// One entry of the device database: what the application knows about a chip
// before it touches one. The two kinds (NAND, SPI flash) add their geometry,
// identification bytes and command sets.

#include <QString>

#include <cstdint>
#include <functional>
#include <span>

// Receives one text line; the console passes its print function, tests collect.
using DeviceOutput = std::function<void(const QString &)>;

enum DeviceType : int { DEVICE_NAND = 0, DEVICE_SPI = 1 };

// Names of the built-in entries that the engines fill from a chip that
// describes itself.
inline constexpr char NAND_ONFI_ENTRY[] = "NAND OFNI";
inline constexpr char SPI_SFDP_ENTRY[] = "SPI SFDP";

class CDeviceItem
{
public:
    explicit CDeviceItem(int type);
    virtual ~CDeviceItem() = default;

    CDeviceItem(const CDeviceItem &) = default;
    CDeviceItem &operator=(const CDeviceItem &) = default;

    // Writes a description line by line; `brief` leaves out the ID line.
    virtual void PrintDetails(const DeviceOutput &output, bool brief) const;
    // Fills the entry from one device list line; true when the line is accepted.
    virtual bool Parse(const QString &line);
    // The text naming the entry in lists.
    virtual QString GetTitle() const;
    // The text naming the entry as a target.
    virtual QString GetName() const;
    // Whether detected identification bytes belong to this entry. Only the
    // bytes inside `ids` are ever read.
    virtual bool Matches(std::span<const uint8_t> ids) const = 0;
    // The entry as one device list line.
    virtual QString ToText() const = 0;

    QString m_name;
    QString m_model;
    QString m_mfg;
    uint64_t m_size = 0;
    int m_speed = 10;
    int m_type;
    uint32_t m_algo = 0;

protected:
    // Name, size, MFG, Algo and Speed, shared by both kinds; false without a Name.
    bool ParseCommon(const QString &line);
};

// Lower-case hexadecimal followed by "h", as the writer stores numbers.
QString HexLower(uint64_t value);
// Upper-case hexadecimal followed by "h".
QString HexUpper(uint64_t value);
