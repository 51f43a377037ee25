// The handset's EEPROM: byte writes, and block reads that wait for the handset's answer.
#include "vocetta_fixture.h"

#include <atomic>
#include <functional>
#include <numeric>
#include <thread>

using namespace std::chrono_literals;
using testsupport::KeyLog;
using Report = sim::Handset::Report;

namespace {

std::vector<Report> ReportsOfClass(const sim::Handset& handset, uint8_t reportClass, uint8_t sub) {
    std::vector<Report> found;
    for (const Report& r : handset.receivedReports()) {
        if (r[1] == reportClass && r[2] == sub) found.push_back(r);
    }
    return found;
}

size_t ReadRequests(const sim::Handset& handset) {
    return ReportsOfClass(handset, 2, 2).size();
}

// Every address holds a value of its own, so bytes of the wrong addresses show.
uint8_t Pattern(int address) {
    return static_cast<uint8_t>(address ^ 0x5A);
}

sim::HandsetConfig NoRepeat() {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    return config;
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

    // No buffer to write from or read into: nothing is sent.
    EXPECT_EQ(lib().WriteEEPROM(0, 2, nullptr), -1);
    EXPECT_EQ(lib().ReadEEPROM(0, 2, nullptr), -1);
    EXPECT_EQ(handset.writeAttempts(), before + 1);
    EXPECT_EQ(lib().GetLastError(), 0);
    // A byte the handset did not take whole fails the write and ends it: no byte after it is sent.
    handset.shortenWrites(1);
    const size_t attempts = handset.writeAttempts();
    EXPECT_EQ(lib().WriteEEPROM(5, 3, data.data()), -1);
    EXPECT_EQ(handset.writeAttempts(), attempts + 1);
    EXPECT_EQ(lib().GetLastError(), 0);
}

// Where a read runs decides who reads the answer: from the key callback the read is on the reader's own
// thread; on another thread the running reader hands the answer over; with no key callback bound the reader
// reads nothing and the read takes the answer itself.
enum class ReadOn { KeyCallback, OtherThread, NoReader };

class EepromReadTest : public VocettaTest, public ::testing::WithParamInterface<ReadOn> {
  protected:
    sim::Handset& OpenWithPattern() {
        sim::Handset& handset = AddHandset(NoRepeat());
        for (int a = 0; a < 256; ++a) handset.setEeprom(static_cast<uint8_t>(a), Pattern(a));
        EXPECT_EQ(OpenOnWindow(GetParam() != ReadOn::NoReader), 0);
        return handset;
    }

    // Starts `reads` where the parameter says; FinishReads waits until they have returned.
    void StartReads(std::function<void()> reads) {
        if (GetParam() != ReadOn::KeyCallback) {
            thread_ = std::thread(std::move(reads));
            return;
        }
        testsupport::SetKeyHook([reads = std::move(reads)](int code) {
            if (code == 1) reads();
        });
        handsets.front()->press(sim::Key::Digit1);
    }

    void FinishReads() {
        if (GetParam() != ReadOn::KeyCallback) {
            thread_.join();
            return;
        }
        EXPECT_TRUE(KeyLog().WaitFor(1, 10s));
        handsets.front()->release();
    }

    std::thread thread_;
};

TEST_P(EepromReadTest, SeventeenBytesComeInTwoBlocks) {
    sim::Handset& handset = OpenWithPattern();
    std::array<BYTE, 18> out;
    out.fill(0xEE);
    int result = -2;
    StartReads([&] { result = lib().ReadEEPROM(0, 17, out.data()); });
    FinishReads();

    EXPECT_EQ(result, 0);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], Pattern(i + 1)) << i;
    EXPECT_EQ(out[17], 0xEE);  // not a byte more
    const auto requests = ReportsOfClass(handset, 2, 2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0][3], 1);
    EXPECT_EQ(requests[1][3], 17);
    EXPECT_EQ(requests[1][4], 0);
    EXPECT_EQ(ReportsOfClass(handset, 2, 3).size(), 2u);  // each block ends with a read end
}

