#include "main_window.h"

#include "shell/about_dialog.h"
#include "foundation/resource_ids.h"
#include "foundation/settings.h"
#include "foundation/shared_state.h"
#include "shell/shell_messages.h"
#include "shell/tray_icon.h"
#include "skype/skype_inbox.h"
#include "skype/skype_link.h"

namespace phonedock {

char windowTitle[100] = "";

namespace {

constexpr const char kCloseQuestion[] = "Are you sure to close USB Phone Driver";
constexpr const char kCloseCaption[] = "USB Phone Driver";

LRESULT OnCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
        case IDM_ABOUT:
            DialogBoxParamA(instance.load(), MAKEINTRESOURCEA(IDD_ABOUT), window, AboutDlgProc, 0);
            return 0;
        case IDM_CLOSE:
            if (MessageBoxA(nullptr, kCloseQuestion, kCloseCaption, MB_OKCANCEL | MB_ICONQUESTION) == IDOK) {
                DestroyWindow(window);
            }
            return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

// After a handler that may have changed what the tray shows.
LRESULT RefreshTrayIf(bool stateChanged) {
    if (stateChanged) RefreshTrayState();
    return 0;
}

LRESULT OnDestroy(HWND window) {
    KillTimer(window, SKYPE_WATCHDOG_TIMER);
    PostQuitMessage(0);
    return 0;
}

}  // namespace

void RegisterMainWindowClass(HINSTANCE hInstance) {
    WNDCLASSEXA wc;
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_EMBLEM));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAIN_MENU);
    wc.lpszClassName = kMainWindowClass;
    wc.hIconSm = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_HANDSET));
    RegisterClassExA(&wc);
}

int CreateMainWindow(HINSTANCE hInstance, int) {
    RegisterSkypeMessages();
    RegisterShellMessages();
    instance = hInstance;
    const HWND window = CreateWindowExA(0, kMainWindowClass, windowTitle, WS_OVERLAPPEDWINDOW & ~WS_VISIBLE,
                                        100, 100, 100, 60, nullptr, nullptr, hInstance, nullptr);
    if (window == nullptr) return 0;
    mainWindow = window;
    trayIcon.Init(hInstance, window, IDM_ABOUT);
    trayIcon.LoadPopupMenu(IDR_TRAY_MENU);
    trayIcon.Add(IDI_TRAY_NO_SKYPE, "Tarvix");
    RefreshTrayState();
    const std::string skypePath = ReadSkypeSetting("Phone", "SkypePath");
    if (!skypePath.empty()) WinExec(skypePath.c_str(), SW_SHOWNORMAL);
    SetTimer(window, SKYPE_WATCHDOG_TIMER, kWatchdogPeriodMs, nullptr);
    BroadcastSkypeDiscover(window);
    return 1;
}

// The plug callback: the device library calls it from its window procedure, on this thread.
void CALLBACK OnHandsetPlug(int present, int) {
    handsetAbsent = present != 0 ? 0 : -1;
    RefreshTrayState();
}

// One case a message; the handlers carry the work.
LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY: return OnDestroy(window);
        case WM_COPYDATA:
            return OnSkypeCopyData(window, reinterpret_cast<HWND>(wParam),
                                   reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_COMMAND: return OnCommand(window, message, wParam, lParam);
        case WM_TIMER: return RefreshTrayIf(OnWatchdogTick());
        case WM_SKYPE_NOTIFICATION: return RefreshTrayIf(HandleQueuedSkypeEvents());
        case WM_TRAY_NOTIFY: trayIcon.OnNotify(window, wParam, lParam); return 0;
        case WM_ENDSESSION: return OnEndSession(window, wParam);
        default: break;
    }
    // Skype's attach status joins its notifications in the program's queue and is acted on from there, in
    // the order Skype sent them; no private message stands for it, so none posted by another program
    // attaches.
    if (message == msgSkypeAttach && msgSkypeAttach != 0) {
        QueueSkypeAttachStatus(window, reinterpret_cast<HWND>(wParam), lParam);
        return 1;
    }
    if (message == msgTaskbarCreated && msgTaskbarCreated != 0) return OnTaskbarCreated();
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace phonedock
