#pragma once

// Rules of the recent-file and recent-target lists and of the working
// directory taken from a file path.

#include <QString>
#include <QStringList>

constexpr int kRecentListMax = 20;

// The list with every entry equal to `entry` removed, `entry` put in front,
// and cut to `maxEntries` from the end.
QStringList WithRecentEntry(QStringList list, const QString &entry, int maxEntries = kRecentListMax);

// The path up to and including its last "/"; a path without "/" unchanged.
QString CutAfterLastSlash(const QString &path);

// The working directory of a file: its absolute path cut after the last "/".
QString WorkDirOfFile(const QString &filePath);
