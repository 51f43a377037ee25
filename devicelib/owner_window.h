// The library's window procedure in front of the owner window's own, which sees the handset come and go and
// closes the handset before the owner sees WM_CLOSE.
#pragma once

#include <windows.h>

#include "usbphone.h"

namespace vocetta {

// Takes the subclass off the window it is on, with the plug callback, and puts it on the owner window
// again, if there is one, storing `onPlug` (when not null) for it.
void SubclassOwnerWindow(PlugCallback onPlug);

}  // namespace vocetta
