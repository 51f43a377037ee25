#include "handset_events.h"

#include "shell/shared_state.h"
#include "shell/tray_icon.h"

namespace phonedock {

void CALLBACK OnHandsetKey(int) {
    if (handsetAbsent != 0) return;
}

void CALLBACK OnHandsetPlug(int present, int) {
    handsetAbsent = present != 0 ? 0 : -1;
    RefreshTrayState();
}

}  // namespace phonedock
