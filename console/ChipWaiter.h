#pragma once

// Waits for a chip to be seated in the socket or taken out of it, by reading
// its ID again and again outside any operation. A reading counts only when
// two probes in a row agree, so a chip that is still being pressed in (or
// pins that touch for a moment) is not taken for a seated or removed one.

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>

class CProgrammer;
class QTimer;

class CChipWaiter
{
public:
    enum class EWait { Seated, Removed };
    // ok false: the time ran out, reason says so. id: the seated chip's ID.
    using Done = std::function<void(bool ok, const QByteArray &id, const QString &reason)>;

    static constexpr int kPollMs = 100;

    CChipWaiter();
    ~CChipWaiter();
    CChipWaiter(const CChipWaiter &) = delete;
    CChipWaiter &operator=(const CChipWaiter &) = delete;

    // timeoutMs 0: no limit. The programmer must outlive the wait (the
    // processor stops it before its programmer goes).
    void Start(EWait what, int timeoutMs, CProgrammer *programmer, Done done);
    void Stop();
    bool Active() const { return static_cast<bool>(m_done); }
    EWait What() const { return m_what; }

    // A probe reply: the ID bytes, or lost when none came back.
    void OnProbe(const QByteArray &id, bool lost);

    // No chip answers: every byte reads erased (no pull-down), or zero.
    static bool EmptySocket(const QByteArray &id);

private:
    void Poll();
    void Finish(bool ok, const QByteArray &id, const QString &reason);

    std::unique_ptr<QTimer> m_timer;  // made on first use: the processor exists before the application
    QElapsedTimer m_elapsed;
    QElapsedTimer m_probeAge;
    EWait m_what = EWait::Seated;
    int m_timeoutMs = 0;
    CProgrammer *m_programmer = nullptr;
    Done m_done;
    bool m_probeOut = false;
    QByteArray m_previous;
    bool m_hasPrevious = false;
};
