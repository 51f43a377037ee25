// Waits: kernel objects (events, threads, named events) and MsgWaitForMultipleObjects, which also wakes for
// messages in the queue; and which changes wake which waits.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

using namespace winsim_test;

namespace {

class WaitTest : public WinsimTest {};

DWORD WINAPI waitThenExit(LPVOID parameter) {
    WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
    return 42;
}

#if WINSIM_ONLY  // helpers of the tests below that count the wakeups winsim records
DWORD WINAPI waitForEvent(LPVOID parameter) {
    return WaitForSingleObject(static_cast<HANDLE>(parameter), INFINITE);
}

DWORD WINAPI waitForBoth(LPVOID parameter) {
    return WaitForMultipleObjects(2, static_cast<HANDLE*>(parameter), TRUE, INFINITE);
}

// Input waits already: only the event can complete the wait.
DWORD WINAPI waitForEventAndInput(LPVOID parameter) {
    HANDLE event = parameter;
    PostMessageA(nullptr, WM_USER, 0, 0);
    return MsgWaitForMultipleObjects(1, &event, TRUE, INFINITE, QS_POSTMESSAGE);
}

// A thread that has never come back from a wait has no record yet.
uint64_t wakeupsOf(DWORD threadId) {
    for (const auto& t : winsim::threadWakeups()) {
        if (t.threadId == threadId) return t.wakeups;
    }
    return 0;
}
#endif

LRESULT CALLBACK answerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) return static_cast<LRESULT>(wParam) * 10;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

#if WINSIM_ONLY  // counts wakeups and open handles that only winsim records
TEST_F(WaitTest, AutoResetEventsWakeOneWaitManualResetEventsStaySignalled) {
    HANDLE autoReset = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE manual = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    ResetEvent(manual);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(manual, 50), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_GE(millisecondsSince(start), 45);

    // Any: the lowest signalled index. All: only when every object is signalled, taking each signal.
    const HANDLE both[] = {manual, autoReset};
    SetEvent(autoReset);
    EXPECT_EQ(WaitForMultipleObjects(2, both, FALSE, 0), WAIT_OBJECT_0 + 1);
    SetEvent(autoReset);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(manual);
    EXPECT_EQ(WaitForMultipleObjects(2, both, TRUE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), static_cast<DWORD>(WAIT_TIMEOUT));

    CloseHandle(autoReset);
    EXPECT_FALSE(SetEvent(autoReset));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(autoReset, 0), WAIT_FAILED);
    CloseHandle(manual);
    EXPECT_EQ(winsim::openHandleCount(), 0u);
}
#endif

TEST_F(WaitTest, ThreadIsStillActiveUntilItReturnsItsExitCode) {
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, waitThenExit, release, 0, &threadId);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(threadId, GetCurrentThreadId());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 20), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(release);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
    CloseHandle(release);
}

TEST_F(WaitTest, NamedEventsAreSharedByName) {
    HANDLE first = CreateEventA(nullptr, TRUE, FALSE, "PhoneReady");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, FALSE, FALSE, "PhoneReady");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);
    HANDLE other = CreateEventA(nullptr, TRUE, FALSE, "Other");
    SetEvent(first);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);  // still the first one's manual reset
    EXPECT_EQ(WaitForSingleObject(other, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(first);
    CloseHandle(second);
    HANDLE again = CreateEventA(nullptr, TRUE, FALSE, "PhoneReady");  // the last handle closed: a new event
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(WaitForSingleObject(again, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(again);
    CloseHandle(other);
}

TEST_F(WaitTest, MsgWaitWakesForObjectsOrForTheInputOfItsMask) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_ALLINPUT), static_cast<DWORD>(WAIT_TIMEOUT));
    PostMessageA(nullptr, WM_USER, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_SENDMESSAGE),
              static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_POSTMESSAGE), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT), WAIT_OBJECT_0);
    SetEvent(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_ALLINPUT), WAIT_OBJECT_0);
    CloseHandle(event);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &event, FALSE, 20, QS_ALLINPUT), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(WaitTest, MsgWaitThenPeekServesAMessageSentFromAnotherThread) {
    registerClass("Answer", answerProc);
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::promise<HWND> created;
    std::vector<DWORD> wakes;
    std::thread waiter([&] {
        created.set_value(makeWindow("Answer"));
        for (;;) {
            const DWORD r = MsgWaitForMultipleObjects(1, &stop, FALSE, INFINITE, QS_SENDMESSAGE);
            wakes.push_back(r);
            if (r != WAIT_OBJECT_0 + 1) break;
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
    });
    HWND hwnd = created.get_future().get();
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 3, 0), 30);
    SetEvent(stop);
    waiter.join();
    EXPECT_EQ(wakes, (std::vector<DWORD>{WAIT_OBJECT_0 + 1, WAIT_OBJECT_0}));
    CloseHandle(stop);
}

