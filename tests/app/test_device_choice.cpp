// Choosing the handset's audio devices and the PC's own from their names.
#include <gtest/gtest.h>

#include "audio/device_choice.h"

#include <string>
#include <vector>

using phonedock::AudioDevice;
using phonedock::ChooseDevices;
using phonedock::NamesUsbDevice;

namespace {

// Devices numbered 0, 1, 2... in the order given.
std::vector<AudioDevice> Numbered(const std::vector<std::string>& names) {
    std::vector<AudioDevice> devices;
    for (const std::string& name : names) devices.push_back({static_cast<unsigned>(devices.size()), name});
    return devices;
}

}  // namespace

TEST(DeviceChoice, TheFirstUsbDeviceIsTheHandsetsAndVirtualDevicesAreNeverChosen) {
    auto choice = ChooseDevices(
        Numbered({"Virtual Cable", "Onboard Digital Audio", "USB Audio Device", "USB Speaker"}));
    ASSERT_TRUE(choice.handset && choice.other);
    EXPECT_EQ(choice.handset->name, "USB Audio Device");
    EXPECT_EQ(choice.handset->id, 2u);
    EXPECT_EQ(choice.other->name, "Onboard Digital Audio");
    EXPECT_EQ(choice.other->id, 1u);

    // "usb" in lower case is an ordinary device
    choice = ChooseDevices(Numbered({"usb headset", "Virtual Cable"}));
    EXPECT_FALSE(choice.handset);
    ASSERT_TRUE(choice.other);
    EXPECT_EQ(choice.other->name, "usb headset");

    choice = ChooseDevices(Numbered({"USB Audio Device", "Virtual Mixer"}));
    EXPECT_FALSE(choice.other);
    choice = ChooseDevices({});
    EXPECT_FALSE(choice.handset);
    EXPECT_FALSE(choice.other);
}

// A device whose capabilities could not be read is missing from the list: the chosen device keeps its own
// number, not its place in the list.
TEST(DeviceChoice, AChosenDeviceKeepsItsSystemNumber) {
    const auto choice = ChooseDevices({{1, "Onboard HD Audio"}, {3, "USB Audio Device"}});
    ASSERT_TRUE(choice.handset && choice.other);
    EXPECT_EQ(choice.handset->id, 3u);
    EXPECT_EQ(choice.other->id, 1u);
}

TEST(DeviceChoice, ARegistryValueIsSearchedOnlyWithinWhatWasRead) {
    EXPECT_TRUE(NamesUsbDevice("USB Audio Device", 17));
    EXPECT_FALSE(NamesUsbDevice("Onboard", 8));
    const char full[8] = {'S', 'o', 'u', 'n', 'd', 'U', 'S', 'B'};  // no terminator
    EXPECT_TRUE(NamesUsbDevice(full, sizeof(full)));
    EXPECT_FALSE(NamesUsbDevice(full, 7));
    const char afterNul[8] = {'a', '\0', 'U', 'S', 'B', 0, 0, 0};
    EXPECT_FALSE(NamesUsbDevice(afterNul, sizeof(afterNul)));
}
