// Notifications sent to the program the way Skype sends them: WM_COPYDATA with dwData 0, wParam = the
// sending window, bounded so that a hung program fails a check instead of stopping the run.
#pragma once

#include <windows.h>

#include <string>

namespace e2e {

// The text with its NUL counted in cbData, or without one when `terminated` is false. True when the
// program's window took the message in time.
bool sendNotification(HWND program, HWND from, const std::string& text, bool terminated = true);
// A WM_COPYDATA with no data at all (null pointer, zero bytes).
bool sendEmptyNotification(HWND program, HWND from);

}  // namespace e2e
