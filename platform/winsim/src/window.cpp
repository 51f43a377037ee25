// Window classes and windows: creation and destruction with their messages, window procedures and window
// longs, title, visibility. An HWND is a number looked up in a table and never a pointer, so a stale or
// invented handle is simply not found and every call answers ERROR_INVALID_WINDOW_HANDLE.
#include "window_state.h"

#include <winsim/control.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace winsim::detail {
namespace {

struct WindowState {
    // Application classes belong to a process; system classes (processId 0) are seen by every process.
    std::map<std::pair<DWORD, std::string>, std::shared_ptr<WindowClass>> classes;
    // Keyed by handle value; values only grow, so iteration is creation order.
    std::map<uintptr_t, std::shared_ptr<Window>> windows;
};

// Handle values are never reused, not even across winsim::reset, so a handle kept from an earlier window or
// test never finds a new window. Steps of 16 never meet HWND_BROADCAST (0xFFFF).
uintptr_t nextWindowValue = 0x10010;

LRESULT CALLBACK systemControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// An edit field tells its parent that its text changed, as the user or a WM_SETTEXT changes it: EN_UPDATE
// before it would show the new text, EN_CHANGE after.
LRESULT CALLBACK editControlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcA(hwnd, msg, wParam, lParam);
    HWND parent = reinterpret_cast<HWND>(GetWindowLongPtrA(hwnd, GWLP_HWNDPARENT));
    if (msg == WM_SETTEXT && result && parent != nullptr && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) {
        const WORD id = static_cast<WORD>(GetDlgCtrlID(hwnd));
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, EN_UPDATE), reinterpret_cast<LPARAM>(hwnd));
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), reinterpret_cast<LPARAM>(hwnd));
    }
    return result;
}

// The predefined control classes that plain Win32 code creates without registering them (an edit field as
// the child of a main window, the controls of a dialog). They keep their text as DefWindowProcA does.
// Simplification: none of them draws or takes input.
void addSystemClasses(WindowState& s) {
    const std::pair<const char*, ATOM> systemClasses[] = {{"Button", 0x80}, {"Edit", 0x81}, {"Static", 0x82}};
    for (const auto& [name, atom] : systemClasses) {
        auto c = std::make_shared<WindowClass>();
        c->name = name;
        c->atom = atom;
        c->proc = atom == 0x81 ? editControlProc : systemControlProc;
        s.classes[{0, foldCase(name)}] = std::move(c);
    }
}

WindowState& state() {
    // Never destroyed: threads that end after main() returns still forget their windows here.
    static WindowState& s = []() -> WindowState& {
        auto* created = new WindowState;
        addSystemClasses(*created);
        return *created;
    }();
    return s;
}

ResetHook windowReset([] {
    state().windows.clear();
    state().classes.clear();
    addSystemClasses(state());
});

std::shared_ptr<WindowClass> findClass(LPCSTR name, DWORD processId) {
    WindowState& s = state();
    if (isAtom(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        std::shared_ptr<WindowClass> system;
        for (const auto& [key, c] : s.classes) {
            if (c->atom != atom) continue;
            if (key.first == processId) return c;
            if (key.first == 0) system = c;
        }
        return system;
    }
    const std::string folded = foldCase(name);
    auto it = s.classes.find({processId, folded});
    if (it == s.classes.end()) it = s.classes.find({0, folded});
    return it == s.classes.end() ? nullptr : it->second;
}

}  // namespace

