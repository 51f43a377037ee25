// The Skype stand-in's calls, mute, devices, records and errors, driven through the desktop API by a
// client window on the test's thread.
#include "sim/test_skype_client.h"
#include "support/winsim_fixture.h"

#include <windows.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using sim::CallStatus;
using skype_test::TestClient;

std::string callText(int id, const std::string& rest) {
    return "CALL " + std::to_string(id) + " " + rest;
}

class SkypeCallTest : public WinsimTest {
  protected:
    void attach(sim::SkypeClient& skype, TestClient& client) {
        if (!skype.running()) {
            ASSERT_TRUE(skype.start());
        }
        client.discover();
        ASSERT_TRUE(client.waitForAttach(0));
    }
    // What the last command brought back while it was being handled.
    static std::string lastText(const TestClient& client) {
        return client.texts().empty() ? "" : client.texts().back();
    }
};

TEST_F(SkypeCallTest, IncomingCallIsNamedAnsweredAndEndedByTheFarEnd) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    const int id = skype.incomingCall("Alice Smith", "alice.smith");
    ASSERT_TRUE(client.waitForText(callText(id, "STATUS RINGING")));

    // Answers arrive while the command is still being handled: they are in when the send returns.
    ASSERT_TRUE(client.send("GET " + callText(id, "PARTNER_DISPNAME")));
    EXPECT_EQ(lastText(client), callText(id, "PARTNER_DISPNAME Alice Smith"));
    ASSERT_TRUE(client.send("get call " + std::to_string(id) + " partner_handle"));
    EXPECT_EQ(lastText(client), callText(id, "PARTNER_HANDLE alice.smith"));
    ASSERT_TRUE(client.send("SET " + callText(id, "STATUS INPROGRESS")));
    EXPECT_EQ(lastText(client), callText(id, "STATUS INPROGRESS"));
    EXPECT_EQ(skype.call(id)->status, CallStatus::InProgress);

    ASSERT_TRUE(skype.farEndHangsUp(id));
    ASSERT_TRUE(client.waitForText(callText(id, "STATUS FINISHED")));
    ASSERT_TRUE(client.send("SET " + callText(id, "STATUS INPROGRESS")));
    EXPECT_EQ(lastText(client), "ERROR 24 Cannot change call status");
}

TEST_F(SkypeCallTest, SecondIncomingCallCanBeRefusedWhileTheFirstStaysConnected) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    const int first = skype.incomingCall("Alice");
    ASSERT_TRUE(client.send("SET " + callText(first, "STATUS INPROGRESS")));
    const int second = skype.incomingCall("Bob");
    EXPECT_EQ(second, first + 1);
    ASSERT_TRUE(client.waitForText(callText(second, "STATUS RINGING")));

    ASSERT_TRUE(client.send("SET " + callText(second, "STATUS FINISHED")));
    EXPECT_EQ(lastText(client), callText(second, "STATUS REFUSED"));
    EXPECT_EQ(skype.call(first)->status, CallStatus::InProgress);

    // A caller who gives up before the answer leaves a missed call.
    const int third = skype.incomingCall("Carol");
    ASSERT_TRUE(skype.farEndHangsUp(third));
    ASSERT_TRUE(client.waitForText(callText(third, "STATUS MISSED")));

    ASSERT_TRUE(client.send("HOOK ON"));
    EXPECT_EQ(lastText(client), callText(first, "STATUS FINISHED"));
}

TEST_F(SkypeCallTest, HookOffAndYesAnswerRingingCallsAndPutTheOtherOnHold) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    const int first = skype.incomingCall("Alice");
    ASSERT_TRUE(client.waitForText(callText(first, "STATUS RINGING")));
    ASSERT_TRUE(client.send("HOOK OFF"));
    EXPECT_EQ(lastText(client), callText(first, "STATUS INPROGRESS"));

    const int second = skype.incomingCall("Bob");
    ASSERT_TRUE(client.waitForText(callText(second, "STATUS RINGING")));
    size_t mark = client.texts().size();
    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    EXPECT_EQ(
        std::vector<std::string>(client.texts().begin() + static_cast<long>(mark), client.texts().end()),
        (std::vector<std::string>{callText(first, "STATUS ONHOLD"), callText(second, "STATUS INPROGRESS")}));

    mark = client.texts().size();
    ASSERT_TRUE(client.send("BTN_PRESSED NO"));
    EXPECT_EQ(
        std::vector<std::string>(client.texts().begin() + static_cast<long>(mark), client.texts().end()),
        (std::vector<std::string>{callText(first, "STATUS FINISHED"), callText(second, "STATUS FINISHED")}));
}

