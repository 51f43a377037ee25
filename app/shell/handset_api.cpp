#include "handset_api.h"

#include "settings.h"

namespace phonedock {

HandsetApi handsetApi;

namespace {

template <class Fn>
void Resolve(Fn& entry, const char* name) {
    entry = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handsetApi.module, name)));
}

}  // namespace

void LoadHandsetLibrary(const char* fileName) {
    handsetApi = HandsetApi{};
    handsetApi.module = LoadLibraryA(fileName);
    if (handsetApi.module != nullptr) {
        Resolve(handsetApi.Open, "USBPhone_Open");
        Resolve(handsetApi.Bind, "USBPhone_Bind");
        Resolve(handsetApi.Ring, "USBPhone_Ring");
        Resolve(handsetApi.Light, "USBPhone_Light");
        Resolve(handsetApi.DisplayLCD, "USBPhone_DisplayLCD");
        Resolve(handsetApi.Close, "USBPhone_Close");
        Resolve(handsetApi.WriteEEPROM, "USBPhone_WriteEEPROM");
        Resolve(handsetApi.ReadEEPROM, "USBPhone_ReadEEPROM");
        Resolve(handsetApi.GetDeviceCapacity, "USBPhone_GetDeviceCapacity");
        Resolve(handsetApi.SetRingTone, "USBPhone_SetRingTone");
        Resolve(handsetApi.SwitchPSTN, "USBPhone_SwitchPSTN");
        Resolve(handsetApi.GetLibVer, "USBPhone_GetLibVer");
        Resolve(handsetApi.GetLastError, "USBPhone_GetLastError");
        Resolve(handsetApi.GetHookStatus, "USBPhone_GetHookStatus");
    } else {
        GetLastError();  // nothing to tell anyone: the program runs without the handset
    }
    RecordLoadedLibrary(fileName);
}

void UnloadHandsetLibrary() {
    if (handsetApi.module != nullptr) FreeLibrary(handsetApi.module);
    handsetApi.module = nullptr;
}

int HandsetOpen(HWND window) {
    return handsetApi.Usable() ? handsetApi.Open(window) : -1;
}

int HandsetBind(KeyEventCallback onKey, PlugCallback onPlug) {
    return handsetApi.Usable() ? handsetApi.Bind(onKey, onPlug) : -1;
}

int HandsetRing(int on) {
    return handsetApi.Usable() ? handsetApi.Ring(on) : -1;
}

int HandsetLight(int on) {
    return handsetApi.Usable() ? handsetApi.Light(on) : -1;
}

int HandsetDisplay(const LcdCommand& c) {
    return handsetApi.Usable() ? handsetApi.DisplayLCD(c.mode, c.iconOn, c.barLevel, c.text, c.showClock)
                               : -1;
}

int HandsetClose() {
    return handsetApi.Usable() ? handsetApi.Close() : -1;
}

}  // namespace phonedock
