// The Skype stand-in's windows: the hidden API window, the main window and its edit field, their classes
// and window procedures.
#include "skype/skype_core.h"

namespace sim {
namespace {

constexpr const char* kApiWindowClass = "SkypeStandInApiWindow";
constexpr const char* kEditClass = "Edit";
constexpr const WCHAR* kEditClassWide = L"Edit";
constexpr int kEditFieldId = 1;
constexpr char kBackspace = '\b';

SkypeCore* coreOf(HWND hwnd) {
    return reinterpret_cast<SkypeCore*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

// WM_NCCREATE: the core given to CreateWindowExA goes with the window from now on.
void adoptCore(HWND hwnd, LPARAM createStruct) {
    const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(createStruct);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
}

// Skype does not end when its main window is closed: the window goes to the tray.
void hideToTray(SkypeCore& core, HWND hwnd) {
    ShowWindow(hwnd, SW_HIDE);
    std::lock_guard<std::mutex> lock(core.mutex);
    ++core.mainWindowCloses;
    core.mainWindowInFront = false;
}

// A typed character: backspace takes the last one away, other printable characters go to the end.
void typeCharacter(SkypeCore& core, HWND hwnd, char c) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        text = core.state.editText;
    }
    if (c == kBackspace) {
        if (text.empty()) return;
        text.pop_back();
    } else if (static_cast<unsigned char>(c) >= 0x20) {
        text += c;
    } else {
        return;
    }
    SetWindowTextA(hwnd, text.c_str());
}

// WM_SETTEXT has been taken by the edit field: the copy that the commands read follows it.
void followEditText(SkypeCore& core, const std::string& text) {
    std::lock_guard<std::mutex> lock(core.mutex);
    core.state.editText = text;
}

// The stand-in keeps the field's text in ASCII: a wide character beyond it counts as '?'.
char asciiOf(WPARAM unit) {
    return unit <= 0x7F ? static_cast<char>(unit) : '?';
}

std::string asciiOf(const WCHAR* text) {
    std::string ascii;
    for (; text != nullptr && *text != L'\0'; ++text) ascii += asciiOf(static_cast<WPARAM>(*text));
    return ascii;
}

LRESULT CALLBACK apiWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SkypeCore* core = message == WM_NCCREATE ? nullptr : coreOf(hwnd);
    if (core != nullptr && message == core->msgDiscover) {
        onDiscover(*core, reinterpret_cast<HWND>(wParam));
        return 0;
    }
    switch (message) {
        case WM_NCCREATE: adoptCore(hwnd, lParam); break;
        case WM_COPYDATA:
            if (core == nullptr) break;
            receiveCommand(*core, reinterpret_cast<HWND>(wParam),
                           reinterpret_cast<const COPYDATASTRUCT*>(lParam));
            return TRUE;
        default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK mainWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SkypeCore* core = message == WM_NCCREATE ? nullptr : coreOf(hwnd);
    switch (message) {
        case WM_NCCREATE: adoptCore(hwnd, lParam); break;
        case WM_CLOSE:
            if (core == nullptr) break;
            hideToTray(*core, hwnd);
            return 0;
        case WM_SYSCOMMAND:
            // The low four bits of a system command are the system's own.
            if (core == nullptr || (wParam & 0xFFF0) != SC_CLOSE) break;
            hideToTray(*core, hwnd);
            return 0;
        default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Stands in front of the Edit class's procedure for typing and to follow the text.
LRESULT CALLBACK editFieldProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SkypeCore* core = coreOf(hwnd);
    if (core == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CHAR: typeCharacter(*core, hwnd, static_cast<char>(wParam)); return 0;
        case WM_SETTEXT: {
            const LRESULT taken = CallWindowProcA(core->editFieldClassProc, hwnd, message, wParam, lParam);
            const auto* text = reinterpret_cast<const char*>(lParam);
            if (taken != 0) followEditText(*core, text != nullptr ? text : "");
            return taken;
        }
        default: return CallWindowProcA(core->editFieldClassProc, hwnd, message, wParam, lParam);
    }
}

// The same for a Unicode edit field, which gets the wide form of the messages: WM_CHAR carries a UTF-16 code
// unit and WM_SETTEXT a wide text.
LRESULT CALLBACK editFieldProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    SkypeCore* core = coreOf(hwnd);
    if (core == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
        case WM_CHAR: typeCharacter(*core, hwnd, asciiOf(wParam)); return 0;
        case WM_SETTEXT: {
            const LRESULT taken = CallWindowProcW(core->editFieldClassProc, hwnd, message, wParam, lParam);
            if (taken != 0) followEditText(*core, asciiOf(reinterpret_cast<const WCHAR*>(lParam)));
            return taken;
        }
        default: return CallWindowProcW(core->editFieldClassProc, hwnd, message, wParam, lParam);
    }
}

// A class that is still registered from an earlier run (one that crashed) is as good as a new one.
bool registerClass(const char* name, WNDPROC proc, HINSTANCE instance) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// The edit field, an ANSI or (as configured) a Unicode window, with the stand-in's procedure in front of
// the Edit class's in the same form.
HWND createEditField(SkypeCore& core, HWND mainWindow, HINSTANCE instance) {
    const bool unicode = core.config.unicodeEditField;
    const auto id = reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditFieldId));
    const DWORD style = WS_CHILD | WS_VISIBLE;
    HWND edit =
        unicode
            ? CreateWindowExW(0, kEditClassWide, L"", style, 8, 8, 200, 20, mainWindow, id, instance, nullptr)
            : CreateWindowExA(0, kEditClass, "", style, 8, 8, 200, 20, mainWindow, id, instance, nullptr);
    if (edit == nullptr) return nullptr;
    SetWindowLongPtrA(edit, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&core));
    core.editFieldClassProc = reinterpret_cast<WNDPROC>(
        unicode ? SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editFieldProcW))
                : SetWindowLongPtrA(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(editFieldProc)));
    return edit;
}

}  // namespace

