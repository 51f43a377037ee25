// Wave-out playback as tone playback uses it: the event signalled at open and once a buffer has played for
// its real length, the header flags, reset and close while playing, refused devices and formats, a device
// that never finishes, and the record of every playback.
#include "support/winsim_fixture.h"

#include <windows.h>
#include <mmsystem.h>

#include <chrono>
#include <vector>

#if WINSIM_ONLY  // plays on winsim's recorded wave-out devices; this machine has no sound device

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr DWORD kRate = 22050;

WAVEFORMATEX monoPcm16(DWORD rate = kRate) {
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = 1;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = 2;
    f.nAvgBytesPerSec = rate * 2;
    return f;
}

// `ms` milliseconds of 16-bit mono samples counting up from 0.
std::vector<char> samples(DWORD ms) {
    std::vector<char> bytes(kRate * 2 * ms / 1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
    return bytes;
}

WAVEHDR headerFor(std::vector<char>& bytes) {
    WAVEHDR h{};
    h.lpData = bytes.data();
    h.dwBufferLength = static_cast<DWORD>(bytes.size());
    return h;
}

long long msSince(steady_clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(steady_clock::now() - start).count();
}

class WaveOutTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        winsim::setPlaybackDevices({"Speakers (Onboard)", "USB Audio Device"});
        event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    void TearDown() override {
        CloseHandle(event);
        WinsimTest::TearDown();
    }
    // Opens `device` with the event as callback, and takes the WOM_OPEN signal.
    HWAVEOUT open(UINT device) {
        HWAVEOUT h = nullptr;
        const WAVEFORMATEX f = monoPcm16();
        EXPECT_EQ(waveOutOpen(&h, device, &f, reinterpret_cast<DWORD_PTR>(event), 0, CALLBACK_EVENT),
                  static_cast<MMRESULT>(MMSYSERR_NOERROR));
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "WOM_OPEN";
        return h;
    }

    HANDLE event = nullptr;
};

const MMRESULT kOk = MMSYSERR_NOERROR;

}  // namespace

TEST_F(WaveOutTest, BufferPlaysForItsLengthThenIsReturnedDoneAndRecorded) {
    HWAVEOUT h = open(1);
    EXPECT_EQ(winsim::openWaveOutCount(), 1u);
    auto bytes = samples(100);
    WAVEHDR header = headerFor(bytes);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof(header)), kOk);
    EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_PREPARED));

    const auto start = steady_clock::now();
    ASSERT_EQ(waveOutWrite(h, &header, sizeof(header)), kOk);
    EXPECT_EQ(waveOutRestart(h), kOk) << "a device that is not paused goes on playing";
    EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_INQUEUE));
    ASSERT_EQ(WaitForSingleObject(event, 2000), WAIT_OBJECT_0);
    const long long took = msSince(start);
    EXPECT_GE(took, 95);
    EXPECT_LT(took, 600);
    EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_PREPARED | WHDR_DONE));

    EXPECT_EQ(waveOutReset(h), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "nothing left to return";
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof(header)), kOk);
    EXPECT_EQ(header.dwFlags, static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(waveOutClose(h), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "WOM_CLOSE";
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));

    const auto playbacks = winsim::waveOutPlaybacks();
    ASSERT_EQ(playbacks.size(), 1u);
    const winsim::WaveOutPlayback& p = playbacks[0];
    EXPECT_EQ(p.deviceId, 1u);
    EXPECT_EQ(p.formatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(p.samplesPerSecond, kRate);
    EXPECT_EQ(p.bitsPerSample, 16);
    EXPECT_EQ(p.bytes, bytes.size());
    EXPECT_EQ(p.firstBytes, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 16));
    EXPECT_EQ(p.loops, 1u);
    EXPECT_TRUE(p.started);
    EXPECT_EQ(p.end, winsim::PlaybackEnd::PlayedToEnd);
    EXPECT_NEAR(static_cast<double>(p.endTime - p.startTime), 100.0, 2.0);

    // The same bytes hash the same; other bytes do not.
    h = open(0);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof(header)), kOk);
    bytes[100] ^= 1;
    ASSERT_EQ(waveOutWrite(h, &header, sizeof(header)), kOk);
    ASSERT_TRUE(winsim::waitForWaveOutPlaybacks(2, 2000));
    EXPECT_NE(winsim::waveOutPlaybacks()[1].hash, p.hash);
    EXPECT_EQ(winsim::waveOutPlaybacks()[1].deviceId, 0u);
}

