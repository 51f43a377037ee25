// Modal dialogs from templates: the windows DialogBoxParamA builds, WM_INITDIALOG, the modal loop and
// EndDialog, the dialog manager's default processing (Enter, Escape, the close box), and dialogs that are
// opened from inside another dialog's loop or run on another thread.
#include "support/user_answer.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"
#include "ui_resource_ids.h"

#include <future>
#include <thread>

using namespace winsim_test;

namespace {

// What the dialog procedure saw and did, for the test to look at.
struct Observed {
    LPARAM initParam = 0;
    WPARAM initFocus = 0;
    std::string className;
    HWND window = nullptr;         // the dialog, as WM_INITDIALOG saw it
    HWND firstEditable = nullptr;  // its edit control
    HWND applyButton = nullptr;
#if WINSIM_ONLY  // winsim's list of open dialogs, read where only winsim can
    // The open dialogs as WM_INITDIALOG saw them.
    std::vector<winsim::DialogInfo> atInit;
#endif
    std::vector<std::pair<WORD, WORD>> commands;  // (id, notification)
    std::vector<LPARAM> commandSources;
    bool destroyed = false;
    int timerTicks = 0;
};
Observed observed;

// Ends the dialog with the id of OK, Cancel or Save; leaves everything else to the default processing.
INT_PTR CALLBACK recordingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: observed.initParam = lParam; observed.initFocus = wParam;
#if WINSIM_ONLY  // winsim's list of open dialogs, read where only winsim can
            observed.atInit = winsim::openDialogs();
#endif
            char className[16];
            GetClassNameA(dialog, className, sizeof(className));
            observed.className = className;
            observed.window = dialog;
            observed.firstEditable = GetDlgItem(dialog, IDC_EDIT);
            observed.applyButton = GetDlgItem(dialog, IDC_APPLY);
            return TRUE;
        case WM_COMMAND:
            // The edit control tells when the focus moves into it as the dialog opens and out as it ends;
            // those notifications are no answer of the user's.
            if (LOWORD(wParam) == IDC_EDIT &&
                (HIWORD(wParam) == EN_SETFOCUS || HIWORD(wParam) == EN_KILLFOCUS)) {
                return FALSE;
            }
            observed.commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
            observed.commandSources.push_back(lParam);
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDC_SAVE) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY: observed.destroyed = true; return FALSE;
        default: return FALSE;
    }
}

INT_PTR CALLBACK endsAtOnce(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG) EndDialog(dialog, 77);
    if (message == WM_DESTROY) observed.destroyed = true;
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// Asks the dialog for a control it does not have, then ends it.
struct {
    HWND found = nullptr;
    DWORD error = 0;
} missingControl;
INT_PTR CALLBACK looksForAMissingControl(HWND dialog, UINT message, WPARAM, LPARAM) {
    if (message != WM_INITDIALOG) return FALSE;
    SetLastError(0);
    missingControl.found = GetDlgItem(dialog, 999);
    missingControl.error = GetLastError();
    EndDialog(dialog, 77);
    return TRUE;
}

// Opens a second dialog from inside the first one's loop, as a tray icon asking for About again does.
INT_PTR secondResult = 0;
LRESULT CALLBACK opensSecondDialog(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER) {
        secondResult =
            DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_DIALOG), hwnd, endsAtOnce, 0);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DialogTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        observed = Observed{};
        registerClass("DialogOwner", opensSecondDialog);
        owner = makeWindow("DialogOwner");
    }

    INT_PTR openDialog(int templateId = TEST_DIALOG, DLGPROC proc = recordingDialog, LPARAM param = 0) {
        return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, proc, param);
    }

    HWND owner = nullptr;
};

}  // namespace

