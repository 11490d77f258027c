#pragma once

// One SPI engine against the simulated adapter, for end-to-end tests and
// benchmarks: seats a chip (configuration with trace, stats and image file),
// builds the engine for a device entry, follows it with a COperationFrame
// and reads back what the adapter saw.

#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "MemoryNode.h"
#include "OperationFrame.h"
#include "SimAdapterHost.h"
#include "SpiProgrammer.h"
#include "UsbLibrary.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <memory>

class CSpiSimSession
{
public:
    explicit CSpiSimSession(const QString &folder) : m_folder(folder) {}
    ~CSpiSimSession() { Stop(); }

    // Appends the bundled SPI device list as a family of the database and
    // returns how many entries it holds.
    static int AddBundledFamily()
    {
        auto family = std::make_unique<CDeviceFamilySPI>();
        family->LoadFile(QStringLiteral(NVP_SOURCE_DIR "/data/config/SPI.txt"));
        const int count = family->Count();
        DeviceFamilies().push_back(std::move(family));
        return count;
    }

    // Ends a program's use of the simulated adapter: the adapter is opened
    // once more with a configuration that names no files, so nothing is
    // written into the folder after it is gone, and the library is unloaded.
    static void ReleaseAdapter(const QString &folder)
    {
        WriteSimConfig(folder, QStringLiteral("[adapter]\nmodule=none\n"));
        Usb::Open();
        Usb::Close();
        Usb::UnloadLibrary();
    }

    // The start of a test program's SPI session: the adapter library and the
    // bundled SPI list are loaded. Empty when all went well, else what failed.
    static QString OpenForTests(const QString &folder, std::unique_ptr<CSpiSimSession> &session)
    {
        if (!Usb::LoadLibrary())
            return Usb::LoadError();
        if (AddBundledFamily() <= 0)
            return QStringLiteral("the bundled SPI list holds no entry");
        session = std::make_unique<CSpiSimSession>(folder);
        return QString();
    }

    // Its end: the session goes, the adapter is released and the device
    // database emptied.
    static void CloseForTests(const QString &folder, std::unique_ptr<CSpiSimSession> &session)
    {
        session.reset();
        ReleaseAdapter(folder);
        DeleteAll();
    }

    // A new adapter with an SPI module: `spi` holds [spi] keys; `dump`, when
    // given, is seated as the chip's contents (else a blank chip).
    bool Seat(const QString &spi, const QByteArray &dump = QByteArray(), const QString &adapterKeys = QString())
    {
        Stop();
        ++m_count;
        image = m_folder + QStringLiteral("/spi-chip-%1.bin").arg(m_count);
        trace = m_folder + QStringLiteral("/trace-%1.txt").arg(m_count);
        stats = m_folder + QStringLiteral("/stats-%1.txt").arg(m_count);
        if (!dump.isEmpty() && !WriteFile(image, dump))
            return false;
        WriteSimConfig(m_folder, QStringLiteral("[adapter]\nmodule=spi\nreenumerate_ms=0\ntrace=%1\nstats=%2\n%3\n"
                                                "[spi]\nimage=%4\n%5\n")
                                     .arg(tracing ? trace : QString(), stats, adapterKeys, image, spi));
        return true;
    }

    // Builds the engine for `device`, starts it and waits until the adapter
    // is ready and has taken the target setup.
    bool Start(CDeviceItemSPIFlash *device)
    {
        Stop();
        frame = std::make_unique<COperationFrame>();
        engine = std::make_unique<CSpiProgrammer>(device);
        frame->Attach(engine.get());
        engine->start();
        return frame->WaitForReady(30000) && Settle();
    }

    // Waits until the worker has sent everything queued so far (and the
    // trace holds it): a marker behind it comes back.
    bool Settle()
    {
        constexpr char Tag = 'Z';
        engine->queueMarker(Tag, -1, 0);
        return frame->WaitForTag(Tag, 60000);
    }

    // Ends the engine (which closes the adapter, so the stats file is written).
    void Stop()
    {
        engine.reset();
        frame.reset();
    }

    // The command and program-data lines of the trace from byte `from` on.
    QStringList TraceCommands(qint64 from = 0) const
    {
        QFile file(trace);
        QStringList lines;
        if (!file.open(QIODevice::ReadOnly) || !file.seek(from))
            return lines;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("CMD ") || line.startsWith("DATA "))
                lines << QString::fromLatin1(line.trimmed());
        }
        return lines;
    }
    qint64 TraceSize() const { return QFile(trace).size(); }
    QByteArray Image() const { return ReadFile(image); }
    QMap<QString, qulonglong> Stats() { Stop(); return ReadSimStats(stats); }

    // The engine's buffer as bytes.
    QByteArray BufferBytes() const
    {
        CMemoryNode *node = engine->buffer(0);
        QByteArray bytes(qsizetype(node->GetSize()), '\0');
        node->Read(0, reinterpret_cast<uint8_t *>(bytes.data()), node->GetSize());
        return bytes;
    }

    static bool WriteFile(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    }
    static QByteArray ReadFile(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::unique_ptr<COperationFrame> frame;
    std::unique_ptr<CSpiProgrammer> engine;
    QString image, trace, stats;
    bool tracing = true; // a trace line per library call costs time in benchmarks

private:
    QString m_folder;
    int m_count = 0;
};
