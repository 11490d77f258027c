// How long the window's event loop stalls while a 1 GiB NAND chip is read
// and verified on the simulated adapter: the real window, worker thread and
// library, a file-backed buffer. A 5 ms timer notes how late each of its
// ticks comes; the longest lateness is the longest time the operator's
// clicks, keys and repaints would have waited.
// On a machine that other work keeps busy the lateness also holds the time
// the GUI thread waited for a core; so every event the window handles is also
// timed in the GUI thread's own CPU time, which is what the window itself
// costs however busy the machine is.
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
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
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
            const double late = double(now - m_last) / 1e6 - kTickMs;
            if (late > m_worst) {
                m_worst = late;
                m_worstAt = double(now) / 1e9;
            }
            m_lateness.push_back(late);
            m_lateAt.push_back(double(now) / 1e9);
            m_last = now;
        });
    }
    void Start()
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        // For lining the figures up with a profiler's time stamps.
        std::printf("phase starts at monotonic %ld.%09ld s\n", long(now.tv_sec), long(now.tv_nsec));
        m_lateness.clear();
        m_lateAt.clear();
        m_worst = m_worstAt = 0;
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
        std::printf("%-8s %7.2f s, %zu ticks: longest stall %.1f ms (ending at %.2f s), 99.9%% %.1f ms, 99%% %.1f ms, "
                    "median %.2f ms\n",
                    what, double(m_clock.elapsed()) / 1000, sorted.size(), sorted.back(), m_worstAt, at(0.999), at(0.99),
                    at(0.5));
        // Where the three worst came, to tell start-up, steady state and the end apart.
        std::vector<size_t> order(m_lateness.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [this](size_t a, size_t b) { return m_lateness[a] > m_lateness[b]; });
        std::printf("%-8s worst ticks:", what);
        for (size_t i = 0; i < std::min<size_t>(3, order.size()); ++i)
            std::printf(" %.1f ms at %.2f s;", m_lateness[order[i]], m_lateAt[order[i]]);
        std::printf("\n");
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    std::vector<double> m_lateness;
    std::vector<double> m_lateAt;  // seconds into the phase when each tick came
    double m_worst = 0, m_worstAt = 0;
};

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Times each outermost event the GUI thread handles, in its own CPU time.
class CTimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const double start = ThreadCpuMs();
        const qint64 wallStart = m_phase.nsecsElapsed();
        const bool handled = QApplication::notify(receiver, event);
        --m_depth;
        const double spent = ThreadCpuMs() - start;
        const double wall = double(m_phase.nsecsElapsed() - wallStart) / 1e6;
        if (m_recording && wall > m_longestWall) {
            m_longestWall = wall;
            m_longestWallKind = int(event->type());
            m_longestWallReceiver = receiver ? receiver->metaObject()->className() : "";
            m_longestWallAt = double(m_phase.nsecsElapsed()) / 1e9;
        }
        if (m_recording && spent > m_longest) {
            m_longest = spent;
            m_longestKind = int(event->type());
            m_longestReceiver = receiver ? receiver->metaObject()->className() : "";
            m_longestAt = double(m_phase.nsecsElapsed()) / 1e9;
        }
        m_total += m_recording ? spent : 0;
        return handled;
    }
    void Record()
    {
        m_recording = true;
        m_longest = m_total = m_longestWall = 0;
        m_longestKind = m_longestWallKind = 0;
        m_longestWallReceiver.clear();
        m_longestReceiver.clear();
        m_phase.start();
    }
    void Print(const char *what)
    {
        std::printf("%-8s GUI thread CPU: longest event %.1f ms (event type %d to a %s, ending at %.2f s), %.0f ms in "
                    "all\n",
                    what, m_longest, m_longestKind, m_longestReceiver.constData(), m_longestAt, m_total);
        // Wall time inside one event also holds waits for locks, disk and a core.
        std::printf("%-8s GUI thread wall: longest event %.1f ms (event type %d to a %s, ending at %.2f s)\n", what,
                    m_longestWall, m_longestWallKind, m_longestWallReceiver.constData(), m_longestWallAt);
        m_recording = false;
    }

private:
    int m_depth = 0;
    bool m_recording = false;
    double m_longest = 0;
    double m_total = 0;
    int m_longestKind = 0;
    QByteArray m_longestReceiver;
    QElapsedTimer m_phase;
    double m_longestAt = 0;
    double m_longestWall = 0;
    int m_longestWallKind = 0;
    QByteArray m_longestWallReceiver;
    double m_longestWallAt = 0;
};

// True once pred() holds, false after timeoutMs. Runs the event loop as the
// application does (QTest::qWaitFor sleeps 10 ms between its turns, which
// would be counted as stalls).
template <typename Pred> bool RunLoopUntil(Pred pred, int timeoutMs)
{
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(kTickMs);
    loop.exec();
    return pred();
}

// Runs one console line as a script does and waits for its completion code.
bool RunAndWait(const QString &line, int timeoutMs)
{
    g_cmdProcessor.script().Load("d\r\n");
    // The command itself runs in the GUI thread, as it does when typed.
    QElapsedTimer start;
    start.start();
    const int result = g_cmdProcessor.RunCommand(line);
    std::printf("%-8s the command took %.1f ms to start the operation\n", qPrintable(line.trimmed()),
                double(start.nsecsElapsed()) / 1e6);
    if (result == CMD_BAD || result == CMD_FAILED || result == CMD_ERROR)
        return false;
    if (result != CMD_DONE) {
        g_cmdProcessor.setAwaitCode(uint8_t(result));
        if (!RunLoopUntil([] { return g_cmdProcessor.awaitCode() == 0; }, timeoutMs))
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
    CTimedApplication app(argc, argv);
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
    app.Record();
    const bool read = RunAndWait(QStringLiteral("read "), 30 * 60 * 1000);
    probe.Stop();
    probe.Print("read");
    app.Print("read");
    probe.Start();
    app.Record();
    const bool verified = read && RunAndWait(QStringLiteral("verify "), 30 * 60 * 1000);
    probe.Stop();
    probe.Print("verify");
    app.Print("verify");
    if (!verified || !rig.LogText().contains(QStringLiteral("Compare data OK"))) {
        std::fprintf(stderr, "read or verify did not end well:\n%s\n", qPrintable(rig.LogText().right(2000)));
        return 1;
    }
    rig.Close();
    return 0;
}
