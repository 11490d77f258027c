#include "Link.h"

#include <thread>

namespace xrsim {

CLink::CLink(const CAdapterConfig &config)
    : m_present(config.present), m_unplugAfter(config.unplugAfterCommands), m_replugMs(config.replugMs),
      m_reenumerateMs(config.reenumerateMs), m_replyFailEvery(config.replyFailEvery),
      m_bytesPerSecond(config.linkMbps * 1e6 / 8)
{
}

bool CLink::Unplugged()
{
    if (m_unplugged && m_replugMs != 0 && Clock::now() >= m_replugAt)
        m_unplugged = false;
    return m_unplugged;
}

bool CLink::Visible()
{
    return m_present && !Unplugged() && Clock::now() >= m_enumeratedAt;
}

void CLink::StartReenumeration()
{
    m_enumeratedAt = Clock::now() + std::chrono::milliseconds(m_reenumerateMs);
}

bool CLink::CountCommand()
{
    ++m_commands;
    if (m_unplugAfter == 0 || m_commands != m_unplugAfter)
        return false;
    m_unplugged = true;
    m_replugAt = Clock::now() + std::chrono::milliseconds(m_replugMs);
    return true;
}

bool CLink::CountReplyRead()
{
    ++m_replyReads;
    return m_replyFailEvery != 0 && m_replyReads % m_replyFailEvery == 0;
}

void CLink::Throttle(uint64_t bytes)
{
    if (m_bytesPerSecond <= 0)
        return;
    const auto now = Clock::now();
    const auto start = m_linkFreeAt > now ? m_linkFreeAt : now;
    m_linkFreeAt = start + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(double(bytes) / m_bytesPerSecond));
    std::this_thread::sleep_until(m_linkFreeAt);
}

} // namespace xrsim
