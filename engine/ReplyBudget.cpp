#include "ReplyBudget.h"

#include <chrono>

namespace {
constexpr auto StopPoll = std::chrono::milliseconds(20);
} // namespace

void CReplyBudget::Charge(uint64_t bytes)
{
    std::lock_guard<std::mutex> locker(m_lock);
    m_outstanding += bytes;
}

void CReplyBudget::Release(uint64_t bytes)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        m_outstanding -= bytes < m_outstanding ? bytes : m_outstanding;
        if (m_outstanding > m_limit)
            return;
    }
    m_room.notify_all();
}

void CReplyBudget::WaitForRoom(const std::atomic<bool> &stop)
{
    std::unique_lock<std::mutex> locker(m_lock);
    while (m_outstanding > m_limit && !stop)
        m_room.wait_for(locker, StopPoll);
}

uint64_t CReplyBudget::Outstanding() const
{
    std::lock_guard<std::mutex> locker(m_lock);
    return m_outstanding;
}
