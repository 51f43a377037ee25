#include "skype_windows.h"

#include "foundation/shared_state.h"
#include "foundation/text_match.h"
#include "skype_link.h"

#include <cstring>
#include <string_view>

namespace phonedock {
namespace {

constexpr int kNameBufferSize = 100;
constexpr std::string_view kMainWindowClass = "tSkMainForm.UnicodeClass";
// Titles of the main window in the client's various editions, tested in this order.
constexpr std::string_view kMainWindowTitles[] = {"Skype?-", "TOM-Skype", "PChome-Skype", "LiveDoor-Skype",
                                                  "Skype(TM) -"};

struct TopLevelNames {
    char title[kNameBufferSize];
    char className[kNameBufferSize];
    explicit TopLevelNames(HWND window) {
        title[0] = className[0] = '\0';
        GetWindowTextA(window, title, kNameBufferSize);
        GetClassNameA(window, className, kNameBufferSize);
    }
};

BOOL Found(HWND window, LPARAM found) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

}  // namespace

BOOL CALLBACK MatchSkypeMainByClass(HWND window, LPARAM found) {
    const TopLevelNames names(window);
    if (StartsWithNoCase(names.className, kMainWindowClass) && std::strstr(names.title, "Skype") != nullptr &&
        IsWindowVisible(window)) {
        return Found(window, found);
    }
    return TRUE;
}

BOOL CALLBACK MatchSkypeMainByTitle(HWND window, LPARAM found) {
    const TopLevelNames names(window);
    for (std::string_view prefix : kMainWindowTitles) {
        if (StartsWithNoCase(names.title, prefix) && IsWindowVisible(window)) return Found(window, found);
    }
    return TRUE;
}

BOOL CALLBACK MatchEditChild(HWND window, LPARAM found) {
    char className[kNameBufferSize];
    className[0] = '\0';
    GetClassNameA(window, className, kNameBufferSize - 1);
    const std::string_view name(className);
    if (name.size() == 4 && StartsWithNoCase(name, "Edit")) return Found(window, found);
    return TRUE;
}

HWND FindSkypeMainWindow() {
    const HWND cached = skypeMainWindow;
    if (cached != nullptr && IsWindow(cached)) return cached;
    skypeMainWindow = nullptr;
    const HWND api = skypeApiWindow;
    if (api == nullptr) return nullptr;
    const DWORD thread = GetWindowThreadProcessId(api, nullptr);
    HWND found = nullptr;
    EnumThreadWindows(thread, MatchSkypeMainByClass, reinterpret_cast<LPARAM>(&found));
    if (found == nullptr) EnumThreadWindows(thread, MatchSkypeMainByTitle, reinterpret_cast<LPARAM>(&found));
    skypeMainWindow = found;
    return found;
}

HWND FindSkypeEditField() {
    const HWND main = FindSkypeMainWindow();
    if (main == nullptr) return nullptr;
    HWND edit = nullptr;
    EnumChildWindows(main, MatchEditChild, reinterpret_cast<LPARAM>(&edit));  // FALSE also when it found one
    return edit;
}

// Skype's edit field is a Unicode window in some versions: it gets the wide form of the messages then.
static LRESULT SendToEdit(HWND edit, UINT message, WPARAM wParam, LPARAM ansi, LPARAM wide) {
    DWORD_PTR result = 0;
    if (IsWindowUnicode(edit)) {
        SendMessageTimeoutW(edit, message, wParam, wide, SMTO_ABORTIFHUNG, kSkypeSendTimeoutMs, &result);
    } else {
        SendMessageTimeoutA(edit, message, wParam, ansi, SMTO_ABORTIFHUNG, kSkypeSendTimeoutMs, &result);
    }
    return static_cast<LRESULT>(result);
}

HWND ClearSkypeEditField() {
    const HWND edit = FindSkypeEditField();
    if (edit == nullptr) return nullptr;
    SendToEdit(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), reinterpret_cast<LPARAM>(L""));
    return edit;
}

void SendBackspaceToSkypeEdit() {
    const HWND edit = FindSkypeEditField();
    if (edit == nullptr) return;
    constexpr WPARAM kBackspace = 8;
    SendToEdit(edit, WM_CHAR, kBackspace, 0, 0);
}

}  // namespace phonedock
