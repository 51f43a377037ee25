// A Skype that says exactly what a test tells it to: an API window on a thread of its own, in another
// simulated process, that grants every attach and sends notification texts byte for byte. For the call
// tracker's tests, where the texts matter more than a client's behaviour.
#pragma once

#include <windows.h>
#include <winsim/control.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedSkype {
  public:
    ScriptedSkype() {
        thread_ = std::thread([this] { Run(); });
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return window_ != nullptr; });
    }

    ~ScriptedSkype() {
        PostMessageA(window_, WM_CLOSE, 0, 0);
        thread_.join();
    }

    HWND window() const { return window_; }

    // Sends `bytes` as one WM_COPYDATA to the attached client (none: nothing happens).
    void Send(const std::string& bytes) {
        SendMessageA(window_, kSendMessage, 0, reinterpret_cast<LPARAM>(&bytes));
    }
    void Notify(const std::string& text) { Send(std::string(text.c_str(), text.size() + 1)); }

    // When the command `trigger` arrives, `texts` are sent to the client before the command returns, as a
    // Skype that reports a burst of events while it handles a command: the client's thread, waiting for
    // its command, receives them all.
    void NotifyWhileHandling(const std::string& trigger, std::vector<std::string> texts) {
        std::lock_guard<std::mutex> lock(mutex_);
        trigger_ = trigger;
        burst_ = std::move(texts);
    }

    std::vector<std::string> Commands() {
        std::lock_guard<std::mutex> lock(mutex_);
        return commands_;
    }

    bool WaitForCommands(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(3)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return commands_.size() >= count; });
    }

  private:
    static constexpr UINT kSendMessage = WM_APP + 10;

    void Run() {
        winsim::setCurrentProcessId(3000);
        attachMessage_ = RegisterWindowMessageA("SkypeControlAPIAttach");
        discoverMessage_ = RegisterWindowMessageA("SkypeControlAPIDiscover");
        WNDCLASSA wc{};
        wc.lpfnWndProc = &ScriptedSkype::Procedure;
        wc.lpszClassName = "ScriptedSkypeApi";
        RegisterClassA(&wc);
        HWND window =
            CreateWindowExA(0, "ScriptedSkypeApi", "", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            window_ = window;
        }
        changed_.notify_all();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    }

    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<ScriptedSkype*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
        ScriptedSkype& s = *self;
        if (message == s.discoverMessage_ && s.discoverMessage_ != 0) {
            s.client_ = reinterpret_cast<HWND>(wParam);
            DWORD_PTR result = 0;
            SendMessageTimeoutA(s.client_, s.attachMessage_, reinterpret_cast<WPARAM>(window), 0,
                                SMTO_ABORTIFHUNG, 3000, &result);
            return 0;
        }
        switch (message) {
            case WM_COPYDATA: {
                const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
                std::vector<std::string> burst;
                {
                    std::lock_guard<std::mutex> lock(s.mutex_);
                    s.commands_.emplace_back(static_cast<const char*>(data->lpData));
                    if (!s.trigger_.empty() && s.commands_.back() == s.trigger_) {
                        burst.swap(s.burst_);
                        s.trigger_.clear();
                    }
                    s.changed_.notify_all();
                }
                for (const std::string& text : burst) s.SendToClient(window, text.c_str(), text.size() + 1);
                return 1;
            }
            case kSendMessage: {
                const auto* bytes = reinterpret_cast<const std::string*>(lParam);
                s.SendToClient(window, bytes->data(), bytes->size());
                return 0;
            }
            case WM_DESTROY: PostQuitMessage(0); return 0;
            default: return DefWindowProcA(window, message, wParam, lParam);
        }
    }

    void SendToClient(HWND window, const char* bytes, size_t size) {
        COPYDATASTRUCT data{0, static_cast<DWORD>(size), const_cast<char*>(bytes)};
        DWORD_PTR result = 0;
        SendMessageTimeoutA(client_, WM_COPYDATA, reinterpret_cast<WPARAM>(window),
                            reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, 3000, &result);
    }

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    HWND window_ = nullptr;
    HWND client_ = nullptr;  // its thread's alone
    UINT attachMessage_ = 0;
    UINT discoverMessage_ = 0;
    std::vector<std::string> commands_;
    std::string trigger_;
    std::vector<std::string> burst_;
};
