// The message loop that a modal piece of the desktop (a message box, a popup menu) runs on the caller's
// thread while it waits for the control API to answer for the user.
#pragma once

#include "internal.h"

namespace winsim::detail {

enum class ModalEnd { Answered, Quit, TimedOut, WindowGone };

// Called without bigLock. Takes and dispatches the calling thread's messages until `answered` (read under
// bigLock) is true, WM_QUIT arrives, `deadline` passes, or `window`, unless null, is destroyed. The answer
// counts as input: it is taken after the sent and posted messages already waiting, before timer ticks. A
// WM_QUIT that ends the loop is posted again, so the loop that runs afterwards sees it too.
ModalEnd runModalLoop(const bool& answered, Clock::time_point deadline, HWND window);

}  // namespace winsim::detail
