// The stand-in's calls and their status changes.
#include "skype/skype_calls.h"

namespace sim {
namespace {

struct StatusName {
    CallStatus status;
    const char* name;
};

constexpr StatusName kStatusNames[] = {
    {CallStatus::Routing, "ROUTING"},       {CallStatus::Ringing, "RINGING"},
    {CallStatus::InProgress, "INPROGRESS"}, {CallStatus::OnHold, "ONHOLD"},
    {CallStatus::Finished, "FINISHED"},     {CallStatus::Refused, "REFUSED"},
    {CallStatus::Missed, "MISSED"},
};

}  // namespace

const char* callStatusName(CallStatus status) {
    for (const StatusName& s : kStatusNames) {
        if (s.status == status) return s.name;
    }
    return "UNKNOWN";
}

std::optional<CallStatus> callStatusFromName(const std::string& upperCaseWord) {
    for (const StatusName& s : kStatusNames) {
        if (upperCaseWord == s.name) return s.status;
    }
    return std::nullopt;
}

bool isLive(CallStatus status) {
    return status == CallStatus::Routing || status == CallStatus::Ringing ||
           status == CallStatus::InProgress || status == CallStatus::OnHold;
}

int CallModel::addIncoming(const std::string& handle, const std::string& name, Texts& events) {
    SkypeCall call;
    call.id = nextId_++;
    call.incoming = true;
    call.partnerHandle = handle;
    call.partnerName = name;
    calls_.push_back(call);
    change(calls_.back(), CallStatus::Ringing, events);
    return call.id;
}

int CallModel::addOutgoing(const std::string& target, Texts& events) {
    SkypeCall call;
    call.id = nextId_++;
    call.partnerHandle = target;
    call.partnerName = target;
    calls_.push_back(call);
    change(calls_.back(), CallStatus::Routing, events);
    return call.id;
}

bool CallModel::answer(int id, Texts& events) {
    SkypeCall* call = findLive(id);
    if (call == nullptr) return false;
    const bool ringingIncoming = call->incoming && call->status == CallStatus::Ringing;
    if (!ringingIncoming && call->status != CallStatus::OnHold) return false;
    for (SkypeCall& other : calls_) {
        if (other.id != id && other.status == CallStatus::InProgress)
            change(other, CallStatus::OnHold, events);
    }
    change(*call, CallStatus::InProgress, events);
    return true;
}

bool CallModel::endHere(int id, Texts& events) {
    SkypeCall* call = findLive(id);
    if (call == nullptr) return false;
    const bool ringingIncoming = call->incoming && call->status == CallStatus::Ringing;
    change(*call, ringingIncoming ? CallStatus::Refused : CallStatus::Finished, events);
    return true;
}

void CallModel::endAllHere(Texts& events) {
    for (const SkypeCall& call : calls_) {
        if (isLive(call.status)) endHere(call.id, events);
    }
}

bool CallModel::farEndRings(int id, Texts& events) {
    SkypeCall* call = findLive(id);
    if (call == nullptr || call->status != CallStatus::Routing) return false;
    change(*call, CallStatus::Ringing, events);
    return true;
}

bool CallModel::farEndAnswers(int id, Texts& events) {
    SkypeCall* call = findLive(id);
    if (call == nullptr || call->incoming) return false;
    if (call->status != CallStatus::Routing && call->status != CallStatus::Ringing) return false;
    change(*call, CallStatus::InProgress, events);
    return true;
}

bool CallModel::farEndHangsUp(int id, Texts& events) {
    SkypeCall* call = findLive(id);
    if (call == nullptr) return false;
    const bool ringingIncoming = call->incoming && call->status == CallStatus::Ringing;
    change(*call, ringingIncoming ? CallStatus::Missed : CallStatus::Finished, events);
    return true;
}

bool CallModel::addDtmf(int id, char digit) {
    for (SkypeCall& call : calls_) {
        if (call.id == id) {
            call.dtmf += digit;
            return true;
        }
    }
    return false;
}

std::optional<int> CallModel::firstRingingIncoming() const {
    for (const SkypeCall& call : calls_) {
        if (call.incoming && call.status == CallStatus::Ringing) return call.id;
    }
    return std::nullopt;
}

std::optional<int> CallModel::firstActive() const {
    for (const SkypeCall& call : calls_) {
        const bool ringingIncoming = call.incoming && call.status == CallStatus::Ringing;
        if (isLive(call.status) && !ringingIncoming) return call.id;
    }
    return std::nullopt;
}

const SkypeCall* CallModel::find(int id) const {
    for (const SkypeCall& call : calls_) {
        if (call.id == id) return &call;
    }
    return nullptr;
}

SkypeCall* CallModel::findLive(int id) {
    for (SkypeCall& call : calls_) {
        if (call.id == id) return isLive(call.status) ? &call : nullptr;
    }
    return nullptr;
}

void CallModel::change(SkypeCall& call, CallStatus status, Texts& events) {
    call.status = status;
    events.push_back("CALL " + std::to_string(call.id) + " STATUS " + callStatusName(status));
}

}  // namespace sim
