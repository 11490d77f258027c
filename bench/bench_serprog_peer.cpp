// Norvaplex and flashrom side by side on the same emulated serial programmer
// (a serprog firmware on the far end of a pseudo-terminal, in front of the
// bus-level model of a 16 MiB W25Q128 flash), in one run:
//
//   1. a read of the whole chip;
//   2. erase, program and verify of the same 16 MiB image.
//
// The Norvaplex side is the whole program path: the SPI engine on its worker
// thread, dll/libxrusb.so and its serprog bridge (chosen with
// XRUSB_PROGRAMMER, as an operator would). flashrom runs as a separate
// process against a fresh emulator with the same starting contents
// (`-r` and `-w`; -w erases, writes and verifies). Each step checks the
// chip's contents afterwards. Prints the times and the ratios; exits 77
// (skipped) when flashrom is not installed.
//
// Usage: bench_serprog_peer [flashrom executable]   (default: flashrom on PATH)

#include "BridgeRig.h"
#include "DeviceDatabase.h"
#include "DeviceItemSPIFlash.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr qsizetype ChipBytes = 16 << 20;
const char DeviceName[] = "W25Q128FV";
const char PeerChip[] = "W25Q128.V";
constexpr int SkippedExit = 77;

QByteArray RandomBytes(quint32 seed)
{
    QByteArray bytes(ChipBytes, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    return bytes;
}

xrsim::CSpiConfig Chip()
{
    xrsim::CSpiConfig chip;
    chip.id = {0xEF, 0x40, 0x18};
    chip.size = ChipBytes;
    return chip;
}

struct CTimes
{
    double read = -1;
    double write = -1;
    bool readMatches = false;
    bool writeMatches = false;
};

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

CTimes RunNorvaplex(const QString &folder, const QByteArray &old, const QByteArray &image)
{
    CTimes times;
    CBridgeRig rig(folder);
    CSpiSimSession session(folder);
    auto *device = dynamic_cast<CDeviceItemSPIFlash *>(FindByName(QString::fromLatin1(DeviceName)));
    if (!device || !rig.Seat(EBridgeKind::Serprog, Chip(), old) || !session.Start(device)) {
        std::fprintf(stderr, "bench_serprog_peer: the serprog programmer did not come up: %s\n",
                     qPrintable(CBridgeRig::Messages().join(QStringLiteral("; "))));
        return times;
    }
    CSpiProgrammer &engine = *session.engine;
    COperationFrame &window = *session.frame;

    QElapsedTimer timer;
    engine.buffer(0)->Fill();
    timer.start();
    if (engine.startReadOp(0, 0, 'A') == 'A' && window.WaitForCode('A', 600000)) {
        times.read = Seconds(timer);
        times.readMatches = session.BufferBytes() == old;
    }

    engine.buffer(0)->WriteAt(reinterpret_cast<const uint8_t *>(image.constData()), 0, uint32_t(image.size()));
    timer.start();
    const bool erased = engine.startErase(0, 0) == 'G' && window.WaitForCode('G', 600000);
    const bool programmed = erased && engine.startProgram(0, 0) == 'D' && window.WaitForCode('D', 600000);
    const bool verified = programmed && engine.startReadOp(0, 0, 'B') == 'B' &&
                          COperationFrame::WaitFor([&] { return window.log.contains("Compare data OK"); }, 600000);
    if (verified) {
        times.write = Seconds(timer);
        times.writeMatches = window.failures.isEmpty() && rig.Image() == image;
    }
    session.Stop();
    return times;
}

bool RunPeer(const QString &flashrom, const QStringList &arguments, double &seconds)
{
    QProcess peer;
    peer.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    peer.start(flashrom, arguments);
    const bool ended = peer.waitForFinished(600000);
    seconds = Seconds(timer);
    if (!ended || peer.exitStatus() != QProcess::NormalExit || peer.exitCode() != 0) {
        std::fprintf(stderr, "bench_serprog_peer: flashrom failed:\n%s\n", peer.readAll().constData());
        return false;
    }
    return true;
}

CTimes RunFlashrom(const QString &flashrom, const QString &folder, const QByteArray &old, const QByteArray &image)
{
    CTimes times;
    CBridgeRig rig(folder);
    if (!rig.Seat(EBridgeKind::Serprog, Chip(), old))
        return times;
    const QString port = rig.ProgrammerLine().section(QLatin1Char(':'), 1);
    const QStringList programmer{QStringLiteral("-p"), QStringLiteral("serprog:dev=%1:115200").arg(port),
                                 QStringLiteral("-c"), QString::fromLatin1(PeerChip)};
    const QString readFile = folder + QStringLiteral("/peer-read.bin");
    const QString writeFile = folder + QStringLiteral("/peer-image.bin");
    double seconds = 0;
    if (RunPeer(flashrom, programmer + QStringList{QStringLiteral("-r"), readFile}, seconds)) {
        times.read = seconds;
        QFile file(readFile);
        times.readMatches = file.open(QIODevice::ReadOnly) && file.readAll() == old;
    }
    QFile file(writeFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return times;
    file.close();
    if (RunPeer(flashrom, programmer + QStringList{QStringLiteral("-w"), writeFile}, seconds)) {
        times.write = seconds;
        times.writeMatches = rig.Image() == image;
    }
    return times;
}

const char *Verdict(bool matches)
{
    return matches ? "contents match" : "CONTENTS DIFFER";
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString flashrom = QStandardPaths::findExecutable(app.arguments().value(1, QStringLiteral("flashrom")),
                                                            {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"),
                                                             QStringLiteral("/sbin"), QStringLiteral("/bin")});
    if (flashrom.isEmpty()) {
        std::printf("bench_serprog_peer: flashrom is not installed (apt-get install flashrom); skipped\n");
        return SkippedExit;
    }
    QTemporaryDir scratch;
    if (!scratch.isValid() || !Usb::LoadLibrary()) {
        std::fprintf(stderr, "bench_serprog_peer: no scratch folder or no adapter library (%s)\n",
                     qPrintable(Usb::LoadError()));
        return 1;
    }
    qunsetenv("XRUSB_SIM");
    CSpiSimSession::AddBundledFamily();
    const QByteArray old = RandomBytes(1);
    const QByteArray image = RandomBytes(2);

    const CTimes ours = RunNorvaplex(scratch.path(), old, image);
    const CTimes theirs = RunFlashrom(flashrom, scratch.path(), old, image);

    std::printf("16 MiB W25Q128 on an emulated serprog programmer (pseudo-terminal)\n");
    std::printf("  read:                     Norvaplex %7.2f s (%s)   flashrom %7.2f s (%s)\n", ours.read,
                Verdict(ours.readMatches), theirs.read, Verdict(theirs.readMatches));
    std::printf("  erase + program + verify: Norvaplex %7.2f s (%s)   flashrom %7.2f s (%s)\n", ours.write,
                Verdict(ours.writeMatches), theirs.write, Verdict(theirs.writeMatches));
    if (ours.read > 0 && theirs.read > 0)
        std::printf("  ratio flashrom / Norvaplex, read:  %.2f\n", theirs.read / ours.read);
    if (ours.write > 0 && theirs.write > 0)
        std::printf("  ratio flashrom / Norvaplex, write: %.2f\n", theirs.write / ours.write);
    const bool same = ours.readMatches && ours.writeMatches && theirs.readMatches && theirs.writeMatches;
    std::printf("  chip contents afterwards: %s\n", same ? "the same on both sides" : "NOT THE SAME");
    return same ? 0 : 1;
}
