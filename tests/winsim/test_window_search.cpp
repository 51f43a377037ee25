// FindWindowExA and FindWindowA: top-level, message-only and child windows by class (any case, or atom) and
// whole title, continuing after a given window.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

using namespace winsim_test;

namespace {

class WindowSearchTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        registerClass("TarvixWindowClass20041118", recordingProc);
        registerClass("Other", recordingProc);
    }
};

}  // namespace

TEST_F(WindowSearchTest, FindsTopLevelWindowsByClassAndTitle) {
    const char* kClass = "TarvixWindowClass20041118";
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, kClass, "Tarvix@phone"), nullptr);
    HWND other = makeWindow("Other", nullptr, 0, "Tarvix@phone");
    HWND first = makeWindow(kClass, nullptr, 0, "Tarvix@phone");
    HWND second = makeWindow(kClass, nullptr, 0, "Tarvix@phone");
    HWND untitled = makeWindow(kClass);

    // In z-order: each new top-level window went on top of the others.
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, "tarvixwindowclass20041118", "Tarvix@phone"), second);
    EXPECT_EQ(FindWindowExA(nullptr, second, kClass, "Tarvix@phone"), first);
    EXPECT_EQ(FindWindowExA(nullptr, first, kClass, "Tarvix@phone"), nullptr);
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, kClass, "Tarvix"), nullptr);  // the whole title
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, kClass, "TARVIX@PHONE"), second);
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, kClass, ""), untitled);
    EXPECT_EQ(FindWindowExA(nullptr, first, nullptr, "Tarvix@phone"), other);  // any class
    EXPECT_EQ(FindWindowExA(nullptr, untitled, nullptr, nullptr), second);     // any window

    // By class atom, as RegisterClassA answered it.
    WNDCLASSA wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "ByAtom";
    const ATOM atom = RegisterClassA(&wc);
    HWND byAtom = makeWindow("ByAtom");
    EXPECT_EQ(FindWindowA(MAKEINTATOM(atom), nullptr), byAtom);

    DestroyWindow(second);
    EXPECT_EQ(FindWindowA(kClass, "Tarvix@phone"), first);
}

TEST_F(WindowSearchTest, SearchesMessageOnlyWindowsOrDirectChildren) {
    HWND parent = makeWindow("Other", nullptr, 0, "Main");
    HWND edit = makeWindow("Edit", parent, WS_CHILD, "");
    HWND grandchild = makeWindow("Edit", edit, WS_CHILD, "");
    HWND hidden = makeWindow("Other", HWND_MESSAGE, 0, "Main");

    EXPECT_EQ(FindWindowExA(parent, nullptr, "EDIT", nullptr), edit);
    EXPECT_EQ(FindWindowExA(parent, edit, "Edit", nullptr), nullptr);  // children, not descendants
    EXPECT_EQ(FindWindowExA(edit, nullptr, "Edit", nullptr), grandchild);
    EXPECT_EQ(FindWindowExA(nullptr, nullptr, "Edit", nullptr), nullptr);
    EXPECT_EQ(FindWindowExA(HWND_MESSAGE, nullptr, "Other", "Main"), hidden);
    EXPECT_EQ(FindWindowExA(nullptr, parent, "Other", "Main"),
              nullptr);  // message-only windows are not top-level

    DestroyWindow(hidden);
    EXPECT_EQ(FindWindowExA(hidden, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
