// Handset keys with Skype attached (commands, the dial buffer, clicks and DTMF tones, Skype's windows) and
// without it (keystrokes for the foreground window); and two whole calls, end to end.
#include "phonedock_fixture.h"
#include "handset/handset_events.h"
#include "foundation/shared_state.h"
#include "skype/skype_process.h"

#include <algorithm>

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

class KeysTest : public PhonedockTest {
  protected:
    void SetUp() override {
        PhonedockTest::SetUp();
        winsim::setPlaybackDevices({"Onboard HD Audio", "USB Audio Device"});
        winsim::setRecordingDevices({"USB Audio Device"});
    }

    void TearDown() override {
        StopProgram();
        skype.reset();
        PhonedockTest::TearDown();
    }

    // Program, handset and an attached Skype; answers the handset.
    sim::Handset& StartAttached(sim::SkypeConfig config = {}) {
        sim::Handset& handset = AddHandset();
        skype.emplace(config);
        EXPECT_TRUE(skype->start());
        StartProgram();
        EXPECT_TRUE(skype->waitForCommand("SET AUDIO_IN USB Audio Device", 2s).has_value());
        mark = skype->commands().size();
        return handset;
    }

    // The commands since the last mark, once `last` has arrived.
    Texts CommandsUpTo(const std::string& last) {
        const auto at = skype->waitForCommand(last, 3s, mark);
        EXPECT_TRUE(at.has_value()) << "no " << last;
        const Texts all = skype->commandTexts();
        Texts since(all.begin() + static_cast<long>(mark),
                    all.begin() + static_cast<long>(at.value_or(mark) + 1));
        mark = at.value_or(mark) + 1;
        return since;
    }

    // The devices of the playbacks so far.
    std::vector<UINT> PlayedDevices() {
        std::vector<UINT> devices;
        for (const auto& p : winsim::waveOutPlaybacks()) devices.push_back(p.deviceId);
        return devices;
    }

    std::optional<sim::SimulatedSkype> skype;
    size_t mark = 0;
};

}  // namespace

TEST_F(KeysTest, AnIncomingCallAnsweredMutedUnmutedAndHungUpFromTheHandset) {
    // Skype's window is hidden, so YES answers through the API rather than Skype's own YES button.
    sim::SkypeConfig config;
    config.mainWindowShow = sim::MainWindowShow::Hidden;
    sim::Handset& handset = StartAttached(config);
    const int call = skype->incomingCall("0049-30-1234");
    ASSERT_TRUE(
        handset.waitUntil([&] { return handset.ringer() && handset.display().lower == "49-30-1234"; }, 2s));

    handset.press(sim::Key::Yes);
    const std::string answer = "SET CALL " + std::to_string(call) + " STATUS INPROGRESS";
    EXPECT_EQ(CommandsUpTo(answer),
              (Texts{"GET CALL " + std::to_string(call) + " PARTNER_DISPNAME", "FOCUS", answer}));
    ASSERT_TRUE(handset.waitUntil([&] { return !handset.ringer(); }, 2s));
    EXPECT_TRUE(handset.backlight());
    handset.release();

    handset.press(sim::Key::Mute);
    EXPECT_EQ(CommandsUpTo("GET MUTE"), (Texts{"Set MUTE ON", "GET MUTE"}));
    ASSERT_TRUE(skype->waitUntil([&] { return skype->muted(); }, 2s));
    EXPECT_FALSE(handset.backlight());
    handset.release();
    handset.press(sim::Key::Mute);
    EXPECT_EQ(CommandsUpTo("GET MUTE"), (Texts{"SET MUTE OFF", "GET MUTE"}));
    ASSERT_TRUE(handset.waitUntil([&] { return handset.backlight(); }, 2s));
    handset.release();

    handset.press(sim::Key::No);
    EXPECT_EQ(CommandsUpTo("BTN_RELEASED NO"), (Texts{"BTN_PRESSED NO", "BTN_RELEASED NO"}));
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().lower == "      0905"; }, 2s));
    EXPECT_FALSE(handset.display().indicator);
    EXPECT_FALSE(handset.backlight());
    // YES's FOCUS brought Skype's window up from the tray, so NO finds it and sends it back there.
    EXPECT_TRUE(skype->waitUntil(
        [&] {
            return skype->mainWindowCloseCount() == 1 &&
                   skype->mainWindowView().show == sim::MainWindowShow::Hidden;
        },
        2s));
    // Clicks for YES, the two mutes and NO; no DTMF tone.
    EXPECT_EQ(PlayedDevices(), (std::vector<UINT>{1, 1, 1, 1}));
}

