// Message queues: posting, quotas and WM_QUIT on one thread; sends between threads, which are delivered only
// while the receiver looks at its queue, with time-outs, hung and destroyed receivers, and data copied for
// the receiver.
#include "support/other_program.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <cstring>

using namespace winsim_test;

namespace {

class MessageTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("Recording", recordingProc);
        registerClass("Answering", answeringProc);
    }

    // Answers WM_USER + n with wParam * 10, plus 1 when the message came from another thread.
    static LRESULT CALLBACK answeringProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        messageLog().add(hwnd, message, wParam);
        if (message >= WM_USER) return static_cast<LRESULT>(wParam * 10) + (InSendMessage() ? 1 : 0);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
};

HANDLE makeEvent() {
    return CreateEventA(nullptr, TRUE, FALSE, nullptr);
}

bool waitUntil(const std::function<bool()>& condition) {
    const auto start = std::chrono::steady_clock::now();
    while (!condition()) {
        if (millisecondsSince(start) > 5000) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A thread that creates an answering window, then sits in WaitForSingleObject (not looking at its queue)
// until `go` is set, then runs `afterGo` and a message loop until WM_QUIT.
class BusyReceiver {
  public:
    explicit BusyReceiver(std::function<void(HWND)> afterGo = nullptr) : go_(makeEvent()) {
        std::promise<void> ready;
        auto created = ready.get_future();
        thread_ = std::thread([this, &ready, afterGo = std::move(afterGo)] {
            hwnd_ = makeWindow("Answering");
            threadId_ = GetCurrentThreadId();
            ready.set_value();
            WaitForSingleObject(go_, INFINITE);
            if (afterGo) afterGo(hwnd_);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        });
        created.wait();
    }
    ~BusyReceiver() {
        go();
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(go_);
    }
    void go() { SetEvent(go_); }
    HWND hwnd() const { return hwnd_; }
    DWORD threadId() const { return threadId_; }

  private:
    HANDLE go_;
    std::thread thread_;
    HWND hwnd_ = nullptr;
    DWORD threadId_ = 0;
};

HWND mainWindow = nullptr;
LRESULT CALLBACK bounceProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 2) return SendMessageA(mainWindow, WM_USER, wParam, 0) + 1000;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

#if WINSIM_ONLY  // used only by the winsim-only tests of data that travels as a copy
struct CopySeen {
    std::mutex mutex;
    ULONG_PTR dwData = 0;
    std::string bytes;
    const void* lpData = nullptr;
    const void* structure = nullptr;
    const char* kept = nullptr;
} copySeen;

LRESULT CALLBACK copyDataProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_COPYDATA) return DefWindowProcA(hwnd, message, wParam, lParam);
    const auto* cds = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
    std::lock_guard<std::mutex> lock(copySeen.mutex);
    copySeen.dwData = cds->dwData;
    copySeen.bytes.assign(static_cast<const char*>(cds->lpData), cds->cbData);
    copySeen.lpData = cds->lpData;
    copySeen.structure = cds;
    copySeen.kept = static_cast<const char*>(cds->lpData);  // a receiver that keeps the pointer (wrongly)
    return 5;
}
#endif

}  // namespace

TEST_F(MessageTest, PostedMessagesComeInOrderByFilterAndWmQuitComesLast) {
    HWND first = makeWindow("Recording");
    HWND second = makeWindow("Recording");
    PostMessageA(first, WM_USER, 0, 0);
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    PostMessageA(second, WM_USER + 2, 0, 0);
    PostQuitMessage(3);
    PostMessageA(first, WM_USER + 3, 0, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, second, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_NOREMOVE));  // thread messages only
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, first);
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(messageLog().only(WM_USER + 3).size(), 1u);

    std::vector<UINT> order;
    BOOL got;
    while ((got = GetMessageA(&msg, nullptr, 0, 0)) > 0) order.push_back(msg.message);
    EXPECT_EQ(got, FALSE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_USER + 2}));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // WM_QUIT is taken once
}

TEST_F(MessageTest, QueueRefusesPostsBeyondItsQuotaAndPostsThatCarryPointers) {
    HWND hwnd = makeWindow("Recording");
    for (int i = 0; i < 10000; ++i) ASSERT_TRUE(PostMessageA(hwnd, WM_USER, static_cast<WPARAM>(i), 0));
    EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
    EXPECT_FALSE(PostThreadMessageA(GetCurrentThreadId(), WM_USER, 0, 0));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_TRUE(PostMessageA(hwnd, WM_USER, 0, 0));

    EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    COPYDATASTRUCT cds{1, 0, nullptr};
    EXPECT_FALSE(PostMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MESSAGE_SYNC_ONLY));
}

