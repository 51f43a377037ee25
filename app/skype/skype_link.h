// Skype's desktop API over window messages: the attach handshake, commands out, notifications in, and the
// watchdog that notices Skype going away.
#pragma once

#include <windows.h>

namespace phonedock {

// The main window's private message: what Skype sent waits in the program's queue.
constexpr UINT WM_SKYPE_NOTIFICATION = WM_USER + 1;
constexpr UINT_PTR SKYPE_WATCHDOG_TIMER = 1001;
constexpr UINT kWatchdogPeriodMs = 2000;

// How long any send to one of Skype's windows may take. A hung Skype must not freeze the program: sends
// also go out from the key handling thread, which holds every further key while it waits.
constexpr UINT kSkypeSendTimeoutMs = 5000;

constexpr LPARAM SKYPE_ATTACH_SUCCESS = 0;
constexpr LPARAM SKYPE_API_AVAILABLE = 0x8001;

extern UINT msgSkypeAttach;
extern UINT msgSkypeDiscover;

void RegisterSkypeMessages();
// Asks every top-level window, Skype's among them, to attach to `window`.
void BroadcastSkypeDiscover(HWND window);
// Sends one command text to the attached Skype and returns its answer; nothing happens while detached.
LRESULT SendSkypeCommand(const char* text);

// Room for one command, its terminating NUL included.
constexpr size_t kSkypeCommandSize = 100;

// Formats a command printf-style into kSkypeCommandSize bytes and sends it. A command that does not fit is
// not sent at all, since a shortened command is a different one (another device, another call); the answer
// is then 0, as when detached.
LRESULT SendSkypeCommandf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

LRESULT OnSkypeCopyData(HWND window, HWND sender, const COPYDATASTRUCT* data);
// The handlers answer whether the state the tray shows has changed (Skype attached or gone); the main
// window then refreshes the tray.
bool OnSkypeAttachStatus(HWND window, HWND skypeWindow, LPARAM status);
bool OnWatchdogTick();

}  // namespace phonedock
