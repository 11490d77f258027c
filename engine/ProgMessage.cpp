#include "ProgMessage.h"

#if defined(__SANITIZE_THREAD__)
#define NVP_RACE_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NVP_RACE_CHECKER 1
#endif
#endif

#ifdef NVP_RACE_CHECKER
#include <sanitizer/tsan_interface.h>
#endif

namespace {
// The one channel all queued worker signals pass through.
[[maybe_unused]] char g_signalChannel;
} // namespace

CProgMessage::CProgMessage(uint8_t tag_, int32_t address_, uint32_t size_, bool withData)
    : address(address_), size(size_), tag(tag_)
{
    // Zero-filled: a marker's block is never read uninitialised.
    if (withData && size_ > 0)
        data.reset(new uint8_t[size_]());
}

CProgMessage::~CProgMessage() = default;

void MarkSignalSent()
{
#ifdef NVP_RACE_CHECKER
    __tsan_release(&g_signalChannel);
#endif
}

void MarkSignalReceived()
{
#ifdef NVP_RACE_CHECKER
    __tsan_acquire(&g_signalChannel);
#endif
}
