// Timers: ticks on the simulated clock, coalesced, after every other message; replacing and killing; timers
// that die with their window; threads blocked in GetMessageA woken by a tick; timer procedures.
#include "support/clock_step.h"
#include "support/other_program.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"

using namespace winsim_test;

namespace {

class TimerTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("Recording", recordingProc);
        pinClock();
    }

    // The next message waiting for the calling thread, taken, or WM_NULL when there is none.
    static MSG next() {
        MSG msg{};
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) msg.message = WM_NULL;
        return msg;
    }
};

bool waitUntil(const std::function<bool()>& condition) {
    const auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (millisecondsSince(start) > 5000) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

std::vector<HWND> timerProcCalls;
VOID CALLBACK recordTimerProc(HWND hwnd, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER && id != 0) timerProcCalls.push_back(hwnd);
}

}  // namespace

#if WINSIM_ONLY  // the exact phase of a period needs winsim's pinned clock
TEST_F(TimerTest, TicksFollowThePinnedClockAndCoalesce) {
    HWND hwnd = makeWindow("Recording");
    ASSERT_EQ(SetTimer(hwnd, 1001, 2000, nullptr), 1001u);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    winsim::advanceClock(1999);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    winsim::advanceClock(1);
    const MSG tick = next();
    EXPECT_EQ(tick.hwnd, hwnd);
    EXPECT_EQ(tick.message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(tick.wParam, 1001u);
    EXPECT_EQ(tick.lParam, 0);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));

    // Five periods pass unattended: one tick waits, and the period keeps its phase.
    winsim::advanceClock(10000);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_TIMER));
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    winsim::advanceClock(1999);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    winsim::advanceClock(1);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_TIMER));
}
#endif

TEST_F(TimerTest, TicksComeAfterPostedMessagesAndQuitAndObeyFilters) {
    HWND hwnd = makeWindow("Recording");
    HWND other = makeWindow("Recording");
    SetTimer(hwnd, 1, 100, nullptr);
    letTimePass(100);
    PostMessageA(hwnd, WM_USER, 0, 0);

    // Filters that leave out the timer's window or WM_TIMER do not see the tick; PM_NOREMOVE leaves it.
    MSG msg{};
    EXPECT_FALSE(PeekMessageA(&msg, other, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PeekMessageA(&msg, hwnd, WM_USER + 1, WM_USER + 10, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, hwnd, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));

    PostQuitMessage(3);
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_TIMER));
}

TEST_F(TimerTest, SettingAgainReplacesTheTimerAndKillingTakesItsTick) {
    HWND hwnd = makeWindow("Recording");
    SetTimer(hwnd, 5, 2000, nullptr);
    letTimePass(2000);
    // Replaced: the waiting tick is dropped and the new period counts from now.
    SetTimer(hwnd, 5, 500, nullptr);
#if WINSIM_ONLY  // counts the timers winsim keeps
    EXPECT_EQ(winsim::timerCount(), 1u);
#endif
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    letTimePass(500);
    EXPECT_EQ(next().message, static_cast<UINT>(WM_TIMER));

    letTimePass(500);
    EXPECT_TRUE(KillTimer(hwnd, 5));
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    EXPECT_FALSE(KillTimer(hwnd, 5));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
#if WINSIM_ONLY  // counts the timers winsim keeps
    EXPECT_EQ(winsim::timerCount(), 0u);
#endif
}

