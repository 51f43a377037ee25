// The two callbacks the device library calls: keys on its reader thread, plugging on the main thread.
#pragma once

#include <windows.h>

namespace phonedock {

void CALLBACK OnHandsetKey(int keyCode);
void CALLBACK OnHandsetPlug(int present, int reserved);

}  // namespace phonedock
