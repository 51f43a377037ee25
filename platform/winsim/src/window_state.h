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
    std::wstring wideText;  // the same text in wide form, as a Unicode window was given it
    HWND parent = nullptr;  // the parent of a WS_CHILD window
    HWND owner = nullptr;   // the owner of a top-level window created with a parent
    bool messageOnly = false;
    std::vector<HWND> children;  // WS_CHILD windows, in creation order
    bool destroying = false;     // DestroyWindow has begun on it
};

// The live window behind an HWND, or null for anything else (stale, invented, being forgotten).
std::shared_ptr<Window> findWindow(HWND hwnd);
// The windows that HWND_BROADCAST reaches: top-level, not message-only, in z-order (newest first).
std::vector<HWND> broadcastTargets();
// The top-level message-only windows (created with the parent HWND_MESSAGE), newest first.
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

// Whether a name given in place of a text (a class name, a window title) is an atom: a number below 0x10000.
inline bool isAtom(const void* name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

// Case-insensitive comparison of ASCII names, as Windows compares class and atom names.
inline std::string foldCase(const std::string& s) {
    std::string folded = s;
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

// The following are called without bigLock.
// RegisterClassA (wide false) and RegisterClassW, whose procedure takes the wide form.
ATOM registerClass(LPCSTR name, WNDPROC proc, UINT style, int windowExtraBytes, HINSTANCE instance,
                   bool wide);
// Creates a window for CreateWindowExA and CreateWindowExW. `cs` gives the arguments, with the class name in
// ANSI form (or an atom); `createStruct` is what WM_NCCREATE and WM_CREATE carry: `cs` itself, or the
// CREATESTRUCTW with the caller's wide texts (`wide`), sent in that form.
HWND createWindow(const CREATESTRUCTA& cs, bool wide, LPARAM createStruct);
// DefWindowProcA (char) and DefWindowProcW (WCHAR): one handling, with the window's text in that form.
template <class Char>
LRESULT defaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// SendMessageA (wide false) and SendMessageW.
LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wide);
// SendMessageTimeoutA/W.
LRESULT sendMessageTimeout(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT flags, UINT timeout,
                           PDWORD_PTR answer, bool wide);

// ---- Unicode windows (unicode_window.cpp) ----
// Which form of the messages a window procedure takes, which makes its window a Unicode window or not. A
// procedure takes the form it was first registered (RegisterClassA/W) or installed (SetWindowLongPtrA/W)
// with; unknown procedures take the ANSI form. So a procedure that SetWindowLongPtrA hands back from a
// Unicode window, installed again later, makes the window Unicode again, as Windows' procedure handles do.
// Both require bigLock; winsim::reset forgets them.
void noteProcedureForm(WNDPROC proc, bool wide);
bool procedureIsWide(WNDPROC proc);
// The procedure of the built-in controls created with CreateWindowExW (DefWindowProcW's handling).
LRESULT CALLBACK wideControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Calls `proc` with a message in the ANSI or wide form (`wide`), converted first when the procedure takes
// the other form (`procWide`). Called without bigLock.
LRESULT callInForm(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wide,
                   bool procWide);
// CallWindowProcA (wide false) and CallWindowProcW. Called without bigLock.
LRESULT callWindowProcIn(bool wide, WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The conversions between the two forms: ASCII stays, every other character becomes '?'.
std::string narrowText(const WCHAR* text);
std::wstring widenText(const char* text);
// A window's text as DefWindowProcA and DefWindowProcW set it: both forms, kept together.
void setWindowText(Window& w, const char* text);
void setWindowTextWide(Window& w, const WCHAR* text);

// The creation arguments of CreateWindowExA/W as a CREATESTRUCTA without its texts.
CREATESTRUCTA creationArguments(DWORD exStyle, DWORD style, int x, int y, int width, int height, HWND parent,
                                HMENU menu, HINSTANCE instance, LPVOID param);

// Copies everything but the two texts between the ANSI and the wide creation structure.
template <class To, class From>
void copyCreationArguments(const From& from, To& to) {
    to.lpCreateParams = from.lpCreateParams;
    to.hInstance = from.hInstance;
    to.hMenu = from.hMenu;
    to.hwndParent = from.hwndParent;
    to.cy = from.cy;
    to.cx = from.cx;
    to.y = from.y;
    to.x = from.x;
    to.style = from.style;
    to.dwExStyle = from.dwExStyle;
}

}  // namespace winsim::detail
