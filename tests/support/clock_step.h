// Time for the timer tests. On winsim the clock is pinned at a set date and moves only when a test steps
// it, so a 2000 ms timer costs no waiting; on Windows a step is a real wait, a little longer than asked for
// the system's timer resolution.
#pragma once

#include <windows.h>

#ifndef _WIN32
#include <winsim/control.h>
#endif

namespace winsim_test {

inline void pinClock() {
#ifndef _WIN32
    SYSTEMTIME date{};
    date.wYear = 2004;
    date.wMonth = 11;
    date.wDay = 18;
    date.wHour = 9;
    winsim::setLocalTime(date);
#endif
}

inline void letTimePass(DWORD milliseconds) {
#ifdef _WIN32
    Sleep(milliseconds + 50);
#else
    winsim::advanceClock(milliseconds);
#endif
}

}  // namespace winsim_test