TEST_F(KeysTest, DiallingOutWithDtmfInsideTheCallAndHangingUpOnHook) {
    sim::SkypeConfig config;
    config.farEndAnswerDelay = 50ms;
    sim::Handset& handset = StartAttached(config);

    handset.setOffHook(true);
    EXPECT_EQ(CommandsUpTo("HOOK OFF"), (Texts{"FOCUS", "HOOK OFF"}));
    for (sim::Key key : {sim::Key::Digit1, sim::Key::Digit2, sim::Key::Digit3}) {
        handset.press(key);
        handset.release();
    }
    EXPECT_EQ(CommandsUpTo("BTN_RELEASED 3"),
              (Texts{"FOCUS", "BTN_PRESSED 1", "BTN_RELEASED 1", "FOCUS", "BTN_PRESSED 2", "BTN_RELEASED 2",
                     "FOCUS", "BTN_PRESSED 3", "BTN_RELEASED 3"}));
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().lower == "       123"; }, 2s));
    EXPECT_EQ(skype->editText(), "123");
    // Each digit sounded its own DTMF tone on the handset's device: 133 + digit, about 80 ms each.
    ASSERT_TRUE(testsupport::Eventually([&] { return winsim::waveOutPlaybacks().size() == 3; }));
    for (const auto& playback : winsim::waveOutPlaybacks()) {
        EXPECT_EQ(playback.deviceId, 1u);
        EXPECT_EQ(playback.samplesPerSecond, 22050u);
        EXPECT_NEAR(static_cast<double>(playback.bytes) / 44.1, 80.5, 1.0);
    }

    handset.press(sim::Key::Yes);
    handset.release();
    ASSERT_TRUE(skype->waitUntil(
        [&] {
            return !skype->calls().empty() && skype->calls().back().status == sim::CallStatus::InProgress;
        },
        3s));
    const int call = skype->calls().back().id;
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().indicator; }, 2s));

    handset.press(sim::Key::Digit5);  // in the call: DTMF goes to Skype, nothing plays here
    handset.release();
    CommandsUpTo("SET CALL " + std::to_string(call) + " DTMF 5");
    const size_t played = winsim::waveOutPlaybacks().size();

    handset.setOffHook(false);
    EXPECT_EQ(CommandsUpTo("HOOK ON"), Texts{"HOOK ON"});
    ASSERT_TRUE(handset.waitUntil([&] { return !handset.display().indicator; }, 2s));
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().lower == "      0905"; }, 2s));
    ASSERT_TRUE(skype->waitUntil([&] { return skype->editText().empty(); }, 2s));  // the field emptied too
    EXPECT_EQ(winsim::waveOutPlaybacks().size(), played);  // no tone in the call, none for the hook
}

TEST_F(KeysTest, WithoutSkypeTheKeypadTypesIntoTheForegroundWindow) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    handset.press(sim::Key::Digit5);
    handset.press(sim::Key::Hash);
    handset.press(sim::Key::Mute);  // types nothing
    handset.setOffHook(true);
    handset.setOffHook(false);
    handset.press(sim::Key::Digit0);
    testsupport::Eventually([] { return winsim::keyboardInput().size() >= 12; });
    std::vector<std::pair<int, bool>> keys;  // virtual key, released
    for (const auto& input : winsim::keyboardInput())
        keys.emplace_back(input.virtualKey, (input.flags & KEYEVENTF_KEYUP) != 0);
    EXPECT_EQ(keys, (std::vector<std::pair<int, bool>>{{'5', false},
                                                       {'5', true},
                                                       {VK_LSHIFT, false},
                                                       {'3', false},
                                                       {'3', true},
                                                       {VK_LSHIFT, true},
                                                       {VK_RETURN, false},
                                                       {VK_RETURN, true},
                                                       {VK_ESCAPE, false},
                                                       {VK_ESCAPE, true},
                                                       {'0', false},
                                                       {'0', true}}));
}

// Skype has just crashed and the watchdog has not noticed yet: a key is typed rather than lost on the
// vanished Skype.
TEST_F(KeysTest, AKeyBeforeTheWatchdogNoticesSkypesLossIsTyped) {
    sim::Handset& handset = StartAttached();
    skype->crash();
    handset.press(sim::Key::Digit4);
    handset.release();
    ASSERT_TRUE(testsupport::Eventually([] { return winsim::keyboardInput().size() >= 2; }));
    EXPECT_EQ(winsim::keyboardInput()[0].virtualKey, '4');
}
