// What each handset key does while Skype is attached: Skype commands, edits of the dial buffer, a click or
// DTMF tone, and for some keys actions on Skype's windows.
#pragma once

namespace phonedock {

void DispatchKeyWithSkype(int code);
// Presses and releases a Skype button, then sends or plays the DTMF tone of a digit, '*' or '#'.
void PressSkypeButton(const char* name);
void ToggleMute();
void SendHookState(bool onHook);
void AnswerRingingCall(int callId);

}  // namespace phonedock