TEST_F(SkypeCallTest, OutgoingCallDialledIntoTheEditField) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    for (const char* button : {"+", "4", "9", "9"})
        ASSERT_TRUE(client.send(std::string("BTN_PRESSED ") + button));
    EXPECT_EQ(skype.editText(), "+499");
    // The program's delete key and the stand-in's field (an ANSI window here).
    EXPECT_FALSE(IsWindowUnicode(skype.editField()));
    SendMessageA(skype.editField(), WM_CHAR, 8, 0);
    EXPECT_EQ(skype.editText(), "+49");
    ASSERT_TRUE(client.send("btn_pressed 3"));
    EXPECT_EQ(skype.editText(), "+493");

    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    ASSERT_EQ(skype.calls().size(), 1u);
    const int id = skype.calls().back().id;
    EXPECT_EQ(lastText(client), callText(id, "STATUS ROUTING"));
    EXPECT_FALSE(skype.call(id)->incoming);
    EXPECT_EQ(skype.call(id)->partnerHandle, "+493");
    ASSERT_TRUE(client.waitForText(callText(id, "STATUS RINGING")));
    ASSERT_TRUE(skype.farEndAnswers(id));
    ASSERT_TRUE(client.waitForText(callText(id, "STATUS INPROGRESS")));

    ASSERT_TRUE(client.send("SET " + callText(id, "DTMF 1")));
    EXPECT_EQ(lastText(client), callText(id, "DTMF 1"));
    ASSERT_TRUE(client.send("SET " + callText(id, "DTMF #")));
    EXPECT_EQ(skype.call(id)->dtmf, "1#");

    ASSERT_TRUE(client.send("BTN_PRESSED NO"));
    EXPECT_EQ(lastText(client), callText(id, "STATUS FINISHED"));
    SendMessageA(skype.editField(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
    EXPECT_EQ(skype.editText(), "");
    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    EXPECT_EQ(skype.calls().size(), 1u) << "nothing to call";
}

// Skype versions whose edit field is a Unicode window: it takes the wide forms of the messages, and the
// ANSI forms (converted by the system) as before.
TEST_F(SkypeCallTest, UnicodeEditFieldTakesWideAndAnsiMessages) {
    sim::SkypeConfig config;
    config.unicodeEditField = true;
    skype_test::Skype skype(config);
    TestClient client;
    attach(skype, client);
    const HWND edit = skype.editField();
    EXPECT_TRUE(IsWindowUnicode(edit));
    EXPECT_FALSE(IsWindowUnicode(skype.mainWindow()));
    for (const char* button : {"1", "2", "3"}) ASSERT_TRUE(client.send(std::string("BTN_PRESSED ") + button));
    EXPECT_EQ(skype.editText(), "123");

    SendMessageW(edit, WM_CHAR, 8, 0);
    EXPECT_EQ(skype.editText(), "12");
    SendMessageW(edit, WM_CHAR, L'7', 0);
    SendMessageW(edit, WM_CHAR, 0x263A, 0);  // beyond ASCII: kept as '?'
    EXPECT_EQ(skype.editText(), "127?");
    char text[16] = {};
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ(text, "127?");
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    EXPECT_EQ(skype.editText(), "");
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("+44"));
    EXPECT_EQ(skype.editText(), "+44");
    SendMessageA(edit, WM_CHAR, '5', 0);
    EXPECT_EQ(skype.editText(), "+445");
    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    ASSERT_EQ(skype.calls().size(), 1u);
    EXPECT_EQ(skype.calls().back().partnerHandle, "+445");
}

