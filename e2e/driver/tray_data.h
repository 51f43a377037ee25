// What Wine's shell hands to the notification area: Shell_NotifyIcon finds the top-level window of class
// "Shell_TrayWnd" and sends it WM_COPYDATA with dwData = the NIM_ message and the icon's data in a fixed,
// pointer-free layout (the same for 32-bit and 64-bit callers). Decoding it needs no platform call.
//
//   offset  size  field
//        0     4  owner window (its handle as 32 bits)
//        4     4  icon id
//        8     4  flags (NIF_*)
//       12     4  callback message
//       16   256  tooltip, UTF-16, NUL-terminated within its 128 units
//      272   672  state, balloon text and title, version, GUID (unused here)
//      944    16  picture: width, height, planes, bits per pixel
//      960     -  with an icon: the picture's mask bits, then its colour bits
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr size_t kTrayDataSize = 960;

struct TrayMessage {
    uint64_t message = 0;  // NIM_ADD 0, NIM_MODIFY 1, NIM_DELETE 2, ...
    uint32_t owner = 0;
    uint32_t id = 0;
    uint32_t flags = 0;
    uint32_t callbackMessage = 0;
    std::string tip;  // in ASCII; a unit beyond it counts as '?'
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t planes = 0;
    uint32_t bitsPerPixel = 0;
    std::vector<uint8_t> picture;  // mask bits then colour bits; empty without an icon
};

// Nothing when the data is too short to be the shell's (or null).
std::optional<TrayMessage> decodeTrayMessage(uint64_t message, const void* data, size_t size);

}  // namespace e2e
