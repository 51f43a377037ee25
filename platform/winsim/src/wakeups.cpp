// How often each simulated thread came back from a wait: the figure an idle program should keep at zero.
#include "internal.h"

#include <winsim/control.h>

#include <atomic>
#include <memory>
#include <mutex>

namespace winsim::detail {
namespace {

struct ThreadRecord {
    DWORD threadId = 0;
    std::atomic<bool> simulator{false};
    std::atomic<uint64_t> wakeups{0};
    std::atomic<uint64_t> timedWaits{0};
};

struct Registry {
    std::mutex mutex;  // taken with or without bigLock held, never the other way round
    std::vector<std::shared_ptr<ThreadRecord>> threads;
};

// Never destroyed: winsim's own threads, joined as the program ends, may still enrol then.
Registry& registry() {
    static auto& r = *new Registry;
    return r;
}

thread_local std::shared_ptr<ThreadRecord> own;

ThreadRecord& ownRecord() {
    if (!own) {
        own = std::make_shared<ThreadRecord>();
        own->threadId = currentThreadId();
        Registry& r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        r.threads.push_back(own);
    }
    return *own;
}

}  // namespace

void countWakeup() {
    ownRecord().wakeups.fetch_add(1, std::memory_order_relaxed);
}

void countTimedWait() {
    ownRecord().timedWaits.fetch_add(1, std::memory_order_relaxed);
}

void enrolWaitingThread() {
    (void)ownRecord();
}

void markSimulatorThread() {
    ownRecord().simulator = true;
}

}  // namespace winsim::detail

namespace winsim {

std::vector<ThreadWakeups> threadWakeups() {
    detail::Registry& r = detail::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    std::vector<ThreadWakeups> result;
    for (const auto& t : r.threads)
        result.push_back({t->threadId, t->simulator, t->wakeups.load(), t->timedWaits.load()});
    return result;
}

}  // namespace winsim
