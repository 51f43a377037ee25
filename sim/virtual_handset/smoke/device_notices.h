// The device-change notices a program registered for HID interfaces receives (WM_DEVICECHANGE), recorded
// by a hidden window on a thread of its own, as the product's library registers for them.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace smoke {

class DeviceNotices {
  public:
    DeviceNotices();
    ~DeviceNotices();
    DeviceNotices(const DeviceNotices&) = delete;
    DeviceNotices& operator=(const DeviceNotices&) = delete;

    // Whether the window is there and registered.
    bool Ready() const { return ready_; }
    // How many notices have come so far: a mark to wait from.
    size_t Count();
    // Waits up to boundMs for a notice of this kind (DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE) about a
    // HID interface, among those after `from`; answers the GetTickCount() when it came, or 0.
    DWORD WaitFor(WPARAM kind, size_t from, DWORD boundMs);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Run();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Notice {
        WPARAM kind;
        DWORD at;
    };
    std::vector<Notice> notices_;
    bool started_ = false;
    bool ready_ = false;
    HWND window_ = nullptr;
};

}  // namespace smoke
