// Finding the format and the samples inside a RIFF/WAVE image, with no platform call. Nothing is copied:
// the answer points into the image.
#pragma once

#include <cstddef>
#include <cstdint>

namespace phonedock {

struct WaveImage {
    const uint8_t* format = nullptr;  // the "fmt " chunk's body (a WAVEFORMATEX), at least 14 bytes
    uint32_t formatLength = 0;
    const uint8_t* samples = nullptr;  // the "data" chunk's body
    uint32_t sampleBytes = 0;
};

// Walks the chunks of the `size` bytes at `image`. Succeeds when a format of at least 14 bytes is found with
// a data chunk: one of non-zero length before the format, or one of any length after it (an empty one plays
// nothing). A later data chunk replaces an earlier one, a second format is skipped, unknown chunks and the
// pad byte after an odd-sized chunk are stepped over. Nothing is read outside the image: the walk ends at
// the RIFF size or at the image's end, whichever comes first, and a chunk whose header or body would run
// past that end fails the walk.
bool FindWaveChunks(const uint8_t* image, size_t size, WaveImage& wave);

}  // namespace phonedock
