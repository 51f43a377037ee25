// Skype's notifications as the program follows them: the handset rings, lights and shows the caller's name;
// a second caller during a call is turned away; texts from anyone else, or malformed ones, change nothing.
#include "phonedock_fixture.h"
#include "scripted_skype.h"
#include "skype/skype_inbox.h"

#include <algorithm>
#include <array>

using namespace std::chrono_literals;
using Commands = std::vector<std::string>;

namespace {

class CallTrackerTest : public PhonedockTest {
  protected:
    void SetUp() override {
        PhonedockTest::SetUp();
        handset = &AddHandset();
        skype.emplace();
        StartProgram();
        ASSERT_EQ(winsim::iconResourceId(TrayIcon()->icon), 129);  // attached
        baseCommands = skype->Commands().size();
    }

    void TearDown() override {
        StopProgram();
        skype.reset();
        PhonedockTest::TearDown();
    }

    void Notify(const std::string& text) {
        skype->Notify(text);
        Settle();
    }

    Commands NewCommands() {
        const Commands all = skype->Commands();
        return Commands(all.begin() + static_cast<long>(baseCommands), all.end());
    }

    // Presses and releases each key in turn; answers the commands they sent once `count` have arrived and
    // the keys are handled whole.
    Commands Keys(std::initializer_list<sim::Key> keys, size_t count) {
        const size_t from = skype->Commands().size();
        for (sim::Key key : keys) {
            handset->press(key);
            handset->release();
        }
        EXPECT_TRUE(skype->WaitForCommands(from + count));
        EXPECT_TRUE(testsupport::ReaderIdle(*handset));
        const Commands all = skype->Commands();
        return Commands(all.begin() + static_cast<long>(from), all.end());
    }

    sim::Handset* handset = nullptr;
    std::optional<ScriptedSkype> skype;
    size_t baseCommands = 0;
};

}  // namespace

TEST_F(CallTrackerTest, AnIncomingCallRingsShowsTheCallerAndEnds) {
    Notify("CALL 12 STATUS RINGING");
    EXPECT_TRUE(handset->ringer());
    EXPECT_TRUE(handset->backlight());
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_EQ(NewCommands(), Commands{"GET CALL 12 PARTNER_DISPNAME"});

    Notify("CALL 12 PARTNER_DISPNAME 0049-30-1234");
    EXPECT_EQ(handset->display().upper, "   00");
    EXPECT_EQ(handset->display().lower, "49-30-1234");
    Tick();  // the timer shows the name too, not the clock
    EXPECT_EQ(handset->display().lower, "49-30-1234");

    Notify("CALL 12 STATUS INPROGRESS");
    EXPECT_FALSE(handset->ringer());
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_TRUE(handset->backlight());

    // Another caller while one is connected is finished at once, without ringing or a name request.
    Notify("CALL 15 STATUS RINGING");
    EXPECT_FALSE(handset->ringer());
    EXPECT_EQ(NewCommands(), (Commands{"GET CALL 12 PARTNER_DISPNAME", "SET CALL 15 STATUS FINISHED"}));

    Notify("CALL 12 STATUS FINISHED");
    EXPECT_FALSE(handset->display().indicator);
    EXPECT_FALSE(handset->backlight());
    EXPECT_EQ(handset->display().lower, "      0905");  // the clock again

    // 12 is no longer connected: the next caller rings.
    Notify("CALL 16 STATUS RINGING");
    EXPECT_TRUE(handset->ringer());
    Notify("CALL 16 STATUS MISSED");
    EXPECT_FALSE(handset->ringer());
}

