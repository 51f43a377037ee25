// What every group of checks shares: the run's surroundings (report, folders, notification area, the
// program's icon pictures) and one run of the program, started and ended by the group.
#pragma once

#include "icon_pictures.h"
#include "program_run.h"
#include "report.h"
#include "tray_standin.h"
#include "workspace.h"

#include "skype/skype_client.h"

#include <windows.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

using namespace std::chrono_literals;

constexpr auto kStartTimeout = 15s;  // the first start of a program under Wine is slow
constexpr auto kExitTimeout = 6s;
constexpr auto kAnswerTimeout = 3s;  // a command in answer to a notification
constexpr auto kAttachTimeout = 5s;
// The program looks for a vanished Skype every 2 s; a little more for the look to be made.
constexpr auto kWatchdogTimeout = 4500ms;

constexpr int kIconAttached = 129;
constexpr int kIconNoHandset = 130;
constexpr int kIconNoSkype = 131;
constexpr const char* kTipFirst = "Tarvix";
constexpr const char* kTipAttached = "USB Device Driver (Skype Feature-Enabled)";
constexpr const char* kTipNoHandset = "USB Device Driver (Please Connect USB Phone)";
constexpr const char* kTipNoSkype = "USB Device Driver (Please Launch Skype)";

constexpr const char* kLastTimeKey = "Software\\Zentary\\DLL\\LastTime";
constexpr const char* kLastTimeValue = "USB PHONE";
constexpr const char* kSkypePhoneKey = "SOFTWARE\\Skype\\Phone";
constexpr const char* kSkypePathValue = "SkypePath";

struct Environment {
    Report& report;
    const Workspace& workspace;
    TrayStandIn& tray;
    std::map<int, IconPicture> icons;  // 129, 130 and 131 from phonedock.exe
};

class Session {
  public:
    Session(Environment& env, std::string group) : env_(env), group_(std::move(group)) {}

    // Starts the program and waits for its main window (a check of its own). False when it did not come.
    bool start(const std::string& program, const std::string& folder);
    // The usual beginning of a group: no Skype start command, `skype` started, the program with its library
    // started and attached to it (each a check of its own). False, with the program closed again, when one
    // of them failed.
    bool startAttached(sim::SkypeClient& skype);
    HWND window() const { return window_; }
    ProgramRun& program() { return program_; }
    Environment& env() { return env_; }

    std::string name(const std::string& check) const { return group_ + ": " + check; }
    bool check(bool passed, const std::string& check, const std::string& reason = "");

    // The program's icon messages so far.
    std::vector<TrayMessage> trayMessages() const { return env_.tray.messagesOf(window_); }
    // Waits for an icon message after the first `from` that sets `tip`; answers it.
    std::optional<TrayMessage> waitForTip(const std::string& tip, size_t from,
                                          std::chrono::milliseconds timeout);
    // Whether a message's picture is icon resource `id` of the program. Empty when it is; else why not.
    std::string pictureMismatch(const TrayMessage& message, int id) const;

    // Waits until `skype` counts the program among its attached clients and the program has refreshed its
    // icon after the first `trayFrom` messages (what it does once the attach has come through). Empty on
    // success; else what is missing.
    std::string waitForAttach(const sim::SkypeClient& skype, size_t trayFrom);
    // Skype's "CALL <id> STATUS RINGING" from `from`; empty when the program asks for the caller's name
    // in time, else why not.
    std::string ringAndExpectNameRequest(const sim::SkypeClient& skype, HWND from, int callId);
    // Whether Skype received `text` from the program, among its commands from index `from` on.
    bool receivedFromProgram(const sim::SkypeClient& skype, const std::string& text, size_t from = 0) const;

    // Another program's WM_CLOSE: the program must end with exit code 0 and take its icon away.
    void close();

  private:
    Environment& env_;
    std::string group_;
    ProgramRun program_;
    HWND window_ = nullptr;
};

}  // namespace e2e
