#pragma once

// The texts of the file browser's information box.

#include <QString>

#include <cstdint>

class QFileInfo;

// " 1KB   " below 1024 bytes, whole kilobytes rounded up below 1 MiB, whole
// megabytes rounded up from there; the trailing blanks separate the date.
QString FileSizeText(uint64_t size);

// Size text followed by the modification date and time in the locale's short
// format.
QString FileInfoText(const QFileInfo &info);
