// The scenarios' scripts.
#include "scenarios.h"

#include "scenario_run.h"

#include <winsim/control.h>

#include <functional>

namespace phonedocksim {
namespace {

using namespace std::chrono_literals;
using sim::Key;

constexpr const char* kTipReady = "USB Device Driver (Skype Feature-Enabled)";
constexpr const char* kTipNoSkype = "USB Device Driver (Please Launch Skype)";
constexpr const char* kTipNoHandset = "USB Device Driver (Please Connect USB Phone)";
constexpr const char* kCaller = "0049-30-1234";
constexpr const char* kCallerShown = "49-30-1234";  // the ten characters the lower row has room for
constexpr const char* kSecondCaller = "0044-20-7946";
constexpr const char* kNamedCaller = "Grace Hopper";
constexpr const char* kNameShown = "ACE HoPPEr";  // the end of the name, in the letters seven segments draw
constexpr const char* kCalledFromSkype = "0033-1-4020";
constexpr const char* kClockShown = "      0905";

// Wednesday 3 March 2027, 09:05: pinned, so every transcript reads the same.
SYSTEMTIME scenarioClock() {
    SYSTEMTIME time{};
    time.wYear = 2027;
    time.wMonth = 3;
    time.wDay = 3;
    time.wDayOfWeek = 3;
    time.wHour = 9;
    time.wMinute = 5;
    return time;
}

std::string callCommand(int call, const std::string& rest) {
    return "SET CALL " + std::to_string(call) + " " + rest;
}

// Starts the program and waits until Skype has it attached, with Skype's audio on the handset.
bool startAttached(ScenarioRun& run) {
    run.step("phonedock starts; Skype is running and the handset is plugged in");
    if (!run.startProgram()) return false;
    run.expectTray(129, kTipReady);
    run.expectCommand("SET AUDIO_OUT USB Audio Device");
    run.expectCommand("SET AUDIO_IN USB Audio Device");
    run.expectBars(6);
    run.expectDisplay(kClockShown);
    run.showLcd();
    return true;
}

// An incoming call that rings the handset; answers its id (0 when Skype did not take it).
int ringIn(ScenarioRun& run) {
    run.step(std::string("a call comes in from ") + kCaller);
    const int call = run.world().incomingCall(kCaller);
    run.expectRinger(true);
    run.expectBacklight(true);
    run.expectIndicator(true);
    run.expectDisplay(kCallerShown);
    run.showLcd();
    return call;
}

// The newest call Skype has is one the handset placed, and the far end has answered it.
void expectOutgoingCallInProgress(ScenarioRun& run) {
    run.expect(
        "an outgoing call is in progress",
        [&] {
            const auto calls = run.skype().calls();
            return !calls.empty() && !calls.back().incoming &&
                   calls.back().status == sim::CallStatus::InProgress;
        },
        [&] { return run.world().skypeSummary(); });
}

void answer(ScenarioRun& run, int call) {
    run.step("YES answers it");
    run.tap(Key::Yes);
    // Skype's window is on screen, so its own YES button answers the call.
    run.expectCommand("BTN_PRESSED YES");
    run.expect(
        "the call is in progress",
        [&] {
            return run.skype().call(call) && run.skype().call(call)->status == sim::CallStatus::InProgress;
        },
        [&] { return run.world().skypeSummary(); });
    run.expectRinger(false);
    run.expectBacklight(true);
}

// MUTE mutes the microphone and puts the handset's light out; MUTE again undoes both.
void mute(ScenarioRun& run) {
    run.step("MUTE mutes the microphone and puts the light out");
    run.tap(Key::Mute);
    run.expectCommand("Set MUTE ON");
    run.expectCommand("GET MUTE");
    run.expect(
        "Skype is muted", [&] { return run.skype().muted(); }, [] { return "it is not"; });
    run.expectBacklight(false);
}

void unmute(ScenarioRun& run) {
    run.step("MUTE again unmutes it and lights the handset again");
    run.tap(Key::Mute);
    run.expectCommand("SET MUTE OFF");
    run.expect(
        "Skype is not muted", [&] { return !run.skype().muted(); }, [] { return "it still is"; });
    run.expectBacklight(true);
}

void muteAndUnmute(ScenarioRun& run) {
    mute(run);
    unmute(run);
}

// 5 and # in a call go to Skype as DTMF for that call, and Skype takes them.
void sendDtmf(ScenarioRun& run, int call) {
    run.step("5 and # in the call go to Skype as DTMF for call " + std::to_string(call));
    const uint64_t from = run.skype().nextSequence();
    run.tap(Key::Digit5);
    run.expectCommand(callCommand(call, "DTMF 5"));
    run.tap(Key::Hash);
    run.expectCommand(callCommand(call, "DTMF #"));
    run.expectAnswerWithoutError("CALL " + std::to_string(call) + " DTMF #", from);
    run.expectDtmf(call, "5#");
}

void expectCallsEnded(ScenarioRun& run) {
    run.expect(
        "the call has ended", [&] { return !run.world().newestLiveCall().has_value(); },
        [&] { return run.world().skypeSummary(); });
}

void incomingCall(ScenarioRun& run) {
    if (!startAttached(run)) return;
    const int call = ringIn(run);
    answer(run, call);
    sendDtmf(run, call);
    muteAndUnmute(run);

    run.step("NO hangs up");
    run.tap(Key::No);
    run.expectCommand("BTN_PRESSED NO");
    run.expectCommand("BTN_RELEASED NO");
    expectCallsEnded(run);
    run.expectIndicator(false);
    run.expectBacklight(false);
    run.expectDisplay(kClockShown);
    run.showLcd();
}

// A second caller while a call is connected: the program turns it away at once, and the first call goes on
// as it was.
void secondCaller(ScenarioRun& run) {
    if (!startAttached(run)) return;
    const int first = ringIn(run);
    answer(run, first);

    run.step(std::string("a second call comes in from ") + kSecondCaller + ": the program turns it away");
    const size_t rings = run.handset().ringerSwitchedOnCount();
    const uint64_t from = run.skype().nextSequence();
    const int second = run.world().incomingCall(kSecondCaller);
    run.expectCommand(callCommand(second, "STATUS FINISHED"));
    run.expectCallStatus(second, sim::CallStatus::Refused);
    run.expectSent("CALL " + std::to_string(second) + " STATUS REFUSED", from);
    run.settle();
    run.expectNoRingSince(rings);
    run.expectCallStatus(first, sim::CallStatus::InProgress);
    run.expectIndicator(true);
    run.expectBacklight(true);
    run.expectDisplay(kCallerShown);
    run.showLcd();

    run.step("YES does not answer the turned-away call");
    const size_t afterYes = run.skype().commands().size();
    run.tap(Key::Yes);
    run.expectCommand("BTN_PRESSED YES");
    sendDtmf(run, first);  // a later key: YES has been handled whole by now
    run.expectNoCommandSince(callCommand(second, "STATUS INPROGRESS"), afterYes);
    run.expectCallStatus(second, sim::CallStatus::Refused);
    run.expectCallStatus(first, sim::CallStatus::InProgress);
    muteAndUnmute(run);

    run.step("the first caller hangs up: the display returns to the clock");
    run.world().farEndHangsUp(first);
    expectCallsEnded(run);
    run.expectRinger(false);
    run.expectIndicator(false);
    run.expectBacklight(false);
    run.expectDisplay(kClockShown);
    run.showLcd();
}

// A caller known by name, answered and muted; meanwhile the user calls someone else from Skype's own window,
// who does not answer. The call in progress keeps its muted light, its DTMF and its MUTE key.
void callFromSkype(ScenarioRun& run) {
    if (!startAttached(run)) return;
    run.step(std::string("a call comes in from ") + kNamedCaller + ": the display shows the name in letters");
    const int first = run.world().incomingCall(kNamedCaller);
    run.expectRinger(true);
    run.expectDisplay(kNameShown);
    run.expectBars(6);
    run.showLcd();
    answer(run, first);

    mute(run);

    run.step(std::string("from Skype's own window the user calls ") + kCalledFromSkype + "; it rings there");
    const int second = run.world().callFromSkype(kCalledFromSkype);
    run.expectCallStatus(second, sim::CallStatus::Ringing);
    run.settle();
    run.expectBacklight(false);
    run.expectIndicator(true);
    run.expectDisplay(kNameShown);

    run.step("5 is DTMF for the call in progress, and the display adds it to the name");
    run.tap(Key::Digit5);
    run.expectCommand(callCommand(first, "DTMF 5"));
    run.expectDtmf(first, "5");
    run.expectDisplay("CE HoPPEr5");
    run.expectBars(6);
    run.showLcd();

    run.step(std::string("nobody answers ") + kCalledFromSkype + ": that call ends, the first goes on");
    run.world().farEndHangsUp(second);
    run.expectCallStatus(second, sim::CallStatus::Finished);
    run.settle();
    run.expectCallStatus(first, sim::CallStatus::InProgress);
    run.expectIndicator(true);
    run.expectBacklight(false);
    run.tap(Key::Hash);
    run.expectCommand(callCommand(first, "DTMF #"));
    run.expectDtmf(first, "5#");

    unmute(run);  // at the first press: the call that only rang left the mute state alone

    run.step("the caller hangs up: the display returns to the clock");
    run.world().farEndHangsUp(first);
    expectCallsEnded(run);
    run.expectIndicator(false);
    run.expectBacklight(false);
    run.expectDisplay(kClockShown);
    run.showLcd();
}

// NO ends a call and sends Skype's window to the tray; the next number dialled brings it back, and YES
// calls the number.
void redialAfterNo(ScenarioRun& run) {
    if (!startAttached(run)) return;
    answer(run, ringIn(run));

    run.step("NO ends the call and sends Skype's window to the tray");
    run.tap(Key::No);
    run.expectCommand("BTN_PRESSED NO");
    expectCallsEnded(run);
    run.expectSkypeWindow(sim::MainWindowShow::Hidden);
    run.expectEditField("");
    run.expectIndicator(false);
    run.expectDisplay(kClockShown);

    run.step("4 7 1 1 dialled: FOCUS brings Skype's window back to the front");
    for (const Key key : {Key::Digit4, Key::Digit7, Key::Digit1, Key::Digit1}) {
        run.tap(key);
        run.expectCommand(std::string("BTN_PRESSED ") + std::string(sim::keyName(key)));
    }
    run.expectSkypeWindow(sim::MainWindowShow::Normal);
    run.expectEditField("4711");
    run.expectDisplay("      4711");

    run.step("YES calls 4711; the far end answers");
    run.tap(Key::Yes);
    run.expectCommand("BTN_PRESSED YES");
    run.expect(
        "an outgoing call to 4711 is in progress",
        [&] {
            const auto calls = run.skype().calls();
            return !calls.empty() && !calls.back().incoming && calls.back().partnerHandle == "4711" &&
                   calls.back().status == sim::CallStatus::InProgress;
        },
        [&] { return run.world().skypeSummary(); });
    run.expectIndicator(true);
    run.showLcd();

    run.step("NO hangs up again");
    run.tap(Key::No);
    expectCallsEnded(run);
    run.expectSkypeWindow(sim::MainWindowShow::Hidden);
    run.expectDisplay(kClockShown);
}

void dialOut(ScenarioRun& run) {
    if (!startAttached(run)) return;
    run.step("the handset is lifted and 1 2 3 dialled");
    run.handset().setOffHook(true);
    run.expectCommand("HOOK OFF");
    for (const Key key : {Key::Digit1, Key::Digit2, Key::Digit3}) {
        run.tap(key);
        run.expectCommand(std::string("BTN_PRESSED ") + std::string(sim::keyName(key)));
    }
    run.expectDisplay("       123");
    run.expectEditField("123");
    run.showLcd();

    run.step("YES calls; the far end answers");
    run.tap(Key::Yes);
    expectOutgoingCallInProgress(run);
    const int call = run.world().newestLiveCall().value_or(0);
    run.expectIndicator(true);

    sendDtmf(run, call);
    run.showLcd();

    run.step("the handset is put down");
    run.handset().setOffHook(false);
    run.expectCommand("HOOK ON");
    expectCallsEnded(run);
    run.expectIndicator(false);
    run.expectDisplay(kClockShown);
    run.expectEditField("");
}

void skypeCrash(ScenarioRun& run) {
    if (!startAttached(run)) return;
    answer(run, ringIn(run));

    run.step("Skype crashes during the call; the program notices at its next tick");
    run.world().crashSkype();
    run.tick();
    run.expectTray(131, kTipNoSkype);
    run.expectBars(0);
    run.expectIndicator(false);
    run.expectBacklight(false);
    run.expectDisplay(kClockShown);
    run.showLcd();

    run.step("without Skype the keypad types into the foreground window");
    run.tap(Key::Digit7);
    run.expectTyped("7");

    run.step("Skype starts again and is attached again, its audio on the handset");
    const size_t before = run.skype().commands().size();
    run.world().startSkype();
    run.expectTray(129, kTipReady);
    run.expect(
        "Skype was told the handset's audio devices again",
        [&] { return run.skype().waitForCommand("SET AUDIO_IN USB Audio Device", 0ms, before).has_value(); },
        [] { return "it was not"; });
    run.expectBars(6);

    run.step("the call lost in the crash is forgotten: a new caller rings the handset");
    const int next = ringIn(run);
    run.expectCommand("GET CALL " + std::to_string(next) + " PARTNER_DISPNAME");
    run.world().farEndHangsUp(next);  // the caller gives up: Skype's window stays on screen for what follows
    run.expectRinger(false);
    run.expectDisplay(kClockShown);

    run.step("the keys reach Skype again: 7 and YES call out, the far end answers");
    run.tap(Key::Digit7);
    run.expectCommand("BTN_PRESSED 7");
    run.tap(Key::Yes);
    expectOutgoingCallInProgress(run);
    run.expectTyped("7");  // nothing more was typed: the keys went to Skype
    run.showLcd();
}

void handsetUnplugged(ScenarioRun& run) {
    if (!startAttached(run)) return;
    const int call = ringIn(run);
    answer(run, call);

    run.step("the handset is pulled out during the call");
    run.world().pullHandset();
    run.expectTray(130, kTipNoHandset);
    run.expect(
        "the call goes on in Skype",
        [&] {
            return run.skype().call(call) && run.skype().call(call)->status == sim::CallStatus::InProgress;
        },
        [&] { return run.world().skypeSummary(); });

    run.step("it is plugged in again");
    run.world().plugHandset();
    run.expectTray(129, kTipReady);
    run.expectBars(6);
    run.tick();
    run.expectDisplay(kCallerShown);
    run.showLcd();

    run.step("its keys work again: NO hangs up");
    run.tap(Key::No);
    run.expectCommand("BTN_PRESSED NO");
    expectCallsEnded(run);
    run.expectDisplay(kClockShown);
}

void noSkype(ScenarioRun& run) {
    run.step("phonedock starts; the handset is plugged in, Skype is not running");
    if (!run.startProgram()) return;
    run.expectTray(131, kTipNoSkype);
    run.expectDisplay(kClockShown);
    run.showLcd();

    run.step("the keypad types into the foreground window");
    for (const Key key : {Key::Digit5, Key::Hash, Key::Star, Key::Up, Key::Down, Key::Yes, Key::No})
        run.tap(key);
    run.expectTyped("5#*<Up><Down><Enter><Esc>");

    run.step("lifting the handset is Enter, putting it down Escape; MUTE and CLEAR type nothing");
    run.handset().setOffHook(true);
    run.expectTyped("5#*<Up><Down><Enter><Esc><Enter>");
    run.handset().setOffHook(false);
    run.expectTyped("5#*<Up><Down><Enter><Esc><Enter><Esc>");
    run.tap(Key::Mute);
    run.tap(Key::Clear);
    run.tap(Key::Digit0);
    run.expectTyped("5#*<Up><Down><Enter><Esc><Enter><Esc>0");
    run.expect(
        "Skype received nothing", [&] { return run.skype().commands().empty(); },
        [&] { return std::to_string(run.skype().commands().size()) + " commands"; });

    run.step("Skype starts: the program attaches and the keys go to Skype");
    run.world().startSkype();
    run.expectTray(129, kTipReady);
    run.expectCommand("SET AUDIO_IN USB Audio Device");
    run.tap(Key::Digit7);
    run.expectCommand("BTN_PRESSED 7");
    run.expectTyped("5#*<Up><Down><Enter><Esc><Enter><Esc>0");
}

struct Scenario {
    ScenarioInfo info;
    bool skypeRunning;
    std::function<void(ScenarioRun&)> script;
};

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> all = {
        {{"incoming-call",
          "an incoming call rings the handset, is answered, gets DTMF, is muted, unmuted and "
          "hung up"},
         true,
         incomingCall},
        {{"second-caller", "a second caller during a call is turned away; the first call goes on as it was"},
         true,
         secondCaller},
        {{"call-from-skype",
          "a named caller is answered and muted; a second call from Skype's window leaves the first as it "
          "was"},
         true,
         callFromSkype},
        {{"redial-after-no", "NO ends a call, Skype goes to the tray; a number dialled and YES call it"},
         true,
         redialAfterNo},
        {{"dial-out", "the handset is lifted, a number dialled and called, DTMF sent, the handset put down"},
         true,
         dialOut},
        {{"skype-crash", "Skype crashes during a call, the keypad types meanwhile, Skype starts again"},
         true,
         skypeCrash},
        {{"handset-unplugged", "the handset is pulled out during a call and plugged in again"},
         true,
         handsetUnplugged},
        {{"no-skype", "without Skype the keypad types into the foreground window; then Skype starts"},
         false,
         noSkype},
    };
    return all;
}

}  // namespace

