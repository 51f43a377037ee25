// Unicode windows: the wide creation path (RegisterClassW, CreateWindowExW), SendMessageW, DefWindowProcW,
// CallWindowProcW, and the conversion of a message between the ANSI and the wide form when it reaches a
// procedure that takes the other one. Whether a window is a Unicode window follows from its procedure.
#include "window_state.h"

#include <unordered_map>

namespace winsim::detail {
namespace {

// The ANSI code page of the simulated system is ASCII.
constexpr unsigned kLastAscii = 0x7F;

// Procedures by the form they take, as first registered or installed since reset.
std::unordered_map<WNDPROC, bool>& procedureForms() {
    static auto& forms = *new std::unordered_map<WNDPROC, bool>;
    return forms;
}

ResetHook unicodeReset([] { procedureForms().clear(); });

char narrowChar(WCHAR c) {
    return static_cast<unsigned>(c) <= kLastAscii ? static_cast<char>(c) : '?';
}

WCHAR widenChar(char c) {
    return static_cast<unsigned char>(c) <= kLastAscii ? static_cast<WCHAR>(c) : L'?';
}

std::shared_ptr<Window> findOrFail(HWND hwnd) {
    auto w = findWindow(hwnd);
    if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return w;
}

// WM_GETTEXT into a buffer of `capacity` characters of the caller's form: the receiver fills one of its own
// form, which is converted back.
template <class From, class To>
LRESULT getTextConverted(WPARAM capacity, LPARAM callerBuffer,
                         const std::function<LRESULT(WPARAM, LPARAM)>& call, To (*convert)(From)) {
    std::vector<From> own(capacity, From{});
    call(capacity, reinterpret_cast<LPARAM>(own.data()));
    auto* out = reinterpret_cast<To*>(callerBuffer);
    size_t n = 0;
    for (; n + 1 < capacity && own[n] != From{}; ++n) out[n] = convert(own[n]);
    out[n] = To{};
    return static_cast<LRESULT>(n);
}

// WM_NCCREATE and WM_CREATE: the creation structure with its texts in the other form (atoms stay).
template <class ToStruct, class FromStruct, class Text>
LRESULT createConverted(const FromStruct* from, LPARAM lParam, WPARAM wParam, const Text& name,
                        const Text& className, const std::function<LRESULT(WPARAM, LPARAM)>& call) {
    if (from == nullptr) return call(wParam, lParam);
    ToStruct to{};
    copyCreationArguments(*from, to);
    using ToText = decltype(to.lpszName);
    to.lpszName = from->lpszName == nullptr ? nullptr
                  : isAtom(from->lpszName)  ? reinterpret_cast<ToText>(from->lpszName)
                                            : name.c_str();
    to.lpszClass = from->lpszClass == nullptr ? nullptr
                   : isAtom(from->lpszClass)  ? reinterpret_cast<ToText>(from->lpszClass)
                                              : className.c_str();
    return call(wParam, reinterpret_cast<LPARAM>(&to));
}

// A text of a creation structure in the other form; empty for a null pointer or an atom.
std::wstring widenName(LPCSTR text) {
    return text == nullptr || isAtom(text) ? std::wstring() : widenText(text);
}
std::string narrowName(LPCWSTR text) {
    return text == nullptr || isAtom(text) ? std::string() : narrowText(text);
}

// Passes a message in one form to a procedure that takes the other: `toWide` converts an ANSI message to
// the wide form, otherwise a wide one to ANSI. Only texts and characters are converted (see windows.h).
LRESULT callConverted(UINT message, WPARAM wParam, LPARAM lParam, bool toWide,
                      const std::function<LRESULT(WPARAM, LPARAM)>& call) {
    switch (message) {
        case WM_CHAR:
            // wParam is a byte of the ANSI code page, or a UTF-16 code unit.
            if (toWide) return call(static_cast<WPARAM>(widenChar(static_cast<char>(wParam & 0xFF))), lParam);
            return call(static_cast<WPARAM>(
                            static_cast<unsigned char>(narrowChar(static_cast<WCHAR>(wParam & 0xFFFF)))),
                        lParam);
        case WM_SETTEXT: {
            if (lParam == 0) return call(wParam, lParam);
            if (toWide) {
                const std::wstring text = widenText(reinterpret_cast<LPCSTR>(lParam));
                return call(wParam, reinterpret_cast<LPARAM>(text.c_str()));
            }
            const std::string text = narrowText(reinterpret_cast<LPCWSTR>(lParam));
            return call(wParam, reinterpret_cast<LPARAM>(text.c_str()));
        }
        case WM_GETTEXT:
            if (lParam == 0 || wParam == 0) return call(wParam, lParam);
            if (toWide) return getTextConverted<WCHAR, char>(wParam, lParam, call, narrowChar);
            return getTextConverted<char, WCHAR>(wParam, lParam, call, widenChar);
        case WM_NCCREATE:
        case WM_CREATE: {
            if (toWide) {
                const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
                return createConverted<CREATESTRUCTW>(cs, lParam, wParam,
                                                      widenName(cs ? cs->lpszName : nullptr),
                                                      widenName(cs ? cs->lpszClass : nullptr), call);
            }
            const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            return createConverted<CREATESTRUCTA>(cs, lParam, wParam, narrowName(cs ? cs->lpszName : nullptr),
                                                  narrowName(cs ? cs->lpszClass : nullptr), call);
        }
        default: return call(wParam, lParam);
    }
}

}  // namespace

void noteProcedureForm(WNDPROC proc, bool wide) {
    if (proc == nullptr) return;
    procedureForms().emplace(proc, wide);  // the first form given stays
}

bool procedureIsWide(WNDPROC proc) {
    if (proc == wideControlProc || proc == DefWindowProcW) return true;
    auto it = procedureForms().find(proc);
    return it != procedureForms().end() && it->second;
}

LRESULT CALLBACK wideControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT callInForm(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool wide,
                   bool procWide) {
    if (wide == procWide) return proc(hwnd, message, wParam, lParam);
    return callConverted(message, wParam, lParam, procWide,
                         [&](WPARAM w, LPARAM l) { return proc(hwnd, message, w, l); });
}

LRESULT callWindowProcIn(bool wide, WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (proc == nullptr) return 0;
    bool procWide;
    {
        Lock lock(bigLock());
        procWide = procedureIsWide(proc);
    }
    return callInForm(proc, hwnd, message, wParam, lParam, wide, procWide);
}

std::string narrowText(const WCHAR* text) {
    std::string narrow;
    for (; text != nullptr && *text != L'\0'; ++text) narrow.push_back(narrowChar(*text));
    return narrow;
}

std::wstring widenText(const char* text) {
    std::wstring wide;
    for (; text != nullptr && *text != '\0'; ++text) wide.push_back(widenChar(*text));
    return wide;
}

void setWindowText(Window& w, const char* text) {
    w.text = text != nullptr ? text : "";
    w.wideText = widenText(text);
}

void setWindowTextWide(Window& w, const WCHAR* text) {
    w.wideText = text != nullptr ? text : L"";
    w.text = narrowText(text);
}

}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

