#include "SimLog.h"

#include <cstdio>
#include <deque>
#include <mutex>

namespace xrsim {

namespace {

constexpr size_t KeptMessages = 32;

struct CMessageQueue
{
    std::mutex lock;
    std::deque<std::string> lines;
};

// Never destroyed: adapters closing at process exit may still have
// something to say.
CMessageQueue &Messages()
{
    static CMessageQueue *queue = new CMessageQueue;
    return *queue;
}

} // namespace

void Warn(const std::string &message)
{
    std::fprintf(stderr, "xrusb: %s\n", message.c_str());
    std::fflush(stderr);
    CMessageQueue &queue = Messages();
    std::lock_guard<std::mutex> guard(queue.lock);
    if (queue.lines.size() == KeptMessages)
        queue.lines.pop_front();
    queue.lines.push_back(message);
}

bool TakeMessage(std::string &message)
{
    CMessageQueue &queue = Messages();
    std::lock_guard<std::mutex> guard(queue.lock);
    if (queue.lines.empty())
        return false;
    message = std::move(queue.lines.front());
    queue.lines.pop_front();
    return true;
}

} // namespace xrsim
