// What Skype sends, kept in the program's own queue until the main window takes it up: notifications and
// attach statuses, in the order they arrived.
//
// Both arrive as messages sent to the main window, also while the main thread itself waits inside a command
// to Skype, and must not be acted on there. A posted message per arrival would be bounded by the thread's
// posted-message quota (10,000), and a burst beyond it would be lost without a trace; this queue is bounded
// only by a generous cap, and whatever the cap turns away is counted. One wake-up (message 1025) is posted
// when the queue goes from empty to non-empty; the watchdog tick takes the queue up as well, so a wake-up
// that could not be posted delays the queue by one tick at most. Main thread only.
#pragma once

#include <windows.h>

#include <cstddef>

namespace phonedock {

struct SkypeInboxLimits {
    size_t events;  // queued notifications and attach statuses
    size_t bytes;   // notification blocks, headers included
};
constexpr SkypeInboxLimits kSkypeInboxLimits{1000000, size_t{256} << 20};

// Takes `block` (a notification from `sender`) into the queue. False when the cap turns it away: the block
// is freed and counted as dropped.
bool QueueSkypeNotification(HWND window, HWND sender, COPYDATASTRUCT* block);
// Takes an attach status (from the registered Attach message) into the queue. False when turned away.
bool QueueSkypeAttachStatus(HWND window, HWND skypeWindow, LPARAM status);

// Handles every queued notification and attach status in arrival order, those that arrive meanwhile
// included, until the queue is empty. A call from inside the handling (a nested message loop) returns at
// once: the outer call goes on with the queue.
bool HandleQueuedSkypeEvents();

// The end of the program: frees whatever was never handled.
void DiscardQueuedSkypeEvents();

size_t DroppedSkypeEventCount();  // turned away by the cap since the start
void SetSkypeInboxLimits(SkypeInboxLimits limits);

}  // namespace phonedock
