// What the desktop tells the program: a restarted shell ("TaskbarCreated") gets the icon back as it was, and
// the session's end (WM_ENDSESSION) shuts the program down as its own stop does, without asking.
#include "phonedock_fixture.h"
#include "scripted_skype.h"
#include "foundation/shared_state.h"
#include "shell/tray_icon.h"

#include <shellapi.h>

using namespace std::chrono_literals;

namespace {

constexpr const char* kTipNoHandset = "USB Device Driver (Please Connect USB Phone)";

size_t IconsOf(HWND owner) {
    size_t count = 0;
    for (const auto& icon : winsim::notificationArea())
        count += icon.owner == owner && icon.id == phonedock::kTrayIconId ? 1 : 0;
    return count;
}

size_t CallsOf(DWORD message) {
    size_t count = 0;
    for (const auto& call : winsim::notifyIconCalls()) count += call.message == message ? 1 : 0;
    return count;
}

bool Blank(const std::string& cells) {
    return cells.find_first_not_of(' ') == std::string::npos;
}

}  // namespace

TEST_F(PhonedockTest, TheIconComesBackAsItWasAfterTheShellRestartsAndNeverTwice) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    const HWND window = MainWindow();
    handset.unplug();
    Settle();

    winsim::restartShell();
    Settle();
    const auto icon = TrayIcon();
    ASSERT_TRUE(icon.has_value()) << "the icon was lost with the shell";
    EXPECT_EQ(winsim::iconResourceId(icon->icon), 130);
    EXPECT_EQ(icon->tip, kTipNoHandset);
    EXPECT_EQ(icon->callbackMessage, static_cast<UINT>(WM_USER + 5));

    // The message again, from a program that is not the shell, while the icon is there: still one icon,
    // brought up to date.
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    Settle();
    EXPECT_EQ(IconsOf(window), 1u);
    const auto calls = winsim::notifyIconCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_FALSE(calls[calls.size() - 2].succeeded);
    EXPECT_EQ(calls.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls.back().tip, kTipNoHandset);
}

TEST_F(PhonedockTest, TheSessionsEndStopsTheProgramAsItsOwnShutdownWouldWithoutAsking) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    const HWND window = MainWindow();
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().barLevel() == 6; }, 2s));

    EXPECT_EQ(SendMessageA(window, WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageA(window, WM_ENDSESSION, FALSE, 0);  // called off: nothing changes
    Settle();
    EXPECT_FALSE(program.Ended());
    EXPECT_EQ(IconsOf(window), 1u);
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 2u);

    // Everything is done before the answer, since the process may be ended right after it.
    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    EXPECT_TRUE(Blank(handset.display().upper) && Blank(handset.display().lower)) << handset.rendering();
    EXPECT_FALSE(handset.backlight());
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
    EXPECT_EQ(IconsOf(window), 0u);
    ASSERT_TRUE(program.WaitForEnd());
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_TRUE(winsim::messageBoxes().empty());
    EXPECT_EQ(CallsOf(NIM_DELETE), 1u);  // the shutdown after the loop does not remove it again
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
}

TEST_F(PhonedockTest, TheSessionsEndDuringAKeyWaitsForTheKeyToBeHandled) {
    winsim::setPlaybackDevices({"USB Audio Device"});
    sim::Handset& handset = AddHandset();
    ScriptedSkype skype;
    StartProgram();
    const HWND window = MainWindow();
    ASSERT_NE(phonedock::skypeApiWindow.load(), nullptr);

    // The key's click plays on a device that never says it is done: the key callback is busy for the
    // tone's length and a margin, and only then sends the key to Skype.
    winsim::stallPlaybackDevice(0);
    const size_t before = skype.Commands().size();
    handset.press(sim::Key::Star);
    handset.release();
    ASSERT_TRUE(winsim::waitForWaveOutPlaybacks(1, 2000));

    SendMessageA(window, WM_ENDSESSION, TRUE, 0);
    const auto commands = skype.Commands();
    ASSERT_GE(commands.size(), before + 3);
    EXPECT_EQ(commands[before + 2], "BTN_RELEASED SKYPE");  // the key was handled to its end first
    EXPECT_EQ(winsim::waveOutPlaybacks().back().end, winsim::PlaybackEnd::Reset);
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
    EXPECT_EQ(IconsOf(window), 0u);
    ASSERT_TRUE(program.WaitForEnd());
    EXPECT_EQ(program.ExitCode(), 0);
    EXPECT_TRUE(winsim::messageBoxes().empty());
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);
}
