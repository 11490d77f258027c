#include "ChipWaiter.h"

#include "FrameServices.h"
#include "ProductionTexts.h"
#include "Programmer.h"
#include "UiText.h"

#include <QTimer>

#include <algorithm>

namespace {

// A probe whose reply has not come back after this long is sent again: the
// link may have dropped it with its queue.
constexpr qint64 kProbeLostMs = 2000;

} // namespace

CChipWaiter::CChipWaiter() = default;
CChipWaiter::~CChipWaiter() = default;

bool CChipWaiter::EmptySocket(const QByteArray &id)
{
    return id.isEmpty() || std::all_of(id.begin(), id.end(), [](char b) { return uint8_t(b) == 0xFF; }) ||
           std::all_of(id.begin(), id.end(), [](char b) { return b == 0; });
}

void CChipWaiter::Start(EWait what, int timeoutMs, CProgrammer *programmer, Done done)
{
    Stop();
    if (!m_timer) {
        m_timer = std::make_unique<QTimer>();
        QObject::connect(m_timer.get(), &QTimer::timeout, m_timer.get(), [this] { Poll(); });
    }
    m_what = what;
    m_timeoutMs = std::max(0, timeoutMs);
    m_programmer = programmer;
    m_done = std::move(done);
    m_probeOut = false;
    m_hasPrevious = false;
    m_elapsed.start();
    m_timer->start(kPollMs);
    Poll();
}

void CChipWaiter::Stop()
{
    if (m_timer)
        m_timer->stop();
    m_done = nullptr;
    m_programmer = nullptr;
    m_probeOut = false;
}

void CChipWaiter::Poll()
{
    if (!Active())
        return;
    if (m_timeoutMs > 0 && m_elapsed.elapsed() >= m_timeoutMs) {
        const int text = m_what == EWait::Seated ? ProductionText::NoChipSeated : ProductionText::ChipNotRemoved;
        Finish(false, {}, Text(text).arg(m_timeoutMs));
        return;
    }
    if (m_probeOut && m_probeAge.elapsed() < kProbeLostMs)
        return;
    // Probes go only between operations, and only to an adapter that can
    // answer; the time-out keeps running meanwhile.
    if (!m_programmer || !Frame()->IsAdapterReady() || Frame()->IsOperationRunning())
        return;
    m_probeOut = true;
    m_probeAge.start();
    m_programmer->probeChip();
}

void CChipWaiter::OnProbe(const QByteArray &id, bool lost)
{
    if (!Active())
        return;
    m_probeOut = false;
    if (lost) {
        // Nothing can be told from a reply that did not come back.
        m_hasPrevious = false;
        return;
    }
    const bool agrees = m_hasPrevious && id == m_previous;
    m_previous = id;
    m_hasPrevious = true;
    if (!agrees)
        return;
    const bool empty = EmptySocket(id);
    if (m_what == EWait::Seated && !empty)
        Finish(true, id, {});
    else if (m_what == EWait::Removed && empty)
        Finish(true, {}, {});
}

void CChipWaiter::Finish(bool ok, const QByteArray &id, const QString &reason)
{
    Done done = std::move(m_done);
    Stop();
    if (done)
        done(ok, id, reason);
}
