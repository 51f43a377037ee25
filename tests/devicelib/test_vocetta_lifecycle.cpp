// Binding, the window subclass, hot-plug and closing.
#include "vocetta_fixture.h"

#include <dbt.h>

#include <algorithm>
#include <atomic>

using namespace std::chrono_literals;
using testsupport::KeyLog;
using testsupport::PlugLog;
using testsupport::WindowThread;

namespace {

WNDPROC ProcedureOf(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC));
}

sim::HandsetConfig NoRepeat() {
    sim::HandsetConfig config;
    config.repeatInterval = 0ms;
    return config;
}

}  // namespace

TEST_F(VocettaTest, BindBeforeOpenKeepsTheKeyCallbackButSubclassesNothing) {
    sim::Handset& handset = AddHandset(NoRepeat());
    window.emplace();
    EXPECT_EQ(lib().Bind(&testsupport::RecordKey, &testsupport::RecordPlug), 0);
    window->Run([&] { EXPECT_EQ(lib().Open(window->window()), 0); });
    EXPECT_EQ(ProcedureOf(window->window()), WindowThread::OwnProcedure());

    handset.press(sim::Key::Digit3);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    handset.unplug();  // nobody handles the removal: no plug callback was stored
    ASSERT_TRUE(WindowIdle());
    EXPECT_TRUE(PlugLog().Events().empty());
}

TEST_F(VocettaTest, BindWithoutAKeyCallbackKeepsTheOneBoundBefore) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    EXPECT_NE(ProcedureOf(window->window()), WindowThread::OwnProcedure());
    EXPECT_EQ(lib().Bind(nullptr, &testsupport::RecordPlug), 0);
    handset.press(sim::Key::Digit6);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_EQ(KeyLog().Codes(), std::vector<int>{6});
    handset.unplug();
    ASSERT_TRUE(PlugLog().WaitFor(1));
}

class VocettaHotPlugTest : public VocettaTest {
  protected:
    void CheckHotPlugAroundTheOpenHandset(sim::Handset& handset);
};

// Pulls the open handset out and plugs it in again: the plug callback is told once each way, on the window
// thread, before the handles close and after the handset is open again, and the keys work again.
void VocettaHotPlugTest::CheckHotPlugAroundTheOpenHandset(sim::Handset& handset) {
    const winsim::HidDeviceId firstId = handset.busId();
    std::atomic<size_t> handlesAtRemoval{99}, handlesAtArrival{99};
    testsupport::SetPlugHook([&](int present) {
        if (present == 0) handlesAtRemoval = winsim::hidOpenHandleCount(firstId);
        if (present == 1) handlesAtArrival = winsim::hidOpenHandleCount(handset.busId());
    });

    handset.unplug();
    ASSERT_TRUE(PlugLog().WaitFor(1));
    EXPECT_EQ(handlesAtRemoval, 2u);  // told before the handles close...
    EXPECT_TRUE(
        testsupport::Eventually([&] { return winsim::hidOpenHandleCount(firstId) == 0; }));  // ...then closed
    EXPECT_EQ(lib().Ring(1), -1);

    handset.plug();
    ASSERT_TRUE(PlugLog().WaitFor(2));
    EXPECT_EQ(handlesAtArrival, 2u);  // told after the handset is open
    const auto events = PlugLog().Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].first, 0);
    EXPECT_EQ(events[1].first, 1);
    for (const auto& event : events) {
        EXPECT_EQ(event.second, 0);
        EXPECT_EQ(event.threadId, window->threadId());
    }
    EXPECT_EQ(lib().GetHookStatus(), -1);
    handset.press(sim::Key::Up);  // the reader runs again
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_EQ(KeyLog().Codes(), std::vector<int>{40});
    EXPECT_EQ(lib().Ring(1), 0);
    testsupport::SetPlugHook(nullptr);  // it sees this function's locals
}

TEST_F(VocettaHotPlugTest, HotPlugCallsThePlugCallbackOnTheWindowThreadAroundTheOpenHandset) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    CheckHotPlugAroundTheOpenHandset(handset);
}

// A system that never announces the handle's removal, and names interfaces in UTF-16 to an ANSI window
// (Wine 8.0): the removal of the handset's own interface tells of it, and no other device's does.
TEST_F(VocettaHotPlugTest, WithoutTheHandleNotificationTheHandsetsInterfaceRemovalTellsOfIt) {
    winsim::withholdHandleNotifications(true);
    winsim::sendWideInterfaceNames(true);
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);

    winsim::HidDeviceDesc mouse;
    mouse.path = "\\\\?\\hid#mouse";
    mouse.vendorId = 0x1111;
    winsim::hidUnplug(winsim::hidPlug(mouse, nullptr));
    ASSERT_TRUE(WindowIdle());
    EXPECT_TRUE(PlugLog().Events().empty());
    EXPECT_EQ(lib().Ring(1), 0);

    CheckHotPlugAroundTheOpenHandset(handset);
    handset.unplug();
    ASSERT_TRUE(PlugLog().WaitFor(3));
    ASSERT_TRUE(WindowIdle());
    EXPECT_EQ(PlugLog().Events().size(), 3u);
}