TEST_F(DialogTest, TheTemplateBecomesADialogWindowWithItsControls) {
    {
        NextAnswers user;
        user.dialog(kPressEscape);
        EXPECT_EQ(openDialog(TEST_DIALOG, recordingDialog, 1234), IDCANCEL);
    }
    EXPECT_EQ(observed.initParam, 1234);
    EXPECT_EQ(observed.className, "#32770");
    // The first control with WS_TABSTOP is offered the focus.
    ASSERT_NE(observed.firstEditable, nullptr);
    EXPECT_EQ(observed.initFocus, reinterpret_cast<WPARAM>(observed.firstEditable));
    // Ended, the dialog is destroyed (its procedure sees WM_DESTROY) before DialogBoxParamA returns.
    EXPECT_TRUE(observed.destroyed);
    EXPECT_FALSE(IsWindow(observed.window));

#if WINSIM_ONLY  // reads the template as winsim's list of open dialogs recorded it
    ASSERT_EQ(observed.atInit.size(), 1u);
    const winsim::DialogInfo& d = observed.atInit[0];
    EXPECT_EQ(d.window, observed.window);
    EXPECT_EQ(d.templateId, TEST_DIALOG);
    EXPECT_EQ(d.owner, owner);
    EXPECT_EQ(d.caption, "Test dialog");
    EXPECT_EQ(d.style, static_cast<DWORD>(DS_MODALFRAME | DS_SETFONT | WS_CAPTION | WS_SYSMENU));
    EXPECT_EQ(d.fontName, "Tahoma");
    EXPECT_EQ(d.fontPointSize, 9);
    EXPECT_EQ(d.cx, 200);
    EXPECT_EQ(d.cy, 100);

    ASSERT_EQ(d.controls.size(), 6u);
    EXPECT_EQ(d.controls[0].className, "Static");
    EXPECT_EQ(d.controls[0].id, 0xFFFF);
    EXPECT_EQ(d.controls[0].text, "Label");
    EXPECT_EQ(d.controls[1].className, "Edit");
    EXPECT_EQ(d.controls[1].window, observed.firstEditable);
    EXPECT_EQ(d.controls[3].className, "Button");
    EXPECT_EQ(d.controls[3].style & BS_TYPEMASK, static_cast<DWORD>(BS_DEFPUSHBUTTON));
    EXPECT_EQ(d.controls[3].x, 50);
    EXPECT_EQ(d.controls[3].cy, 14);
    // The icon static names its icon by ordinal and loads it from the dialog's module.
    EXPECT_EQ(d.controls[5].iconId, TEST_ICON);
    EXPECT_EQ(winsim::iconResourceId(d.controls[5].icon), TEST_ICON);
    EXPECT_FALSE(d.running);  // WM_INITDIALOG comes before the loop
    EXPECT_TRUE(winsim::openDialogs().empty());
#endif
}

TEST_F(DialogTest, EnterGivesTheDefaultButtonEscapeAndTheCloseBoxGiveCancel) {
    NextAnswers user;
    user.dialog(kPressEnter);
    EXPECT_EQ(openDialog(), IDC_SAVE);
    user.dialog(kCloseBox);
    EXPECT_EQ(openDialog(), IDCANCEL);
    // Without a default push button, Enter is IDOK.
    user.dialog(kPressEnter);
    EXPECT_EQ(openDialog(TEST_PLAIN_DIALOG), IDOK);

    // Each came as a click of its button.
    EXPECT_EQ(observed.commands, (std::vector<std::pair<WORD, WORD>>{
                                     {IDC_SAVE, BN_CLICKED}, {IDCANCEL, BN_CLICKED}, {IDOK, BN_CLICKED}}));
}

TEST_F(DialogTest, AButtonClickComesFromTheButtonAndTheDialogRunsUntilEndDialog) {
    NextAnswers user;
    user.dialog(clickButton(IDC_APPLY));  // not ending
    user.dialog(clickButton(IDC_SAVE));
    EXPECT_EQ(openDialog(), IDC_SAVE);
    ASSERT_EQ(observed.commands.size(), 2u);
    EXPECT_EQ(observed.commands[0], std::make_pair(WORD{IDC_APPLY}, WORD{BN_CLICKED}));
    ASSERT_NE(observed.applyButton, nullptr);
    EXPECT_EQ(observed.commandSources[0], reinterpret_cast<LPARAM>(observed.applyButton));
}

TEST_F(DialogTest, EndDialogInsideInitDialogEndsItWithoutALoop) {
    NextAnswers user;
    user.dialog(kPressEscape);
    EXPECT_EQ(openDialog(TEST_DIALOG, endsAtOnce), 77);
    EXPECT_TRUE(observed.destroyed);
    // The answer was not taken by a loop that never ran.
    EXPECT_EQ(openDialog(), IDCANCEL);
}

