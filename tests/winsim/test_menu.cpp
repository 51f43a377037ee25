// Menus from templates and popup menus: LoadMenuA and the readers of a menu, and TrackPopupMenuEx, which
// records the call, runs a message loop while it is open and delivers the user's choice.
#include "support/user_answer.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"
#include "ui_resource_ids.h"

#include <thread>

using namespace winsim_test;

namespace {

constexpr UINT kRightAlignedVertical = TPM_RIGHTALIGN | TPM_VERTICAL;

class MenuTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("MenuOwner", recordingProc);
        owner = makeWindow("MenuOwner");
        menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_MENU));
        ASSERT_NE(menu, nullptr);
        popup = GetSubMenu(menu, 0);
        ASSERT_NE(popup, nullptr);
    }

    std::string itemText(HMENU m, UINT item, UINT flags) {
        char text[32];
        GetMenuStringA(m, item, text, sizeof(text), flags);
        return text;
    }

    // Runs the thread's queue dry, as the program's message loop would after the menu has closed.
    void drainQueue() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }

    std::vector<WPARAM> commandsSeen() {
        std::vector<WPARAM> commands;
        for (const Seen& s : messageLog().only(WM_COMMAND)) commands.push_back(s.wParam);
        return commands;
    }

    HWND owner = nullptr;
    HMENU menu = nullptr;
    HMENU popup = nullptr;
};

// A procedure that opens a second popup menu on the same thread while the first one is open.
HMENU nestedMenu = nullptr;
BOOL nestedResult = TRUE;
DWORD nestedError = 0;
LRESULT CALLBACK nestingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        nestedResult = TrackPopupMenuEx(nestedMenu, 0, 0, 0, hwnd, nullptr);
        nestedError = GetLastError();
        return 0;
    }
    return recordingProc(hwnd, message, wParam, lParam);
}

}  // namespace

TEST_F(MenuTest, TheTemplateBecomesPopupsItemsAndSeparators) {
    ASSERT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(GetMenuItemID(menu, 0), 0xFFFFFFFFu);  // a popup has no command
    EXPECT_EQ(GetMenuItemID(menu, 1), static_cast<UINT>(CMD_TOP));
    EXPECT_EQ(itemText(menu, 0, MF_BYPOSITION), "&Outer");

    ASSERT_EQ(GetMenuItemCount(popup), 4);
    EXPECT_EQ(GetMenuItemID(popup, 0), static_cast<UINT>(CMD_FIRST));
    EXPECT_EQ(GetMenuItemID(popup, 1), 0u);
    EXPECT_EQ(GetMenuState(popup, 1, MF_BYPOSITION),
              static_cast<UINT>(MF_SEPARATOR | MF_GRAYED | MF_DISABLED));
    EXPECT_EQ(itemText(popup, 1, MF_BYPOSITION), "");
    EXPECT_EQ(GetMenuState(popup, 2, MF_BYPOSITION), (1u << 8) | MF_POPUP);  // one item inside
    EXPECT_EQ(GetMenuState(popup, CMD_GRAYED, MF_BYCOMMAND), static_cast<UINT>(MF_GRAYED));
    EXPECT_EQ(GetMenuItemID(popup, 4), 0xFFFFFFFFu);

    // By command, items are found in nested popups too.
    EXPECT_EQ(itemText(menu, CMD_DEEP, MF_BYCOMMAND), "&Deep");
    EXPECT_EQ(GetMenuStringA(menu, CMD_DEEP, nullptr, 0, MF_BYCOMMAND), 5);
    char cut[4];
    EXPECT_EQ(GetMenuStringA(menu, CMD_DEEP, cut, sizeof(cut), MF_BYCOMMAND), 3);
    EXPECT_STREQ(cut, "&De");
    EXPECT_EQ(GetMenuStringA(menu, 999, cut, sizeof(cut), MF_BYCOMMAND), 0);
}