// One registration for HID arrivals and one for the open handset's removal, however often they are made.
TEST_F(VocettaTest, OpeningAgainAndHotPlugReplaceTheDeviceNotificationsWithoutAddingAny) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);
    window->Run([&] { EXPECT_EQ(lib().Open(window->window()), 0); });
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);

    handset.unplug();
    ASSERT_TRUE(PlugLog().WaitFor(1));
    ASSERT_TRUE(WindowIdle());
    EXPECT_EQ(winsim::deviceNotificationCount(), 1u);  // the handle's went with it
    handset.plug();
    ASSERT_TRUE(PlugLog().WaitFor(2));
    EXPECT_EQ(winsim::deviceNotificationCount(), 2u);
}

TEST_F(VocettaTest, AHandsetPluggedInAfterOpenIsOpenedThen) {
    ASSERT_EQ(OpenOnWindow(), -1);
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_TRUE(PlugLog().WaitFor(1));
    EXPECT_EQ(PlugLog().Events()[0].first, 1);
    handset.press(sim::Key::Down);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    EXPECT_EQ(KeyLog().Codes(), std::vector<int>{60});

    // Another HID device coming along changes nothing while the handset is open.
    winsim::HidDeviceDesc mouse;
    mouse.path = "\\\\?\\hid#mouse";
    mouse.vendorId = 0x1111;
    winsim::hidPlug(mouse, nullptr);
    ASSERT_TRUE(WindowIdle());
    EXPECT_EQ(PlugLog().Events().size(), 1u);
}

TEST_F(VocettaTest, CloseKeepsTheSubclassAndTheKeyCallbackAndDropsThePlugCallback) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    EXPECT_EQ(lib().Close(), 0);
    EXPECT_EQ(winsim::hidOpenHandleCount(handset.busId()), 0u);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
    EXPECT_NE(ProcedureOf(window->window()), WindowThread::OwnProcedure());

    window->Run([&] { EXPECT_EQ(lib().Open(window->window()), 0); });  // no new Bind
    handset.press(sim::Key::Yes);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    handset.unplug();
    ASSERT_TRUE(WindowIdle());
    EXPECT_TRUE(PlugLog().Events().empty());
}

TEST_F(VocettaTest, WmCloseClosesTheHandsetBeforeTheWindowSeesIt) {
    sim::Handset& handset = AddHandset();
    ASSERT_EQ(OpenOnWindow(), 0);
    std::atomic<int> handlesAtClose{-1};
    window->OnMessage([&](UINT message) {
        if (message == WM_CLOSE)
            handlesAtClose = static_cast<int>(winsim::hidOpenHandleCount(handset.busId()));
    });
    PostMessageA(window->window(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(testsupport::Eventually([&] { return !IsWindow(window->window()); }));
    EXPECT_EQ(handlesAtClose, 0);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
    const auto seen = window->Messages();
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_DESTROY)), seen.end());
}

TEST_F(VocettaTest, OutsideTheNtFamilyNothingIsRegisteredAndRemovalGoesUnnoticed) {
    winsim::setNtPlatform(false);
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    EXPECT_EQ(winsim::deviceNotificationCount(), 0u);
    handset.press(sim::Key::Digit2);
    ASSERT_TRUE(KeyLog().WaitFor(1));

    // Even a WM_DEVICECHANGE that reaches the window is ignored there.
    DEV_BROADCAST_HDR header{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_HANDLE, 0};
    SendMessageA(window->window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                 reinterpret_cast<LPARAM>(&header));
    handset.unplug();
    ASSERT_TRUE(WindowIdle());
    EXPECT_TRUE(PlugLog().Events().empty());
    EXPECT_EQ(lib().Ring(1), -1);  // the handset is gone all the same
}

TEST_F(VocettaTest, AHandsetPluggedInOffHookReportsItAgain) {
    sim::Handset& handset = AddHandset(NoRepeat());
    ASSERT_EQ(OpenOnWindow(), 0);
    handset.setOffHook(true);
    ASSERT_TRUE(KeyLog().WaitFor(1));
    handset.unplug();
    ASSERT_TRUE(PlugLog().WaitFor(1));
    EXPECT_EQ(lib().GetHookStatus(), 0);  // kept while the handset is away
    handset.plug();
    ASSERT_TRUE(PlugLog().WaitFor(2));
    handset.setOffHook(true);  // still lifted: its next report says so
    ASSERT_TRUE(KeyLog().WaitFor(2));
    EXPECT_EQ(KeyLog().Codes(), (std::vector<int>{80, 80}));
}
