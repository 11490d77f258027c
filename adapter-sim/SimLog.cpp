#include "SimLog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <type_traits>

namespace xrsim {

namespace {

constexpr size_t KeptMessages = 32;
// A longer message is kept cut to this length (stderr gets it whole).
constexpr size_t KeptMessageBytes = 512;

// The latest messages in fixed storage. Adapters closing at process exit may
// still have something to say, so the ring has no destructor to run; and it
// holds nothing on the heap, so a host that unloads the library leaves no
// memory behind.
struct CMessageRing
{
    std::mutex lock;
    std::array<std::array<char, KeptMessageBytes>, KeptMessages> lines{};
    std::array<size_t, KeptMessages> lengths{};
    size_t first = 0;
    size_t count = 0;
};
static_assert(std::is_trivially_destructible_v<CMessageRing>);

constinit CMessageRing g_messages;

} // namespace

void Warn(const std::string &message)
{
    std::fprintf(stderr, "xrusb: %s\n", message.c_str());
    std::fflush(stderr);
    std::lock_guard<std::mutex> guard(g_messages.lock);
    if (g_messages.count == KeptMessages) {
        g_messages.first = (g_messages.first + 1) % KeptMessages;
        --g_messages.count;
    }
    const size_t slot = (g_messages.first + g_messages.count) % KeptMessages;
    const size_t length = std::min(message.size(), KeptMessageBytes);
    std::memcpy(g_messages.lines[slot].data(), message.data(), length);
    g_messages.lengths[slot] = length;
    ++g_messages.count;
}

bool TakeMessage(std::string &message)
{
    std::lock_guard<std::mutex> guard(g_messages.lock);
    if (g_messages.count == 0)
        return false;
    const size_t slot = g_messages.first;
    message.assign(g_messages.lines[slot].data(), g_messages.lengths[slot]);
    g_messages.first = (g_messages.first + 1) % KeptMessages;
    --g_messages.count;
    return true;
}

} // namespace xrsim
