// A notification received from another program, copied into one block of the program's own: a copy of the
// COPYDATASTRUCT header whose data pointer points at the copied bytes right behind it. One extra zero byte
// follows the data, so a text that arrived without its terminator still ends inside the block.
#pragma once

#include <windows.h>

namespace phonedock {

// Copies `received` (its bytes are valid only during WM_COPYDATA). Null when the block cannot be allocated.
COPYDATASTRUCT* CopyNotificationBlock(const COPYDATASTRUCT& received);
void FreeNotificationBlock(COPYDATASTRUCT* block);

// The block's text: the data up to its first NUL (the extra zero byte at the latest).
const char* NotificationText(const COPYDATASTRUCT* block);

}  // namespace phonedock
