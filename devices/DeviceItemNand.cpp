#include "DeviceItemNand.h"

#include "DeviceKeys.h"
#include "OnfiInfo.h"

#include <QStringList>

#include <algorithm>

namespace {

constexpr int MAX_PARSED_IDS = 5;
// Two identification bytes only: the old small-page chips.
constexpr int SMALL_PAGE_ID_COUNT = 2;
constexpr int INIT_PIN_CHARS = 4;

int ValidChipEnables(uint64_t value)
{
    return (value == 1 || value == 2 || value == 4) ? static_cast<int>(value) : 1;
}

} // namespace

int NandPageClass(uint32_t pageSize, int current)
{
    if (pageSize <= 0x7FF)
        return 0;
    if (pageSize <= 0xFFF)
        return 1;
    if (pageSize <= 0x3FFF)
        return 2;
    return current;
}

CDeviceItemNand::CDeviceItemNand()
    : CDeviceItem(DEVICE_NAND)
{
    std::fill(std::begin(m_id), std::end(m_id), 0xFF);
    std::fill(std::begin(m_idValid), std::end(m_idValid), 0);
    std::fill(std::begin(m_pinLevel), std::end(m_pinLevel), 0);
}

bool CDeviceItemNand::Parse(const QString &line)
{
    if (!ParseCommon(line))
        return false;

    QString value;
    for (int i = 0; i < m_idCount && i < MAX_PARSED_IDS; ++i) {
        if (!GetAttribute(line, KEY_ID1 + i, &value)) {
            m_idCount = i;
            if (i == SMALL_PAGE_ID_COUNT)
                m_pageClass = 0;
            break;
        }
        if (!value.isEmpty()) {
            m_id[i] = static_cast<uint8_t>(ParseHexSuffixed(value));
            m_idValid[i] = 1;
        }
    }

    if (GetAttribute(line, KEY_PAGE_SIZE, &value)) {
        m_pageSize = static_cast<uint32_t>(ParseHexSuffixed(value));
        m_pageClass = NandPageClass(m_pageSize, m_pageClass);
    }
    if (GetAttribute(line, KEY_CE, &value))
        m_ceCount = ValidChipEnables(ParseHexDigits(value));
    if (GetAttribute(line, KEY_INIT, &value) && value.size() == INIT_PIN_CHARS) {
        for (int i = 0; i < PIN_COUNT; ++i) {
            if (value.at(i) == QLatin1Char('0'))
                m_pinLevel[i] = 1;
            else if (value.at(i) == QLatin1Char('1'))
                m_pinLevel[i] = 2;
        }
    }
    if (!GetAttribute(line, KEY_BLOCK_SIZE, &value))
        return false;
    m_pagesPerBlock = static_cast<uint32_t>(ParseHexSuffixed(value));
    return true;
}

QString CDeviceItemNand::GetTitle() const
{
    if (IsOnfiEntry())
        return QStringLiteral("NAND ") + m_mfg + QLatin1Char(' ') + m_model;
    return m_name;
}

QString CDeviceItemNand::GetName() const
{
    if (IsOnfiEntry() && !m_model.isEmpty())
        return m_model;
    return GetTitle();
}

bool CDeviceItemNand::Matches(std::span<const uint8_t> ids) const
{
    if (!m_idValid[0] || ids.empty())
        return false;
    // Positions beyond the caller's buffer are not compared: the chip did not
    // report them.
    const size_t compared = std::min<size_t>(ID_BYTES, ids.size());
    for (size_t p = 0; p < compared; ++p) {
        if (!m_idValid[p] || ids[p] == m_id[p])
            continue;
        // A chip that has started to repeat its identification right after
        // the bytes the entry defines still is this chip.
        const bool repeats = static_cast<int>(p) == m_idCount && p + 1 < ids.size()
                             && ids[p] == m_id[0] && ids[p + 1] == m_id[1];
        return repeats;
    }
    return true;
}

QString CDeviceItemNand::ToText() const
{
    QStringList parts;
    parts << FormatAttribute(KEY_NAME, m_name) << FormatAttribute(KEY_MFG, m_mfg);
    for (int i = 0; i < ID_BYTES && m_idValid[i]; ++i) {
        // The keyword table names five ID keys; a sixth valid byte (only ever
        // set from a detected chip) is written under the same pattern.
        const QString key = i < MAX_PARSED_IDS ? DeviceKeyword(KEY_ID1 + i) : QStringLiteral("ID%1").arg(i + 1);
        parts << key + QStringLiteral("=\"") + HexLower(m_id[i]) + QLatin1Char('"');
    }
    parts << FormatAttribute(KEY_SIZE, HexLower(m_size)) << FormatAttribute(KEY_PAGE_SIZE, HexUpper(m_pageSize))
          << FormatAttribute(KEY_BLOCK_SIZE, HexLower(m_pagesPerBlock));
    if (m_ceCount != 1)
        parts << FormatAttribute(KEY_CE, QString::number(m_ceCount));
    return parts.join(QLatin1Char(','));
}

void CDeviceItemNand::PrintDetails(const DeviceOutput &output, bool brief) const
{
    CDeviceItem::PrintDetails(output, brief);
    if (brief)
        return;
    QString ids = QStringLiteral(" ");
    for (int i = 0; i < m_idCount && i < ID_BYTES; ++i)
        ids += QStringLiteral("ID%1 = %2h ").arg(i + 1).arg(QString::number(m_id[i], 16).toUpper());
    output(ids);
}

bool CDeviceItemNand::SetFromOnfi(const COnfiInfo &info)
{
    if (!info.valid)
        return false;
    m_size = info.size;
    m_pageSize = info.pageSize();
    m_pagesPerBlock = info.pagesPerBlock;
    m_mfg = info.manufacturer;
    m_model = info.model;
    m_ceCount = info.chipEnables;
    m_pageClass = NandPageClass(m_pageSize, m_pageClass);
    return true;
}

QString CDeviceItemNand::GeometryFault() const
{
    // Pages of real chips: a 512-byte data area and its spare area up to
    // 16 KiB and its spare area; blocks of a few pages to a few thousand.
    constexpr uint32_t SmallestPage = 513;
    constexpr uint32_t LargestPage = 17664;
    constexpr uint32_t FewestPages = 4;
    constexpr uint32_t MostPages = 8192;
    const uint64_t blockBytes = uint64_t(m_pageSize) * m_pagesPerBlock;
    const bool servable = m_pageSize >= SmallestPage && m_pageSize <= LargestPage &&
                          m_pagesPerBlock >= FewestPages && m_pagesPerBlock <= MostPages && blockBytes &&
                          m_size >= blockBytes && m_size % blockBytes == 0;
    if (servable)
        return {};
    return QStringLiteral("PageSize=%1h, BlockSize=%2h, size=%3h")
        .arg(m_pageSize, 0, 16)
        .arg(m_pagesPerBlock, 0, 16)
        .arg(m_size, 0, 16);
}
