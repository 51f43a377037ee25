// Attaching to Skype, whichever starts first; Skype's audio pointed at the handset; Skype going away and
// coming back.
#include "phonedock_fixture.h"
#include "skype/skype_process.h"
#include "scripted_skype.h"
#include "skype/skype_link.h"

#include <cstring>

using namespace std::chrono_literals;

namespace {

constexpr const char* kTipAttached = "USB Device Driver (Skype Feature-Enabled)";
constexpr const char* kTipNoSkype = "USB Device Driver (Please Launch Skype)";

class SkypeLinkTest : public PhonedockTest {
  protected:
    void TearDown() override {
        StopProgram();
        skype.reset();
        PhonedockTest::TearDown();
    }

    int TrayIconId() { return winsim::iconResourceId(TrayIcon()->icon); }

    bool WaitForTray(int iconId) {
        return testsupport::Eventually([&] { return TrayIconId() == iconId; });
    }

    std::optional<sim::SimulatedSkype> skype;
};

}  // namespace

TEST_F(SkypeLinkTest, AttachesToARunningSkypeAndPointsItsAudioAtTheHandset) {
    winsim::setPlaybackDevices({"Onboard HD Audio", "Virtual Cable", "USB Audio Device"});
    winsim::setRecordingDevices({"USB Audio Device", "Onboard Mic"});
    winsim::registrySetString(kSoundMapperKey, "Playback", "USB Audio Device");
    winsim::registrySetString(kSoundMapperKey, "Record", "Onboard Mic");
    sim::Handset& handset = AddHandset();
    skype.emplace();
    ASSERT_TRUE(skype->start());
    StartProgram();

    ASSERT_TRUE(WaitForTray(129));
    EXPECT_EQ(TrayIcon()->tip, kTipAttached);
    EXPECT_EQ(skype->attachedClients(), std::vector<HWND>{MainWindow()});
    ASSERT_TRUE(skype->waitForCommand("SET AUDIO_IN USB Audio Device", 2s).has_value());
    Settle();
    EXPECT_EQ(skype->audioOut(), "USB Audio Device");
    EXPECT_EQ(skype->audioIn(), "USB Audio Device");
    // Windows' own default moves off the handset to the PC's card; one that names no USB device stays.
    EXPECT_EQ(winsim::registryGetString(kSoundMapperKey, "Playback"), "Onboard HD Audio");
    EXPECT_EQ(winsim::registryGetString(kSoundMapperKey, "Record"), "Onboard Mic");
    EXPECT_EQ(handset.display().barLevel(), 6);

    // Skype exits: within one tick the program notices and says so.
    skype->crash();
    Tick();
    EXPECT_EQ(TrayIconId(), 131);
    EXPECT_EQ(TrayIcon()->tip, kTipNoSkype);
    EXPECT_EQ(handset.display().barLevel(), 0);

    // Skype starts again and announces itself: the program asks again and is attached again, audio and all.
    const size_t commandsBefore = skype->commands().size();
    ASSERT_TRUE(skype->start());
    ASSERT_TRUE(WaitForTray(129));
    ASSERT_TRUE(skype->waitForCommand("SET AUDIO_OUT USB Audio Device", 2s, commandsBefore).has_value());
}

TEST_F(SkypeLinkTest, ASkypeStartedLaterIsAttachedWhenItAnnouncesItself) {
    AddHandset();
    StartProgram();
    EXPECT_EQ(TrayIconId(), 131);
    Tick();
    EXPECT_EQ(TrayIconId(), 131);  // the program never asks again by itself

    skype.emplace();
    ASSERT_TRUE(skype->start());
    ASSERT_TRUE(WaitForTray(129));
    EXPECT_EQ(skype->discoveries().size(), 1u);
}

TEST_F(SkypeLinkTest, AnAttachNotGrantedChangesNothing) {
    AddHandset();
    sim::SkypeConfig refusing;
    refusing.attachStatus = 2;
    skype.emplace(refusing);
    ASSERT_TRUE(skype->start());
    StartProgram();
    ASSERT_TRUE(testsupport::Eventually([&] { return !skype->discoveries().empty(); }));
    Settle();
    EXPECT_EQ(TrayIconId(), 131);
    EXPECT_TRUE(skype->commands().empty());  // no audio commands either
}

TEST_F(SkypeLinkTest, AnIncomingCallFromSkypeRingsTheHandsetWithTheCallersName) {
    sim::Handset& handset = AddHandset();
    skype.emplace();
    ASSERT_TRUE(skype->start());
    StartProgram();
    ASSERT_TRUE(WaitForTray(129));

    const int call = skype->incomingCall("0049-30-1234");
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().lower == "49-30-1234"; }, 2s));
    EXPECT_TRUE(handset.ringer());
    EXPECT_TRUE(handset.backlight());
    ASSERT_TRUE(
        skype->waitForCommand("GET CALL " + std::to_string(call) + " PARTNER_DISPNAME", 2s).has_value());

    skype->farEndHangsUp(call);  // the caller gives up: a missed call
    ASSERT_TRUE(handset.waitUntil([&] { return !handset.ringer(); }, 2s));
    ASSERT_TRUE(handset.waitUntil([&] { return handset.display().lower == "      0905"; }, 2s));
    EXPECT_FALSE(handset.backlight());
}

