// Window classes, creation and destruction, window procedures and their replacement, window longs, title and
// visibility.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <cstring>

using namespace winsim_test;

namespace {

class WindowTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        messageLog().clear();
        registerClass("RecordingClass", recordingProc);
    }
};

std::vector<UINT> messagesOf(const std::vector<Seen>& seen) {
    std::vector<UINT> messages;
    for (const Seen& s : seen) messages.push_back(s.message);
    return messages;
}

// A window's creation and end, without what Windows sends around them for its size and activation
// (WM_GETMINMAXINFO, WM_NCCALCSIZE, WM_SHOWWINDOW...), which winsim leaves out.
std::vector<UINT> lifeOf(const std::vector<Seen>& seen) {
    std::vector<UINT> messages;
    for (const Seen& s : seen) {
        if (s.message == WM_NCCREATE || s.message == WM_CREATE || s.message == WM_DESTROY ||
            s.message == WM_NCDESTROY) {
            messages.push_back(s.message);
        }
    }
    return messages;
}

LRESULT CALLBACK refuseCreateProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog().add(hwnd, message, wParam);
    if (message == WM_CREATE) return -1;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

CREATESTRUCTA lastCreate;
LRESULT CALLBACK keepCreateProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog().add(hwnd, message, wParam);
    if (message == WM_CREATE) lastCreate = *reinterpret_cast<CREATESTRUCTA*>(lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A subclass procedure in front of the window's own, as a library does it.
WNDPROC savedProc = nullptr;
LRESULT CALLBACK subclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    messageLog().add(hwnd, message + 0x10000, wParam);
    if (message == WM_USER + 7) return 77;  // answered here, the window's own procedure never sees it
    return CallWindowProcA(savedProc, hwnd, message, wParam, lParam);
}

}  // namespace

TEST_F(WindowTest, ClassesAreRegisteredOncePerNameWhateverTheCase) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "recordingCLASS";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    EXPECT_EQ(makeWindow("NoSuchClass"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    HWND hwnd = makeWindow("RECORDINGclass");
    ASSERT_NE(hwnd, nullptr);
    char name[64];
    EXPECT_EQ(GetClassNameA(hwnd, name, sizeof(name)), 14);
    EXPECT_STREQ(name, "RecordingClass");

    EXPECT_FALSE(UnregisterClassA("RecordingClass", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("RecordingClass", nullptr));
    EXPECT_FALSE(UnregisterClassA("RecordingClass", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
}

TEST_F(WindowTest, CreationSendsNcCreateThenCreateAndMinusOneRefusesTheWindow) {
    registerClass("KeepCreate", keepCreateProc);
    int param = 5;
    HWND hwnd =
        CreateWindowExA(0, "KeepCreate", "Title", WS_VISIBLE, 1, 2, 3, 4, nullptr, nullptr, nullptr, &param);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(lifeOf(messageLog().all()), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    EXPECT_EQ(lastCreate.lpCreateParams, &param);
    EXPECT_EQ(lastCreate.x, 1);
    EXPECT_EQ(lastCreate.cy, 4);
    char title[16];
    EXPECT_EQ(GetWindowTextA(hwnd, title, sizeof(title)), 5);  // DefWindowProcA kept the title at WM_NCCREATE
    EXPECT_STREQ(title, "Title");
    EXPECT_TRUE(IsWindowVisible(hwnd));

    messageLog().clear();
    registerClass("RefuseCreate", refuseCreateProc);
    EXPECT_EQ(makeWindow("RefuseCreate"), nullptr);
    const auto seen = messageLog().all();
    EXPECT_EQ(lifeOf(seen), (std::vector<UINT>{WM_NCCREATE, WM_CREATE, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(seen.front().hwnd));
}

TEST_F(WindowTest, DestroyGoesParentFirstWithWmDestroyAndChildrenFirstWithWmNcDestroy) {
    HWND parent = makeWindow("RecordingClass");
    HWND child = makeWindow("RecordingClass", parent, WS_CHILD);
    HWND grandchild = makeWindow("RecordingClass", child, WS_CHILD);
    ASSERT_NE(grandchild, nullptr);
    PostMessageA(child, WM_USER, 0, 0);
    PostMessageA(nullptr, WM_USER + 1, 0, 0);
    messageLog().clear();

    EXPECT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& s : messageLog().all()) order.emplace_back(s.hwnd, s.message);
    EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{{parent, WM_DESTROY},
                                                         {child, WM_DESTROY},
                                                         {grandchild, WM_DESTROY},
                                                         {grandchild, WM_NCDESTROY},
                                                         {child, WM_NCDESTROY},
                                                         {parent, WM_NCDESTROY}}));
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
    // The child's posted message went with it; the thread message stays.
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_USER + 1));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, OnlyTheOwningThreadDestroysAWindow) {
    HWND hwnd = makeWindow("RecordingClass");
    BOOL result = TRUE;
    DWORD error = 0;
    std::thread([&] {
        result = DestroyWindow(hwnd);
        error = GetLastError();
    }).join();
    EXPECT_FALSE(result);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(hwnd));
}

TEST_F(WindowTest, StaleAndInventedHandlesAreRefusedEverywhere) {
    HWND stale = makeWindow("RecordingClass");
    DestroyWindow(stale);
    const HWND invented = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234567));
    for (HWND hwnd : {stale, invented}) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(hwnd));
        MSG msg;
        char text[8];
        EXPECT_FALSE(IsWindow(hwnd));
        auto expectInvalid = [] {
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
        };
        SetLastError(0);
        EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
        expectInvalid();
        SetLastError(0);
        EXPECT_FALSE(PostMessageA(hwnd, WM_USER, 0, 0));
        expectInvalid();
        SetLastError(0);
        EXPECT_EQ(GetMessageA(&msg, hwnd, 0, 0), -1);
        expectInvalid();
        SetLastError(0);
        EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), 0);
        expectInvalid();
        SetLastError(0);
        EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof(text)), 0);
        expectInvalid();
        SetLastError(0);
        EXPECT_EQ(GetWindowThreadProcessId(hwnd, nullptr), 0u);
        expectInvalid();
        SetLastError(0);
        EXPECT_FALSE(DestroyWindow(hwnd));
        expectInvalid();
    }
}

