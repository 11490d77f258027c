#include "DeviceListPath.h"

#include <QDir>

QString DeviceListPath(const QString &familyName)
{
    // The configuration folder is "config" below the current directory (the
    // settings folder once the settings store has made it current). When the
    // directory helpers land in core/, this becomes AppDirectory(DIR_CONFIG).
    return QDir::currentPath() + QStringLiteral("/config/") + familyName + QStringLiteral(".txt");
}
