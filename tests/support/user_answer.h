// The user at the screen, answering the dialogs, message boxes and popup menus a test opens.
//
// On winsim the answers are its scripted input: the next dialog, box or menu to open takes the oldest one
// meant for it. On Windows a thread of the test plays the user: it waits for the window to be on screen (a
// top-level "#32770" window of the answering thread for dialogs and message boxes, the "#32768" window for
// menus) and gives it what a user gives: a click on a button (WM_COMMAND with BN_CLICKED from the button,
// sent, as the button sends it), Enter or Escape as key presses posted to the focus, the close box (the
// WM_SYSCOMMAND it sends), and the menu keys (down, right into a submenu, Enter, Escape). Every wait is
// bounded.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#else
#include <winsim/control.h>
#endif

namespace winsim_test {

// What the user does to a dialog or message box. Button: a click on the button with that id (a message
// box's buttons have the ids of their answers: IDOK, IDCANCEL...). Enter and Escape: the keys, which the
// dialog manager turns into the default push button's id (or IDOK) and IDCANCEL. Close: the close box.
struct DialogAnswer {
    enum class Kind { Button, Enter, Escape, Close } kind = Kind::Enter;
    int controlId = 0;  // Button only
};

inline DialogAnswer clickButton(int id) {
    return {DialogAnswer::Kind::Button, id};
}
inline constexpr DialogAnswer kPressEnter{DialogAnswer::Kind::Enter, 0};
inline constexpr DialogAnswer kPressEscape{DialogAnswer::Kind::Escape, 0};
inline constexpr DialogAnswer kCloseBox{DialogAnswer::Kind::Close, 0};

// How long the user waits for a window to come up before giving up on it.
constexpr DWORD kUserPatienceMs = 5000;

#ifdef _WIN32
namespace user_detail {

inline bool hasClass(HWND window, const char* className) {
    char name[16] = {};
    GetClassNameA(window, name, sizeof(name));
    return std::string(name) == className;
}

struct WindowSearch {
    const char* className;
    HWND found;
};

// A named procedure, not a lambda: a 32-bit build calls it stdcall.
inline BOOL CALLBACK takeVisibleOfClass(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    if (!IsWindowVisible(window) || !hasClass(window, search->className)) return TRUE;
    search->found = window;
    return FALSE;
}

// The newest visible top-level window of that class on the thread (EnumThreadWindows goes from the top of
// the z-order, where a window that just came up sits), or null.
inline HWND visibleWindowOf(DWORD threadId, const char* className) {
    WindowSearch search{className, nullptr};
    EnumThreadWindows(threadId, takeVisibleOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND waitForWindowOf(DWORD threadId, const char* className, DWORD milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        if (HWND window = visibleWindowOf(threadId, className)) return window;
        if (std::chrono::steady_clock::now() >= end) return nullptr;
        Sleep(5);
    }
}

// Until the window is off screen (hidden or destroyed); false when the time ran out first.
inline bool waitUntilGone(HWND window, DWORD milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        Sleep(5);
    }
    return true;
}

// A key pressed and let go, as the keyboard posts it to the window with the focus.
inline void pressKey(HWND target, WPARAM key) {
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

// Where the keyboard's input for the dialog goes: its control with the focus, or the dialog itself.
inline HWND keyboardFocus(HWND dialog) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus != nullptr &&
        (info.hwndFocus == dialog || IsChild(dialog, info.hwndFocus))) {
        return info.hwndFocus;
    }
    return dialog;
}

// Gives the open dialog the user's answer. A click is handled before this returns; a key press that ends
// the dialog is waited for until the dialog is off screen, so the next answer meets the next dialog.
inline bool answerDialog(HWND dialog, DialogAnswer answer) {
    switch (answer.kind) {
        case DialogAnswer::Kind::Button: {
            HWND button = GetDlgItem(dialog, answer.controlId);
            if (button == nullptr || !hasClass(button, "Button")) return false;
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer.controlId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            return true;
        }
        case DialogAnswer::Kind::Close: SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return true;
        case DialogAnswer::Kind::Enter: pressKey(keyboardFocus(dialog), VK_RETURN); break;
        case DialogAnswer::Kind::Escape: pressKey(keyboardFocus(dialog), VK_ESCAPE); break;
    }
    return waitUntilGone(dialog, kUserPatienceMs);
}

// The keys that lead from an open menu to the item with that command: down to it (separators are passed
// over, nothing is selected when a menu opens, and a submenu opens with its first item selected), right into
// each submenu on the way, then Enter. Empty when the menu does not offer the command (none there, or
// grayed or disabled): the user cannot choose it.
inline bool keysTo(HMENU menu, UINT command, bool firstSelected, std::vector<WPARAM>& keys) {
    const int count = GetMenuItemCount(menu);
    int downs = firstSelected ? -1 : 0;
    for (int i = 0; i < count; ++i) {
        const UINT state = GetMenuState(menu, i, MF_BYPOSITION);
        if (state & MF_SEPARATOR) continue;
        ++downs;
        HMENU sub = GetSubMenu(menu, i);
        std::vector<WPARAM> inner;
        const bool here =
            sub == nullptr && GetMenuItemID(menu, i) == command && !(state & (MF_GRAYED | MF_DISABLED));
        if (!here && !(sub != nullptr && keysTo(sub, command, true, inner))) continue;
        keys.assign(downs, VK_DOWN);
        if (sub != nullptr) keys.push_back(VK_RIGHT);
        keys.insert(keys.end(), inner.begin(), inner.end());
        if (here) keys.push_back(VK_RETURN);
        return true;
    }
    return false;
}

// Chooses the command in the open menu (0: dismisses it), then waits until the menu is off screen.
inline bool answerMenu(HWND menuWindow, UINT command) {
    std::vector<WPARAM> keys;
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWindow, MN_GETHMENU, 0, 0));
    if (command == 0 || menu == nullptr || !keysTo(menu, command, false, keys)) keys = {VK_ESCAPE};
    for (WPARAM key : keys) pressKey(menuWindow, key);
    return waitUntilGone(menuWindow, kUserPatienceMs);
}

}  // namespace user_detail
#else
// The same answer in winsim's terms.
inline winsim::DialogInput winsimInput(DialogAnswer answer) {
    using Kind = winsim::DialogInput::Kind;
    const Kind kinds[] = {Kind::Button, Kind::Enter, Kind::Escape, Kind::Close};
    return {kinds[static_cast<int>(answer.kind)], answer.controlId};
}
#endif

