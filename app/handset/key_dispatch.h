// What each handset key does while Skype is attached: Skype commands, edits of the dial buffer, a click or
// DTMF tone, and for some keys actions on Skype's windows.
#pragma once

namespace phonedock {

void DispatchKeyWithSkype(int code);

}  // namespace phonedock
