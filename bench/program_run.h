// The whole program on the simulated platform, as the benchmarks run it: its WinMain on a thread of its own
// (the program's main thread), the real VOCETTA.DLL beside it, the handset stand-in plugged in, the Skype
// stand-in running with a tap on its API window, and a USB audio device for playback and recording. The
// simulated clock follows real time, so the program's watchdog timer ticks as it would on a desktop.
#pragma once

#include "handset/handset.h"
#include "skype/skype_process.h"
#include "skype_tap.h"
#include "stress_report.h"
#include "support/program_thread.h"

#include <windows.h>

#include <memory>

namespace bench {

class ProgramRun {
  public:
    static constexpr const char* kAudioDevice = "USB Audio Device";

    // Starts everything and returns once the program has attached to Skype and has nothing left to do; what
    // did not come about is counted in `report`. See Started().
    ProgramRun(StressReport& report, sim::HandsetConfig handsetConfig);
    ~ProgramRun();  // closes the program as another program would (WM_CLOSE), then Skype
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    bool Started() const { return started_; }
    sim::Handset& Handset() { return *handset_; }
    sim::SimulatedSkype& Skype() { return *skype_; }
    SkypeTap& Tap() { return *tap_; }
    HWND MainWindow() const { return program_.MainWindow(); }
    DWORD MainThreadId() const { return program_.MainThreadId(); }
    // Waits until the main thread has handled everything given to it so far.
    bool Settle() const { return program_.Settle(); }

  private:
    std::unique_ptr<sim::Handset> handset_;
    std::unique_ptr<sim::SimulatedSkype> skype_;
    std::unique_ptr<SkypeTap> tap_;
    testsupport::ProgramThread program_;
    bool started_ = false;
};

}  // namespace bench
