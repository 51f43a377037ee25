// The real phonedock.exe as a user runs it, for the benchmarks under Wine: started from the build's folder
// (beside its VOCETTA.DLL), with the Skype stand-in and the notification area played by this process, and
// attached to Skype with the virtual handset present.
#pragma once

#include "program_run.h"
#include "tray_standin.h"
#include "wine_facts.h"

#include "skype/skype_client.h"

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace winebench {

// The icon tips that tell the program's state from outside.
constexpr const char* kTipReady = "USB Device Driver (Skype Feature-Enabled)";
constexpr const char* kTipNoHandset = "USB Device Driver (Please Connect USB Phone)";

class AttachedProgram {
  public:
    explicit AttachedProgram(std::string binFolder);
    ~AttachedProgram();  // closes the program if it still runs
    AttachedProgram(const AttachedProgram&) = delete;
    AttachedProgram& operator=(const AttachedProgram&) = delete;

    // Starts the Skype stand-in, then phonedock.exe, and waits until the program is attached and its icon
    // says it is ready (so the handset must be plugged in). False, with the reason, when any of it failed.
    bool Start(std::string& error);
    // Another program's WM_CLOSE; the program is ended by force when it has not gone within a few seconds.
    // Answers whether it ended by itself with exit code 0.
    bool Close();

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return run_.processId(); }
    sim::SkypeClient& Skype() { return skype_; }
    // The program's icon messages so far, and a wait for one after the first `from` that sets `tip`.
    size_t TrayCount() const;
    bool WaitForTip(const char* tip, size_t from, std::chrono::milliseconds timeout) const;

  private:
    std::string binFolder_;
    e2e::TrayStandIn tray_;
    sim::SkypeClient skype_;
    e2e::ProgramRun run_;
    HWND window_ = nullptr;
};

}  // namespace winebench
