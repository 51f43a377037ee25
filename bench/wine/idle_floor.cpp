// bench_wine_idle_floor.exe: the least an idle program with the handset can do, measured beside phonedock's
// idle cost: a hidden window, a 2000 ms timer, and at each tick one display report (34 bytes, class 3)
// written to the handset, as phonedock refreshes the handset's display at its own 2000 ms tick. Ends on
// WM_CLOSE; exit code 2 when the handset is not there.
#include "handset_interface.h"

#include <windows.h>

#include <cstdint>

namespace {

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 2000;
constexpr DWORD kOutputReportLength = 34;
constexpr uint8_t kDisplayReportClass = 3;

HANDLE handset = INVALID_HANDLE_VALUE;

void WriteDisplayReport() {
    uint8_t report[kOutputReportLength] = {0, kDisplayReportClass};
    DWORD written = 0;
    WriteFile(handset, report, kOutputReportLength, &written, nullptr);
}

LRESULT CALLBACK FloorWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER: WriteDisplayReport(); return 0;
        case WM_DESTROY: PostQuitMessage(0); return 0;
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::string path = e2e::handsetInterfacePath();
    if (path.empty()) return 2;
    handset = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
    if (handset == INVALID_HANDLE_VALUE) return 2;
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = FloorWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "PhonedockBenchIdleFloor";
    RegisterClassA(&windowClass);
    const HWND window = CreateWindowExA(0, windowClass.lpszClassName, "idle floor", WS_OVERLAPPEDWINDOW, 0, 0,
                                        100, 60, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    SetTimer(window, kTickTimer, kTickMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
    CloseHandle(handset);
    return 0;
}
