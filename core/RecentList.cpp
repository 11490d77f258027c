#include "RecentList.h"

#include <QFileInfo>

QStringList WithRecentEntry(QStringList list, const QString &entry, int maxEntries)
{
    list.removeAll(entry);
    list.prepend(entry);
    while (list.size() > maxEntries)
        list.removeLast();
    return list;
}

QString CutAfterLastSlash(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.left(slash + 1);
}

QString WorkDirOfFile(const QString &filePath)
{
    return CutAfterLastSlash(QFileInfo(filePath).absoluteFilePath());
}
