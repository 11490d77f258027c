#pragma once

// Helpers for tests of the programmer worker against the simulated adapter:
// the adapter's configuration and call trace, a minimal engine that only
// fills the pure slots, and a receiver that collects the worker's signals on
// the GUI thread as the main window would.

#include "AdapterProtocol.h"
#include "MemoryNode.h"
#include "Programmer.h"
#include "SignalReceiver.h"
#include "UsbLibrary.h"

#include <QFile>
#include <QSaveFile>
#include <QObject>
#include <QStringList>

#include <memory>

// The simulated adapter's INI file, written before the library is loaded,
// with a trace of every library call.
class CSimConfig
{
public:
    // adapterKeys go into [adapter]; section names the chip section
    // ("spi" or "nand") that receives chipKeys.
    CSimConfig(const QString &folder, const QStringList &adapterKeys, const QString &section,
               const QStringList &chipKeys)
        : m_path(folder + "/xrusb-sim.ini"), m_tracePath(folder + "/trace.txt")
    {
        Write(adapterKeys, section, chipKeys);
        Activate();
    }

    // Replaces the file in one step, so the library reads either the old
    // configuration or the new one. The library takes a changed file (a
    // fresh adapter) at its next open while no adapter is open; unlike a
    // switch of the environment variable this is safe while a worker runs.
    void Write(const QStringList &adapterKeys, const QString &section, const QStringList &chipKeys) const
    {
        QStringList lines{"[adapter]", "trace=" + m_tracePath};
        lines += adapterKeys;
        lines << "[" + section + "]";
        lines += chipKeys;
        QSaveFile file(m_path);
        if (!file.open(QIODevice::WriteOnly) || file.write(lines.join('\n').toLatin1() + '\n') < 0 || !file.commit())
            qFatal("cannot write %s", qPrintable(m_path));
    }

    // Points the adapter library at this configuration. The library takes a
    // new configuration (a fresh adapter) at its next open while no adapter
    // is open.
    void Activate() const { qputenv("XRUSB_SIM", m_path.toLocal8Bit()); }

    // Every traced call so far, one line each.
    QStringList Trace() const
    {
        QFile file(m_tracePath);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
        for (QString &line : lines)
            line = line.trimmed();
        return lines;
    }
    // The traced calls of one kind ("CMD", "READ", "DATA", ...) after mark.
    QStringList Calls(const QString &kind, int mark = 0) const
    {
        QStringList picked;
        const QStringList lines = Trace();
        for (int i = mark; i < lines.size(); ++i)
            if (lines[i].startsWith(kind + ' ') || lines[i] == kind)
                picked << lines[i];
        return picked;
    }

private:
    QString m_path;
    QString m_tracePath;
};

// The smallest engine there is: it streams program data from one buffer and
// fills the other pure slots with the plainest behaviour.
class CTestEngine : public CProgrammer
{
public:
    explicit CTestEngine(const uint8_t *firmware, CMemoryNode *source = nullptr, uint32_t maxTransfer = 0x8000)
        : CProgrammer(nullptr)
    {
        m_firmware = firmware;
        m_maxTransfer = maxTransfer;
        m_source = addBuffer(source ? source : new CMemoryNode("SPI", 0, 0x10000, 0xFF));
    }
    ~CTestEngine() override { stopWorker(); }

    void SetMaxTransfer(uint32_t bytes) { m_maxTransfer = bytes; }
    void SetFirmware(const uint8_t *firmware) { m_firmware = firmware; }

