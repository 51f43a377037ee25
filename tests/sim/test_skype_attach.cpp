// The Skype stand-in's attach handshake, windows and life, seen from a client window on the test's thread
// as the program sees Skype.
#include "sim/test_skype_client.h"
#include "support/skype_elsewhere.h"
#include "support/winsim_fixture.h"

#include <windows.h>

#include <chrono>
#include <vector>

namespace {

using namespace std::chrono_literals;
using skype_test::TestClient;
using SkypeAttachTest = WinsimTest;

std::string classOf(HWND hwnd) {
    char name[100] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return name;
}

std::string titleOf(HWND hwnd) {
    char title[100] = {};
    GetWindowTextA(hwnd, title, sizeof(title));
    return title;
}

bool minimized(HWND hwnd) {
    return (GetWindowLongA(hwnd, GWL_STYLE) & WS_MINIMIZE) != 0;
}

BOOL CALLBACK collectVisible(HWND window, LPARAM param) {
    if (IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

// The top-level windows of a thread that are visible.
std::vector<HWND> visibleWindowsOf(DWORD threadId) {
    std::vector<HWND> found;
    EnumThreadWindows(threadId, collectVisible, reinterpret_cast<LPARAM>(&found));
    return found;
}

TEST_F(SkypeAttachTest, RunningSkypeAnswersDiscoverFromWindowsOfAnotherProcess) {
    winsim_test::SkypeElsewhere skype;
    ASSERT_TRUE(skype.running());
    TestClient client;
    client.discover();
    ASSERT_TRUE(client.waitForAttach(0));
    const HWND api = client.skype();
    ASSERT_NE(api, nullptr);

    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(api, &process);
    EXPECT_NE(process, GetCurrentProcessId());
    EXPECT_FALSE(IsWindowVisible(api));

    // The main window is a visible top-level window of the API window's thread, with the edit field in it.
    const std::vector<HWND> shown = visibleWindowsOf(thread);
    ASSERT_EQ(shown.size(), 1u);
    const HWND main = shown[0];
    EXPECT_EQ(classOf(main), "tSkMainForm.UnicodeClass");
    EXPECT_EQ(titleOf(main), "Skype - echo123");
    EXPECT_FALSE(minimized(main));
    const HWND edit = FindWindowExA(main, nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(GetWindowLongPtrA(edit, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(main));

#if WINSIM_ONLY  // reads the stand-in's own records, which it keeps in its process
    sim::SimulatedSkype& standIn = skype.standIn();
    EXPECT_EQ(api, standIn.apiWindow());
    EXPECT_EQ(standIn.discoveries(), std::vector<HWND>{client.window()});
    EXPECT_EQ(standIn.attachedClients(), std::vector<HWND>{client.window()});
    EXPECT_EQ(process, sim::kSkypeProcessId);
    EXPECT_EQ(thread, standIn.threadId());
    EXPECT_EQ(main, standIn.mainWindow());
    EXPECT_EQ(edit, standIn.editField());
#endif
}

TEST_F(SkypeAttachTest, SkypeStartedLaterAnnouncesItsApiThenAttaches) {
    TestClient client;
    skype_test::Skype skype;
    ASSERT_TRUE(skype.start());
    ASSERT_TRUE(client.waitForAttach(0x8001));
    EXPECT_EQ(client.attaches().front().skype, skype.apiWindow());
    EXPECT_TRUE(skype.attachedClients().empty());

    client.discover();
    ASSERT_TRUE(client.waitForAttach(0));
    EXPECT_EQ(client.skype(), skype.apiWindow());
}

TEST_F(SkypeAttachTest, RefusedClientIsRecordedButNotServed) {
    sim::SkypeConfig config;
    config.attachStatus = 2;
    skype_test::Skype skype(config);
    ASSERT_TRUE(skype.start());
    TestClient client;
    client.discover();
    ASSERT_TRUE(client.waitForAttach(2));
    EXPECT_TRUE(skype.attachedClients().empty());

    EXPECT_TRUE(client.send("GET MUTE", skype.apiWindow()));
    ASSERT_EQ(skype.commands().size(), 1u);
    EXPECT_EQ(skype.commands()[0].text, "GET MUTE");
    EXPECT_FALSE(skype.commands()[0].fromAttachedClient);
    EXPECT_FALSE(client.waitForText("MUTE OFF", 0, 100ms));
}

TEST_F(SkypeAttachTest, PendingAnswerComesAfterItsDelayAndTheGrantLater) {
    sim::SkypeConfig config;
    config.attachStatus = 1;
    config.attachDelay = 150ms;
    config.attachByPost = true;
    skype_test::Skype skype(config);
    ASSERT_TRUE(skype.start());
    TestClient client;
    const auto asked = std::chrono::steady_clock::now();
    client.discover();
    ASSERT_TRUE(client.waitForAttach(1));
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 150ms);
    EXPECT_TRUE(skype.attachedClients().empty());

    ASSERT_TRUE(skype.answerAttach(client.window(), 0));
    ASSERT_TRUE(client.waitForAttach(0));
    EXPECT_EQ(skype.attachedClients(), std::vector<HWND>{client.window()});
    ASSERT_TRUE(client.send("GET MUTE"));
    EXPECT_TRUE(client.sawText("MUTE OFF"));
}

TEST_F(SkypeAttachTest, CrashTakesTheWindowsAtOnceAndRestartAnnouncesAFreshSkype) {
    skype_test::Skype skype;
    ASSERT_TRUE(skype.start());
    TestClient client;
    client.discover();
    ASSERT_TRUE(client.waitForAttach(0));
    const int first = skype.incomingCall("Bob");
    ASSERT_TRUE(client.waitForText("CALL " + std::to_string(first) + " STATUS RINGING"));
    ASSERT_TRUE(client.send("GET MUTE"));
    const HWND oldApi = skype.apiWindow();
    const HWND oldMain = skype.mainWindow();
    const size_t textsBefore = client.texts().size();

    skype.crash();
    EXPECT_FALSE(skype.running());
    EXPECT_FALSE(IsWindow(oldApi));
    EXPECT_FALSE(IsWindow(oldMain));
    EXPECT_EQ(skype.apiWindow(), nullptr);
    EXPECT_FALSE(client.send("GET MUTE", oldApi));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(client.waitUntil([&] { return client.texts().size() > textsBefore; }, 50ms)) << "no goodbye";

    const size_t attachesBefore = client.attaches().size();
    ASSERT_TRUE(skype.restart());
    ASSERT_TRUE(client.waitUntil([&] { return client.attaches().size() > attachesBefore; }));
    EXPECT_EQ(client.attaches().back().status, 0x8001);
    EXPECT_EQ(client.attaches().back().skype, skype.apiWindow());
    EXPECT_NE(skype.apiWindow(), oldApi);
    EXPECT_TRUE(skype.calls().empty());
    EXPECT_TRUE(skype.attachedClients().empty());
    EXPECT_EQ(skype.commands().size(), 1u) << "the records stay";

    client.discover();
    ASSERT_TRUE(client.waitUntil([&] { return client.skype() == skype.apiWindow(); }));
    EXPECT_GT(skype.incomingCall("Carol"), first);
}

TEST_F(SkypeAttachTest, ClosingTheMainWindowHidesItAndQuitDestroysEverything) {
    skype_test::Skype skype;
    ASSERT_TRUE(skype.start());
    const HWND api = skype.apiWindow();
    const HWND main = skype.mainWindow();

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(skype.waitUntil([&] { return skype.mainWindowCloseCount() == 1; }, 3s));
    EXPECT_FALSE(IsWindowVisible(main));
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(skype.running());

    skype.quit();
    EXPECT_FALSE(skype.running());
    EXPECT_FALSE(IsWindow(api));
    EXPECT_FALSE(IsWindow(main));
    EXPECT_TRUE(skype.start()) << "its classes went with it";
}

// FOCUS and the SKYPE button bring the main window back from the tray or the taskbar and to the front; a
// client that is not attached moves nothing.
#if WINSIM_ONLY  // reads winsim's record of SetForegroundWindow requests
TEST_F(SkypeAttachTest, FocusAndTheSkypeButtonBringTheMainWindowToTheFront) {
    sim::SkypeConfig config;
    config.mainWindowShow = sim::MainWindowShow::Hidden;
    skype_test::Skype skype(config);
    ASSERT_TRUE(skype.start());
    const HWND main = skype.mainWindow();
    TestClient stranger;
    EXPECT_TRUE(stranger.send("FOCUS", skype.apiWindow()));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Hidden);
    EXPECT_FALSE(skype.mainWindowView().inFront);

    TestClient client;
    client.discover();
    ASSERT_TRUE(client.waitForAttach(0));
    ASSERT_TRUE(client.send("FOCUS"));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Normal);
    EXPECT_TRUE(skype.mainWindowView().inFront);
    EXPECT_EQ(skype.mainWindowView().raised, 1u);
    EXPECT_EQ(winsim::foregroundRequests(), std::vector<HWND>{main});

    PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(skype.waitUntil([&] { return skype.mainWindowCloseCount() == 1; }, 3s));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Hidden);
    EXPECT_FALSE(skype.mainWindowView().inFront);
    ASSERT_TRUE(client.send("BTN_PRESSED SKYPE"));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Normal);
    EXPECT_TRUE(skype.mainWindowView().inFront);

