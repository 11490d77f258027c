#include "DeviceItem.h"

#include "DeviceKeys.h"

namespace {
constexpr int MIN_SPEED = 1;
constexpr int MAX_SPEED = 10;
} // namespace

CDeviceItem::CDeviceItem(int type)
    : m_type(type)
{
}

void CDeviceItem::PrintDetails(const DeviceOutput &output, bool) const
{
    output(QStringLiteral(" ") + m_name);
    QString sizeLine = QStringLiteral("  Size = %1h  ").arg(QString::number(m_size, 16).toUpper());
    if (!m_mfg.isEmpty())
        sizeLine += m_mfg;
    output(sizeLine);
}

bool CDeviceItem::Parse(const QString &)
{
    return false;
}

QString CDeviceItem::GetTitle() const
{
    return m_name;
}

QString CDeviceItem::GetName() const
{
    return m_name;
}

bool CDeviceItem::ParseCommon(const QString &line)
{
    if (!GetAttribute(line, KEY_NAME, &m_name))
        return false;

    QString value;
    m_size = 0;
    if (GetAttribute(line, KEY_SIZE, &value))
        m_size = ParseHex(value);
    GetAttribute(line, KEY_MFG, &m_mfg);
    if (GetAttribute(line, KEY_ALGO, &value))
        m_algo = static_cast<uint32_t>(ParseHex(value));
    int speed = 0;
    if (GetAttribute(line, KEY_SPEED, nullptr, &speed))
        m_speed = (speed < MIN_SPEED || speed > MAX_SPEED) ? MAX_SPEED : speed;
    return true;
}

QString HexLower(uint64_t value)
{
    return QString::number(value, 16) + QLatin1Char('h');
}

QString HexUpper(uint64_t value)
{
    return QString::number(value, 16).toUpper() + QLatin1Char('h');
}
