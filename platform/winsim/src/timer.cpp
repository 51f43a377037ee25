// Timers: SetTimer and KillTimer. A timer belongs to a window (or, set without one, to the calling thread)
// and runs on the simulated clock. A tick that falls due is a flag on the timer, not a queued message:
// GetMessageA and PeekMessageA make WM_TIMER of it only when no sent or posted message and no WM_QUIT is
// waiting, so ticks come last and coalesce (one waiting tick per timer, however long it waited), as on
// Windows.
#include "timer_state.h"
#include "window_state.h"

#include <winsim/control.h>

#include <algorithm>

namespace winsim::detail {
namespace {

struct Timer {
    HWND hwnd = nullptr;  // null: a thread timer
    UINT_PTR id = 0;
    DWORD threadId = 0;  // whose queue gets the ticks: the window's thread, or the thread that set it
    UINT period = 0;
    TIMERPROC proc = nullptr;
    int64_t nextDue = 0;  // on the simulated clock
    bool tickWaiting = false;
};

// Ids that SetTimer makes up for thread timers, counting down from here as Windows' own pool does.
constexpr UINT_PTR kHighestThreadTimerId = 0x7FFF;
constexpr UINT_PTR kLowestThreadTimerId = 0x100;

struct TimerState {
    std::vector<Timer> timers;  // in the order they were set
    UINT_PTR nextThreadTimerId = kHighestThreadTimerId;
    uint64_t timersSet = 0;
};

TimerState& state() {
    // Never destroyed: threads that end after main() returns still drop their timers here.
    static TimerState& s = *new TimerState;
    return s;
}

ResetHook timerReset([] { state() = TimerState{}; });

// Brings a timer up to `now`: a due tick is flagged and the next one falls a whole number of periods later,
// so missed periods do not pile up. A clock set back by more than a period restarts the count from now:
// a timer measures elapsed time, not dates.
void catchUp(Timer& t, int64_t now) {
    if (now >= t.nextDue) {
        t.tickWaiting = true;
        t.nextDue += ((now - t.nextDue) / t.period + 1) * t.period;
    } else if (t.nextDue - now > t.period) {
        t.nextDue = now + t.period;
    }
}

MSG tickMessage(const Timer& t) {
    return MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), GetTickCount(), {0, 0}};
}

std::vector<Timer>::iterator findTimer(HWND hwnd, UINT_PTR id, DWORD threadId) {
    return std::find_if(state().timers.begin(), state().timers.end(), [&](const Timer& t) {
        return t.hwnd == hwnd && t.id == id && (hwnd != nullptr || t.threadId == threadId);
    });
}

UINT_PTR newThreadTimerId() {
    TimerState& s = state();
    for (;;) {
        const UINT_PTR id = s.nextThreadTimerId;
        s.nextThreadTimerId = id == kLowestThreadTimerId ? kHighestThreadTimerId : id - 1;
        const bool inUse = std::any_of(s.timers.begin(), s.timers.end(),
                                       [id](const Timer& t) { return t.hwnd == nullptr && t.id == id; });
        if (!inUse) return id;
    }
}

// The window a timer call names: it must exist and belong to the calling process (bigLock held). Another
// thread of the same process may set and kill a window's timers, as on Windows; the ticks still go to the
// window's own thread.
bool windowForTimer(HWND hwnd, DWORD& threadId) {
    auto w = findWindow(hwnd);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    if (w->processId != currentProcessId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    threadId = w->threadId;
    return true;
}

}  // namespace

bool takeTimerTick(DWORD threadId, int64_t now, const MessageMatch& match, bool remove, MSG* out) {
    for (Timer& t : state().timers) {
        if (t.threadId != threadId) continue;
        catchUp(t, now);
        if (!t.tickWaiting) continue;
        const MSG m = tickMessage(t);
        if (!match(m)) continue;
        if (out != nullptr) *out = m;
        if (remove) t.tickWaiting = false;
        return true;
    }
    return false;
}

DWORD millisecondsToNextTick(DWORD threadId, int64_t now, const MessageMatch& match) {
    int64_t soonest = -1;
    for (Timer& t : state().timers) {
        if (t.threadId != threadId || !match(tickMessage(t))) continue;
        catchUp(t, now);
        const int64_t wait = t.tickWaiting ? 0 : t.nextDue - now;
        if (soonest < 0 || wait < soonest) soonest = wait;
    }
    if (soonest < 0) return INFINITE;
    return static_cast<DWORD>(std::min<int64_t>(soonest, INFINITE - 1));
}

uint64_t timersChanged() {
    return state().timersSet;
}

void forgetWindowTimers(HWND hwnd) {
    std::erase_if(state().timers, [hwnd](const Timer& t) { return t.hwnd == hwnd; });
}

void forgetThreadTimers(DWORD threadId) {
    std::erase_if(state().timers, [threadId](const Timer& t) { return t.threadId == threadId; });
}

LRESULT dispatchTimerProc(const MSG& msg) {
    const auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
    {
        Lock lock(bigLock());
        const DWORD threadId = currentThreadId();
        const bool known = std::any_of(state().timers.begin(), state().timers.end(), [&](const Timer& t) {
            return t.threadId == threadId && t.proc == proc;
        });
        if (!known) return 0;
    }
    proc(msg.hwnd, WM_TIMER, msg.wParam, GetTickCount());
    return 0;
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

size_t timerCount() {
    Lock lock(bigLock());
    return state().timers.size();
}

}  // namespace winsim

extern "C" {

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    Lock lock(bigLock());
    DWORD threadId = currentThreadId();
    if (hWnd != nullptr) {
        if (!windowForTimer(hWnd, threadId)) return 0;
    } else {
        ensureCurrentQueue();
    }
    const UINT period = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    const int64_t now = localMillisLocked();
    auto existing = findTimer(hWnd, nIDEvent, threadId);
    if (existing != state().timers.end()) {
        // Setting a timer again replaces it: new period and procedure, counted from now, no tick waiting.
        existing->period = period;
        existing->proc = lpTimerFunc;
        existing->nextDue = now + period;
        existing->tickWaiting = false;
    } else {
        // Without a window, an id that names no timer of this thread is ignored and a new one is made up.
        const UINT_PTR id = hWnd != nullptr ? nIDEvent : newThreadTimerId();
        state().timers.push_back(Timer{hWnd, id, threadId, period, lpTimerFunc, now + period, false});
        existing = std::prev(state().timers.end());
    }
    ++state().timersSet;
    stateChanged().notify_all();  // a thread waiting for input works out its next wake-up again
    if (hWnd == nullptr) return existing->id;
    return nIDEvent != 0 ? nIDEvent : 1;
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    Lock lock(bigLock());
    DWORD threadId = currentThreadId();
    if (hWnd != nullptr && !windowForTimer(hWnd, threadId)) return FALSE;
    auto it = findTimer(hWnd, uIDEvent, currentThreadId());
    if (it == state().timers.end()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    state().timers.erase(it);  // a tick that was waiting goes with it
    return TRUE;
}

}  // extern "C"
