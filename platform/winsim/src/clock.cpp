// The simulated clock behind GetLocalTime: real local time by default, or a pinned date that tests move on.
#include "internal.h"

#include <winsim/control.h>

#include <ctime>

namespace winsim::detail {
namespace {

struct ClockState {
    bool pinned = false;
    int64_t pinnedLocalMs = 0;  // milliseconds since 1970-01-01 00:00 local time
};

ClockState& clockState() {
    static ClockState s;
    return s;
}

ResetHook clockReset([] { clockState() = ClockState{}; });

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

int64_t realLocalMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    return (static_cast<int64_t>(ts.tv_sec) + local.tm_gmtoff) * 1000 + ts.tv_nsec / 1000000;
}

}  // namespace

int64_t localMillisLocked() {
    return clockState().pinned ? clockState().pinnedLocalMs : realLocalMs();
}

int64_t localMillis() {
    Lock lock(bigLock());
    return localMillisLocked();
}

}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

void setLocalTime(const SYSTEMTIME& t) {
    Lock lock(bigLock());
    const int64_t days = daysFromCivil(t.wYear, t.wMonth, t.wDay);
    clockState().pinned = true;
    clockState().pinnedLocalMs =
        ((days * 24 + t.wHour) * 60 + t.wMinute) * 60000 + t.wSecond * 1000 + t.wMilliseconds;
    stateChanged().notify_all();  // timers may have fallen due
}

void advanceClock(DWORD milliseconds) {
    Lock lock(bigLock());
    if (!clockState().pinned) {
        clockState().pinned = true;
        clockState().pinnedLocalMs = realLocalMs();
    }
    clockState().pinnedLocalMs += milliseconds;
    stateChanged().notify_all();  // timers may have fallen due
}

void followRealTime() {
    Lock lock(bigLock());
    clockState().pinned = false;
    stateChanged().notify_all();  // timers may have fallen due
}

}  // namespace winsim

extern "C" void WINAPI GetLocalTime(LPSYSTEMTIME t) {
    if (t == nullptr) return;
    const int64_t ms = localMillis();
    int64_t days = ms / 86400000;
    int64_t rest = ms % 86400000;
    if (rest < 0) {
        rest += 86400000;
        --days;
    }
    int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    t->wYear = static_cast<WORD>(y);
    t->wMonth = static_cast<WORD>(m);
    t->wDay = static_cast<WORD>(d);
    t->wDayOfWeek = static_cast<WORD>(((days % 7) + 7 + 4) % 7);  // 1970-01-01 was a Thursday
    t->wHour = static_cast<WORD>(rest / 3600000);
    t->wMinute = static_cast<WORD>(rest / 60000 % 60);
    t->wSecond = static_cast<WORD>(rest / 1000 % 60);
    t->wMilliseconds = static_cast<WORD>(rest % 1000);
}
