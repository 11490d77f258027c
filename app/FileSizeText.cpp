#include "FileSizeText.h"

#include <QFileInfo>
#include <QLocale>

QString FileSizeText(uint64_t size)
{
    constexpr uint64_t kKilo = 1024;
    constexpr uint64_t kMega = 1024 * 1024;
    if (size < kKilo)
        return QStringLiteral(" 1KB   ");
    // (size + 1023) / unit, worked out so that it cannot wrap for sizes near
    // the 64-bit limit: kilobytes round up, megabytes only within the last
    // 1023 bytes of one (1.5 MiB is " 1MB").
    const auto plus1023 = [](uint64_t value, uint64_t unit) {
        return value / unit + (value % unit + (kKilo - 1) >= unit ? 1 : 0);
    };
    if (size < kMega)
        return QStringLiteral(" %1KB   ").arg(plus1023(size, kKilo));
    return QStringLiteral(" %1MB   ").arg(plus1023(size, kMega));
}

QString FileInfoText(const QFileInfo &info)
{
    return FileSizeText(uint64_t(info.size())) + QLocale().toString(info.lastModified(), QLocale::ShortFormat);
}
