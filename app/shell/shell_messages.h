// What the desktop itself tells a notification-area program: that its shell has restarted (the registered
// message "TaskbarCreated"), and that the user's session ends (WM_ENDSESSION, at log-off or shut-down).
#pragma once

#include <windows.h>

#include <atomic>

namespace phonedock {

// The id of "TaskbarCreated"; 0 until RegisterShellMessages ran, or when it could not be registered.
extern UINT msgTaskbarCreated;
void RegisterShellMessages();

// The shell restarted: the icon comes back as it was.
LRESULT OnTaskbarCreated();

// The session ends (`ending` nonzero) or the end was called off (zero). When it ends, the program's own
// shutdown is done at once, since the process may be ended as soon as this returns: the display cleared, the
// light off, the handset closed (a key being handled is waited for, bounded, by the library) and the icon
// removed; then the main window goes, so the program also leaves its message loop if it is allowed to run on.
// No question is asked.
LRESULT OnEndSession(HWND window, WPARAM ending);

// Set once the session's end has closed the handset, so the shutdown after the message loop does not talk to
// the library a second time.
extern std::atomic<bool> handsetStopped;

// The handset's part of the shutdown: clear display, light off, close. Does nothing the second time.
void StopHandset();

}  // namespace phonedock
