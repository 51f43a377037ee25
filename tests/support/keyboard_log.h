// The keystrokes injected with keybd_event, as the system took them in. On winsim that is its log of
// keybd_event input. On Windows it is a low-level keyboard hook, on a thread of its own that serves it (the
// system calls such a hook through its thread's message loop, and a thread that injects keys cannot serve
// it at the same time), from construction until the log is destroyed.
#pragma once

#include <windows.h>

#include <vector>

#ifdef _WIN32
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#else
#include <winsim/control.h>
#endif

namespace winsim_test {

struct Keystroke {
    BYTE virtualKey = 0;
    BYTE scanCode = 0;
    DWORD flags = 0;  // KEYEVENTF_KEYUP, KEYEVENTF_EXTENDEDKEY
    ULONG_PTR extraInfo = 0;
    DWORD time = 0;  // GetTickCount() when it was taken in
};

class KeyboardLog {
  public:
#ifdef _WIN32
    KeyboardLog() {
        std::promise<bool> installed;
        thread_ = std::thread([this, &installed] {
            active() = this;
            hook_ = SetWindowsHookExA(WH_KEYBOARD_LL, record, GetModuleHandleA(nullptr), 0);
            threadId_ = GetCurrentThreadId();
            installed.set_value(hook_ != nullptr);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
            if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
        });
        hooked_ = installed.get_future().get();
    }
    ~KeyboardLog() {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        active() = nullptr;
    }
    bool hooked() const {
        return hooked_;
    }

    std::vector<Keystroke> keystrokes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return keys_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        keys_.clear();
    }
    // Waits (real time) until the log holds at least `count` keystrokes; false when the time ran out first.
    bool waitFor(size_t count, DWORD milliseconds) const {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (keystrokes().size() < count) {
            if (std::chrono::steady_clock::now() >= end) return false;
            Sleep(2);
        }
        return true;
    }
#else
    KeyboardLog() = default;
    bool hooked() const {
        return true;
    }
    std::vector<Keystroke> keystrokes() const {
        std::vector<Keystroke> keys;
        for (const auto& k : winsim::keyboardInput()) {
            keys.push_back({k.virtualKey, k.scanCode, k.flags, k.extraInfo, k.time});
        }
        return keys;
    }
    void clear() {
        winsim::clearKeyboardInput();
    }
    bool waitFor(size_t count, DWORD milliseconds) const {
        return winsim::waitForKeyboardInput(count, milliseconds);
    }
#endif
    KeyboardLog(const KeyboardLog&) = delete;
    KeyboardLog& operator=(const KeyboardLog&) = delete;

  private:
#ifdef _WIN32
    static KeyboardLog*& active() {
        static KeyboardLog* log = nullptr;
        return log;
    }

    static LRESULT CALLBACK record(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HC_ACTION && active() != nullptr) {
            const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
            DWORD flags = 0;
            if (k->flags & LLKHF_UP) flags |= KEYEVENTF_KEYUP;
            if (k->flags & LLKHF_EXTENDED) flags |= KEYEVENTF_EXTENDEDKEY;
            std::lock_guard<std::mutex> lock(active()->mutex_);
            active()->keys_.push_back({static_cast<BYTE>(k->vkCode), static_cast<BYTE>(k->scanCode), flags,
                                       k->dwExtraInfo, k->time});
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    std::thread thread_;
    DWORD threadId_ = 0;
    HHOOK hook_ = nullptr;
    bool hooked_ = false;
    mutable std::mutex mutex_;
    std::vector<Keystroke> keys_;
#endif
};

}  // namespace winsim_test
