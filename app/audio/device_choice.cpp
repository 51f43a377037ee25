#include "device_choice.h"

#include <string_view>

namespace phonedock {
namespace {

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

}  // namespace

DeviceChoice ChooseDevices(const std::vector<AudioDevice>& devices) {
    DeviceChoice choice;
    for (const AudioDevice& device : devices) {
        if (!choice.handset && Contains(device.name, "USB")) choice.handset = device;
        if (!choice.other && !Contains(device.name, "USB") && !Contains(device.name, "Virtual")) {
            choice.other = device;
        }
    }
    return choice;
}

bool NamesUsbDevice(const char* value, size_t size) {
    std::string_view text(value, size);
    text = text.substr(0, text.find('\0'));
    return Contains(text, "USB");
}

}  // namespace phonedock
