// Message boxes: their nested message loop keeps serving the thread's messages while they wait for the
// user's answer, and WM_QUIT closes them for the loop that runs after them.
#include "support/clock_step.h"
#include "support/user_answer.h"
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <thread>

using namespace winsim_test;

namespace {

class MessageBoxTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("Recording", recordingProc);
        owner_ = makeWindow("Recording");
    }

    HWND owner_ = nullptr;
};

}  // namespace

TEST_F(MessageBoxTest, AnOpenMessageBoxServesTimersAndPostedMessagesUntilAnswered) {
    pinClock();
    SetTimer(owner_, 1001, 2000, nullptr);
    const DWORD boxThread = GetCurrentThreadId();
    std::thread user([this, boxThread] {
        ASSERT_TRUE(waitForMessageBoxOf(boxThread));
        PostMessageA(owner_, WM_USER + 7, 0, 0);
        letTimePass(2000);
        const auto start = std::chrono::steady_clock::now();
        while ((messageLog().only(WM_TIMER).empty() || messageLog().only(WM_USER + 7).empty()) &&
               millisecondsSince(start) < 5000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        EXPECT_TRUE(answerMessageBoxOf(boxThread, IDOK));
    });
    const int answer = MessageBoxA(nullptr, "Are you sure to close USB Phone Driver", "USB Phone Driver",
                                   MB_OKCANCEL | MB_ICONQUESTION);
    user.join();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(messageLog().only(WM_TIMER).size(), 1u);
    EXPECT_EQ(messageLog().only(WM_USER + 7).size(), 1u);
#if WINSIM_ONLY  // reads winsim's record of message boxes
    const auto boxes = winsim::messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].owner, nullptr);
    EXPECT_EQ(boxes[0].text, "Are you sure to close USB Phone Driver");
    EXPECT_EQ(boxes[0].caption, "USB Phone Driver");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OKCANCEL | MB_ICONQUESTION));
    EXPECT_FALSE(boxes[0].open);
    EXPECT_EQ(boxes[0].result, IDOK);
    EXPECT_FALSE(boxes[0].timedOut);
#endif
}

TEST_F(MessageBoxTest, EachBoxTakesTheNextAnswer) {
    PostMessageA(owner_, WM_USER + 1, 0, 0);
    NextAnswers user;
    user.messageBox(IDCANCEL);
    user.messageBox(IDOK);
    EXPECT_EQ(MessageBoxA(owner_, "first", "one", MB_OKCANCEL), IDCANCEL);
#if WINSIM_ONLY  // a scripted answer waits for the posted messages; a user may answer a box on screen first
    EXPECT_EQ(messageLog().only(WM_USER + 1).size(), 1u);
#endif
    EXPECT_EQ(MessageBoxA(owner_, "second", nullptr, MB_OK), IDOK);
#if WINSIM_ONLY                                                // reads winsim's record of message boxes
    EXPECT_EQ(winsim::messageBoxes().at(1).caption, "Error");  // Windows' caption when none is given
#endif
}

#if WINSIM_ONLY  // a scripted answer is taken as the box opens; a user's comes once it is on screen
TEST_F(MessageBoxTest, AScriptedAnswerComesBeforeTicks) {
    pinClock();
    SetTimer(owner_, 1, 100, nullptr);
    letTimePass(100);
    winsim::scriptMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(owner_, "first", "one", MB_OKCANCEL), IDCANCEL);
    EXPECT_TRUE(messageLog().only(WM_TIMER).empty());
    MSG msg{};
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));  // the tick still waits
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_TIMER));
}
#endif

#if WINSIM_ONLY  // the time-out stands for a user who never answers, which only winsim's control API sets
TEST_F(MessageBoxTest, AnUnansweredBoxTimesOut) {
    winsim::setMessageBoxTimeout(50);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MessageBoxA(nullptr, "nobody answers", "x", MB_OKCANCEL), IDCANCEL);
    EXPECT_GE(millisecondsSince(start), 45);
    EXPECT_TRUE(winsim::messageBoxes().at(0).timedOut);
    EXPECT_FALSE(winsim::answerMessageBox(IDOK));  // nothing open any more
}
#endif

TEST_F(MessageBoxTest, WmQuitClosesTheBoxAndStaysForTheOuterLoop) {
    PostQuitMessage(5);
    // Not answered by a button, the box answers what it keeps in the answer's place: IDOK, whatever its
    // buttons.
    EXPECT_EQ(MessageBoxA(nullptr, "quitting", "x", MB_YESNOCANCEL), IDOK);
#if WINSIM_ONLY  // reads winsim's record of message boxes
    EXPECT_FALSE(winsim::messageBoxes().at(0).timedOut);
#endif
    MSG msg{};
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 5u);
}

TEST_F(MessageBoxTest, ABoxNeedsALiveOwner) {
    HWND gone = makeWindow("Recording");
    DestroyWindow(gone);
    EXPECT_EQ(MessageBoxA(gone, "no owner", "x", MB_OK), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
#if WINSIM_ONLY  // reads winsim's record of message boxes
    EXPECT_TRUE(winsim::messageBoxes().empty());
#endif
}
