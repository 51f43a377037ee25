// What the smoke check's steps share: the handset's shape, the bounds on every wait, and how reports and
// times are written in the verdicts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "virtual_handset_link.h"

namespace smoke {

inline const vhandset::DeviceShape kShape;  // the handset: 04B4:0302, reports 18 in, 34 out
constexpr DWORD kArrivalBoundMs = 10000;
constexpr DWORD kReportBoundMs = 2000;

inline double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

inline std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

}  // namespace smoke
