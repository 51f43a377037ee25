// Little-endian output for the Windows file formats the generator writes (ICO, RIFF/WAVE).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace assetgen {

class ByteWriter {
  public:
    void u8(uint8_t v) { bytes_.push_back(v); }
    void u16(uint16_t v) {
        u8(static_cast<uint8_t>(v));
        u8(static_cast<uint8_t>(v >> 8));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v));
        u16(static_cast<uint16_t>(v >> 16));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    // A four-character code ("RIFF", "fmt ") or any text, without a terminator.
    void text(std::string_view s) {
        for (char c : s) u8(static_cast<uint8_t>(c));
    }
    void zeros(size_t n) { bytes_.insert(bytes_.end(), n, 0); }
    void append(const std::vector<uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

    size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
};

}  // namespace assetgen
