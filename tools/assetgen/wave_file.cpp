#include "wave_file.h"

#include "byte_writer.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace assetgen {
namespace {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kChannels = 1;

std::vector<uint8_t> quantise(const std::vector<double>& samples, uint16_t bitsPerSample) {
    ByteWriter out;
    for (double s : samples) {
        const double v = std::clamp(s, -1.0, 1.0);
        if (bitsPerSample == 8) {
            out.u8(static_cast<uint8_t>(std::lround(128.0 + v * 127.0)));
        } else {
            out.u16(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * 32767.0))));
        }
    }
    return out.bytes();
}

// An INFO list whose one entry ("INAM") carries the title, padded with NULs to fill the requested length.
void writeInfoList(ByteWriter& out, uint32_t bodyBytes, const std::string& title) {
    constexpr uint32_t kListTypeAndEntryHeader = 4 + 8;
    if (bodyBytes < kListTypeAndEntryHeader + title.size() + 1 ||
        (bodyBytes - kListTypeAndEntryHeader) % 2 != 0) {
        throw std::runtime_error("LIST chunk of " + std::to_string(bodyBytes) + " bytes cannot hold \"" +
                                 title + "\"");
    }
    const uint32_t nameBytes = bodyBytes - kListTypeAndEntryHeader;
    out.text("LIST");
    out.u32(bodyBytes);
    out.text("INFO");
    out.text("INAM");
    out.u32(nameBytes);
    out.text(title);
    out.zeros(nameBytes - title.size());
}

}  // namespace

std::vector<uint8_t> encodeWave(const WaveLayout& layout, const std::vector<double>& samples) {
    if (layout.bitsPerSample != 8 && layout.bitsPerSample != 16) {
        throw std::runtime_error("only 8- and 16-bit PCM is written");
    }
    const std::vector<uint8_t> data = quantise(samples, layout.bitsPerSample);
    const uint16_t blockAlign = static_cast<uint16_t>(kChannels * layout.bitsPerSample / 8);

    ByteWriter body;  // everything after "RIFF" and its length
    body.text("WAVE");
    body.text("fmt ");
    body.u32(16);
    body.u16(kWaveFormatPcm);
    body.u16(kChannels);
    body.u32(layout.sampleRate);
    body.u32(layout.sampleRate * blockAlign);
    body.u16(blockAlign);
    body.u16(layout.bitsPerSample);
    body.text("data");
    body.u32(static_cast<uint32_t>(data.size()));
    body.append(data);
    if (data.size() % 2 != 0) body.u8(0);  // chunks start on even offsets
    if (layout.listChunkBytes != 0) writeInfoList(body, layout.listChunkBytes, layout.title);

    ByteWriter file;
    file.text("RIFF");
    file.u32(static_cast<uint32_t>(body.size()));
    file.append(body.bytes());
    return file.bytes();
}

}  // namespace assetgen