ATOM registerClass(LPCSTR name, WNDPROC proc, UINT style, int windowExtraBytes, HINSTANCE instance,
                   bool wide) {
    if (name == nullptr || isAtom(name) || *name == '\0' || windowExtraBytes < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Lock lock(bigLock());
    WindowState& s = state();
    const auto key = std::make_pair(currentProcessId(), foldCase(name));
    if (s.classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    const ATOM atom = addAtom(name);
    if (atom == 0) return 0;
    auto c = std::make_shared<WindowClass>();
    c->name = name;
    c->atom = atom;
    c->processId = currentProcessId();
    c->style = style;
    c->proc = proc;
    c->windowExtraBytes = windowExtraBytes;
    c->instance = instance;
    s.classes.emplace(key, std::move(c));
    noteProcedureForm(proc, wide);
    return atom;
}

namespace {

// Takes a window out of the table (bigLock held). Its queued messages go with it.
void removeWindow(const std::shared_ptr<Window>& w) {
    WindowState& s = state();
    if (s.windows.erase(reinterpret_cast<uintptr_t>(w->handle)) == 0) return;
    if (auto parent = findWindow(w->parent)) std::erase(parent->children, w->handle);
    if (w->windowClass && w->windowClass->windowCount > 0) --w->windowClass->windowCount;
    forgetWindowMessages(w->handle, w->threadId);
}

void markDestroying(const std::shared_ptr<Window>& w) {
    w->destroying = true;
    for (HWND child : w->children) {
        if (auto c = findWindow(child)) markDestroying(c);
    }
}

std::vector<HWND> childrenOf(HWND hwnd) {
    Lock lock(bigLock());
    auto w = findWindow(hwnd);
    return w ? w->children : std::vector<HWND>{};
}

// WM_DESTROY goes to a window before its children, as on Windows.
void sendDestroy(HWND hwnd) {
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : childrenOf(hwnd)) sendDestroy(child);
}

// WM_NCDESTROY goes to the children first; each window leaves the table right after its WM_NCDESTROY.
void sendNcDestroyAndRemove(HWND hwnd) {
    for (HWND child : childrenOf(hwnd)) sendNcDestroyAndRemove(child);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    Lock lock(bigLock());
    if (auto w = findWindow(hwnd)) removeWindow(w);
}

std::shared_ptr<Window> findOrFail(HWND hwnd) {
    auto w = findWindow(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// The window longs. `size` is the width of the call: sizeof(LONG_PTR) for the Ptr forms, sizeof(LONG) for
// the 32-bit forms, which cannot carry a pointer on a 64-bit host (ERROR_INVALID_INDEX, as on Win64).
bool pointerIndex(int index) {
    return index == GWLP_WNDPROC || index == GWLP_HINSTANCE || index == GWLP_HWNDPARENT;
}

bool readLong(const Window& w, int index, size_t size, LONG_PTR& value) {
    if (size < sizeof(LONG_PTR) && pointerIndex(index)) return false;
    switch (index) {
        case GWLP_WNDPROC: value = reinterpret_cast<LONG_PTR>(w.proc); return true;
        case GWLP_HINSTANCE: value = reinterpret_cast<LONG_PTR>(w.instance); return true;
        case GWLP_HWNDPARENT: value = reinterpret_cast<LONG_PTR>(w.parent ? w.parent : w.owner); return true;
        case GWLP_ID: value = reinterpret_cast<LONG_PTR>(w.menuOrId); return true;
        case GWLP_USERDATA: value = w.userData; return true;
        case GWL_STYLE: value = static_cast<LONG>(w.style); return true;
        case GWL_EXSTYLE: value = static_cast<LONG>(w.exStyle); return true;
        default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + size > w.extraBytes.size()) return false;
    if (size == sizeof(LONG)) {
        LONG v;
        std::memcpy(&v, w.extraBytes.data() + index, sizeof(v));
        value = v;
    } else {
        std::memcpy(&value, w.extraBytes.data() + index, sizeof(value));
    }
    return true;
}

bool writeLong(Window& w, int index, size_t size, LONG_PTR value) {
    if (size < sizeof(LONG_PTR) && pointerIndex(index)) return false;
    switch (index) {
        case GWLP_WNDPROC: w.proc = reinterpret_cast<WNDPROC>(value); return true;
        case GWLP_HINSTANCE: w.instance = reinterpret_cast<HINSTANCE>(value); return true;
        case GWLP_HWNDPARENT:
            // Only a top-level window's owner can be changed this way.
            if (!w.parent) w.owner = reinterpret_cast<HWND>(value);
            return true;
        case GWLP_ID: w.menuOrId = reinterpret_cast<HMENU>(value); return true;
        case GWLP_USERDATA: w.userData = value; return true;
        case GWL_STYLE: w.style = static_cast<DWORD>(value); return true;
        case GWL_EXSTYLE: w.exStyle = static_cast<DWORD>(value); return true;
        default: break;
    }
    if (index < 0 || static_cast<size_t>(index) + size > w.extraBytes.size()) return false;
    if (size == sizeof(LONG)) {
        const auto v = static_cast<LONG>(value);
        std::memcpy(w.extraBytes.data() + index, &v, sizeof(v));
    } else {
        std::memcpy(w.extraBytes.data() + index, &value, sizeof(value));
    }
    return true;
}

LONG_PTR getLong(HWND hwnd, int index, size_t size) {
    Lock lock(bigLock());
    auto w = findOrFail(hwnd);
    if (!w) return 0;
    LONG_PTR value = 0;
    if (!readLong(*w, index, size, value)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return value;
}

// `wide`: the call was SetWindowLongPtrW, so a procedure installed by it takes the wide form.
LONG_PTR setLong(HWND hwnd, int index, size_t size, LONG_PTR value, bool wide) {
    Lock lock(bigLock());
    auto w = findOrFail(hwnd);
    if (!w) return 0;
    // A window procedure cannot be replaced from another process.
    if (index == GWLP_WNDPROC && w->processId != currentProcessId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    LONG_PTR previous = 0;
    if (!readLong(*w, index, size, previous) || !writeLong(*w, index, size, value)) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    if (index == GWLP_WNDPROC) noteProcedureForm(reinterpret_cast<WNDPROC>(value), wide);
    return previous;
}

// Copies as much of `text` as fits, with its terminating null, into a buffer of `capacity` characters.
template <class Char>
size_t copyText(const std::basic_string<Char>& text, Char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    const size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = Char{};
    return n;
}

// A window's text in the ANSI (char) or the wide (WCHAR) form, as DefWindowProcA and DefWindowProcW use it.
template <class Char>
struct TextForm;

template <>
struct TextForm<char> {
    using CreateStruct = CREATESTRUCTA;
    static const std::string& text(const Window& w) { return w.text; }
    static void set(Window& w, const char* text) { setWindowText(w, text); }
};

template <>
struct TextForm<WCHAR> {
    using CreateStruct = CREATESTRUCTW;
    static const std::wstring& text(const Window& w) { return w.wideText; }
    static void set(Window& w, const WCHAR* text) { setWindowTextWide(w, text); }
};

}  // namespace

template <class Char>
LRESULT defaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    using Form = TextForm<Char>;
    switch (message) {
        case WM_NCCREATE: {
            // The title given to CreateWindowEx becomes the window's text here, as on Windows.
            const auto* cs = reinterpret_cast<const typename Form::CreateStruct*>(lParam);
            Lock lock(bigLock());
            auto w = findWindow(hwnd);
            if (w && cs != nullptr && cs->lpszName != nullptr && !isAtom(cs->lpszName)) {
                Form::set(*w, cs->lpszName);
            }
            return TRUE;
        }
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_QUERYENDSESSION: return TRUE;  // the session may end
        case WM_SETTEXT: {
            Lock lock(bigLock());
            auto w = findWindow(hwnd);
            if (!w) return 0;
            Form::set(*w, reinterpret_cast<const Char*>(lParam));
            return TRUE;
        }
        case WM_GETTEXT: {
            Lock lock(bigLock());
            auto w = findWindow(hwnd);
            if (!w) return 0;
            return static_cast<LRESULT>(copyText(Form::text(*w), reinterpret_cast<Char*>(lParam), wParam));
        }
        case WM_GETTEXTLENGTH: {
            Lock lock(bigLock());
            auto w = findWindow(hwnd);
            return w ? static_cast<LRESULT>(Form::text(*w).size()) : 0;
        }
        default: return 0;
    }
}

template LRESULT defaultWindowProc<char>(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
template LRESULT defaultWindowProc<WCHAR>(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

std::shared_ptr<Window> findWindow(HWND hwnd) {
    auto it = state().windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == state().windows.end() ? nullptr : it->second;
}

// Top-level windows come newest first: Windows puts each new one at the top of the z-order (a new child goes
// to the bottom of its siblings, so children stay in creation order). Nothing reorders them afterwards.
std::vector<HWND> broadcastTargets() {
    std::vector<HWND> targets;
    for (auto it = state().windows.rbegin(); it != state().windows.rend(); ++it) {
        if (!it->second->parent && !it->second->messageOnly) targets.push_back(it->second->handle);
    }
    return targets;
}

std::vector<HWND> messageOnlyWindows() {
    std::vector<HWND> found;
    for (auto it = state().windows.rbegin(); it != state().windows.rend(); ++it) {
        if (!it->second->parent && it->second->messageOnly) found.push_back(it->second->handle);
    }
    return found;
}

bool isDescendant(HWND ancestor, HWND descendant) {
    auto w = findWindow(descendant);
    while (w && w->parent) {
        if (w->parent == ancestor) return true;
        w = findWindow(w->parent);
    }
    return false;
}

void forgetThreadWindows(DWORD threadId) {
    std::vector<std::shared_ptr<Window>> gone;
    for (const auto& [value, w] : state().windows) {
        if (w->threadId == threadId) gone.push_back(w);
    }
    // Children of those windows go too, whichever thread made them: their parent no longer exists.
    for (size_t i = 0; i < gone.size(); ++i) {
        for (HWND child : gone[i]->children) {
            auto c = findWindow(child);
            if (c && c->threadId != threadId) gone.push_back(c);
        }
    }
    for (const auto& w : gone) removeWindow(w);
}

HWND createWindow(const CREATESTRUCTA& cs, bool wide, LPARAM createStruct) {
    const auto style = static_cast<DWORD>(cs.style);
    HWND hwnd;
    {
        Lock lock(bigLock());
        auto c = cs.lpszClass ? findClass(cs.lpszClass, currentProcessId()) : nullptr;
        if (!c) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        const bool messageOnly = cs.hwndParent == HWND_MESSAGE;
        std::shared_ptr<Window> parent;
        if (cs.hwndParent != nullptr && !messageOnly) {
            parent = findOrFail(cs.hwndParent);
            if (!parent) return nullptr;
        }
        if ((style & WS_CHILD) != 0 && !parent && !messageOnly) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        ensureCurrentQueue();
        auto w = std::make_shared<Window>();
        hwnd = reinterpret_cast<HWND>(nextWindowValue);
        nextWindowValue += 0x10;
        w->handle = hwnd;
        w->threadId = currentThreadId();
        w->processId = currentProcessId();
        w->windowClass = c;
        // A built-in control made through CreateWindowExW is a Unicode window.
        w->proc = wide && c->processId == 0 ? wideControlProc : c->proc;
        w->style = style;
        w->exStyle = cs.dwExStyle;
        w->instance = cs.hInstance;
        w->menuOrId = cs.hMenu;
        w->messageOnly = messageOnly;
        w->extraBytes.assign(static_cast<size_t>(c->windowExtraBytes), 0);
        if (parent && (style & WS_CHILD) != 0) {
            w->parent = cs.hwndParent;
            parent->children.push_back(hwnd);
        } else if (parent) {
            w->owner = cs.hwndParent;
        }
        ++c->windowCount;
        state().windows.emplace(reinterpret_cast<uintptr_t>(hwnd), std::move(w));
    }

    // A window that refuses WM_NCCREATE, or answers -1 to WM_CREATE, is taken down with WM_NCDESTROY only.
    const bool created = sendMessage(hwnd, WM_NCCREATE, 0, createStruct, wide) != 0 &&
                         sendMessage(hwnd, WM_CREATE, 0, createStruct, wide) != -1;
    if (!created) {
        Lock lock(bigLock());
        auto w = findWindow(hwnd);
        if (!w) return nullptr;  // the procedure destroyed it already
        markDestroying(w);
        lock.unlock();
        sendNcDestroyAndRemove(hwnd);
        return nullptr;
    }
    Lock lock(bigLock());
    return findWindow(hwnd) ? hwnd : nullptr;
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
    if (lpWndClass == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return registerClass(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->style,
                         lpWndClass->cbWndExtra, lpWndClass->hInstance, false);
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return registerClass(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->style,
                         lpWndClass->cbWndExtra, lpWndClass->hInstance, false);
}

// Simplification: classes are told apart by process and name; the instance handle is not part of the key.
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
    if (lpClassName == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    Lock lock(bigLock());
    auto c = findClass(lpClassName, currentProcessId());
    if (!c || c->processId != currentProcessId()) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    if (c->windowCount > 0) {
        SetLastError(ERROR_CLASS_HAS_WINDOWS);
        return FALSE;
    }
    state().classes.erase({c->processId, foldCase(c->name)});
    return TRUE;
}

}  // extern "C"

CREATESTRUCTA winsim::detail::creationArguments(DWORD exStyle, DWORD style, int x, int y, int width,
                                                int height, HWND parent, HMENU menu, HINSTANCE instance,
                                                LPVOID param) {
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cy = height;
    cs.cx = width;
    cs.y = y;
    cs.x = x;
    cs.style = static_cast<LONG>(style);
    cs.dwExStyle = exStyle;
    return cs;
}

extern "C" {

// Simplification: position and size are not kept, and only the creation messages WM_NCCREATE and WM_CREATE
// are sent (no WM_GETMINMAXINFO, WM_NCCALCSIZE, WM_SIZE, WM_MOVE, WM_PARENTNOTIFY).
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    CREATESTRUCTA cs =
        creationArguments(dwExStyle, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam);
    cs.lpszName = lpWindowName;
    cs.lpszClass = lpClassName;
    return createWindow(cs, false, reinterpret_cast<LPARAM>(&cs));
}

// Simplification: owned windows (created with a parent but without WS_CHILD) are not destroyed with their
// owner; children of another thread get their messages through a cross-thread send.
BOOL WINAPI DestroyWindow(HWND hWnd) {
    {
        Lock lock(bigLock());
        auto w = findOrFail(hWnd);
        if (!w) return FALSE;
        if (w->threadId != currentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        // Called again from inside its own destruction (WM_DESTROY handlers do): nothing more to do.
        if (w->destroying) return TRUE;
        markDestroying(w);
    }
    sendDestroy(hWnd);
    sendNcDestroyAndRemove(hWnd);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
    Lock lock(bigLock());
    return findWindow(hWnd) ? TRUE : FALSE;
}

BOOL WINAPI IsIconic(HWND hWnd) {
    Lock lock(bigLock());
    auto w = findWindow(hWnd);
    return w && (w->style & WS_MINIMIZE) != 0 ? TRUE : FALSE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
    Lock lock(bigLock());
    auto w = findWindow(hWnd);
    if (!w) return FALSE;
    for (; w; w = findWindow(w->parent)) {
        if ((w->style & WS_VISIBLE) == 0) return FALSE;
    }
    return TRUE;
}

// Simplification: no WM_SHOWWINDOW, WM_SIZE or activation; only the WS_VISIBLE and WS_MINIMIZE styles change.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
    Lock lock(bigLock());
    auto w = findOrFail(hWnd);
    if (!w) return FALSE;
    const BOOL wasVisible = (w->style & WS_VISIBLE) != 0 ? TRUE : FALSE;
    switch (nCmdShow) {
        case SW_HIDE: w->style &= ~static_cast<DWORD>(WS_VISIBLE); break;
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
        case 7:   // SW_SHOWMINNOACTIVE
        case 11:  // SW_FORCEMINIMIZE
            w->style |= WS_VISIBLE | WS_MINIMIZE;
            break;
        case SW_SHOWNORMAL:
        case SW_RESTORE:
        case 3:   // SW_MAXIMIZE
        case 10:  // SW_SHOWDEFAULT
            w->style = (w->style | WS_VISIBLE) & ~static_cast<DWORD>(WS_MINIMIZE);
            break;
        default: w->style |= WS_VISIBLE; break;
    }
    return wasVisible;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    Lock lock(bigLock());
    auto w = findOrFail(hWnd);
    if (!w) return 0;
    if (lpdwProcessId != nullptr) *lpdwProcessId = w->processId;
    return w->threadId;
}

int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount) {
    Lock lock(bigLock());
    auto w = findOrFail(hWnd);
    if (!w) return 0;
    if (lpClassName == nullptr || nMaxCount <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<int>(copyText(w->windowClass->name, lpClassName, static_cast<size_t>(nMaxCount)));
}

// As on Windows: a window of the caller's own process is asked with WM_GETTEXT; the title of another
// process's window is read directly, so a hung program cannot block the caller.
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
    {
        Lock lock(bigLock());
        auto w = findOrFail(hWnd);
        if (!w) return 0;
        if (lpString == nullptr || nMaxCount <= 0) return 0;
        lpString[0] = '\0';
        if (w->processId != currentProcessId()) {
            return static_cast<int>(copyText(w->text, lpString, static_cast<size_t>(nMaxCount)));
        }
    }
    const LRESULT n =
        SendMessageA(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount), reinterpret_cast<LPARAM>(lpString));
    return static_cast<int>(std::clamp<LRESULT>(n, 0, nMaxCount - 1));
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
    {
        Lock lock(bigLock());
        if (!findOrFail(hWnd)) return FALSE;
    }
    return SendMessageA(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0 ? TRUE : FALSE;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    return getLong(hWnd, nIndex, sizeof(LONG_PTR));
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return setLong(hWnd, nIndex, sizeof(LONG_PTR), dwNewLong, false);
}

// The wide forms differ only for GWLP_WNDPROC: the procedure installed takes the wide form of the messages.
// Simplification: the procedure read is the procedure itself, whichever form it takes (CallWindowProcA and
// CallWindowProcW convert as it needs).
LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex) {
    return getLong(hWnd, nIndex, sizeof(LONG_PTR));
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    return setLong(hWnd, nIndex, sizeof(LONG_PTR), dwNewLong, true);
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
    return static_cast<LONG>(getLong(hWnd, nIndex, sizeof(LONG)));
}

LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
    return static_cast<LONG>(setLong(hWnd, nIndex, sizeof(LONG), dwNewLong, false));
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return callWindowProcIn(false, lpPrevWndFunc, hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return defaultWindowProc<char>(hWnd, Msg, wParam, lParam);
}

}  // extern "C"
