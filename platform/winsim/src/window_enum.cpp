// Walking windows: a thread's top-level windows and a window's descendants. The lists are taken first and
// the callback runs without any lock, so it may call back into winsim; windows destroyed meanwhile are
// skipped.
#include "window_state.h"

namespace winsim::detail {
namespace {

void collectDescendants(HWND parent, std::vector<HWND>& out) {
    auto w = findWindow(parent);
    if (!w) return;
    for (HWND child : w->children) {
        out.push_back(child);
        collectDescendants(child, out);  // depth first, as Windows walks them
    }
}

bool enumerate(const std::vector<HWND>& windows, WNDENUMPROC proc, LPARAM lParam) {
    for (HWND hwnd : windows) {
        {
            Lock lock(bigLock());
            if (!findWindow(hwnd)) continue;
        }
        if (!proc(hwnd, lParam)) return false;
    }
    return true;
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

extern "C" {

// Top-level windows come in z-order, which winsim keeps as creation order reversed (nothing reorders them).
BOOL WINAPI EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam) {
    if (lpfn == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<HWND> windows;
    {
        Lock lock(bigLock());
        for (HWND hwnd : broadcastTargets()) {
            auto w = findWindow(hwnd);
            if (w && w->threadId == dwThreadId) windows.push_back(hwnd);
        }
    }
    // As on Windows: FALSE when the thread has no windows or the callback stopped the walk.
    return !windows.empty() && enumerate(windows, lpfn, lParam) ? TRUE : FALSE;
}

BOOL WINAPI EnumChildWindows(HWND hWndParent, WNDENUMPROC lpEnumFunc, LPARAM lParam) {
    if (lpEnumFunc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::vector<HWND> windows;
    {
        Lock lock(bigLock());
        if (!findWindow(hWndParent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        collectDescendants(hWndParent, windows);
    }
    enumerate(windows, lpEnumFunc, lParam);
    return TRUE;
}

}  // extern "C"
