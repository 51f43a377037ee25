// Start-up with Skype already running: the hidden main window, the LastTime record, Skype's start command,
// the first icon states and the attach; then a second copy, which must leave the first alone.
#include "checks.h"
#include "registry.h"
#include "waiting.h"
#include "shell/tray_icon.h"

#include <shellapi.h>

namespace e2e {
namespace {

constexpr auto kMarkTimeout = 5s;
// How long a second start of Skype's command would take to show, were it made.
constexpr auto kSecondMarkSettle = 1500ms;

std::string skypeCommandLine(const Workspace& w) {
    return "\"" + w.markProgram + "\" /nosplash";
}

void checkLastTime(Session& s) {
    const std::optional<RegistryString> lastTime = userString(kLastTimeKey, kLastTimeValue);
    if (!lastTime) {
        s.check(false, "the LastTime record holds VOCETTA.DLL",
                "no value \"USB PHONE\" under HKCU\\" + std::string(kLastTimeKey));
        return;
    }
    const bool right =
        lastTime->type == REG_SZ && lastTime->text == "VOCETTA.DLL" && lastTime->byteCount == 12;
    s.check(right, "the LastTime record holds VOCETTA.DLL",
            "type " + std::to_string(lastTime->type) + ", " + std::to_string(lastTime->byteCount) +
                " bytes, text \"" + lastTime->text + "\"");
}

void checkFirstIcons(Session& s) {
    const std::vector<TrayMessage> m = s.env().tray.waitForMessages(s.window(), 2, kAnswerTimeout);
    if (m.size() < 2) {
        s.check(false, "the icon is added as \"Tarvix\", then shows the Skype-not-attached state",
                std::to_string(m.size()) + " icon messages");
        return;
    }
    const bool added = m[0].message == NIM_ADD && m[0].id == phonedock::kTrayIconId &&
                       m[0].flags == (NIF_MESSAGE | NIF_ICON | NIF_TIP) &&
                       m[0].callbackMessage == WM_USER + 5 && m[0].tip == kTipFirst;
    const bool refreshed = m[1].message == NIM_MODIFY && m[1].id == phonedock::kTrayIconId &&
                           m[1].flags == (NIF_ICON | NIF_TIP) && m[1].tip == kTipNoSkype;
    s.check(added && refreshed, "the icon is added as \"Tarvix\", then shows the Skype-not-attached state",
            "first: message " + std::to_string(m[0].message) + " flags " + std::to_string(m[0].flags) +
                " tip \"" + m[0].tip + "\"; then: message " + std::to_string(m[1].message) + " tip \"" +
                m[1].tip + "\"");
    const std::string first = s.pictureMismatch(m[0], kIconNoSkype);
    const std::string second = s.pictureMismatch(m[1], kIconNoSkype);
    s.check(first.empty() && second.empty(), "both show icon 131", first.empty() ? second : first);
}

void checkSkypeStartedOnce(Session& s) {
    const Workspace& w = s.env().workspace;
    waitFor([&] { return !readLines(w.marksFile).empty(); }, kMarkTimeout);
    Sleep(static_cast<DWORD>(std::chrono::milliseconds(kSecondMarkSettle).count()));
    const std::vector<std::string> marks = readLines(w.marksFile);
    s.check(marks.size() == 1 && marks[0] == "/nosplash", "Skype's start command (SkypePath) runs once",
            marks.empty() ? "it never ran"
                          : std::to_string(marks.size()) + " runs, the first with \"" + marks[0] + "\"");
}

// A second start while the program runs: it must end at once and leave the first copy alone.
void checkSecondCopy(Session& s) {
    const Workspace& w = s.env().workspace;
    const size_t trayBefore = s.env().tray.messageCount();
    setUserString(kLastTimeKey, kLastTimeValue, "untouched");

    ProgramRun second;
    std::string error;
    if (!s.check(second.start(w.program(), w.withLibrary, error), "a second copy can be started", error))
        return;
    const std::optional<DWORD> code = second.waitForExit(kExitTimeout);
    s.check(code.has_value() && *code == 0, "a second copy exits at once with code 0",
            code ? "exit code " + std::to_string(*code) : "still running after 6 s");
    const std::optional<RegistryString> lastTime = userString(kLastTimeKey, kLastTimeValue);
    s.check(countMainWindows() == 1 && lastTime && lastTime->text == "untouched" &&
                s.env().tray.messageCount() == trayBefore && findMainWindowOf(second.processId()) == nullptr,
            "the second copy leaves no window, icon or LastTime record behind",
            std::to_string(countMainWindows()) + " main windows, LastTime \"" +
                (lastTime ? lastTime->text : "") + "\", " +
                std::to_string(s.env().tray.messageCount() - trayBefore) + " new icon messages");
    DWORD_PTR result = 0;
    const bool answers = SendMessageTimeoutA(s.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
    s.check(s.program().running() && answers, "the first copy runs on and answers",
            s.program().running() ? "its window does not answer" : "it has ended");
}

}  // namespace

void runStartupChecks(Environment& env) {
    Session s(env, "startup");
    const Workspace& w = env.workspace;
    const std::string command = skypeCommandLine(w);
    deleteUserValue(kLastTimeKey, kLastTimeValue);
    removeFile(w.marksFile);
    // The program reads the setting into 100 bytes; a longer one would not be run at all.
    if (!s.check(command.size() < 100, "Skype's start command fits the program's buffer",
                 "\"" + command + "\" is longer than 99 characters") ||
        !s.check(setUserString(kSkypePhoneKey, kSkypePathValue, command), "Skype's start command is set up",
                 "cannot write HKCU\\" + std::string(kSkypePhoneKey))) {
        return;
    }

    sim::SkypeClient skype;
    if (!s.check(skype.start(), "the Skype stand-in starts")) return;
    if (!s.start(w.program(), w.withLibrary)) return;

    s.check(!IsWindowVisible(s.window()),
            "the main window (TarvixWindowClass20041118, Tarvix@phone) is hidden");
    checkLastTime(s);
    checkFirstIcons(s);

    // Skype was there first: the program's own Discover at start-up is what attaches it.
    const std::string attach = s.waitForAttach(skype, 2);
    s.check(attach.empty(), "the program attaches to the running Skype and shows the handset-absent state",
            attach);
    if (const auto last = s.waitForTip(kTipNoHandset, 2, 0ms)) {
        s.check(s.pictureMismatch(*last, kIconNoHandset).empty(), "the handset-absent state shows icon 130",
                s.pictureMismatch(*last, kIconNoHandset));
    }
    const std::string answered = s.ringAndExpectNameRequest(skype, skype.apiWindow(), 101);
    s.check(answered.empty(), "a notification from Skype's API window is acted on", answered);
    const std::vector<HWND> discoveries = skype.discoveries();
    s.check(discoveries.size() == 1 && discoveries[0] == s.window(),
            "Skype running first got one Discover, from the main window",
            std::to_string(discoveries.size()) + " Discover requests");
    checkSecondCopy(s);
    checkSkypeStartedOnce(s);  // and not by the second copy

    s.close();
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
}

}  // namespace e2e