TEST_F(WindowTest, SubclassChainRunsThroughCallWindowProcAndWmCloseDestroysTheWindow) {
    HWND hwnd = makeWindow("RecordingClass");
    savedProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc)));
    EXPECT_EQ(savedProc, recordingProc);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), reinterpret_cast<LONG_PTR>(subclassProc));
    messageLog().clear();

    EXPECT_EQ(SendMessageA(hwnd, WM_USER + 7, 0, 0), 77);
    PostMessageA(hwnd, WM_USER + 8, 3, 0);
    MSG msg;
    ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
    DispatchMessageA(&msg);
    EXPECT_EQ(messagesOf(messageLog().all()),
              (std::vector<UINT>{WM_USER + 7 + 0x10000, WM_USER + 8 + 0x10000, WM_USER + 8}));

    // WM_CLOSE passes through both procedures; DefWindowProcA turns it into DestroyWindow.
    messageLog().clear();
    SendMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(messagesOf(messageLog().all()),
              (std::vector<UINT>{WM_CLOSE + 0x10000, WM_CLOSE, WM_DESTROY + 0x10000, WM_DESTROY,
                                 WM_NCDESTROY + 0x10000, WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowTest, WindowLongsKeepUserDataAndExtraBytesWithinBounds) {
    registerClass("WithExtra", recordingProc, 16);
    HWND hwnd = makeWindow("WithExtra");
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1234), 0);
    EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 99), 1234);
    EXPECT_EQ(GetWindowLongA(hwnd, GWLP_USERDATA), 99);

    EXPECT_EQ(SetWindowLongPtrA(hwnd, 8, -5), 0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 8), -5);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(hwnd, 16 - static_cast<int>(sizeof(LONG_PTR)) + 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(SetWindowLongA(hwnd, 4, 7), 0);
    EXPECT_EQ(GetWindowLongA(hwnd, 4), 7);
    EXPECT_EQ(SetWindowLongA(hwnd, 13, 7), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

    // The 32-bit forms cannot carry a procedure where a pointer is wider than a LONG.
    SetLastError(0);
    const LONG proc32 = GetWindowLongA(hwnd, GWLP_WNDPROC);
    if (sizeof(LONG_PTR) > sizeof(LONG)) {
        EXPECT_EQ(proc32, 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    } else {
        EXPECT_EQ(static_cast<LONG_PTR>(proc32), reinterpret_cast<LONG_PTR>(recordingProc));
    }
}

TEST_F(WindowTest, TitleVisibilityAndTheSystemEditClass) {
    HWND parent = makeWindow("RecordingClass");
    HWND child = makeWindow("RecordingClass", parent, WS_CHILD | WS_VISIBLE);
    EXPECT_TRUE(SetWindowTextA(parent, "Phone"));
    char text[4];
    EXPECT_EQ(GetWindowTextA(parent, text, sizeof(text)), 3);
    EXPECT_STREQ(text, "Pho");
    EXPECT_EQ(SendMessageA(parent, WM_GETTEXTLENGTH, 0, 0), 5);

    EXPECT_FALSE(IsWindowVisible(child));  // its parent is hidden
    EXPECT_FALSE(ShowWindow(parent, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(child));
    EXPECT_TRUE(ShowWindow(parent, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(parent));

    // The system's edit class needs no registration and keeps its text.
    HWND edit = makeWindow("EDIT", parent, WS_CHILD, "typed");
    ASSERT_NE(edit, nullptr);
    char name[16];
    GetClassNameA(edit, name, sizeof(name));
    EXPECT_STREQ(name, "Edit");
    char typed[16];
    EXPECT_EQ(GetWindowTextA(edit, typed, sizeof(typed)), 5);
}

TEST_F(WindowTest, WindowsOfAThreadThatEndedAreGone) {
    HWND hwnd = nullptr;
    DWORD threadId = 0;
    std::thread([&] {
        hwnd = makeWindow("RecordingClass");
        threadId = GetCurrentThreadId();
    }).join();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_NE(threadId, GetCurrentThreadId());
    EXPECT_FALSE(IsWindow(hwnd));
    SetLastError(0);
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);  // fails instead of waiting for a thread that is gone
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
