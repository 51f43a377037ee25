// Which audio devices are the handset's and which are the PC's own, from their product names alone.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace phonedock {

// One audio device as the system lists it: its device number and its product name.
struct AudioDevice {
    unsigned id = 0;
    std::string name;
};

struct DeviceChoice {
    std::optional<AudioDevice> handset;  // the first device whose name contains "USB"
    std::optional<AudioDevice> other;    // the first whose name contains neither "USB" nor "Virtual"
};

// `devices` in device order; a device whose capabilities could not be read is left out by the caller, so
// the numbers need not be consecutive.
DeviceChoice ChooseDevices(const std::vector<AudioDevice>& devices);

// Whether a registry value of `size` bytes names a USB device. The value need not be terminated: only the
// bytes read are searched.
bool NamesUsbDevice(const char* value, size_t size);

}  // namespace phonedock
