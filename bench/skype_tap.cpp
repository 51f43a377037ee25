#include "skype_tap.h"

#include <winsim/control.h>

#include <algorithm>
#include <functional>
#include <thread>

namespace bench {
namespace {

SkypeTap* installed = nullptr;  // set before the procedure is in place, cleared after it is gone

// Runs `work` on a thread of process `processId`: only the window's own process may replace its procedure.
void RunInProcess(DWORD processId, const std::function<void()>& work) {
    std::thread thread([&] {
        winsim::setCurrentProcessId(processId);
        work();
    });
    thread.join();
}

constexpr DWORD kSendTimeoutMs = 3000;

}  // namespace

SkypeTap::SkypeTap(HWND apiWindow, DWORD processId) : apiWindow_(apiWindow), processId_(processId) {
    installed = this;
    RunInProcess(processId_, [&] {
        original_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(apiWindow_, GWLP_WNDPROC));
        SetWindowLongPtrA(apiWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SkypeTap::Procedure));
    });
}

SkypeTap::~SkypeTap() {
    RunInProcess(processId_, [&] {
        if (IsWindow(apiWindow_)) {
            SetWindowLongPtrA(apiWindow_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        }
    });
    installed = nullptr;
}

LRESULT CALLBACK SkypeTap::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SkypeTap& tap = *installed;
    if (message == WM_COPYDATA && lParam != 0) {
        const auto now = Clock::now();
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const char* bytes = static_cast<const char*>(data->lpData);
        std::string text = bytes == nullptr
                               ? std::string()
                               : std::string(bytes, std::find(bytes, bytes + data->cbData, '\0'));
        std::lock_guard<std::mutex> lock(tap.mutex_);
        tap.arrivals_.push_back({now, std::move(text)});
        tap.arrived_.notify_all();
    }
    return CallWindowProcA(tap.original_, window, message, wParam, lParam);
}

size_t SkypeTap::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_.size();
}

SkypeTap::Arrival SkypeTap::At(size_t index) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return arrivals_.at(index);
}

std::vector<SkypeTap::Arrival> SkypeTap::Since(size_t from) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (from >= arrivals_.size()) return {};
    return std::vector<Arrival>(arrivals_.begin() + static_cast<long>(from), arrivals_.end());
}

std::optional<size_t> SkypeTap::WaitFor(const std::string& text, size_t from,
                                        std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    std::optional<size_t> found;
    arrived_.wait_for(lock, timeout, [&] {
        for (size_t i = from; i < arrivals_.size(); ++i) {
            if (arrivals_[i].text == text) {
                found = i;
                return true;
            }
        }
        return false;
    });
    return found;
}

bool SkypeTap::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, timeout, [&] { return arrivals_.size() >= count; });
}

SkypeTap::Burst SkypeTap::Send(HWND client, const std::vector<std::string>& texts) const {
    Burst burst;
    RunInProcess(processId_, [&] {
        burst.firstSent = Clock::now();
        for (const std::string& text : texts) {
            COPYDATASTRUCT data{0, static_cast<DWORD>(text.size() + 1), const_cast<char*>(text.c_str())};
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(client, WM_COPYDATA, reinterpret_cast<WPARAM>(apiWindow_),
                                    reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                                    &result) != 0) {
                ++burst.delivered;
            }
        }
        burst.lastReturned = Clock::now();
    });
    return burst;
}

}  // namespace bench
