// The library's commands as the handset receives them, and its fixed answers.
#include "vocetta_fixture.h"

#include <array>

using namespace std::chrono_literals;
using Report = sim::Handset::Report;

namespace {

Report Bytes(const Report& report, size_t from, size_t count) {
    return Report(report.begin() + static_cast<long>(from), report.begin() + static_cast<long>(from + count));
}

}  // namespace

TEST_F(VocettaTest, FixedAnswersAndUnsupportedFunctions) {
    const std::array<int, 11> capacity = {-1, 1204, 770, 1, 255, 1, 1, -1, 0, 1, -1};
    for (int index = 0; index < static_cast<int>(capacity.size()); ++index) {
        EXPECT_EQ(lib().GetDeviceCapacity(index), capacity[static_cast<size_t>(index)]) << index;
    }
    EXPECT_EQ(lib().GetDeviceCapacity(-5), -1);
    EXPECT_EQ(lib().GetLibVer(), 531);
    EXPECT_EQ(lib().GetHookStatus(), 0);  // never opened

    EXPECT_EQ(lib().GetLastError(), 0);
    EXPECT_EQ(lib().SetRingTone(), -1);
    EXPECT_EQ(lib().GetLastError(), 2);
    EXPECT_EQ(lib().GetLastError(), 0);
    EXPECT_EQ(lib().SwitchPSTN(), -1);
    EXPECT_EQ(lib().GetLibVer(), 531);  // a successful call leaves the code alone
    EXPECT_EQ(lib().GetLastError(), 2);
}

TEST_F(VocettaTest, WithoutAHandsetCommandsSendNothingAndSayWhatTheyCan) {
    EXPECT_EQ(lib().Open(nullptr), -1);
    EXPECT_EQ(lib().GetLastError(), 4);
    EXPECT_EQ(lib().Ring(1), -1);
    EXPECT_EQ(lib().Light(1), -1);
    EXPECT_EQ(lib().DisplayLCD(5, 0, 0, nullptr, 0), 0);
    // The EEPROM commands fail, the read at once, and no code is set; asking for nothing still succeeds.
    const BYTE data[2] = {1, 2};
    EXPECT_EQ(lib().WriteEEPROM(0, 2, data), -1);
    std::array<BYTE, 4> out{9, 9, 9, 9};
    const DWORD start = GetTickCount();
    EXPECT_EQ(lib().ReadEEPROM(0, 4, out.data()), -1);
    EXPECT_LT(GetTickCount() - start, 250u);  // no exchange was attempted
    EXPECT_EQ(out, (std::array<BYTE, 4>{9, 9, 9, 9}));
    EXPECT_EQ(lib().GetLastError(), 0);
    EXPECT_EQ(lib().WriteEEPROM(0, 0, data), 0);
    EXPECT_EQ(lib().ReadEEPROM(0, 0, out.data()), 0);

    // The display image was kept all the same and goes out with the next command once a handset is there.
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    EXPECT_EQ(lib().GetHookStatus(), -1);
    EXPECT_EQ(lib().DisplayLCD(1, 1, 0, nullptr, 0), 0);
    ASSERT_TRUE(handset.waitForReports(1, 1s));
    EXPECT_EQ(handset.image()[16], 0x11);  // the first bar from the earlier all-on, and the indicator
    EXPECT_EQ(handset.image()[31], 0xFF);
}

TEST_F(VocettaTest, RingerAndBacklightReportsKeepWhatEarlierReportsLeft) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);

    ASSERT_EQ(lib().DisplayLCD(5, 0, 0, nullptr, 0), 0);  // every segment on: bytes 18 to 33 become 0xFF
    ASSERT_EQ(lib().Ring(1), 0);
    EXPECT_TRUE(handset.ringer());
    Report last = handset.receivedReports().back();
    ASSERT_EQ(last.size(), 34u);
    EXPECT_EQ(Bytes(last, 0, 4), (Report{0x00, 0x01, 0xFF, 0x11}));
    EXPECT_EQ(Bytes(last, 4, 14), Report(14, 0x00));
    EXPECT_EQ(Bytes(last, 18, 16), Report(16, 0xFF));  // the display image stays in the buffer

    EXPECT_EQ(lib().Ring(2), 0);  // only exactly 1 means on
    EXPECT_FALSE(handset.ringer());
    EXPECT_EQ(Bytes(handset.receivedReports().back(), 1, 3), (Report{0x01, 0x00, 0x11}));

    EXPECT_EQ(lib().Light(1), 0);
    EXPECT_TRUE(handset.backlight());
    EXPECT_EQ(Bytes(handset.receivedReports().back(), 1, 3), (Report{0x01, 0x11, 0xFF}));
    EXPECT_EQ(lib().Light(-1), 0);
    EXPECT_FALSE(handset.backlight());
    EXPECT_EQ(Bytes(handset.receivedReports().back(), 1, 3), (Report{0x01, 0x11, 0x00}));
}

