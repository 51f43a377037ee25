// WAVE resources, any bytes: the chunk walk answers from inside the image only, with a format of at least
// 14 bytes and the samples of a data chunk.
#include "audio/wave_file.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool Inside(const uint8_t* part, uint32_t length, const uint8_t* image, size_t size) {
    return part >= image && static_cast<size_t>(part - image) <= size &&
           length <= size - static_cast<size_t>(part - image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact copy: a read one byte past the image is caught.
    auto image = std::make_unique<uint8_t[]>(size);
    if (size > 0) std::memcpy(image.get(), data, size);
    phonedock::WaveImage wave;
    if (!phonedock::FindWaveChunks(image.get(), size, wave)) return 0;
    Require(wave.format != nullptr && wave.formatLength >= 14);
    // Empty samples only from a data chunk after the format.
    Require(wave.samples != nullptr && (wave.sampleBytes > 0 || wave.samples > wave.format));
    Require(Inside(wave.format, wave.formatLength, image.get(), size));
    Require(Inside(wave.samples, wave.sampleBytes, image.get(), size));
    Require(std::memcmp(wave.format - 8, "fmt ", 4) == 0 && std::memcmp(wave.samples - 8, "data", 4) == 0);
    return 0;
}
