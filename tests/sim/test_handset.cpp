// The handset stand-in seen from a program on the simulated bus: what it reports for keys and the hook,
// how it decodes output reports, its EEPROM answers, and its faults.
#include "sim/handset_on_bus.h"
#include "support/winsim_fixture.h"

#include <windows.h>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Report = sim::HandsetModel::Report;

// The program's side: both handles opened the way the device library opens them.
class Host {
  public:
    Host(const std::string& path, const sim::HandsetConfig& config) {
        sync_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
        async_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        EXPECT_NE(sync_, INVALID_HANDLE_VALUE);
        EXPECT_NE(async_, INVALID_HANDLE_VALUE);
        inputLength_ = config.inputReportLength;
        outputLength_ = config.outputReportLength;
    }
    ~Host() {
        CloseHandle(sync_);
        CloseHandle(async_);
    }

    // Writes a report padded to the full output length; answers the bytes written (0 when it failed).
    DWORD write(Report report) {
        report.resize(outputLength_, 0);
        DWORD written = 0;
        lastWriteOk_ = WriteFile(sync_, report.data(), static_cast<DWORD>(report.size()), &written, nullptr);
        lastError_ = GetLastError();
        return lastWriteOk_ ? written : 0;
    }

    // One overlapped read; an empty report when none arrived in time or the read failed (see lastError).
    Report read(std::chrono::milliseconds timeout = 2000ms) {
        Report buffer(inputLength_, 0);
        OVERLAPPED ov{};
        ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        DWORD n = 0;
        bool ok = ReadFile(async_, buffer.data(), static_cast<DWORD>(buffer.size()), &n, &ov);
        if (!ok && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForSingleObject(ov.hEvent, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
                CancelIo(async_);
            ok = GetOverlappedResult(async_, &ov, &n, TRUE);
        }
        lastError_ = ok ? 0 : GetLastError();
        CloseHandle(ov.hEvent);
        buffer.resize(ok ? n : 0);
        return buffer;
    }

    bool lastWriteOk() const { return lastWriteOk_; }
    DWORD lastError() const { return lastError_; }

  private:
    HANDLE sync_ = INVALID_HANDLE_VALUE;
    HANDLE async_ = INVALID_HANDLE_VALUE;
    size_t inputLength_ = 0;
    size_t outputLength_ = 0;
    bool lastWriteOk_ = false;
    DWORD lastError_ = 0;
};

Report keyReport(uint8_t scanCode, uint8_t hook) {
    Report report(18, 0);
    report[1] = 1;
    report[2] = scanCode;
    report[3] = hook;
    return report;
}

sim::HandsetConfig quietConfig() {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    return config;
}

using HandsetStandIn = WinsimTest;
using handset_test::BusHandset;

TEST_F(HandsetStandIn, ReportsKeysReleasesAndTheHookSwitch) {
    BusHandset bus(quietConfig());
    sim::HandsetModel& handset = bus.model();
    Host host(bus.plug(), handset.config());
    handset.press(sim::Key::Yes);
    handset.setOffHook(true);
    handset.release();
    handset.pressScanCode(23);  // belongs to no key
    handset.setOffHook(false);
    EXPECT_EQ(host.read(), keyReport(7, 0));
    EXPECT_EQ(host.read(), keyReport(7, 1));
    EXPECT_EQ(host.read(), keyReport(0, 1));
    EXPECT_EQ(host.read(), keyReport(23, 1));
    EXPECT_EQ(host.read(), keyReport(23, 0));
    EXPECT_EQ(handset.sentCount(), 5u);
}

TEST_F(HandsetStandIn, AHeldKeyRepeatsUntilReleased) {
    sim::HandsetConfig config;
    config.repeatInterval = 5ms;
    BusHandset bus(config);
    sim::HandsetModel& handset = bus.model();
    Host host(bus.plug(), handset.config());
    handset.press(sim::Key::Digit5);
    ASSERT_TRUE(handset.waitForSent(4, 2s));
    handset.release();
    const size_t afterRelease = handset.sentCount();
    EXPECT_FALSE(handset.waitUntil([&] { return handset.sentCount() > afterRelease; }, 40ms));
    const auto sent = handset.sentReports();
    for (size_t i = 0; i + 1 < sent.size(); ++i) EXPECT_EQ(sent[i], keyReport(9, 0)) << i;
    EXPECT_EQ(sent.back(), keyReport(0, 0));
}

TEST_F(HandsetStandIn, DecodesControlAndDisplayReports) {
    BusHandset bus(quietConfig());
    sim::HandsetModel& handset = bus.model();
    Host host(bus.plug(), handset.config());
    host.write({0, 1, 0xFF, 0x11});              // ringer on
    host.write({0, 1, 0x11, 0xFF});              // backlight on; the ringer's byte says "not mine"
    ASSERT_TRUE(handset.waitForReports(2, 2s));  // a real device takes a written report a little later
    EXPECT_TRUE(handset.ringer());
    EXPECT_TRUE(handset.backlight());
    host.write({0, 1, 0x02, 0x11});  // anything but 0xFF is off
    ASSERT_TRUE(handset.waitForReports(3, 2s));
    EXPECT_FALSE(handset.ringer());
    EXPECT_TRUE(handset.backlight());

    Report display(34, 0);
    display[1] = 3;
    // Cells 16..31 travel in bytes 18..33: "12" on the right of the lower row, bar 1, the indicator.
    display[2 + 16] = 0x11;
    display[2 + 22] = 0xC7;
    display[2 + 23] = 0x60;
    host.write(display);
    ASSERT_TRUE(handset.waitForReports(4, 2s));
    EXPECT_EQ(handset.rendering(), "upper \"     \" lower \"        12\" sep:- days:- bars:1 icon:on");
    EXPECT_EQ(handset.receivedCount(), 4u);
    EXPECT_EQ(handset.receivedReports()[3], display);

    // Every image shown is kept, in order; control reports show none.
    display[2 + 22] = 0xE5;  // "13"
    host.write(display);
    ASSERT_TRUE(handset.waitForReports(5, 2s));
    ASSERT_EQ(handset.shownImageCount(), 2u);
    const auto shown = handset.shownImages(1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(sim::readDisplay(shown[0]).lower, "        13");
    EXPECT_EQ(sim::readDisplay(handset.shownImages()[0]).lower, "        12");
}

TEST_F(HandsetStandIn, KeepsEepromWritesAndAnswersReadRequestsAfterTheDelay) {
    sim::HandsetConfig config = quietConfig();
    config.eepromAnswerDelay = 150ms;
    BusHandset bus(config);
    sim::HandsetModel& handset = bus.model();
    Host host(bus.plug(), handset.config());
    host.write({0, 2, 1, 0xF2, 0xF2, 0xAB});  // write 0xAB at 0xF2
    ASSERT_TRUE(handset.waitForReports(1, 2s));
    EXPECT_EQ(handset.eeprom(0xF2), 0xAB);
    handset.setEeprom(0xF5, 0x12);

    host.write({0, 2, 2, 0xF0, 0});        // read 16 bytes from 0xF0
    EXPECT_TRUE(host.read(20ms).empty());  // not yet
    const Report answer = host.read();
    ASSERT_EQ(answer.size(), 18u);
    EXPECT_EQ(answer[1], 2);
    const Report expected = {0xFF, 0xFF, 0xAB, 0xFF, 0xFF, 0x12, 0xFF, 0xFF,
                             0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(Report(answer.begin() + 2, answer.end()), expected);
    host.write({0, 2, 3});  // read end
    EXPECT_TRUE(handset.waitForReports(3, 2s));
    EXPECT_EQ(handset.receivedCount(), 3u);
}

// An answer still due when the handset is pulled out belongs to the device that went: the program that
// opens the handset after a replug never reads it.
TEST_F(HandsetStandIn, AnEepromAnswerDueAtAnUnplugNeverReachesTheReplug) {
    sim::HandsetConfig config = quietConfig();
    config.eepromAnswerDelay = 100ms;
    BusHandset bus(config);
    sim::HandsetModel& handset = bus.model();
    {
        Host before(bus.plug(), handset.config());
        before.write({0, 2, 2, 0x00, 0});
        ASSERT_TRUE(handset.waitForReports(1, 2s));
    }
    bus.unplug();
    Host after(bus.plug(), handset.config());
    EXPECT_TRUE(after.read(300ms).empty());
    EXPECT_EQ(handset.sentCount(), 0u);
}

#if WINSIM_ONLY  // faults, vanishing and bus ids belong to winsim's bus, not to the virtual handset
TEST_F(HandsetStandIn, WriteFaultsFailOrShortenWithoutDecoding) {
    sim::Handset handset(quietConfig());
    handset.plug();
    Host host(handset.devicePath(), handset.config());
    handset.failWrites(2, ERROR_DEVICE_NOT_CONNECTED);
    EXPECT_EQ(host.write({0, 1, 0xFF, 0x11}), 0u);
    EXPECT_EQ(host.lastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(host.write({0, 1, 0xFF, 0x11}), 0u);
    handset.shortenWrites();
    EXPECT_EQ(host.write({0, 1, 0xFF, 0x11}), 33u);
    EXPECT_TRUE(host.lastWriteOk());
    EXPECT_FALSE(handset.ringer());
    EXPECT_EQ(host.write({0, 1, 0xFF, 0x11}), 34u);
    EXPECT_TRUE(handset.ringer());
    EXPECT_EQ(handset.writeAttempts(), 4u);
    EXPECT_EQ(handset.receivedCount(), 1u);
}

TEST_F(HandsetStandIn, ReadFaultsFailOrShortenTheNextReports) {
    sim::Handset handset(quietConfig());
    handset.plug();
    Host host(handset.devicePath(), handset.config());
    handset.failNextRead(ERROR_GEN_FAILURE);
    handset.shortenInputReports(5);
    handset.press(sim::Key::Hash);
    EXPECT_TRUE(host.read().empty());
    EXPECT_EQ(host.lastError(), static_cast<DWORD>(ERROR_GEN_FAILURE));
    EXPECT_EQ(host.read(), Report({0, 1, 20, 0, 0}));
    handset.shortenInputReports(0);
    handset.release();
    EXPECT_EQ(host.read(), keyReport(0, 0));
}

TEST_F(HandsetStandIn, VanishesAsSoonAsAReadIsPending) {
    sim::Handset handset(quietConfig());
    const auto id = handset.plug();
    Host host(handset.devicePath(), handset.config());
    handset.vanishWhenReadPending();
    EXPECT_TRUE(host.read().empty());
    EXPECT_EQ(host.lastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_FALSE(handset.plugged());
    EXPECT_FALSE(winsim::hidPresent(id));
}

TEST_F(HandsetStandIn, ReplugGivesANewDeviceAndAnUnpluggedHandsetSendsNothing) {
    winsim::HidDeviceId first;
    std::string firstPath;
    {
        sim::Handset handset(quietConfig());
        first = handset.plug();
        firstPath = handset.devicePath();
        EXPECT_EQ(handset.plug(), first);  // already plugged
        handset.unplug();
        EXPECT_EQ(handset.busId(), -1);
        handset.press(sim::Key::No);
        EXPECT_EQ(handset.sentCount(), 0u);

        const auto second = handset.plug();
        EXPECT_NE(second, first);
        EXPECT_NE(handset.devicePath(), firstPath);
        EXPECT_TRUE(winsim::hidPresent(second));
        EXPECT_FALSE(winsim::hidPresent(first));
        first = second;
    }
    EXPECT_FALSE(winsim::hidPresent(first));  // gone with the stand-in
}

#endif

}  // namespace
