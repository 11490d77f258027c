#pragma once

// A real programmer as the adapter library sees it, without the hardware: a
// bus-level simulated chip (the library's own chip model, over an image
// file) behind the stand-in of one bridge, and XRUSB_PROGRAMMER naming it:
//
//   serprog  an emulated serial programmer on the far end of a
//            pseudo-terminal; the library opens the slave like /dev/ttyACM0
//   ch341a   a CH341A fake at the USB-transfer level, handed to the library
//            through its bridge-seams export in place of libusb
//   spidev   the kernel's spidev driver faked at its ioctls, handed over the
//            same way
//
// The stand-ins live in the test process; the library (dll/libxrusb.so, as
// the application loads it) reaches the first through the file system and
// the other two through the seams it was given.

#include "SimConfig.h"
#include "Trace.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace xrsim {
class CSpiChip;
}
namespace xremu {
class CSerprogEmulator;
class CCh341aFake;
class CSpidevFake;
} // namespace xremu

enum class EBridgeKind { Serprog, Ch341a, Spidev };

class CBridgeRig
{
public:
    explicit CBridgeRig(const QString &folder);
    ~CBridgeRig();
    CBridgeRig(const CBridgeRig &) = delete;
    CBridgeRig &operator=(const CBridgeRig &) = delete;

    static QString KindName(EBridgeKind kind);

    // Seats `chip` holding `contents` (blank when empty) behind the stand-in
    // of `kind`; `silent`: the programmer is there but never answers. Call
    // it while no programmer worker runs: the library reads the programmer
    // line and its seams on the worker's thread.
    bool Seat(EBridgeKind kind, const xrsim::CSpiConfig &chip, const QByteArray &contents = QByteArray(),
              bool silent = false);
    // Takes the stand-ins away again (the library lets go of them first).
    void Unseat();

    // The programmer vanishes after `transfers` more transfers (SPI
    // operations, USB exchanges or spidev messages; 0: now).
    void UnplugAfter(int transfers);
    // A vanished programmer is back at the same port (not for serprog: a new
    // pseudo-terminal has another name).
    void Replug();

    QString ProgrammerLine() const { return m_line; }
    QByteArray Image() const;
    // The library's messages not yet taken.
    static QStringList Messages();

private:
    void SetSeams(bool fakes);

    QString m_folder;
    QString m_image;
    QString m_line;
    EBridgeKind m_kind = EBridgeKind::Serprog;
    int m_count = 0;
    xrsim::CStats m_stats;
    std::unique_ptr<xrsim::CSpiChip> m_chip;
    std::unique_ptr<xremu::CSerprogEmulator> m_serprog;
    std::unique_ptr<xremu::CCh341aFake> m_ch341a;
    std::unique_ptr<xremu::CSpidevFake> m_spidev;
};
