#include "tray_standin.h"

#include "waiting.h"

#include <shellapi.h>

namespace e2e {
namespace {

constexpr const char* kTrayClass = "Shell_TrayWnd";

LRESULT CALLBACK trayWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    } else if (message == WM_COPYDATA) {
        auto* tray = reinterpret_cast<TrayStandIn*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (tray == nullptr || data == nullptr) return FALSE;
        return tray->received(data->dwData, data->lpData, data->cbData) ? TRUE : FALSE;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

uint32_t trayOwnerId(HWND owner) {
    return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(owner));
}

TrayStandIn::TrayStandIn() {
    thread_ = std::make_unique<WindowThread>([this]() -> HWND {
        WNDCLASSA wc{};
        wc.lpfnWndProc = trayWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kTrayClass;
        if (RegisterClassA(&wc) == 0) return nullptr;
        // Made last, it lies above the desktop's own tray window, so the shell finds this one first.
        return CreateWindowExA(0, kTrayClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, this);
    });
}

TrayStandIn::~TrayStandIn() {
    thread_.reset();
    UnregisterClassA(kTrayClass, GetModuleHandleA(nullptr));
}

HWND TrayStandIn::window() const {
    return thread_->window();
}

bool TrayStandIn::received(ULONG_PTR message, const void* data, DWORD size) {
    std::optional<TrayMessage> decoded = decodeTrayMessage(message, data, size);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!decoded) {
        ++undecoded_;
        return false;
    }
    const std::pair<uint32_t, uint32_t> icon{decoded->owner, decoded->id};
    const bool held = icons_.count(icon) != 0;
    bool granted = true;
    switch (decoded->message) {
        case NIM_ADD: granted = !held && icons_.insert(icon).second; break;
        case NIM_MODIFY: granted = held; break;
        case NIM_DELETE: granted = icons_.erase(icon) != 0; break;
        default: break;
    }
    messages_.push_back(std::move(*decoded));
    return granted;
}

size_t TrayStandIn::iconsOf(HWND owner) const {
    const uint32_t id = trayOwnerId(owner);
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const auto& icon : icons_) count += icon.first == id ? 1 : 0;
    return count;
}

bool TrayStandIn::restart() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        icons_.clear();
    }
    const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return taskbarCreated != 0 && PostMessageA(HWND_BROADCAST, taskbarCreated, 0, 0) != 0;
}

std::vector<TrayMessage> TrayStandIn::messagesOf(HWND owner) const {
    const uint32_t id = trayOwnerId(owner);
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<TrayMessage> found;
    for (const TrayMessage& m : messages_) {
        if (m.owner == id) found.push_back(m);
    }
    return found;
}

size_t TrayStandIn::messageCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_.size();
}

std::vector<TrayMessage> TrayStandIn::waitForMessages(HWND owner, size_t count,
                                                      std::chrono::milliseconds timeout) const {
    std::vector<TrayMessage> found;
    waitFor(
        [&] {
            found = messagesOf(owner);
            return found.size() >= count;
        },
        timeout);
    return found;
}

bool TrayStandIn::click(HWND owner, UINT mouseMessage) const {
    for (const TrayMessage& m : messagesOf(owner)) {
        if (m.message == NIM_ADD && (m.flags & NIF_MESSAGE) != 0) {
            return PostMessageA(owner, m.callbackMessage, m.id, mouseMessage) != 0;
        }
    }
    return false;
}

size_t TrayStandIn::undecodedCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return undecoded_;
}

}  // namespace e2e
