// Reading and verifying a 128 MiB SPI flash through the SPI engine and the
// simulated adapter, against copying the chip's image file with cp: the whole
// path of an operation (ID read, command batch, worker, reply pieces, queued
// messages, buffer writes or compares, progress) timed from the start of the
// operation to its end, in one run with the cp of the same file. Prints its
// figures; never fails on timing.
// Usage: bench_spi [folder for the chip image, default $TMPDIR] [rounds, default 3]

#include "DeviceDatabase.h"
#include "DeviceFamily.h"
#include "DeviceItemSPIFlash.h"
#include "SpiSimSession.h"
#include "UsbLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr qsizetype ChipBytes = 128ll << 20;
const char DeviceName[] = "MT25QL01GBBB";
const char ChipKeys[] = "id=20 BA 21\nsize=0x8000000";

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

long g_faults = 0; // page faults of the last operation

double Seconds(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double TimeCopy(const QString &from, const QString &to)
{
    QFile::remove(to);
    QElapsedTimer timer;
    timer.start();
    const int result = QProcess::execute(QStringLiteral("cp"), {from, to});
    const double seconds = Seconds(timer);
    QFile::remove(to);
    return result == 0 ? seconds : -1.0;
}

// One read-type operation from start to its end; -1 when it did not end.
double TimeOperation(CSpiSimSession &session, char op)
{
    COperationFrame &frame = *session.frame;
    const qsizetype ends = frame.log.count(QStringLiteral("Compare data OK"));
    const long faults = MinorFaults();
    QElapsedTimer timer;
    timer.start();
    session.engine->startReadOp(0, 0, op);
    const bool ended = op == 'A' ? frame.WaitForCode('A', 600000)
                                 : COperationFrame::WaitFor(
                                       [&] { return frame.log.count(QStringLiteral("Compare data OK")) > ends; },
                                       600000);
    const double seconds = Seconds(timer);
    g_faults = MinorFaults() - faults;
    return ended && frame.stops == 0 ? seconds : -1.0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir scratch(args.size() > 1 ? args.at(1) + QStringLiteral("/bench-spi-XXXXXX") : QString());
    const int rounds = args.size() > 2 ? std::max(1, args.at(2).toInt()) : 3;
    if (!scratch.isValid() || !Usb::LoadLibrary()) {
        std::fprintf(stderr, "bench_spi: no scratch folder or no adapter library (%s)\n",
                     qPrintable(Usb::LoadError()));
        return 1;
    }
    CSpiSimSession::AddBundledFamily();
    auto *device = dynamic_cast<CDeviceItemSPIFlash *>(FindByName(QString::fromLatin1(DeviceName)));
    if (!device || qsizetype(device->m_size) != ChipBytes) {
        std::fprintf(stderr, "bench_spi: no 128 MiB entry %s in the device list\n", DeviceName);
        return 1;
    }

    // A chip full of data (no holes), so cp and the simulator read every byte.
    QByteArray data(ChipBytes, '\0');
    QRandomGenerator(12345).fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    CSpiSimSession session(scratch.path());
    session.tracing = false;
    if (!session.Seat(QString::fromLatin1(ChipKeys), data) || !session.Start(device)) {
        std::fprintf(stderr, "bench_spi: the simulated adapter did not come up\n");
        return 1;
    }
    const QString copy = scratch.filePath(QStringLiteral("copy.bin"));
    TimeCopy(session.image, copy); // warms the page cache for both sides

    double bestCopy = std::numeric_limits<double>::max();
    double bestRead = bestCopy;
    double bestVerify = bestCopy;
    std::printf("SPI engine, %s (128 MiB), simulated adapter, packet size %d, %d rounds\n", DeviceName,
                session.engine->packetSize(), rounds);
    for (int round = 1; round <= rounds; ++round) {
        session.engine->buffer(0)->Fill();
        const double cp = TimeCopy(session.image, copy);
        const double read = TimeOperation(session, 'A');
        const long readFaults = g_faults;
        const bool same = session.BufferBytes() == data;
        const double verify = TimeOperation(session, 'B');
        if (cp < 0 || read < 0 || verify < 0 || !same) {
            std::fprintf(stderr, "bench_spi: round %d failed (cp %.3f, read %.3f%s, verify %.3f)\n", round, cp, read,
                         same ? "" : " with wrong data", verify);
            return 1;
        }
        std::printf("  round %d: cp %.3f s, read %.3f s (%.2f x cp, %ld page faults), verify %.3f s (%.2f x cp, "
                    "%ld page faults)\n",
                    round, cp, read, read / cp, readFaults, verify, verify / cp, g_faults);
        bestCopy = std::min(bestCopy, cp);
        bestRead = std::min(bestRead, read);
        bestVerify = std::min(bestVerify, verify);
    }
    std::printf("best: cp %.3f s (%.0f MiB/s), read %.3f s (%.0f MiB/s, %.2f x cp), verify %.3f s (%.0f MiB/s, "
                "%.2f x cp)\n",
                bestCopy, 128 / bestCopy, bestRead, 128 / bestRead, bestRead / bestCopy, bestVerify, 128 / bestVerify,
                bestVerify / bestCopy);
    std::printf("targets: read at most 2 x cp, verify at most 2.5 x cp\n");
    session.Stop();
    DeleteAll();
    CSpiSimSession::ReleaseAdapter(scratch.path());
    return 0;
}
