#pragma once

// Writes settings to their INI file on a thread of its own. Saving a
// setting syncs the file to disk, and on a disk busy with a gigabyte image
// that sync can take a tenth of a second: the window must not wait for it.
//
// Put() returns at once; the value counts as stored from then on (Pending
// answers it until the file holds it), and the writer syncs it within
// moments, so a crash later in the session does not lose it. Flush() waits
// until every value put so far is in the file. The destructor flushes.

#include <QString>
#include <QVariant>

#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

class CSettingsWriter
{
public:
    explicit CSettingsWriter(QString iniPath);
    ~CSettingsWriter();
    CSettingsWriter(const CSettingsWriter &) = delete;
    CSettingsWriter &operator=(const CSettingsWriter &) = delete;

    void Put(const QString &key, const QVariant &value);
    // The value put for key that the file may not hold yet.
    std::optional<QVariant> Pending(const QString &key) const;
    void Flush();

private:
    struct CEntry
    {
        QVariant value;
        uint64_t serial = 0;  // of the Put, so a value put again while being written stays pending
    };

    void Run();

    const QString m_path;
    mutable std::mutex m_lock;
    std::condition_variable m_work;
    std::condition_variable m_written;
    std::map<QString, CEntry> m_pending;  // under m_lock
    uint64_t m_serial = 0;                // under m_lock
    bool m_stop = false;                  // under m_lock
    std::thread m_thread;
};
