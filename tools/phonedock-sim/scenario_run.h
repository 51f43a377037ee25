// One scripted run of the simulated world, written as a transcript: the steps taken, what Skype was told
// and told the program, LCD snapshots, and each expectation with its outcome. Every wait is bounded; a
// failed expectation says what was seen instead and the run goes on, so one transcript shows every fault.
#pragma once

#include "handset/keypad.h"
#include "world.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace phonedocksim {

class ScenarioRun {
  public:
    // How long an expectation waits for its condition.
    static constexpr std::chrono::milliseconds kPatience{5000};

    ScenarioRun(World& world, std::ostream& out);

    World& world() { return world_; }
    sim::Handset& handset() { return world_.handset(); }
    sim::SimulatedSkype& skype() { return world_.skype(); }

    // Starts the program; checks that its main window appeared.
    bool startProgram();
    // A step of the script, as a heading in the transcript (after the log lines that came before it).
    void step(const std::string& text);
    // Waits until `condition` holds; prints the check and "ok", or "FAILED" and `seen()`.
    bool expect(const std::string& what, const std::function<bool()>& condition,
                const std::function<std::string()>& seen);
    // Shorthands for what scenarios look at.
    bool expectCommand(const std::string& text);  // Skype received it since the last expectCommand
    bool expectTray(int iconId, const std::string& tip);
    bool expectDisplay(const std::string& lower);  // the lower row of the LCD
    bool expectRinger(bool on);
    bool expectBacklight(bool on);
    bool expectIndicator(bool on);
    bool expectBars(int level);
    bool expectTyped(const std::string& text);         // the keystrokes typed so far, read as text
    bool expectSkypeWindow(sim::MainWindowShow show);  // shown normally means in front as well
    bool expectEditField(const std::string& text);     // Skype's edit field
    bool expectCallStatus(int callId, sim::CallStatus status);
    bool expectDtmf(int callId, const std::string& digits);  // every DTMF Skype took for the call
    // Skype sent the program `text` since record `from` (a sequence number), and the program took it.
    bool expectSent(const std::string& text, uint64_t from);
    // Skype answered `answer` since record `from`, and no text it sent meanwhile was an error.
    bool expectAnswerWithoutError(const std::string& answer, uint64_t from);
    // Skype received no `text` from command `from` (an index) on. Something later must have been seen first,
    // so that the program cannot still be about to send it.
    bool expectNoCommandSince(const std::string& text, size_t from);
    // The handset's ringer was not switched on since ringerSwitchedOnCount() was `rings`.
    bool expectNoRingSince(size_t rings);

    // The user presses a handset key and lets go of it shortly after, as the real keypad reports it.
    void tap(sim::Key key);
    // The program's 2 s timer falls due once (the clock is pinned in scenarios).
    void tick();
    // Waits until the program has handled everything that reached it; a failure when it does not in time.
    void settle();
    // The LCD as drawn, and its one-line reading.
    void showLcd();
    // New commands, notifications and keystrokes, as log lines.
    void flushLog();

    int failures() const { return failures_; }

  private:
    World& world_;
    std::ostream& out_;
    int failures_ = 0;
    size_t commandMark_ = 0;
};

}  // namespace phonedocksim
