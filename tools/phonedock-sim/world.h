// The simulated world the simulator shows: phonedock's own WinMain running on a thread of its own as the
// program's main thread, with the real VOCETTA.DLL it loads, the handset stand-in on winsim's HID bus and
// the Skype stand-in as another program. Everything here is called from one thread (the simulator's); the
// stand-ins and winsim's control calls it uses are thread-safe against the program's threads. What the
// simulator itself does to the world (Skype's life, calls coming in and ending at the far end, the
// handset's plug) goes through here, so the log shows it in its place among Skype's traffic.
#pragma once

#include "event_log.h"
#include "handset/handset.h"
#include "keystroke_text.h"
#include "screen_layout.h"
#include "skype/skype_process.h"
#include "support/program_thread.h"

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace phonedocksim {

struct WorldConfig {
    std::optional<SYSTEMTIME> pinnedClock;  // none: the clock follows real time
    bool startSkype = true;
    bool plugHandset = true;
    std::optional<std::chrono::milliseconds> farEndAnswerDelay = std::chrono::milliseconds(1500);
};

class World {
  public:
    explicit World(const WorldConfig& config);
    ~World();  // stops whatever still runs: the program, Skype, the handset
    World(const World&) = delete;
    World& operator=(const World&) = delete;

    // Starts the program and waits (bounded) until its main window exists and its main thread has handled
    // what it was given. False when that did not come about.
    bool startProgram(std::chrono::milliseconds timeout = testsupport::ProgramThread::kPatience);
    // WM_CLOSE to the main window, then waits (bounded) for WinMain to return and joins its thread. False
    // when the program did not end in time (its thread is then left running).
    bool stopProgram(std::chrono::milliseconds timeout = testsupport::ProgramThread::kPatience);
    HWND mainWindow() const { return program_.MainWindow(); }
    // Waits until the program's main thread has handled everything given to it so far.
    bool settle(std::chrono::milliseconds timeout = testsupport::ProgramThread::kPatience) const {
        return program_.Settle(timeout);
    }

    sim::Handset& handset() { return handset_; }
    sim::SimulatedSkype& skype() { return skype_; }

    // ---- what the user does, each an event in the log ----
    bool startSkype();
    void quitSkype();
    void crashSkype();
    int incomingCall(const std::string& name);     // the call's id; 0: Skype is not running
    int callFromSkype(const std::string& number);  // placed from Skype's own window; the same answer
    bool farEndHangsUp(int callId);
    void plugHandset();
    void pullHandset();
    void toggleHook();
    void togglePlug();
    // The newest call that has not ended, or nothing.
    std::optional<int> newestLiveCall() const;

    // ---- what the user sees ----
    struct Tray {
        int iconId = -1;
        std::string tip;
    };
    std::optional<Tray> tray() const;
    bool skypeAttached() const;  // Skype runs and has the program's main window as its attached client
    std::string skypeSummary() const;
    // Skype's main window as the user sees it ("shown, in front", "minimised", "in the tray", with the
    // selected contact); empty while Skype is not running.
    std::string skypeWindowSummary() const;
    // Fills in everything but the log and the status line.
    void snapshot(ScreenState& state) const;
    // The log lines for the commands, notifications, the simulator's events and keystrokes that came
    // since the last call, in the order they happened.
    std::vector<std::string> newLogLines();
    const std::string& typedText() const { return typed_; }
    // No text of Skype's is still on its way: every record numbered so far is complete.
    bool skypeRecordsComplete() const;

  private:
    const WorldConfig config_;  // first: building it resets the simulated system before the stand-ins exist
    sim::Handset handset_;
    sim::SimulatedSkype skype_;
    testsupport::ProgramThread program_;
    void event(uint64_t mark, const std::string& text);

    EventLog log_;
    size_t keystrokesSeen_ = 0;
    KeystrokeReader keystrokes_;
    std::string typed_;
};

}  // namespace phonedocksim
