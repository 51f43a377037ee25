// The smoke check's view of the handset from the host's side: found and opened the way the product's
// library does it, through the HID interface class and two handles.
#pragma once

#include <windows.h>
extern "C" {
#include <hidsdi.h>
}

#include <string>

#include "owners.h"

namespace smoke {

// The device path of the HID interface with these ids, or an empty string.
std::string FindHandsetPath(USHORT vendorId, USHORT productId);

struct OpenedHandset {
    owners::HandleOwner sync;        // for WriteFile
    owners::HandleOwner overlapped;  // for ReadFile
    HIDP_CAPS caps{};
};

// Both handles and the capabilities; false when any of it fails.
bool OpenHandset(const std::string& path, OpenedHandset& handset);

// Waits up to boundMs for the interface to be listed (or, with present false, to be gone); answers the
// milliseconds it took, or -1.
long WaitForInterface(USHORT vendorId, USHORT productId, bool present, DWORD boundMs, std::string* path);

}  // namespace smoke
