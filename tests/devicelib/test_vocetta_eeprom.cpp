// The handset's EEPROM: byte writes, and block reads that wait for the handset's answer.
#include "vocetta_fixture.h"

#include <atomic>
#include <numeric>
#include <thread>

using namespace std::chrono_literals;
using Report = sim::Handset::Report;

namespace {

std::vector<Report> ReportsOfClass(const sim::Handset& handset, uint8_t reportClass, uint8_t sub) {
    std::vector<Report> found;
    for (const Report& r : handset.receivedReports()) {
        if (r[1] == reportClass && r[2] == sub) found.push_back(r);
    }
    return found;
}

}  // namespace

TEST_F(VocettaTest, EepromWritesGoByteByByteToTheNextDeviceAddress) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(lib().Open(nullptr), 0);
    std::vector<BYTE> data(56);
    std::iota(data.begin(), data.end(), BYTE{100});

    EXPECT_EQ(lib().WriteEEPROM(200, 55, data.data()), 0);
    const auto writes = ReportsOfClass(handset, 2, 1);
    ASSERT_EQ(writes.size(), 55u);
    for (size_t i = 0; i < writes.size(); ++i) {
        EXPECT_EQ(writes[i][3], 201 + i);
        EXPECT_EQ(writes[i][4], 201 + i);
        EXPECT_EQ(writes[i][5], data[i]);
    }
    EXPECT_EQ(handset.eeprom(255), data[54]);

    const size_t before = handset.receivedCount();
    EXPECT_EQ(lib().WriteEEPROM(200, 56, data.data()), -1);
    EXPECT_EQ(lib().GetLastError(), 1);
    EXPECT_EQ(lib().GetLastError(), 0);
    EXPECT_EQ(lib().WriteEEPROM(0x1FF, 0, nullptr), 0);          // address 255, nothing to write
    EXPECT_EQ(lib().WriteEEPROM(0x100, 0x101, data.data()), 0);  // low bytes: address 0, one byte
    EXPECT_EQ(handset.receivedCount(), before + 1);
    EXPECT_EQ(handset.eeprom(1), data[0]);
    std::array<BYTE, 8> out{};
    EXPECT_EQ(lib().ReadEEPROM(250, 6, out.data()), -1);
    EXPECT_EQ(lib().GetLastError(), 1);
}

class EepromReadTest : public VocettaTest, public ::testing::WithParamInterface<bool> {};

// With a key callback bound the reader takes every input report and hands the answer over; without one the
// read exchange reads the answer itself. Either way the caller gets its bytes.
TEST_P(EepromReadTest, SeventeenBytesComeInTwoBlocks) {
    const bool readerReading = GetParam();
    sim::Handset& handset = AddHandset();
    for (int a = 0; a < 256; ++a) handset.setEeprom(static_cast<uint8_t>(a), static_cast<uint8_t>(a ^ 0x5A));
    ASSERT_EQ(OpenOnWindow(readerReading), 0);

    std::array<BYTE, 18> out;
    out.fill(0xEE);
    EXPECT_EQ(lib().ReadEEPROM(0, 17, out.data()), 0);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], (i + 1) ^ 0x5A) << i;
    EXPECT_EQ(out[17], 0xEE);  // not a byte more

    const auto requests = ReportsOfClass(handset, 2, 2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][3], 1);
    EXPECT_EQ(requests[1][3], 17);
    EXPECT_EQ(requests[1][4], 0);
    EXPECT_EQ(ReportsOfClass(handset, 2, 3).size(), 2u);  // each block ends with a read end
    EXPECT_TRUE(testsupport::KeyLog().Events().empty());
}

INSTANTIATE_TEST_SUITE_P(Reader, EepromReadTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& param) {
                             return param.param ? "WhileReaderReads" : "WithoutReader";
                         });

TEST_F(VocettaTest, AnUnansweredBlockStillEndsTheExchange) {
    sim::HandsetConfig config;
    config.eepromAnswerDelay = 1000ms;  // far too late
    sim::Handset& handset = AddHandset(config);
    ASSERT_EQ(OpenOnWindow(), 0);
    std::array<BYTE, 4> out{1, 2, 3, 4};
    EXPECT_EQ(lib().ReadEEPROM(10, 4, out.data()), 0);
    EXPECT_EQ(out, (std::array<BYTE, 4>{1, 2, 3, 4}));
    EXPECT_EQ(ReportsOfClass(handset, 2, 3).size(), 1u);
}

TEST_F(VocettaTest, EepromReadsFromTheKeyCallbackAndKeysDuringAReadBothWork) {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    sim::Handset& handset = AddHandset(config);
    handset.setEeprom(1, 0xA1);
    handset.setEeprom(2, 0xB2);
    ASSERT_EQ(OpenOnWindow(), 0);

    // From inside the key callback: the reader is the caller and cannot hand the answer over to itself.
    std::array<BYTE, 2> fromCallback{};
    std::atomic<int> result{-2};
    testsupport::SetKeyHook([&](int code) {
        if (code == 1) result = lib().ReadEEPROM(0, 2, fromCallback.data());
    });
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(testsupport::KeyLog().WaitFor(1, 3s));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fromCallback, (std::array<BYTE, 2>{0xA1, 0xB2}));
    testsupport::SetKeyHook(nullptr);
    handset.release();

    // A key pressed while another thread waits for a block still reaches the callback.
    std::array<BYTE, 2> out{};
    std::thread reader([&] { EXPECT_EQ(lib().ReadEEPROM(0, 2, out.data()), 0); });
    std::this_thread::sleep_for(50ms);
    handset.press(sim::Key::Digit2);
    reader.join();
    ASSERT_TRUE(testsupport::KeyLog().WaitFor(2));
    EXPECT_EQ(testsupport::KeyLog().Codes(), (std::vector<int>{1, 2}));
    EXPECT_EQ(out, (std::array<BYTE, 2>{0xA1, 0xB2}));
}
