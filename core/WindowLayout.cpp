#include "WindowLayout.h"

namespace {

constexpr int kLift = 20;
constexpr int kLiftlessHeight = 700;
constexpr int kMinTop = 30;
constexpr int kCompactTop = 35;
constexpr int kCompactMargins = 70;

} // namespace

QRect MainWindowGeometry(const QSize &storedSize, const QSize &desktopSize)
{
    const int w = storedSize.width();
    const int h = storedSize.height();
    const int desktopHeight = desktopSize.height();
    // C++ division truncates toward zero, as the placement rule wants for
    // a window wider than the desktop.
    const int left = (desktopSize.width() - w) / 2;

    if (desktopHeight > kSmallDesktopHeight) {
        int top = (desktopHeight - h) / 2;
        if (desktopHeight != kLiftlessHeight)
            top -= kLift;
        if (top < kMinTop)
            top = kMinTop;
        return QRect(left, top, w, h);
    }
    return QRect(left, kCompactTop, w, desktopHeight - kCompactMargins);
}

QList<int> DefaultSplitterSizes(Splitter splitter, int screenHeight)
{
    const bool large = screenHeight > kSmallDesktopHeight;
    if (splitter == Splitter::TabsOverConsole)
        return large ? QList<int>{550, 180} : QList<int>{250, 100};
    return large ? QList<int>{160, 500} : QList<int>{80, 300};
}

QList<int> SplitterSizesFromSetting(const QStringList &stored, Splitter splitter, int screenHeight)
{
    if (stored.size() >= 2) {
        bool firstOk = false;
        bool secondOk = false;
        const int first = stored[0].toInt(&firstOk, 10);
        const int second = stored[1].toInt(&secondOk, 10);
        // A damaged entry must not collapse a panel to an unusable size.
        if (firstOk && secondOk && first >= 0 && second >= 0)
            return {first, second};
    }
    return DefaultSplitterSizes(splitter, screenHeight);
}

QStringList SplitterSizesToSetting(const QList<int> &sizes)
{
    QStringList list;
    for (qsizetype i = 0; i < sizes.size() && i < 2; ++i)
        list << QString::number(sizes[i]);
    return list;
}
