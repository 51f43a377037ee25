// Which audio devices are the handset's and which are the PC's own, from their product names alone.
#pragma once

#include <string>
#include <vector>

namespace phonedock {

struct DeviceChoice {
    std::string handset;  // the first device whose name contains "USB"
    std::string other;    // the first whose name contains neither "USB" nor "Virtual"
};

// `names` in device order; a device whose capabilities could not be read is left out by the caller.
DeviceChoice ChooseDevices(const std::vector<std::string>& names);

// Whether a registry value of `size` bytes names a USB device. The value need not be terminated: only the
// bytes read are searched.
bool NamesUsbDevice(const char* value, size_t size);

}  // namespace phonedock
