#include "ProgMessage.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#if defined(__SANITIZE_THREAD__)
#define NVP_RACE_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define NVP_RACE_CHECKER 1
#endif
#endif

namespace {
#ifdef NVP_RACE_CHECKER
std::mutex g_signalHandOver;
#endif

std::mutex g_budgetLock;
std::condition_variable g_budgetFreed;
uint64_t g_inFlight = 0; // under g_budgetLock

constexpr auto BudgetPoll = std::chrono::milliseconds(20); // how often a waiting worker looks at its stop flag

// A worker that found the budget full resumes once half of it is free: it
// then reads a burst of pieces instead of being woken for every one.
constexpr uint64_t ResumeLevel = ReplyBudget::Limit / 2;

void Reserve(uint64_t bytes)
{
    std::lock_guard<std::mutex> locker(g_budgetLock);
    g_inFlight += bytes;
}

void Release(uint64_t bytes)
{
    bool crossed = false;
    {
        std::lock_guard<std::mutex> locker(g_budgetLock);
        const uint64_t before = g_inFlight;
        g_inFlight -= std::min(g_inFlight, bytes);
        crossed = before > ResumeLevel && g_inFlight <= ResumeLevel;
    }
    if (crossed)
        g_budgetFreed.notify_all();
}
} // namespace

bool ReplyBudget::WaitForRoom(uint64_t bytes, const std::atomic<bool> &stop, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> locker(g_budgetLock);
    if (g_inFlight == 0 || g_inFlight + bytes <= Limit)
        return !stop;
    while (g_inFlight > ResumeLevel) {
        if (stop || std::chrono::steady_clock::now() >= deadline)
            return false;
        g_budgetFreed.wait_for(locker, BudgetPoll);
    }
    return !stop;
}

uint64_t ReplyBudget::InFlight()
{
    std::lock_guard<std::mutex> locker(g_budgetLock);
    return g_inFlight;
}

CProgMessage::CProgMessage(uint8_t tag_, int32_t address_, uint32_t size_, bool withData)
    : address(address_), size(size_), tag(tag_)
{
    // Zero-filled: a marker's block is never read uninitialised.
    if (withData && size_ > 0)
        data.reset(new uint8_t[size_]());
}

std::unique_ptr<CProgMessage> CProgMessage::ForReply(uint8_t tag, int32_t address, uint32_t size)
{
    auto message = std::make_unique<CProgMessage>(tag, address, 0, false);
    message->size = size;
    if (size > 0) {
        message->data.reset(new uint8_t[size]);
        message->m_budgeted = size;
        Reserve(size);
    }
    return message;
}

CProgMessage::~CProgMessage()
{
    if (m_budgeted)
        Release(m_budgeted);
}

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

CProgMessageParcel::CProgMessageParcel(CProgMessage *message) : m_holder(std::make_shared<CHolder>(message)) {}

CProgMessage *CProgMessageParcel::Take() const
{
    return m_holder ? m_holder->message.exchange(nullptr) : nullptr;
}