TEST_F(VocettaTest, FailedOrShortWritesFailRingerAndBacklightOnly) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    handset.failWrites(sim::Handset::kAlways);
    EXPECT_EQ(lib().Ring(1), -1);
    EXPECT_EQ(lib().Light(0), -1);
    EXPECT_EQ(lib().DisplayLCD(3, 0, 0, "1", 0), 0);
    handset.failWrites(0);
    handset.shortenWrites(1);
    EXPECT_EQ(lib().Light(1), -1);
    EXPECT_EQ(lib().Light(1), 0);
    EXPECT_EQ(lib().GetLastError(), 0);  // write failures set no code
}

TEST_F(VocettaTest, ClockAsTheHandsetShowsIt) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    SYSTEMTIME wednesday{};
    wednesday.wYear = 2027;
    wednesday.wMonth = 3;
    wednesday.wDay = 3;
    wednesday.wHour = 9;
    wednesday.wMinute = 5;
    winsim::setLocalTime(wednesday);

    ASSERT_EQ(lib().DisplayLCD(4, 0, 0, nullptr, 1), 0);
    ASSERT_TRUE(handset.waitForReports(1, 1s));
    const Report report = handset.receivedReports().back();
    EXPECT_EQ(report[1], 0x03);
    const sim::DisplayImage image = handset.image();
    EXPECT_EQ(image[17], 0xBE);
    EXPECT_EQ(image[18], 0x5F);
    EXPECT_EQ(image[19], 0x40);
    EXPECT_EQ(image[25], 0xEB);
    EXPECT_EQ(image[24], 0xFD);
    EXPECT_EQ(image[22], 0xAD);
    EXPECT_EQ(report[2 + 22], 0xAD);  // cell 22 travels in byte 24
    EXPECT_EQ(handset.rendering(), "upper \"03-03\" lower \"      0905\" sep:24 days:Wed bars:0 icon:off");

    // showClock counts by its low byte only: 0x100 is "no clock", which blanks the text.
    ASSERT_EQ(lib().DisplayLCD(4, 0, 0, nullptr, 0x100), 0);
    ASSERT_TRUE(handset.waitForReports(2, 1s));
    EXPECT_EQ(handset.display().upper, "     ");
}

TEST_F(VocettaTest, DisplayCommandsReachTheHandsetAndUnknownModesSendNothing) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);

    ASSERT_EQ(lib().DisplayLCD(3, 0, 0, "12345678901234567", 0), 0);
    EXPECT_EQ(handset.display().upper, "34567");
    EXPECT_EQ(handset.display().lower, "8901234567");
    ASSERT_EQ(lib().DisplayLCD(1, 0x100, 0, nullptr, 0), 0);  // only the low byte of iconOn counts
    EXPECT_FALSE(handset.display().indicator);
    ASSERT_EQ(lib().DisplayLCD(1, 1, 0, nullptr, 0), 0);
    EXPECT_TRUE(handset.display().indicator);
    ASSERT_EQ(lib().DisplayLCD(2, 0, 4, nullptr, 0), 0);
    EXPECT_EQ(handset.display().barLevel(), 4);
    ASSERT_EQ(lib().DisplayLCD(6, 0, 0, "12:34", 0), 0);  // a short time text shows what it has
    EXPECT_EQ(handset.display().lower, "    1234  ");
    ASSERT_EQ(lib().DisplayLCD(3, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(handset.display().lower, "          ");

    const size_t before = handset.receivedCount();
    EXPECT_EQ(lib().DisplayLCD(7, 1, 1, "1", 1), 0);
    EXPECT_EQ(lib().DisplayLCD(-1, 1, 1, "1", 1), 0);
    EXPECT_EQ(handset.receivedCount(), before);
}
