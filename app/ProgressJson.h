#pragma once

// The progress of the operation under way as one JSON object a line, for a
// line controller or a CI job that follows a run without a window:
// {"operation":"Program","done":65536,"total":524288,"unit":"bytes",
//  "bytesPerSecond":1048576,"secondsLeft":0.4}
// A line is written when the progress bar moves, at most every 200 ms, and
// always when it reaches its end.

#include <QElapsedTimer>
#include <QObject>

#include <cstdio>
#include <memory>

class CMainFrame;
class QFile;

class CProgressJson : public QObject
{
    Q_OBJECT

public:
    // out: the stream lines go to (not owned).
    CProgressJson(CMainFrame &window, FILE *out, QObject *parent = nullptr);

    // The line for a progress value, without its line end.
    QString Line(int value) const;

private:
    void OnValue(int value);

    CMainFrame &m_window;
    FILE *m_out;
    QElapsedTimer m_sinceLine;
};
