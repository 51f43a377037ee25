// Unicode windows: which windows are Unicode, and how texts and characters reach a procedure of either
// form through SendMessageA, SendMessageW, DispatchMessageA and CallWindowProcA/W, on one thread and across
// threads of two processes.
#include "support/code_page.h"
#include "support/other_program.h"
#include "support/winsim_fixture.h"
#include "winsim/test_message_support.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace {

using winsim_test::ansiOf;
using winsim_test::kPeerAnsiTitle;
using winsim_test::LoopThread;
using winsim_test::OtherProgram;
using winsim_test::wideOf;

// What the recording procedures below received; texts as the procedure saw them.
struct Received {
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::string text;        // ANSI procedures
    std::wstring wide;       // wide procedures
    std::wstring wideClass;  // WM_NCCREATE of a wide procedure: the class name
};

std::mutex receivedMutex;
std::vector<Received> received;

std::vector<Received> receivedSoFar() {
    std::lock_guard<std::mutex> lock(receivedMutex);
    return received;
}

void keep(Received r) {
    std::lock_guard<std::mutex> lock(receivedMutex);
    received.push_back(std::move(r));
}

// The last message of this kind that a recording procedure received.
Received last(UINT message) {
    const auto all = receivedSoFar();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->message == message) return *it;
    }
    ADD_FAILURE() << "message " << message << " never arrived";
    return {};
}

LRESULT CALLBACK wideRecorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Received r{message, wParam, lParam, {}, {}, {}};
    if (message == WM_SETTEXT && lParam != 0) r.wide = reinterpret_cast<LPCWSTR>(lParam);
    if (message == WM_NCCREATE) {
        const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        r.wide = cs->lpszName;
        r.wideClass = cs->lpszClass;
    }
    if (message == WM_SETTEXT || message == WM_CHAR || message == WM_NCCREATE || message == WM_COPYDATA) {
        keep(r);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

#if WINSIM_ONLY  // used only by the winsim-only test of another process's windows
LRESULT CALLBACK ansiRecorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT || message == WM_CHAR) {
        Received r{message, wParam, lParam, {}, {}, {}};
        if (message == WM_SETTEXT && lParam != 0) r.text = reinterpret_cast<LPCSTR>(lParam);
        keep(r);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
#endif

// The procedure a subclass stands in front of.
WNDPROC previousProc = nullptr;

LRESULT CALLBACK wideSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) keep({message, wParam, lParam, {}, reinterpret_cast<LPCWSTR>(lParam), {}});
    return CallWindowProcW(previousProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK ansiSubclass(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) keep({message, wParam, lParam, reinterpret_cast<LPCSTR>(lParam), {}, {}});
    return CallWindowProcA(previousProc, hwnd, message, wParam, lParam);
}

void registerWide(LPCWSTR name, WNDPROC proc) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    ASSERT_NE(RegisterClassW(&wc), 0);
}

#if WINSIM_ONLY  // used only by the winsim-only test of another process's windows
void registerAnsi(LPCSTR name, WNDPROC proc) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    ASSERT_NE(RegisterClassA(&wc), 0);
}
#endif

std::wstring wideTextOf(HWND hwnd, WPARAM capacity = 64) {
    std::vector<WCHAR> buffer(capacity, L'#');
    const LRESULT n = SendMessageW(hwnd, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()));
    EXPECT_EQ(static_cast<size_t>(n), std::wcslen(buffer.data()));
    return buffer.data();
}

std::string ansiTextOf(HWND hwnd) {
    char buffer[64] = {};
    GetWindowTextA(hwnd, buffer, sizeof(buffer));
    return buffer;
}

class UnicodeWindowTest : public WinsimTest {
  protected:
    void SetUp() override {
        WinsimTest::SetUp();
        std::lock_guard<std::mutex> lock(receivedMutex);
        received.clear();
    }
};

}  // namespace

