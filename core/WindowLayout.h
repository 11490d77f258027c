#pragma once

// Where the main window opens and how its splitters divide it, from the
// stored sizes and the desktop. Pure arithmetic, so it is tested without a
// screen.

#include <QList>
#include <QRect>
#include <QSize>
#include <QStringList>

// Desktops this high or lower get the compact layout.
constexpr int kSmallDesktopHeight = 699;

// Centred horizontally. On a desktop over 699 pixels high: centred
// vertically, lifted by 20 pixels (except on exactly 700), never above y 30.
// On a lower desktop: from y 35, H - 70 high.
QRect MainWindowGeometry(const QSize &storedSize, const QSize &desktopSize);

enum class Splitter {
    TabsOverConsole,  // "Windows 2": tab area above, console below
    FilesBesideRight, // "Windows 1": file browser panel left, the rest right
};

QList<int> DefaultSplitterSizes(Splitter splitter, int screenHeight);

// The first two entries as decimal numbers; fewer than two entries, or ones
// that are not non-negative numbers, give the defaults.
QList<int> SplitterSizesFromSetting(const QStringList &stored, Splitter splitter, int screenHeight);

// The first two sizes as decimal strings, first widget first.
QStringList SplitterSizesToSetting(const QList<int> &sizes);
