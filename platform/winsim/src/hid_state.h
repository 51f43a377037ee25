// What SetupAPI needs to know about the HID bus (hid.cpp).
#pragma once

#include <string>
#include <vector>

namespace winsim::detail {

// The device interface paths of the HID devices on the bus, in interface order. Requires bigLock.
std::vector<std::string> presentHidPaths();

}  // namespace winsim::detail