TEST_F(UnicodeWindowTest, BuiltInControlsAreUnicodeWhenCreatedThroughTheWideForm) {
    HWND wideEdit =
        CreateWindowExW(0, L"Edit", L"caf\u00e9", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    HWND ansiEdit = CreateWindowExA(0, "edit", "plain", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(wideEdit, nullptr);
    EXPECT_TRUE(IsWindowUnicode(wideEdit));
    EXPECT_FALSE(IsWindowUnicode(ansiEdit));
    SetLastError(0);
    EXPECT_FALSE(IsWindowUnicode(reinterpret_cast<HWND>(0x4711)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    char className[16] = {};
    GetClassNameA(wideEdit, className, sizeof(className));
    EXPECT_STREQ(className, "Edit");

    // A Unicode window gives its wide text back whole, its ANSI text through the ANSI code page.
    EXPECT_EQ(wideTextOf(wideEdit), L"caf\u00e9");
    EXPECT_EQ(ansiTextOf(wideEdit), ansiOf(L"caf\u00e9"));
    EXPECT_EQ(SendMessageA(wideEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("123")), TRUE);
    EXPECT_EQ(wideTextOf(wideEdit), L"123");
    char shortBuffer[3];
    EXPECT_EQ(SendMessageA(wideEdit, WM_GETTEXT, sizeof(shortBuffer), reinterpret_cast<LPARAM>(shortBuffer)),
              2);
    EXPECT_STREQ(shortBuffer, "12");
    EXPECT_EQ(SendMessageW(wideEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"")), TRUE);
    EXPECT_EQ(SendMessageW(wideEdit, WM_GETTEXTLENGTH, 0, 0), 0);
    EXPECT_EQ(ansiTextOf(wideEdit), "");

    // An ANSI window takes a wide text in ANSI form, and gives it back in wide form.
    EXPECT_EQ(SendMessageW(ansiEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"n\u00e4me")), TRUE);
    EXPECT_EQ(ansiTextOf(ansiEdit), ansiOf(L"n\u00e4me"));
    EXPECT_EQ(wideTextOf(ansiEdit, 3), wideOf(ansiOf(L"n\u00e4")));
}

TEST_F(UnicodeWindowTest, WideProcedureGetsEveryTextAndCharacterInWideForm) {
    registerWide(L"WideRecorder", wideRecorder);
    HWND window =
        CreateWindowExA(0, "WideRecorder", "title", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowUnicode(window)) << "a wide class makes a Unicode window, whichever form created it";
    EXPECT_EQ(last(WM_NCCREATE).wide, L"title");
    EXPECT_EQ(last(WM_NCCREATE).wideClass, L"WideRecorder");
    EXPECT_EQ(ansiTextOf(window), "title");

    SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("h\xE9llo"));
    EXPECT_EQ(last(WM_SETTEXT).wide, wideOf("h\xE9llo"));
    SendMessageA(window, WM_CHAR, 'x', 0);
    EXPECT_EQ(last(WM_CHAR).wParam, static_cast<WPARAM>(L'x'));
    SendMessageA(window, WM_CHAR, 0xE9, 0);
    EXPECT_EQ(last(WM_CHAR).wParam, static_cast<WPARAM>(wideOf("\xE9").at(0)));
    SendMessageW(window, WM_CHAR, 0x263A, 0);  // the wide form reaches it unchanged
    EXPECT_EQ(last(WM_CHAR).wParam, 0x263Au);

    // Posted and dispatched through the ANSI form: converted on its way in too.
    PostMessageA(window, WM_CHAR, 'q', 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    DispatchMessageA(&msg);
    EXPECT_EQ(last(WM_CHAR).wParam, static_cast<WPARAM>(L'q'));

    // Everything else passes as it is.
    char data[] = "CALL 12 STATUS RINGING";
    COPYDATASTRUCT cds{0, sizeof(data), data};
    SendMessageA(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
    EXPECT_EQ(last(WM_COPYDATA).lParam, reinterpret_cast<LPARAM>(&cds));

    HWND wideMade =
        CreateWindowExW(0, L"WideRecorder", L"\u263A", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(last(WM_NCCREATE).wide, L"\u263A");
    EXPECT_EQ(wideTextOf(wideMade), L"\u263A");
}

TEST_F(UnicodeWindowTest, SubclassingThroughOneFormMakesTheWindowTakeThatForm) {
    HWND edit = CreateWindowExA(0, "Edit", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(wideSubclass)));
    EXPECT_TRUE(IsWindowUnicode(edit));
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
    EXPECT_EQ(last(WM_SETTEXT).wide, L"abc");
    EXPECT_EQ(ansiTextOf(edit), "abc") << "CallWindowProcW hands the ANSI class procedure an ANSI text";
    SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    EXPECT_FALSE(IsWindowUnicode(edit));

    HWND wideEdit = CreateWindowExW(0, L"Edit", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wideEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ansiSubclass)));
    EXPECT_FALSE(IsWindowUnicode(wideEdit));
    SendMessageW(wideEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"x\u00e9"));
    EXPECT_EQ(last(WM_SETTEXT).text, ansiOf(L"x\u00e9"));
    EXPECT_EQ(wideTextOf(wideEdit), wideOf(ansiOf(L"x\u00e9")));
    // The procedure handed back is the Unicode one: putting it back makes the window Unicode again.
    SetWindowLongPtrA(wideEdit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    EXPECT_TRUE(IsWindowUnicode(wideEdit));
}

#if WINSIM_ONLY  // reads what the receiving procedure was handed, which another process cannot show
TEST_F(UnicodeWindowTest, AcrossThreadsTheReceiverGetsACopyInItsOwnForm) {
    HWND wideWindow = nullptr;
    HWND ansiWindow = nullptr;
    LoopThread otherProcess([&] {
        winsim::setCurrentProcessId(2000);
        registerWide(L"WideRecorder", wideRecorder);
        registerAnsi("AnsiRecorder", ansiRecorder);
        wideWindow =
            CreateWindowExW(0, L"WideRecorder", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        ansiWindow = CreateWindowExW(0, L"AnsiRecorder", L"t\u00eftle", 0, 0, 0, 1, 1, nullptr, nullptr,
                                     nullptr, nullptr);
    });
    ASSERT_TRUE(IsWindowUnicode(wideWindow));
    EXPECT_FALSE(IsWindowUnicode(ansiWindow)) << "an ANSI class stays ANSI, whichever form created it";
    EXPECT_EQ(ansiTextOf(ansiWindow), "t?tle");

    const std::wstring text = L"caf\u00e9";
    EXPECT_EQ(SendMessageW(wideWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())), TRUE);
    EXPECT_EQ(last(WM_SETTEXT).wide, text);
    EXPECT_NE(last(WM_SETTEXT).lParam, reinterpret_cast<LPARAM>(text.c_str()))
        << "a copy, as between processes";
    EXPECT_EQ(ansiTextOf(wideWindow), "caf?") << "another process's title is read without a message";

    WCHAR wide[4];
    EXPECT_EQ(SendMessageW(wideWindow, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(wide)), 3);
    EXPECT_EQ(std::wstring(wide), L"caf");
    SendMessageA(wideWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("from ansi"));
    EXPECT_EQ(last(WM_SETTEXT).wide, L"from ansi");
    char ansi[5];
    EXPECT_EQ(SendMessageA(wideWindow, WM_GETTEXT, sizeof(ansi), reinterpret_cast<LPARAM>(ansi)), 4);
    EXPECT_STREQ(ansi, "from");
    SendMessageW(wideWindow, WM_CHAR, 8, 0);
    EXPECT_EQ(last(WM_CHAR).wParam, 8u);

    SendMessageW(ansiWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"to ansi \u00fc"));
    EXPECT_EQ(last(WM_SETTEXT).text, "to ansi ?");
    EXPECT_EQ(wideTextOf(ansiWindow), L"to ansi ?");
    SendMessageW(ansiWindow, WM_CHAR, 0x263A, 0);
    EXPECT_EQ(last(WM_CHAR).wParam, static_cast<WPARAM>('?'));
}
#endif

