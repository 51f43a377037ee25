// The 14 exported functions, and the window subclass that watches for the handset coming and going.
#include "usbphone.h"

#include <dbt.h>

#include "commands.h"
#include "hid_io.h"
#include "library_state.h"
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

// Takes the place of the registration in `slot`, letting go of the one it held.
void Replace(std::atomic<HDEVNOTIFY>& slot, DeviceNotificationOwner registration) {
    const DeviceNotificationOwner old(slot.exchange(registration.Release()));
}

void Unregister(std::atomic<HDEVNOTIFY>& slot) {
    Replace(slot, {});
}

// Registers for events on the open handset's handle (its removal), replacing an earlier registration.
void WatchHandleRemoval(HWND window) {
    std::atomic<HDEVNOTIFY>& slot = Library().binding.handleNotification;
    Unregister(slot);
    if (auto connection = Library().device.CurrentConnection())
        Replace(slot, RegisterHandleNotification(window, *connection));
}

// Registers for the arrival and removal of any HID interface, so a handset plugged in later is seen, and
// the open handset's removal too where its handle's removal is never announced.
void WatchInterfaceArrival(HWND window) {
    std::atomic<HDEVNOTIFY>& slot = Library().binding.interfaceNotification;
    Unregister(slot);
    Replace(slot, RegisterHidInterfaceNotification(window));
}

bool HandsetHandleOpen() {
    auto connection = Library().device.CurrentConnection();
    return connection && connection->syncHandle;
}

// Looks for the handset and, when it is there, takes it up: marks it open, starts its hook poll from on
// hook, registers for its removal and starts the reader. Answers whether the handset was found.
//
// USBPhone_Open and a handset's arrival both come here, so both set the flag and the hook state before the
// reader starts. That is safe for Open as well:
//  - the open flag is read only by the arrival and removal handlers on the owner window's thread, never by
//    an export that a key callback or another thread can call; and a removal can come only once the handle
//    is registered, when the flag is already set, so none is ignored;
//  - the reader compares hook changes against the state reset here, so its first poll never compares
//    against the hook state an earlier opening left;
//  - a reader that cannot start does not change the answer: the handset is open for the commands, and
//    USBPhone_Open still succeeds.
bool OpenHandset(HWND window) {
    OwnerBinding& binding = Library().binding;
    if (!FindHandset(kHandsetVendorId, kHandsetProductId) || !HandsetHandleOpen()) return false;
    binding.handsetOpen = true;
    ResetPreviousHookState();
    if (IsNtFamily()) WatchHandleRemoval(window);
    StartReader();
    return true;
}

void OnHandsetArrival(HWND window) {
    OwnerBinding& binding = Library().binding;
    if (binding.handsetOpen || !OpenHandset(window)) return;
    if (PlugCallback plug = binding.plugCallback) plug(1, 0);
}

// The removal of the open handset, announced for its handle or for its interface, whichever comes first: the
// other then finds it closed. A removal of any other device changes nothing.
void OnHandsetRemoval(LPARAM lParam) {
    OwnerBinding& binding = Library().binding;
    const auto connection = Library().device.CurrentConnection();
    if (!binding.handsetOpen || !connection || !BroadcastConcerns(lParam, *connection)) return;
    binding.handsetOpen = false;
    if (IsNtFamily()) Unregister(binding.handleNotification);
    if (PlugCallback plug = binding.plugCallback) plug(0, 0);
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
    const WNDPROC next = Library().binding.savedProc;
    return next != nullptr ? CallWindowProcA(next, window, message, wParam, lParam)
                           : DefWindowProcA(window, message, wParam, lParam);
}

bool EepromRangeOk(int address, int length) {
    if ((address & 0xFF) + (length & 0xFF) <= kMaxEepromAddress) return true;
    Library().lastError = USBPHONE_ERR_RANGE;
    return false;
}

}  // namespace
}  // namespace vocetta

using namespace vocetta;

extern "C" {

int __cdecl USBPhone_Open(HWND window) {
    OwnerBinding& binding = Library().binding;
    binding.owner = window;
    int result = 0;
    if (!OpenHandset(window)) {
        binding.handsetOpen = false;
        Library().lastError = USBPHONE_ERR_NO_DEVICE;
        result = -1;
    }
    if (IsNtFamily()) WatchInterfaceArrival(window);
    return result;
}

int __cdecl USBPhone_Bind(KeyEventCallback onKey, PlugCallback onPlug) {
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
    OwnerBinding& binding = Library().binding;
    if (IsNtFamily()) {
        Unregister(binding.interfaceNotification);
        Unregister(binding.handleNotification);
    }
    USBPhone_Bind(nullptr, nullptr);
    StopReader();
    // The library is unloaded after this: no reader may still run its code.
    WaitForStoppedReaders(kCloseWaitMs);
    return 0;
}

// The EEPROM exports succeed only when the handset took, or gave, every byte asked for. With no handset open,
// a report that could not be written, a block that was not answered, or no buffer for a nonzero length, they
// return -1; only the range error sets a last error, since no code says what else went wrong. A length of 0
// asks nothing of the handset and succeeds, handset or not.

// The bytes go one report each, in address order. The first report that cannot be written ends the write:
// the bytes before it are in the EEPROM, none after it was sent.
int __cdecl USBPhone_WriteEEPROM(int address, int length, const BYTE* data) {
    if (!EepromRangeOk(address, length)) return -1;
    const int start = address & 0xFF;
    const int count = length & 0xFF;
    if (count > 0 && data == nullptr) return -1;
    for (int i = 0; i < count; ++i) {
        if (!SendEepromWrite(static_cast<uint8_t>(start + 1 + i), data[i])) return -1;
    }
    return 0;
}

// A read succeeds whole or not at all: it ends at the first block that fails, and the blocks are gathered
// apart from the caller's buffer, which is filled only once every block was answered. With no handset open
// the first block fails at once, without waiting for an answer.
int __cdecl USBPhone_ReadEEPROM(int address, int length, BYTE* out) {
    if (!EepromRangeOk(address, length)) return -1;
    const int start = address & 0xFF;
    const int count = length & 0xFF;
    if (count > 0 && out == nullptr) return -1;
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
    Library().lastError = USBPHONE_ERR_UNSUPPORTED;
    return -1;
}

int __cdecl USBPhone_SwitchPSTN(void) {
    Library().lastError = USBPHONE_ERR_UNSUPPORTED;
    return -1;
}

int __cdecl USBPhone_GetLibVer(void) {
    return kLibraryVersion;
}

int __cdecl USBPhone_GetLastError(void) {
    return Library().lastError.exchange(USBPHONE_ERR_NONE);
}

int __cdecl USBPhone_GetHookStatus(void) {
    return Library().device.hookStatus;
}

}  // extern "C"
