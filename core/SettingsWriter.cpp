#include "SettingsWriter.h"

#include <QSettings>

#include <vector>

CSettingsWriter::CSettingsWriter(QString iniPath) : m_path(std::move(iniPath)), m_thread([this] { Run(); }) {}

CSettingsWriter::~CSettingsWriter()
{
    Flush();
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_stop = true;
    }
    m_work.notify_all();
    m_thread.join();
}

void CSettingsWriter::Put(const QString &key, const QVariant &value)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_pending[key] = CEntry{value, ++m_serial};
    }
    m_work.notify_all();
}

std::optional<QVariant> CSettingsWriter::Pending(const QString &key) const
{
    std::lock_guard<std::mutex> locker(m_lock);
    const auto entry = m_pending.find(key);
    if (entry == m_pending.end())
        return std::nullopt;
    return entry->second.value;
}

void CSettingsWriter::Flush()
{
    std::unique_lock<std::mutex> locker(m_lock);
    m_written.wait(locker, [this] { return m_pending.empty(); });
}

void CSettingsWriter::Run()
{
    // The writer's own settings object for the same file: objects of one
    // file share its contents inside the process, so a reader elsewhere sees
    // what this one synced.
    QSettings file(m_path, QSettings::IniFormat);
    std::unique_lock<std::mutex> locker(m_lock);
    for (;;) {
        m_work.wait(locker, [this] { return m_stop || !m_pending.empty(); });
        if (m_pending.empty())
            return; // stopped, nothing left
        const std::map<QString, CEntry> batch = m_pending;
        locker.unlock();
        for (const auto &[key, entry] : batch)
            file.setValue(key, entry.value);
        file.sync();
        locker.lock();
        for (const auto &[key, entry] : batch) {
            const auto now = m_pending.find(key);
            if (now != m_pending.end() && now->second.serial == entry.serial)
                m_pending.erase(now);
        }
        m_written.notify_all();
    }
}