std::vector<ScenarioInfo> scenarioList() {
    std::vector<ScenarioInfo> list;
    for (const auto& scenario : scenarios()) list.push_back(scenario.info);
    return list;
}

int runScenario(const std::string& name, std::ostream& out) {
    const Scenario* chosen = nullptr;
    for (const auto& scenario : scenarios()) {
        if (scenario.info.name == name) chosen = &scenario;
    }
    if (chosen == nullptr) {
        out << "no scenario named \"" << name << "\"; --list names them\n";
        return 2;
    }
    out << "scenario " << chosen->info.name << ": " << chosen->info.description << "\n";
    int failures = 0;
    bool ended = true;
    {
        WorldConfig config;
        config.pinnedClock = scenarioClock();
        config.startSkype = chosen->skypeRunning;
        config.farEndAnswerDelay = 50ms;
        World world(config);
        ScenarioRun run(world, out);
        chosen->script(run);
        run.step("phonedock is closed");
        ended = world.stopProgram();
        run.flushLog();
        failures = run.failures();
        if (!ended) out << "   the program did not end within 10 s of WM_CLOSE\n";
    }
    if (ended && failures == 0) {
        out << "\nscenario " << name << ": every expectation held\n";
        return 0;
    }
    out << "\nscenario " << name << ": " << failures << " expectation(s) failed"
        << (ended ? "" : ", and the program did not end") << "\n";
    return 1;
}

}  // namespace phonedocksim
