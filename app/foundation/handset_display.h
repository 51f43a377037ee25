// The program's side of the handset's display, light and status bar.
#pragma once

namespace phonedock {

// Every segment off and the light off (at shutdown).
void ClearHandsetDisplay();
// The call indicator and the light follow a call; switching on also takes the mute state as "not muted".
void SetInCallState(int on);
// The status bar: six bars while Skype is attached, none otherwise.
void ShowSkypeStatus(int on);
// The dial buffer's text as the display can draw it (letters in seven segments, blanks for what it cannot
// show), or the clock when the buffer is empty.
void ShowDialBuffer();

}  // namespace phonedock
