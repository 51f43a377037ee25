#include "call_tracker.h"

#include "foundation/dial_buffer.h"
#include "foundation/handset_display.h"
#include "foundation/handset_api.h"
#include "foundation/shared_state.h"
#include "skype/notification.h"
#include "skype/notification_block.h"
#include "skype/skype_link.h"

#include <cstdio>
#include <set>

namespace phonedock {
namespace {

// Touched on the main thread only.
std::set<int32_t> outgoingCalls;
std::set<int32_t> connectedCalls;

// Whether a call other than `id` is connected: then the handset, the display and the in-call state belong
// to that call, and the end of `id` (a caller turned away during it, say) must leave them alone.
bool AnotherCallConnected(int32_t id) {
    return connectedCalls.size() > (connectedCalls.contains(id) ? 1u : 0u);
}

void EndCall(int32_t id, bool clearsRinging) {
    outgoingCalls.erase(id);
    connectedCalls.erase(id);
    if (AnotherCallConnected(id)) {
        if (clearsRinging && ringingCallId == id) ringingCallId = 0;
        return;
    }
    SetInCallState(0);
    HandsetRing(0);
    if (clearsRinging) ringingCallId = 0;
    dialBuffer.Clear();
    ShowDialBuffer();
}

void CallFailed(int32_t id) {
    outgoingCalls.erase(id);
    if (AnotherCallConnected(id)) {
        if (ringingCallId == id) ringingCallId = 0;
        return;
    }
    SetInCallState(0);
    HandsetRing(0);
    ringingCallId = 0;
}

// A call rings: from outside while nothing is connected it rings the handset and asks for the caller's
// name; from outside during a connected call it is turned away, and the connected call keeps the handset:
// its light, its mute state and its YES (the turned-away call never becomes the ringing one).
void CallRinging(int32_t id) {
    if (!outgoingCalls.contains(id) && AnotherCallConnected(id)) {
        SendSkypeCommandf("SET CALL %d STATUS FINISHED", id);
        return;
    }
    SetInCallState(1);
    if (!outgoingCalls.contains(id)) {
        HandsetRing(1);
        SendSkypeCommandf("GET CALL %d PARTNER_DISPNAME", id);
    }
    ringingCallId = id;
}

void ApplyStatus(int32_t id, CallStatus status) {
    switch (status) {
        case CallStatus::Failed:
        case CallStatus::Unplaced: CallFailed(id); break;
        case CallStatus::Routing:
            dtmfCallId = id;
            outgoingCalls.insert(id);
            break;
        case CallStatus::Ringing: CallRinging(id); break;
        case CallStatus::InProgress:
            // DTMF goes to the connected call, whoever placed it.
            dtmfCallId = id;
            SetInCallState(1);
            HandsetRing(0);
            ringingCallId = 0;
            connectedCalls.insert(id);
            break;
        case CallStatus::Finished: EndCall(id, /*clearsRinging=*/false); break;
        case CallStatus::Missed:
        case CallStatus::Refused: EndCall(id, /*clearsRinging=*/true); break;
        case CallStatus::OnHold:
        case CallStatus::Busy:
        case CallStatus::None: break;
    }
}

}  // namespace

void ForgetSkypeCalls() {
    outgoingCalls.clear();
    connectedCalls.clear();
    ringingCallId = 0;
    dtmfCallId = 0;
    muteState = MUTE_UNKNOWN;
    SetInCallState(0);
    HandsetRing(0);
    dialBuffer.Clear();
    ShowDialBuffer();
}

LRESULT HandleSkypeNotification(HWND sender, COPYDATASTRUCT* block) {
    const HWND api = skypeApiWindow;
    if (api == nullptr || sender != api) {
        FreeNotificationBlock(block);
        return 0;
    }
    const Notification n = ParseNotification(NotificationText(block));
    switch (n.kind) {
        case Notification::Kind::MuteOff: muteState = MUTE_OFF; break;
        case Notification::Kind::MuteOn: muteState = MUTE_ON; break;
        case Notification::Kind::Call:
            if (n.callId <= 0) break;
            if (n.hasDisplayName) {
                dialBuffer.Replace(n.displayName.data(), n.displayName.size());
                ShowDialBuffer();
            }
            ApplyStatus(n.callId, n.status);
            break;
        case Notification::Kind::Other: break;
    }
    FreeNotificationBlock(block);
    return 1;
}

}  // namespace phonedock
