// Finding the handset among the HID interfaces, and handsets that are not what they should be.
#include "vocetta_fixture.h"

using namespace std::chrono_literals;

namespace {

winsim::HidDeviceDesc Device(const char* path, USHORT vendorId, USHORT productId) {
    winsim::HidDeviceDesc desc;
    desc.path = path;
    desc.vendorId = vendorId;
    desc.productId = productId;
    desc.inputReportLength = 18;
    desc.outputReportLength = 34;
    return desc;
}

// Nothing of a failed or finished search stays behind.
void ExpectNoSearchLeftovers() {
    EXPECT_EQ(winsim::hidOutstandingPreparsedData(), 0u);
    EXPECT_EQ(winsim::hidOpenDeviceInfoSets(), 0u);
}

}  // namespace

TEST_F(VocettaTest, OfTwoHandsetsTheLowerInterfaceIndexIsOpened) {
    winsim::hidPlug(Device("\\\\?\\hid#mouse", 0x1111, 0x2222), nullptr);
    sim::Handset& first = AddHandset();
    sim::Handset& second = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    EXPECT_EQ(winsim::hidOpenHandleCount(first.busId()), 2u);  // synchronous and overlapped
    EXPECT_EQ(winsim::hidOpenHandleCount(second.busId()), 0u);
    ASSERT_EQ(lib().Ring(1), 0);
    EXPECT_TRUE(first.ringer());
    EXPECT_EQ(second.receivedCount(), 0u);
    ExpectNoSearchLeftovers();
}

TEST_F(VocettaTest, AnInterfaceThatCannotBeOpenedForReadAndWriteIsSkipped) {
    winsim::HidDeviceDesc keyboard = Device("\\\\?\\hid#keyboard", 1204, 770);
    keyboard.readWriteAccess = false;
    const winsim::HidDeviceId keyboardId = winsim::hidPlug(keyboard, nullptr);
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    EXPECT_EQ(winsim::hidOpenHandleCount(keyboardId), 0u);
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 2u);
}

TEST_F(VocettaTest, WithoutAHandsetEveryIndexIsTriedAndNothingStaysOpen) {
    const winsim::HidDeviceId mouse = winsim::hidPlug(Device("\\\\?\\hid#mouse", 0x1111, 0x2222), nullptr);
    const size_t handlesBefore = winsim::openHandleCount();
    EXPECT_EQ(lib().Open(nullptr), -1);
    EXPECT_EQ(lib().GetLastError(), 4);
    EXPECT_EQ(winsim::hidHighestEnumeratedIndex(), 126);
    EXPECT_EQ(winsim::hidOpenHandleCount(mouse), 0u);
    EXPECT_EQ(winsim::openHandleCount(), handlesBefore);  // no reader either
    ExpectNoSearchLeftovers();
}

TEST_F(VocettaTest, OpeningAgainStartsNoSecondReaderAndFreesTheCapabilities) {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    sim::Handset& handset = AddHandset(config);
    ASSERT_EQ(OpenOnWindow(), 0);
    const size_t handles = winsim::openHandleCount();
    window->Run([&] { EXPECT_EQ(lib().Open(window->window()), 0); });
    // The handset was opened afresh; the reader let go of the old handles. Same reader, same registrations.
    EXPECT_TRUE(testsupport::Eventually([&] { return winsim::openHandleCount() == handles; }));
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 2u);
    ExpectNoSearchLeftovers();

    handset.press(sim::Key::Digit8);
    ASSERT_TRUE(testsupport::KeyLog().WaitFor(1));
    ASSERT_TRUE(ReaderIdle(handset));
    EXPECT_EQ(testsupport::KeyLog().Codes(), std::vector<int>{8});
}

TEST_F(VocettaTest, AHandsetWhoseCapabilitiesCannotBeReadIsNotUsed) {
    winsim::HidDeviceDesc broken = Device("\\\\?\\hid#broken", 1204, 770);
    broken.capsFail = true;
    const winsim::HidDeviceId brokenId = winsim::hidPlug(broken, nullptr);
    EXPECT_EQ(lib().Open(nullptr), -1);
    EXPECT_EQ(winsim::hidOpenHandleCount(brokenId), 0u);
    EXPECT_EQ(lib().Ring(1), -1);

    winsim::HidDeviceDesc noPreparsed = Device("\\\\?\\hid#nopreparsed", 1204, 770);
    noPreparsed.preparsedDataFails = true;
    winsim::hidPlug(noPreparsed, nullptr);
    EXPECT_EQ(lib().Open(nullptr), -1);
    ExpectNoSearchLeftovers();
}

// A handset that declares reports shorter than the protocol's: what fits works, what does not is not sent,
// and nothing is read or written past a buffer.
TEST_F(VocettaTest, ShortDeclaredReportsCarryOnlyWhatFits) {
    sim::HandsetConfig config;
    config.inputReportLength = 8;
    config.outputReportLength = 8;
    config.repeatInterval = 0ms;
    sim::Handset& handset = AddHandset(config);
    ASSERT_EQ(OpenOnWindow(), 0);

    EXPECT_EQ(lib().Ring(1), 0);  // four bytes are enough
    ASSERT_EQ(handset.receivedCount(), 1u);
    EXPECT_EQ(handset.receivedReports().back().size(), 8u);
    EXPECT_TRUE(handset.ringer());
    EXPECT_EQ(lib().DisplayLCD(5, 0, 0, nullptr, 0), 0);  // the image needs 34 bytes
    EXPECT_EQ(handset.receivedCount(), 1u);

    handset.press(sim::Key::Digit9);
    ASSERT_TRUE(testsupport::KeyLog().WaitFor(1));
    EXPECT_EQ(testsupport::KeyLog().Codes(), std::vector<int>{9});

    // An 8-byte answer cannot carry a 16-byte block: the read fails and the buffer is left alone.
    std::array<BYTE, 3> out{7, 7, 7};
    EXPECT_EQ(lib().ReadEEPROM(0, 3, out.data()), -1);
    EXPECT_EQ(out, (std::array<BYTE, 3>{7, 7, 7}));
}

TEST_F(VocettaTest, LongerDeclaredReportsAreWrittenWholeWithTheirTailZero) {
    sim::HandsetConfig config;
    config.inputReportLength = 24;
    config.outputReportLength = 40;
    config.repeatInterval = 0ms;
    sim::Handset& handset = AddHandset(config);
    ASSERT_EQ(OpenOnWindow(), 0);
    ASSERT_EQ(lib().DisplayLCD(5, 0, 0, nullptr, 0), 0);
    ASSERT_EQ(lib().Ring(1), 0);
    for (const auto& report : handset.receivedReports()) {
        ASSERT_EQ(report.size(), 40u);
        for (size_t b = 34; b < 40; ++b) EXPECT_EQ(report[b], 0) << b;
    }
    handset.press(sim::Key::Star);
    ASSERT_TRUE(testsupport::KeyLog().WaitFor(1));
    EXPECT_EQ(testsupport::KeyLog().Codes(), std::vector<int>{20});
}
