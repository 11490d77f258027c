#include "Cmd.h"

#include "FrameServices.h"
#include "UiText.h"

CCmd::CCmd(const QString &name, int helpIndex, const QString &helpText)
    : m_helpIndex(helpIndex), m_helpText(helpText), m_name(name)
{
}

CCmd::~CCmd() = default;

QString CCmd::usageText() const
{
    return m_helpIndex >= 0 ? Text(m_helpIndex) : m_helpText;
}

void CCmd::logUsage() const
{
    LogString(usageText());
}

uint64_t ParseHexArgument(const QString &word)
{
    bool ok = false;
    const qulonglong value = word.toULongLong(&ok, 16);
    return ok ? value : 0;
}

uint16_t ParseSpeedArgument(const QString &word)
{
    bool ok = false;
    const ushort value = word.toUShort(&ok, 10);
    return ok ? value : 0;
}