TEST_F(CallTrackerTest, ASecondCallerTurnedAwayLeavesTheCallInProgressAsItWas) {
    Notify("CALL 12 STATUS RINGING");
    Notify("CALL 12 PARTNER_DISPNAME 0049-30-1234");
    Notify("CALL 12 STATUS INPROGRESS");  // answered at Skype: DTMF goes to it all the same
    EXPECT_EQ(Keys({sim::Key::Mute}, 2), (Commands{"Set MUTE ON", "GET MUTE"}));
    Notify("MUTE ON");
    EXPECT_FALSE(handset->backlight());

    // Two more callers are turned away; neither rings nor is answered by YES, and neither's end (whichever
    // way Skype reports it) touches the call in progress: its indicator, its muted light, the caller's name.
    Notify("CALL 15 STATUS RINGING");
    EXPECT_FALSE(handset->ringer());
    EXPECT_FALSE(handset->backlight());
    Notify("CALL 15 STATUS FINISHED");
    Notify("CALL 16 STATUS RINGING");
    EXPECT_EQ(Keys({sim::Key::Yes}, 1), Commands{"FOCUS"});
    Notify("CALL 16 STATUS REFUSED");
    Tick();
    EXPECT_FALSE(handset->ringer());
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_FALSE(handset->backlight());
    EXPECT_EQ(handset->display().lower, "49-30-1234");

    // Digits are DTMF to the call in progress, and MUTE still unmutes it.
    EXPECT_EQ(Keys({sim::Key::Digit5, sim::Key::Mute}, 6),
              (Commands{"FOCUS", "BTN_PRESSED 5", "BTN_RELEASED 5", "SET CALL 12 DTMF 5", "SET MUTE OFF",
                        "GET MUTE"}));
    EXPECT_EQ(NewCommands(), (Commands{"GET CALL 12 PARTNER_DISPNAME", "Set MUTE ON", "GET MUTE",
                                       "SET CALL 15 STATUS FINISHED", "SET CALL 16 STATUS FINISHED", "FOCUS",
                                       "FOCUS", "BTN_PRESSED 5", "BTN_RELEASED 5", "SET CALL 12 DTMF 5",
                                       "SET MUTE OFF", "GET MUTE"}));
    EXPECT_TRUE(handset->backlight());

    // A second call placed from here that fails leaves the call in progress alone too.
    Notify("CALL 20 STATUS ROUTING");
    Notify("CALL 20 STATUS FAILED");
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_TRUE(handset->backlight());

    Notify("CALL 12 STATUS FINISHED");
    EXPECT_FALSE(handset->display().indicator);
    EXPECT_FALSE(handset->backlight());
    EXPECT_EQ(handset->display().lower, "      0905");
}

TEST_F(CallTrackerTest, ACallPlacedFromHereRingsAtTheFarEndOnly) {
    Notify("CALL 7 STATUS ROUTING");
    Notify("CALL 7 STATUS RINGING");
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_FALSE(handset->ringer());
    EXPECT_TRUE(NewCommands().empty());
    Notify("CALL 7 STATUS FAILED");
    EXPECT_FALSE(handset->display().indicator);
    EXPECT_FALSE(handset->backlight());

    // ONHOLD, BUSY and unknown status words change nothing.
    Notify("CALL 9 STATUS INPROGRESS");
    const auto image = handset->image();
    const size_t reports = handset->receivedCount();
    Notify("CALL 9 STATUS ONHOLD");
    Notify("CALL 9 STATUS BUSY");
    Notify("CALL 9 STATUS EARLYMEDIA");
    EXPECT_EQ(handset->receivedCount(), reports);
    EXPECT_EQ(handset->image(), image);
}

TEST_F(CallTrackerTest, MalformedOrForeignNotificationsChangeNothing) {
    const size_t reports = handset->receivedCount();
    Notify("call 5 STATUS RINGING");
    Notify("CALL 0 STATUS RINGING");
    Notify("CALL -3 STATUS RINGING");
    Notify("MUTE");
    skype->Send("CALL 31 STATUS RINGING");  // no terminator: read within the block
    skype->Send("");                        // nothing at all
    Settle();
    EXPECT_TRUE(handset->ringer());  // the unterminated one is still a whole text
    EXPECT_EQ(NewCommands(), Commands{"GET CALL 31 PARTNER_DISPNAME"});

    // The same text from a window that is not Skype's API window.
    Notify("CALL 31 STATUS MISSED");
    ScriptedSkype impostor;
    const size_t before = handset->receivedCount();
    COPYDATASTRUCT data{0, 23, const_cast<char*>("CALL 40 STATUS RINGING")};
    EXPECT_EQ(SendMessageA(MainWindow(), WM_COPYDATA, reinterpret_cast<WPARAM>(impostor.window()),
                           reinterpret_cast<LPARAM>(&data)),
              1);
    Settle();
    EXPECT_EQ(handset->receivedCount(), before);
    EXPECT_GT(before, reports);
}

