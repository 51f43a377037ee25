#include "skype_link.h"

#include "foundation/handset_display.h"
#include "foundation/shared_state.h"
#include "skype/call_tracker.h"
#include "skype/notification_block.h"
#include "skype/skype_inbox.h"
#include "skype/skype_windows.h"

#include <cstring>
#include <cstdarg>
#include <cstdio>

namespace phonedock {

UINT msgSkypeAttach = 0;
UINT msgSkypeDiscover = 0;

void RegisterSkypeMessages() {
    msgSkypeAttach = RegisterWindowMessageA("SkypeControlAPIAttach");
    msgSkypeDiscover = RegisterWindowMessageA("SkypeControlAPIDiscover");
}

void BroadcastSkypeDiscover(HWND window) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, msgSkypeDiscover, reinterpret_cast<WPARAM>(window), 0,
                        SMTO_ABORTIFHUNG, kSkypeSendTimeoutMs, &result);
}

LRESULT SendSkypeCommand(const char* text) {
    COPYDATASTRUCT data;
    data.dwData = 0;
    data.cbData = static_cast<DWORD>(std::strlen(text) + 1);
    data.lpData = const_cast<char*>(text);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(skypeApiWindow.load(), WM_COPYDATA, reinterpret_cast<WPARAM>(mainWindow.load()),
                        reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kSkypeSendTimeoutMs, &result);
    return static_cast<LRESULT>(result);
}

LRESULT SendSkypeCommandf(const char* format, ...) {
    char command[kSkypeCommandSize];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(command, sizeof(command), format, args);
    va_end(args);
    if (length < 0 || static_cast<size_t>(length) >= sizeof(command)) return 0;
    return SendSkypeCommand(command);
}

// Never parsed here: the sender's data lives only as long as this call, and Skype may be in the middle of
// a command of ours. The copy is handled from the program's queue, in the order notifications arrived.
LRESULT OnSkypeCopyData(HWND window, HWND sender, const COPYDATASTRUCT* data) {
    if (data == nullptr) return 1;
    if (COPYDATASTRUCT* block = CopyNotificationBlock(*data)) QueueSkypeNotification(window, sender, block);
    return 1;
}

bool OnSkypeAttachStatus(HWND window, HWND skypeWindow, LPARAM status) {
    if (status == SKYPE_ATTACH_SUCCESS) {
        skypeMainWindow = nullptr;
        skypeApiWindow = skypeWindow;
        FindSkypeMainWindow();
        return true;
    }
    if (status == SKYPE_API_AVAILABLE) BroadcastSkypeDiscover(window);
    return false;
}

bool OnWatchdogTick() {
    bool stateChanged = HandleQueuedSkypeEvents();
    ShowDialBuffer();
    const HWND api = skypeApiWindow;
    if (api != nullptr && !IsWindow(api)) {
        skypeApiWindow = nullptr;
        ForgetSkypeCalls();
        stateChanged = true;
    }
    return stateChanged;
}

}  // namespace phonedock
