// The handset coming and going: taking it up when it is found, the device notifications that tell the owner
// window of its arrival and removal, and what the library does then, the plug callback included.
#pragma once

#include <windows.h>

namespace vocetta {

// Looks for the handset and, when it is there, takes it up for `window`: opens it with its reader, marks it
// open and registers for its removal. Answers whether the handset was found.
bool TakeUpHandset(HWND window);

// Registers `window` for the arrival of any HID interface, so that a handset plugged in later is seen.
void WatchForHandsets(HWND window);
// Lets go of both device notifications.
void StopWatching();

// WM_DEVICECHANGE on the owner window: a handset's arrival or the open handset's removal.
void OnDeviceChange(HWND window, WPARAM event, LPARAM lParam);

}  // namespace vocetta
