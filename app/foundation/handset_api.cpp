#include "handset_api.h"

#include "settings.h"

namespace phonedock {

HandsetApi handsetApi;

void LoadHandsetLibrary(const char* fileName) {
    handsetApi = HandsetApi{};
    handsetApi.module = LoadLibraryA(fileName);
    // Without the library the program runs on without the handset; there is no one to tell.
    if (handsetApi.module != nullptr) ResolveUsbPhoneEntryPoints(handsetApi.module, handsetApi);
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
