// The program's entry: one copy at a time, the device library bound by name, the hidden main window, the
// message loop, and the orderly stop.
#include "foundation/handset_display.h"
#include "handset/handset_events.h"
#include "foundation/handset_api.h"
#include "shell/main_window.h"
#include "foundation/resource_ids.h"
#include "shell/shell_messages.h"
#include "foundation/shared_state.h"
#include "skype/skype_inbox.h"

using namespace phonedock;

namespace {

bool IsFirstInstance() {
    return FindWindowExA(nullptr, nullptr, kMainWindowClass, windowTitle) == nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int showCommand) {
    LoadStringA(hInstance, IDS_WINDOW_TITLE, windowTitle, sizeof(windowTitle));
    if (!IsFirstInstance()) return 0;
    LoadHandsetLibrary(kHandsetLibraryName);
    RegisterMainWindowClass(hInstance);
    if (!CreateMainWindow(hInstance, showCommand)) return 0;

    handsetStopped = false;
    handsetAbsent = HandsetOpen(mainWindow);
    HandsetBind(OnHandsetKey, OnHandsetPlug);
    HandsetDisplay({LCD_CLOCK, 1, 6, "", 1});
    HandsetDisplay({LCD_BAR_LEVEL, 1, 6, "", 1});

    const HACCEL accelerators = LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    MSG msg{};
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (!TranslateAcceleratorA(msg.hwnd, accelerators, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    StopHandset();  // unless the session's end did it already
    UnloadHandsetLibrary();
    DiscardQueuedSkypeEvents();
    return static_cast<int>(msg.wParam);
}
