// A tiny client of the Skype stand-in for its tests, in plain Win32: a window on the thread that makes it,
// which broadcasts Discover, records the Attach messages and the texts sent to it, and sends commands as
// WM_COPYDATA. Use it on one thread only; its waits serve that thread's messages.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#ifdef _WIN32
#include "skype/skype_client.h"
#else
#include "skype/skype_process.h"
#endif

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace skype_test {

using namespace std::chrono_literals;

// Skype as the tests meet it: on winsim a simulated process of its own; on Windows a thread of the test's
// process, which the tests cannot tell from another program through its windows and messages.
#ifdef _WIN32
using Skype = sim::SkypeClient;
#else
using Skype = sim::SimulatedSkype;
#endif

class TestClient {
  public:
    struct Attach {
        HWND skype;
        LPARAM status;
    };

    TestClient() {
        attachMessage_ = RegisterWindowMessageA("SkypeControlAPIAttach");
        discoverMessage_ = RegisterWindowMessageA("SkypeControlAPIDiscover");
        WNDCLASSA wc{};
        wc.lpfnWndProc = procedure;
        wc.lpszClassName = "SkypeTestClient";
        RegisterClassA(&wc);  // already there for a second client
        window_ =
            CreateWindowExA(0, "SkypeTestClient", "client", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, this);
    }
    ~TestClient() { DestroyWindow(window_); }
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    HWND window() const { return window_; }
    const std::vector<Attach>& attaches() const { return attaches_; }
    const std::vector<std::string>& texts() const { return texts_; }
    // Skype's API window from the last Attach with status 0.
    HWND skype() const { return skype_; }
    // Called for every text received, inside its WM_COPYDATA.
    void onText(std::function<void(const std::string&)> handler) { onText_ = std::move(handler); }

    void discover() {
        SendMessageTimeoutA(HWND_BROADCAST, discoverMessage_, reinterpret_cast<WPARAM>(window_), 0,
                            SMTO_ABORTIFHUNG, 3000, nullptr);
    }

    // One command, its NUL counted, to `to` (default: skype()); answers whether it was taken.
    bool send(const std::string& text, HWND to = nullptr) {
        std::string copy = text;
        COPYDATASTRUCT data{0, static_cast<DWORD>(copy.size() + 1), copy.data()};
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(to != nullptr ? to : skype_, WM_COPYDATA,
                                   reinterpret_cast<WPARAM>(window_), reinterpret_cast<LPARAM>(&data),
                                   SMTO_ABORTIFHUNG, 3000, &result) != 0 &&
               result == TRUE;
    }

    bool sawText(const std::string& text, size_t from = 0) const {
        for (size_t i = from; i < texts_.size(); ++i) {
            if (texts_[i] == text) return true;
        }
        return false;
    }

    // Serves this thread's messages until `condition` holds or `timeout` passes.
    bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 3s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
            if (condition()) return true;
            if (std::chrono::steady_clock::now() >= deadline) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    bool waitForText(const std::string& text, size_t from = 0, std::chrono::milliseconds timeout = 3s) {
        return waitUntil([&] { return sawText(text, from); }, timeout);
    }
    bool waitForAttach(LPARAM status, std::chrono::milliseconds timeout = 3s) {
        return waitUntil(
            [&] {
                for (const Attach& a : attaches_) {
                    if (a.status == status) return true;
                }
                return false;
            },
            timeout);
    }

  private:
    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<TestClient*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self != nullptr && message == self->attachMessage_) {
            self->attaches_.push_back({reinterpret_cast<HWND>(wParam), lParam});
            if (lParam == 0) self->skype_ = reinterpret_cast<HWND>(wParam);
            return 1;
        }
        if (self != nullptr && message == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            EXPECT_EQ(data->dwData, 0u);
            if (data->cbData == 0 || static_cast<const char*>(data->lpData)[data->cbData - 1] != '\0') {
                ADD_FAILURE() << "a text without its NUL counted";
                return TRUE;
            }
            std::string text(static_cast<const char*>(data->lpData), data->cbData - 1);
            self->texts_.push_back(text);
            if (self->onText_) self->onText_(text);
            return TRUE;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    UINT attachMessage_ = 0;
    UINT discoverMessage_ = 0;
    HWND window_ = nullptr;
    HWND skype_ = nullptr;
    std::vector<Attach> attaches_;
    std::vector<std::string> texts_;
    std::function<void(const std::string&)> onText_;
};

}  // namespace skype_test