// Waits (bounded) until the thread has a dialog open, for a test whose other thread looks at it before
// answering it with answerDialog. Null when none came up.
inline HWND waitForDialog(DWORD threadId) {
#ifdef _WIN32
    return user_detail::waitForWindowOf(threadId, "#32770", kUserPatienceMs);
#else
    (void)threadId;
    if (!winsim::waitForDialog(kUserPatienceMs)) return nullptr;
    const auto open = winsim::openDialogs();
    return open.empty() ? nullptr : open.back().window;
#endif
}

inline bool answerDialog(HWND dialog, DialogAnswer answer) {
#ifdef _WIN32
    return user_detail::answerDialog(dialog, answer);
#else
    return winsim::sendDialogInput(dialog, winsimInput(answer));
#endif
}

// Waits (bounded) until the thread has a message box open, then clicks the button of that answer.
inline bool answerMessageBoxOf(DWORD threadId, int answer) {
#ifdef _WIN32
    HWND box = user_detail::waitForWindowOf(threadId, "#32770", kUserPatienceMs);
    return box != nullptr && user_detail::answerDialog(box, clickButton(answer));
#else
    (void)threadId;
    return winsim::waitForMessageBox(kUserPatienceMs) && winsim::answerMessageBox(answer);
#endif
}

// Waits (bounded) until the thread has a message box open.
inline bool waitForMessageBoxOf(DWORD threadId) {
#ifdef _WIN32
    return user_detail::waitForWindowOf(threadId, "#32770", kUserPatienceMs) != nullptr;
#else
    (void)threadId;
    return winsim::waitForMessageBox(kUserPatienceMs);
#endif
}

