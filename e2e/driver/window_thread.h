// A window of the driver's on a thread of its own that does nothing but serve its messages, so that the
// program's broadcasts and sends to it never wait on the driver's checks.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

namespace e2e {

class WindowThread {
  public:
    // Runs `create` on the new thread and waits (bounded) until it has answered; window() is null when
    // it made no window.
    explicit WindowThread(std::function<HWND()> create);
    ~WindowThread();  // destroys the window on its own thread, then ends the thread
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    HWND window() const { return window_; }

  private:
    void run(const std::function<HWND()>& create);

    HANDLE ready_;
    HANDLE stop_;
    std::atomic<HWND> window_{nullptr};
    std::thread thread_;
};

}  // namespace e2e
