#pragma once

#include <QString>

// The device list file of a family: the family name with ".txt" in the
// configuration folder.
QString DeviceListPath(const QString &familyName);
