#include "SimAdapterHost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstring>

#include <dlfcn.h>

CSimAdapterHost::CSimAdapterHost(const QString &libraryPath)
{
    m_handle = dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        m_error = QString::fromLocal8Bit(dlerror());
        return;
    }
    m_open = reinterpret_cast<OpenFn>(dlsym(m_handle, "func4"));
    m_close = reinterpret_cast<CloseFn>(dlsym(m_handle, "func5"));
    m_firmware = reinterpret_cast<FirmwareFn>(dlsym(m_handle, "func3"));
    m_send = reinterpret_cast<SendFn>(dlsym(m_handle, "func2"));
    m_read = reinterpret_cast<ReadFn>(dlsym(m_handle, "func1"));
    m_packetSize = reinterpret_cast<PacketSizeFn>(dlsym(m_handle, "func6"));
    if (!IsLoaded())
        m_error = "the library lacks some of func1 to func6";
}

CSimAdapterHost::~CSimAdapterHost()
{
    if (m_handle)
        dlclose(m_handle);
}

QString CSimAdapterHost::DefaultLibraryPath()
{
    return QStringLiteral(NVP_BINARY_DIR "/dll/libxrusb.so");
}

int32_t CSimAdapterHost::LoadFirmware(const QByteArray &image, uint8_t mode) const
{
    return m_firmware(image.isEmpty() ? nullptr : reinterpret_cast<const uint8_t *>(image.constData()), mode);
}

int32_t CSimAdapterHost::Send(int32_t pipe, const QByteArray &data) const
{
    return m_send(pipe, reinterpret_cast<const uint8_t *>(data.constData()), int32_t(data.size()));
}

QByteArray CSimAdapterHost::Reply(int32_t pipe, int32_t length) const
{
    QByteArray buffer(length, '\0');
    const int32_t got = m_read(pipe, reinterpret_cast<uint8_t *>(buffer.data()), length);
    if (got <= 0)
        return {};
    buffer.truncate(got);
    return buffer;
}

QByteArray CSimAdapterHost::Command(const QByteArray &packet, int32_t replyLength, int32_t pipe) const
{
    if (Send(0, packet) <= 0 || replyLength <= 0)
        return {};
    return Reply(pipe, replyLength);
}

bool CSimAdapterHost::Connect(const QByteArray &firmware, int timeoutMs) const
{
    if (!Open())
        return false;
    Close();
    const int32_t loaded = LoadFirmware(firmware, 0);
    if (loaded == 0)
        return false;
    if (loaded != 2) {
        QElapsedTimer timer;
        timer.start();
        while (!Open()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QThread::msleep(10);
        }
        Close();
    }
    return Open() != 0;
}

QByteArray CSimAdapterHost::Packet(std::initializer_list<int> bytes, int length)
{
    QByteArray packet(qMax<int>(length, int(bytes.size())), '\0');
    int i = 0;
    for (int b : bytes)
        packet[i++] = char(b);
    return packet;
}

QByteArray CSimAdapterHost::FirmwareImage(int kind, int index, int records)
{
    constexpr int RecordBytes = 22;
    QByteArray image(records * RecordBytes, '\0');
    for (int r = 0; r < records - 1; ++r) {
        char *record = image.data() + r * RecordBytes;
        record[0] = 16;
        record[2] = char((r * 16) & 0xFF);
        record[3] = char((r * 16) >> 8);
        record[4] = 0;
        for (int i = 0; i < 16; ++i)
            record[5 + i] = char((r * 31 + i * 7 + kind * 3 + index) & 0xFF);
    }
    std::memcpy(image.data() + 5, "NVPX", 4);
    image[5 + 4] = char(kind);
    image[5 + 5] = char(index);
    char *end = image.data() + (records - 1) * RecordBytes;
    end[4] = 1;
    return image;
}

QString WriteSimConfig(const QString &dir, const QString &text)
{
    static int counter = 0;
    const QString path = QDir(dir).filePath(QStringLiteral("sim-%1.ini").arg(++counter));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text.toUtf8());
    qputenv("XRUSB_SIM", QFile::encodeName(path));
    return path;
}

uint32_t SimLE(const QByteArray &bytes, int offset, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | uint8_t(bytes.at(offset + i));
    return value;
}

QMap<QString, qulonglong> ReadSimStats(const QString &path)
{
    QMap<QString, qulonglong> stats;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return stats;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            stats[QString::fromLatin1(line.left(equals))] = line.mid(equals + 1).toULongLong();
    }
    return stats;
}
