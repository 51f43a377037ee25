// The program with the handset there: start-up, a call from ringing to the far end hanging up, and the keys
// outside a call. Everything is judged by what the handset shows and what Skype received.
#include "checks.h"
#include "handset_world.h"
#include "waiting.h"

#include <algorithm>

namespace e2e {
namespace {

constexpr const char* kCaller = "0049-30-1234";
constexpr const char* kCallerShown = "49-30-1234";  // the ten cells of the lower row

std::string callCommand(int call, const std::string& rest) {
    return "SET CALL " + std::to_string(call) + " " + rest;
}

bool callIs(const sim::SkypeClient& skype, int call, sim::CallStatus status) {
    const auto found = skype.call(call);
    return found && found->status == status;
}

void callFromRingingToHangUp(Session& s, sim::SkypeClient& skype, sim::VirtualHandset& handset) {
    const int call = skype.incomingCall(kCaller);
    expectHandset(s, handset, "an incoming call rings the handset and lights it, with the call indicator",
                  [&] { return handset.ringer() && handset.backlight() && handset.display().indicator; });
    expectHandset(s, handset, "the caller's name reaches the display",
                  [&] { return handset.display().lower == kCallerShown; });

    size_t from = skype.commands().size();
    tap(handset, sim::Key::Yes);
    expectCommand(s, skype, "BTN_PRESSED YES", from);
    s.check(
        skype.waitUntil([&] { return callIs(skype, call, sim::CallStatus::InProgress); }, kHandsetTimeout),
        "YES answers the call");
    expectHandset(s, handset, "the ringer stops once the call is answered",
                  [&] { return !handset.ringer(); });

    from = skype.commands().size();
    tap(handset, sim::Key::Digit5);
    expectCommand(s, skype, callCommand(call, "DTMF 5"), from);
    tap(handset, sim::Key::Hash);
    expectCommand(s, skype, callCommand(call, "DTMF #"), from);
    const bool carried =
        skype.waitUntil([&] { return skype.call(call) && skype.call(call)->dtmf == "5#"; }, kHandsetTimeout);
    s.check(carried, "5 and # reach Skype as DTMF of the call",
            "the call carried \"" + (skype.call(call) ? skype.call(call)->dtmf : std::string()) + "\"");

    from = skype.commands().size();
    tap(handset, sim::Key::Mute);
    expectCommand(s, skype, "Set MUTE ON", from);
    s.check(skype.waitUntil([&] { return skype.muted(); }, kHandsetTimeout), "MUTE mutes Skype");
    expectHandset(s, handset, "muted, the light is off", [&] { return !handset.backlight(); });
    from = skype.commands().size();
    tap(handset, sim::Key::Mute);
    expectCommand(s, skype, "SET MUTE OFF", from);
    s.check(skype.waitUntil([&] { return !skype.muted(); }, kHandsetTimeout), "MUTE again unmutes Skype");
    expectHandset(s, handset, "unmuted, the light is on again", [&] { return handset.backlight(); });

    skype.farEndHangsUp(call);
    expectHandset(
        s, handset, "the far end hangs up: ringer, light and call indicator off, the clock back", [&] {
            const sim::DisplayReading reading = handset.display();
            return !handset.ringer() && !handset.backlight() && !reading.indicator && showsTheClock(reading);
        });
}

void keysOutsideACall(Session& s, sim::SkypeClient& skype, sim::VirtualHandset& handset) {
    size_t from = skype.commands().size();
    handset.setOffHook(true);
    expectCommand(s, skype, "HOOK OFF", from);
    from = skype.commands().size();
    handset.setOffHook(false);
    expectCommand(s, skype, "HOOK ON", from);

    from = skype.commands().size();
    for (const sim::Key key : {sim::Key::Digit4, sim::Key::Digit7}) tap(handset, key);
    expectCommand(s, skype, "BTN_PRESSED 4", from);
    expectCommand(s, skype, "BTN_PRESSED 7", from);
    s.check(skype.waitUntil([&] { return skype.editText() == "47"; }, kHandsetTimeout),
            "digits dial into Skype's field", "the field holds \"" + skype.editText() + "\"");
    expectHandset(s, handset, "the dialled digits are on the display",
                  [&] { return handset.display().lower == "        47"; });

    tap(handset, sim::Key::Clear);
    s.check(skype.waitUntil([&] { return skype.editText() == "4"; }, kHandsetTimeout),
            "CLEAR deletes the last digit in Skype's field", "the field holds \"" + skype.editText() + "\"");
    expectHandset(s, handset, "CLEAR deletes the last digit on the display",
                  [&] { return handset.display().lower == "         4"; });

    from = skype.commands().size();
    tap(handset, sim::Key::No);
    expectCommand(s, skype, "BTN_PRESSED NO", from);
    s.check(skype.waitUntil([&] { return skype.editText().empty(); }, kHandsetTimeout),
            "NO empties Skype's field", "the field holds \"" + skype.editText() + "\"");
    expectHandset(s, handset, "NO brings the clock back", [&] { return showsTheClock(handset.display()); });

    const std::string before = skype.selectedContact();
    from = skype.commands().size();
    tap(handset, sim::Key::Down);
    expectCommand(s, skype, "BTN_PRESSED DOWN", from);
    tap(handset, sim::Key::Down);
    tap(handset, sim::Key::Up);
    expectCommand(s, skype, "BTN_PRESSED UP", from);
    const bool moved =
        skype.waitUntil([&] { return !skype.selectedContact().empty() && skype.selectedContact() != before; },
                        kHandsetTimeout);
    s.check(moved, "DOWN, DOWN and UP move the selection in Skype's contact list",
            "selected: \"" + skype.selectedContact() + "\"");
}

// The user's way out: the icon menu's Close (command 105), confirmed in its message box. Unlike a WM_CLOSE
// from another program, which closes the handset before the program sees it, this lets the program clear
// the display and put the light out before it closes the handset.
void closeWithTheCloseCommand(Session& s) {
    PostMessageA(s.window(), WM_COMMAND, 105, 0);
    HWND box = nullptr;
    waitFor(
        [&] {
            for (HWND w = nullptr;
                 (w = FindWindowExA(nullptr, w, "#32770", "USB Phone Driver")) != nullptr;) {
                DWORD process = 0;
                GetWindowThreadProcessId(w, &process);
                if (process == s.program().processId()) box = w;
            }
            return box != nullptr;
        },
        kAnswerTimeout);
    if (!s.check(box != nullptr, "Close asks \"Are you sure to close USB Phone Driver\"", "no message box")) {
        s.program().terminate();
        return;
    }
    PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    const std::optional<DWORD> code = s.program().waitForExit(kExitTimeout);
    s.check(code == 0u, "OK ends the program with exit code 0",
            code ? "exit code " + std::to_string(*code) : std::string("still running"));
}

}  // namespace

void runHandsetChecks(Environment& env, sim::VirtualHandset& handset) {
    Session s(env, "handset");
    if (!startWithTheHandset(s, handset)) return;
    expectHandset(s, handset, "the display shows the clock and the signal bars", [&] {
        const sim::DisplayReading reading = handset.display();
        return showsTheClock(reading) && reading.barLevel() > 0;
    });
    sim::SkypeClient skype;
    if (!attachLateSkype(s, skype)) return s.close();

    callFromRingingToHangUp(s, skype, handset);
    keysOutsideACall(s, skype, handset);
    // Closed during a call, with the light on and the caller's name on the display.
    skype.incomingCall(kCaller);
    tap(handset, sim::Key::Yes);
    expectHandset(s, handset, "another call is answered: the light is on", [&] {
        return handset.backlight() && !handset.ringer() && handset.display().lower == kCallerShown;
    });
    closeWithTheCloseCommand(s);
    expectHandset(s, handset, "closing clears the display and puts the light out", [&] {
        const sim::DisplayImage image = handset.image();
        return !handset.backlight() &&
               std::all_of(image.begin(), image.end(), [](uint8_t cell) { return cell == 0; });
    });
    s.check(unplugAndWaitForInterface(handset), "the handset is pulled out at the end");
}

}  // namespace e2e
