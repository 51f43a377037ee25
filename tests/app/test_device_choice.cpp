// Choosing the handset's audio devices and the PC's own from their names.
#include <gtest/gtest.h>

#include "audio/device_choice.h"

using phonedock::ChooseDevices;
using phonedock::NamesUsbDevice;

TEST(DeviceChoice, TheFirstUsbDeviceIsTheHandsetsAndVirtualDevicesAreNeverChosen) {
    auto choice =
        ChooseDevices({"Virtual Cable", "Onboard Digital Audio", "USB Audio Device", "USB Speaker"});
    EXPECT_EQ(choice.handset, "USB Audio Device");
    EXPECT_EQ(choice.other, "Onboard Digital Audio");

    choice = ChooseDevices({"usb headset", "Virtual Cable"});  // "usb" in lower case is an ordinary device
    EXPECT_EQ(choice.handset, "");
    EXPECT_EQ(choice.other, "usb headset");

    choice = ChooseDevices({"USB Audio Device", "Virtual Mixer"});
    EXPECT_EQ(choice.other, "");
    choice = ChooseDevices({});
    EXPECT_EQ(choice.handset, "");
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
