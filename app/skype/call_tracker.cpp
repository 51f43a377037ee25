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

// The newest connected call other than `id` (Skype numbers calls as they begin), or 0 for none. While one
// is connected, the handset, the display and the in-call state belong to it: another call that rings,
// fails or ends (a caller turned away, a second call placed from Skype's window) leaves them alone.
int32_t OtherConnectedCall(int32_t id) {
    for (auto it = connectedCalls.rbegin(); it != connectedCalls.rend(); ++it) {
        if (*it != id) return *it;
    }
    return 0;
}

// `id` has failed or ended while `live` is still connected: DTMF goes back to the live call.
void HandBackToLiveCall(int32_t id, int32_t live, bool clearsRinging) {
    if (dtmfCallId == id) dtmfCallId = live;
    if (clearsRinging && ringingCallId == id) ringingCallId = 0;
}

void EndCall(int32_t id, bool clearsRinging) {
    outgoingCalls.erase(id);
    connectedCalls.erase(id);
    if (const int32_t live = OtherConnectedCall(id)) return HandBackToLiveCall(id, live, clearsRinging);
    SetInCallState(0);
    HandsetRing(0);
    if (clearsRinging) ringingCallId = 0;
    dialBuffer.Clear();
    ShowDialBuffer();
}

void CallFailed(int32_t id) {
    outgoingCalls.erase(id);
    if (const int32_t live = OtherConnectedCall(id)) return HandBackToLiveCall(id, live, true);
    SetInCallState(0);
    HandsetRing(0);
    ringingCallId = 0;
}

// A call rings: from outside while nothing is connected it rings the handset and asks for the caller's
// name. During a connected call, a caller from outside is turned away and a call placed from Skype's window
// rings at its far end; either way the connected call keeps the handset: its light, its mute state and its
// YES (the other call never becomes the ringing one).
void CallRinging(int32_t id) {
    if (OtherConnectedCall(id) != 0) {
        if (!outgoingCalls.contains(id)) SendSkypeCommandf("SET CALL %d STATUS FINISHED", id);
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
            // A call being placed takes DTMF only while no call is connected; during one, it takes it once
            // it is connected itself.
            if (OtherConnectedCall(id) == 0) dtmfCallId = id;
            outgoingCalls.insert(id);
            break;
        case CallStatus::Ringing: CallRinging(id); break;
        case CallStatus::InProgress:
            // DTMF goes to the newly connected call, whoever placed it, while it lasts.
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
