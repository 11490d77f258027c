#include "FileSizeText.h"

#include <QFileInfo>
#include <QLocale>

QString FileSizeText(uint64_t size)
{
    constexpr uint64_t kKilo = 1024;
    constexpr uint64_t kMega = 1024 * 1024;
    if (size < kKilo)
        return QStringLiteral(" 1KB   ");
    // Rounding up must not wrap for sizes near the 64-bit limit.
    if (size < kMega)
        return QStringLiteral(" %1KB   ").arg(size / kKilo + (size % kKilo ? 1 : 0));
    return QStringLiteral(" %1MB   ").arg(size / kMega + (size % kMega ? 1 : 0));
}

QString FileInfoText(const QFileInfo &info)
{
    return FileSizeText(uint64_t(info.size())) + QLocale().toString(info.lastModified(), QLocale::ShortFormat);
}
