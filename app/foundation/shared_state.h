// The state the whole program shares, between the main thread (window procedure, timer, call tracker) and
// the device library's reader thread (keys). Each is one atomic value.
#pragma once

#include <windows.h>

#include "usbphone_codes.h"

#include <atomic>
#include <cstdint>

namespace phonedock {

extern std::atomic<HINSTANCE> instance;
extern std::atomic<HWND> mainWindow;        // the hidden main window; sender of every Skype command
extern std::atomic<HWND> skypeApiWindow;    // Skype's API window; non-null while Skype is attached
extern std::atomic<HWND> skypeMainWindow;   // cached handle of Skype's main window
extern std::atomic<int32_t> handsetAbsent;  // 0 the handset is open and present, nonzero absent
extern std::atomic<bool> inCall;            // a call rings or is in progress
extern std::atomic<int32_t> muteState;      // 1 muted, 2 not muted, 0 not known
extern std::atomic<int32_t> ringingCallId;  // the call that rings; 0 none
extern std::atomic<int32_t> dtmfCallId;     // DTMF goes here: the call in progress, or the one being placed
extern std::atomic<int32_t> hookState;      // -1 not known, 1 on hook, 0 off hook

constexpr int32_t MUTE_UNKNOWN = 0;
constexpr int32_t MUTE_ON = 1;
constexpr int32_t MUTE_OFF = 2;

}  // namespace phonedock