TEST_F(MessageTest, RegisteredMessagesShareOneIdPerNameWhateverTheCase) {
    const UINT discover = RegisterWindowMessageA("SkypeControlAPIDiscover");
    const UINT attach = RegisterWindowMessageA("SkypeControlAPIAttach");
    EXPECT_GE(discover, 0xC000u);
    EXPECT_NE(discover, attach);
    EXPECT_EQ(RegisterWindowMessageA("skypecontrolapidiscover"), discover);
    std::thread([&] { EXPECT_EQ(RegisterWindowMessageA("SKYPECONTROLAPIATTACH"), attach); }).join();
    EXPECT_EQ(RegisterWindowMessageA(""), 0u);
    EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(MessageTest, SendToAnotherThreadWaitsUntilItLooksAtItsQueue) {
    BusyReceiver receiver([](HWND) {
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // serves the message that waits
    });
    DWORD_PTR result = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessageTimeoutA(receiver.hwnd(), WM_USER, 4, 0, SMTO_NORMAL, 100, &result), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_GE(millisecondsSince(start), 95);
    EXPECT_TRUE(messageLog().only(WM_USER).empty());  // not served inside WaitForSingleObject

    // The sender gave up before the receiver looked: that message is withdrawn. One whose sender waits on is
    // served once the receiver peeks, on the receiver's own thread.
    LRESULT patientResult = 0;
    std::thread patient([&] { patientResult = SendMessageA(receiver.hwnd(), WM_USER, 5, 0); });
    receiver.go();
    patient.join();
    EXPECT_EQ(patientResult, 51);
    ASSERT_EQ(messageLog().only(WM_USER).size(), 1u);
    EXPECT_EQ(messageLog().only(WM_USER).front().wParam, 5u);
    EXPECT_EQ(messageLog().only(WM_USER).front().threadId, receiver.threadId());

    // Now in its message loop: answered, and the receiver knew the message came from another thread.
    EXPECT_EQ(SendMessageTimeoutA(receiver.hwnd(), WM_USER + 1, 6, 0, SMTO_ABORTIFHUNG, 5000, &result), TRUE);
    EXPECT_EQ(result, 61u);
    EXPECT_EQ(SendMessageA(receiver.hwnd(), WM_USER + 1, 7, 0), 71);
}

TEST_F(MessageTest, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    mainWindow = makeWindow("Answering");
    registerClass("Bounce", bounceProc);
    HWND bounce = nullptr;
    LoopThread other([&] { bounce = makeWindow("Bounce"); });
    // Main sends to the other thread, whose procedure sends back to main while main waits.
    EXPECT_EQ(SendMessageA(bounce, WM_USER + 2, 4, 0), 1041);
    const auto back = messageLog().only(WM_USER);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back.front().threadId, GetCurrentThreadId());
    EXPECT_FALSE(InSendMessage());
}

