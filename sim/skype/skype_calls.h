// The Skype stand-in's calls: each call's partner, direction and status, and the status notifications
// that each change produces. Plain C++ with no platform call, so the client thread can apply it under its
// lock and tests can read it from any thread.
//
// A call's life:
//   incoming   RINGING -> INPROGRESS (answered here) -> FINISHED
//              RINGING -> REFUSED (ended here before it was answered) or MISSED (the caller gave up)
//   outgoing   ROUTING -> RINGING (the far end rings) -> INPROGRESS (the far end answered) -> FINISHED
//   a call in progress goes ONHOLD while another call is answered, and back to INPROGRESS when resumed.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class CallStatus { Routing, Ringing, InProgress, OnHold, Finished, Refused, Missed };

// The status word of the notification texts ("ROUTING", "RINGING", ...).
const char* callStatusName(CallStatus status);
std::optional<CallStatus> callStatusFromName(const std::string& upperCaseWord);
// Not yet ended.
bool isLive(CallStatus status);

struct SkypeCall {
    int id = 0;
    bool incoming = false;
    std::string partnerHandle;
    std::string partnerName;  // the display name
    CallStatus status = CallStatus::Routing;
    std::string dtmf;  // every DTMF character sent in this call, in order
};

// Every operation that changes a status appends its notification texts ("CALL <id> STATUS <word>") to
// `events`, in the order of the changes, and answers whether it applied.
class CallModel {
  public:
    using Texts = std::vector<std::string>;

    explicit CallModel(int firstCallId) : nextId_(firstCallId) {}

    int addIncoming(const std::string& handle, const std::string& name, Texts& events);
    int addOutgoing(const std::string& target, Texts& events);

    // Answered here: a ringing incoming call or a call on hold goes INPROGRESS; every other call in
    // progress goes ONHOLD first.
    bool answer(int id, Texts& events);
    // Ended here: a ringing incoming call is REFUSED, any other live call FINISHED.
    bool endHere(int id, Texts& events);
    // Every live call ended here, in id order.
    void endAllHere(Texts& events);
    // The far end rings (ROUTING -> RINGING), answers (an outgoing call that routes or rings goes
    // INPROGRESS), or hangs up (a ringing incoming call is MISSED, any other live call FINISHED).
    bool farEndRings(int id, Texts& events);
    bool farEndAnswers(int id, Texts& events);
    bool farEndHangsUp(int id, Texts& events);

    bool addDtmf(int id, char digit);
    std::optional<int> firstRingingIncoming() const;
    // The first call that is going on: live, and not an incoming call still ringing (one on hold counts).
    std::optional<int> firstActive() const;
    const SkypeCall* find(int id) const;
    const std::vector<SkypeCall>& calls() const { return calls_; }
    int nextId() const { return nextId_; }

  private:
    SkypeCall* findLive(int id);
    void change(SkypeCall& call, CallStatus status, Texts& events);

    std::vector<SkypeCall> calls_;  // in id order
    int nextId_;
};

}  // namespace sim
