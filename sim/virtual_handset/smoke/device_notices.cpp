#include "device_notices.h"

#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

#include <chrono>

namespace smoke {
namespace {

constexpr char kClassName[] = "vhandset_smoke_notices";

}  // namespace

DeviceNotices::DeviceNotices() {
    thread_ = std::thread([this] { Run(); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return started_; });
}

DeviceNotices::~DeviceNotices() {
    if (window_) PostMessageA(window_, WM_CLOSE, 0, 0);
    if (thread_.joinable()) thread_.join();
}

void DeviceNotices::Run() {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassA(&windowClass);
    // A top-level window, as the library's: device notices are not sent to message-only windows.
    HWND window = CreateWindowA(kClassName, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                                windowClass.hInstance, nullptr);
    HDEVNOTIFY registration = nullptr;
    if (window) {
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        DEV_BROADCAST_DEVICEINTERFACE_A filter{};
        filter.dbcc_size = sizeof(filter);
        filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
        HidD_GetHidGuid(&filter.dbcc_classguid);
        registration = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        window_ = window;
        ready_ = registration != nullptr;
        started_ = true;
    }
    changed_.notify_all();
    if (!window) return;
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) DispatchMessageA(&message);
    if (registration) UnregisterDeviceNotification(registration);
}

LRESULT CALLBACK DeviceNotices::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<DeviceNotices*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_DEVICECHANGE && self && lParam) {
        // Wine hands an ANSI window the wide form of the interface record; only its header is read here.
        const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
        if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE) {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->notices_.push_back({wParam, GetTickCount()});
            self->changed_.notify_all();
        }
        return TRUE;
    }
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

size_t DeviceNotices::Count() {
    std::lock_guard<std::mutex> lock(mutex_);
    return notices_.size();
}

DWORD DeviceNotices::WaitFor(WPARAM kind, size_t from, DWORD boundMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    DWORD at = 0;
    changed_.wait_for(lock, std::chrono::milliseconds(boundMs), [&] {
        for (size_t i = from; i < notices_.size() && !at; ++i) {
            if (notices_[i].kind == kind) at = notices_[i].at;
        }
        return at != 0;
    });
    return at;
}

}  // namespace smoke