// During a call the keypad is the call's: digits are not typed into the field, and YES places no second
// call (it still answers one that rings).
TEST_F(SkypeCallTest, InACallDigitsStayOutOfTheFieldAndYesOnlyAnswers) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    ASSERT_TRUE(client.send("BTN_PRESSED 0"));
    const int first = skype.incomingCall("Alice");
    ASSERT_TRUE(client.send("HOOK OFF"));
    EXPECT_TRUE(skype.hookOff());
    ASSERT_TRUE(client.send("BTN_PRESSED 5"));
    ASSERT_TRUE(client.send("SET " + callText(first, "DTMF 5")));
    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    EXPECT_EQ(skype.editText(), "0");
    EXPECT_EQ(skype.calls().size(), 1u);
    EXPECT_EQ(skype.call(first)->dtmf, "5");

    const int second = skype.incomingCall("Bob");
    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    EXPECT_EQ(skype.call(second)->status, CallStatus::InProgress);
    EXPECT_EQ(skype.call(first)->status, CallStatus::OnHold);

    ASSERT_TRUE(client.send("HOOK ON"));
    EXPECT_FALSE(skype.hookOff());
    ASSERT_TRUE(client.send("BTN_PRESSED 1"));
    EXPECT_EQ(skype.editText(), "01") << "typed again once every call has ended";
}

// UP and DOWN move through the contact list; YES with an empty field calls the selected contact. A button
// is held from its press to its release.
TEST_F(SkypeCallTest, UpAndDownSelectAContactThatYesCalls) {
    sim::SkypeConfig config;
    config.contacts = {"echo123", "anna", "tom"};
    skype_test::Skype skype(config);
    TestClient client;
    attach(skype, client);
    EXPECT_EQ(skype.selectedContact(), "");
    ASSERT_TRUE(client.send("BTN_PRESSED UP"));
    EXPECT_EQ(skype.selectedContact(), "echo123") << "the first press selects the first contact";
    EXPECT_EQ(skype.heldButton(), "UP");
    ASSERT_TRUE(client.send("BTN_RELEASED DOWN"));
    EXPECT_EQ(skype.heldButton(), "UP") << "another button's release";
    ASSERT_TRUE(client.send("btn_released up"));
    EXPECT_EQ(skype.heldButton(), "");
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(client.send("BTN_PRESSED DOWN"));
    EXPECT_EQ(skype.selectedContact(), "tom") << "the end of the list holds it";
    ASSERT_TRUE(client.send("BTN_PRESSED UP"));
    EXPECT_EQ(skype.selectedContact(), "anna");

    ASSERT_TRUE(client.send("BTN_PRESSED YES"));
    ASSERT_EQ(skype.calls().size(), 1u);
    EXPECT_EQ(skype.calls().back().partnerHandle, "anna");
    EXPECT_EQ(lastText(client), callText(skype.calls().back().id, "STATUS ROUTING"));
    ASSERT_TRUE(skype.restart());
    EXPECT_EQ(skype.selectedContact(), "") << "a fresh Skype";
}

TEST_F(SkypeCallTest, CalledContactAnswersByItselfAfterItsDelay) {
    sim::SkypeConfig config;
    config.farEndAnswerDelay = 30ms;
    skype_test::Skype skype(config);
    TestClient client;
    attach(skype, client);
    ASSERT_TRUE(client.send("CALL echo123"));
    const int id = skype.calls().back().id;
    EXPECT_EQ(lastText(client), callText(id, "STATUS ROUTING"));
    ASSERT_TRUE(client.waitForText(callText(id, "STATUS INPROGRESS")));
    EXPECT_EQ(client.texts(),
              (std::vector<std::string>{callText(id, "STATUS ROUTING"), callText(id, "STATUS RINGING"),
                                        callText(id, "STATUS INPROGRESS")}));
}

