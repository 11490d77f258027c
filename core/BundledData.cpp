#include "BundledData.h"

#include "AppDirectory.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

// The path from an installed executable's folder to the installed data
// folder; the build passes it in so every prefix finds its own data.
#ifndef NVP_DATA_FROM_APPDIR
#define NVP_DATA_FROM_APPDIR "../../share/norvaplex"
#endif

namespace {

QString AsFolder(const QString &path)
{
    return QDir::cleanPath(path) + QLatin1Char('/');
}

bool InstallFile(const QString &source, const QString &target)
{
    if (!QDir().mkpath(QFileInfo(target).absolutePath()))
        return false;
    if (!QFile::copy(source, target))
        return false;
    // Installed data is often read-only; the user's copy must be editable.
    return QFile::setPermissions(target, QFile::permissions(target) | QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

QStringList BundledDataCandidates()
{
    QStringList candidates;
    const QString fromEnvironment = qEnvironmentVariable("NVP_DATA_DIR");
    if (!fromEnvironment.isEmpty())
        candidates << AsFolder(fromEnvironment);
    const QString exeDir = ExecutableDirectory();
    candidates << AsFolder(exeDir + QStringLiteral("/share"));
    candidates << AsFolder(exeDir + QStringLiteral("/" NVP_DATA_FROM_APPDIR));
    return candidates;
}

QString BundledDataDirectory()
{
    for (const QString &candidate : BundledDataCandidates()) {
        if (QFileInfo(candidate).isDir())
            return candidate;
    }
    return {};
}

QStringList BundledSubfolders()
{
    return {QStringLiteral("config"), QStringLiteral("script"), QStringLiteral("Languages")};
}

BundledInstallResult InstallMissingBundledFiles(const QString &bundleDir, const QString &targetDir)
{
    BundledInstallResult result;
    if (bundleDir.isEmpty() || targetDir.isEmpty())
        return result;
    const QDir bundle(bundleDir);
    const QDir target(targetDir);
    for (const QString &folder : BundledSubfolders()) {
        QDirIterator it(bundle.filePath(folder), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString targetPath = target.filePath(bundle.relativeFilePath(source));
            // exists() follows links; a dangling link is a user's entry too.
            if (QFileInfo::exists(targetPath) || QFileInfo(targetPath).isSymLink())
                continue;
            if (InstallFile(source, targetPath))
                result.installed << targetPath;
            else
                result.failed << targetPath;
        }
    }
    return result;
}

BundledInstallResult InstallMissingBundledFiles()
{
    return InstallMissingBundledFiles(BundledDataDirectory(), AppDirectory(DIR_CURRENT));
}