// A block whose answer never comes fails the whole read: no later block is asked for, the caller's buffer
// keeps what it held, and no error code is set (none of them says "no answer").
TEST_P(EepromReadTest, ABlockWithoutAnswerFailsTheRead) {
    sim::Handset& handset = OpenWithPattern();
    std::array<BYTE, 40> out;
    out.fill(0xEE);
    int result = -2;
    StartReads([&] { result = lib().ReadEEPROM(0, 40, out.data()); });
    ASSERT_TRUE(handset.waitUntil([&] { return ReadRequests(handset) >= 1; }, 2s));
    handset.dropEepromAnswers(1);  // the second block's request comes 300 ms after the first
    FinishReads();

    EXPECT_EQ(result, -1);
    EXPECT_EQ(lib().GetLastError(), 0);
    for (BYTE b : out) EXPECT_EQ(b, 0xEE);
    EXPECT_EQ(ReadRequests(handset), 2u);
    EXPECT_EQ(ReportsOfClass(handset, 2, 3).size(), 2u);
}

// The answer carries no address: one that comes after its block gave up must not pass for the next one's.
TEST_P(EepromReadTest, ALateAnswerIsNotTakenByTheNextRead) {
    sim::Handset& handset = OpenWithPattern();
    std::array<BYTE, 4> late{};
    std::array<BYTE, 4> next{};
    int lateResult = -2;
    int nextResult = -2;
    StartReads([&] {
        handset.setEepromAnswerDelay(600ms);  // the block waits 400 ms at most
        const size_t sent = handset.sentCount();
        lateResult = lib().ReadEEPROM(0, 4, late.data());
        EXPECT_TRUE(handset.waitForSent(sent + 1, 2s));  // the late answer is on its way
        handset.setEepromAnswerDelay(100ms);
        nextResult = lib().ReadEEPROM(100, 4, next.data());
    });
    FinishReads();

    EXPECT_EQ(lateResult, -1);
    EXPECT_EQ(nextResult, 0);
    EXPECT_EQ(next, (std::array<BYTE, 4>{Pattern(101), Pattern(102), Pattern(103), Pattern(104)}));
}

INSTANTIATE_TEST_SUITE_P(Caller, EepromReadTest,
                         ::testing::Values(ReadOn::KeyCallback, ReadOn::OtherThread, ReadOn::NoReader),
                         [](const ::testing::TestParamInfo<ReadOn>& param) {
                             switch (param.param) {
                                 case ReadOn::KeyCallback: return "FromKeyCallback";
                                 case ReadOn::OtherThread: return "WhileReaderReads";
                                 case ReadOn::NoReader: return "WithoutReader";
                             }
                             return "";
                         });

