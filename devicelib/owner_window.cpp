#include "owner_window.h"

#include "hid_io.h"
#include "hotplug.h"
#include "library_state.h"

#include <mutex>

namespace vocetta {
namespace {

LRESULT CALLBACK LibraryWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        USBPhone_Bind(nullptr, nullptr);
        USBPhone_Close();
    } else if (message == WM_DEVICECHANGE && IsNtFamily()) {
        OnDeviceChange(window, wParam, lParam);
    }
    const WNDPROC next = Library().binding.savedProc;
    return next != nullptr ? CallWindowProcA(next, window, message, wParam, lParam)
                           : DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

void SubclassOwnerWindow(PlugCallback onPlug) {
    OwnerBinding& binding = Library().binding;
    // The window thread (WM_CLOSE) and a caller's thread (USBPhone_Close) may bind at the same time.
    std::lock_guard<std::mutex> lock(binding.bindMutex);
    // The saved procedure is published only once the new subclass is in place, so the library's window
    // procedure, which may be running meanwhile, always has the owner's procedure to pass messages on to.
    WNDPROC saved = binding.savedProc;
    HWND subclassed = binding.subclassed;
    if (saved != nullptr) {
        if (subclassed != nullptr)
            SetWindowLongPtrA(subclassed, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        saved = nullptr;
        subclassed = nullptr;
        binding.plugCallback = nullptr;
    }
    if (const HWND owner = binding.owner) {
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(owner, GWLP_WNDPROC));
        if (current != nullptr && current != &LibraryWndProc) {
            saved = current;
            subclassed = owner;
            SetWindowLongPtrA(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LibraryWndProc));
            if (onPlug != nullptr) binding.plugCallback = onPlug;
        }
    }
    binding.savedProc = saved;
    binding.subclassed = subclassed;
}

}  // namespace vocetta
