// Bad input: notifications the program must survive (from a foreign window, without a terminator, with an
// oversized name, with no data), and a missing device library.
#include "checks.h"
#include "notify.h"
#include "registry.h"
#include "window_thread.h"

#include <memory>

namespace e2e {
namespace {

constexpr const char* kForeignClass = "E2EForeignSender";
constexpr size_t kLongNameLength = 5000;

// A plain top-level window of the driver's, which is not Skype's.
std::unique_ptr<WindowThread> makeForeignWindow() {
    return std::make_unique<WindowThread>([]() -> HWND {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kForeignClass;
        RegisterClassA(&wc);
        return CreateWindowExA(0, kForeignClass, "not Skype", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               wc.hInstance, nullptr);
    });
}

// Survived: the process still runs and acts on the next notification from Skype. Empty when so.
std::string survived(Session& s, const sim::SkypeClient& skype, int nextCallId) {
    if (!s.program().running()) return "the program has ended";
    const std::string answered = s.ringAndExpectNameRequest(skype, skype.apiWindow(), nextCallId);
    return answered.empty() ? "" : "afterwards: " + answered;
}

}  // namespace

void runBadNotificationChecks(Environment& env) {
    Session s(env, "bad-notifications");
    sim::SkypeClient skype;
    if (!s.startAttached(skype)) return;
    const HWND api = skype.apiWindow();

    const std::unique_ptr<WindowThread> foreign = makeForeignWindow();
    size_t from = skype.commands().size();
    const bool sent = foreign->window() != nullptr &&
                      sendNotification(s.window(), foreign->window(), "CALL 40 STATUS RINGING");
    std::string outcome = survived(s, skype, 41);
    if (outcome.empty() && s.receivedFromProgram(skype, "GET CALL 40 PARTNER_DISPNAME", from)) {
        outcome = "the program acted on it";
    }
    s.check(sent && outcome.empty(), "a notification from a foreign window is ignored",
            sent ? outcome : "the foreign window could not send it");

    // Without a terminator: the program must not read past the bytes sent.
    from = skype.commands().size();
    sendNotification(s.window(), api, "CALL 42 STATUS RINGING", false);
    outcome = survived(s, skype, 43);
    s.check(outcome.empty(), "an unterminated notification is survived", outcome);
    env.report.note(s.receivedFromProgram(skype, "GET CALL 42 PARTNER_DISPNAME", from)
                        ? "the unterminated text was taken as sent (call 42's name was asked for)"
                        : "the unterminated text was dropped");

    sendNotification(s.window(), api, "CALL 43 PARTNER_DISPNAME " + std::string(kLongNameLength, 'N'));
    outcome = survived(s, skype, 44);
    s.check(outcome.empty(), "a 5,000-character caller name is survived", outcome);

    sendEmptyNotification(s.window(), api);
    outcome = survived(s, skype, 45);
    s.check(outcome.empty(), "a notification without data is survived", outcome);
    s.close();
}

void runNoLibraryChecks(Environment& env) {
    Session s(env, "no-library");
    const Workspace& w = env.workspace;
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
    deleteUserValue(kLastTimeKey, kLastTimeValue);
    sim::SkypeClient skype;
    if (!s.check(skype.start(), "the Skype stand-in starts")) return;
    if (!s.start(w.programWithoutLibrary(), w.withoutLibrary)) return;
    const std::optional<RegistryString> lastTime = userString(kLastTimeKey, kLastTimeValue);
    s.check(lastTime && lastTime->type == REG_SZ && lastTime->text == "VOCETTA.DLL",
            "the LastTime record still names VOCETTA.DLL",
            lastTime ? "\"" + lastTime->text + "\"" : "no value");
    const std::string attach = s.waitForAttach(skype, 2);
    s.check(attach.empty(), "it attaches to Skype and shows the handset-absent state", attach);
    const std::string answered = s.ringAndExpectNameRequest(skype, skype.apiWindow(), 501);
    s.check(answered.empty(), "a ringing call is still handled (no handset to ring)", answered);
    s.close();
}

}  // namespace e2e
