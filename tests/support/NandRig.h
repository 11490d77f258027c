#pragma once

// An end-to-end rig for the NAND engine: a simulated chip described by a
// fresh configuration (with its own image, trace and stats files), a device
// database holding the entries the test names, a real CNandProgrammer with
// its worker thread on the simulated adapter library, followed by an
// COperationFrame. One rig per test case.

#include "OperationFrame.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>

class CDeviceItemNand;
class CNandProgrammer;

struct CSimNand
{
    int pageSize = 2112;
    int pagesPerBlock = 64;
    int blocks = 16;           // per chip enable
    int chipEnables = 1;
    QString id = QStringLiteral("EC F1 00 95 41 00");
    QString badBlocks;         // chip-wide block numbers, comma separated
    int packetSize = 512;
    QString adapterExtra;      // more [adapter] lines
    QString nandExtra;         // more [nand] lines

    uint64_t BlockBytes() const { return uint64_t(pageSize) * pagesPerBlock; }
    uint64_t ChipBytes() const { return BlockBytes() * uint64_t(blocks) * uint64_t(chipEnables); }
    // A device list line for this chip: name, its ID bytes (up to five),
    // size, page size, block size and chip enables (ceCount, 0: the chip's).
    QString DeviceLine(const QString &name, int ceCount = 0, const QString &id = QString()) const;
};

class CNandRig
{
public:
    // dir holds every file of the rig; it must outlive the rig.
    explicit CNandRig(const QString &dir);
    ~CNandRig();
    CNandRig(const CNandRig &) = delete;
    CNandRig &operator=(const CNandRig &) = delete;

    // Writes the configuration, fills the database with deviceLines, makes
    // the entry named target current, creates the engine and waits until the
    // adapter is ready. False (with a reason in Error()) on failure.
    bool Start(const CSimNand &chip, const QStringList &deviceLines, const QString &target);
    // Deletes the engine (its worker closes the adapter).
    void Stop();

    CNandProgrammer *Engine() const { return m_engine.get(); }
    CDeviceItemNand *Device(const QString &name) const;
    QString Error() const { return m_error; }

    // The simulated chip's raw image file. A test seats a dump by writing
    // it before Start: the simulator learns the file's layout when it opens it.
    QString ImagePath() const { return m_image; }
    QByteArray ReadImage() const;
    // Writes bytes into an erased part of the chip's image file while the
    // simulator runs (as if programmed elsewhere): the whole file-system
    // block around them is written, 0xFF but for the bytes, since a write
    // into a hole would otherwise leave zeros around it.
    bool PatchErased(uint64_t offset, const QByteArray &bytes) const;
    // Lines of the trace file from line `from` on; TraceLines().size() marks now.
    QStringList TraceLines(int from = 0) const;
    // The command lines ("CMD ...") of the trace from line `from` on.
    QStringList Commands(int from = 0) const;
    QMap<QString, qulonglong> Stats() const;
    // Points the simulator at a configuration without trace and stats files
    // in dir and drops the adapter, so nothing is written into a test's
    // folder after it is gone. For cleanupTestCase.
    static void ReleaseSimulator(const QString &dir);

    // A new file name in the rig's folder.
    QString NewPath(const QString &stem);

    COperationFrame frame;
    // How long Start waits for the adapter to become ready.
    int readyTimeoutMs = 20000;

private:
    QString m_dir;
    QString m_image, m_trace, m_stats;
    QString m_error;
    std::unique_ptr<CNandProgrammer> m_engine;
};

// Hex bytes as the trace writes them: "27 05 00 ..." upper case.
QString TraceHex(const QByteArray &bytes);
// A 20-byte array packet of the engine's layout, for expected trace lines.
QByteArray ArrayPacketBytes(int code, int columnBytes, int rowBytes, uint32_t row, int pageSize, int pages);
// A file of `bytes` pseudo-random bytes from `seed`, with the bad-block
// marker of each listed block (first spare byte of its first page) set to 0
// and every other block's first 6 spare bytes of its first page set to 0xFF.
QByteArray MakeImage(const CSimNand &chip, uint64_t bytes, uint32_t seed, const QList<int> &badBlocks = {});
bool WriteFile(const QString &path, const QByteArray &bytes);
QByteArray ReadFile(const QString &path);
