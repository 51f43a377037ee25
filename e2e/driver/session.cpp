#include "session.h"

#include "notify.h"
#include "registry.h"
#include "waiting.h"
#include "shell/tray_icon.h"

#include <algorithm>
#include <shellapi.h>

namespace e2e {

bool Session::start(const std::string& program, const std::string& folder) {
    std::string error;
    if (!program_.start(program, folder, error)) return check(false, "the program starts", error);
    window_ = program_.waitForMainWindow(kStartTimeout);
    return check(window_ != nullptr, "the program starts",
                 program_.running()
                     ? "no main window of class " + std::string(kMainWindowClass) + " after 15 s"
                     : "the process ended without a main window");
}

bool Session::startAttached(sim::SkypeClient& skype) {
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
    if (!check(skype.start(), "the Skype stand-in starts")) return false;
    if (!start(env_.workspace.program(), env_.workspace.withLibrary)) return false;
    // The first two icon messages are the program's own at start-up; the attach refreshes after them.
    const std::string attach = waitForAttach(skype, 2);
    if (!check(attach.empty(), "the program attaches", attach)) {
        close();
        return false;
    }
    return true;
}

bool Session::check(bool passed, const std::string& check, const std::string& reason) {
    return env_.report.check(passed, name(check), reason);
}

std::optional<TrayMessage> Session::waitForTip(const std::string& tip, size_t from,
                                               std::chrono::milliseconds timeout) {
    std::optional<TrayMessage> found;
    waitFor(
        [&] {
            const std::vector<TrayMessage> messages = trayMessages();
            for (size_t i = from; i < messages.size(); ++i) {
                if (messages[i].tip == tip) {
                    found = messages[i];
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

std::string Session::pictureMismatch(const TrayMessage& message, int id) const {
    const auto icon = env_.icons.find(id);
    if (icon == env_.icons.end()) return "icon " + std::to_string(id) + " could not be loaded for comparison";
    if (message.picture.empty()) return "the message carries no picture";
    if (message.picture != icon->second) {
        return "the picture (" + std::to_string(message.width) + "x" + std::to_string(message.height) + ", " +
               std::to_string(message.bitsPerPixel) + " bpp) is not icon " + std::to_string(id);
    }
    return {};
}

std::string Session::waitForAttach(const sim::SkypeClient& skype, size_t trayFrom) {
    const HWND window = window_;
    const bool attached = skype.waitUntil(
        [&] {
            const std::vector<HWND> clients = skype.attachedClients();
            return std::find(clients.begin(), clients.end(), window) != clients.end();
        },
        kAttachTimeout);
    if (!attached) return "Skype never answered a Discover from the program's window with status 0";
    // Attached, the program refreshes its icon; without a handset that is the handset-absent state.
    if (!waitForTip(kTipNoHandset, trayFrom, kAttachTimeout)) {
        return "the program did not refresh its icon after the attach (no \"" + std::string(kTipNoHandset) +
               "\")";
    }
    return {};
}

std::string Session::ringAndExpectNameRequest(const sim::SkypeClient& skype, HWND from, int callId) {
    const std::string id = std::to_string(callId);
    const size_t before = skype.commands().size();
    if (!sendNotification(window_, from, "CALL " + id + " STATUS RINGING")) {
        return "the program's window did not take CALL " + id + " STATUS RINGING";
    }
    const std::string request = "GET CALL " + id + " PARTNER_DISPNAME";
    const HWND window = window_;
    const bool asked =
        skype
            .waitForCommand(
                [&](const sim::SkypeCommand& c) { return c.text == request && c.sender == window; },
                kAnswerTimeout, before)
            .has_value();
    if (!asked) return "no " + request + " within 3 s";
    return {};
}

bool Session::receivedFromProgram(const sim::SkypeClient& skype, const std::string& text, size_t from) const {
    const std::vector<sim::SkypeCommand> commands = skype.commands();
    for (size_t i = from; i < commands.size(); ++i) {
        if (commands[i].text == text && commands[i].sender == window_) return true;
    }
    return false;
}

void Session::close() {
    PostMessageA(window_, WM_CLOSE, 0, 0);
    const std::optional<DWORD> code = program_.waitForExit(kExitTimeout);
    if (!code) {
        check(false, "WM_CLOSE ends the program with exit code 0", "still running 6 s after WM_CLOSE");
        program_.terminate();
        return;
    }
    check(*code == 0, "WM_CLOSE ends the program with exit code 0", "exit code " + std::to_string(*code));
    const std::vector<TrayMessage> messages = trayMessages();
    const bool removed = !messages.empty() && messages.back().message == NIM_DELETE &&
                         messages.back().id == phonedock::kTrayIconId;
    check(removed, "the icon is removed at the end",
          messages.empty() ? "the program never used the notification area"
                           : "the last icon message was not NIM_DELETE of the program's icon");
}

}  // namespace e2e
