// vocetta_probe.exe: VOCETTA.DLL on its own, as a program other than phonedock would use it. It loads the
// library from beside itself, opens the handset with a window of its own, runs one step and prints one line
// per result, which the driver judges against what the handset saw.
//
//   vocetta_probe.exe eeprom       writes 8 bytes at address 16 and reads them back
//   vocetta_probe.exe callback     prints "ready", then reads those 8 bytes from inside the first key's
//                                  callback (waiting at most 10 s for a key)
//   vocetta_probe.exe unanswered   reads 16 bytes from address 0 (the driver makes the handset keep quiet)
//
// Lines: "probe: open <result>", "probe: write <result>", "probe: read <result> <bytes in hex> <ms>",
// "probe: key <code>", "probe: close <result>". Exit code 0 when the library loaded and the step ran.
#include "usbphone.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kAddress = 16;
constexpr int kLength = 8;
constexpr DWORD kKeyWaitMs = 10000;

UsbPhoneEntryPoints library;
HANDLE keyHandled = nullptr;
std::atomic<bool> firstKey{true};

void printRead(int result, const BYTE* bytes, int length, DWORD ms) {
    std::string hex;
    char two[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(two, sizeof(two), "%02X", bytes[i]);
        hex += two;
    }
    std::printf("probe: read %d %s %lu\n", result, hex.empty() ? "-" : hex.c_str(),
                static_cast<unsigned long>(ms));
    std::fflush(stdout);
}

void timedRead(int address, int length) {
    BYTE bytes[256];
    std::memset(bytes, 0xEE, sizeof(bytes));
    const DWORD start = GetTickCount();
    const int result = library.ReadEEPROM(address, length, bytes);
    printRead(result, bytes, length, GetTickCount() - start);
}

void CALLBACK OnKey(int code) {
    std::printf("probe: key %d\n", code);
    std::fflush(stdout);
    if (!firstKey.exchange(false)) return;
    timedRead(kAddress, kLength);
    SetEvent(keyHandled);
}

// Serves the window's messages (device notifications) until `event` is set or the time is up.
bool serveUntil(HANDLE event, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        const DWORD woke = MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs - elapsed, QS_ALLINPUT);
        if (woke == WAIT_OBJECT_0) return true;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string step = argc > 1 ? argv[1] : "";
    const HMODULE module = LoadLibraryA("VOCETTA.DLL");
    if (module == nullptr) {
        std::printf("probe: VOCETTA.DLL did not load (error %lu)\n",
                    static_cast<unsigned long>(GetLastError()));
        return 2;
    }
    ResolveUsbPhoneEntryPoints(module, library);
    keyHandled = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "VocettaProbe";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "probe", 0, 0, 0, 0, 0, nullptr,
                                        nullptr, windowClass.hInstance, nullptr);

    std::printf("probe: open %d\n", library.Open(window));
    std::fflush(stdout);
    int status = 0;
    if (step == "eeprom") {
        BYTE written[kLength];
        for (int i = 0; i < kLength; ++i) written[i] = static_cast<BYTE>(0xA0 + i);
        std::printf("probe: write %d\n", library.WriteEEPROM(kAddress, kLength, written));
        timedRead(kAddress, kLength);
    } else if (step == "callback") {
        library.Bind(&OnKey, nullptr);
        std::printf("probe: ready\n");
        std::fflush(stdout);
        if (!serveUntil(keyHandled, kKeyWaitMs)) std::printf("probe: no key within 10 s\n");
    } else if (step == "unanswered") {
        timedRead(0, 16);
    } else {
        std::printf("probe: unknown step \"%s\"\n", step.c_str());
        status = 2;
    }
    std::printf("probe: close %d\n", library.Close());
    std::fflush(stdout);
    DestroyWindow(window);
    FreeLibrary(module);
    CloseHandle(keyHandled);
    return status;
}
