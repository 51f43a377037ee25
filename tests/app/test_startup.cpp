// Starting and stopping the program: one copy at a time, the device library bound by name, the hidden
// window with its tray icon, Skype started from its own setting, the handset's display at start and at exit.
#include "phonedock_fixture.h"
#include "shell/main_window.h"
#include "shell/tray_icon.h"

#include <shellapi.h>

using namespace std::chrono_literals;

namespace {

constexpr const char* kTipNoSkype = "USB Device Driver (Please Launch Skype)";
constexpr const char* kTipNoHandset = "USB Device Driver (Please Connect USB Phone)";

}  // namespace

TEST_F(PhonedockTest, StartsHiddenWithItsIconAndTheHandsetShowingTheClockAndBars) {
    winsim::registrySetString(kSkypePhoneKey, "SkypePath",
                              "\"C:\\Program Files\\Skype\\Skype.exe\" /nosplash");
    sim::Handset& handset = AddHandset();
    StartProgram();

    const HWND window = MainWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    const auto lastTime = winsim::registryGetValue(kLastTimeKey, "USB PHONE");
    EXPECT_EQ(lastTime.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(lastTime.data.begin(), lastTime.data.end()), std::string("VOCETTA.DLL", 12));
    const auto started = winsim::winExecCalls();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].commandLine, "\"C:\\Program Files\\Skype\\Skype.exe\" /nosplash");
    EXPECT_EQ(started[0].show, static_cast<UINT>(SW_SHOWNORMAL));

    const auto icon = TrayIcon();
    ASSERT_TRUE(icon.has_value());
    EXPECT_EQ(icon->owner, window);
    EXPECT_EQ(icon->callbackMessage, static_cast<UINT>(WM_USER + 5));
    EXPECT_EQ(winsim::iconResourceId(icon->icon), 131);
    EXPECT_EQ(icon->tip, kTipNoSkype);
    const auto calls = winsim::notifyIconCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(calls[0].tip, "Tarvix");

    // The clock, then all six bars: Skype is not attached yet, but no refresh has said so since.
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().barLevel() == 6; }, 2s));
    EXPECT_EQ(handset.display().upper, "03-03");
    EXPECT_EQ(handset.display().lower, "      0905");

    // Another program's WM_CLOSE: the device library closes the handset on it, before the program's own
    // shutdown, which then reaches no handset.
    EXPECT_EQ(StopProgram(), 0);
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
}

TEST_F(PhonedockTest, ASecondCopyEndsAtOnceAndLeavesNothingBehind) {
    StartProgram();
    winsim::registrySetString(kLastTimeKey, "USB PHONE", "untouched");
    const size_t shellCalls = winsim::notifyIconCalls().size();

    EXPECT_EQ(testsupport::ProgramThread::RunEntry(), 0);
    EXPECT_EQ(winsim::registryGetString(kLastTimeKey, "USB PHONE"), "untouched");
    EXPECT_EQ(winsim::notifyIconCalls().size(), shellCalls);
    EXPECT_EQ(FindWindowExA(nullptr, MainWindow(), phonedock::kMainWindowClass, nullptr), nullptr);
    EXPECT_TRUE(winsim::winExecCalls().empty());
    EXPECT_FALSE(program.Ended());  // the first copy runs on
}

TEST_F(PhonedockTest, RunsWithoutTheDeviceLibrary) {
    winsim::setModuleMissing("VOCETTA.DLL");
    StartProgram();
    EXPECT_EQ(winsim::registryGetString(kLastTimeKey, "USB PHONE"), "VOCETTA.DLL");
    ASSERT_TRUE(TrayIcon().has_value());
    Tick();  // the timer's display refresh goes nowhere
    EXPECT_EQ(StopProgram(), 0);
}

TEST_F(PhonedockTest, ASkypePathTooLongForItsBufferIsNotRun) {
    winsim::registrySetString(kSkypePhoneKey, "SkypePath", "C:\\" + std::string(120, 'x') + "\\Skype.exe");
    StartProgram();
    EXPECT_TRUE(winsim::winExecCalls().empty());
}