TEST_F(DialogTest, ADialogOpenedInsideAnotherDialogsLoopLeavesTheFirstWorking) {
    NextAnswers user;
    PostMessageA(owner, WM_USER, 0, 0);
    user.dialog(kPressEnter);
    EXPECT_EQ(openDialog(), IDC_SAVE);
    EXPECT_EQ(secondResult, 77);
}

TEST_F(DialogTest, FailuresGiveMinusOneOrZeroForABadOwner) {
    EXPECT_EQ(openDialog(999), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    EXPECT_EQ(openDialog(TEST_BROKEN_DIALOG), -1);
    EXPECT_EQ(DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_DIALOG),
                              reinterpret_cast<HWND>(0x5550), recordingDialog, 0),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#if WINSIM_ONLY  // reads winsim's list of open dialogs
    EXPECT_TRUE(winsim::openDialogs().empty());
#endif
}

TEST_F(DialogTest, AMissingControlAndAWindowThatIsNoDialogAreErrors) {
    EXPECT_EQ(openDialog(TEST_DIALOG, looksForAMissingControl), 77);
    EXPECT_EQ(missingControl.found, nullptr);
    EXPECT_EQ(missingControl.error, static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
    SetLastError(0);
    EXPECT_FALSE(EndDialog(owner, 1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINDOW_NOT_DIALOG));
}

TEST_F(DialogTest, ADialogOnAnotherThreadIsDrivenFromOutsideAndServesItsQueue) {
    INT_PTR result = 0;
    std::promise<DWORD> started;
    std::thread program([&] {
        started.set_value(GetCurrentThreadId());
        registerClass("DialogOwnerThread", recordingProc);
        HWND threadOwner = makeWindow("DialogOwnerThread");
        result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(TEST_DIALOG), threadOwner,
                                 recordingDialog, 0);
    });
    HWND dialog = waitForDialog(started.get_future().get());
    if (dialog == nullptr) program.detach();  // stuck where nobody answers; the process ends with the test
    ASSERT_NE(dialog, nullptr);
#if WINSIM_ONLY  // reads winsim's list of open dialogs
    const auto open = winsim::openDialogs();
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].window, dialog);
    EXPECT_TRUE(open[0].running);
#endif
    EXPECT_TRUE(IsWindowVisible(dialog));
    // The dialog's controls answer while it is open.
    EXPECT_TRUE(SetDlgItemTextA(dialog, IDC_EDIT, "typed"));
    char text[16];
    EXPECT_EQ(GetDlgItemTextA(dialog, IDC_EDIT, text, sizeof(text)), 5u);
    EXPECT_STREQ(text, "typed");
    EXPECT_EQ(GetDlgItem(dialog, 999), nullptr);
    EXPECT_EQ(GetDlgCtrlID(GetDlgItem(dialog, IDC_SAVE)), IDC_SAVE);

    EXPECT_FALSE(answerDialog(dialog, clickButton(IDC_EDIT)));  // not a button
    EXPECT_TRUE(answerDialog(dialog, clickButton(IDC_APPLY)));
    EXPECT_TRUE(answerDialog(dialog, kPressEscape));
    program.join();
    EXPECT_EQ(result, IDCANCEL);
    // The edit control told the dialog of its new text before and after it changed.
    EXPECT_EQ(
        observed.commands,
        (std::vector<std::pair<WORD, WORD>>{
            {IDC_EDIT, EN_UPDATE}, {IDC_EDIT, EN_CHANGE}, {IDC_APPLY, BN_CLICKED}, {IDCANCEL, BN_CLICKED}}));
#if WINSIM_ONLY  // winsim refuses input for a dialog that is no longer open; on Windows it goes nowhere
    EXPECT_FALSE(answerDialog(dialog, kPressEnter));
#endif
}

TEST_F(DialogTest, QuitEndsTheDialogAndStaysForTheOuterLoop) {
    PostQuitMessage(9);
    // Not ended by EndDialog, the dialog answers what it keeps in the result's place: its default button.
    EXPECT_EQ(openDialog(), IDC_SAVE);
    EXPECT_TRUE(observed.destroyed);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
}
