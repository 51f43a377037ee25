#include "icon_pictures.h"

#include <windows.h>

#include <optional>

namespace e2e {
namespace {

// The bytes of a bitmap in whole 16-bit units per bitmap, as the shell copies them.
std::optional<IconPicture> bitmapBits(HBITMAP bitmap) {
    BITMAP info{};
    if (bitmap == nullptr || GetObjectA(bitmap, sizeof info, &info) == 0) return std::nullopt;
    const LONG bits = static_cast<LONG>(info.bmPlanes) * info.bmWidth * info.bmHeight * info.bmBitsPixel;
    IconPicture bytes(static_cast<size_t>((bits + 15) / 16 * 2));
    if (bytes.empty()) return bytes;
    if (GetBitmapBits(bitmap, static_cast<LONG>(bytes.size()), bytes.data()) == 0) return std::nullopt;
    return bytes;
}

std::optional<IconPicture> pictureOf(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return std::nullopt;
    std::optional<IconPicture> mask = bitmapBits(info.hbmMask);
    std::optional<IconPicture> colour = bitmapBits(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (!mask || !colour) return std::nullopt;
    mask->insert(mask->end(), colour->begin(), colour->end());
    return mask;
}

}  // namespace

std::map<int, IconPicture> loadIconPictures(const std::string& programFile, const std::vector<int>& ids) {
    std::map<int, IconPicture> pictures;
    const HMODULE module = LoadLibraryExA(programFile.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr) return pictures;
    for (int id : ids) {
        const HICON icon = LoadIconA(module, MAKEINTRESOURCEA(id));
        if (icon == nullptr) continue;
        if (std::optional<IconPicture> picture = pictureOf(icon)) pictures[id] = std::move(*picture);
    }
    FreeLibrary(module);
    return pictures;
}

}  // namespace e2e
