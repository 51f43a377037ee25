#include "tray_data.h"

#include <cstring>

namespace e2e {
namespace {

constexpr size_t kOwnerOffset = 0;
constexpr size_t kIdOffset = 4;
constexpr size_t kFlagsOffset = 8;
constexpr size_t kCallbackOffset = 12;
constexpr size_t kTipOffset = 16;
constexpr size_t kTipUnits = 128;
constexpr size_t kWidthOffset = 944;
constexpr size_t kHeightOffset = 948;
constexpr size_t kPlanesOffset = 952;
constexpr size_t kBitsPerPixelOffset = 956;

uint32_t u32At(const uint8_t* bytes, size_t offset) {
    uint32_t value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

std::string tipAt(const uint8_t* bytes) {
    std::string tip;
    for (size_t i = 0; i < kTipUnits; ++i) {
        uint16_t unit;
        std::memcpy(&unit, bytes + kTipOffset + 2 * i, sizeof unit);
        if (unit == 0) break;
        tip += unit <= 0x7F ? static_cast<char>(unit) : '?';
    }
    return tip;
}

}  // namespace

std::optional<TrayMessage> decodeTrayMessage(uint64_t message, const void* data, size_t size) {
    if (data == nullptr || size < kTrayDataSize) return std::nullopt;
    const auto* bytes = static_cast<const uint8_t*>(data);
    TrayMessage m;
    m.message = message;
    m.owner = u32At(bytes, kOwnerOffset);
    m.id = u32At(bytes, kIdOffset);
    m.flags = u32At(bytes, kFlagsOffset);
    m.callbackMessage = u32At(bytes, kCallbackOffset);
    m.tip = tipAt(bytes);
    m.width = u32At(bytes, kWidthOffset);
    m.height = u32At(bytes, kHeightOffset);
    m.planes = u32At(bytes, kPlanesOffset);
    m.bitsPerPixel = u32At(bytes, kBitsPerPixelOffset);
    m.picture.assign(bytes + kTrayDataSize, bytes + size);
    return m;
}

}  // namespace e2e
