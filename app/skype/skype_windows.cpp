#include "skype_windows.h"

#include "shell/shared_state.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace phonedock {
namespace {

constexpr int kNameBufferSize = 100;
constexpr std::string_view kMainWindowClass = "tSkMainForm.UnicodeClass";
// Titles of the main window in the client's various editions, tested in this order.
constexpr std::string_view kMainWindowTitles[] = {"Skype?-", "TOM-Skype", "PChome-Skype", "LiveDoor-Skype",
                                                  "Skype(TM) -"};

bool StartsWithNoCase(const char* text, std::string_view prefix) {
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (text[i] == '\0' || std::tolower(static_cast<unsigned char>(text[i])) !=
                                   std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

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

}  // namespace phonedock
