// Icons: LoadIconA makes a handle from a group icon of the program's resources (RT_GROUP_ICON, whose
// directory names its images, each an RT_ICON resource) or from a system icon. Icon handles are numbers in
// a table, never pointers, and the control API maps each back to what it was made from.
#include "internal.h"
#include "resource_reader.h"

#include <winsim/control.h>

#include <cctype>
#include <cstdlib>
#include <map>

namespace winsim::detail {
namespace {

constexpr WORD kFirstSystemIcon = 32512;  // IDI_APPLICATION
constexpr WORD kLastSystemIcon = 32518;   // IDI_SHIELD
constexpr int kSystemIconSize = 32;
constexpr int kSystemIconBits = 32;

struct IconState {
    std::map<uintptr_t, winsim::IconSource> icons;  // by handle value
    std::map<std::string, HICON> shared;            // loading the same icon again gives the same handle
};

IconState& state() {
    static IconState& s = *new IconState;
    return s;
}

// Never reused, not even across reset; far from window handles and from the system cursors.
uintptr_t nextIconValue = 0x00A00010;

ResetHook iconReset([] { state() = IconState{}; });

// One entry of a group icon's directory (GRPICONDIRENTRY).
struct GroupEntry {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
    WORD imageId = 0;
};

// The directory: WORD reserved, WORD type (1: icons), WORD count, then 14-byte entries: BYTE width, BYTE
// height (0 means 256), BYTE colour count, BYTE reserved, WORD planes, WORD bit count, DWORD bytes, WORD id.
// The entry chosen is the one nearest in size to a 32 x 32 icon, of the deepest colour among those.
bool chooseImage(const uint8_t* data, size_t size, GroupEntry& chosen) {
    ResourceReader r(data, size);
    r.word();
    const WORD type = r.word();
    const WORD count = r.word();
    if (!r.ok() || type != 1 || count == 0) return false;
    int bestDistance = 1 << 30;
    for (WORD i = 0; i < count; ++i) {
        GroupEntry e;
        e.width = r.byte();
        e.height = r.byte();
        if (e.width == 0) e.width = 256;
        if (e.height == 0) e.height = 256;
        r.skip(4);  // colour count, reserved, planes
        e.bitsPerPixel = r.word();
        r.dword();
        e.imageId = r.word();
        if (!r.ok()) return false;
        const int distance = std::abs(e.width - 32) + std::abs(e.height - 32);
        if (distance < bestDistance || (distance == bestDistance && e.bitsPerPixel > chosen.bitsPerPixel)) {
            bestDistance = distance;
            chosen = e;
        }
    }
    return true;
}

// The image's own description, from its BITMAPINFOHEADER, whose height counts the colour image and the mask.
bool describeImage(const uint8_t* data, size_t size, winsim::IconSource& source) {
    ResourceReader r(data, size);
    const DWORD headerSize = r.dword();
    const auto width = static_cast<LONG>(r.dword());
    const auto height = static_cast<LONG>(r.dword());
    r.word();  // planes
    const WORD bits = r.word();
    if (!r.ok() || headerSize < 40 || size < headerSize || width <= 0 || height <= 0) return false;
    source.width = width;
    source.height = height / 2;
    source.bitsPerPixel = bits;
    return true;
}

HICON shareIcon(const std::string& key, const winsim::IconSource& source) {
    Lock lock(bigLock());
    auto it = state().shared.find(key);
    if (it != state().shared.end()) return it->second;
    const auto handle = reinterpret_cast<HICON>(nextIconValue);
    nextIconValue += 0x10;
    state().icons[reinterpret_cast<uintptr_t>(handle)] = source;
    state().shared[key] = handle;
    return handle;
}

HICON loadSystemIcon(LPCSTR name) {
    const auto id = IS_INTRESOURCE(name) ? static_cast<WORD>(reinterpret_cast<uintptr_t>(name)) : 0;
    if (id < kFirstSystemIcon || id > kLastSystemIcon) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    winsim::IconSource source;
    source.known = true;
    source.systemIcon = true;
    source.resourceId = id;
    source.width = source.height = kSystemIconSize;
    source.bitsPerPixel = kSystemIconBits;
    return shareIcon("system:" + std::to_string(id), source);
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

IconSource iconSource(HICON icon) {
    Lock lock(bigLock());
    auto it = state().icons.find(reinterpret_cast<uintptr_t>(icon));
    return it == state().icons.end() ? IconSource{} : it->second;
}

int iconResourceId(HICON icon) {
    return iconSource(icon).resourceId;
}

}  // namespace winsim

extern "C" {

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
    if (hInstance == nullptr) return loadSystemIcon(lpIconName);
    HRSRC group = FindResourceA(hInstance, lpIconName, RT_GROUP_ICON);
    if (group == nullptr) return nullptr;
    GroupEntry chosen;
    if (!chooseImage(static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, group))),
                     SizeofResource(hInstance, group), chosen)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    HRSRC image = FindResourceA(hInstance, MAKEINTRESOURCEA(chosen.imageId), RT_ICON);
    if (image == nullptr) return nullptr;
    winsim::IconSource source;
    source.known = true;
    if (!describeImage(static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, image))),
                       SizeofResource(hInstance, image), source)) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    std::string key;
    if (IS_INTRESOURCE(lpIconName)) {
        source.resourceId = static_cast<WORD>(reinterpret_cast<uintptr_t>(lpIconName));
        key = "#" + std::to_string(source.resourceId);
    } else {
        key = lpIconName;
        for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return shareIcon(key, source);
}

}  // extern "C"
