// Call notifications and the commands the program sends back: the caller's name asked for, a second
// caller finished while a call is connected, a call placed from this side left alone.
#include "checks.h"
#include "notify.h"

namespace e2e {
namespace {

// Skype's stand-in numbers its calls from 12, so its first incoming call is "CALL 12".
constexpr int kFirstCallId = 12;

}  // namespace

void runCallChecks(Environment& env) {
    Session s(env, "calls");
    sim::SkypeConfig config;
    config.firstCallId = kFirstCallId;
    sim::SkypeClient skype(config);
    if (!s.startAttached(skype)) return;
    const HWND api = skype.apiWindow();

    // An incoming call from Skype's own model: "CALL 12 STATUS RINGING".
    size_t from = skype.commands().size();
    const int callId = skype.incomingCall("Alice Example", "alice.example");
    const bool asked = callId == kFirstCallId &&
                       skype.waitForCommand("GET CALL 12 PARTNER_DISPNAME", kAnswerTimeout, from).has_value();
    s.check(asked, "CALL 12 STATUS RINGING yields GET CALL 12 PARTNER_DISPNAME",
            callId == kFirstCallId ? "no name request within 3 s"
                                   : "the stand-in rang call " + std::to_string(callId));

    // Call 12 connected, a second caller is turned away without ringing or a name request.
    from = skype.commands().size();
    sendNotification(s.window(), api, "CALL 12 STATUS INPROGRESS");
    sendNotification(s.window(), api, "CALL 15 STATUS RINGING");
    const bool finished =
        skype.waitForCommand("SET CALL 15 STATUS FINISHED", kAnswerTimeout, from).has_value();
    s.check(
        finished && !s.receivedFromProgram(skype, "GET CALL 15 PARTNER_DISPNAME", from),
        "with call 12 in progress, CALL 15 STATUS RINGING yields SET CALL 15 STATUS FINISHED only",
        finished ? "the program also asked for call 15's name" : "no SET CALL 15 STATUS FINISHED within 3 s");

    // Call 12 ends: the next caller is asked for again.
    sendNotification(s.window(), api, "CALL 12 STATUS FINISHED");
    std::string answered = s.ringAndExpectNameRequest(skype, api, 16);
    s.check(answered.empty(), "after CALL 12 STATUS FINISHED a new caller's name is asked for", answered);

    // A call placed from this side rings at the far end: no name request for it. The next incoming call
    // is handled after it, so by its answer call 17 has been dealt with.
    from = skype.commands().size();
    sendNotification(s.window(), api, "CALL 16 STATUS FINISHED");
    sendNotification(s.window(), api, "CALL 17 STATUS ROUTING");
    sendNotification(s.window(), api, "CALL 17 STATUS RINGING");
    answered = s.ringAndExpectNameRequest(skype, api, 18);
    s.check(answered.empty() && !s.receivedFromProgram(skype, "GET CALL 17 PARTNER_DISPNAME", from) &&
                !s.receivedFromProgram(skype, "SET CALL 17 STATUS FINISHED", from),
            "an outgoing call (ROUTING, then RINGING) draws no command",
            answered.empty() ? "the program sent a command for call 17" : answered);
    s.close();
}

}  // namespace e2e