// The key reports that a read from the key callback meets on the way to its answers reach the callback
// afterwards, in order, through the repeat filter, and only once that callback has returned.
TEST_F(VocettaTest, KeyReportsMetByAReadFromTheKeyCallbackAreDeliveredAfterIt) {
    sim::Handset& handset = AddHandset(NoRepeat());
    for (int a = 0; a < 256; ++a) handset.setEeprom(static_cast<uint8_t>(a), Pattern(a));
    ASSERT_EQ(OpenOnWindow(), 0);

    std::array<BYTE, 20> out{};
    std::atomic<int> result{-2};
    std::atomic<bool> reading{false};
    std::atomic<bool> reentered{false};
    std::atomic<int> calls{0};
    testsupport::SetKeyHook([&](int) {
        if (reading) reentered = true;
        if (calls++ > 0) return;
        reading = true;
        result = lib().ReadEEPROM(0, 20, out.data());
        reading = false;
    });
    handset.press(sim::Key::Digit1);
    handset.release();  // right behind the press
    // 1 again while the read waits for its answers: a second 1 only because the release came between.
    ASSERT_TRUE(handset.waitUntil([&] { return ReadRequests(handset) >= 1; }, 2s));
    handset.press(sim::Key::Digit1);
    handset.setOffHook(true);  // its key code again (filtered), and the hook code one poll later
    handset.release();
    ASSERT_TRUE(KeyLog().WaitFor(3, 5s));

    EXPECT_EQ(result, 0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(out[static_cast<size_t>(i)], Pattern(i + 1)) << i;
    EXPECT_FALSE(reentered);
    EXPECT_EQ(KeyLog().Codes(), (std::vector<int>{1, 1, 80}));
    EXPECT_EQ(lib().GetHookStatus(), 0);
    // Nothing more comes: each report was delivered once.
    handset.press(sim::Key::Digit2);
    ASSERT_TRUE(KeyLog().WaitFor(4));
    EXPECT_EQ(KeyLog().Codes(), (std::vector<int>{1, 1, 80, 2}));
}

TEST_F(VocettaTest, AKeyPressedWhileAnotherThreadReadsReachesTheCallback) {
    sim::Handset& handset = AddHandset(NoRepeat());
    handset.setEeprom(1, 0xA1);
    handset.setEeprom(2, 0xB2);
    ASSERT_EQ(OpenOnWindow(), 0);
    std::array<BYTE, 2> out{};
    std::thread reads([&] { EXPECT_EQ(lib().ReadEEPROM(0, 2, out.data()), 0); });
    ASSERT_TRUE(handset.waitUntil([&] { return ReadRequests(handset) >= 1; }, 2s));
    handset.press(sim::Key::Digit2);
    reads.join();
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_EQ(KeyLog().Codes(), (std::vector<int>{2}));
    EXPECT_EQ(out, (std::array<BYTE, 2>{0xA1, 0xB2}));
}

// A read from another thread cuts the reader's wait short while a key is held and repeating: the key is
// still one press.
TEST_F(VocettaTest, AReadFromAnotherThreadWhileAKeyIsHeldKeepsItOnePress) {
    sim::Handset& handset = AddHandset();  // repeats a held key every 40 ms
    handset.setEeprom(1, 0xA1);
    ASSERT_EQ(OpenOnWindow(), 0);
    handset.press(sim::Key::Digit5);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    BYTE out = 0;
    EXPECT_EQ(lib().ReadEEPROM(0, 1, &out), 0);
    EXPECT_EQ(out, 0xA1);
    const size_t repeats = handset.sentCount();
    ASSERT_TRUE(handset.waitForSent(repeats + 3, 2s));
    handset.press(sim::Key::Digit6);
    ASSERT_TRUE(KeyLog().WaitFor(2));
    EXPECT_EQ(KeyLog().Codes(), (std::vector<int>{5, 6}));
}

// While the key callback holds the reader, nobody takes the answer of another thread's read, and that read
// fails; its answer, left waiting for a reader, must not pass for the answer of the next read.
TEST_F(VocettaTest, AnAnswerLeftUnreadWhileTheReaderIsBusyIsNotTakenByTheNextRead) {
    sim::Handset& handset = AddHandset(NoRepeat());
    for (int a = 0; a < 256; ++a) handset.setEeprom(static_cast<uint8_t>(a), Pattern(a));
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<bool> busy{false};
    testsupport::SetKeyHook([&](int) {
        busy = true;
        // Until the second read's request went out, the first answer still waiting in the handle's queue.
        handset.waitUntil([&] { return ReadRequests(handset) >= 2; }, 5s);
    });
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(testsupport::Eventually([&] { return busy.load(); }));

    std::array<BYTE, 4> first{};
    std::array<BYTE, 4> second{};
    EXPECT_EQ(lib().ReadEEPROM(0, 4, first.data()), -1);
    EXPECT_EQ(lib().ReadEEPROM(100, 4, second.data()), 0);
    EXPECT_EQ(second, (std::array<BYTE, 4>{Pattern(101), Pattern(102), Pattern(103), Pattern(104)}));
    EXPECT_TRUE(KeyLog().WaitFor(1));
}