#if WINSIM_ONLY  // counts wakeups that only winsim records, with timers on its pinned clock
TEST_F(WaitTest, AThreadWaitingOnItsEventSleepsThroughEverythingElse) {
    registerClass("Busy", recordingProc);
    messageLog().clear();
    winsim::advanceClock(0);  // pinned: the timer ticks when the test moves the clock
    HANDLE mine = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE other = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    DWORD waiterId = 0;
    HANDLE waiter = CreateThread(nullptr, 0, waitForEvent, mine, 0, &waiterId);
    ASSERT_TRUE(winsim::waitUntilBlocked(waiterId, 5000));

    // Elsewhere: another event set again and again, messages posted to a thread's window, its timer ticking.
    constexpr int kRounds = 20;
    {
        HWND busy = nullptr;
        LoopThread owner([&] {
            busy = makeWindow("Busy");
            SetTimer(busy, 1, 100, nullptr);
        });
        for (int i = 0; i < kRounds; ++i) {
            SetEvent(other);
            PostMessageA(busy, WM_USER, static_cast<WPARAM>(i), 0);
            winsim::advanceClock(100);
            ASSERT_TRUE(winsim::waitUntilIdle(busy, 5000));
        }
    }
    EXPECT_EQ(messageLog().only(WM_USER).size(), static_cast<size_t>(kRounds));
    EXPECT_EQ(messageLog().only(WM_TIMER).size(), static_cast<size_t>(kRounds));
    EXPECT_EQ(wakeupsOf(waiterId), 0u);

    SetEvent(mine);
    ASSERT_EQ(WaitForSingleObject(waiter, 5000), WAIT_OBJECT_0);
    DWORD result = WAIT_FAILED;
    GetExitCodeThread(waiter, &result);
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(wakeupsOf(waiterId), 1u);
    CloseHandle(waiter);
    CloseHandle(mine);
    CloseHandle(other);
}
#endif

#if WINSIM_ONLY  // counts wakeups that only winsim records
TEST_F(WaitTest, WaitsForAllObjectsWakeForEachOfThem) {
    HANDLE events[] = {CreateEventA(nullptr, TRUE, FALSE, nullptr),
                       CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    DWORD allId = 0;
    HANDLE all = CreateThread(nullptr, 0, waitForBoth, events, 0, &allId);
    DWORD inputId = 0;
    HANDLE objectAndInput = CreateThread(nullptr, 0, waitForEventAndInput, events[0], 0, &inputId);
    ASSERT_TRUE(winsim::waitUntilBlocked(allId, 5000));
    ASSERT_TRUE(winsim::waitUntilBlocked(inputId, 5000));

    SetEvent(events[0]);
    ASSERT_EQ(WaitForSingleObject(objectAndInput, 5000), WAIT_OBJECT_0);
    DWORD result = WAIT_FAILED;
    GetExitCodeThread(objectAndInput, &result);
    EXPECT_EQ(result, WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(all, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SetEvent(events[1]);
    ASSERT_EQ(WaitForSingleObject(all, 5000), WAIT_OBJECT_0);
    GetExitCodeThread(all, &result);
    EXPECT_EQ(result, WAIT_OBJECT_0);
    for (HANDLE h : {all, objectAndInput, events[0], events[1]}) CloseHandle(h);
}
#endif
