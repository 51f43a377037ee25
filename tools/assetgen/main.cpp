// assetgen: writes the icons and WAVE tones that phonedock.rc compiles into the program. The tables below
// give each file's size and colour depth, or its sample format and exact byte counts, which the program's
// callers rely on; a tone that does not come out at its byte count stops the build. Run by the build:
//     assetgen <output folder>
// Every file is written afresh, then "assets.stamp" marks the set complete.
#include "icon_file.h"
#include "icons.h"
#include "tones.h"
#include "wave_file.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace assetgen;

struct IconRow {
    int id;
    const char* file;
    int size;
    int bitsPerPixel;
    Picture (*draw)(int size);
};

// clang-format off
const IconRow kIcons[] = {
    // id   file                     pixels  bpp  picture
    {107, "emblem.ico",               32,    24,  emblemWithTurningArrows},
    {108, "handset.ico",              32,     8,  handset},
    {129, "tray_attached.ico",        16,    24,  emblemWithArrowCircle},
    {130, "tray_no_handset.ico",      16,    24,  emblemWithNoSign},
    {131, "tray_no_skype.ico",        16,    24,  emblemWithExclamationMark},
};
// clang-format on

using Sound = std::function<std::vector<double>(size_t count, uint32_t sampleRate)>;

Sound dtmf(char key) {
    return [key](size_t count, uint32_t sampleRate) { return dtmfTone(key, count, sampleRate); };
}

struct WaveRow {
    int id;
    const char* file;
    uint32_t resourceBytes;  // the whole RIFF file, as the resource holds it
    uint32_t sampleRate;
    uint16_t bits;
    uint32_t dataBytes;
    uint32_t listBytes;  // body of the closing LIST chunk; 0: none
    Sound sound;
};

// clang-format off
const WaveRow kWaves[] = {
    // id   file               bytes   rate  bits   data   LIST  sound
    {133, "dtmf_0.wav",         3600, 22050,  16,   3556,     0, dtmf('0')},
    {134, "dtmf_1.wav",         3594, 22050,  16,   3550,     0, dtmf('1')},
    {135, "dtmf_2.wav",         3572, 22050,  16,   3528,     0, dtmf('2')},
    {136, "dtmf_3.wav",         3586, 22050,  16,   3542,     0, dtmf('3')},
    {137, "dtmf_4.wav",         3614, 22050,  16,   3570,     0, dtmf('4')},
    {138, "dtmf_5.wav",         3594, 22050,  16,   3550,     0, dtmf('5')},
    {139, "dtmf_6.wav",         3606, 22050,  16,   3562,     0, dtmf('6')},
    {140, "dtmf_7.wav",         3600, 22050,  16,   3556,     0, dtmf('7')},
    {141, "dtmf_8.wav",         3594, 22050,  16,   3550,     0, dtmf('8')},
    {142, "dtmf_9.wav",         3608, 22050,  16,   3564,     0, dtmf('9')},
    {144, "dtmf_hash.wav",      3586, 22050,  16,   3542,     0, dtmf('#')},
    {146, "dtmf_star.wav",      3614, 22050,  16,   3570,     0, dtmf('*')},
    {147, "key_click.wav",      3768, 22050,  16,   3724,     0, keyClick},
    {132, "busy.wav",          90782, 11025,  16,  90616,   114, busySignal},
    {143, "chime.wav",          5678, 11025,   8,   5555,    70, chime},
    {145, "ringback.wav",      77276, 11025,   8,  77153,    70, ringback},
};
// clang-format on

void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeIcons(const std::filesystem::path& folder) {
    for (const IconRow& row : kIcons)
        writeFile(folder / row.file, encodeIcon(row.draw(row.size), row.bitsPerPixel));
}

void writeWaves(const std::filesystem::path& folder) {
    for (const WaveRow& row : kWaves) {
        const size_t samples = row.dataBytes / (row.bits / 8u);
        WaveLayout layout;
        layout.sampleRate = row.sampleRate;
        layout.bitsPerSample = row.bits;
        layout.listChunkBytes = row.listBytes;
        layout.title = std::string(row.file, std::string(row.file).find('.'));
        const std::vector<uint8_t> wave = encodeWave(layout, row.sound(samples, row.sampleRate));
        if (wave.size() != row.resourceBytes) {
            throw std::runtime_error(std::string(row.file) + " came out at " + std::to_string(wave.size()) +
                                     " bytes instead of " + std::to_string(row.resourceBytes));
        }
        writeFile(folder / row.file, wave);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: assetgen <output folder>\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::filesystem::create_directories(folder);
        writeIcons(folder);
        writeWaves(folder);
        writeFile(folder / "assets.stamp", {});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