#if WINSIM_ONLY  // winsim's hung threshold is set to 50 ms; Windows fixes it at 5 s
TEST_F(MessageTest, AbortIfHungFailsAtOnceForABusyThreadButNotForAnIdleOne) {
    winsim::setHungThreshold(50);
    BusyReceiver receiver;
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    DWORD_PTR result = 0;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMessageTimeoutA(receiver.hwnd(), WM_USER, 1, 0, SMTO_ABORTIFHUNG, 3000, &result), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    EXPECT_LT(millisecondsSince(start), 1000);

    receiver.go();
    // Waiting inside GetMessageA for longer than the threshold is idle, not hung.
    ASSERT_TRUE(waitUntil([&] { return SendMessageA(receiver.hwnd(), WM_USER, 1, 0) == 11; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(SendMessageTimeoutA(receiver.hwnd(), WM_USER, 2, 0, SMTO_ABORTIFHUNG, 3000, &result), TRUE);
    EXPECT_EQ(result, 21u);
}
#endif

#if WINSIM_ONLY  // waits until winsim sees the sender blocked in its send
TEST_F(MessageTest, SenderWaitingForADestroyedWindowGetsAnErrorInsteadOfHanging) {
    BusyReceiver receiver([](HWND hwnd) { DestroyWindow(hwnd); });
    const DWORD sender = GetCurrentThreadId();
    std::thread trigger([&] {
        EXPECT_TRUE(winsim::waitUntilBlocked(sender, 3000));
        receiver.go();
    });
    const auto start = std::chrono::steady_clock::now();
    SetLastError(0);
    EXPECT_EQ(SendMessageA(receiver.hwnd(), WM_USER, 3, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_LT(millisecondsSince(start), 3000);
    trigger.join();
    EXPECT_TRUE(messageLog().only(WM_USER).empty());
}
#endif

#if WINSIM_ONLY  // winsim copies for another thread what Windows copies only for another process
TEST_F(MessageTest, DataSentToAnotherThreadTravelsAsACopy) {
    registerClass("CopyData", copyDataProc);
    HWND hwnd = nullptr;
    LoopThread receiver([&] { hwnd = makeWindow("CopyData"); });
    char data[] = "hello";
    COPYDATASTRUCT cds{7, sizeof(data), data};
    DWORD_PTR result = 0;
    ASSERT_EQ(SendMessageTimeoutA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG,
                                  5000, &result),
              TRUE);
    EXPECT_EQ(result, 5u);
    {
        std::lock_guard<std::mutex> lock(copySeen.mutex);
        EXPECT_EQ(copySeen.dwData, 7u);
        EXPECT_EQ(copySeen.bytes, std::string(data, sizeof(data)));
        EXPECT_NE(copySeen.lpData, static_cast<const void*>(data));
        EXPECT_NE(copySeen.structure, static_cast<const void*>(&cds));
    }
    cds.lpData = nullptr;  // cbData bytes that cannot be read
    EXPECT_EQ(SendMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    // The title goes over and comes back the same way.
    EXPECT_TRUE(SetWindowTextA(hwnd, "Skype"));
    char title[4];
    EXPECT_EQ(GetWindowTextA(hwnd, title, sizeof(title)), 3);
    EXPECT_STREQ(title, "Sky");
}
#endif

TEST_F(MessageTest, DataSentToAnotherProcessArrivesWhole) {
    OtherProgram other;
    HWND hwnd = other.ansiWindow();
    ASSERT_NE(hwnd, nullptr);
    char data[] = "hello";
    COPYDATASTRUCT cds{7, sizeof(data), data};
    DWORD_PTR result = 0;
    ASSERT_EQ(SendMessageTimeoutA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_ABORTIFHUNG,
                                  5000, &result),
              TRUE);
    EXPECT_EQ(static_cast<LRESULT>(result), copyDataDigest(cds));
    // As many bytes as cbData says, whatever follows them.
    cds.cbData = 3;
    EXPECT_EQ(SendMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), copyDataDigest(cds));

    // The title goes over and comes back the same way.
    EXPECT_TRUE(SetWindowTextA(hwnd, "Skype"));
    char title[4];
    EXPECT_EQ(GetWindowTextA(hwnd, title, sizeof(title)), 3);
    EXPECT_STREQ(title, "Sky");
}

#if WINSIM_ONLY && defined(__SANITIZE_ADDRESS__)  // winsim's copy for another thread, under ASan
namespace {
void readDataKeptAfterTheCall() {
    registerClass("CopyData", copyDataProc);
    HWND hwnd = nullptr;
    LoopThread receiver([&] { hwnd = makeWindow("CopyData"); });
    char data[] = "hello";
    COPYDATASTRUCT cds{7, sizeof(data), data};
    SendMessageA(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    std::lock_guard<std::mutex> lock(copySeen.mutex);
    volatile char first = copySeen.kept[0];  // freed when the call returned
    (void)first;
}
}  // namespace

TEST_F(MessageTest, ReceiverThatKeepsTheSendersDataIsCaught) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(readDataKeptAfterTheCall(), "heap-use-after-free");
}
#endif

TEST_F(MessageTest, BroadcastReachesTopLevelWindowsOfEveryThreadOnly) {
    HWND top = makeWindow("Recording");
    HWND child = makeWindow("Recording", top, WS_CHILD);
    HWND messageOnly = makeWindow("Recording", HWND_MESSAGE);
    ASSERT_NE(messageOnly, nullptr);
    HWND other = nullptr;
    LoopThread thread([&] { other = makeWindow("Recording"); });
    messageLog().clear();

    // Newest first, as each new top-level window goes to the top of the z-order.
    const UINT announce = RegisterWindowMessageA("WinsimTestBroadcast");
    SendMessageA(HWND_BROADCAST, announce, 0, 0);
    std::vector<HWND> reached;
    for (const Seen& s : messageLog().only(announce)) reached.push_back(s.hwnd);
    EXPECT_EQ(reached, (std::vector<HWND>{other, top}));

    DWORD_PTR result = 1;
    EXPECT_TRUE(SendMessageTimeoutA(HWND_BROADCAST, announce, 1, 0, SMTO_ABORTIFHUNG, 1000, &result));
    EXPECT_EQ(messageLog().only(announce).size(), 4u);

    // A private message means something else to every class: it is broadcast to no window.
    SendMessageA(HWND_BROADCAST, WM_USER + 9, 0, 0);
    EXPECT_TRUE(SendMessageTimeoutA(HWND_BROADCAST, WM_APP, 0, 0, SMTO_ABORTIFHUNG, 1000, &result));
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, WM_USER + 10, 0, 0));
    EXPECT_TRUE(PostMessageA(HWND_BROADCAST, announce, 2, 0));
    ASSERT_TRUE(waitUntil([&] {
        MSG msg;  // the posts to this thread's window wait in its queue
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        return messageLog().only(announce).size() == 6u;
    }));
    EXPECT_TRUE(messageLog().only(WM_USER + 9).empty());
    EXPECT_TRUE(messageLog().only(WM_APP).empty());
    EXPECT_TRUE(messageLog().only(WM_USER + 10).empty());
    (void)child;
}
