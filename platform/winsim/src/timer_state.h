// What the message queues need from the timers (timer.cpp). Everything here requires bigLock to be held,
// except dispatchTimerProc.
#pragma once

#include "internal.h"

#include <functional>

namespace winsim::detail {

// Which ticks a caller can take: the WM_TIMER message a tick would become is offered to it (GetMessageA and
// PeekMessageA pass their window and message-range filter this way).
using MessageMatch = std::function<bool(const MSG&)>;

// Takes (or, with `remove` false, only looks at) the first due tick of the thread's timers that `match`
// accepts, as of `now` on the simulated clock. A timer has at most one tick waiting, however long it waited.
bool takeTimerTick(DWORD threadId, int64_t now, const MessageMatch& match, bool remove, MSG* out);

// Milliseconds of simulated time until the next tick that `match` accepts falls due for the thread: 0 when
// one is waiting, INFINITE when the thread has no such timer.
DWORD millisecondsToNextTick(DWORD threadId, int64_t now, const MessageMatch& match);

// Counts the timers set so far, so a waiting thread can tell that its plan is out of date.
uint64_t timersChanged();

// A window, or a thread that ended, takes its timers with it.
void forgetWindowTimers(HWND hwnd);
void forgetThreadTimers(DWORD threadId);

// DispatchMessageA of a WM_TIMER that carries a timer procedure: calls it, if it is the procedure of one of
// the calling thread's timers (as Windows checks, so a posted WM_TIMER cannot call arbitrary code). Takes
// bigLock itself; the procedure runs without it.
LRESULT dispatchTimerProc(const MSG& msg);

}  // namespace winsim::detail