TEST_F(SkypeCallTest, MuteChangesGoToEveryClientAndAnswersOnlyToTheAsker) {
    skype_test::Skype skype;
    TestClient client;
    TestClient other;
    attach(skype, client);
    attach(skype, other);

    ASSERT_TRUE(client.send("Set MUTE ON"));
    EXPECT_TRUE(skype.muted());
    EXPECT_EQ(lastText(client), "MUTE ON");
    EXPECT_EQ(lastText(other), "MUTE ON");
    ASSERT_TRUE(client.send("GET MUTE"));
    EXPECT_EQ(client.texts(), (std::vector<std::string>{"MUTE ON", "MUTE ON"}));
    EXPECT_EQ(other.texts(), (std::vector<std::string>{"MUTE ON"}));

    ASSERT_TRUE(client.send("set mute off"));
    EXPECT_FALSE(skype.muted());
    ASSERT_TRUE(client.send("GET MUTE"));
    EXPECT_EQ(lastText(client), "MUTE OFF");
    ASSERT_TRUE(client.send("SET MUTE MAYBE"));
    EXPECT_EQ(lastText(client), "ERROR 26 Invalid mute value");
}

TEST_F(SkypeCallTest, CommandsAreRecordedWithSenderAndBytesAndDevicesKept) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    ASSERT_TRUE(client.send("SET AUDIO_OUT USB Audio Device"));
    EXPECT_EQ(lastText(client), "AUDIO_OUT USB Audio Device");
    ASSERT_TRUE(client.send("SET AUDIO_IN USB Audio Device"));
    ASSERT_TRUE(client.send("FOCUS"));
    ASSERT_TRUE(client.send("BTN_RELEASED 5"));
    // A text without its NUL is recorded as such.
    char bare[] = {'F', 'O', 'C', 'U', 'S'};
    COPYDATASTRUCT data{0, sizeof(bare), bare};
    SendMessageA(client.skype(), WM_COPYDATA, reinterpret_cast<WPARAM>(client.window()),
                 reinterpret_cast<LPARAM>(&data));

    EXPECT_EQ(skype.commandTexts(),
              (std::vector<std::string>{"SET AUDIO_OUT USB Audio Device", "SET AUDIO_IN USB Audio Device",
                                        "FOCUS", "BTN_RELEASED 5", "FOCUS"}));
    const std::vector<sim::SkypeCommand> commands = skype.commands();
    EXPECT_EQ(commands[2].sender, client.window());
    EXPECT_EQ(commands[2].byteCount, 6u);
    EXPECT_TRUE(commands[2].terminated);
    EXPECT_TRUE(commands[2].fromAttachedClient);
    EXPECT_EQ(commands[4].byteCount, 5u);
    EXPECT_FALSE(commands[4].terminated);
    EXPECT_EQ(skype.waitForCommand("FOCUS", 0ms, 3), std::optional<size_t>(4));
    EXPECT_EQ(skype.waitForCommand("HOOK ON", 20ms), std::nullopt);
    EXPECT_EQ(client.texts().size(), 2u) << "only the two device commands are answered";

    ASSERT_TRUE(skype.restart());
    EXPECT_EQ(skype.audioOut(), "USB Audio Device");
    EXPECT_EQ(skype.audioIn(), "USB Audio Device");
}

TEST_F(SkypeCallTest, UnknownCallsAndCommandsAreAnsweredWithErrors) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    const int id = skype.incomingCall("Alice");
    const std::pair<std::string, std::string> cases[] = {
        {"GET CALL 999 PARTNER_DISPNAME", "ERROR 11 Invalid call id"},
        {"SET CALL 999 STATUS FINISHED", "ERROR 11 Invalid call id"},
        {"SET CALL 999 DTMF 1", "ERROR 11 Invalid call id"},
        {"SET CALL -3 STATUS FINISHED", "ERROR 11 Invalid call id"},
        {"SET " + callText(id, "DTMF X"), "ERROR 27 Invalid DTMF character"},
        {"SET " + callText(id, "STATUS BUSY"), "ERROR 21 Unknown call status"},
        {"GET " + callText(id, "VIDEO"), "ERROR 7 Invalid property"},
        {"SET " + callText(id, "DTMF 1"), "ERROR 29 Call is not in progress"},
        {"BTN_PRESSED VOLUME", "ERROR 28 Unknown button"},
        {"BTN_RELEASED", "ERROR 28 Unknown button"},
        {"BTN_PRESSED 12", "ERROR 28 Unknown button"},
        {"DANCE", "ERROR 2 Unknown command"},
    };
    for (const auto& [command, error] : cases) {
        ASSERT_TRUE(client.send(command));
        EXPECT_EQ(lastText(client), error) << command;
    }
    EXPECT_EQ(skype.call(id)->status, CallStatus::Ringing);
    EXPECT_EQ(skype.heldButton(), "");

    ASSERT_TRUE(skype.farEndHangsUp(id));
    ASSERT_TRUE(client.send("SET " + callText(id, "DTMF 1")));
    EXPECT_EQ(lastText(client), "ERROR 29 Call is not in progress") << "a call that has ended";
    EXPECT_EQ(skype.call(id)->dtmf, "");
}

