// What the Skype stand-in does with one command text of the desktop API: the change to its state and the
// texts it sends back. Plain C++ with no platform call; the client thread runs it under its lock and then
// carries out the outcome (sends the texts, types into its edit field, schedules the progress of placed
// calls).
//
// Command words are recognised without regard to case ("Set MUTE ON" is "SET MUTE ON"); names, devices and
// call targets are kept as written. Commands and what they do:
//   FOCUS, BTN_RELEASED <button>, BTN_PRESSED UP|DOWN|SKYPE   nothing but the record
//   BTN_PRESSED 0-9 * # +        types the character into the edit field
//   BTN_PRESSED YES              answers the first ringing incoming call; without one, places a call to
//                                the number or name in the edit field (nothing when it is empty)
//   BTN_PRESSED NO, HOOK ON      ends every live call (a ringing incoming one is REFUSED)
//   HOOK OFF                     answers the first ringing incoming call, if any
//   CALL <target>                places a call (ROUTING)
//   SET MUTE ON|OFF              sets the mute; "MUTE ON"/"MUTE OFF" to every attached client
//   GET MUTE                     answered with "MUTE ON" or "MUTE OFF"
//   SET AUDIO_OUT|AUDIO_IN <name>  the device, answered with "AUDIO_OUT <name>" / "AUDIO_IN <name>"
//   GET CALL <id> PARTNER_DISPNAME|PARTNER_HANDLE|STATUS   answered with "CALL <id> <property> <value>"
//   SET CALL <id> STATUS INPROGRESS   answers a ringing incoming call or resumes one on hold
//   SET CALL <id> STATUS FINISHED     ends a live call (a ringing incoming one is REFUSED)
//   SET CALL <id> DTMF <c>            recorded against the call, answered with "CALL <id> DTMF <c>"
// Status changes go to every attached client; answers and errors ("ERROR <n> <what>") to the sender.
#pragma once

#include "skype/skype_calls.h"

#include <string>
#include <vector>

namespace sim {

struct SkypeState {
    explicit SkypeState(int firstCallId) : calls(firstCallId) {}

    CallModel calls;
    bool muted = false;
    std::string audioOut;  // the latest SET AUDIO_OUT device
    std::string audioIn;   // the latest SET AUDIO_IN device
    std::string editText;  // what the main window's edit field holds
};

struct SkypeText {
    std::string text;
    bool toEveryClient = false;  // false: to the sender of the command only
};

struct CommandOutcome {
    std::vector<SkypeText> texts;  // in the order they are sent
    std::string typed;             // characters to type into the edit field
    std::vector<int> placedCalls;  // outgoing calls placed, now ROUTING
};

CommandOutcome executeCommand(const std::string& text, SkypeState& state);

}  // namespace sim
