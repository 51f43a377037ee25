// The sounds: DTMF key tones, the key click, and the longer signals the program carries but does not play.
// Each generator returns `count` samples in [-1, 1] at `sampleRate`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace assetgen {

struct DtmfPair {
    double lowHz;
    double highHz;
};

// The row and column frequencies of a keypad key ('0' to '9', '*', '#'); nothing for other characters.
std::optional<DtmfPair> dtmfFrequencies(char key);

std::vector<double> dtmfTone(char key, size_t count, uint32_t sampleRate);
std::vector<double> keyClick(size_t count, uint32_t sampleRate);
std::vector<double> busySignal(size_t count, uint32_t sampleRate);
std::vector<double> chime(size_t count, uint32_t sampleRate);
std::vector<double> ringback(size_t count, uint32_t sampleRate);

}  // namespace assetgen
