#pragma once

// The device lists, scripts and language files that ship with the program.
// They live in a read-only folder; the program works on copies in its
// current directory, installed when missing so a user's edits survive.

#include <QString>
#include <QStringList>

// Where the bundled data is looked for, in this order: the folder in the
// environment variable NVP_DATA_DIR, <exe dir>/share/ (build tree),
// <exe dir>/../../share/norvaplex/ (installed: the executable lives in
// <prefix>/lib/norvaplex/, the data in <prefix>/share/norvaplex/). Each ends
// in "/".
QStringList BundledDataCandidates();

// The first candidate that is an existing folder; empty when none is.
QString BundledDataDirectory();

// The bundled subfolders that are installed into the current directory.
QStringList BundledSubfolders();

struct BundledInstallResult
{
    QStringList installed; // target paths of the files copied
    QStringList failed;    // target paths that could not be written
};

// Copies each file of <bundleDir>/config/, script/ and Languages/ (with their
// subfolders) to the same place below targetDir when no file exists there.
// Existing files are never touched; copies are writable by their owner even
// when the bundled files are read-only.
BundledInstallResult InstallMissingBundledFiles(const QString &bundleDir, const QString &targetDir);

// The same from BundledDataDirectory() into the current directory.
BundledInstallResult InstallMissingBundledFiles();