TEST_F(TimerTest, TimersNeedALiveWindowOfTheProcessAndDieWithIt) {
    HWND hwnd = makeWindow("Recording");
    SetTimer(hwnd, 1, 100, nullptr);
    SetTimer(hwnd, 2, 100, nullptr);
    letTimePass(100);
    DestroyWindow(hwnd);
#if WINSIM_ONLY  // counts the timers alive, which only winsim tells
    EXPECT_EQ(winsim::timerCount(), 0u);
#endif
    EXPECT_EQ(next().message, static_cast<UINT>(WM_NULL));
    EXPECT_EQ(SetTimer(hwnd, 1, 100, nullptr), 0u);
    EXPECT_FALSE(KillTimer(hwnd, 1));

    OtherProgram otherProgram;
    HWND foreign = otherProgram.ansiWindow();
    ASSERT_NE(foreign, nullptr);
    EXPECT_EQ(SetTimer(foreign, 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(TimerTest, ADestroyedWindowIsNoWindowToTimers) {
    HWND hwnd = makeWindow("Recording");
    DestroyWindow(hwnd);
    SetLastError(0);
    EXPECT_EQ(SetTimer(hwnd, 1, 100, nullptr), 0u);
    EXPECT_NE(GetLastError(), 0u);
#if WINSIM_ONLY  // Windows names no code for these; Wine answers ERROR_INVALID_HANDLE
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#endif
    SetLastError(0);
    EXPECT_FALSE(KillTimer(hwnd, 1));
    EXPECT_NE(GetLastError(), 0u);
#if WINSIM_ONLY  // as above
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#endif
}

TEST_F(TimerTest, AdvancingTheClockWakesAThreadBlockedInGetMessage) {
    // A window of another thread of this process: the timer may be set from here, its ticks go to that
    // thread's queue.
    HWND hwnd = nullptr;
    LoopThread owner([&] { hwnd = makeWindow("Recording"); });
    ASSERT_NE(SetTimer(hwnd, 1001, 2000, nullptr), 0u);
    letTimePass(2000);
    ASSERT_TRUE(waitUntil([] { return !messageLog().only(WM_TIMER).empty(); }));
    const Seen tick = messageLog().only(WM_TIMER).front();
    EXPECT_EQ(tick.hwnd, hwnd);
    EXPECT_EQ(tick.wParam, 1001u);
    EXPECT_EQ(tick.threadId, owner.threadId());
}

#if WINSIM_ONLY  // switches winsim's clock to real time and waits until winsim sees a thread blocked
TEST_F(TimerTest, FollowingRealTimeTicksComeInRealTime) {
    winsim::followRealTime();
    HWND hwnd = makeWindow("Recording");
    // Taken before the timer is set: a thread pre-empted between the two must not make the tick look early.
    const auto start = std::chrono::steady_clock::now();
    SetTimer(hwnd, 1, 40, nullptr);
    MSG msg{};
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
    EXPECT_GE(millisecondsSince(start), 35);
    // MsgWaitForMultipleObjects counts a tick as input when asked for QS_TIMER.
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_TIMER), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 0, QS_POSTMESSAGE),
              static_cast<DWORD>(WAIT_TIMEOUT));

    // A timer set from here for a thread already blocked in GetMessageA: that thread wakes for its tick.
    HWND remote = nullptr;
    LoopThread owner([&] { remote = makeWindow("Recording"); });
    ASSERT_TRUE(winsim::waitUntilBlocked(owner.threadId(), 5000));  // in GetMessageA
    ASSERT_NE(SetTimer(remote, 2, 30, nullptr), 0u);
    EXPECT_TRUE(waitUntil([] { return !messageLog().only(WM_TIMER).empty(); }));
}
#endif

TEST_F(TimerTest, TicksWithAProcedureGoToItAndForgedOnesAreDropped) {
    timerProcCalls.clear();
    HWND hwnd = makeWindow("Recording");
    SetTimer(hwnd, 7, 100, recordTimerProc);
    const UINT_PTR threadTimer = SetTimer(nullptr, 0, 100, recordTimerProc);
    EXPECT_NE(threadTimer, 0u);
    letTimePass(100);
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        EXPECT_EQ(msg.lParam, reinterpret_cast<LPARAM>(recordTimerProc));
        DispatchMessageA(&msg);
    }
    EXPECT_EQ(timerProcCalls, (std::vector<HWND>{hwnd, nullptr}));
    EXPECT_TRUE(messageLog().only(WM_TIMER).empty());  // the window procedure saw none

    // A WM_TIMER posted by hand with some other address in lParam calls nothing.
    EXPECT_TRUE(KillTimer(nullptr, threadTimer));
    EXPECT_TRUE(KillTimer(hwnd, 7));
    PostMessageA(hwnd, WM_TIMER, 7, reinterpret_cast<LPARAM>(recordTimerProc));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_EQ(timerProcCalls.size(), 2u);
}
