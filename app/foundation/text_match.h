// The one prefix test for the texts Skype gives us (notifications, window titles and classes): ASCII
// letters match whatever their case, every other byte only itself.
#pragma once

#include <cctype>
#include <string_view>

namespace phonedock {

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) !=
            std::toupper(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace phonedock
