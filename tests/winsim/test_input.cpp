// What keyboard emulation and the keys that act on Skype's windows rely on: the recorded keystroke log,
// from any thread, and whether a window is minimised.
#include "support/winsim_fixture.h"

#include <windows.h>

#include <thread>

namespace {

using InputTest = WinsimTest;

}  // namespace

#if WINSIM_ONLY  // reads winsim's log of keybd_event input
TEST_F(InputTest, KeystrokesAreLoggedInOrderFromEveryThreadAndGoToNoWindow) {
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
    const DWORD after = GetTickCount();

    const auto log = winsim::keyboardInput();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].virtualKey, VK_LSHIFT);
    EXPECT_EQ(log[0].flags, 0u);
    EXPECT_EQ(log[1].virtualKey, '3');
    EXPECT_EQ(log[1].scanCode, 0x04);
    EXPECT_EQ(log[1].flags, static_cast<DWORD>(KEYEVENTF_EXTENDEDKEY));
    EXPECT_EQ(log[1].extraInfo, 77u);
    EXPECT_EQ(log[2].flags, static_cast<DWORD>(KEYEVENTF_KEYUP));
    EXPECT_EQ(log[2].threadId, otherThread);
    EXPECT_EQ(log[3].threadId, GetCurrentThreadId());
    for (const auto& input : log) {
        EXPECT_GE(input.time, before);
        EXPECT_LE(input.time, after);
    }
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) << "no focus: no key messages";

    winsim::clearKeyboardInput();
    EXPECT_TRUE(winsim::keyboardInput().empty());
    keybd_event(VK_ESCAPE, 0, 0, 0);
    winsim::reset();
    EXPECT_TRUE(winsim::keyboardInput().empty());
}
#endif

#if WINSIM_ONLY  // reads winsim's log of keybd_event input
TEST_F(InputTest, WaitingForKeystrokesOfAnotherThread) {
    const DWORD waiter = GetCurrentThreadId();
    std::thread typist([waiter] {
        EXPECT_TRUE(winsim::waitUntilBlocked(waiter, 3000));
        keybd_event(VK_RETURN, 0, 0, 0);
        keybd_event(VK_RETURN, 0, KEYEVENTF_KEYUP, 0);
    });
    EXPECT_TRUE(winsim::waitForKeyboardInput(2, 3000));
    typist.join();
    EXPECT_FALSE(winsim::waitForKeyboardInput(3, 20));
}
#endif

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
