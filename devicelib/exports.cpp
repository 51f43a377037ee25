// The 14 exported functions, the window subclass that watches for the handset coming and going, and the
// library-wide state behind them.
#include "usbphone.h"

#include <dbt.h>
extern "C" {
#include <hidsdi.h>
}

#include "handset.h"
#include "hid_io.h"
#include "reader.h"

#include <atomic>
#include <cstring>
#include <iterator>
#include <mutex>

namespace vocetta {
namespace {

constexpr int kLibraryVersion = 531;
constexpr int kMaxEepromAddress = 255;
// Generous: the reader ends within one read (100 ms) unless the key callback holds it, and a key callback
// may wait several seconds on each of a few messages to a hung window.
constexpr DWORD kCloseWaitMs = 30000;

// The values the handset reports through USBPhone_GetDeviceCapacity, by index; -1 elsewhere.
constexpr int kCapacity[] = {
    -1,                 // 0
    kHandsetVendorId,   // 1
    kHandsetProductId,  // 2
    1,
    255,
    1,
    1,
    -1,
    0,
    1,
};

struct LibraryState {
    std::mutex bindMutex;
    std::atomic<HWND> owner{nullptr};
    std::atomic<HWND> subclassed{nullptr};
    std::atomic<WNDPROC> savedProc{nullptr};
    std::atomic<PlugCallback> plugCallback{nullptr};
    std::atomic<bool> handsetOpen{false};
    std::atomic<int> lastError{USBPHONE_ERR_NONE};
    std::atomic<HDEVNOTIFY> interfaceNotification{nullptr};
    std::atomic<HDEVNOTIFY> handleNotification{nullptr};
};

LibraryState& State() {
    static LibraryState state;
    return state;
}

void Unregister(std::atomic<HDEVNOTIFY>& registration) {
    if (HDEVNOTIFY old = registration.exchange(nullptr)) UnregisterDeviceNotification(old);
}

// Registers for events on the open handset's handle (its removal), replacing an earlier registration.
void RegisterHandleNotification(HWND window) {
    Unregister(State().handleNotification);
    auto connection = Device().CurrentConnection();
    if (!connection) return;
    DEV_BROADCAST_HANDLE filter;
    std::memset(&filter, 0, sizeof(filter));
    filter.dbch_size = sizeof(filter);
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = connection->syncHandle;
    State().handleNotification = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

// Registers for the arrival of any HID interface, so a handset plugged in later is seen.
void RegisterInterfaceNotification(HWND window) {
    Unregister(State().interfaceNotification);
    DEV_BROADCAST_DEVICEINTERFACE_A filter;
    std::memset(&filter, 0, sizeof(filter));
    filter.dbcc_size = sizeof(filter);
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    State().interfaceNotification = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

bool HandsetHandleOpen() {
    auto connection = Device().CurrentConnection();
    return connection && connection->syncHandle != INVALID_HANDLE_VALUE;
}

void OnHandsetArrival(HWND window) {
    LibraryState& state = State();
    if (state.handsetOpen) return;
    if (!FindHandset(kHandsetVendorId, kHandsetProductId) || !HandsetHandleOpen()) return;
    state.handsetOpen = true;
    ResetPreviousHookState();
    if (IsNtFamily()) RegisterHandleNotification(window);
    StartReader();
    if (PlugCallback plug = state.plugCallback) plug(1, 0);
}

void OnHandsetRemoval(LPARAM lParam) {
    LibraryState& state = State();
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr || header->dbch_devicetype != DBT_DEVTYP_HANDLE || !state.handsetOpen) return;
    state.handsetOpen = false;
    if (IsNtFamily()) Unregister(state.handleNotification);
    if (PlugCallback plug = state.plugCallback) plug(0, 0);
    StopReader();
}

void OnDeviceChange(HWND window, WPARAM event, LPARAM lParam) {
    switch (event) {
        case DBT_DEVICEARRIVAL: OnHandsetArrival(window); break;
        case DBT_DEVICEREMOVECOMPLETE: OnHandsetRemoval(lParam); break;
        default: break;
    }
}

// Stands in front of the owner window's own procedure from USBPhone_Bind on.
LRESULT CALLBACK LibraryWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        USBPhone_Bind(nullptr, nullptr);
        USBPhone_Close();
    } else if (message == WM_DEVICECHANGE && IsNtFamily()) {
        OnDeviceChange(window, wParam, lParam);
    }
    const WNDPROC next = State().savedProc;
    return next != nullptr ? CallWindowProcA(next, window, message, wParam, lParam)
                           : DefWindowProcA(window, message, wParam, lParam);
}

bool EepromRangeOk(int address, int length) {
    if ((address & 0xFF) + (length & 0xFF) <= kMaxEepromAddress) return true;
    State().lastError = USBPHONE_ERR_RANGE;
    return false;
}

}  // namespace
}  // namespace vocetta

using namespace vocetta;

