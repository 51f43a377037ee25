// The hook state as the program keeps it, with no platform header, for the pure parts that need it.
#pragma once

#include <cstdint>

namespace phonedock {

constexpr int32_t HOOK_UNKNOWN = -1;
constexpr int32_t HOOK_ON = 1;
constexpr int32_t HOOK_OFF = 0;

}  // namespace phonedock
