// Key clicks and DTMF tones from the program's own WAVE resources, on the handset's audio device.
#include "phonedock_fixture.h"
#include "audio/tone_player.h"

using namespace phonedock;

namespace {

class TonesTest : public WinsimTest {};

}  // namespace

TEST_F(TonesTest, TonesPlayOnTheFirstUsbDeviceElseOnDeviceZero) {
    winsim::setPlaybackDevices({"Onboard HD Audio", "USB Audio Device", "USB Headset"});
    PlayDtmfTone(10);  // '*'
    PlayDtmfTone(11);  // '#'
    PlayTone(KEY_CLICK_TONE);
    PlayDtmfTone(12);  // no such symbol
    auto played = winsim::waveOutPlaybacks();
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[0].bytes, 3570u);  // resource 146
    EXPECT_EQ(played[1].bytes, 3542u);  // resource 144
    EXPECT_EQ(played[2].bytes, 3724u);  // the click, 147
    for (const auto& p : played) {
        EXPECT_EQ(p.deviceId, 1u);
        EXPECT_EQ(p.end, winsim::PlaybackEnd::PlayedToEnd);  // played to its end before PlayTone returned
        EXPECT_GE(p.endTime - p.startTime, 75u);
    }

    winsim::setPlaybackDevices({"Speakers", "usb speaker"});  // "usb" in lower case is not the handset
    PlayDtmfTone(0);
    EXPECT_EQ(winsim::waveOutPlaybacks().back().deviceId, 0u);
    // A device that cannot say its name is passed over, and the next one plays under its own number.
    winsim::setPlaybackDevices({"Speakers", "USB Audio Device", "USB Headset"});
    winsim::failPlaybackDeviceCaps(1);
    PlayDtmfTone(0);
    EXPECT_EQ(winsim::waveOutPlaybacks().back().deviceId, 2u);
    winsim::setPlaybackDevices({});
    PlayDtmfTone(0);
    EXPECT_EQ(winsim::waveOutPlaybacks().size(), 5u);  // no device: nothing played
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);
}

TEST_F(TonesTest, ASilentOrFailingDeviceHoldsNothingAndLeavesNothingOpen) {
    winsim::setPlaybackDevices({"USB Audio Device"});
    const size_t handles = winsim::openHandleCount();

    // A device that never says the tone is done (pulled out mid-tone): the tone's length and a margin, then
    // reset.
    winsim::stallPlaybackDevice(0);
    const DWORD start = GetTickCount();
    PlayTone(KEY_CLICK_TONE);
    const DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 80u);
    EXPECT_LT(took, 1500u);
    EXPECT_EQ(winsim::waveOutPlaybacks().back().end, winsim::PlaybackEnd::Reset);
    winsim::stallPlaybackDevice(0, false);

    // A device that cannot be opened, many times over: no handle, device or event is left behind.
    winsim::failPlaybackDeviceOpen(0);
    for (int i = 0; i < 50; ++i) PlayTone(KEY_CLICK_TONE);
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);
    EXPECT_EQ(winsim::openHandleCount(), handles);
}

TEST_F(TonesTest, ALoopingToneRepeatsOnItsOwnThreadUntilStopped) {
    winsim::setPlaybackDevices({"USB Audio Device"});
    ToneWorker worker;
    ASSERT_TRUE(worker.Load(KEY_CLICK_TONE));
    EXPECT_EQ(worker.Start(true), 0);
    EXPECT_EQ(worker.Start(true), 1);  // already playing
    ASSERT_TRUE(testsupport::Eventually([] { return !winsim::waveOutPlaybacks().empty(); }));
    worker.Stop();
    const auto played = winsim::waveOutPlaybacks();
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].loops, 0xFFFFFFFFu);
    EXPECT_EQ(played[0].end, winsim::PlaybackEnd::Reset);
    EXPECT_EQ(winsim::openWaveOutCount(), 0u);

    ToneWorker stoppedAtOnce;  // stopped before its thread has even begun: it must not hang
    ASSERT_TRUE(stoppedAtOnce.Load(KEY_CLICK_TONE));
    stoppedAtOnce.Start(true);
    stoppedAtOnce.Stop();
    EXPECT_FALSE(stoppedAtOnce.Load(99));  // no such resource
}
