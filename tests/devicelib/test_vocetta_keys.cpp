// Keys and the hook switch, from the handset's reports to the key callback.
#include "vocetta_fixture.h"

#include <atomic>
#include <set>

using namespace std::chrono_literals;
using testsupport::KeyLog;
using Codes = std::vector<int>;

namespace {

sim::HandsetConfig NoRepeat() {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    return config;
}

sim::Handset::Report KeyReport(uint8_t scan, uint8_t hook) {
    sim::Handset::Report report(18, 0);
    report[1] = 1;
    report[2] = scan;
    report[3] = hook;
    return report;
}

}  // namespace

TEST_F(VocettaTest, AHeldKeyIsOneCallbackAndEachNewPressIsAnother) {
    sim::Handset& handset = AddHandset();  // repeats a held key every 40 ms
    ASSERT_EQ(OpenOnWindow(), 0);

    const size_t sentBefore = handset.sentCount();
    handset.press(sim::Key::Digit5);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    ASSERT_TRUE(handset.waitForSent(sentBefore + 5, 5s));  // several repeats of the same report...
    ASSERT_TRUE(ReaderIdle(handset));                      // ...all of them taken
    EXPECT_EQ(KeyLog().Codes(), (Codes{5}));
    EXPECT_GT(handset.sentCount(), 3u);

    handset.release();
    ASSERT_TRUE(ReaderIdle(handset));
    handset.press(sim::Key::Digit5);
    ASSERT_TRUE(KeyLog().WaitFor(2));
    handset.press(sim::Key::Star);  // another key while one is held
    ASSERT_TRUE(KeyLog().WaitFor(3));
    EXPECT_EQ(KeyLog().Codes(), (Codes{5, 5, 20}));
    for (const auto& event : KeyLog().Events()) EXPECT_NE(event.threadId, window->threadId());
}

TEST_F(VocettaTest, TheSameKeyAfterAQuietReadIsANewPress) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<uint64_t> wakeupsAtKey{0};
    testsupport::SetKeyHook([&](int) { wakeupsAtKey = WakeupsOf(GetCurrentThreadId()); });
    handset.press(sim::Key::Digit7);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    // The reader's next wake-up after the key ends a read that no report came to: its time-out, which
    // re-arms the filter before the reader reads again.
    const DWORD reader = KeyLog().Events()[0].threadId;
    ASSERT_TRUE(testsupport::Eventually([&] { return WakeupsOf(reader) > wakeupsAtKey; }, 10s));
    handset.press(sim::Key::Digit7);
    ASSERT_TRUE(KeyLog().WaitFor(2));
    testsupport::SetKeyHook(nullptr);
    EXPECT_EQ(KeyLog().Codes(), (Codes{7, 7}));
}

// An idle handset never wakes the reader: it waits for the next report without a time-out, except for the
// 100 ms after a key, in which the same key again is still the held one. A reader that polls an idle handset
// shows as a timed wait before the key or after that window.
TEST_F(VocettaTest, OnlyTheWindowAfterAKeyIsATimedWaitOfTheReader) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    ASSERT_TRUE(ReaderIdle(handset));
    std::atomic<uint64_t> timedAtKey{0};
    std::atomic<uint64_t> wakeupsAtKey{0};
    testsupport::SetKeyHook([&](int) {
        timedAtKey = TimedWaitsOf(GetCurrentThreadId());
        wakeupsAtKey = WakeupsOf(GetCurrentThreadId());
    });
    handset.press(sim::Key::Digit7);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    testsupport::SetKeyHook(nullptr);
    const DWORD reader = KeyLog().Events()[0].threadId;
    EXPECT_EQ(timedAtKey, 0u);

    // The window ends with the reader's next wake-up; the wait it goes into next is counted by the time it
    // blocks.
    ASSERT_TRUE(testsupport::Eventually([&] { return WakeupsOf(reader) > wakeupsAtKey; }, 10s));
    ASSERT_TRUE(winsim::waitUntilBlocked(reader, 10000));
    EXPECT_EQ(TimedWaitsOf(reader), 1u);
}

