#include "window_thread.h"

namespace e2e {
namespace {

constexpr DWORD kCreateTimeoutMs = 5000;
// The loop looks at the stop event at least this often, whatever arrives.
constexpr DWORD kLoopPeriodMs = 100;

}  // namespace

WindowThread::WindowThread(std::function<HWND()> create)
    : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      stop_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this, create = std::move(create)] { run(create); });
    WaitForSingleObject(ready_, kCreateTimeoutMs);
}

WindowThread::~WindowThread() {
    SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    CloseHandle(stop_);
    CloseHandle(ready_);
}

void WindowThread::run(const std::function<HWND()>& create) {
    const HWND window = create();
    window_ = window;
    SetEvent(ready_);
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        const DWORD woke = MsgWaitForMultipleObjects(1, &stop_, FALSE, kLoopPeriodMs, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) break;
    }
    window_ = nullptr;
    if (window != nullptr) DestroyWindow(window);
}

}  // namespace e2e
