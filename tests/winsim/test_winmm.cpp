// Waveform audio device lists: numbers, capabilities filled as far as the caller's size goes, names cut to
// the field, bad ids and pointers, devices whose query fails.
#include "support/winsim_fixture.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstring>

#if WINSIM_ONLY  // lists the devices winsim is given; this machine has no sound device

namespace {

class WinmmTest : public WinsimTest {};

static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(sizeof(WAVEOUTCAPSA) == 52);
static_assert(sizeof(WAVEINCAPSA) == 48);

}  // namespace

TEST_F(WinmmTest, ListsDevicesByNumberWithTheirCapabilities) {
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    winsim::setPlaybackDevices({"Onboard Audio", "USB Audio Device", "Virtual Cable Output"});
    winsim::setRecordingDevices({"A microphone whose name is much longer than the field"});
    EXPECT_EQ(waveOutGetNumDevs(), 3u);
    EXPECT_EQ(waveInGetNumDevs(), 1u);

    WAVEOUTCAPSA out{};
    EXPECT_EQ(waveOutGetDevCapsA(1, &out, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_STREQ(out.szPname, "USB Audio Device");
    EXPECT_EQ(out.wChannels, 2);
    WAVEINCAPSA in{};
    EXPECT_EQ(waveInGetDevCapsA(0, &in, sizeof(in)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(std::string(in.szPname),
              std::string("A microphone whose name is much longer than the field", 31));

    // A smaller size fills only that much of the structure.
    std::memset(&out, 0x5A, sizeof(out));
    EXPECT_EQ(waveOutGetDevCapsA(0, &out, FIELD_OFFSET(WAVEOUTCAPSA, szPname) + 4),
              static_cast<MMRESULT>(MMSYSERR_NOERROR));
    EXPECT_EQ(std::string(out.szPname, 4), "Onbo");
    EXPECT_EQ(static_cast<unsigned char>(out.szPname[4]), 0x5A);
    EXPECT_EQ(out.dwSupport, 0x5A5A5A5Au);
}

TEST_F(WinmmTest, BadIdsNullPointersAndFailingDevices) {
    winsim::setPlaybackDevices({"Onboard Audio", "USB Audio Device"});
    WAVEOUTCAPSA out{};
    EXPECT_EQ(waveOutGetDevCapsA(2, &out, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(waveOutGetDevCapsA(0, nullptr, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_INVALPARAM));
    WAVEINCAPSA in{};
    EXPECT_EQ(waveInGetDevCapsA(0, &in, sizeof(in)), static_cast<MMRESULT>(MMSYSERR_BADDEVICEID));

    winsim::failPlaybackDeviceCaps(1);
    EXPECT_EQ(waveOutGetDevCapsA(1, &out, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_NODRIVER));
    EXPECT_EQ(waveOutGetDevCapsA(0, &out, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    // A new list starts without failures; reset forgets the devices.
    winsim::setPlaybackDevices({"Onboard Audio", "USB Audio Device"});
    EXPECT_EQ(waveOutGetDevCapsA(1, &out, sizeof(out)), static_cast<MMRESULT>(MMSYSERR_NOERROR));
    winsim::reset();
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
}

#endif  // WINSIM_ONLY
