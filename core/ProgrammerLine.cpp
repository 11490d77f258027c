#include "ProgrammerLine.h"

#include "AppSettings.h"

namespace ProgrammerLine {

namespace {
const char *const EnvironmentName = "XRUSB_PROGRAMMER";
const char *const SettingKey = "Programmer";
} // namespace

QString Current()
{
    return qEnvironmentVariable(EnvironmentName);
}

QString Stored()
{
    return AppSettings().ReadString(QString::fromLatin1(SettingKey));
}

void Store(const QString &line)
{
    AppSettings().WriteString(QString::fromLatin1(SettingKey), line.trimmed());
}

void Use(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        qunsetenv(EnvironmentName);
    else
        qputenv(EnvironmentName, trimmed.toLocal8Bit());
}

void UseAtStartup(bool onCommandLine, const QString &commandLineLine)
{
    if (onCommandLine)
        Use(commandLineLine);
    else if (qEnvironmentVariableIsEmpty(EnvironmentName))
        Use(Stored());
}

} // namespace ProgrammerLine
