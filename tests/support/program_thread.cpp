#include "support/program_thread.h"

#include "shell/main_window.h"
#include "shell/tray_icon.h"

#include <cstdio>
#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

namespace testsupport {
namespace {

using Clock = std::chrono::steady_clock;

// Nothing announces the main window: it is looked for again this often while the program starts.
constexpr std::chrono::milliseconds kLookAgain{2};

}  // namespace

ProgramThread::~ProgramThread() {
    StopOrExit();
}

int ProgramThread::RunEntry() {
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
}

bool ProgramThread::Start(std::chrono::milliseconds timeout) {
    if (thread_.joinable()) return false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        finished_ = false;
        exitCode_ = -1;
    }
    mainThreadId_ = 0;
    thread_ = std::thread([this] {
        mainThreadId_ = GetCurrentThreadId();
        const int exitCode = RunEntry();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            exitCode_ = exitCode;
            finished_ = true;
        }
        ended_.notify_all();
    });
    const auto deadline = Clock::now() + timeout;
    while (MainWindow() == nullptr) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (ended_.wait_for(lock, kLookAgain, [this] { return finished_; })) return false;
        if (Clock::now() >= deadline) return false;
    }
    return Settle();
}

bool ProgramThread::Stop(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return true;
    if (const HWND window = MainWindow()) PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitForEnd(timeout);
}

bool ProgramThread::WaitForEnd(std::chrono::milliseconds timeout) {
    if (!thread_.joinable()) return true;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!ended_.wait_for(lock, timeout, [this] { return finished_; })) return false;
    }
    thread_.join();
    return true;
}

void ProgramThread::StopOrExit() {
    if (Stop()) return;
    std::fprintf(stderr, "phonedock did not end within %lld ms of WM_CLOSE\n",
                 static_cast<long long>(kPatience.count()));
    std::fflush(stderr);
    thread_.detach();
    std::quick_exit(3);
}

bool ProgramThread::Ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

int ProgramThread::ExitCode() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return exitCode_;
}

DWORD ProgramThread::MainThreadId() const {
    return mainThreadId_;
}

HWND ProgramThread::MainWindow() const {
    return FindWindowExA(nullptr, nullptr, phonedock::kMainWindowClass, nullptr);
}

bool ProgramThread::Settle(std::chrono::milliseconds timeout) const {
    const HWND window = MainWindow();
    return window != nullptr && winsim::waitUntilIdle(window, static_cast<DWORD>(timeout.count()));
}

std::optional<winsim::NotifyIcon> ProgramThread::TrayIcon() const {
    for (const auto& icon : winsim::notificationArea()) {
        if (icon.id == phonedock::kTrayIconId) return icon;
    }
    return std::nullopt;
}

}  // namespace testsupport
