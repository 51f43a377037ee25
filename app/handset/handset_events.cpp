#include "handset_events.h"

#include "handset/key_dispatch.h"
#include "handset/keyboard_emulation.h"
#include "foundation/shared_state.h"

namespace phonedock {

// On the device library's reader thread. A Skype whose API window has vanished (it quit or crashed, and the
// watchdog has not noticed yet) takes no command: the key is typed instead of being lost.
void CALLBACK OnHandsetKey(int keyCode) {
    if (handsetAbsent != 0) return;
    if (const HWND api = skypeApiWindow; api != nullptr && IsWindow(api)) {
        DispatchKeyWithSkype(keyCode);
    } else {
        EmulateKeystroke(keyCode);
    }
}

}  // namespace phonedock
