// What window.cpp, message.cpp and devnotify.cpp share about windows and queues. Everything here requires
// bigLock to be held.
#pragma once

#include "internal.h"

#include <memory>
#include <string>
#include <vector>

namespace winsim::detail {

struct WindowClass {
    std::string name;  // as registered; lookups ignore case
    ATOM atom = 0;
    DWORD processId = 0;  // 0: a system class, visible to every process
    UINT style = 0;
    WNDPROC proc = nullptr;
    int windowExtraBytes = 0;
    HINSTANCE instance = nullptr;
    size_t windowCount = 0;
};

struct Window {
    HWND handle = nullptr;
    DWORD threadId = 0;
    DWORD processId = 0;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    HINSTANCE instance = nullptr;
    HMENU menuOrId = nullptr;
    LONG_PTR userData = 0;
    std::vector<unsigned char> extraBytes;
    std::string text;
    HWND parent = nullptr;  // the parent of a WS_CHILD window
    HWND owner = nullptr;   // the owner of a top-level window created with a parent
    bool messageOnly = false;
    std::vector<HWND> children;  // WS_CHILD windows, in creation order
    bool destroying = false;     // DestroyWindow has begun on it
};

// The live window behind an HWND, or null for anything else (stale, invented, being forgotten).
std::shared_ptr<Window> findWindow(HWND hwnd);
// The windows that HWND_BROADCAST reaches: top-level, not message-only, in creation order.
std::vector<HWND> broadcastTargets();
// The top-level message-only windows (created with the parent HWND_MESSAGE), in creation order.
std::vector<HWND> messageOnlyWindows();
// Whether `descendant` is a child, grandchild... of `ancestor`.
bool isDescendant(HWND ancestor, HWND descendant);
// Forgets every window of a thread that ended, without calling its procedures (the thread is gone).
void forgetThreadWindows(DWORD threadId);

// Message side (message.cpp).
// Makes sure the calling thread has a message queue.
void ensureCurrentQueue();
// Waits, with bigLock held through `lock`, until the calling thread has something that GetMessageA would
// take (a sent or posted message, WM_QUIT, a timer tick), `wake` answers true, or the time-out passes.
// False when the time ran out. Modal loops (MessageBoxA) wait this way.
bool waitForMessages(Lock& lock, DWORD milliseconds, const std::function<bool()>& wake);
// A window is gone: drops its posted messages and its timers, and every message sent to it that waits for
// delivery fails for its sender with ERROR_INVALID_WINDOW_HANDLE.
void forgetWindowMessages(HWND hwnd, DWORD threadId);
// The atom table shared by class names and registered messages: the same name (any case) always gives the
// same number, from 0xC000 up.
ATOM addAtom(const std::string& name);

// Case-insensitive comparison of ASCII names, as Windows compares class and atom names.
inline std::string foldCase(const std::string& s) {
    std::string folded = s;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

}  // namespace winsim::detail