    void afterCommandSent(const CProgCommand &record) override { streamProgramData(record, m_source); }
    void setTarget(uint8_t adapterKind) override
    {
        Adapter::CTargetSetup setup;
        setup.adapterKind = adapterKind;
        setup.family = Adapter::FamilySpi;
        setup.spiAlgorithm = 0;
        queueSetTarget(setup);
    }
    void putLE32(uint8_t *destination, uint32_t value) override { Adapter::PutLE32(destination, value); }
    int startReadOp(uint64_t, uint64_t, int) override { return Refused; }
    int startErase(uint64_t, uint64_t) override { return Refused; }
    int startProgram(uint64_t, uint64_t) override { return Refused; }
    void normalizeRange(uint64_t &, uint64_t &) override {}
    void readIdAt(int32_t address) override
    {
        const uint8_t packet[10] = {Adapter::Cmd::ReadId};
        queueCommand(packet, 10, address, Adapter::Tag::DetectId, 3);
    }
    CMemoryNode *buffer(int index) override { return index == 0 ? m_source : nullptr; }
    bool handleMessage(CProgMessage *) override { return false; }
    bool loadFile(const QString &path) override { return m_source->LoadFile(path, true); }
    void saveNamedBuffer(const QString &, const QString &) override {}
    void setSpeed(int) override {}

private:
    CMemoryNode *m_source = nullptr;
};

// What one reply piece or marker carried.
struct CPiece
{
    char tag = 0;
    int address = 0;
    QByteArray data;
    bool operator==(const CPiece &other) const
    {
        return tag == other.tag && address == other.address && data == other.data;
    }
};

inline char *toString(const CPiece &piece)
{
    return qstrdup(QStringLiteral("%1@%2[%3]")
                       .arg(QChar(piece.tag))
                       .arg(piece.address)
                       .arg(QString::fromLatin1(piece.data.left(8).toHex()) + (piece.data.size() > 8 ? "..." : ""))
                       .toLatin1()
                       .constData());
}

// Collects the worker's signals on the GUI thread and owns (deletes) every
// message, as the main window does.
class CWorkerReceiver : public CSignalReceiver
{
    Q_OBJECT
public:
    explicit CWorkerReceiver(CProgrammer *programmer)
    {
        connect(programmer, &CProgrammer::messageReady, this, &CWorkerReceiver::OnMessage);
        connect(programmer, &CProgrammer::connectionChanged, this, &CWorkerReceiver::OnConnection);
        connect(programmer, &CProgrammer::dataSent, this, &CWorkerReceiver::OnDataSent);
    }

    QList<CPiece> pieces;
    QList<bool> connections;
    QList<QPair<unsigned, unsigned>> jobsSent;

public slots:
    void OnMessage(const CProgMessageParcel &parcel)
    {
        std::unique_ptr<CProgMessage> owned(parcel.Take());
        CProgMessage *message = owned.get();
        if (!message)
            return;
        CPiece piece;
        piece.tag = char(message->tag);
        piece.address = message->address;
        if (message->data)
            piece.data = QByteArray(reinterpret_cast<const char *>(message->data.get()), int(message->size));
        else
            piece.data = QByteArray(int(message->size), '\0');
        pieces << piece;
    }
    void OnConnection(bool connected) { connections << connected; }
    void OnDataSent(unsigned firstUnit, unsigned units) { jobsSent << qMakePair(firstUnit, units); }
};

// Test packets of a plain SPI flash (opcodes 0x03 read, 0x02 page program).
namespace TestPackets {
inline Adapter::CPacket SpiRead(uint32_t address, uint32_t length)
{
    Adapter::CPacket packet;
    packet.length = 20;
    packet.bytes[0] = Adapter::Cmd::Read;
    packet.bytes[1] = 0x03;
    packet.bytes[2] = 3;
    Adapter::PutBE24(packet.bytes + 3, address);
    Adapter::PutLE32(packet.bytes + 7, length);
    return packet;
}
inline Adapter::CPacket SpiProgram(uint32_t address, uint32_t bytes)
{
    Adapter::CPacket packet;
    packet.length = 20;
    packet.bytes[0] = Adapter::Cmd::Program;
    packet.bytes[1] = 0x02;
    packet.bytes[2] = 3;
    Adapter::PutBE24(packet.bytes + 3, address);
    const uint32_t pages = bytes / 256;
    packet.bytes[10] = uint8_t(pages);
    packet.bytes[11] = uint8_t((pages >> 8) + (uint8_t(pages) != 0 ? 1 : 0));
    packet.bytes[16] = 0x05; // status opcode
    packet.bytes[17] = 0x01; // busy mask
    packet.bytes[18] = 0x00; // ready value
    return packet;
}
} // namespace TestPackets
