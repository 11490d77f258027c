#include "AppSettings.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <iterator>

namespace {

// The names are stored in users' files: they stay exactly as they are.
const char *const kKeyTable[SET_TABLE_SIZE] = {
    "LanguageFile",
    "Test Name",
    "Auto Script",
    "Script Dir",
    "recentFileList",
    "recentTargetList",
    "FavoriteDiviceList",
    "Window Size",
    "Windows 2",
    "Windows 1",
    "Board Type",
    "Brellow",
    "Norvaplex",
};
static_assert(std::size(kKeyTable) == SET_TABLE_SIZE);

} // namespace

CAppSettings::CAppSettings()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, KeyName(SET_ORGANISATION),
                                             KeyName(SET_APPLICATION)))
{
    // On a fresh account the folder does not exist yet; without it the
    // current directory would silently stay wherever the program started,
    // and config/, script/ and Languages/ would land there.
    const QString usual = QDir::cleanPath(QFileInfo(m_settings->fileName()).absolutePath());
    const QString fileName = QFileInfo(m_settings->fileName()).fileName();
    const QString user = qEnvironmentVariable("USER", QStringLiteral("user"));
    m_folder = FirstUsableFolder({usual, QDir::homePath() + QStringLiteral("/.norvaplex"),
                                  QDir::tempPath() + QStringLiteral("/norvaplex-") + user});
    if (m_folder != usual) {
        m_unusableFolder = usual;
        if (!m_folder.isEmpty())
            m_settings = std::make_unique<QSettings>(m_folder + QLatin1Char('/') + fileName, QSettings::IniFormat);
    }
    if (m_folder.isEmpty() || !QDir::setCurrent(m_folder))
        std::fprintf(stderr, "Cannot use the settings folder %s\n", qPrintable(usual));
    m_writer = std::make_unique<CSettingsWriter>(m_settings->fileName());
}

CAppSettings::~CAppSettings() = default;

QString CAppSettings::FirstUsableFolder(const QStringList &candidates)
{
    for (const QString &folder : candidates) {
        if (folder.isEmpty() || !QDir().mkpath(folder))
            continue;
        const QFileInfo info(folder);
        if (info.isDir() && info.isWritable())
            return QDir::cleanPath(info.absoluteFilePath());
    }
    return {};
}

QString CAppSettings::KeyName(int index)
{
    if (index < 0 || index >= SET_TABLE_SIZE)
        return {};
    return QString::fromLatin1(kKeyTable[index]);
}

QString CAppSettings::TargetDirKey(const QString &targetName)
{
    return targetName + QStringLiteral("Dir");
}

QString CAppSettings::FileName() const
{
    // Whoever asks for the file is about to read or change it.
    m_writer->Flush();
    return m_settings->fileName();
}

void CAppSettings::Flush()
{
    m_writer->Flush();
}

QVariant CAppSettings::Value(const QString &key, const QVariant &defaultValue) const
{
    if (std::optional<QVariant> pending = m_writer->Pending(key))
        return *pending;
    return m_settings->value(key, defaultValue);
}

bool CAppSettings::IsKey(int index)
{
    return index >= 0 && index < SET_ORGANISATION;
}

void CAppSettings::Store(const QString &key, const QVariant &value)
{
    if (Value(key) == value)
        return;
    // On its way to disk at once, from the writer's thread: a crash later in
    // the session must not lose it, and the window must not wait for it.
    m_writer->Put(key, value);
}

QString CAppSettings::ReadString(int index) const
{
    return IsKey(index) ? ReadString(KeyName(index)) : QString();
}

QString CAppSettings::ReadString(const QString &key) const
{
    const QVariant value = Value(key);
    // A hand-edited value with unquoted commas (a favourites line) reads
    // back as a list; joining it again keeps the text the user wrote.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    return value.toString();
}

void CAppSettings::WriteString(int index, const QString &value)
{
    if (IsKey(index))
        WriteString(KeyName(index), value);
}

void CAppSettings::WriteString(const QString &key, const QString &value)
{
    if (ReadString(key) != value)
        Store(key, value);
}

bool CAppSettings::ReadBool(int index, bool defaultValue) const
{
    if (!IsKey(index))
        return defaultValue;
    return Value(KeyName(index), defaultValue).toBool();
}

void CAppSettings::WriteBool(int index, bool value)
{
    if (IsKey(index))
        Store(KeyName(index), value);
}

QStringList CAppSettings::ReadStringList(int index) const
{
    if (!IsKey(index))
        return {};
    return Value(KeyName(index)).toStringList();
}

void CAppSettings::WriteStringList(int index, const QStringList &list)
{
    if (IsKey(index))
        Store(KeyName(index), list);
}

QSize CAppSettings::ReadWindowSize() const
{
    const QSize size = Value(KeyName(SET_WINDOW_SIZE), kDefaultWindowSize).toSize();
    return size.isValid() && !size.isEmpty() ? size : kDefaultWindowSize;
}

void CAppSettings::WriteWindowSize(const QSize &size)
{
    if (size != ReadWindowSize())
        Store(KeyName(SET_WINDOW_SIZE), size);
}

CAppSettings &AppSettings()
{
    static CAppSettings settings;
    return settings;
}
