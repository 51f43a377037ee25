#include "skype_inbox.h"

#include "skype/call_tracker.h"
#include "skype/notification_block.h"
#include "skype/skype_link.h"

#include <deque>

namespace phonedock {
namespace {

struct SkypeEvent {
    HWND window;            // the main window, which received it
    HWND from;              // the sender of a notification; Skype's window of an attach status
    COPYDATASTRUCT* block;  // a notification; null for an attach status
    LPARAM status;
};

struct Inbox {
    std::deque<SkypeEvent> events;
    size_t bytes = 0;
    size_t dropped = 0;
    bool wakeUpPosted = false;
    bool handling = false;
    SkypeInboxLimits limits = kSkypeInboxLimits;
};

Inbox inbox;

size_t BlockBytes(const COPYDATASTRUCT* block) {
    return block == nullptr ? 0 : sizeof(COPYDATASTRUCT) + block->cbData + 1;
}

bool Queue(const SkypeEvent& event) {
    const size_t bytes = BlockBytes(event.block);
    if (inbox.events.size() >= inbox.limits.events || bytes > inbox.limits.bytes ||
        inbox.bytes > inbox.limits.bytes - bytes) {
        if (event.block != nullptr) FreeNotificationBlock(event.block);
        ++inbox.dropped;
        return false;
    }
    inbox.events.push_back(event);
    inbox.bytes += bytes;
    if (!inbox.wakeUpPosted && !inbox.handling) {
        inbox.wakeUpPosted = PostMessageA(event.window, WM_SKYPE_NOTIFICATION, 0, 0) != FALSE;
    }
    return true;
}

}  // namespace

bool QueueSkypeNotification(HWND window, HWND sender, COPYDATASTRUCT* block) {
    return Queue({window, sender, block, 0});
}

bool QueueSkypeAttachStatus(HWND window, HWND skypeWindow, LPARAM status) {
    return Queue({window, skypeWindow, nullptr, status});
}

bool HandleQueuedSkypeEvents() {
    inbox.wakeUpPosted = false;
    if (inbox.handling) return false;
    inbox.handling = true;
    bool stateChanged = false;
    while (!inbox.events.empty()) {
        const SkypeEvent event = inbox.events.front();
        inbox.events.pop_front();
        inbox.bytes -= BlockBytes(event.block);
        if (event.block != nullptr) {
            HandleSkypeNotification(event.from, event.block);  // frees the block
        } else {
            stateChanged |= OnSkypeAttachStatus(event.window, event.from, event.status);
        }
    }
    inbox.handling = false;
    return stateChanged;
}

void DiscardQueuedSkypeEvents() {
    for (const SkypeEvent& event : inbox.events) {
        if (event.block != nullptr) FreeNotificationBlock(event.block);
    }
    inbox.events.clear();
    inbox.bytes = 0;
    inbox.wakeUpPosted = false;
}

size_t DroppedSkypeEventCount() {
    return inbox.dropped;
}

void SetSkypeInboxLimits(SkypeInboxLimits limits) {
    inbox.limits = limits;
}

}  // namespace phonedock