TEST_F(CallTrackerTest, ACallersNameIsShownAndNeverReadAsAStatus) {
    Notify("CALL 12 STATUS RINGING");
    Notify("CALL 12 PARTNER_DISPNAME 5 STATUS FINISHED");
    // The name stands on the display and the call still rings.
    EXPECT_TRUE(handset->ringer());
    EXPECT_TRUE(handset->display().indicator);
    Notify("CALL 12 PARTNER_DISPNAME 1 STATUS RINGING");
    EXPECT_EQ(NewCommands(), Commands{"GET CALL 12 PARTNER_DISPNAME"});  // not asked again

    // A name far longer than the display buffer is cut to its 999 characters; its end is not shown.
    Notify("CALL 12 PARTNER_DISPNAME " + std::string(5000, '7') + "123");
    EXPECT_EQ(handset->display().lower, "7777777777");
}

// Letters show in their seven-segment forms and whatever cannot be drawn is a blank cell; no byte of a name,
// nor a digit added to it in the call, lights a bar, a separator or a weekday mark.
TEST_F(CallTrackerTest, ACallersNameReadsAsLettersAndLightsNothingElse) {
    Notify("CALL 12 STATUS RINGING");
    Notify("CALL 12 PARTNER_DISPNAME Grace Hopper");
    EXPECT_EQ(handset->display().upper, "   Gr");
    EXPECT_EQ(handset->display().lower, "ACE HoPPEr");
    Notify("CALL 12 STATUS INPROGRESS");
    EXPECT_EQ(Keys({sim::Key::Digit5}, 4).back(), "SET CALL 12 DTMF 5");
    EXPECT_EQ(handset->display().lower, "CE HoPPEr5");
    EXPECT_EQ(handset->rendering(), "upper \"  GrA\" lower \"CE HoPPEr5\" sep:- days:- bars:6 icon:on");

    Notify("CALL 12 PARTNER_DISPNAME J\xC3\xBCrgen Kim");  // a UTF-8 sequence is one blank
    EXPECT_EQ(handset->display().lower, "J rGEN  I ");

    for (int first = 1; first < 256; first += 15) {
        std::string name;
        for (int byte = first; byte < first + 15 && byte < 256; ++byte) name += static_cast<char>(byte);
        Notify("CALL 12 PARTNER_DISPNAME " + name);
        const sim::DisplayReading shown = handset->display();
        EXPECT_EQ((shown.upper + shown.lower).find('?'), std::string::npos) << first;
        EXPECT_FALSE(shown.separator24 || shown.separator25) << first;
        EXPECT_EQ(shown.days, (std::array<bool, 7>{})) << first;
        EXPECT_EQ(shown.barLevel(), 6) << first;
    }
}

// Call 12 is connected and muted when the user places calls from Skype's own window: 20 rings at its far
// end and fails, 21 rings and is finished, 22 connects and ends. Only a connected call takes DTMF, and when
// it ends DTMF goes back to 12; the calls that only rang leave 12's light and mute state alone.
TEST_F(CallTrackerTest, CallsPlacedDuringACallLeaveItItsDtmfLightAndMute) {
    Notify("CALL 12 STATUS RINGING");
    Notify("CALL 12 STATUS INPROGRESS");
    EXPECT_EQ(Keys({sim::Key::Mute}, 2), (Commands{"Set MUTE ON", "GET MUTE"}));
    Notify("MUTE ON");
    const auto dtmf = [&](sim::Key key) { return Keys({key}, 4).back(); };

    Notify("CALL 20 STATUS ROUTING");
    Notify("CALL 20 STATUS RINGING");
    EXPECT_FALSE(handset->backlight());
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_EQ(dtmf(sim::Key::Digit5), "SET CALL 12 DTMF 5");
    Notify("CALL 20 STATUS FAILED");
    EXPECT_EQ(dtmf(sim::Key::Digit6), "SET CALL 12 DTMF 6");
    Notify("CALL 21 STATUS ROUTING");
    Notify("CALL 21 STATUS RINGING");
    Keys({sim::Key::Yes}, 1);  // 21 is not answered from here: looked at once later keys are through
    Notify("CALL 21 STATUS FINISHED");
    EXPECT_FALSE(handset->backlight());
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_EQ(Keys({sim::Key::Mute}, 2), (Commands{"SET MUTE OFF", "GET MUTE"}));
    Notify("MUTE OFF");
    EXPECT_TRUE(handset->backlight());

    Notify("CALL 22 STATUS ROUTING");
    Notify("CALL 22 STATUS INPROGRESS");
    EXPECT_EQ(dtmf(sim::Key::Digit7), "SET CALL 22 DTMF 7");
    Notify("CALL 22 STATUS FINISHED");
    EXPECT_TRUE(handset->display().indicator);
    EXPECT_EQ(dtmf(sim::Key::Digit8), "SET CALL 12 DTMF 8");
    EXPECT_EQ(std::ranges::count(NewCommands(), "SET CALL 21 STATUS INPROGRESS"), 0);
    Notify("CALL 12 STATUS FINISHED");
    EXPECT_FALSE(handset->display().indicator);
    EXPECT_FALSE(handset->backlight());
}

