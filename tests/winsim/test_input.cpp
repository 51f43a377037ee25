// What keyboard emulation and the keys that act on Skype's windows rely on: the recorded keystroke log,
// from any thread, and whether a window is minimised.
#include "support/keyboard_log.h"
#include "support/winsim_fixture.h"

#include <windows.h>

#include <thread>

namespace {

using InputTest = WinsimTest;
using winsim_test::KeyboardLog;

}  // namespace

TEST_F(InputTest, KeystrokesAreLoggedInOrderFromEveryThreadAndGoToNoWindow) {
    KeyboardLog log;
    ASSERT_TRUE(log.hooked());
    // A window on this thread, whose queue would show key messages if keystrokes made any.
    ASSERT_NE(CreateWindowExA(0, "Edit", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
    const DWORD before = GetTickCount();
    keybd_event(VK_LSHIFT, 0, 0, 0);
    keybd_event('3', 0x04, KEYEVENTF_EXTENDEDKEY, 77);
    DWORD otherThread = 0;
    std::thread([&] {
        otherThread = GetCurrentThreadId();
        keybd_event('3', 0x04, KEYEVENTF_KEYUP, 0);
    }).join();
    keybd_event(VK_LSHIFT, 0, KEYEVENTF_KEYUP, 0);
    ASSERT_TRUE(log.waitFor(4, 3000));
    const DWORD after = GetTickCount();

    const auto keys = log.keystrokes();
    ASSERT_EQ(keys.size(), 4u);
    EXPECT_EQ(keys[0].virtualKey, VK_LSHIFT);
    EXPECT_EQ(keys[0].flags, 0u);
    EXPECT_EQ(keys[1].virtualKey, '3');
    EXPECT_EQ(keys[1].scanCode, 0x04);
    EXPECT_EQ(keys[1].flags, static_cast<DWORD>(KEYEVENTF_EXTENDEDKEY));
    EXPECT_EQ(keys[1].extraInfo, 77u);
    EXPECT_EQ(keys[2].flags, static_cast<DWORD>(KEYEVENTF_KEYUP));
    for (const auto& key : keys) {
        EXPECT_GE(key.time, before);
        EXPECT_LE(key.time, after);
    }
#if WINSIM_ONLY  // which thread injected a keystroke is in winsim's log only
    const auto injected = winsim::keyboardInput();
    EXPECT_EQ(injected[2].threadId, otherThread);
    EXPECT_EQ(injected[3].threadId, GetCurrentThreadId());
#endif
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "no focus: no key messages";

    log.clear();
    EXPECT_TRUE(log.keystrokes().empty());
#if WINSIM_ONLY  // a reset of winsim empties its log
    keybd_event(VK_ESCAPE, 0, 0, 0);
    winsim::reset();
    EXPECT_TRUE(log.keystrokes().empty());
#endif
}

TEST_F(InputTest, WaitingForKeystrokesOfAnotherThread) {
    KeyboardLog log;
    ASSERT_TRUE(log.hooked());
    const DWORD waiter = GetCurrentThreadId();
    std::thread typist([waiter] {
#if WINSIM_ONLY  // types only once winsim sees the waiter blocked, so the wait is woken by the keys
        EXPECT_TRUE(winsim::waitUntilBlocked(waiter, 3000));
#else
        (void)waiter;
#endif
        keybd_event(VK_RETURN, 0, 0, 0);
        keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    });
    EXPECT_TRUE(log.waitFor(2, 3000));
    typist.join();
    EXPECT_FALSE(log.waitFor(3, 20));
}

TEST_F(InputTest, IconicFollowsTheMinimisedState) {
    HWND window = CreateWindowExA(0, "Static", "main", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(IsIconic(window));
    ShowWindow(window, SW_SHOWMINIMIZED);
    EXPECT_TRUE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));
    ShowWindow(window, SW_HIDE);  // hidden, still minimised
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_SHOW);
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_RESTORE);
    EXPECT_FALSE(IsIconic(window));
    ShowWindow(window, SW_MINIMIZE);
    EXPECT_TRUE(IsIconic(window));
    ShowWindow(window, SW_SHOWNORMAL);
    EXPECT_FALSE(IsIconic(window));

    HWND minimised =
        CreateWindowExA(0, "Static", "", WS_MINIMIZE, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(IsIconic(minimised));
    DestroyWindow(minimised);
    EXPECT_FALSE(IsIconic(minimised));
}
