// Walking the chunks of a WAVE image: what is found, and that nothing outside the image is read.
#include <gtest/gtest.h>

#include "audio/wave_file.h"

#include <cstring>
#include <string>
#include <vector>

using phonedock::FindWaveChunks;
using phonedock::WaveImage;
using Bytes = std::vector<uint8_t>;

namespace {

void Put32(Bytes& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void Chunk(Bytes& b, const char* id, const Bytes& body, bool pad = true) {
    b.insert(b.end(), id, id + 4);
    Put32(b, static_cast<uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2 == 1) b.push_back(0);
}

Bytes Format(size_t length = 16) {
    Bytes f = {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0, 0, 0};
    f.resize(length);
    return f;
}

// A RIFF image of the given chunks; `riffSize` overrides the size field.
Bytes Riff(const Bytes& chunks, long riffSize = -1) {
    Bytes b = {'R', 'I', 'F', 'F'};
    Put32(b, riffSize >= 0 ? static_cast<uint32_t>(riffSize) : static_cast<uint32_t>(chunks.size() + 4));
    b.insert(b.end(), {'W', 'A', 'V', 'E'});
    b.insert(b.end(), chunks.begin(), chunks.end());
    return b;
}

}  // namespace

TEST(WaveFile, FindsFormatAndSamplesInEitherOrderStepOverOthersAndPadBytes) {
    Bytes chunks;
    Chunk(chunks, "fmt ", Format());
    Chunk(chunks, "data", Bytes(7, 0x55));  // odd: a pad byte follows
    Chunk(chunks, "LIST", Bytes(10, 'x'));
    Bytes image = Riff(chunks);
    WaveImage wave;
    ASSERT_TRUE(FindWaveChunks(image.data(), image.size(), wave));
    EXPECT_EQ(wave.formatLength, 16u);
    EXPECT_EQ(wave.sampleBytes, 7u);
    EXPECT_EQ(wave.samples, image.data() + 12 + 24 + 8);

    Bytes reversed;
    Chunk(reversed, "data", Bytes(4, 1));
    Chunk(reversed, "junk", Bytes(3, 2));
    Chunk(reversed, "fmt ", Format(14));
    image = Riff(reversed);
    ASSERT_TRUE(FindWaveChunks(image.data(), image.size(), wave));
    EXPECT_EQ(wave.formatLength, 14u);
    EXPECT_EQ(wave.sampleBytes, 4u);

    Bytes emptyFirst;
    Chunk(emptyFirst, "data", {});
    Chunk(emptyFirst, "fmt ", Format());
    image = Riff(emptyFirst);
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));  // no samples before the format
}

TEST(WaveFile, RefusesWhatIsNotAUsableWave) {
    WaveImage wave;
    Bytes chunks;
    Chunk(chunks, "fmt ", Format(12));  // too short for a wave format
    Chunk(chunks, "data", Bytes(8, 0));
    Bytes image = Riff(chunks);
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));

    image = Riff({});
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));
    image[8] = 'X';  // not WAVE
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));
    EXPECT_FALSE(FindWaveChunks(image.data(), 11, wave));
    EXPECT_FALSE(FindWaveChunks(nullptr, 0, wave));
}

TEST(WaveFile, NeverReadsPastTheImage) {
    WaveImage wave;
    // A data chunk that claims more bytes than the image holds.
    Bytes chunks;
    Chunk(chunks, "fmt ", Format());
    Bytes data = {'d', 'a', 't', 'a'};
    Put32(data, 1000);
    data.resize(data.size() + 10, 0);
    chunks.insert(chunks.end(), data.begin(), data.end());
    Bytes image = Riff(chunks);
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));

    // A RIFF size far beyond the image is bounded by the image: the walk still finds what is there...
    Bytes good;
    Chunk(good, "fmt ", Format());
    Chunk(good, "data", Bytes(6, 3));
    image = Riff(good, 0x7FFFFFF0);
    ASSERT_TRUE(FindWaveChunks(image.data(), image.size(), wave));
    // ...and a chunk header cut off by the end of the image fails instead of being read.
    Bytes cut;
    Chunk(cut, "fmt ", Format());
    cut.insert(cut.end(), {'d', 'a', 't'});
    image = Riff(cut, 0x7FFFFFF0);
    EXPECT_FALSE(FindWaveChunks(image.data(), image.size(), wave));

    // A fuzz-like sweep: every prefix of a valid image is walked within its bounds.
    image = Riff(good);
    for (size_t size = 0; size <= image.size(); ++size) {
        Bytes prefix(image.begin(), image.begin() + static_cast<long>(size));
        FindWaveChunks(prefix.data(), prefix.size(), wave);
    }
}
