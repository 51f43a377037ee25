#include "shared_state.h"

namespace phonedock {

std::atomic<HINSTANCE> instance{nullptr};
std::atomic<HWND> mainWindow{nullptr};
std::atomic<HWND> skypeApiWindow{nullptr};
std::atomic<HWND> skypeMainWindow{nullptr};
std::atomic<int32_t> handsetAbsent{0};
std::atomic<bool> inCall{false};
std::atomic<int32_t> muteState{MUTE_UNKNOWN};
std::atomic<int32_t> ringingCallId{0};
std::atomic<int32_t> dtmfCallId{0};
std::atomic<int32_t> hookState{HOOK_UNKNOWN};

}  // namespace phonedock
