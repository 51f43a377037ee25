// Another program with windows, for what crosses a process boundary: the data of a message that travels as
// a copy, another process's window text, timers refused for another program's window. Its windows are
// those of support/peer_windows.h.
//
// On Windows it is a second process, peer_program.exe beside the test program (support/child_process.h):
// closed at the end, and ended if it does not go. On winsim it is a thread of the test made another process
// through winsim's control API.
#pragma once

#include "support/peer_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#include "support/child_process.h"
#else
#include <winsim/control.h>

#include <future>
#include <thread>
#endif

namespace winsim_test {

class OtherProgram {
  public:
    OtherProgram() { start(); }
    ~OtherProgram() { stop(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    // Null when the program could not be started (the test has failed then).
    HWND wideWindow() const { return wide_; }
    HWND ansiWindow() const { return ansi_; }

  private:
#ifdef _WIN32
    void start() {
        if (!process_.started()) return;
        wide_ = process_.waitForWindow(kPeerWideClass);
        ansi_ = wide_ != nullptr ? process_.waitForWindow(kPeerAnsiClass) : nullptr;
        if (wide_ == nullptr || ansi_ == nullptr) {
            ADD_FAILURE() << "the other program's windows did not come up";
            wide_ = ansi_ = nullptr;
        }
    }

    void stop() {
        // Closed, it ends by itself once both windows are gone.
        if (wide_ != nullptr) PostMessageA(wide_, WM_CLOSE, 0, 0);
        if (ansi_ != nullptr) PostMessageA(ansi_, WM_CLOSE, 0, 0);
        process_.allowToEnd(5000);
    }

    ChildProcess process_{"peer_program.exe"};
#else
    void start() {
        std::promise<void> up;
        thread_ = std::thread([this, &up] {
            winsim::setCurrentProcessId(2000);
            makePeerWindows(wide_, ansi_);
            threadId_ = GetCurrentThreadId();
            up.set_value();
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        up.get_future().wait();
    }

    void stop() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    std::thread thread_;
    DWORD threadId_ = 0;
#endif
    HWND wide_ = nullptr;
    HWND ansi_ = nullptr;
};

}  // namespace winsim_test
