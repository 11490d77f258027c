#include "DeviceListPath.h"

#include "AppDirectory.h"

QString DeviceListPath(const QString &familyName)
{
    return AppDirectory(DIR_CONFIG) + familyName + QStringLiteral(".txt");
}
