// What the Skype stand-in does with one command text of the desktop API: the change to its state and the
// texts it sends back. Plain C++ with no platform call; the client thread runs it under its lock and then
// carries out the outcome (brings its main window to the front, types into its edit field, schedules the
// progress of placed calls, sends the texts).
//
// Command words are recognised without regard to case ("Set MUTE ON" is "SET MUTE ON"); names, devices and
// call targets are kept as written. A call is "going on" while it is live and not an incoming call that
// still rings (a call on hold is going on). Commands and what they do:
//   FOCUS                        brings the main window to the front: out of the tray or back from its
//                                minimised state first
//   BTN_PRESSED <button>         holds the button down until its BTN_RELEASED, and:
//     0-9 * # +                  types the character into the edit field, unless a call is going on (the
//                                call's own keypad has the keys then: DTMF comes as SET CALL ... DTMF)
//     SKYPE                      brings the main window to the front, as FOCUS does
//     UP, DOWN                   moves the selection in the contact list (the first press selects the
//                                first contact; the ends of the list hold it)
//     YES                        answers the first ringing incoming call; without one, and with no call
//                                going on, places a call to the number or name in the edit field, or to
//                                the selected contact when the field is empty (nothing without either)
//     NO                         ends every live call (a ringing incoming one is REFUSED)
//   BTN_RELEASED <button>        lets the held button go (a button that is not held: nothing)
//   HOOK ON                      ends every live call; the hook is on
//   HOOK OFF                     answers the first ringing incoming call, if any; the hook is off
//   CALL <target>                places a call (ROUTING)
//   SET MUTE ON|OFF              sets the mute; "MUTE ON"/"MUTE OFF" to every attached client
//   GET MUTE                     answered with "MUTE ON" or "MUTE OFF"
//   SET AUDIO_OUT|AUDIO_IN <name>  the device, answered with "AUDIO_OUT <name>" / "AUDIO_IN <name>"
//   GET CALL <id> PARTNER_DISPNAME|PARTNER_HANDLE|STATUS   answered with "CALL <id> <property> <value>"
//   SET CALL <id> STATUS INPROGRESS   answers a ringing incoming call or resumes one on hold
//   SET CALL <id> STATUS FINISHED     ends a live call (a ringing incoming one is REFUSED)
//   SET CALL <id> DTMF <c>            for a call in progress: recorded against the call, answered with
//                                     "CALL <id> DTMF <c>"
// Status changes go to every attached client; answers and errors ("ERROR <n> <what>") to the sender. Errors
// change nothing: an unknown command or button, an unknown call id (also one of another Skype run), an
// unknown property or status, a status change the call cannot make, a mute value other than ON and OFF,
// and DTMF that is not one of 0-9 * # or goes to a call that is not in progress.
#pragma once

#include "skype/skype_calls.h"

#include <string>
#include <utility>
#include <vector>

namespace sim {

struct SkypeState {
    SkypeState(int firstCallId, std::vector<std::string> contactList)
        : calls(firstCallId), contacts(std::move(contactList)) {}

    CallModel calls;
    bool muted = false;
    bool hookOff = false;               // the latest HOOK command was HOOK OFF
    std::string audioOut;               // the latest SET AUDIO_OUT device
    std::string audioIn;                // the latest SET AUDIO_IN device
    std::string editText;               // what the main window's edit field holds
    std::string heldButton;             // pressed and not yet released (upper case), or empty
    std::vector<std::string> contacts;  // the contact list, in the order shown
    int selectedContact = -1;           // its index in `contacts`; -1: none selected
};

struct SkypeText {
    std::string text;
    bool toEveryClient = false;  // false: to the sender of the command only
};

struct CommandOutcome {
    std::vector<SkypeText> texts;  // in the order they are sent
    std::string typed;             // characters to type into the edit field
    std::vector<int> placedCalls;  // outgoing calls placed, now ROUTING
    bool bringToFront = false;     // the main window is to come to the front
};

CommandOutcome executeCommand(const std::string& text, SkypeState& state);

}  // namespace sim