TEST_F(WaveOutTest, LoopingBufferPlaysUntilResetAndKeepsTheDeviceFromClosing) {
    HWAVEOUT h = open(0);
    auto loop = samples(20);
    auto next = samples(20);
    WAVEHDR looping = headerFor(loop);
    WAVEHDR queued = headerFor(next);
    ASSERT_EQ(waveOutPrepareHeader(h, &looping, sizeof(looping)), kOk);
    ASSERT_EQ(waveOutPrepareHeader(h, &queued, sizeof(queued)), kOk);
    looping.dwFlags |= WHDR_BEGINLOOP | WHDR_ENDLOOP;
    looping.dwLoops = 0xFFFFFFFF;
    ASSERT_EQ(waveOutWrite(h, &looping, sizeof(looping)), kOk);
    ASSERT_EQ(waveOutWrite(h, &queued, sizeof(queued)), kOk);
    EXPECT_EQ(waveOutWrite(h, &queued, sizeof(queued)), static_cast<MMRESULT>(WAVERR_STILLPLAYING));

    EXPECT_EQ(WaitForSingleObject(event, 150), static_cast<DWORD>(WAIT_TIMEOUT)) << "still looping";
    EXPECT_EQ(waveOutClose(h), static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutUnprepareHeader(h, &looping, sizeof(looping)),
              static_cast<MMRESULT>(WAVERR_STILLPLAYING));
    EXPECT_EQ(winsim::openWaveOutCount(), 1u);

    EXPECT_EQ(waveOutReset(h), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(looping.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(queued.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_DONE));
    const auto playbacks = winsim::waveOutPlaybacks();
    ASSERT_EQ(playbacks.size(), 2u);
    EXPECT_EQ(playbacks[0].loops, 0xFFFFFFFFu);
    EXPECT_EQ(playbacks[0].end, winsim::PlaybackEnd::Reset);
    EXPECT_TRUE(playbacks[0].started);
    EXPECT_EQ(playbacks[1].end, winsim::PlaybackEnd::Reset);
    EXPECT_FALSE(playbacks[1].started) << "it waited behind the loop";

    EXPECT_EQ(waveOutUnprepareHeader(h, &looping, sizeof(looping)), kOk);
    EXPECT_EQ(waveOutUnprepareHeader(h, &queued, sizeof(queued)), kOk);
    EXPECT_EQ(waveOutClose(h), kOk);
}

TEST_F(WaveOutTest, BuffersPlayInTurnAndAPauseHoldsThem) {
    HWAVEOUT h = open(0);
    auto first = samples(40);
    auto second = samples(40);
    WAVEHDR a = headerFor(first);
    WAVEHDR b = headerFor(second);
    ASSERT_EQ(waveOutPrepareHeader(h, &a, sizeof(a)), kOk);
    ASSERT_EQ(waveOutPrepareHeader(h, &b, sizeof(b)), kOk);
    ASSERT_EQ(waveOutPause(h), kOk);
    ASSERT_EQ(waveOutWrite(h, &a, sizeof(a)), kOk);
    ASSERT_EQ(waveOutWrite(h, &b, sizeof(b)), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 100), static_cast<DWORD>(WAIT_TIMEOUT)) << "paused";
    EXPECT_FALSE(winsim::waveOutPlaybacks()[0].started);

    const auto start = steady_clock::now();
    ASSERT_EQ(waveOutRestart(h), kOk);
    ASSERT_TRUE(winsim::waitForWaveOutPlaybacks(2, 2000));
    EXPECT_GE(msSince(start), 78);
    const auto playbacks = winsim::waveOutPlaybacks();
    EXPECT_NEAR(static_cast<double>(playbacks[1].startTime - playbacks[0].startTime), 40.0, 2.0);
    EXPECT_EQ(a.dwFlags & WHDR_DONE, static_cast<DWORD>(WHDR_DONE));
    EXPECT_EQ(b.dwFlags & WHDR_DONE, static_cast<DWORD>(WHDR_DONE));
    waveOutUnprepareHeader(h, &a, sizeof(a));
    waveOutUnprepareHeader(h, &b, sizeof(b));
    EXPECT_EQ(waveOutClose(h), kOk);
}

