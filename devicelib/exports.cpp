// The 14 exported functions.
#include "usbphone.h"

#include "commands.h"
#include "eeprom_read.h"
#include "hid_io.h"
#include "hotplug.h"
#include "library_state.h"
#include "owner_window.h"
#include "reader.h"

#include <cstring>
#include <iterator>

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
    if (!TakeUpHandset(window)) {
        binding.handsetOpen = false;
        Library().lastError = USBPHONE_ERR_NO_DEVICE;
        result = -1;
    }
    if (IsNtFamily()) WatchForHandsets(window);
    return result;
}

int __cdecl USBPhone_Bind(KeyEventCallback onKey, PlugCallback onPlug) {
    SubclassOwnerWindow(onPlug);
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
    if (IsNtFamily()) StopWatching();
    USBPhone_Bind(nullptr, nullptr);
    CloseHandset();
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
