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

std::unique_ptr<uint8_t[]> CReplyBudget::TakeBlock(uint32_t size)
{
    {
        std::lock_guard<std::mutex> locker(m_lock);
        if (m_keptSize == size && !m_kept.empty()) {
            std::unique_ptr<uint8_t[]> block = std::move(m_kept.back());
            m_kept.pop_back();
            return block;
        }
    }
    return std::unique_ptr<uint8_t[]>(new uint8_t[size]);
}

void CReplyBudget::GiveBack(std::unique_ptr<uint8_t[]> block, uint32_t size)
{
    if (!block || size == 0)
        return;
    std::vector<std::unique_ptr<uint8_t[]>> dropped; // freed outside the lock
    std::lock_guard<std::mutex> locker(m_lock);
    if (size != m_keptSize) {
        dropped.swap(m_kept);
        m_keptSize = size;
    }
    if ((m_kept.size() + 1) * uint64_t(size) <= m_limit)
        m_kept.push_back(std::move(block));
}

void CReplyBudget::Trim()
{
    std::vector<std::unique_ptr<uint8_t[]>> dropped;
    std::lock_guard<std::mutex> locker(m_lock);
    dropped.swap(m_kept);
}

uint64_t CReplyBudget::KeptBytes() const
{
    std::lock_guard<std::mutex> locker(m_lock);
    return m_kept.size() * uint64_t(m_keptSize);
}
