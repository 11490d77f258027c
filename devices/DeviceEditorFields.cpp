#include "DeviceEditorFields.h"

#include "DeviceItemNand.h"
#include "DeviceItemSPIFlash.h"
#include "DeviceKeys.h"

#include <limits>
#include <memory>

namespace {

constexpr int MIN_ID_CHARS = 2;
constexpr uint64_t BYTE_MAX = 0xFF;
constexpr uint64_t GEOMETRY_MAX = std::numeric_limits<uint32_t>::max();

QString IdText(const QStringList &ids, int i)
{
    return i < ids.size() ? ids.at(i) : QString();
}

// Whether ParseHex reads `text` as a number rather than falling back to 0.
bool IsHexNumber(const QString &text)
{
    QString digits = text;
    if (!digits.isEmpty() && digits.back().toLower() == QLatin1Char('h'))
        digits.chop(1);
    bool ok = false;
    digits.toULongLong(&ok, 16);
    return ok;
}

uint8_t IdByte(const QString &text)
{
    return static_cast<uint8_t>(ParseHex(text) & BYTE_MAX);
}

std::unique_ptr<CDeviceItem> NewEntry(int kind)
{
    if (kind == DEVICE_SPI)
        return std::make_unique<CDeviceItemSPIFlash>();
    return std::make_unique<CDeviceItemNand>();
}

const QString s_dropped = QStringLiteral("The device list reader drops this line");

} // namespace

bool IsIdFieldUsed(const QString &text)
{
    return text.size() >= MIN_ID_CHARS;
}

QString GeometryCaption(int kind, int which)
{
    if (kind == DEVICE_SPI)
        return which == 0 ? QStringLiteral("Sector Size") : QStringLiteral("Sector Num");
    return which == 0 ? QStringLiteral("Page Size") : QStringLiteral("Block Size");
}

QString PinCaption(int kind)
{
    return kind == DEVICE_SPI ? QStringLiteral("IO Pins") : QStringLiteral("CE Pins");
}

void CDeviceEditorFields::FillEntry(CDeviceItem &entry) const
{
    entry.m_name = m_name;
    entry.m_mfg = m_mfg;
    entry.m_size = ParseHex(m_size);

    if (auto *nand = dynamic_cast<CDeviceItemNand *>(&entry)) {
        for (int i = 0; i < CDeviceItemNand::ID_BYTES; ++i) {
            const QString text = IdText(m_ids, i);
            // Cleared explicitly so that filling the same entry twice never
            // keeps a byte whose field has been emptied since.
            const bool used = IsIdFieldUsed(text);
            nand->m_id[i] = used ? IdByte(text) : 0xFF;
            nand->m_idValid[i] = used ? 1 : 0;
        }
        nand->m_pageSize = static_cast<uint32_t>(ParseHex(m_geometry1));
        nand->m_pagesPerBlock = static_cast<uint32_t>(ParseHex(m_geometry2));
        nand->m_ceCount = m_pins.toInt();
    } else if (auto *spi = dynamic_cast<CDeviceItemSPIFlash *>(&entry)) {
        for (int i = 0; i < CDeviceItemSPIFlash::ID_BYTES; ++i) {
            const QString text = IdText(m_ids, i);
            spi->m_id[i] = IsIdFieldUsed(text) ? IdByte(text) : 0xFF;
        }
        spi->m_sectorSize = static_cast<uint32_t>(ParseHex(m_geometry1));
        spi->m_sectorCount = static_cast<uint32_t>(ParseHex(m_geometry2));
        spi->m_ioMode = m_pins.toInt();
    }
}

QStringList CDeviceEditorFields::Problems() const
{
    QStringList problems;
    if (m_name.isEmpty())
        problems << QStringLiteral("The name is empty.");
    AddIdProblems(problems);

    const struct
    {
        QString caption;
        QString text;
        uint64_t max;
    } numbers[] = {
        {QStringLiteral("Size"), m_size, std::numeric_limits<uint64_t>::max()},
        {GeometryCaption(m_kind, 0), m_geometry1, GEOMETRY_MAX},
        {GeometryCaption(m_kind, 1), m_geometry2, GEOMETRY_MAX},
    };
    for (const auto &number : numbers) {
        if (!number.text.isEmpty() && !IsHexNumber(number.text))
            problems << number.caption + QStringLiteral(" is not a hexadecimal number; 0h is written.");
        else if (ParseHex(number.text) > number.max)
            problems << number.caption + QStringLiteral(" is above FFFFFFFFh; only its low 32 bits are written.");
    }

    AddReadBackProblems(problems);
    return problems;
}

void CDeviceEditorFields::AddIdProblems(QStringList &problems) const
{
    const int count = m_kind == DEVICE_SPI ? CDeviceItemSPIFlash::ID_BYTES : CDeviceItemNand::ID_BYTES;
    int firstGap = -1;
    bool gapReported = false;
    for (int i = 0; i < count; ++i) {
        const QString text = IdText(m_ids, i);
        const QString caption = QStringLiteral("ID%1").arg(i + 1);
        if (!IsIdFieldUsed(text)) {
            if (!text.isEmpty()) {
                problems << caption
                                + (m_kind == DEVICE_SPI ? QStringLiteral(" needs two characters; ffh is written.")
                                                        : QStringLiteral(" needs two characters; it is left out."));
            }
            if (firstGap < 0)
                firstGap = i;
            continue;
        }
        if (!IsHexNumber(text))
            problems << caption + QStringLiteral(" is not a hexadecimal number; 0h is written.");
        else if (ParseHex(text) > BYTE_MAX)
            problems << caption + QStringLiteral(" is above FFh; only its low byte %1h is written.")
                                      .arg(QString::number(IdByte(text), 16));
        // The writer stops at the first byte that is not compared.
        if (m_kind != DEVICE_SPI && firstGap >= 0 && !gapReported) {
            problems << QStringLiteral("ID%1 and the fields after it are not written: ID%2 is empty.")
                            .arg(i + 1)
                            .arg(firstGap + 1);
            gapReported = true;
        }
    }
    if (m_kind != DEVICE_SPI && !IsIdFieldUsed(IdText(m_ids, 0)))
        problems << QStringLiteral("Without ID1 the entry never matches a chip.");
}

void CDeviceEditorFields::AddReadBackProblems(QStringList &problems) const
{
    const std::unique_ptr<CDeviceItem> written = NewEntry(m_kind);
    FillEntry(*written);
    const std::unique_ptr<CDeviceItem> read = NewEntry(m_kind);
    if (read->Parse(written->ToText())) {
        if (!m_name.isEmpty() && read->m_name != m_name.toUpper())
            problems << QStringLiteral("The name reads back as \"%1\".").arg(read->m_name);
        return;
    }

    const auto *spi = dynamic_cast<const CDeviceItemSPIFlash *>(written.get());
    if (!spi) {
        problems << s_dropped + QLatin1Char('.');
        return;
    }
    const int before = problems.size();
    // The same 32-bit product the reader compares.
    const uint32_t product = spi->m_sectorSize * spi->m_sectorCount;
    if (product != spi->m_size)
        problems << s_dropped + QStringLiteral(": Sector Size times Sector Num must equal Size.");
    if (spi->m_pageSize == 0 || spi->m_pageSize > spi->m_sectorSize)
        problems << s_dropped + QStringLiteral(": Sector Size must be at least %1h.").arg(spi->m_pageSize, 0, 16);
    if (problems.size() == before)
        problems << s_dropped + QLatin1Char('.');
}
