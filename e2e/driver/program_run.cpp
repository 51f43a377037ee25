#include "program_run.h"

#include "waiting.h"

#include <vector>

namespace e2e {

ProgramRun::~ProgramRun() {
    if (process_ == nullptr) return;
    if (running()) terminate();
    CloseHandle(process_);
}

bool ProgramRun::start(const std::string& program, const std::string& folder, std::string& error) {
    std::vector<char> commandLine;
    const std::string quoted = "\"" + program + "\"";
    commandLine.assign(quoted.begin(), quoted.end());
    commandLine.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        error = "CreateProcessA failed with error " + std::to_string(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return true;
}

HWND ProgramRun::waitForMainWindow(std::chrono::milliseconds timeout) {
    HWND window = nullptr;
    waitFor(
        [&] {
            window = findMainWindowOf(processId_);
            return window != nullptr || !running();
        },
        timeout);
    return window;
}

bool ProgramRun::running() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ProgramRun::waitForExit(std::chrono::milliseconds timeout) const {
    if (process_ == nullptr) return std::nullopt;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

void ProgramRun::terminate() {
    if (process_ == nullptr) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
}

HWND findMainWindowOf(DWORD processId) {
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kMainWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId) return window;
    }
    return nullptr;
}

size_t countMainWindows() {
    size_t count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kMainWindowClass, nullptr)) != nullptr) ++count;
    return count;
}

}  // namespace e2e
