#include "shell_messages.h"

#include "foundation/handset_display.h"
#include "foundation/handset_api.h"
#include "shell/tray_icon.h"

namespace phonedock {

UINT msgTaskbarCreated = 0;
std::atomic<bool> handsetStopped{false};

void RegisterShellMessages() {
    msgTaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

LRESULT OnTaskbarCreated() {
    trayIcon.Restore();
    return 0;
}

void StopHandset() {
    if (handsetStopped.exchange(true)) return;
    ClearHandsetDisplay();
    HandsetClose();
}

LRESULT OnEndSession(HWND window, WPARAM ending) {
    if (ending == FALSE) return 0;
    StopHandset();
    trayIcon.Remove();
    DestroyWindow(window);
    return 0;
}

}  // namespace phonedock
