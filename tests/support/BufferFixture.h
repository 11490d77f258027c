#pragma once

// Helpers of the buffer tests: test files in a temporary folder, buffers of
// either kind with given content, and a thread that holds a buffer's busy
// lock as a chip operation would.

#include "FileMemoryNode.h"
#include "MemoryNode.h"

#include <QFile>
#include <QTemporaryDir>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

enum BufferKind { InMemory, FileBacked };

inline QByteArray TestPattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xFF);
    return bytes;
}

inline QByteArray ReadWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline const uint8_t *Bytes(const QByteArray &bytes)
{
    return reinterpret_cast<const uint8_t *>(bytes.constData());
}

// Test files in a temporary folder, and buffers that hold given bytes: the
// file-backed kind reads a file written here, the in-memory kind gets the
// same bytes through WriteAt.
class CBufferFiles
{
public:
    bool IsValid() const { return m_dir.isValid(); }
    QString FilePath(const QString &name) const { return m_dir.filePath(name); }
    QString Path() const { return m_dir.path(); }
    QString NewPath() { return m_dir.filePath(QStringLiteral("image%1.bin").arg(++m_fileCount)); }

    QString WriteFile(const QByteArray &content)
    {
        const QString path = NewPath();
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            qFatal("cannot write test file %s", qPrintable(path));
        return path;
    }

    std::unique_ptr<CMemoryNode> Make(BufferKind kind, uint64_t base, const QByteArray &content)
    {
        if (kind == InMemory) {
            auto buffer = std::make_unique<CMemoryNode>("SPI", base, content.size(), 0xFF);
            buffer->WriteAt(Bytes(content), base, content.size());
            return buffer;
        }
        auto buffer = std::make_unique<CFileMemoryNode>("Nand", base, 0x10000000);
        if (!buffer->LoadFile(WriteFile(content), false))
            qFatal("cannot load test file");
        return buffer;
    }

private:
    QTemporaryDir m_dir;
    int m_fileCount = 0;
};

// Holds a buffer's busy lock from another thread, as a chip operation would.
class CBusyHolder
{
public:
    explicit CBusyHolder(CMemoryNode &buffer)
        : m_thread([this, &buffer] {
              std::unique_lock<std::mutex> lock(m_mutex);
              m_locked = buffer.TryLock();
              m_ready = true;
              m_changed.notify_all();
              m_changed.wait(lock, [this] { return m_release; });
              if (m_locked)
                  buffer.Unlock();
          })
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_ready; });
    }
    ~CBusyHolder()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_release = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    bool Locked()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_locked;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_ready = false, m_release = false, m_locked = false;
    std::thread m_thread; // last: starts once the members above exist
};
