// The handset device library's exported interface: what VOCETTA.DLL offers its caller.
// All 14 functions are plain C names with the cdecl convention; the two callbacks are stdcall.
#pragma once

#include "usbphone_codes.h"

#include <windows.h>

#include <type_traits>

extern "C" {

// Codes kept by the library and returned (and cleared) by USBPhone_GetLastError.
enum UsbPhoneError : int {
    USBPHONE_ERR_NONE = 0,
    USBPHONE_ERR_RANGE = 1,        // EEPROM address plus length beyond 255
    USBPHONE_ERR_UNSUPPORTED = 2,  // the handset has no such function
    USBPHONE_ERR_NO_DEVICE = 4,    // no handset found at USBPhone_Open
};

typedef void(CALLBACK* KeyEventCallback)(int keyCode);
typedef void(CALLBACK* PlugCallback)(int present, int reserved);

int __cdecl USBPhone_Open(HWND window);
int __cdecl USBPhone_Bind(KeyEventCallback onKey, PlugCallback onPlug);
int __cdecl USBPhone_Ring(int on);
int __cdecl USBPhone_Light(int on);
// iconOn and showClock travel in a 32-bit slot each; only their low byte counts.
int __cdecl USBPhone_DisplayLCD(int mode, int iconOn, int barLevel, const char* text, int showClock);
int __cdecl USBPhone_Close(void);
int __cdecl USBPhone_WriteEEPROM(int address, int length, const BYTE* data);
int __cdecl USBPhone_ReadEEPROM(int address, int length, BYTE* out);
int __cdecl USBPhone_GetDeviceCapacity(int index);
int __cdecl USBPhone_SetRingTone(void);
int __cdecl USBPhone_SwitchPSTN(void);
int __cdecl USBPhone_GetLibVer(void);
int __cdecl USBPhone_GetLastError(void);
int __cdecl USBPhone_GetHookStatus(void);

}  // extern "C"

// Pointer types of the exports, for callers that resolve them by name at run time.
typedef int(__cdecl* USBPhone_OpenFn)(HWND);
typedef int(__cdecl* USBPhone_BindFn)(KeyEventCallback, PlugCallback);
typedef int(__cdecl* USBPhone_IntFn)(int);
typedef int(__cdecl* USBPhone_DisplayLCDFn)(int, int, int, const char*, int);
typedef int(__cdecl* USBPhone_VoidFn)(void);
typedef int(__cdecl* USBPhone_EepromWriteFn)(int, int, const BYTE*);
typedef int(__cdecl* USBPhone_EepromReadFn)(int, int, BYTE*);

// The 14 entry points of a loaded library, for callers that bind it at run time.
struct UsbPhoneEntryPoints {
    USBPhone_OpenFn Open = nullptr;
    USBPhone_BindFn Bind = nullptr;
    USBPhone_IntFn Ring = nullptr;
    USBPhone_IntFn Light = nullptr;
    USBPhone_DisplayLCDFn DisplayLCD = nullptr;
    USBPhone_VoidFn Close = nullptr;
    USBPhone_EepromWriteFn WriteEEPROM = nullptr;
    USBPhone_EepromReadFn ReadEEPROM = nullptr;
    USBPhone_IntFn GetDeviceCapacity = nullptr;
    USBPhone_VoidFn SetRingTone = nullptr;
    USBPhone_VoidFn SwitchPSTN = nullptr;
    USBPhone_VoidFn GetLibVer = nullptr;
    USBPhone_VoidFn GetLastError = nullptr;
    USBPhone_VoidFn GetHookStatus = nullptr;
};

// Resolves all 14 names, in this order, with GetProcAddress; a name the module lacks stays null.
inline void ResolveUsbPhoneEntryPoints(HMODULE module, UsbPhoneEntryPoints& entry) {
    const auto resolve = [module](auto& fn, const char* name) {
        fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
    };
    resolve(entry.Open, "USBPhone_Open");
    resolve(entry.Bind, "USBPhone_Bind");
    resolve(entry.Ring, "USBPhone_Ring");
    resolve(entry.Light, "USBPhone_Light");
    resolve(entry.DisplayLCD, "USBPhone_DisplayLCD");
    resolve(entry.Close, "USBPhone_Close");
    resolve(entry.WriteEEPROM, "USBPhone_WriteEEPROM");
    resolve(entry.ReadEEPROM, "USBPhone_ReadEEPROM");
    resolve(entry.GetDeviceCapacity, "USBPhone_GetDeviceCapacity");
    resolve(entry.SetRingTone, "USBPhone_SetRingTone");
    resolve(entry.SwitchPSTN, "USBPhone_SwitchPSTN");
    resolve(entry.GetLibVer, "USBPhone_GetLibVer");
    resolve(entry.GetLastError, "USBPhone_GetLastError");
    resolve(entry.GetHookStatus, "USBPhone_GetHookStatus");
}