// Waits (bounded) until the thread has a popup menu open, then chooses that command (0: dismisses it).
inline bool answerMenuOf(DWORD threadId, UINT command) {
#ifdef _WIN32
    HWND menu = user_detail::waitForWindowOf(threadId, "#32768", kUserPatienceMs);
    return menu != nullptr && user_detail::answerMenu(menu, command);
#else
    (void)threadId;
    if (!winsim::waitForPopupMenu(kUserPatienceMs)) return false;
    return command == 0 ? winsim::dismissPopupMenu() : winsim::choosePopupMenuItem(command);
#endif
}

// The answers for what the calling thread opens next, in order: each dialog, message box or menu takes the
// oldest answer given for its kind. The destructor waits until every answer was given and fails the test for
// any that found nothing to answer.
class NextAnswers {
  public:
    NextAnswers() : threadId_(GetCurrentThreadId()) {
#ifdef _WIN32
        user_ = std::thread([this] { play(); });
#endif
    }
    NextAnswers(const NextAnswers&) = delete;
    NextAnswers& operator=(const NextAnswers&) = delete;

    ~NextAnswers() {
#ifdef _WIN32
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        wake_.notify_all();
        user_.join();
        for (const std::string& missed : missed_) ADD_FAILURE() << missed;
#endif
    }

    void dialog(DialogAnswer answer) {
#ifdef _WIN32
        add({Kind::Dialog, answer, 0});
#else
        winsim::scriptDialogInput(winsimInput(answer));
#endif
    }
    void messageBox(int answer) {
#ifdef _WIN32
        add({Kind::MessageBox, clickButton(answer), 0});
#else
        winsim::scriptMessageBoxAnswer(answer);
#endif
    }
    // A command the menu does not offer cannot be chosen: the user gives up and dismisses the menu.
    void menuChoice(UINT command) {
#ifdef _WIN32
        add({Kind::Menu, {}, command});
#else
        winsim::scriptPopupMenuChoice(command);
#endif
    }
    void menuDismissal() {
#ifdef _WIN32
        add({Kind::Menu, {}, 0});
#else
        winsim::scriptPopupMenuDismissal();
#endif
    }

  private:
    DWORD threadId_;
#ifdef _WIN32
    enum class Kind { Dialog, MessageBox, Menu };
    struct Answer {
        Kind kind;
        DialogAnswer dialog;
        UINT command;
    };

    void add(Answer answer) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            queue_.push_back(answer);
        }
        wake_.notify_all();
    }

    void play() {
        for (;;) {
            Answer answer;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                wake_.wait(lock, [this] { return closing_ || !queue_.empty(); });
                if (queue_.empty()) return;
                answer = queue_.front();
                queue_.pop_front();
            }
            const bool menu = answer.kind == Kind::Menu;
            HWND window =
                user_detail::waitForWindowOf(threadId_, menu ? "#32768" : "#32770", kUserPatienceMs);
            const bool given = window != nullptr && (menu ? user_detail::answerMenu(window, answer.command)
                                                          : user_detail::answerDialog(window, answer.dialog));
            if (!given) {
                std::lock_guard<std::mutex> lock(mutex_);
                missed_.push_back(std::string(menu ? "no popup menu" : "no dialog or message box") +
                                  " came up to be answered, or the answer did not close it");
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Answer> queue_;
    std::vector<std::string> missed_;
    bool closing_ = false;
    std::thread user_;
#endif
};

}  // namespace winsim_test
