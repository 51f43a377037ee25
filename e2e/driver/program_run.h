// One run of the program under test as a process of its own, started by the driver.
#pragma once

#include <windows.h>

#include "shell/main_window.h"

#include <chrono>
#include <optional>
#include <string>

namespace e2e {

using phonedock::kMainWindowClass;

class ProgramRun {
  public:
    ProgramRun() = default;
    // A program still running here is ended, so that a failed group leaves nothing to the next one.
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    // Starts `program` in `folder` (its current directory). False, with the reason, when it cannot start.
    bool start(const std::string& program, const std::string& folder, std::string& error);
    // Waits until this process has its main window; null when it ends or the time passes first.
    HWND waitForMainWindow(std::chrono::milliseconds timeout);
    bool running() const;
    // The exit code once the process has ended within `timeout`; nothing while it still runs.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds timeout) const;
    DWORD processId() const { return processId_; }
    // Ends the process at once (only one that this object started).
    void terminate();

  private:
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
};

// The main window (class and title as the program makes it) that belongs to process `processId`.
HWND findMainWindowOf(DWORD processId);
// How many windows of the main window's class and title exist.
size_t countMainWindows();

}  // namespace e2e
