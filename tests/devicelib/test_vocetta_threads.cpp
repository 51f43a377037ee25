// Threads meeting in the library: the reader running the key callback, the window thread handling hot-plug,
// and callers' threads sending commands and closing.
#include "vocetta_fixture.h"

#include <atomic>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using testsupport::KeyLog;
using Report = sim::Handset::Report;

namespace {

sim::HandsetConfig NoRepeat() {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    return config;
}

// A report is whole when it is exactly one of the reports the library builds: no byte of one command may
// land in another's report.
void ExpectWholeReport(const Report& r, const std::set<uint8_t>& digitGlyphs) {
    if (r[1] == 1) {
        const bool ringer = r[3] == 0x11 && (r[2] == 0xFF || r[2] == 0x00);
        const bool backlight = r[2] == 0x11 && (r[3] == 0xFF || r[3] == 0x00);
        EXPECT_TRUE(ringer || backlight) << int(r[2]) << " " << int(r[3]);
    } else if (r[1] == 3) {
        for (size_t b = 2; b < 18; ++b) EXPECT_EQ(r[b], 0) << b;
        // A one-digit text: cell 22 (byte 24) holds the digit, the other text cells are blank.
        EXPECT_TRUE(digitGlyphs.count(r[24])) << int(r[24]);
        for (size_t b = 19; b < 34; ++b) {
            if (b != 24) {
                EXPECT_EQ(r[b], 0) << b;
            }
        }
    } else {
        ADD_FAILURE() << "unexpected report class " << int(r[1]);
    }
}

}  // namespace

TEST_F(VocettaTest, DisplayFromTheKeyCallbackAndRingerFromAnotherThreadNeverMix) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    testsupport::SetKeyHook([this](int code) {
        const char text[2] = {static_cast<char>('0' + code), '\0'};
        lib().DisplayLCD(3, 0, 0, text, 0);
    });

    std::atomic<bool> done{false};
    std::thread commands([&] {
        for (int i = 0; !done; ++i) {
            if (i % 2 == 0) {
                lib().Ring(i % 4 == 0);
            } else {
                lib().Light(i % 3 == 0);
            }
        }
    });
    constexpr int kPresses = 30;
    for (int i = 0; i < kPresses; ++i) {
        handset.press(sim::digitKey(i % 10));
        ASSERT_TRUE(KeyLog().WaitFor(static_cast<size_t>(i + 1)));
        handset.release();
    }
    done = true;
    commands.join();

    const std::set<uint8_t> digitGlyphs = {0xEB, 0x60, 0xC7, 0xE5, 0x6C, 0xAD, 0xAF, 0xE8, 0xEF, 0xED};
    size_t displays = 0;
    for (const Report& r : handset.receivedReports()) {
        ExpectWholeReport(r, digitGlyphs);
        displays += r[1] == 3;
    }
    EXPECT_EQ(displays, static_cast<size_t>(kPresses));
}

TEST_F(VocettaTest, UnplugAndReplugWhileKeysArrive) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<bool> done{false};
    // The typist presses the next key once the reader waits for one (or, while the handset is out, a
    // moment later).
    std::thread typist([&] {
        for (int i = 0; !done; ++i) {
            handset.press(sim::digitKey(i % 10));
            handset.release();
            handset.waitUntil([&] { return done || winsim::hidPendingReadCount(handset.busId()) > 0; }, 50ms);
        }
    });
    for (size_t round = 0; round < 5; ++round) {
        // Keys reach the open handset, then it goes while they keep coming, and comes back.
        ASSERT_TRUE(KeyLog().WaitFor(KeyLog().Events().size() + 2));
        handset.unplug();
        ASSERT_TRUE(testsupport::PlugLog().WaitFor(2 * round + 1));
        handset.plug();
        ASSERT_TRUE(testsupport::PlugLog().WaitFor(2 * round + 2));
    }
    ASSERT_TRUE(testsupport::PlugLog().WaitFor(10));
    const size_t keysBefore = KeyLog().Events().size();
    ASSERT_TRUE(KeyLog().WaitFor(keysBefore + 3));  // still reading after the last plug
    done = true;
    typist.join();

    const auto plugs = testsupport::PlugLog().Events();
    ASSERT_EQ(plugs.size(), 10u);
    for (size_t i = 0; i < plugs.size(); ++i) EXPECT_EQ(plugs[i].first, i % 2 == 0 ? 0 : 1) << i;
    for (int code : KeyLog().Codes()) EXPECT_TRUE(code >= 0 && code <= 9) << code;
}

TEST_F(VocettaTest, CloseWaitsForAKeyCallbackThatIsStillRunning) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<bool> inCallback{false}, callbackDone{false};
    const winsim::HidDeviceId busId = handset.busId();
    testsupport::SetKeyHook([&](int) {
        inCallback = true;
        // Longer than a stop waits: the close has given up waiting for the reader and closed the handset.
        EXPECT_TRUE(testsupport::Eventually([&] { return winsim::hidOpenHandleCount(busId) == 0; }, 10s));
        callbackDone = true;
    });
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(testsupport::Eventually([&] { return inCallback.load(); }));
    EXPECT_EQ(lib().Close(), 0);
    EXPECT_TRUE(callbackDone);  // the library may be unloaded now: its reader has ended
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
}

TEST_F(VocettaTest, CloseFromInsideTheKeyCallbackDoesNotWaitForItself) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<DWORD> closeTookMs{0};
    testsupport::SetKeyHook([&](int) {
        const DWORD start = GetTickCount();
        lib().Close();
        closeTookMs = GetTickCount() - start + 1;
    });
    handset.press(sim::Key::Digit1);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_LT(closeTookMs, 100u);
    // The reader lets go of the handset once the callback has returned.
    EXPECT_TRUE(testsupport::Eventually([&] { return winsim::hidOpenHandleCount(handset.busId()) == 0; }));
    EXPECT_EQ(lib().Ring(1), -1);
}

TEST_F(VocettaTest, TheHandsetVanishingDuringARead) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    const winsim::HidDeviceId id = handset.busId();
    handset.vanishWhenReadPending();
    ASSERT_TRUE(testsupport::PlugLog().WaitFor(1));
    EXPECT_EQ(testsupport::PlugLog().Events()[0].first, 0);
    EXPECT_TRUE(testsupport::Eventually([&] { return winsim::hidOpenHandleCount(id) == 0; }));
    EXPECT_TRUE(KeyLog().Events().empty());
    EXPECT_EQ(lib().Ring(1), -1);
}

// The reader's read stays pending while nothing happens; closing the handset cancels it, and the read's
// buffer and OVERLAPPED must outlive the cancellation, which here completes 50 ms later.
TEST_F(VocettaTest, ClosingWithAReadPendingFreesItsBufferOnlyOnceTheReadHasEnded) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    const winsim::HidDeviceId id = handset.busId();
    ASSERT_TRUE(testsupport::Eventually([&] { return winsim::hidPendingReadCount(id) == 1; }));
    winsim::hidSetCancelDelay(50);
    lib().Close();
    EXPECT_TRUE(testsupport::Eventually([&] { return winsim::hidPendingReadCount(id) == 0; }));
    EXPECT_EQ(winsim::hidOpenHandleCount(id), 0u);
    EXPECT_TRUE(KeyLog().Events().empty());
}
