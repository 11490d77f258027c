// How long the window's event loop stalls while a 1 GiB NAND chip is read
// and verified on the simulated adapter: the real window, worker thread and
// library, a file-backed buffer. A 5 ms timer notes how late each of its
// ticks comes; the longest lateness is the longest time the operator's
// clicks, keys and repaints would have waited.
// Prints its figures; never fails on timing.
// Usage: bench_guistall [blocks, default 8192 (1 GiB of data)]

#include "AppSettings.h"
#include "CmdProcessor.h"
#include "MainFrame.h"
#include "Script.h"
#include "StatusLabel.h"
#include "WindowTestKit.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTickMs = 5;

// Ticks every kTickMs and keeps how late each tick came.
class CLatenessProbe
{
public:
    CLatenessProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_lateness.push_back(double(now - m_last) / 1e6 - kTickMs);
            m_last = now;
        });
    }
    void Start()
    {
        m_lateness.clear();
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }
    void Print(const char *what) const
    {
        std::vector<double> sorted = m_lateness;
        std::sort(sorted.begin(), sorted.end());
        if (sorted.empty())
            return;
        const auto at = [&](double share) { return sorted[size_t(share * double(sorted.size() - 1))]; };
        std::printf("%-8s %7.2f s, %zu ticks: longest stall %.1f ms, 99.9%% %.1f ms, 99%% %.1f ms, median %.2f ms\n", what,
                    double(m_clock.elapsed()) / 1000, sorted.size(), sorted.back(), at(0.999), at(0.99), at(0.5));
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    std::vector<double> m_lateness;
};

// Runs one console line as a script does and waits for its completion code.
bool RunAndWait(const QString &line, int timeoutMs)
{
    g_cmdProcessor.script().Load("d\r\n");
    const int result = g_cmdProcessor.RunCommand(line);
    if (result == CMD_BAD || result == CMD_FAILED || result == CMD_ERROR)
        return false;
    if (result != CMD_DONE) {
        g_cmdProcessor.setAwaitCode(uint8_t(result));
        if (!QTest::qWaitFor([] { return g_cmdProcessor.awaitCode() == 0; }, timeoutMs))
            return false;
    }
    g_cmdProcessor.script().Clear();
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // Settings, images and the read file in a folder of the bench's own:
    // the window rig clears the settings it starts with.
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/bench-guistall-XXXXXX"));
    if (!home.isValid())
        return 1;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());
    qputenv("TMPDIR", home.path().toLocal8Bit());
    QApplication app(argc, argv);
    const int blocks = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 8192;
    if (blocks <= 0) {
        std::fprintf(stderr, "usage: bench_guistall [blocks]\n");
        return 2;
    }

    CSimWindowRig rig;
    rig.UseChip(QStringLiteral("[adapter]\nmodule=nand\nreenumerate_ms=0\n"
                               "[nand]\nid=EC D3 51 95 58\npage_size=2112\npages_per_block=64\nblocks=%1\n"
                               "image=@IMAGE@\n")
                    .arg(blocks));
    rig.Start(QStringLiteral("K9K8G08U0A"));
    if (!QTest::qWaitFor([&] { return rig.Window()->IsAdapterReady(); }, CSimWindowRig::CONNECT_MS)) {
        std::fprintf(stderr, "the simulated adapter did not connect\n");
        return 1;
    }
    std::printf("chip: %d blocks of 64 x 2112 bytes = %.2f GiB; the window shown on the %s platform\n", blocks,
                double(blocks) * 64 * 2112 / double(1 << 30), qPrintable(QGuiApplication::platformName()));

    CLatenessProbe probe;
    const QString readFile = home.path() + QStringLiteral("/read.bin");
    AnswerNextFileDialog(readFile);
    probe.Start();
    const bool read = RunAndWait(QStringLiteral("read "), 30 * 60 * 1000);
    probe.Stop();
    probe.Print("read");
    probe.Start();
    const bool verified = read && RunAndWait(QStringLiteral("verify "), 30 * 60 * 1000);
    probe.Stop();
    probe.Print("verify");
    if (!verified || !rig.LogText().contains(QStringLiteral("Compare data OK"))) {
        std::fprintf(stderr, "read or verify did not end well:\n%s\n", qPrintable(rig.LogText().right(2000)));
        return 1;
    }
    rig.Close();
    return 0;
}
