// The key callback the device library calls on its reader thread.
#pragma once

#include <windows.h>

namespace phonedock {

void CALLBACK OnHandsetKey(int keyCode);

}  // namespace phonedock
