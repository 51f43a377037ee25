// Single-image ICO files: the icon directory, then the image as a device-independent bitmap whose header
// gives twice the icon's height, the colour image (bottom-up) followed by the 1-bit transparency mask.
#pragma once

#include "picture.h"

#include <cstdint>
#include <vector>

namespace assetgen {

// bitsPerPixel 24 (direct colour) or 8 (a 256-colour palette, each pixel the nearest entry).
std::vector<uint8_t> encodeIcon(const Picture& picture, int bitsPerPixel);

}  // namespace assetgen
