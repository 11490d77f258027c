#pragma once

// The USB side of the adapter: whether the host can see it (plugged in, not
// busy re-enumerating), the fault switches that pull the plug or spoil a
// reply, and the optional throttle of bulk traffic.

#include "SimConfig.h"

#include <chrono>
#include <cstdint>

namespace xrsim {

class CLink
{
public:
    using Clock = std::chrono::steady_clock;

    explicit CLink(const CAdapterConfig &config);

    // On the bus and enumerated: func4 can find it.
    bool Visible();
    bool Unplugged();
    // New firmware: the adapter drops off the bus for a while.
    void StartReenumeration();
    // Counts one command packet; true when this one pulls the plug.
    bool CountCommand();
    // Counts one reply read; true when this one is to fail.
    bool CountReplyRead();
    // Holds the caller back so bulk traffic keeps to the configured rate.
    void Throttle(uint64_t bytes);

private:
    bool m_present;
    uint64_t m_unplugAfter;
    uint32_t m_replugMs;
    uint32_t m_reenumerateMs;
    uint64_t m_replyFailEvery;
    double m_bytesPerSecond;

    bool m_unplugged = false;
    Clock::time_point m_replugAt{};
    Clock::time_point m_enumeratedAt{};
    uint64_t m_commands = 0;
    uint64_t m_replyReads = 0;
    Clock::time_point m_linkFreeAt{};
};

} // namespace xrsim
