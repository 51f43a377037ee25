#include "handset_events.h"

#include "handset/key_dispatch.h"
#include "handset/keyboard_emulation.h"
#include "shell/shared_state.h"
#include "shell/tray_icon.h"

namespace phonedock {

// On the device library's reader thread.
void CALLBACK OnHandsetKey(int keyCode) {
    if (handsetAbsent != 0) return;
    if (skypeApiWindow.load() != nullptr) {
        DispatchKeyWithSkype(keyCode);
    } else {
        EmulateKeystroke(keyCode);
    }
}

void CALLBACK OnHandsetPlug(int present, int) {
    handsetAbsent = present != 0 ? 0 : -1;
    RefreshTrayState();
}

}  // namespace phonedock