BOOL WINAPI IsWindowUnicode(HWND hWnd) {
    Lock lock(bigLock());
    auto w = findOrFail(hWnd);
    return w && procedureIsWide(w->proc) ? TRUE : FALSE;
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass) {
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || isAtom(lpWndClass->lpszClassName)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::string name = narrowText(lpWndClass->lpszClassName);
    return registerClass(name.c_str(), lpWndClass->lpfnWndProc, lpWndClass->style, lpWndClass->cbWndExtra,
                         lpWndClass->hInstance, true);
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X,
                            int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance,
                            LPVOID lpParam) {
    // The window's procedure gets `cs` with the caller's texts; the class is looked up by its ANSI name.
    CREATESTRUCTA arguments =
        creationArguments(dwExStyle, dwStyle, X, Y, nWidth, nHeight, hWndParent, hMenu, hInstance, lpParam);
    CREATESTRUCTW cs{};
    copyCreationArguments(arguments, cs);
    cs.lpszName = lpWindowName;
    cs.lpszClass = lpClassName;
    const std::string className = narrowName(lpClassName);
    arguments.lpszClass = lpClassName == nullptr || isAtom(lpClassName)
                              ? reinterpret_cast<LPCSTR>(lpClassName)
                              : className.c_str();
    return createWindow(arguments, true, reinterpret_cast<LPARAM>(&cs));
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return sendMessage(hWnd, Msg, wParam, lParam, true);
}

LRESULT WINAPI SendMessageTimeoutW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags,
                                   UINT uTimeout, PDWORD_PTR lpdwResult) {
    return sendMessageTimeout(hWnd, Msg, wParam, lParam, fuFlags, uTimeout, lpdwResult, true);
}

LRESULT WINAPI CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return callWindowProcIn(true, lpPrevWndFunc, hWnd, Msg, wParam, lParam);
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    return defaultWindowProc<WCHAR>(hWnd, Msg, wParam, lParam);
}

}  // extern "C"
