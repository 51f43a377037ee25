// A notification received from another program, copied into one block of the program's own: a copy of the
// COPYDATASTRUCT header whose data pointer points at the copied bytes right behind it. One extra zero byte
// follows the data, so a text that arrived without its terminator still ends inside the block.
#pragma once

#include <windows.h>

namespace phonedock {

// Copies `received` (its bytes are valid only during WM_COPYDATA). Null when the block cannot be allocated.
COPYDATASTRUCT* CopyNotificationBlock(const COPYDATASTRUCT& received);
void FreeNotificationBlock(COPYDATASTRUCT* block);

// Whether `block` is one that CopyNotificationBlock made and nobody freed yet.
bool IsNotificationBlock(const COPYDATASTRUCT* block);

// Blocks are made and freed on the main thread. One posted as the main window goes away never reaches its
// handler; the program frees those at the end.
void FreeUnhandledNotificationBlocks();

// The block's text: the data up to its first NUL (the extra zero byte at the latest).
const char* NotificationText(const COPYDATASTRUCT* block);

}  // namespace phonedock