// A client may send a command while a text is on its way to it. The records keep the order in which things
// happened: the text (numbered as its send began), the command, and the command's answer.
TEST_F(SkypeCallTest, ClientMayCommandFromInsideANotificationAndTheRecordsKeepTheOrder) {
    skype_test::Skype skype;
    TestClient client;
    attach(skype, client);
    const uint64_t mark = skype.nextSequence();
    std::vector<sim::SkypeRecord> seenWhileRinging;
    client.onText([&](const std::string& text) {
        const std::string ringing = " STATUS RINGING";
        if (text.size() > ringing.size() && text.ends_with(ringing)) {
            client.send("GET " + text.substr(0, text.size() - ringing.size()) + " PARTNER_DISPNAME");
            seenWhileRinging = skype.records(mark);
        }
    });
    const int id = skype.incomingCall("Alice");
    ASSERT_TRUE(client.waitForText(callText(id, "PARTNER_DISPNAME Alice")));
    EXPECT_EQ(client.texts().front(), callText(id, "STATUS RINGING"));
    EXPECT_TRUE(seenWhileRinging.empty()) << "nothing is complete behind a text still on its way";

    ASSERT_TRUE(skype.waitUntil([&] { return skype.records(mark).size() == 3; }, 3s));
    const std::vector<sim::SkypeRecord> records = skype.records(mark);
    EXPECT_FALSE(records[0].isCommand);
    EXPECT_EQ(records[0].notification.text, callText(id, "STATUS RINGING"));
    EXPECT_TRUE(records[1].isCommand);
    EXPECT_EQ(records[1].command.text, "GET " + callText(id, "PARTNER_DISPNAME"));
    EXPECT_FALSE(records[2].isCommand);
    EXPECT_EQ(records[2].notification.text, callText(id, "PARTNER_DISPNAME Alice"));
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(records[i].sequence(), mark + i);
    EXPECT_EQ(skype.nextSequence(), mark + 3);
    // The answer's send ended first, inside the ringing text's.
    const std::vector<sim::SkypeNotification> sent = skype.notifications();
    EXPECT_EQ(sent.back().text, callText(id, "STATUS RINGING"));
    EXPECT_EQ(sent.back().sequence, mark);
}

TEST_F(SkypeCallTest, HungClientCostsSkypeNoMoreThanItsSendTimeout) {
    sim::SkypeConfig config;
    config.sendTimeout = 200ms;
    skype_test::Skype skype(config);
    ASSERT_TRUE(skype.start());
    std::promise<HWND> attached;
    std::promise<void> release;
    std::thread hung([&] {
        TestClient client;
        client.discover();
        client.waitForAttach(0);
        attached.set_value(client.window());
        release.get_future().wait();  // looks at no message from here on
    });
    const HWND hungWindow = attached.get_future().get();

    const auto before = std::chrono::steady_clock::now();
    const int id = skype.incomingCall("Alice");
    ASSERT_NE(id, 0);
    ASSERT_TRUE(skype.waitUntil([&] { return !skype.notifications().empty(); }, 3s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 2s);
    EXPECT_EQ(skype.notifications().back().target, hungWindow);
    EXPECT_FALSE(skype.notifications().back().delivered);
    EXPECT_TRUE(skype.farEndHangsUp(id)) << "Skype still takes requests";

    release.set_value();
    hung.join();
}

}  // namespace