extern "C" {

int __cdecl USBPhone_Open(HWND window) {
    LibraryState& state = State();
    state.owner = window;
    if (FindHandset(kHandsetVendorId, kHandsetProductId)) StartReader();
    int result;
    if (HandsetHandleOpen()) {
        if (IsNtFamily()) RegisterHandleNotification(window);
        state.handsetOpen = true;
        ResetPreviousHookState();
        result = 0;
    } else {
        state.handsetOpen = false;
        state.lastError = USBPHONE_ERR_NO_DEVICE;
        result = -1;
    }
    if (IsNtFamily()) RegisterInterfaceNotification(window);
    return result;
}

int __cdecl USBPhone_Bind(KeyEventCallback onKey, PlugCallback onPlug) {
    LibraryState& state = State();
    // The window thread (WM_CLOSE) and a caller's thread (USBPhone_Close) may bind at the same time.
    std::lock_guard<std::mutex> lock(state.bindMutex);
    // The saved procedure is published only once the new subclass is in place, so the library's window
    // procedure, which may be running meanwhile, always has the owner's procedure to pass messages on to.
    WNDPROC saved = state.savedProc;
    HWND subclassed = state.subclassed;
    if (saved != nullptr) {
        if (subclassed != nullptr)
            SetWindowLongPtrA(subclassed, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        saved = nullptr;
        subclassed = nullptr;
        state.plugCallback = nullptr;
    }
    if (const HWND owner = state.owner) {
        const auto current = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(owner, GWLP_WNDPROC));
        if (current != nullptr && current != &LibraryWndProc) {
            saved = current;
            subclassed = owner;
            SetWindowLongPtrA(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LibraryWndProc));
            if (onPlug != nullptr) state.plugCallback = onPlug;
        }
    }
    state.savedProc = saved;
    state.subclassed = subclassed;
    if (onKey != nullptr) SetKeyCallback(onKey);
    return 0;
}

int __cdecl USBPhone_Ring(int on) {
    return SendRinger(on == 1) ? 0 : -1;
}

int __cdecl USBPhone_Light(int on) {
    return SendBacklight(on == 1) ? 0 : -1;
}

int __cdecl USBPhone_DisplayLCD(int mode, int iconOn, int barLevel, const char* text, int showClock) {
    RunDisplayCommand(mode, (iconOn & 0xFF) != 0, barLevel, text, (showClock & 0xFF) != 0);
    return 0;
}

int __cdecl USBPhone_Close(void) {
    LibraryState& state = State();
    if (IsNtFamily()) {
        Unregister(state.interfaceNotification);
        Unregister(state.handleNotification);
    }
    USBPhone_Bind(nullptr, nullptr);
    StopReader();
    // The library is unloaded after this: no reader may still run its code.
    WaitForStoppedReaders(kCloseWaitMs);
    return 0;
}

int __cdecl USBPhone_WriteEEPROM(int address, int length, const BYTE* data) {
    if (!EepromRangeOk(address, length)) return -1;
    const int start = address & 0xFF;
    const int count = length & 0xFF;
    for (int i = 0; i < count; ++i) {
        SendEepromWrite(static_cast<uint8_t>(start + 1 + i), data[i]);
    }
    return 0;
}

// A read succeeds whole or not at all: it ends at the first block that fails and leaves the caller's buffer
// as it was; only a read whose every block was answered fills it. A failed block sets no last error (none of
// the codes says what went wrong). With no handset open the read is not tried: it returns 0 at once, as the
// other commands without a handset do, and leaves the buffer alone; the caller learns of the missing handset
// from USBPhone_Open and the plug callback.
int __cdecl USBPhone_ReadEEPROM(int address, int length, BYTE* out) {
    if (!EepromRangeOk(address, length)) return -1;
    const int start = address & 0xFF;
    const int count = length & 0xFF;
    if (!Device().CurrentConnection()) return 0;
    uint8_t bytes[kMaxEepromAddress + kEepromBlockSize];
    for (int offset = 0; offset < count; offset += static_cast<int>(kEepromBlockSize)) {
        if (!ReadEepromBlock(static_cast<uint8_t>(start + 1 + offset), bytes + offset)) return -1;
    }
    if (count > 0) std::memcpy(out, bytes, static_cast<size_t>(count));
    return 0;
}

int __cdecl USBPhone_GetDeviceCapacity(int index) {
    return index >= 0 && index < static_cast<int>(std::size(kCapacity)) ? kCapacity[index] : -1;
}

int __cdecl USBPhone_SetRingTone(void) {
    State().lastError = USBPHONE_ERR_UNSUPPORTED;
    return -1;
}

int __cdecl USBPhone_SwitchPSTN(void) {
    State().lastError = USBPHONE_ERR_UNSUPPORTED;
    return -1;
}

int __cdecl USBPhone_GetLibVer(void) {
    return kLibraryVersion;
}

int __cdecl USBPhone_GetLastError(void) {
    return State().lastError.exchange(USBPHONE_ERR_NONE);
}

int __cdecl USBPhone_GetHookStatus(void) {
    return Device().hookStatus;
}

}  // extern "C"
