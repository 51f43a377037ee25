// Walking a thread's top-level windows and a window's descendants.
#include "support/winsim_fixture.h"
#include "test_message_support.h"

#include <string>
#include <thread>
#include <vector>

using namespace winsim_test;

namespace {

struct Walk {
    std::vector<HWND> seen;
    HWND stopAt = nullptr;
};

BOOL CALLBACK record(HWND hwnd, LPARAM lParam) {
    auto* walk = reinterpret_cast<Walk*>(lParam);
    walk->seen.push_back(hwnd);
    return hwnd == walk->stopAt ? FALSE : TRUE;
}

// Records only the test's own windows: on Windows a thread that makes a window gets the system's as well
// (its default IME window, for one).
BOOL CALLBACK recordOwn(HWND hwnd, LPARAM lParam) {
    char name[32] = {};
    GetClassNameA(hwnd, name, sizeof(name));
    return std::string(name) == "EnumClass" ? record(hwnd, lParam) : TRUE;
}

}  // namespace

TEST_F(WinsimTest, EnumThreadWindowsOffersOnlyThatThreadsTopLevelWindows) {
    registerClass("EnumClass", recordingProc);
    HWND first = makeWindow("EnumClass");
    HWND child = makeWindow("EnumClass", first, WS_CHILD);
    HWND second = makeWindow("EnumClass");
    HWND messageOnly = makeWindow("EnumClass", HWND_MESSAGE);
    ASSERT_TRUE(first && child && second && messageOnly);
    HWND elsewhere = nullptr;
    DWORD otherThread = 0;
    std::thread other([&] {
        elsewhere = makeWindow("EnumClass");
        otherThread = GetCurrentThreadId();
    });
    other.join();  // its windows go with the thread

    // In z-order: the newer window is on top.
    Walk walk;
    EXPECT_TRUE(EnumThreadWindows(GetCurrentThreadId(), recordOwn, reinterpret_cast<LPARAM>(&walk)));
    EXPECT_EQ(walk.seen, (std::vector<HWND>{second, first}));

    Walk stopped{{}, second};
    EXPECT_FALSE(EnumThreadWindows(GetCurrentThreadId(), recordOwn, reinterpret_cast<LPARAM>(&stopped)));
    EXPECT_EQ(stopped.seen, std::vector<HWND>{second});

    Walk none;
    EXPECT_FALSE(EnumThreadWindows(otherThread, record, reinterpret_cast<LPARAM>(&none)));
    EXPECT_TRUE(none.seen.empty());
}

TEST_F(WinsimTest, EnumChildWindowsWalksAllDescendantsDepthFirst) {
    registerClass("EnumClass", recordingProc);
    HWND top = makeWindow("EnumClass");
    HWND a = makeWindow("EnumClass", top, WS_CHILD);
    HWND a1 = makeWindow("EnumClass", a, WS_CHILD);
    HWND b = makeWindow("EnumClass", top, WS_CHILD);
    Walk walk;
    EnumChildWindows(top, record, reinterpret_cast<LPARAM>(&walk));
    EXPECT_EQ(walk.seen, (std::vector<HWND>{a, a1, b}));

    Walk stopped{{}, a1};
    EnumChildWindows(top, record, reinterpret_cast<LPARAM>(&stopped));
    EXPECT_EQ(stopped.seen, (std::vector<HWND>{a, a1}));

    DestroyWindow(top);
    Walk gone;
    EXPECT_FALSE(EnumChildWindows(top, record, reinterpret_cast<LPARAM>(&gone)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}
