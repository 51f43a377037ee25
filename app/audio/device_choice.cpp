#include "device_choice.h"

#include <string_view>

namespace phonedock {

DeviceChoice ChooseDevices(const std::vector<std::string>& names) {
    DeviceChoice choice;
    for (const std::string& name : names) {
        if (name.find("USB") != std::string::npos) {
            choice.handset = name;
            break;
        }
    }
    for (const std::string& name : names) {
        if (name.find("USB") == std::string::npos && name.find("Virtual") == std::string::npos) {
            choice.other = name;
            break;
        }
    }
    return choice;
}

bool NamesUsbDevice(const char* value, size_t size) {
    std::string_view text(value, size);
    text = text.substr(0, text.find('\0'));
    return text.find("USB") != std::string_view::npos;
}

}  // namespace phonedock
