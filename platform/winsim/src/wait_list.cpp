// Waiting threads and the lists that wake them: each thread waits on a condition variable of its own, and a
// change notifies the threads on the lists it concerns (an object's waiters, stateChanged, I/O completion).
// A thread joins its lists and looks at what it waits for under bigLock, and every notification is made
// under bigLock, so a change cannot slip in between the look and the wait.
#include "internal.h"

#include <winsim/control.h>

#include <atomic>
#include <set>
#include <thread>

namespace winsim::detail {

struct Waiter {
    std::condition_variable wakeUp;
    std::atomic<bool> notified{false};  // set with bigLock held by every notification of this thread
};

namespace {

thread_local Waiter ownWaiter;

// The threads inside a wait (on their own condition variable, bigLock released), by id, and the list of
// those who wait to see a thread get there (winsim::waitUntilBlocked). Guarded by bigLock.
std::set<DWORD>& blockedThreads() {
    static auto& threads = *new std::set<DWORD>;
    return threads;
}
WaitList& blockingBegan() {
    static auto& list = *new WaitList;
    return list;
}

// How long a thread looks for its notification before it goes to sleep. A reply or a message that comes
// within it costs no sleep and wake-up of the host's scheduler, which on a small machine takes tens of
// microseconds: far more than the hand-off between two threads costs on Windows.
constexpr auto kSpinBeforeSleep = std::chrono::microseconds(100);

std::cv_status waitOwn(Lock& lock, Clock::time_point deadline) {
    enrolWaitingThread();
    ownWaiter.notified.store(false, std::memory_order_relaxed);
    lock.unlock();
    const auto spinUntil = std::min(deadline, Clock::now() + kSpinBeforeSleep);
    while (!ownWaiter.notified.load(std::memory_order_acquire) && Clock::now() < spinUntil)
        std::this_thread::yield();
    lock.lock();
    std::cv_status result = std::cv_status::no_timeout;
    if (!ownWaiter.notified.load(std::memory_order_relaxed)) {
        if (deadline == Clock::time_point::max()) {
            ownWaiter.wakeUp.wait(lock);
        } else {
            result = ownWaiter.wakeUp.wait_until(lock, deadline);
        }
    }
    countWakeup();
    return result;
}

}  // namespace

// Never destroyed: threads that end after main() returns still notify it as their queues go.
WaitList& stateChanged() {
    static auto& list = *new WaitList;
    return list;
}

void WaitList::notify_all() {
    for (Waiter* waiter : waiters_) {
        waiter->notified.store(true, std::memory_order_release);
        waiter->wakeUp.notify_all();
    }
}

void WaitList::wait(Lock& lock) {
    Listening listening({}, this);
    waitListening(lock, Clock::time_point::max());
}

std::cv_status WaitList::wait_until(Lock& lock, Clock::time_point deadline) {
    if (deadline != Clock::time_point::max()) countTimedWait();
    Listening listening({}, this);
    return waitListening(lock, deadline);
}

Listening::Listening(const std::vector<std::shared_ptr<KernelObject>>& objects, WaitList* also) {
    for (const auto& object : objects) lists_.push_back(&object->waiters);
    if (also != nullptr) lists_.push_back(also);
    for (WaitList* list : lists_) list->waiters_.push_back(&ownWaiter);
}

Listening::~Listening() {
    for (WaitList* list : lists_) {
        auto& waiters = list->waiters_;
        waiters.erase(std::find(waiters.begin(), waiters.end(), &ownWaiter));
    }
}

std::cv_status waitListening(Lock& lock, Clock::time_point deadline) {
    const DWORD threadId = currentThreadId();
    blockedThreads().insert(threadId);
    blockingBegan().notify_all();
    const std::cv_status result = waitOwn(lock, deadline);
    blockedThreads().erase(threadId);
    return result;
}

}  // namespace winsim::detail

namespace winsim {

bool waitUntilBlocked(DWORD threadId, DWORD milliseconds) {
    using namespace detail;
    Lock lock(bigLock());
    const auto deadline = deadlineAfter(milliseconds);
    // Waits without counting itself as blocked, so that two of these never wake each other.
    Listening listening({}, &blockingBegan());
    while (blockedThreads().count(threadId) == 0) {
        if (waitOwn(lock, deadline) == std::cv_status::timeout) return blockedThreads().count(threadId) != 0;
    }
    return true;
}

}  // namespace winsim
