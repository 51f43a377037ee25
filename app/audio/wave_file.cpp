#include "wave_file.h"

#include <algorithm>
#include <cstring>

namespace phonedock {
namespace {

constexpr size_t kRiffHeaderSize = 12;
constexpr size_t kChunkHeaderSize = 8;
constexpr uint32_t kMinFormatLength = 14;  // the basic wave format, without the bits per sample

uint32_t ReadLittleEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool IsTag(const uint8_t* p, const char (&tag)[5]) {
    return std::memcmp(p, tag, 4) == 0;
}

}  // namespace

bool FindWaveChunks(const uint8_t* image, size_t size, WaveImage& wave) {
    wave = WaveImage{};
    if (image == nullptr || size < kRiffHeaderSize) return false;
    if (!IsTag(image, "RIFF") || !IsTag(image + 8, "WAVE")) return false;
    const size_t end = std::min<size_t>(size, static_cast<size_t>(ReadLittleEndian32(image + 4)) + 8);

    size_t offset = kRiffHeaderSize;
    while (offset < end) {
        if (end - offset < kChunkHeaderSize) return false;
        const uint8_t* chunk = image + offset;
        const uint32_t length = ReadLittleEndian32(chunk + 4);
        const size_t body = offset + kChunkHeaderSize;
        if (length > end - body) return false;
        if (IsTag(chunk, "fmt ")) {
            if (wave.format == nullptr) {
                if (length < kMinFormatLength) return false;
                wave.format = image + body;
                wave.formatLength = length;
                if (wave.sampleBytes != 0) return true;
            }
        } else if (IsTag(chunk, "data")) {
            wave.samples = image + body;
            wave.sampleBytes = length;
            if (wave.format != nullptr) return true;
        }
        offset = body + length + (length & 1u);
    }
    return false;
}

}  // namespace phonedock
