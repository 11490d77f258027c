// Paint times of the views over the largest buffers and tables they meet: a
// hex view over a 64 GiB file-backed image (sparse, so nothing is loaded)
// and a bad-block map of 65536 blocks. Prints the median and the spread of
// full paints; the views must stay well inside one frame.

#include "BadBlockTable.h"
#include "BadBlockView.h"
#include "FileMemoryNode.h"
#include "HexView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRuns = 200;
constexpr quint64 kGiB = quint64(1) << 30;

struct SFigures
{
    double median, best, worst;
    double cpuMedian;
};

// The paint's own processor time: other programs sharing the cores inflate
// the wall-clock figures, not this one.
double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Full paints of a widget into an image of its size, timed one by one.
SFigures TimePaints(QWidget &widget, const std::function<void(int)> &between)
{
    QImage target(widget.size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> times, cpu;
    for (int run = 0; run < kRuns; ++run) {
        between(run);
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMs();
        timer.start();
        widget.render(&target);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpu.push_back(ThreadCpuMs() - cpuStart);
    }
    std::sort(times.begin(), times.end());
    std::sort(cpu.begin(), cpu.end());
    return {times[times.size() / 2], times.front(), times.back(), cpu[cpu.size() / 2]};
}

void Print(const char *what, const SFigures &figures)
{
    std::printf("%-50s median %6.3f ms  best %6.3f ms  worst %7.3f ms  processor time median %6.3f ms  (%d paints)\n",
                what, figures.median, figures.best, figures.worst, figures.cpuMedian, kRuns);
}

bool BenchHexView(const QString &folder)
{
    const QString path = folder + QStringLiteral("/image64g.bin");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(64 * kGiB))) {
            std::fprintf(stderr, "cannot create a sparse 64 GiB file in %s\n", qPrintable(folder));
            return false;
        }
        // Some data in the middle, so the paints show more than zeros.
        file.seek(qint64(32 * kGiB));
        QByteArray pattern(1 << 16, '\0');
        for (int i = 0; i < pattern.size(); ++i)
            pattern[i] = char(i * 31);
        file.write(pattern);
    }
    CFileMemoryNode buffer(QStringLiteral("Nand"), 0, 64 * kGiB);
    if (!buffer.LoadFile(path, false))
        return false;
    CHexView view(&buffer);
    view.resize(1000, 800);
    view.show();
    QApplication::processEvents();
    QRandomGenerator random(7);
    const uint64_t maxRow = view.layout().MaxFirstRow();
    Print("hex view 1000x800, 64 GiB file, same place", TimePaints(view, [&](int) {
              view.ShowRange(32 * kGiB, 32 * kGiB, false);
          }));
    Print("hex view 1000x800, 64 GiB file, a new place each paint", TimePaints(view, [&](int) {
              const uint64_t row = random.bounded(quint64(maxRow));
              view.ShowRange(row * 16, row * 16, false);
          }));
    return true;
}

void BenchBadBlockView()
{
    CBadBlockTable table(65536ull * 0x20000, 0x20000);
    QRandomGenerator random(11);
    for (uint32_t block = 0; block < table.count(); ++block)
        table.setState(block, random.bounded(100) < 3 ? CBadBlockTable::Bad : CBadBlockTable::Good);
    CBadBlockView view;
    view.resize(1000, 800);
    view.bind(&table);
    view.show();
    QApplication::processEvents();
    Print("bad-block view 1000x800, 65536 blocks, top", TimePaints(view, [](int) {}));
    Print("bad-block view 1000x800, 65536 blocks, scrolling", TimePaints(view, [&](int run) {
              view.verticalScrollBar()->setValue(run * 3 % (view.verticalScrollBar()->maximum() + 1));
          }));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    // "hex" or "badblock" runs one of the two, for profiling.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    bool ok = true;
    if (only.isEmpty() || only == QLatin1String("hex"))
        ok = BenchHexView(folder.path());
    if (only.isEmpty() || only == QLatin1String("badblock"))
        BenchBadBlockView();
    return ok ? 0 : 1;
}
