#include "handset_interface.h"

#include "hid_interfaces.h"

#include <algorithm>
#include <cctype>

namespace e2e {
namespace {

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

std::string handsetInterfacePath() {
    for (const std::string& path : vhandset::HidInterfacePaths()) {
        if (lowered(path).find("vid_04b4&pid_0302") != std::string::npos) return path;
    }
    return {};
}

}  // namespace e2e