TEST_F(SkypeLinkTest, WithoutAHandsetTheIconSaysSoOnceSkypeAttaches) {
    skype.emplace();
    ASSERT_TRUE(skype->start());
    StartProgram();
    ASSERT_TRUE(WaitForTray(130));
    EXPECT_EQ(TrayIcon()->tip, "USB Device Driver (Please Connect USB Phone)");
    EXPECT_TRUE(skype->commands().empty());  // audio is routed only with the handset there
}

TEST_F(SkypeLinkTest, CallsEndWithASkypeThatVanishedAndANewCallRingsAfterItsReturn) {
    sim::Handset& handset = AddHandset();
    skype.emplace();
    ASSERT_TRUE(skype->start());
    StartProgram();
    ASSERT_TRUE(WaitForTray(129));

    const int first = skype->incomingCall("Ada");  // a name of letters: no digit shows
    ASSERT_TRUE(handset.waitUntil([&] { return handset.ringer(); }, 2s));
    // Lifted to answer: "HOOK OFF" is the key's last step, so once Skype has it the key handling is over
    // and nothing from it can reach the Skype that comes later.
    handset.setOffHook(true);
    ASSERT_TRUE(skype->waitForCommand("HOOK OFF", 2s));
    ASSERT_TRUE(
        skype->waitUntil([&] { return skype->call(first)->status == sim::CallStatus::InProgress; }, 2s));
    ASSERT_TRUE(handset.waitUntil([&] { return !handset.ringer() && handset.display().indicator; }, 2s));

    // Skype dies in the middle of the call: the call is over for the handset too.
    skype->crash();
    Tick();
    EXPECT_FALSE(handset.ringer());
    EXPECT_FALSE(handset.backlight());
    EXPECT_FALSE(handset.display().indicator);
    EXPECT_EQ(handset.display().lower, "      0905");

    // Back again, Skype rings: the handset rings and the caller's name is asked for, nothing is turned away.
    const size_t commandsBefore = skype->commands().size();
    ASSERT_TRUE(skype->start());
    ASSERT_TRUE(WaitForTray(129));
    const int second = skype->incomingCall("0049-30-1234");
    ASSERT_TRUE(skype->waitForCommand("GET CALL " + std::to_string(second) + " PARTNER_DISPNAME", 2s,
                                      commandsBefore));
    ASSERT_TRUE(
        handset.waitUntil([&] { return handset.ringer() && handset.display().lower == "49-30-1234"; }, 2s))
        << handset.rendering();
    for (const std::string& command : skype->commandTexts())
        EXPECT_EQ(command.find("FINISHED"), std::string::npos);
}

// Attach statuses count only as Skype's own Attach message: a private message WM_USER + 2 with an attach
// status, posted by any program, neither attaches nor asks anyone to attach.
TEST_F(SkypeLinkTest, AnAttachStatusPostedByAnyProgramChangesNothing) {
    winsim::setPlaybackDevices({"USB Audio Device"});
    AddHandset();
    StartProgram();
    ScriptedSkype other;  // starts after the program's one Discover, so it is never asked to attach
    PostMessageA(MainWindow(), WM_USER + 2, reinterpret_cast<WPARAM>(other.window()), 0);
    PostMessageA(MainWindow(), WM_USER + 2, reinterpret_cast<WPARAM>(other.window()), 0x8001);
    Settle();
    Tick();
    EXPECT_EQ(TrayIconId(), 131);
    EXPECT_TRUE(other.Commands().empty());  // no audio commands: not attached
}

// A command is sent whole or not at all: a shortened one would name another device or call.
TEST_F(SkypeLinkTest, ACommandIsSentWholeUpToTheLastByteAndNotAtAllBeyond) {
    AddHandset();
    ScriptedSkype scripted;
    StartProgram();
    ASSERT_TRUE(WaitForTray(129));
    const std::string longest(phonedock::kSkypeCommandSize - 1 - std::strlen("SET AUDIO_IN "), 'x');
    phonedock::SendSkypeCommandf("SET AUDIO_IN %s", longest.c_str());
    EXPECT_EQ(phonedock::SendSkypeCommandf("SET AUDIO_IN %s", (longest + "y").c_str()), 0);
    phonedock::SendSkypeCommandf("SET CALL %d STATUS %s", 42, "FINISHED");
    EXPECT_EQ(scripted.Commands(),
              (std::vector<std::string>{"SET AUDIO_IN " + longest, "SET CALL 42 STATUS FINISHED"}));
}
