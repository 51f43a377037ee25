// winsim's shared machinery: one lock over the whole simulated system, the kernel handle table, and the
// per-thread record. Every area of winsim (kernel, window, message, hid, ...) builds on this.
#pragma once

#include <windows.h>

#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <iterator>
#include <string>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace winsim::detail {

// One lock guards all simulated state. Nothing calls out of winsim (window procedures, device models,
// thread routines) while holding it.
std::mutex& bigLock();
using Lock = std::unique_lock<std::mutex>;

using Clock = std::chrono::steady_clock;

struct Waiter;  // a thread's own condition variable (wait_list.cpp)

// The threads waiting for one kind of change. Each thread waits on a condition variable of its own, and a
// change notifies only the threads on the lists it concerns, so an idle thread is not woken by everything
// that happens elsewhere in the system. Every member requires bigLock.
class WaitList {
  public:
    WaitList() = default;
    WaitList(const WaitList&) = delete;
    WaitList& operator=(const WaitList&) = delete;

    // Wakes every thread that listens to this list.
    void notify_all();
    // The calling thread waits, bigLock released meanwhile, until this list (or another list it listens to)
    // is notified, the deadline passes, or for nothing. Callers look again at what they wait for.
    void wait(Lock& lock);
    std::cv_status wait_until(Lock& lock, Clock::time_point deadline);

  private:
    friend class Listening;
    std::vector<Waiter*> waiters_;
};

// Notified after every change that a message wait (GetMessageA, SendMessage, MsgWaitForMultipleObjects,
// modal loops) or a control-API wait may be looking for: a message posted or sent, a timer set, the clock
// moved, a box, menu or dialog opened or answered, a playback ended. Threads waiting only on kernel objects
// do not listen to it: an event set or a thread ended notifies the waiters of that object alone.
WaitList& stateChanged();

// A kernel object behind a HANDLE. Objects live as long as a handle or an operation in progress holds them.
struct KernelObject {
    virtual ~KernelObject() = default;
    // The threads waiting on this object, notified when it may have become signalled.
    WaitList waiters;
    // Waitable objects answer whether a wait on them would be satisfied now...
    virtual bool isSignaled() const { return false; }
    // ...and take the signal when a wait is satisfied by them (auto-reset events reset here).
    virtual void consumeSignal() {}
    virtual bool isWaitable() const { return false; }
    // CloseHandle removed the last handle to this object from the table (bigLock held). Open files use it to
    // cancel their pending I/O, as closing a file handle does on Windows.
    virtual void onHandleClosed() {}
};

struct Event final : KernelObject {
    bool manualReset = false;
    bool signaled = false;
    bool isSignaled() const override { return signaled; }
    void consumeSignal() override {
        if (!manualReset) signaled = false;
    }
    bool isWaitable() const override { return true; }
};

// All of the following require bigLock to be held.
HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
template <class T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}
// Sets an event object and wakes the threads waiting on it.
void signalEvent(Event& event);

// While it lives, the calling thread listens to the objects' lists of waiters (and to `also`, unless null),
// so that any of them wakes its waits. Constructed and destroyed with bigLock held, around the waits.
class Listening {
  public:
    Listening(const std::vector<std::shared_ptr<KernelObject>>& objects, WaitList* also);
    ~Listening();
    Listening(const Listening&) = delete;
    Listening& operator=(const Listening&) = delete;

  private:
    std::vector<WaitList*> lists_;
};

// The calling thread waits, bigLock released meanwhile, until a list it listens to is notified, the deadline
// passes (max: none), or for nothing; counts the wake-up.
std::cv_status waitListening(Lock& lock, Clock::time_point deadline);

// Waits, with bigLock held through `lock`, until the wait on `objects` is satisfied, `wake` answers true, or
// the time-out passes. Results as WaitForMultipleObjects: WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or
// WAIT_OBJECT_0 + objects.size() when `wake` fired first. The objects wake it; with a `wake`, so does
// stateChanged. A `wake` that looks at objects of its own needs a Listening to them around the wait.
DWORD waitLocked(Lock& lock, const std::vector<std::shared_ptr<KernelObject>>& objects, bool waitAll,
                 DWORD milliseconds, const std::function<bool()>& wake);

// Every return from a wait on a condition variable (satisfied, timed out or woken for nothing) counts as one
// wake-up of the calling thread (winsim::threadWakeups); WaitList counts its own. winsim's own threads mark
// themselves, so a figure can leave them out.
void countWakeup();
// A wait with a time-out begins on the calling thread (winsim::threadWakeups): counted once per wait, before
// the thread blocks, so a thread seen blocked has its wait counted already.
void countTimedWait();
void markSimulatorThread();
// Lists the calling thread among the threads that wait, with no wake-up yet, as it begins to wait.
void enrolWaitingThread();

// The calling thread's simulated identity.
DWORD currentThreadId();
DWORD currentProcessId();
void setCurrentProcessId(DWORD processId);

// The simulated clock, in milliseconds since 1970-01-01 00:00 local time (takes bigLock itself).
int64_t localMillis();
// The same, for callers that hold bigLock (timers). Setting or moving the clock notifies stateChanged.
int64_t localMillisLocked();

// Each area registers how to forget its state; winsim::reset runs them all (with bigLock held).
void addResetHook(std::function<void()> hook);
struct ResetHook {
    explicit ResetHook(std::function<void()> hook) { addResetHook(std::move(hook)); }
};

// The HID device interface class (HidD_GetHidGuid).
constexpr GUID kHidClassGuid = {0x4d1e55b2, 0xf16f, 0x11cf, {0x88, 0xcb, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
inline bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

// Device notifications (devnotify.cpp). The HID bus calls these WITHOUT bigLock held; they send
// WM_DEVICECHANGE (SendMessageA) to each registered window in turn and return when all have answered.
// Arrival: DBT_DEVICEARRIVAL with a DEV_BROADCAST_DEVICEINTERFACE_A naming the path, to the interface
// registrations of the HID class. Removal: DBT_DEVICEREMOVECOMPLETE with a DEV_BROADCAST_DEVICEINTERFACE_A to
// the same, then with a DEV_BROADCAST_HANDLE to each handle registration whose handle is in `deviceHandles`.
void broadcastDeviceArrival(const std::string& devicePath);
void broadcastDeviceRemoval(const std::string& devicePath, const std::vector<HANDLE>& deviceHandles);

// Time-out helpers.
inline Clock::time_point deadlineAfter(DWORD milliseconds) {
    if (milliseconds == INFINITE) return Clock::time_point::max();
    return Clock::now() + std::chrono::milliseconds(milliseconds);
}

}  // namespace winsim::detail
