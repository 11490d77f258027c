#include "AppDirectory.h"

#include "AppSettings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// QString's default constructor is constexpr, so this is constant-initialised
// and safe to use from any other static initialiser.
QString g_scriptDirOverride;

namespace {

// Without the trailing "/" so the suffixes below never double it (the
// filesystem root is the one path QDir gives with a trailing "/").
QString CurrentDirectory()
{
    AppSettings(); // the store decides the current directory on first use
    QString path = QDir::currentPath();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString ExecutableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
}

QString AppDirectory(int kind)
{
    switch (kind) {
    case DIR_CONFIG:
        return CurrentDirectory() + QStringLiteral("/config/");
    case DIR_SCRIPT:
        if (!g_scriptDirOverride.isEmpty())
            return g_scriptDirOverride + QLatin1Char('/');
        return CurrentDirectory() + QStringLiteral("/script/");
    case DIR_DATA:
        return CurrentDirectory() + QStringLiteral("/data/");
    case DIR_TEMP:
        return QDir::tempPath() + QLatin1Char('/');
    case DIR_DLL:
        return ExecutableDirectory() + QStringLiteral("/dll/");
    case DIR_CURRENT:
        return CurrentDirectory() + QLatin1Char('/');
    default:
        AppSettings();
        return QDir::currentPath();
    }
}
