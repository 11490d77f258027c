#pragma once

#include "DeviceItem.h"

struct CSfdpInfo;

class CDeviceItemSPIFlash : public CDeviceItem
{
public:
    static constexpr int ID_BYTES = 3;
    static constexpr int MAX_INIT_RECORDS = 5;
    static constexpr int INIT_RECORD_BYTES = 7;
    static constexpr int MAX_INIT_DATA = INIT_RECORD_BYTES - 2;
    // Offsets inside one init record.
    static constexpr int INIT_COMMAND = 0;
    static constexpr int INIT_COUNT = 1;
    static constexpr int INIT_DATA = 2;

    CDeviceItemSPIFlash();

    void PrintDetails(const DeviceOutput &output, bool brief) const override;
    bool Parse(const QString &line) override;
    bool Matches(std::span<const uint8_t> ids) const override;
    QString ToText() const override;
    QString GetTitle() const override;

    // Takes the size from decoded SFDP data (64 KiB sectors) and the maker
    // from the last listed entry with the same first identification byte.
    // An invalid record changes nothing and returns false.
    bool SetFromSfdp(const CSfdpInfo &info);

    bool IsSfdpEntry() const { return m_name == QLatin1String(SPI_SFDP_ENTRY); }

    uint32_t m_sectorSize = 0x1000;
    uint32_t m_pageSize = 0x200;
    uint32_t m_sectorCount = 0x20;
    uint8_t m_id[ID_BYTES];
    int m_initCount = 0;
    int m_ioMode = 1;
    uint8_t m_init[MAX_INIT_RECORDS][INIT_RECORD_BYTES];
    uint8_t m_opRead = 0x03;
    uint8_t m_opErase = 0xD8;
    uint8_t m_opProgram = 0x02;
    uint8_t m_opDualRead = 0x3B;
    uint8_t m_opDualProgram = 0xA2;
    uint8_t m_opQuadRead = 0x6B;
    uint8_t m_opQuadProgram = 0x32;
    uint8_t m_opStatus = 0x05;
    uint8_t m_busyMask = 0x01;
    uint8_t m_readyValue = 0x00;

private:
    void ParseInitRecords(QString value);
};
