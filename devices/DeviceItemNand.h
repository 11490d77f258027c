#pragma once

#include "DeviceItem.h"

struct COnfiInfo;

class CDeviceItemNand : public CDeviceItem
{
public:
    static constexpr int ID_BYTES = 6;
    static constexpr int PIN_COUNT = 4;

    CDeviceItemNand();

    void PrintDetails(const DeviceOutput &output, bool brief) const override;
    bool Parse(const QString &line) override;
    QString GetTitle() const override;
    QString GetName() const override;
    // Compares the positions the entry marks valid, up to the end of `ids`
    // (positions the caller did not supply are not compared). A difference
    // right after the defined bytes still matches when the chip repeats its
    // first two bytes there; that check needs the following byte inside `ids`
    // too, so a 6-byte buffer never lets the comparison read a seventh.
    bool Matches(std::span<const uint8_t> ids) const override;
    QString ToText() const override;

    // Takes size, geometry, maker, model and chip enables from a decoded
    // parameter page. An invalid record changes nothing and returns false.
    bool SetFromOnfi(const COnfiInfo &info);

    // Empty when the page size, pages per block and chip size describe a
    // NAND chip that can be read, programmed and erased block by block;
    // otherwise the three values as the list writes them, for the line
    // that refuses the entry.
    QString GeometryFault() const;

    bool IsOnfiEntry() const { return m_name == QLatin1String(NAND_ONFI_ENTRY); }

    uint8_t m_id[ID_BYTES];
    uint8_t m_idValid[ID_BYTES];
    // 0 not given, 1 low, 2 high.
    int m_pinLevel[PIN_COUNT];
    uint32_t m_pageSize = 0x840;
    uint32_t m_pagesPerBlock = 0x20;
    int m_ceCount = 1;
    int m_idCount = 5;
    // 0: pages below 2048 bytes, 1: below 4096, 2: up to 16383.
    int m_pageClass = 1;
};

// The page class of a page size; sizes above 16383 bytes keep `current`.
int NandPageClass(uint32_t pageSize, int current);
