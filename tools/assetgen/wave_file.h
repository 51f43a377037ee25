// RIFF/WAVE files: the header, a 16-byte PCM "fmt " chunk, the "data" chunk (with its pad byte when its
// length is odd) and, optionally, a closing "LIST" chunk of metadata.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

struct WaveLayout {
    uint32_t sampleRate = 0;
    uint16_t bitsPerSample = 16;  // 16: signed samples; 8: unsigned samples centred on 128
    uint32_t listChunkBytes = 0;  // body length of the closing LIST chunk; 0: no LIST chunk
    std::string title;            // what the LIST chunk names the sound
};

// One channel of samples in [-1, 1], quantised to the layout's sample width.
std::vector<uint8_t> encodeWave(const WaveLayout& layout, const std::vector<double>& samples);

}  // namespace assetgen