// The same through windows of another program, as far as Win32 shows them from outside: their text, read
// with and without a message, and the character each procedure was handed (support/peer_windows.h).
TEST_F(UnicodeWindowTest, AnotherProgramsWindowsTakeTextInTheirOwnForm) {
    OtherProgram other;
    HWND wideWindow = other.wideWindow();
    HWND ansiWindow = other.ansiWindow();
    ASSERT_NE(wideWindow, nullptr);
    ASSERT_NE(ansiWindow, nullptr);
    EXPECT_TRUE(IsWindowUnicode(wideWindow));
    EXPECT_FALSE(IsWindowUnicode(ansiWindow)) << "an ANSI class stays ANSI, whichever form created it";
    EXPECT_EQ(ansiTextOf(ansiWindow), ansiOf(kPeerAnsiTitle));

    const std::wstring text = L"caf\u00e9";
    EXPECT_EQ(SendMessageW(wideWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())), TRUE);
    EXPECT_EQ(ansiTextOf(wideWindow), ansiOf(text)) << "another process's title is read without a message";
    WCHAR wide[4];
    EXPECT_EQ(SendMessageW(wideWindow, WM_GETTEXT, 4, reinterpret_cast<LPARAM>(wide)), 3);
    EXPECT_EQ(std::wstring(wide), L"caf");
    SendMessageA(wideWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("from ansi"));
    EXPECT_EQ(wideTextOf(wideWindow), L"from ansi");
    char ansi[5];
    EXPECT_EQ(SendMessageA(wideWindow, WM_GETTEXT, sizeof(ansi), reinterpret_cast<LPARAM>(ansi)), 4);
    EXPECT_STREQ(ansi, "from");
    SendMessageW(wideWindow, WM_CHAR, 8, 0);
    EXPECT_EQ(GetWindowLongPtrA(wideWindow, GWLP_USERDATA), 8);

    SendMessageW(ansiWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"to ansi \u00fc"));
    EXPECT_EQ(wideTextOf(ansiWindow), wideOf(ansiOf(L"to ansi \u00fc")));
    SendMessageW(ansiWindow, WM_CHAR, 0x263A, 0);
    EXPECT_EQ(GetWindowLongPtrA(ansiWindow, GWLP_USERDATA),
              static_cast<LONG_PTR>(static_cast<unsigned char>(ansiOf(L"\u263a").at(0))));
}
