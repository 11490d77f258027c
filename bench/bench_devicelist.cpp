// Reading long device lists: 20,000 and 100,000 distinct NAND and SPI
// entries (each list read a few times, the best time printed). Reading must
// grow with the number of lines, not with its square: the goal is under one
// second for 100,000 lines.

#include "DeviceFamily.h"
#include "FrameServices.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 3;

class CQuietFrame : public CFrameServices
{
public:
    void LogMessage(const QString &) override {}
};

QByteArray NandList(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "Name=\"SIMNAND" + QByteArray::number(i) + "\",MFG=\"SIM\",ID1=\"ech\",ID2=\"f1h\",ID3=\"00h\","
                "ID4=\"95h\",ID5=\"41h\",size=\"8400000h\",PageSize=\"840h\",BlockSize=\"40h\"\r\n";
    return text;
}

QByteArray SpiList(int lines)
{
    QByteArray text;
    for (int i = 0; i < lines; ++i)
        text += "Name=\"SIMSPI" + QByteArray::number(i) + "\",MFG=\"SIM\",ID1=\"efh\",ID2=\"30h\",ID3=\"13h\","
                "size=\"80000h\",SectorSize=\"10000h\",SectorNum=\"8h\",PageSize=\"100h\"\r\n";
    return text;
}

double BestSeconds(const std::function<int()> &read, int *count)
{
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer clock;
        clock.start();
        *count = read();
        best = std::min(best, double(clock.nsecsElapsed()) / 1e9);
    }
    return best;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    CQuietFrame frame;
    SetFrame(&frame);
    for (int lines : {20000, 100000}) {
        const QByteArray nand = NandList(lines);
        const QByteArray spi = SpiList(lines);
        int nandCount = 0, spiCount = 0;
        const double nandSeconds = BestSeconds(
            [&] {
                CDeviceFamilyNand family;
                family.AddLines(nand);
                return family.Count();
            },
            &nandCount);
        const double spiSeconds = BestSeconds(
            [&] {
                CDeviceFamilySPI family;
                family.AddLines(spi);
                return family.Count();
            },
            &spiCount);
        std::printf("%6d lines: NAND %.3f s (%d entries), SPI %.3f s (%d entries)\n", lines, nandSeconds,
                    nandCount, spiSeconds, spiCount);
    }
    return 0;
}
