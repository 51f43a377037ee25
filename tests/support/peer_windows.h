// The windows of the other program that the tests of cross-process messages talk to (support/
// other_program.h): one of a wide class and one of an ANSI class. Their procedures keep what they were
// given where another process can read it through Win32: the text in the window's own text (read with
// GetWindowText, which takes another process's title from the window itself), the last character in
// GWLP_USERDATA, and WM_COPYDATA answered with a digest of the data as it arrived.
#pragma once

#include <windows.h>

namespace winsim_test {

constexpr const char* kPeerWideClass = "PeerWideWindow";
constexpr const char* kPeerAnsiClass = "PeerAnsiWindow";
constexpr const wchar_t* kPeerAnsiTitle = L"t\u00eftle";

// FNV-1a over dwData's eight bytes and then the data, so the sender can tell that every byte arrived.
inline LRESULT copyDataDigest(const COPYDATASTRUCT& data) {
    unsigned long long hash = 14695981039346656037ull;
    auto mix = [&hash](unsigned char byte) { hash = (hash ^ byte) * 1099511628211ull; };
    const unsigned long long tag = data.dwData;
    for (int i = 0; i < 8; ++i) mix(static_cast<unsigned char>(tag >> (8 * i)));
    const auto* bytes = static_cast<const unsigned char*>(data.lpData);
    for (DWORD i = 0; bytes != nullptr && i < data.cbData; ++i) mix(bytes[i]);
    // Positive and within 31 bits, whatever the width of LRESULT.
    return static_cast<LRESULT>(hash & 0x7FFFFFFF);
}

inline LRESULT peerMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    switch (message) {
        case WM_CHAR: SetWindowLongPtrA(hwnd, GWLP_USERDATA, static_cast<LONG_PTR>(wParam)); return 0;
        case WM_COPYDATA: return copyDataDigest(*reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        default: handled = false; return 0;
    }
}

inline LRESULT CALLBACK peerWideProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    const LRESULT result = peerMessage(hwnd, message, wParam, lParam, handled);
    return handled ? result : DefWindowProcW(hwnd, message, wParam, lParam);
}

inline LRESULT CALLBACK peerAnsiProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    bool handled = false;
    const LRESULT result = peerMessage(hwnd, message, wParam, lParam, handled);
    return handled ? result : DefWindowProcA(hwnd, message, wParam, lParam);
}

// Registers the classes and makes one window of each on the calling thread; false when any failed.
inline bool makePeerWindows(HWND& wide, HWND& ansi) {
    WNDCLASSW wideClass{};
    wideClass.lpfnWndProc = peerWideProc;
    wideClass.lpszClassName = L"PeerWideWindow";
    WNDCLASSA ansiClass{};
    ansiClass.lpfnWndProc = peerAnsiProc;
    ansiClass.lpszClassName = kPeerAnsiClass;
    RegisterClassW(&wideClass);
    RegisterClassA(&ansiClass);
    wide = CreateWindowExW(0, L"PeerWideWindow", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ansi = CreateWindowExW(0, L"PeerAnsiWindow", kPeerAnsiTitle, 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                           nullptr);
    return wide != nullptr && ansi != nullptr;
}

}  // namespace winsim_test
