// The hidden main window: the window Skype talks to, the device library watches, the timer ticks on and the
// tray icon belongs to.
#pragma once

#include <windows.h>

namespace phonedock {

// The name by which a second copy finds the first, and anything outside the program finds its window.
constexpr const char kMainWindowClass[] = "TarvixWindowClass20041118";
extern char windowTitle[100];

void RegisterMainWindowClass(HINSTANCE instance);
// Creates the window and everything that hangs on it (tray icon, timer, the first Discover). 1 on success.
int CreateMainWindow(HINSTANCE instance, int showCommand);
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The device library's plug callback: records whether the handset is there and shows it in the tray.
void CALLBACK OnHandsetPlug(int present, int reserved);

}  // namespace phonedock
