#include "OperationClock.h"

namespace {
constexpr int64_t MS_PER_HOUR = 3600000;
constexpr int64_t MS_PER_SECOND = 1000;

int64_t MonotonicMilliseconds()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer.elapsed();
}
} // namespace

COperationClock::COperationClock()
    : m_now(MonotonicMilliseconds)
{
}

void COperationClock::Restart()
{
    m_start = m_now();
    m_valid = true;
}

void COperationClock::Invalidate()
{
    m_valid = false;
}

int64_t COperationClock::Elapsed() const
{
    return m_valid ? m_now() - m_start : 0;
}

void COperationClock::SetTimeSource(TimeSource source)
{
    const int64_t elapsed = Elapsed();
    m_now = std::move(source);
    m_start = m_now() - elapsed;
}

QString ElapsedText(const QString &text, int64_t ms)
{
    const int64_t hours = ms / MS_PER_HOUR;
    const int64_t minutes = (ms / MS_PER_SECOND % 3600) / 60;
    const int64_t seconds = ms / MS_PER_SECOND % 60;
    const int64_t millis = ms % MS_PER_SECOND;
    return text
           + QString::asprintf(" %02lld:%02lld:%02lld (.%03lld)", static_cast<long long>(hours),
                               static_cast<long long>(minutes), static_cast<long long>(seconds),
                               static_cast<long long>(millis));
}

float TransferSpeed(uint64_t units, uint32_t unitBytes, int64_t milliseconds)
{
    if (milliseconds <= 0)
        return 0.0f;
    return static_cast<float>(static_cast<double>(units) * unitBytes / static_cast<double>(milliseconds));
}

QString SpeedText(const QString &label, float speed)
{
    return label + QString::asprintf(" %.2f KB/s", static_cast<double>(speed));
}
