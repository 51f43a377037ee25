// Where the virtual handset is, as programs find it: its HID interface in the system's list. Needs only
// SetupAPI and HID, so a program that merely looks for the handset carries nothing else.
#pragma once

#include <string>

namespace e2e {

// The device path of the first HID interface with the handset's ids; empty when none is listed now.
std::string handsetInterfacePath();

}  // namespace e2e
