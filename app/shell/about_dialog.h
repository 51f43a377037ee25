// The About dialog: one at a time.
#pragma once

#include <windows.h>

namespace phonedock {

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace phonedock
