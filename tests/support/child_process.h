// A program built beside the test program, started for one test and ended on every path: the peers of the
// cross-process tests on Windows (support/other_program.h, support/skype_peer.cpp). Each is given the test's
// process id as its first argument and ends by itself once the test's process is gone, so a test that dies
// leaves nothing behind.
#pragma once

#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <string>

namespace winsim_test {

class ChildProcess {
  public:
    // Starts `program` (an .exe in the test program's folder); a failure fails the test.
    explicit ChildProcess(const char* program) {
        char path[MAX_PATH];
        const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
        const std::string self(path, length);
        std::string command;
        command += '"';
        command.append(self, 0, self.find_last_of('\\') + 1);
        command += program;
        command += '"';
        command += ' ';
        command += std::to_string(GetCurrentProcessId());
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process_)) {
            ADD_FAILURE() << "could not start " << command << " (error " << GetLastError() << ")";
            process_ = {};
            return;
        }
        CloseHandle(process_.hThread);
    }
    // Waits (bounded) for it to end by itself, then ends it.
    ~ChildProcess() {
        if (process_.hProcess == nullptr) return;
        if (WaitForSingleObject(process_.hProcess, endWaitMs_) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    bool ended() const { return !started() || WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }
    DWORD processId() const { return process_.dwProcessId; }
    // How long the destructor lets it end by itself (after it was told to) before ending it.
    void allowToEnd(DWORD milliseconds) { endWaitMs_ = milliseconds; }

    // The first top-level window of that class that belongs to it, or null.
    HWND windowOf(const char* className) const {
        for (HWND w = FindWindowExA(nullptr, nullptr, className, nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, className, nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == process_.dwProcessId) return w;
        }
        return nullptr;
    }

    // That window once it is up: waits up to `milliseconds`, and no longer once the program has ended.
    // Null when it never came.
    HWND waitForWindow(const char* className, DWORD milliseconds = 10000) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            if (HWND window = windowOf(className)) return window;
            if (std::chrono::steady_clock::now() > end || ended()) return nullptr;
            Sleep(5);
        }
    }

  private:
    PROCESS_INFORMATION process_{};
    DWORD endWaitMs_ = 0;
};

}  // namespace winsim_test
#endif
