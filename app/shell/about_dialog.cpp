#include "about_dialog.h"

namespace phonedock {
namespace {

HWND openAbout = nullptr;  // main thread only: dialogs run there

}  // namespace

// A second About asked for while one is open vanishes at once and brings the first to the front.
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            if (openAbout == nullptr) {
                openAbout = dialog;
            } else {
                EndDialog(dialog, IDCANCEL);
                SetForegroundWindow(openAbout);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        case WM_DESTROY:
            if (dialog == openAbout) openAbout = nullptr;
            return FALSE;
        default: return FALSE;
    }
}

}  // namespace phonedock
