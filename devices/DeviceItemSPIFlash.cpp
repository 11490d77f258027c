#include "DeviceItemSPIFlash.h"

#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceKeys.h"
#include "SfdpInfo.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

constexpr int STATUS_CHARS = 6;
// A record header is a command byte and a data count: four digits.
constexpr int INIT_HEADER_CHARS = 4;
// Counts above this mark a malformed record.
constexpr int MAX_DECLARED_INIT_DATA = 9;
constexpr uint64_t SFDP_SECTOR_SIZE = 0x10000;

// Chips of this algorithm (page-buffered, DataFlash-style) have their own
// erase and status commands whatever the line says.
constexpr uint32_t ALGO_DATAFLASH = 3;
constexpr uint8_t DATAFLASH_ERASE = 0x7C;
constexpr uint8_t DATAFLASH_STATUS = 0xD7;
constexpr uint8_t DATAFLASH_BUSY_MASK = 0x80;
constexpr uint8_t DATAFLASH_READY = 0x80;

uint8_t HexByteAt(const QString &text, qsizetype pos)
{
    return static_cast<uint8_t>(ParseHexDigits(text.mid(pos, 2)));
}

int ValidIoMode(int value)
{
    return (value == 2 || value == 4) ? value : 1;
}

} // namespace

CDeviceItemSPIFlash::CDeviceItemSPIFlash()
    : CDeviceItem(DEVICE_SPI)
{
    std::fill(std::begin(m_id), std::end(m_id), 0xFF);
    std::memset(m_init, 0, sizeof(m_init));
}

void CDeviceItemSPIFlash::ParseInitRecords(QString value)
{
    if (value.endsWith(QLatin1Char('H')))
        value.chop(1);
    if (value.size() % 2 != 0)
        return;

    qsizetype pos = 0;
    int k = 0;
    for (; k < MAX_INIT_RECORDS; ++k) {
        const qsizetype left = value.size() - pos;
        if (left < INIT_HEADER_CHARS)
            break;
        const uint8_t command = HexByteAt(value, pos);
        const int count = HexByteAt(value, pos + 2);
        pos += INIT_HEADER_CHARS;
        if (2 * count > value.size() - pos || count > MAX_DECLARED_INIT_DATA)
            continue;
        if (count > MAX_INIT_DATA) {
            // A record holds five data bytes. A longer one is dropped whole
            // (sending it cut short would send the chip a different command),
            // and its data is skipped so it cannot be read as the next record.
            pos += 2 * count;
            continue;
        }
        m_init[k][INIT_COMMAND] = command;
        m_init[k][INIT_COUNT] = static_cast<uint8_t>(count);
        for (int j = 0; j < count; ++j, pos += 2)
            m_init[k][INIT_DATA + j] = HexByteAt(value, pos);
    }
    m_initCount = k;
}

bool CDeviceItemSPIFlash::Parse(const QString &line)
{
    if (!ParseCommon(line))
        return false;

    QString value;
    for (int i = 0; i < ID_BYTES; ++i) {
        if (GetAttribute(line, KEY_ID1 + i, &value))
            m_id[i] = static_cast<uint8_t>(ParseHexSuffixed(value));
    }
    if (GetAttribute(line, KEY_INIT, &value))
        ParseInitRecords(value);
    int io = 0;
    if (GetAttribute(line, KEY_IO, nullptr, &io))
        m_ioMode = ValidIoMode(io);
    if (GetAttribute(line, KEY_STATUS, &value) && value.size() == STATUS_CHARS) {
        m_opStatus = HexByteAt(value, 0);
        m_busyMask = HexByteAt(value, 2);
        m_readyValue = HexByteAt(value, 4);
    }
    if (GetAttribute(line, KEY_SECTOR_SIZE, &value))
        m_sectorSize = static_cast<uint32_t>(ParseHexSuffixed(value));
    if (GetAttribute(line, KEY_PAGE_SIZE, &value))
        m_pageSize = static_cast<uint32_t>(ParseHexSuffixed(value));
    if (GetAttribute(line, KEY_SECTOR_NUM, &value))
        m_sectorCount = static_cast<uint32_t>(ParseHexSuffixed(value));

    if (m_algo == ALGO_DATAFLASH) {
        m_opErase = DATAFLASH_ERASE;
        m_opStatus = DATAFLASH_STATUS;
        m_busyMask = DATAFLASH_BUSY_MASK;
        m_readyValue = DATAFLASH_READY;
    }
    // The geometry is checked in 32 bits: SPI entries stay below 4 GiB.
    const uint32_t geometrySize = m_sectorSize * m_sectorCount;
    return geometrySize == m_size && m_pageSize > 0 && m_pageSize <= m_sectorSize;
}

bool CDeviceItemSPIFlash::Matches(std::span<const uint8_t> ids) const
{
    if (ids.size() < ID_BYTES || ids[0] == 0xFF)
        return false;
    return ids[0] == m_id[0] && ids[1] == m_id[1] && ids[2] == m_id[2];
}

QString CDeviceItemSPIFlash::ToText() const
{
    QStringList parts;
    parts << FormatAttribute(KEY_NAME, m_name) << FormatAttribute(KEY_MFG, m_mfg);
    for (int i = 0; i < ID_BYTES; ++i)
        parts << FormatAttribute(KEY_ID1 + i, HexLower(m_id[i]));
    parts << FormatAttribute(KEY_SIZE, HexLower(m_size)) << FormatAttribute(KEY_SECTOR_SIZE, HexUpper(m_sectorSize))
          << FormatAttribute(KEY_SECTOR_NUM, HexLower(m_sectorCount));
    if (m_ioMode != 1)
        parts << FormatAttribute(KEY_IO, QString::number(m_ioMode));
    return parts.join(QLatin1Char(','));
}

QString CDeviceItemSPIFlash::GetTitle() const
{
    if (!IsSfdpEntry())
        return m_name;
    QString title = QStringLiteral("SPI ") + m_mfg;
    if (m_size != 0)
        title += QStringLiteral(" Size=0x") + QString::number(m_size, 16);
    return title;
}

void CDeviceItemSPIFlash::PrintDetails(const DeviceOutput &output, bool brief) const
{
    CDeviceItem::PrintDetails(output, brief);
    if (brief)
        return;
    output(QStringLiteral("  ID1 =%1h,ID2 =%2h ID3 =%3h")
               .arg(QString::number(m_id[0], 16).toUpper(), QString::number(m_id[1], 16).toUpper(),
                    QString::number(m_id[2], 16).toUpper()));
}

bool CDeviceItemSPIFlash::SetFromSfdp(const CSfdpInfo &info)
{
    if (!info.valid)
        return false;
    // A chip seen before keeps the maker of the listed chips with its first
    // ID byte; an unknown maker leaves the text empty, not stale.
    QString maker;
    if (const CDeviceFamily *family = FindFamilyOfType(DEVICE_SPI)) {
        for (const auto &item : family->m_items) {
            const auto *spi = dynamic_cast<const CDeviceItemSPIFlash *>(item.get());
            if (spi && !spi->IsSfdpEntry() && spi->m_id[0] == m_id[0])
                maker = spi->m_mfg;
        }
    }
    m_mfg = maker;
    m_size = info.size;
    m_sectorSize = SFDP_SECTOR_SIZE;
    m_sectorCount = static_cast<uint32_t>(info.size / SFDP_SECTOR_SIZE);
    return true;
}
