// VOCETTA.DLL used by this program itself, as any program would: loaded from beside it, the handset opened
// with a hidden window of its own, and a key callback that stamps each key it is given.
#pragma once

#include "arrivals.h"

#include "usbphone.h"

#include <windows.h>

#include <chrono>
#include <string>

namespace winebench {

class LibraryKeys {
  public:
    LibraryKeys() = default;
    ~LibraryKeys();  // closes the handset and lets the library go
    LibraryKeys(const LibraryKeys&) = delete;
    LibraryKeys& operator=(const LibraryKeys&) = delete;

    // Loads the library, opens the handset and binds the key callback. One at a time per process: the
    // library keeps its state process-wide. False, with the reason, when a step failed.
    bool Open(std::string& error);
    const Arrivals& Keys() const { return keys_; }
    // Waits until `count` keys have come, serving the window's messages (the library's device notices)
    // meanwhile. False when they have not come within `timeout`.
    bool WaitForKeys(size_t count, std::chrono::milliseconds timeout);

  private:
    static void CALLBACK OnKey(int code);

    HMODULE module_ = nullptr;
    UsbPhoneEntryPoints library_;
    HWND window_ = nullptr;
    HANDLE keyCame_ = nullptr;
    bool open_ = false;
    Arrivals keys_;
};

}  // namespace winebench
