#pragma once

// Drives the simulated adapter library through its six exports, as the
// application's worker does: for the simulator's own tests, end-to-end tests
// and benchmarks. The library is loaded from <build>/dll/libxrusb.so; being
// loaded once per process, it keeps its state between test cases and starts
// afresh when func4 finds another configuration (see WriteSimConfig).

#include <QByteArray>
#include <QMap>
#include <QString>

#include <cstdint>
#include <initializer_list>

class CSimAdapterHost
{
public:
    using OpenFn = int32_t (*)();
    using CloseFn = void (*)();
    using FirmwareFn = int32_t (*)(const uint8_t *, uint8_t);
    using SendFn = int32_t (*)(int32_t, const uint8_t *, int32_t);
    using ReadFn = int32_t (*)(int32_t, uint8_t *, int32_t);
    using PacketSizeFn = int32_t (*)();

    explicit CSimAdapterHost(const QString &libraryPath = DefaultLibraryPath());
    ~CSimAdapterHost();
    CSimAdapterHost(const CSimAdapterHost &) = delete;
    CSimAdapterHost &operator=(const CSimAdapterHost &) = delete;

    static QString DefaultLibraryPath();
    bool IsLoaded() const { return m_handle && m_open && m_close && m_firmware && m_send && m_read && m_packetSize; }
    QString ErrorString() const { return m_error; }

    int32_t Open() const { return m_open(); }
    void Close() const { m_close(); }
    int32_t LoadFirmware(const QByteArray &image, uint8_t mode) const;
    int32_t Send(int32_t pipe, const QByteArray &data) const;
    int32_t Read(int32_t pipe, uint8_t *buffer, int32_t length) const { return m_read(pipe, buffer, length); }
    int32_t PacketSize() const { return m_packetSize(); }

    // Reads up to `length` bytes in one call; empty when the call failed.
    QByteArray Reply(int32_t pipe, int32_t length) const;
    // Sends a command and reads its reply with one call (no reply: empty).
    QByteArray Command(const QByteArray &packet, int32_t replyLength, int32_t pipe = 3) const;
    // The application's first connection attempt: find, close, load the
    // firmware with mode 0, wait for re-enumeration, open. False on failure.
    bool Connect(const QByteArray &firmware, int timeoutMs = 10000) const;

    // A packet of `length` bytes: the given leading bytes, zeros after.
    static QByteArray Packet(std::initializer_list<int> bytes, int length = 20);
    // A well-formed firmware image: 22-byte records, the first data record
    // "NVPX", kind, index; `records` records including the end record.
    static QByteArray FirmwareImage(int kind, int index, int records = 420);

private:
    void *m_handle = nullptr;
    QString m_error;
    OpenFn m_open = nullptr;
    CloseFn m_close = nullptr;
    FirmwareFn m_firmware = nullptr;
    SendFn m_send = nullptr;
    ReadFn m_read = nullptr;
    PacketSizeFn m_packetSize = nullptr;
};

// Writes `text` as an INI file in `dir` under a name not used before in this
// process and points XRUSB_SIM at it; returns the path. The next func4 after
// a func5 then reads it: a fresh adapter for each test case.
QString WriteSimConfig(const QString &dir, const QString &text);

// The counters of a stats file ("name=value" lines).
QMap<QString, qulonglong> ReadSimStats(const QString &path);

// A little-endian word of a reply.
uint32_t SimLE(const QByteArray &bytes, int offset, int count);
