// phonedock run whole on the simulated platform, for the tests, the benchmarks and the simulator: its WinMain
// on a thread of its own, which becomes the program's main thread, with VOCETTA.DLL beside the executable
// and whatever stand-ins the caller has set up. The caller deals with it as the desktop would: it finds the
// main window by its class, waits until the main thread has handled what reached it, and ends the program
// with WM_CLOSE as another program would.
//
// No test framework here: every wait answers whether what it waited for came about, and the caller says
// what that means (a failed test, a broken expectation of a stress run, a failed scenario).
#pragma once

#include <windows.h>
#include <winsim/control.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace testsupport {

// Start, Stop, WaitForEnd and StopOrExit come from one thread, the one that owns this object; the
// questions may come from any.
class ProgramThread {
  public:
    // The bound of every wait unless the caller gives another.
    static constexpr std::chrono::milliseconds kPatience{10000};

    ProgramThread() = default;
    ~ProgramThread();  // StopOrExit
    ProgramThread(const ProgramThread&) = delete;
    ProgramThread& operator=(const ProgramThread&) = delete;

    // The program's entry on the calling thread, started as the shell starts it: no command line, shown
    // normally. Answers its exit code.
    static int RunEntry();

    // Runs the entry on a thread of its own, waits at most `timeout` for the main window, then until the
    // main thread has handled everything given to it: its message loop runs. False when the entry returned
    // first (see Ended), or when the window did not come or the thread did not settle in time.
    bool Start(std::chrono::milliseconds timeout = kPatience);
    // WM_CLOSE to the main window (a program that never made one ends by itself), then WaitForEnd. True at
    // once when no program runs.
    bool Stop(std::chrono::milliseconds timeout = kPatience);
    // Waits at most `timeout` for the entry to return and joins its thread. False when it still runs.
    bool WaitForEnd(std::chrono::milliseconds timeout = kPatience);
    // Stop; a program that does not end in time takes the process down at once (exit code 3, a line on
    // stderr): its thread cannot be joined, and the process must not go on tearing down what that thread
    // still uses.
    void StopOrExit();

    bool Ended() const;          // the entry has returned since the last Start
    int ExitCode() const;        // the entry's result; -1 until it has returned
    DWORD MainThreadId() const;  // 0 until started

    // The main window, found by its class as anything outside the program finds it; null while there is none.
    HWND MainWindow() const;
    // Waits until the main thread has handled everything sent, posted or due to it so far. False when there
    // is no main window or the time ran out.
    bool Settle(std::chrono::milliseconds timeout = kPatience) const;
    // The program's icon in the notification area, found by its id; none while it shows none.
    std::optional<winsim::NotifyIcon> TrayIcon() const;

  private:
    std::thread thread_;
    std::atomic<DWORD> mainThreadId_{0};
    mutable std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;  // guarded by mutex_, as is exitCode_
    int exitCode_ = -1;
};

}  // namespace testsupport