TEST_F(MenuTest, DestroyingAMenuDestroysItsPopups) {
    HMENU inner = GetSubMenu(popup, 2);
    ASSERT_NE(inner, nullptr);
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_EQ(GetMenuItemCount(inner), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    EXPECT_FALSE(DestroyMenu(popup));
    EXPECT_EQ(GetSubMenu(menu, 0), nullptr);
    EXPECT_EQ(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(999)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

TEST_F(MenuTest, AChosenItemIsPostedToTheWindowAfterTheMenuCloses) {
    TPMPARAMS params{sizeof(TPMPARAMS), {300, 200, 301, 201}};
    {
        NextAnswers user;
        user.menuChoice(CMD_FIRST);
        EXPECT_TRUE(TrackPopupMenuEx(popup, kRightAlignedVertical, 300, 200, owner, &params));
    }
    EXPECT_TRUE(commandsSeen().empty());  // posted, not sent
    drainQueue();
    EXPECT_EQ(commandsSeen(), (std::vector<WPARAM>{CMD_FIRST}));

#if WINSIM_ONLY  // reads winsim's record of TrackPopupMenuEx calls
    const auto calls = winsim::popupMenuCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].menu, popup);
    EXPECT_EQ(calls[0].flags, kRightAlignedVertical);
    EXPECT_EQ(calls[0].x, 300);
    EXPECT_EQ(calls[0].y, 200);
    EXPECT_EQ(calls[0].window, owner);
    EXPECT_TRUE(calls[0].hasParams);
    EXPECT_EQ(calls[0].paramsSize, sizeof(TPMPARAMS));
    EXPECT_EQ(calls[0].exclude.right, 301);
    EXPECT_EQ(calls[0].exclude.bottom, 201);
    EXPECT_TRUE(calls[0].succeeded);
    EXPECT_FALSE(calls[0].open);
    EXPECT_EQ(calls[0].chosen, static_cast<UINT>(CMD_FIRST));
#endif
}

TEST_F(MenuTest, DismissingOrChoosingWhatTheMenuDoesNotOfferSendsNothing) {
    NextAnswers user;
    user.menuDismissal();
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    user.menuChoice(CMD_GRAYED);
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    user.menuChoice(CMD_TOP);  // in the menu bar, not in this popup
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    drainQueue();
    EXPECT_TRUE(commandsSeen().empty());
#if WINSIM_ONLY  // reads winsim's record of TrackPopupMenuEx calls
    for (const auto& call : winsim::popupMenuCalls()) EXPECT_EQ(call.chosen, 0u);
#endif

    // An item of a nested popup can be chosen.
    user.menuChoice(CMD_DEEP);
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    drainQueue();
    EXPECT_EQ(commandsSeen(), (std::vector<WPARAM>{CMD_DEEP}));
}

TEST_F(MenuTest, ReturnCommandGivesTheChoiceInsteadOfPostingIt) {
    NextAnswers user;
    user.menuChoice(CMD_FIRST);
    EXPECT_EQ(TrackPopupMenuEx(popup, TPM_RETURNCMD, 0, 0, owner, nullptr), CMD_FIRST);
    user.menuDismissal();
    EXPECT_EQ(TrackPopupMenuEx(popup, TPM_RETURNCMD, 0, 0, owner, nullptr), 0);
    drainQueue();
    EXPECT_TRUE(commandsSeen().empty());
}

TEST_F(MenuTest, TrackingFailsForABadMenuOrWindowAndIsRecorded) {
    EXPECT_FALSE(TrackPopupMenuEx(nullptr, 0, 1, 2, owner, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_MENU_HANDLE));
    EXPECT_FALSE(TrackPopupMenuEx(popup, 0, 1, 2, reinterpret_cast<HWND>(0x5550), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#if WINSIM_ONLY  // reads winsim's record of TrackPopupMenuEx calls
    const auto calls = winsim::popupMenuCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_FALSE(calls[0].succeeded);
    EXPECT_FALSE(calls[1].open);
#endif
}

TEST_F(MenuTest, TheMenuLoopHandlesWaitingMessagesBeforeTheAnswerAndRefusesASecondMenu) {
    registerClass("Nesting", nestingProc);
    HWND nesting = makeWindow("Nesting");
    nestedMenu = popup;
    nestedResult = TRUE;
    PostMessageA(nesting, WM_USER, 0, 0);
    PostMessageA(owner, WM_USER + 1, 0, 0);
    NextAnswers user;
    user.menuChoice(CMD_FIRST);
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    // Both waiting messages were handled inside the menu's loop, before the choice was posted.
    EXPECT_EQ(messageLog().only(WM_USER + 1).size(), 1u);
    EXPECT_FALSE(nestedResult);
    EXPECT_EQ(nestedError, static_cast<DWORD>(ERROR_POPUP_ALREADY_ACTIVE));
    drainQueue();
    EXPECT_EQ(commandsSeen(), (std::vector<WPARAM>{CMD_FIRST}));
}

TEST_F(MenuTest, AnOpenMenuIsAnsweredFromAnotherThread) {
    const DWORD tracking = GetCurrentThreadId();
    std::thread user([tracking] { EXPECT_TRUE(answerMenuOf(tracking, CMD_FIRST)); });
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    user.join();
#if WINSIM_ONLY                                // winsim answers whether a menu was open to dismiss
    EXPECT_FALSE(winsim::dismissPopupMenu());  // nothing open any more
#endif
    drainQueue();
    EXPECT_EQ(commandsSeen(), (std::vector<WPARAM>{CMD_FIRST}));
}

#if WINSIM_ONLY  // the time-out stands for a click elsewhere, which only winsim's control API makes
TEST_F(MenuTest, AnUnansweredMenuTimesOut) {
    winsim::setPopupMenuTimeout(50);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
    EXPECT_GE(millisecondsSince(start), 45);
    EXPECT_TRUE(winsim::popupMenuCalls().back().timedOut);
}
#endif

#if WINSIM_ONLY  // hangs under Wine, whose menu loop keeps WM_QUIT: a Wine deviation (see tests/wine/differences)
TEST_F(MenuTest, QuitDismissesTheMenuAndStaysForTheOuterLoop) {
    PostQuitMessage(3);
    EXPECT_TRUE(TrackPopupMenuEx(popup, 0, 0, 0, owner, nullptr));
#if WINSIM_ONLY  // reads winsim's record of TrackPopupMenuEx calls
    EXPECT_EQ(winsim::popupMenuCalls().back().chosen, 0u);
#endif
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}
#endif
