// The key table with Skype attached, key by key, against a Skype that answers nothing by itself.
#include "phonedock_fixture.h"
#include "foundation/dial_buffer.h"
#include "handset/handset_events.h"
#include "scripted_skype.h"
#include "foundation/shared_state.h"

using namespace std::chrono_literals;
using Texts = std::vector<std::string>;

namespace {

class KeyDispatchTest : public PhonedockTest {
  protected:
    void SetUp() override {
        PhonedockTest::SetUp();
        winsim::setPlaybackDevices({"USB Audio Device"});
        handset = &AddHandset();
        skype.emplace();
        StartProgram();
        mark = skype->Commands().size();
    }

    void TearDown() override {
        StopProgram();
        skype.reset();
        PhonedockTest::TearDown();
    }

    // Presses and releases a key; answers the commands it sent once `count` have arrived.
    Texts Key(sim::Key key, size_t count) {
        handset->press(key);
        handset->release();
        EXPECT_TRUE(skype->WaitForCommands(mark + count));
        SettleKeys(*handset);  // anything more has come by now
        const Texts all = skype->Commands();
        Texts sent(all.begin() + static_cast<long>(mark), all.end());
        mark = all.size();
        return sent;
    }

    size_t Tones() { return winsim::waveOutPlaybacks().size(); }

    sim::Handset* handset = nullptr;
    std::optional<ScriptedSkype> skype;
    size_t mark = 0;
};

}  // namespace

TEST_F(KeyDispatchTest, OutsideACallStarIsSkypesButtonAndHashIsPlus) {
    EXPECT_EQ(Key(sim::Key::Star, 3), (Texts{"FOCUS", "BTN_PRESSED SKYPE", "BTN_RELEASED SKYPE"}));
    EXPECT_EQ(phonedock::dialBuffer.Copy().length, 0);
    EXPECT_EQ(Tones(), 1u);  // the click
    EXPECT_EQ(Key(sim::Key::Hash, 3), (Texts{"FOCUS", "BTN_PRESSED +", "BTN_RELEASED +"}));
    EXPECT_EQ(Tones(), 2u);                           // the click again, no DTMF tone for '+'
    EXPECT_EQ(handset->display().lower.back(), '*');  // '+' shows with the '*' glyph
}

TEST_F(KeyDispatchTest, InsideACallStarAndHashAreDtmfToTheRoutedCall) {
    skype->Notify("CALL 7 STATUS ROUTING");
    skype->Notify("CALL 7 STATUS INPROGRESS");
    Settle();
    EXPECT_EQ(Key(sim::Key::Star, 4),
              (Texts{"FOCUS", "BTN_PRESSED *", "BTN_RELEASED *", "SET CALL 7 DTMF *"}));
    EXPECT_EQ(Key(sim::Key::Hash, 4),
              (Texts{"FOCUS", "BTN_PRESSED #", "BTN_RELEASED #", "SET CALL 7 DTMF #"}));
    EXPECT_EQ(Tones(), 0u);
    EXPECT_EQ(handset->display().lower.substr(8), "*#");
}

TEST_F(KeyDispatchTest, AFullBufferTakesNoMoreButTheKeyStillActs) {
    const std::string full(999, '9');
    phonedock::dialBuffer.Replace(full.data(), full.size());
    EXPECT_EQ(Key(sim::Key::Digit5, 3), (Texts{"FOCUS", "BTN_PRESSED 5", "BTN_RELEASED 5"}));
    EXPECT_EQ(phonedock::dialBuffer.Copy().length, 999);
    EXPECT_EQ(Tones(), 1u);  // its DTMF tone
    EXPECT_EQ(handset->display().lower, "9999999999");

    phonedock::dialBuffer.Clear();
    handset->press(sim::Key::Clear);  // on an empty buffer: a click, and the clock
    handset->release();
    ASSERT_TRUE(testsupport::Eventually([&] { return Tones() == 2; }));
    ASSERT_TRUE(handset->waitUntil([&] { return handset->display().lower == "      0905"; }, 2s));
}

TEST_F(KeyDispatchTest, LiftingTellsSkypeOnceAndASecondLiftNothing) {
    handset->setOffHook(true);
    EXPECT_TRUE(skype->WaitForCommands(mark + 2));
    SettleKeys(*handset);
    phonedock::OnHandsetKey(KEY_OFF_HOOK);  // off hook again without going on hook: nothing
    Texts all = skype->Commands();
    EXPECT_EQ(Texts(all.begin() + static_cast<long>(mark), all.end()), (Texts{"FOCUS", "HOOK OFF"}));
}

TEST_F(KeyDispatchTest, MuteOutsideACallOnlyTurnsTheLightOff) {
    const size_t before = handset->receivedCount();
    handset->press(sim::Key::Mute);
    handset->release();
    ASSERT_TRUE(
        handset->waitUntil([&] { return handset->receivedCount() > before && !handset->backlight(); }, 2s));
    SettleKeys(*handset);
    EXPECT_EQ(skype->Commands().size(), mark);
}

TEST_F(KeyDispatchTest, KeysThatReachTheProgramAfterTheHandsetWasPulledOutDoNothing) {
    handset->unplug();
    Settle();
    ASSERT_NE(phonedock::handsetAbsent.load(), 0);
    phonedock::OnHandsetKey(KEY_0 + 5);
    phonedock::OnHandsetKey(KEY_YES);
    EXPECT_EQ(skype->Commands().size(), mark);
    EXPECT_EQ(Tones(), 0u);
}