    ASSERT_TRUE(skype.showMainWindow(sim::MainWindowShow::Minimized));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Minimized);
    EXPECT_FALSE(skype.mainWindowView().inFront);
    ASSERT_TRUE(client.send("FOCUS"));
    EXPECT_FALSE(minimized(main));
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Normal);
    EXPECT_EQ(skype.mainWindowView().raised, 3u);
    EXPECT_TRUE(skype.editText().empty()) << "bringing it up types nothing";

    skype.quit();
    EXPECT_EQ(skype.mainWindowView().show, sim::MainWindowShow::Hidden);
}
#endif

TEST_F(SkypeAttachTest, MainWindowTakesAnotherClassTitleAndShowState) {
    sim::SkypeConfig config;
    config.mainWindowClass = "OtherMainForm";
    config.mainWindowTitle = "TOM-Skype - echo123";
    config.mainWindowShow = sim::MainWindowShow::Minimized;
    skype_test::Skype skype(config);
    ASSERT_TRUE(skype.start());
    const HWND main = skype.mainWindow();
    EXPECT_EQ(classOf(main), "OtherMainForm");
    EXPECT_EQ(titleOf(main), "TOM-Skype - echo123");
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_TRUE(minimized(main));

    ASSERT_TRUE(skype.showMainWindow(sim::MainWindowShow::Hidden));
    EXPECT_FALSE(IsWindowVisible(main));
    ASSERT_TRUE(skype.showMainWindow(sim::MainWindowShow::Normal));
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_FALSE(minimized(main));
}

}  // namespace
