// The HID interfaces the system lists now, by device path: what a program sees when it looks for the
// handset through the HID interface class. Callers pick the handset by their own rule.
#pragma once

#include <string>
#include <vector>

namespace vhandset {

// The device paths of every present HID interface, in the system's order; empty when none is listed or the
// list cannot be had.
std::vector<std::string> HidInterfacePaths();

}  // namespace vhandset
