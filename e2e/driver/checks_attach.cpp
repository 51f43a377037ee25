// The attach handshake when Skype starts after the program, and Skype's API window vanishing and coming
// back.
#include "checks.h"
#include "notify.h"
#include "registry.h"
#include "waiting.h"

#include <algorithm>

namespace e2e {
namespace {

size_t discoveriesFrom(const sim::SkypeClient& skype, HWND window) {
    const std::vector<HWND> all = skype.discoveries();
    return static_cast<size_t>(std::count(all.begin(), all.end(), window));
}

}  // namespace

void runLateSkypeChecks(Environment& env) {
    Session s(env, "late-skype");
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
    if (!s.start(env.workspace.program(), env.workspace.withLibrary)) return;
    // Alone, the program stays in the Skype-not-attached state.
    const size_t trayBefore = env.tray.waitForMessages(s.window(), 2, kAnswerTimeout).size();
    s.check(trayBefore == 2 && s.trayMessages().back().tip == kTipNoSkype,
            "without Skype the icon stays in the Skype-not-attached state",
            std::to_string(trayBefore) + " icon messages");

    // Skype starts now and announces its API with 0x8001; the program's start-up Discover is long gone.
    sim::SkypeClient skype;
    if (!s.check(skype.start(), "the Skype stand-in starts")) {
        s.close();
        return;
    }
    const bool discovered =
        skype.waitUntil([&] { return discoveriesFrom(skype, s.window()) == 1; }, kAttachTimeout);
    s.check(discovered, "Skype announcing 0x8001 gets a new Discover from the program",
            std::to_string(discoveriesFrom(skype, s.window())) + " Discover requests from the main window");
    const std::string attach = s.waitForAttach(skype, trayBefore);
    s.check(attach.empty(), "the program attaches to the late Skype", attach);
    const std::string answered = s.ringAndExpectNameRequest(skype, skype.apiWindow(), 201);
    s.check(answered.empty(), "notifications from the late Skype are acted on", answered);
    s.close();
}

void runSkypeLossChecks(Environment& env) {
    Session s(env, "skype-loss");
    sim::SkypeClient skype;
    if (!s.startAttached(skype)) return;

    // Skype dies: its API window vanishes without a word. The program's 2 s look notices and refreshes.
    const HWND lostApiWindow = skype.apiWindow();
    const size_t trayBefore = s.trayMessages().size();
    const auto crashed = std::chrono::steady_clock::now();
    skype.crash();
    const bool gone = !IsWindow(lostApiWindow);
    const bool noticed = s.waitForTip(kTipNoHandset, trayBefore, kWatchdogTimeout).has_value();
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - crashed);
    s.check(gone && noticed, "the program notices Skype's API window gone within one watchdog period",
            gone ? "no icon refresh within 4.5 s" : "the stand-in's API window outlived its thread");
    if (noticed) env.report.note("noticed after " + std::to_string(took.count()) + " ms");

    // Skype comes back: a new API window, announced with 0x8001, and a new attach.
    const size_t discoveredBefore = discoveriesFrom(skype, s.window());
    const size_t trayBeforeReturn = s.trayMessages().size();
    if (!s.check(skype.start(), "the Skype stand-in starts again")) {
        s.close();
        return;
    }
    const bool rediscovered = skype.waitUntil(
        [&] { return discoveriesFrom(skype, s.window()) > discoveredBefore; }, kAttachTimeout);
    s.check(rediscovered, "Skype's return (0x8001) gets a new Discover");
    const std::string attach = s.waitForAttach(skype, trayBeforeReturn);
    s.check(attach.empty(), "the program re-attaches", attach);

    // Only the new API window speaks for Skype now. The old one's notification comes first; both are
    // handled in order, so once the new one is answered the old one has been passed over.
    const size_t commandsBefore = skype.commands().size();
    sendNotification(s.window(), lostApiWindow, "CALL 301 STATUS RINGING");
    const std::string answered = s.ringAndExpectNameRequest(skype, skype.apiWindow(), 302);
    s.check(answered.empty(), "notifications from the new API window are acted on", answered);
    s.check(!s.receivedFromProgram(skype, "GET CALL 301 PARTNER_DISPNAME", commandsBefore),
            "a notification naming the vanished API window is ignored",
            "the program asked for call 301's name");
    s.close();
}

}  // namespace e2e
