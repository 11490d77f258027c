#include "ProgMessage.h"

#if defined(__SANITIZE_THREAD__)
#define NVP_RACE_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NVP_RACE_CHECKER 1
#endif
#endif

#ifdef NVP_RACE_CHECKER
#include <mutex>

namespace {
std::mutex g_signalHandOver;
} // namespace
#endif

CProgMessage::CProgMessage(uint8_t tag_, int32_t address_, uint32_t size_, bool withData)
    : address(address_), size(size_), tag(tag_)
{
    // Zero-filled: a marker's block is never read uninitialised.
    if (withData && size_ > 0)
        data.reset(new uint8_t[size_]());
}

CProgMessage::~CProgMessage() = default;

CSignalSendGuard::CSignalSendGuard()
{
#ifdef NVP_RACE_CHECKER
    g_signalHandOver.lock();
#endif
}

CSignalSendGuard::~CSignalSendGuard()
{
#ifdef NVP_RACE_CHECKER
    g_signalHandOver.unlock();
#endif
}

void MarkSignalReceived()
{
#ifdef NVP_RACE_CHECKER
    std::lock_guard<std::mutex> handOver(g_signalHandOver);
#endif
}
