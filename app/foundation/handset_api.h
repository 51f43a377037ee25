// The device library, bound at run time by file name: its module and its 14 entry points. Every call into
// the library goes through here. When the library is missing, or lacks one of the six functions the
// program calls, the program runs without the handset: those calls do nothing.
#pragma once

#include <windows.h>

#include "usbphone.h"

namespace phonedock {

struct HandsetApi : UsbPhoneEntryPoints {
    HMODULE module = nullptr;

    // Whether the library is loaded and has the six functions the program calls.
    bool Usable() const { return module && Open && Bind && Ring && Light && DisplayLCD && Close; }
};

extern HandsetApi handsetApi;

constexpr const char* kHandsetLibraryName = "VOCETTA.DLL";

// Loads the library and resolves its entry points, then records the file name in the registry, whether or
// not the library loaded.
void LoadHandsetLibrary(const char* fileName);
void UnloadHandsetLibrary();

// The five arguments of a display command, kept together; every call still passes them one by one.
struct LcdCommand {
    int mode;
    int iconOn;
    int barLevel;
    const char* text;
    int showClock;
};

// The calls the program makes, each doing nothing without a usable library. Results as the library's.
int HandsetOpen(HWND window);
int HandsetBind(KeyEventCallback onKey, PlugCallback onPlug);
int HandsetRing(int on);
int HandsetLight(int on);
int HandsetDisplay(const LcdCommand& command);
int HandsetClose();

}  // namespace phonedock