TEST_F(PhonedockTest, TheIconFollowsTheHandsetComingAndGoing) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    handset.unplug();
    Settle();
    EXPECT_EQ(winsim::iconResourceId(TrayIcon()->icon), 130);
    EXPECT_EQ(TrayIcon()->tip, kTipNoHandset);
    handset.plug();
    Settle();
    EXPECT_EQ(winsim::iconResourceId(TrayIcon()->icon), 131);
    EXPECT_EQ(TrayIcon()->tip, kTipNoSkype);
    EXPECT_EQ(handset.display().barLevel(), 0);  // Skype not attached: the status bar is empty
}

TEST_F(PhonedockTest, EveryTickRedrawsTheDisplay) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    const size_t before = handset.receivedCount();
    winsim::advanceClock(60000);  // the clock moves on a minute; one tick is due
    ASSERT_TRUE(handset.waitUntil([&] { return handset.receivedCount() > before; }, 2s));
    EXPECT_EQ(handset.display().lower.substr(6), "0906");
}

TEST_F(PhonedockTest, CloseAsksFirstAndAboutOpensOnce) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    const HWND window = MainWindow();

    // A double click on the icon opens About; asking again while it is open leaves one, brought forward.
    ASSERT_TRUE(winsim::clickNotifyIcon(window, phonedock::kTrayIconId, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(winsim::waitForDialog(2000));
    const auto dialogs = winsim::openDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].templateId, 103);
    EXPECT_EQ(dialogs[0].owner, window);
    ASSERT_TRUE(winsim::clickNotifyIcon(window, phonedock::kTrayIconId, WM_LBUTTONDBLCLK));
    ASSERT_TRUE(testsupport::Eventually([&] { return !winsim::foregroundRequests().empty(); }));
    EXPECT_EQ(winsim::foregroundRequests().back(), dialogs[0].window);
    // The second one ends from inside its own WM_INITDIALOG; the first stays.
    EXPECT_TRUE(testsupport::Eventually([] { return winsim::openDialogs().size() == 1; }));
    EXPECT_EQ(winsim::openDialogs().at(0).window, dialogs[0].window);
    ASSERT_TRUE(winsim::sendDialogInput(dialogs[0].window, {winsim::DialogInput::Kind::Enter, 0}));
    ASSERT_TRUE(testsupport::Eventually([] { return winsim::openDialogs().empty(); }));

    // Close from the popup menu, answered Cancel: the program runs on. Then OK.
    winsim::setCursorPosition(700, 500);
    winsim::scriptPopupMenuChoice(105);
    winsim::scriptMessageBoxAnswer(IDCANCEL);
    ASSERT_TRUE(winsim::clickNotifyIcon(window, phonedock::kTrayIconId, WM_RBUTTONUP));
    ASSERT_TRUE(testsupport::Eventually(
        [] { return winsim::messageBoxes().size() == 1 && !winsim::messageBoxes()[0].open; }));
    Settle();
    EXPECT_TRUE(IsWindow(window));
    const auto menu = winsim::popupMenuCalls().at(0);
    EXPECT_EQ(menu.x, 700);
    EXPECT_EQ(menu.y, 500);
    EXPECT_EQ(menu.window, window);
    EXPECT_EQ(menu.flags & (TPM_RIGHTALIGN | TPM_VERTICAL), static_cast<UINT>(TPM_RIGHTALIGN | TPM_VERTICAL));
    EXPECT_EQ(menu.exclude.left, 700);
    EXPECT_EQ(menu.exclude.bottom, 501);
    const auto box = winsim::messageBoxes()[0];
    EXPECT_EQ(box.text, "Are you sure to close USB Phone Driver");
    EXPECT_EQ(box.caption, "USB Phone Driver");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.type, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));

    winsim::scriptPopupMenuChoice(105);
    winsim::scriptMessageBoxAnswer(IDOK);
    ASSERT_TRUE(winsim::clickNotifyIcon(window, phonedock::kTrayIconId, WM_RBUTTONUP));
    ASSERT_TRUE(program.WaitForEnd());
    EXPECT_EQ(program.ExitCode(), 0);
    // The display cleared and the light off, then the handset closed.
    const auto reports = handset.receivedReports();
    ASSERT_GE(reports.size(), 2u);
    const auto& clear = reports[reports.size() - 2];
    EXPECT_EQ(clear[1], 3);
    for (size_t b = 2; b < 34; ++b) EXPECT_EQ(clear[b], 0) << b;
    EXPECT_EQ(reports.back()[1], 1);
    EXPECT_FALSE(handset.backlight());
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
}
