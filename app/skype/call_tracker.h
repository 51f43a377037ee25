// The program's reading of Skype's notifications: the mute state, each call's status, the caller's name.
#pragma once

#include <windows.h>

namespace phonedock {

// Handles one notification block from `sender`, taken from the program's queue of what Skype sent, and frees
// it. Answers 1 when it came from Skype's API window, 0 (dropping it) otherwise.
LRESULT HandleSkypeNotification(HWND sender, COPYDATASTRUCT* block);

// Skype's API window is gone, and every call with it: no call is ringing, connected or being placed any
// more, the ringer and the light go off and the display shows the clock again. Without this, calls that
// Skype never reported as ended would turn away every incoming call once Skype is back.
void ForgetSkypeCalls();

}  // namespace phonedock
