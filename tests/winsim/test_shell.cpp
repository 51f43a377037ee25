// The shell: the notification area, WinExec, and the cursor and foreground records.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#if WINSIM_ONLY  // the tray, WinExec and the cursor are observed and set through winsim's records

using namespace winsim_test;

namespace {

constexpr UINT kTrayMessage = WM_USER + 5;
constexpr UINT kIconId = 888;

const HICON kIconA = reinterpret_cast<HICON>(0x5100);
const HICON kIconB = reinterpret_cast<HICON>(0x5200);

static_assert(NOTIFYICONDATAA_V1_SIZE == (sizeof(void*) == 4 ? 88 : 104));

class ShellTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("Recording", recordingProc);
        owner_ = makeWindow("Recording");
    }

    BOOL notify(DWORD message, UINT flags, HICON icon, const char* tip,
                DWORD size = NOTIFYICONDATAA_V1_SIZE) {
        NOTIFYICONDATAA data{};
        data.cbSize = size;
        data.hWnd = owner_;
        data.uID = kIconId;
        data.uFlags = flags;
        data.uCallbackMessage = kTrayMessage;
        data.hIcon = icon;
        if (tip != nullptr) std::strncpy(data.szTip, tip, sizeof(data.szTip) - 1);
        return Shell_NotifyIconA(message, &data);
    }

    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(ShellTest, NotificationAreaAddsModifiesAndDeletesIconsByOwnerAndId) {
    EXPECT_TRUE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconA, "Tarvix"));
    EXPECT_FALSE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconA, "Tarvix"));
    EXPECT_TRUE(notify(NIM_MODIFY, NIF_ICON | NIF_TIP, kIconB, "USB Device Driver (Please Launch Skype)"));
    auto area = winsim::notificationArea();
    ASSERT_EQ(area.size(), 1u);
    EXPECT_EQ(area[0].owner, owner_);
    EXPECT_EQ(area[0].id, kIconId);
    EXPECT_EQ(area[0].icon, kIconB);
    EXPECT_EQ(area[0].tip, "USB Device Driver (Please Launch Skype)");
    EXPECT_EQ(area[0].callbackMessage, kTrayMessage);  // kept from NIM_ADD: NIF_MESSAGE was not given again

    // The shell knows the icon by owner handle and id alone: it can still be removed once the window is gone.
    DestroyWindow(owner_);
    EXPECT_TRUE(notify(NIM_DELETE, 0, nullptr, nullptr));
    EXPECT_TRUE(winsim::notificationArea().empty());
    EXPECT_FALSE(notify(NIM_DELETE, 0, nullptr, nullptr));
    EXPECT_FALSE(notify(NIM_MODIFY, NIF_TIP, nullptr, "x"));

    const auto calls = winsim::notifyIconCalls();
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[1].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_FALSE(calls[1].succeeded);
    EXPECT_EQ(calls[2].tip, "USB Device Driver (Please Launch Skype)");
    EXPECT_TRUE(calls[3].succeeded);
}

TEST_F(ShellTest, TooltipsAreReadOnlyAsFarAsTheStructureVersionGoes) {
    // A caller with the first version's 88/104-byte structure: nothing past it may be read.
    std::vector<char> small(NOTIFYICONDATAA_V1_SIZE);
    auto* data = reinterpret_cast<NOTIFYICONDATAA*>(small.data());
    data->cbSize = NOTIFYICONDATAA_V1_SIZE;
    data->hWnd = owner_;
    data->uID = 1;
    data->uFlags = NIF_TIP;
    std::memset(small.data() + FIELD_OFFSET(NOTIFYICONDATAA, szTip), 'v', 64);  // no terminator
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, data));
    EXPECT_EQ(winsim::notificationArea().at(0).tip, std::string(63, 'v'));

    NOTIFYICONDATAA full{};
    full.cbSize = sizeof(full);
    full.hWnd = owner_;
    full.uID = 2;
    full.uFlags = NIF_TIP;
    std::memset(full.szTip, 'w', sizeof(full.szTip));
    ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &full));
    EXPECT_EQ(winsim::notificationArea().at(1).tip, std::string(127, 'w'));

    full.cbSize = NOTIFYICONDATAA_V1_SIZE - 1;
    EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &full));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(ShellTest, ARefusedAddLeavesNoIconAndClicksReachTheOwner) {
    winsim::refuseNotifyIconAdd(true);
    EXPECT_FALSE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconA, "Tarvix"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_FALSE(notify(NIM_MODIFY, NIF_ICON, kIconB, nullptr));
    EXPECT_FALSE(winsim::clickNotifyIcon(owner_, kIconId, WM_RBUTTONUP));

    winsim::refuseNotifyIconAdd(false);
    ASSERT_TRUE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconA, "Tarvix"));
    EXPECT_TRUE(winsim::clickNotifyIcon(owner_, kIconId, WM_LBUTTONDBLCLK));
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, owner_);
    EXPECT_EQ(msg.message, kTrayMessage);
    EXPECT_EQ(msg.wParam, kIconId);
    EXPECT_EQ(msg.lParam, WM_LBUTTONDBLCLK);
}

TEST_F(ShellTest, ARestartedShellForgetsItsIconsAndTellsEveryTopLevelWindow) {
    ASSERT_TRUE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconA, "Tarvix"));
    const HWND other = makeWindow("Recording");
    winsim::restartShell();
    EXPECT_TRUE(winsim::notificationArea().empty());
    EXPECT_FALSE(notify(NIM_MODIFY, NIF_TIP, nullptr, "x"));  // the new shell knows no icon

    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    ASSERT_GE(taskbarCreated, 0xC000u);
    std::vector<HWND> told;
    MSG msg{};
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == taskbarCreated) told.push_back(msg.hwnd);
    }
    std::vector<HWND> windows{owner_, other};
    std::sort(told.begin(), told.end());
    std::sort(windows.begin(), windows.end());
    EXPECT_EQ(told, windows);
    EXPECT_TRUE(notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP, kIconB, "again"));
    EXPECT_EQ(winsim::notificationArea().size(), 1u);

    // The default answer to the session's end being asked about is yes.
    EXPECT_EQ(SendMessageA(owner_, WM_QUERYENDSESSION, 0, 0), TRUE);
}

TEST_F(ShellTest, WinExecCursorForegroundAndCursorsAreRecordedOrAnswered) {
    EXPECT_EQ(WinExec("\"C:\\Program Files\\Skype\\Phone\\Skype.exe\" /nosplash", SW_SHOWNORMAL), 33u);
    winsim::setWinExecResult(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(WinExec("missing.exe", SW_SHOWNORMAL), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
    const auto runs = winsim::winExecCalls();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].commandLine, "\"C:\\Program Files\\Skype\\Phone\\Skype.exe\" /nosplash");
    EXPECT_EQ(runs[0].show, static_cast<UINT>(SW_SHOWNORMAL));

    winsim::setCursorPosition(640, 480);
    POINT where{};
    EXPECT_TRUE(GetCursorPos(&where));
    EXPECT_EQ(where.x, 640);
    EXPECT_EQ(where.y, 480);
    EXPECT_FALSE(GetCursorPos(nullptr));

    EXPECT_TRUE(SetForegroundWindow(owner_));
    HWND gone = makeWindow("Recording");
    DestroyWindow(gone);
    EXPECT_FALSE(SetForegroundWindow(gone));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(winsim::foregroundRequests(), std::vector<HWND>{owner_});

    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), LoadCursorA(nullptr, IDC_ARROW));
    EXPECT_EQ(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(1))), nullptr);
}

#endif  // WINSIM_ONLY
