// Finding windows by class name and title: FindWindowA and FindWindowExA, among the top-level windows, the
// message-only windows, or the children of one window.
#include "window_state.h"

namespace winsim::detail {
namespace {

bool isAtomName(LPCSTR name) {
    return reinterpret_cast<uintptr_t>(name) < 0x10000;
}

// A class is named by its name, in any case, or by its atom (MAKEINTATOM).
bool classMatches(const Window& w, LPCSTR className) {
    if (className == nullptr) return true;
    if (isAtomName(className)) {
        return w.windowClass->atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(className));
    }
    return foldCase(w.windowClass->name) == foldCase(className);
}

// The whole title must match, in any case, as Windows compares it. The stored title is read directly: no
// WM_GETTEXT is sent, so a hung window cannot block the search.
bool titleMatches(const Window& w, LPCSTR title) {
    return title == nullptr || foldCase(w.text) == foldCase(title);
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

HWND WINAPI FindWindowExA(HWND hWndParent, HWND hWndChildAfter, LPCSTR lpszClass, LPCSTR lpszWindow) {
    Lock lock(bigLock());
    std::vector<HWND> candidates;
    if (hWndParent == nullptr) {
        candidates = broadcastTargets();
    } else if (hWndParent == HWND_MESSAGE) {
        candidates = messageOnlyWindows();
    } else {
        auto parent = findWindow(hWndParent);
        if (!parent) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        candidates = parent->children;  // direct children only
    }
    auto it = candidates.begin();
    if (hWndChildAfter != nullptr) {
        if (!findWindow(hWndChildAfter)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        it = std::find(candidates.begin(), candidates.end(), hWndChildAfter);
        if (it == candidates.end()) return nullptr;  // not one of the windows searched
        ++it;
    }
    for (; it != candidates.end(); ++it) {
        auto w = findWindow(*it);
        if (w && classMatches(*w, lpszClass) && titleMatches(*w, lpszWindow)) return *it;
    }
    return nullptr;
}

HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName) {
    return FindWindowExA(nullptr, nullptr, lpClassName, lpWindowName);
}

}  // extern "C"
