// Helpers for the window and message tests: a record of what window procedures saw, and a thread that owns
// a window and runs a message loop.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace winsim_test {

// What the recording procedures saw, from any thread.
struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    DWORD threadId;
};

class MessageLog {
  public:
    void add(HWND hwnd, UINT message, WPARAM wParam) {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.push_back({hwnd, message, wParam, GetCurrentThreadId()});
    }
    std::vector<Seen> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }
    std::vector<Seen> only(UINT message) const {
        std::vector<Seen> found;
        for (const Seen& s : all()) {
            if (s.message == message) found.push_back(s);
        }
        return found;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        seen_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};

inline MessageLog& messageLog() {
    static MessageLog l;
    return l;
}

// Records every message and leaves the rest to DefWindowProcA.
inline LRESULT CALLBACK recordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog().add(hwnd, message, wParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline void registerClass(const char* name, WNDPROC proc, int extraBytes = 0) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = extraBytes;
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

inline HWND makeWindow(const char* className, HWND parent = nullptr, DWORD style = 0,
                       const char* title = "") {
    return CreateWindowExA(0, className, title, style, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
}

// A thread that runs `setUp` (which creates its windows), then a GetMessageA loop until WM_QUIT. The
// destructor ends the loop and joins the thread.
class LoopThread {
  public:
    explicit LoopThread(std::function<void()> setUp) {
        std::promise<DWORD> started;
        auto id = started.get_future();
        thread_ = std::thread([setUp = std::move(setUp), &started] {
            setUp();
            started.set_value(GetCurrentThreadId());
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        threadId_ = id.get();
    }
    ~LoopThread() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    DWORD threadId() const { return threadId_; }

  private:
    std::thread thread_;
    DWORD threadId_ = 0;
};

inline long long millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

}  // namespace winsim_test
