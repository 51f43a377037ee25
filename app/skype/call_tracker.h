// The program's reading of Skype's notifications: the mute state, each call's status, the caller's name.
#pragma once

#include <windows.h>

namespace phonedock {

// Handles one notification block (posted as message 1025) from `sender` and frees it. Answers 1 when it came
// from Skype's API window, 0 (dropping it) otherwise.
LRESULT HandleSkypeNotification(HWND sender, COPYDATASTRUCT* block);

}  // namespace phonedock
