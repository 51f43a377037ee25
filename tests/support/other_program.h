// Another program with windows, for what crosses a process boundary: the data of a message that travels as
// a copy, another process's window text, timers refused for another program's window. Its windows are
// those of support/peer_windows.h.
//
// On Windows it is a second process, peer_program.exe beside the test program, started with CreateProcess
// and ended on every path (closed, then terminated if it does not go; it also ends by itself when the test's
// process is gone). On winsim it is a thread of the test made another process through winsim's control API.
#pragma once

#include "support/peer_windows.h"

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#include <chrono>
#include <string>
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
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        const std::string self(path, length);
        std::string command;
        command += '"';
        command.append(self, 0, self.find_last_of('\\') + 1);
        command += "peer_program.exe";
        command += '"';
        command += ' ';
        command += std::to_string(GetCurrentProcessId());
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            ADD_FAILURE() << "the other program did not start: " << command << " (error " << GetLastError()
                          << ")";
            return;
        }
        CloseHandle(process_.hThread);
        // Its windows, once both are up (bounded).
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (wide_ == nullptr || ansi_ == nullptr) {
            wide_ = windowOf(kPeerWideClass);
            ansi_ = windowOf(kPeerAnsiClass);
            if (std::chrono::steady_clock::now() > end ||
                WaitForSingleObject(process_.hProcess, 5) == WAIT_OBJECT_0) {
                ADD_FAILURE() << "the other program's windows did not come up";
                wide_ = ansi_ = nullptr;
                return;
            }
        }
    }

    HWND windowOf(const char* className) const {
        for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, className, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process_.dwProcessId) return w;
        }
        return nullptr;
    }

    void stop() {
        if (process_.hProcess == nullptr) return;
        if (wide_ != nullptr) PostMessageA(wide_, WM_CLOSE, 0, 0);
        if (ansi_ != nullptr) PostMessageA(ansi_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
    }

    PROCESS_INFORMATION process_{};
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
