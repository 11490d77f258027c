#pragma once

// The clock of the operation the window follows, and the texts made from it.
// It is monotonic and never wraps, so an operation of more than a day still
// shows its true length.

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <functional>

class COperationClock
{
public:
    // Milliseconds of a monotonic time source.
    using TimeSource = std::function<int64_t()>;

    COperationClock();

    // Starts counting from now.
    void Restart();
    // Back to the state before the first Restart: no time has elapsed.
    void Invalidate();
    bool IsValid() const { return m_valid; }
    // Milliseconds since the last Restart; 0 while invalid.
    int64_t Elapsed() const;

    // Replaces the time source (a test drives the clock by hand).
    void SetTimeSource(TimeSource source);

private:
    TimeSource m_now;
    int64_t m_start = 0;
    bool m_valid = false;
};

// text followed by " HH:MM:SS (.mmm)"; the hours are not reduced to a day.
QString ElapsedText(const QString &text, int64_t milliseconds);

// Kilobytes per second of units transfer units of unitBytes bytes moved in
// milliseconds; 0 when no time has elapsed. Held in single precision.
float TransferSpeed(uint64_t units, uint32_t unitBytes, int64_t milliseconds);
// label followed by the speed as " %.2f KB/s".
QString SpeedText(const QString &label, float speed);