TEST_F(WaveOutTest, RefusesBadDevicesFormatsHandlesAndHeaders) {
    const WAVEFORMATEX good = monoPcm16();
    HWAVEOUT h = reinterpret_cast<HWAVEOUT>(0x1);
    EXPECT_EQ(waveOutOpen(&h, 2, &good, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(h, nullptr);
    EXPECT_EQ(waveOutOpen(nullptr, 0, &good, 0, 0, CALLBACK_NULL),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutOpen(&h, 0, nullptr, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutOpen(&h, 0, &good, 0, 0, CALLBACK_EVENT), static_cast<MMRESULT>(MMSYSERR_INVALPARAM))
        << "no event";

    WAVEFORMATEX notPcm = good;
    notPcm.wFormatTag = 3;  // IEEE float
    WAVEFORMATEX badAlign = good;
    badAlign.nBlockAlign = 4;
    WAVEFORMATEX badRate = good;
    badRate.nAvgBytesPerSec = 1000;
    for (const WAVEFORMATEX& bad : {notPcm, badAlign, badRate}) {
        EXPECT_EQ(waveOutOpen(&h, 0, &bad, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(WAVERR_BADFORMAT));
    }
    EXPECT_EQ(waveOutOpen(nullptr, 0, &notPcm, 0, 0, WAVE_FORMAT_QUERY),
              static_cast<MMRESULT>(WAVERR_BADFORMAT));
    EXPECT_EQ(waveOutOpen(nullptr, 0, &good, 0, 0, WAVE_FORMAT_QUERY), kOk);
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);

    winsim::failPlaybackDeviceOpen(1, MMSYSERR_ALLOCATED);
    EXPECT_EQ(waveOutOpen(&h, 1, &good, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_ALLOCATED));
    ASSERT_EQ(waveOutOpen(&h, 0, &good, 0, 0, CALLBACK_NULL), kOk);

    auto bytes = samples(10);
    WAVEHDR header = headerFor(bytes);
    EXPECT_EQ(waveOutWrite(h, &header, sizeof(header)), static_cast<MMRESULT>(WAVERR_UNPREPARED));
    EXPECT_EQ(waveOutPrepareHeader(h, &header, sizeof(header) - 1),
              static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutPrepareHeader(h, nullptr, sizeof(header)), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutPrepareHeader(reinterpret_cast<HWAVEOUT>(0x1234), &header, sizeof(header)),
              static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(header.dwFlags, 0u);
    EXPECT_EQ(waveOutClose(h), kOk);
    EXPECT_TRUE(winsim::waveOutPlaybacks().empty());

    winsim::setPlaybackDevices({});
    EXPECT_EQ(waveOutOpen(&h, 0, &good, 0, 0, CALLBACK_NULL), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &good, 0, 0, CALLBACK_NULL),
              static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
}

TEST_F(WaveOutTest, StalledDeviceReturnsNothingUntilReset) {
    winsim::stallPlaybackDevice(1);
    HWAVEOUT h = open(1);
    auto bytes = samples(20);
    WAVEHDR header = headerFor(bytes);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof(header)), kOk);
    ASSERT_EQ(waveOutWrite(h, &header, sizeof(header)), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 150), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(header.dwFlags & (WHDR_DONE | WHDR_INQUEUE), static_cast<DWORD>(WHDR_INQUEUE));
    EXPECT_FALSE(winsim::waitForWaveOutPlaybacks(1, 20));

    // What a program does when its time is up: reset, which returns the buffer.
    EXPECT_EQ(waveOutReset(h), kOk);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(winsim::waveOutPlaybacks()[0].end, winsim::PlaybackEnd::Reset);
    EXPECT_EQ(waveOutUnprepareHeader(h, &header, sizeof(header)), kOk);
    EXPECT_EQ(waveOutClose(h), kOk);

    // Device 0 still plays; and device 1 again once it works.
    for (UINT device : {0u, 1u}) {
        winsim::stallPlaybackDevice(1, false);
        h = open(device);
        ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof(header)), kOk);
        ASSERT_EQ(waveOutWrite(h, &header, sizeof(header)), kOk);
        EXPECT_EQ(WaitForSingleObject(event, 2000), WAIT_OBJECT_0);
        EXPECT_EQ(header.dwFlags & WHDR_DONE, static_cast<DWORD>(WHDR_DONE));
        waveOutUnprepareHeader(h, &header, sizeof(header));
        EXPECT_EQ(waveOutClose(h), kOk);
    }
}

TEST_F(WaveOutTest, ResetForgetsOpenDevicesAndRecords) {
    HWAVEOUT h = open(0);
    auto bytes = samples(200);
    WAVEHDR header = headerFor(bytes);
    ASSERT_EQ(waveOutPrepareHeader(h, &header, sizeof(header)), kOk);
    ASSERT_EQ(waveOutWrite(h, &header, sizeof(header)), kOk);
    winsim::stallPlaybackDevice(0);
    winsim::reset();
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);
    EXPECT_TRUE(winsim::waveOutPlaybacks().empty());
    EXPECT_EQ(waveOutReset(h), static_cast<MMRESULT>(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(header.dwFlags & WHDR_DONE, 0u) << "the forgotten buffer is not touched";
    event = CreateEventA(nullptr, FALSE, FALSE, nullptr);  // the fixture's went with the reset
}

#endif  // WINSIM_ONLY