TEST_F(VocettaTest, LiftingTheHandsetWhileAKeyIsHeldGivesTheKeyThenTheHook) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    EXPECT_EQ(lib().GetHookStatus(), -1);

    handset.sendInputReport(KeyReport(7, 1));  // YES held, off hook
    ASSERT_TRUE(KeyLog().WaitFor(2));
    EXPECT_EQ(KeyLog().Codes(), (Codes{50, 80}));
    EXPECT_EQ(lib().GetHookStatus(), 0);

    handset.sendInputReport(KeyReport(0, 0));  // released and put down
    ASSERT_TRUE(KeyLog().WaitFor(3));
    EXPECT_EQ(KeyLog().Codes(), (Codes{50, 80, 70}));
    EXPECT_EQ(lib().GetHookStatus(), 1);

    // The stand-in's own hook switch: lifting reports the held scan code with the new hook byte.
    handset.setOffHook(true);
    ASSERT_TRUE(KeyLog().WaitFor(4));
    EXPECT_EQ(KeyLog().Codes().back(), 80);
}

TEST_F(VocettaTest, ARestingHandsetAtOpenGivesNoHookCode) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    handset.sendInputReport(KeyReport(0, 0));
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    ASSERT_TRUE(ReaderIdle(handset));
    EXPECT_EQ(KeyLog().Codes(), (Codes{1}));
    EXPECT_EQ(lib().GetHookStatus(), 1);
}

TEST_F(VocettaTest, UnwiredScanCodesAndOtherReportClassesGiveNoCallback) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    for (int scan : {6, 12, 17, 18, 0, 23, 200}) {
        handset.pressScanCode(static_cast<uint8_t>(scan));
        handset.release();
    }
    sim::Handset::Report eeprom(18, 0x33);
    eeprom[0] = 0;
    eeprom[1] = 2;  // an EEPROM block nobody asked for
    handset.sendInputReport(eeprom);
    handset.sendInputReport(sim::Handset::Report{0, 7, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    handset.press(sim::Key::Hash);  // the reader is still there
    ASSERT_TRUE(KeyLog().WaitFor(1));
    ASSERT_TRUE(ReaderIdle(handset));
    EXPECT_EQ(KeyLog().Codes(), (Codes{21}));
}

TEST_F(VocettaTest, ShortOrFailedReadsAreNoReports) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    handset.release();
    ASSERT_TRUE(ReaderIdle(handset));

    // A failed read must not replay the last report (key 1) from the buffer. The failure ends the pending
    // read at once; the reader is idle again once it has dealt with it.
    handset.failNextRead();
    ASSERT_TRUE(ReaderIdle(handset));
    // Reports shorter than the handset declares are not taken, even when they look like a key.
    handset.sendInputReport(sim::Handset::Report{0, 1, 9, 0});
    handset.shortenInputReports(10);
    handset.press(sim::Key::Digit2);
    ASSERT_TRUE(ReaderIdle(handset));
    EXPECT_EQ(KeyLog().Codes(), (Codes{1}));

    handset.shortenInputReports(0);
    handset.press(sim::Key::Digit3);
    ASSERT_TRUE(KeyLog().WaitFor(2));
    EXPECT_EQ(KeyLog().Codes(), (Codes{1, 3}));
}

TEST_F(VocettaTest, NoReportIsReadWithoutAKeyCallback) {
    sim::Handset& handset = AddHandset(NoRepeat());
    window.emplace();
    std::set<DWORD> known = WaitingThreads();
    known.insert(window->threadId());
    known.insert(GetCurrentThreadId());
    ASSERT_EQ(OpenOnWindow(/*bind=*/false), 0);
    // The reader is the thread the library started; once it is blocked it waits for a callback to be bound.
    DWORD reader = 0;
    ASSERT_TRUE(testsupport::Eventually(
        [&] {
            for (DWORD thread : WaitingThreads()) {
                if (known.count(thread) == 0) reader = thread;
            }
            return reader != 0;
        },
        10s));
    ASSERT_TRUE(winsim::waitUntilBlocked(reader, 10000));
    EXPECT_EQ(winsim::hidPendingReadCount(handset.busId()), 0u);

    handset.press(sim::Key::Digit4);  // waits in the handle's queue
    lib().Bind(&testsupport::RecordKey, nullptr);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_EQ(KeyLog().Codes(), (Codes{4}));
}