TEST_F(PhonedockTest, NotificationsReachNothingWhileSkypeIsNotAttached) {
    sim::Handset& handset = AddHandset();
    StartProgram();
    const size_t reports = handset.receivedCount();
    // No sender at all, while no Skype is attached: still not Skype.
    COPYDATASTRUCT data{0, 22, const_cast<char*>("CALL 1 STATUS RINGING")};
    EXPECT_EQ(SendMessageA(MainWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)), 1);
    // Message 1025 from anyone else carries no block of the program's: it is not touched.
    PostMessageA(MainWindow(), WM_USER + 1, 0, 0x1234);
    PostMessageA(MainWindow(), WM_USER + 1, 0, reinterpret_cast<LPARAM>(&data));
    Settle();
    EXPECT_FALSE(handset.ringer());
    EXPECT_EQ(handset.receivedCount(), reports);
}

TEST_F(CallTrackerTest, ARefusedCallEndsLikeAMissedOne) {
    Notify("CALL 21 STATUS RINGING");
    Notify("CALL 21 PARTNER_DISPNAME 555");
    Notify("CALL 21 STATUS REFUSED");
    EXPECT_FALSE(handset->ringer());
    EXPECT_FALSE(handset->display().indicator);
    EXPECT_EQ(handset->display().lower, "      0905");
}

// Skype reports 20,000 calls while it handles one command of ours: twice the posted-message quota arrives
// while the program's main thread waits for that command. Every one is handled, in the order sent.
TEST_F(PhonedockTest, ABurstOfNotificationsIsHandledWholeAndInOrder) {
    ScriptedSkype skype;
    StartProgram();
    std::vector<std::string> burst;
    Commands expected{"GET CALL 1 PARTNER_DISPNAME"};
    for (int id = 2; id <= 20001; ++id) {
        burst.push_back("CALL " + std::to_string(id) + " STATUS RINGING");
        expected.push_back("GET CALL " + std::to_string(id) + " PARTNER_DISPNAME");
    }
    skype.NotifyWhileHandling("GET CALL 1 PARTNER_DISPNAME", burst);
    skype.Notify("CALL 1 STATUS RINGING");
    ASSERT_TRUE(skype.WaitForCommands(expected.size(), 60s));  // about 2 s under the sanitizers
    Settle();
    EXPECT_EQ(skype.Commands(), expected);
    EXPECT_EQ(phonedock::DroppedSkypeEventCount(), 0u);
}

// What the queue's cap turns away is counted; what it kept is handled in order.
TEST_F(PhonedockTest, NotificationsBeyondTheQueuesCapAreCounted) {
    phonedock::SetSkypeInboxLimits({3, phonedock::kSkypeInboxLimits.bytes});
    ScriptedSkype skype;
    StartProgram();
    std::vector<std::string> burst;
    for (int id = 2; id <= 11; ++id) burst.push_back("CALL " + std::to_string(id) + " STATUS RINGING");
    skype.NotifyWhileHandling("GET CALL 1 PARTNER_DISPNAME", burst);
    skype.Notify("CALL 1 STATUS RINGING");
    ASSERT_TRUE(skype.WaitForCommands(4));
    Settle();
    EXPECT_EQ(skype.Commands(), (Commands{"GET CALL 1 PARTNER_DISPNAME", "GET CALL 2 PARTNER_DISPNAME",
                                          "GET CALL 3 PARTNER_DISPNAME", "GET CALL 4 PARTNER_DISPNAME"}));
    EXPECT_EQ(phonedock::DroppedSkypeEventCount(), 7u);
}