bool createSkypeWindows(SkypeCore& core) {
    core.msgAttach = RegisterWindowMessageA("SkypeControlAPIAttach");
    core.msgDiscover = RegisterWindowMessageA("SkypeControlAPIDiscover");
    if (core.msgAttach == 0 || core.msgDiscover == 0) return false;

    HINSTANCE instance = GetModuleHandleA(nullptr);
    const char* mainClass = core.config.mainWindowClass.c_str();
    if (!registerClass(kApiWindowClass, apiWindowProc, instance) ||
        !registerClass(mainClass, mainWindowProc, instance)) {
        return false;
    }
    const std::string title =
        core.config.mainWindowTitle.empty() ? "Skype - " + core.config.user : core.config.mainWindowTitle;
    HWND api =
        CreateWindowExA(0, kApiWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, &core);
    HWND main = CreateWindowExA(0, mainClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                CW_USEDEFAULT, 400, 600, nullptr, nullptr, instance, &core);
    HWND edit = main != nullptr ? createEditField(core, main, instance) : nullptr;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        core.apiWindow = api;
        core.mainWindow = main;
        core.editField = edit;
    }
    if (api == nullptr || main == nullptr || edit == nullptr) return false;
    showSkypeMainWindow(core, core.config.mainWindowShow);
    return true;
}

void destroySkypeWindows(SkypeCore& core) {
    HWND api;
    HWND main;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        api = core.apiWindow;
        main = core.mainWindow;
        core.apiWindow = nullptr;
        core.mainWindow = nullptr;
        core.editField = nullptr;
    }
    if (main != nullptr) DestroyWindow(main);  // and the edit field with it
    if (api != nullptr) DestroyWindow(api);
    // Another stand-in may still have windows of these classes; then they stay.
    HINSTANCE instance = GetModuleHandleA(nullptr);
    UnregisterClassA(core.config.mainWindowClass.c_str(), instance);
    UnregisterClassA(kApiWindowClass, instance);
}

void showSkypeMainWindow(SkypeCore& core, MainWindowShow show) {
    HWND main;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        main = core.mainWindow;
    }
    switch (show) {
        case MainWindowShow::Normal: ShowWindow(main, SW_SHOWNORMAL); break;
        case MainWindowShow::Minimized: ShowWindow(main, SW_SHOWMINIMIZED); break;
        case MainWindowShow::Hidden: ShowWindow(main, SW_HIDE); break;
    }
    // A window shown as it opens, or as the user restores it, is the one the user looks at.
    std::lock_guard<std::mutex> lock(core.mutex);
    core.mainWindowInFront = show == MainWindowShow::Normal;
}

void bringSkypeMainWindowToFront(SkypeCore& core) {
    HWND main;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        main = core.mainWindow;
    }
    if (main == nullptr) return;
    // SW_RESTORE shows a hidden window and restores a minimised one; a window already on screen keeps its
    // size.
    if (!IsWindowVisible(main) || IsIconic(main)) ShowWindow(main, SW_RESTORE);
    SetForegroundWindow(main);
    std::lock_guard<std::mutex> lock(core.mutex);
    core.mainWindowInFront = true;
    ++core.mainWindowRaises;
}

void setEditFieldText(SkypeCore& core, const std::string& text) {
    HWND edit;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        edit = core.editField;
    }
    SetWindowTextA(edit, text.c_str());
}

void typeIntoEditField(SkypeCore& core, const std::string& characters) {
    HWND edit;
    {
        std::lock_guard<std::mutex> lock(core.mutex);
        edit = core.editField;
    }
    for (char c : characters) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 0);
}

}  // namespace sim
