// The pictures of the program's icons as the shell passes them to the notification area: the icon loaded
// from the program file the way the program loads it, its mask bits followed by its colour bits.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace e2e {

using IconPicture = std::vector<uint8_t>;

// The pictures of the given icon resources of `programFile`; an icon that cannot be loaded is left out.
std::map<int, IconPicture> loadIconPictures(const std::string& programFile, const std::vector<int>& ids);

}  // namespace e2e
