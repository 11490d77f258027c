#pragma once

// The per-user settings store: an INI file of organisation "Brellow" and
// application "Norvaplex". Keys are addressed by index into a fixed table;
// one more key per target is built at run time (see TargetDirKey).
//
// Reads go to the file's QSettings, writes to a CSettingsWriter that syncs
// them from its own thread (a value written reads back at once). GUI thread
// only.

#include "SettingsWriter.h"

#include <QSettings>
#include <QSize>
#include <QString>
#include <QStringList>

#include <memory>

enum SettingIndex {
    SET_LANGUAGE_FILE = 0,   // string: path of the language file
    SET_TEST_NAME = 1,       // string: name of the current target device
    SET_AUTO_SCRIPT = 2,     // bool: run the target's script once the adapter is ready
    SET_SCRIPT_DIR = 3,      // string: script directory override
    SET_RECENT_FILES = 4,    // string list, most recent first
    SET_RECENT_TARGETS = 5,  // string list of device names, most recent first
    SET_FAVORITE_DEVICES = 6,// string: device names, each followed by a comma
    SET_WINDOW_SIZE = 7,     // size
    SET_WINDOWS_2 = 8,       // string list: vertical splitter (tab area, console)
    SET_WINDOWS_1 = 9,       // string list: main splitter (file panel, right side)
    SET_BOARD_TYPE = 10,     // bool
    SET_ORGANISATION = 11,   // not a key: the organisation name
    SET_APPLICATION = 12,    // not a key: the application name
    SET_TABLE_SIZE = 13,
};

class CAppSettings
{
public:
    static constexpr QSize kDefaultWindowSize{850, 600};

    // Opens the store and makes the folder of its file the process's current
    // directory (creating the folder on a fresh account).
    CAppSettings();
    ~CAppSettings();

    // Entry of the key table; empty outside 0..12.
    static QString KeyName(int index);
    // The key that remembers a target's working directory.
    static QString TargetDirKey(const QString &targetName);

    // Absolute path of the INI file, once every value written so far is in it.
    QString FileName() const;
    // Waits until every value written so far is in the file.
    void Flush();

    // The usual settings folder when it could not be created or written
    // (empty when it is in use), and the folder in use instead (empty when
    // none could be written). The window tells the operator once.
    QString UnusableFolder() const { return m_unusableFolder; }
    QString Folder() const { return m_folder; }
    // The first of the folders that exists or can be made, and can be
    // written; empty when none can.
    static QString FirstUsableFolder(const QStringList &candidates);

    // Index arguments name a key of the table (0..10); any other index reads
    // as absent and is never written.
    QString ReadString(int index) const;
    QString ReadString(const QString &key) const;
    // Writes only when the value differs from the stored one.
    void WriteString(int index, const QString &value);
    void WriteString(const QString &key, const QString &value);

    bool ReadBool(int index, bool defaultValue = false) const;
    void WriteBool(int index, bool value);

    QStringList ReadStringList(int index) const;
    void WriteStringList(int index, const QStringList &list);

    // kDefaultWindowSize when absent or unreadable.
    QSize ReadWindowSize() const;
    // Writes only when different from the stored size.
    void WriteWindowSize(const QSize &size);

private:
    static bool IsKey(int index);
    void Store(const QString &key, const QVariant &value);
    // The value written last, whether or not the file holds it yet.
    QVariant Value(const QString &key, const QVariant &defaultValue = QVariant()) const;

    std::unique_ptr<QSettings> m_settings;  // read only: every write goes through m_writer
    std::unique_ptr<CSettingsWriter> m_writer;
    QString m_folder;
    QString m_unusableFolder;
};

// The process-wide store, created on first use (so it has set the current
// directory before any directory is computed).
CAppSettings &AppSettings();
