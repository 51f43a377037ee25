// The other program of the cross-process tests (support/other_program.h): it makes its windows
// (support/peer_windows.h) and serves them until they are closed, or until the test that started it is gone
// (its process id is the one argument), so it never outlives the test.
#include "support/peer_windows.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HANDLE test = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)));
    if (test == nullptr) return 3;
    HWND wide = nullptr;
    HWND ansi = nullptr;
    if (!winsim_test::makePeerWindows(wide, ansi)) return 4;
    while (IsWindow(wide) || IsWindow(ansi)) {
        if (MsgWaitForMultipleObjects(1, &test, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) break;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    CloseHandle(test);
    return 0;
}
