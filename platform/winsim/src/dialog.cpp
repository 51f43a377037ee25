// Modal dialogs: DialogBoxParamA builds the dialog from its DIALOG template as real windows (one of the
// dialog class "#32770", a child per control), sends WM_INITDIALOG and runs a modal loop until EndDialog.
// The dialog class's procedure calls the DLGPROC and, when it answers FALSE, does the dialog manager's
// default processing: the close box and WM_CLOSE become IDCANCEL, Enter gives the default push button's
// command (or IDOK), Escape IDCANCEL. The control API lists the open dialogs and acts in the user's place.
#include "resource_reader.h"
#include "window_state.h"

#include <winsim/control.h>

#include <deque>
#include <map>
#include <optional>

namespace winsim::detail {
namespace {

constexpr char kDialogClass[] = "#32770";
constexpr WPARAM kReturnKey = 0x0D;  // VK_RETURN
constexpr WPARAM kEscapeKey = 0x1B;  // VK_ESCAPE

// The predefined control classes that templates name by ordinal.
const char* predefinedClass(WORD ordinal) {
    switch (ordinal) {
        case 0x0080: return "Button";
        case 0x0081: return "Edit";
        case 0x0082: return "Static";
        case 0x0083: return "ListBox";
        case 0x0084: return "ScrollBar";
        case 0x0085: return "ComboBox";
        default: return "";
    }
}

struct ControlTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    WORD id = 0;
    std::string className;
    ResourceName title;  // a text, or an ordinal (the icon of an SS_ICON static)
};

struct DialogTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    short x = 0, y = 0, cx = 0, cy = 0;
    std::string caption;
    WORD pointSize = 0;
    std::string fontName;
    std::vector<ControlTemplate> controls;
};

// DLGTEMPLATE (style, extended style, control count, x, y, cx, cy), the menu and class fields (0, 0xFFFF
// and an ordinal, or a text), the caption, with DS_SETFONT the point size and the font name; then per
// control, on a 4-byte boundary, DLGITEMTEMPLATE (style, extended style, x, y, cx, cy, id), its class,
// its title and its creation data (a size word, then the data).
bool readTemplate(const uint8_t* data, size_t size, DialogTemplate& t) {
    ResourceReader r(data, size);
    t.style = r.dword();
    if (t.style == 0xFFFF0001) return false;  // DLGTEMPLATEEX (version 1, signature 0xFFFF): not read
    t.exStyle = r.dword();
    const WORD count = r.word();
    t.x = r.signedWord();
    t.y = r.signedWord();
    t.cx = r.signedWord();
    t.cy = r.signedWord();
    const ResourceName menu = r.nameOrOrdinal();
    const ResourceName windowClass = r.nameOrOrdinal();
    if (menu.isOrdinal || !menu.text.empty() || windowClass.isOrdinal || !windowClass.text.empty()) {
        return false;  // dialogs with a menu or a class of their own are not built
    }
    t.caption = ansiFromUtf16(r.text());
    if ((t.style & DS_SETFONT) != 0) {
        t.pointSize = r.word();
        t.fontName = ansiFromUtf16(r.text());
    }
    for (WORD i = 0; i < count && r.ok(); ++i) {
        r.align(4);
        ControlTemplate c;
        c.style = r.dword();
        c.exStyle = r.dword();
        c.x = r.signedWord();
        c.y = r.signedWord();
        c.cx = r.signedWord();
        c.cy = r.signedWord();
        c.id = r.word();
        const ResourceName controlClass = r.nameOrOrdinal();
        c.className =
            controlClass.isOrdinal ? predefinedClass(controlClass.ordinal) : ansiFromUtf16(controlClass.text);
        c.title = r.nameOrOrdinal();
        const WORD creationData = r.word();
        r.skip(creationData > 2 ? creationData - 2u : 0u);  // the size counts its own word
        if (c.className.empty()) return false;
        t.controls.push_back(std::move(c));
    }
    return r.ok();
}

struct Dialog {
    HWND window = nullptr;
    DLGPROC proc = nullptr;
    int templateId = -1;
    HWND owner = nullptr;
    DialogTemplate layout;
    std::vector<winsim::DialogControl> controls;  // as created; texts are read live
    bool hasDefault = false;
    WORD defaultId = 0;
    bool running = false;  // its modal loop runs
    bool ended = false;    // EndDialog was called
    INT_PTR result = 0;
    std::deque<winsim::DialogInput> inputs;
};

struct DialogState {
    std::map<uintptr_t, std::shared_ptr<Dialog>> dialogs;  // by handle value, so in creation order
    std::deque<winsim::DialogInput> scripted;
};

DialogState& state() {
    static DialogState& s = *new DialogState;
    return s;
}

ResetHook dialogReset([] { state() = DialogState{}; });

std::shared_ptr<Dialog> findDialog(HWND hwnd) {
    auto it = state().dialogs.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == state().dialogs.end() ? nullptr : it->second;
}

bool sameText(const std::string& a, const char* b) {
    return foldCase(a) == foldCase(b);
}

// The dialog's control with the id. Ids in DIALOG templates are 16-bit, so they are compared as such
// (a control of id -1 has 0xFFFF).
HWND controlWindowLocked(HWND dialog, int id) {
    auto w = findWindow(dialog);
    if (!w) return nullptr;
    for (HWND child : w->children) {
        auto c = findWindow(child);
        if (c && static_cast<WORD>(reinterpret_cast<UINT_PTR>(c->menuOrId)) == static_cast<WORD>(id))
            return child;
    }
    return nullptr;
}

HWND controlWindow(HWND dialog, int id) {
    Lock lock(bigLock());
    return controlWindowLocked(dialog, id);
}

// The dialog manager's Enter and Escape (what IsDialogMessage does with them). True when the key was taken.
bool dialogKey(HWND dialog, const MSG& msg) {
    if (msg.message != WM_KEYDOWN) return false;
    {
        Lock lock(bigLock());
        if (msg.hwnd != dialog && !isDescendant(dialog, msg.hwnd)) return false;
    }
    WORD id = 0;
    if (msg.wParam == kReturnKey) {
        const LRESULT defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
        id = HIWORD(defaultId) == DC_HASDEFID ? LOWORD(defaultId) : static_cast<WORD>(IDOK);
    } else if (msg.wParam == kEscapeKey) {
        id = IDCANCEL;
    } else {
        return false;
    }
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(controlWindow(dialog, id)));
    return true;
}

void deliver(HWND dialog, const winsim::DialogInput& input) {
    using Kind = winsim::DialogInput::Kind;
    switch (input.kind) {
        case Kind::Button: {
            HWND button = controlWindow(dialog, input.controlId);
            if (button == nullptr || (GetWindowLongA(button, GWL_STYLE) & WS_DISABLED) != 0) return;
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(input.controlId, BN_CLICKED),
                         reinterpret_cast<LPARAM>(button));
            return;
        }
        case Kind::Enter:
        case Kind::Escape: {
            const MSG key{dialog, WM_KEYDOWN, input.kind == Kind::Enter ? kReturnKey : kEscapeKey,
                          1,      0,          {0, 0}};
            dialogKey(dialog, key);
            return;
        }
        case Kind::Close: SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); return;
    }
}

std::optional<winsim::DialogInput> takeInput(Dialog& dialog) {
    Lock lock(bigLock());
    auto& queue = !dialog.inputs.empty() ? dialog.inputs : state().scripted;
    if (queue.empty()) return std::nullopt;
    const winsim::DialogInput input = queue.front();
    queue.pop_front();
    return input;
}

LRESULT defaultDialogProcessing(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(controlWindow(hwnd, IDCANCEL)));
            return 0;
        case WM_SYSCOMMAND:
            // What DefWindowProc does with the close box.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                SendMessageA(hwnd, WM_CLOSE, 0, 0);
                return 0;
            }
            break;
        case DM_GETDEFID: {
            Lock lock(bigLock());
            auto dialog = findDialog(hwnd);
            return dialog && dialog->hasDefault ? MAKELONG(dialog->defaultId, DC_HASDEFID) : 0;
        }
        case DM_SETDEFID: {
            Lock lock(bigLock());
            if (auto dialog = findDialog(hwnd)) {
                dialog->hasDefault = true;
                dialog->defaultId = static_cast<WORD>(wParam);
            }
            return TRUE;
        }
        default: break;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// The procedure of the dialog class.
LRESULT CALLBACK dialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        Lock lock(bigLock());
        if (auto dialog = findDialog(hwnd)) proc = dialog->proc;
    }
    if (proc != nullptr) {
        const INT_PTR handled = proc(hwnd, message, wParam, lParam);
        if (handled != 0) return message == WM_INITDIALOG ? handled : 0;
    }
    return defaultDialogProcessing(hwnd, message, wParam, lParam);
}

// The dialog class belongs to each simulated process, as a system class would; it is registered on first use.
void ensureDialogClass() {
    const DWORD error = GetLastError();
    WNDCLASSA wc{};
    wc.lpfnWndProc = dialogWindowProc;
    wc.lpszClassName = kDialogClass;
    RegisterClassA(&wc);  // fails harmlessly when the class exists
    SetLastError(error);
}

// Creates the controls in template order. False when one cannot be created.
bool createControls(Dialog& dialog, HINSTANCE instance) {
    for (const ControlTemplate& c : dialog.layout.controls) {
        const std::string text = c.title.isOrdinal ? std::string() : ansiFromUtf16(c.title.text);
        HWND child = CreateWindowExA(c.exStyle, c.className.c_str(), text.c_str(), c.style | WS_CHILD, c.x,
                                     c.y, c.cx, c.cy, dialog.window,
                                     reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)), instance, nullptr);
        if (child == nullptr) return false;
        winsim::DialogControl control;
        control.window = child;
        control.id = c.id;
        control.className = c.className;
        control.style = c.style | WS_CHILD;
        control.x = c.x;
        control.y = c.y;
        control.cx = c.cx;
        control.cy = c.cy;
        if (c.title.isOrdinal) {
            control.iconId = c.title.ordinal;
            // An icon static loads its icon from the dialog's module as it is created.
            if (sameText(c.className, "Static") && (c.style & SS_TYPEMASK) == SS_ICON) {
                control.icon = LoadIconA(instance, MAKEINTRESOURCEA(c.title.ordinal));
            }
        }
        Lock lock(bigLock());
        if (!dialog.hasDefault && sameText(c.className, "Button") &&
            (c.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
            dialog.hasDefault = true;
            dialog.defaultId = c.id;
        }
        dialog.controls.push_back(std::move(control));
    }
    return true;
}

HWND firstTabStop(const Dialog& dialog) {
    Lock lock(bigLock());
    for (const auto& control : dialog.controls) {
        if ((control.style & (WS_TABSTOP | WS_DISABLED)) == WS_TABSTOP) return control.window;
    }
    return nullptr;
}

enum class LoopEnd { Ended, Quit, WindowGone };

// The modal loop: messages of the thread are handled as by any message loop, the dialog's keys by the
// dialog manager; the user's input (the control API) comes after the sent and posted messages already
// waiting and before timer ticks.
LoopEnd runModalLoop(Dialog& dialog, int& quitCode) {
    const HWND hwnd = dialog.window;
    for (;;) {
        {
            Lock lock(bigLock());
            if (dialog.ended) return LoopEnd::Ended;
        }
        if (!IsWindow(hwnd)) return LoopEnd::WindowGone;
        MSG msg;
        const bool waiting = PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
        if (!waiting || msg.message == WM_TIMER) {
            if (auto input = takeInput(dialog)) {
                deliver(hwnd, *input);
                continue;
            }
        }
        if (!waiting) {
            Lock lock(bigLock());
            waitForMessages(lock, INFINITE, [&] {
                return dialog.ended || !dialog.inputs.empty() || !state().scripted.empty();
            });
            continue;
        }
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) continue;
        if (msg.message == WM_QUIT) {
            quitCode = static_cast<int>(msg.wParam);
            return LoopEnd::Quit;
        }
        if (!dialogKey(hwnd, msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

}  // namespace
}  // namespace winsim::detail

using namespace winsim::detail;

namespace winsim {

std::vector<DialogInfo> openDialogs() {
    Lock lock(bigLock());
    std::vector<DialogInfo> open;
    for (const auto& [value, d] : state().dialogs) {
        DialogInfo info;
        info.window = d->window;
        info.templateId = d->templateId;
        info.owner = d->owner;
        info.style = d->layout.style;
        auto w = findWindow(d->window);
        info.caption = w ? w->text : d->layout.caption;
        info.fontName = d->layout.fontName;
        info.fontPointSize = d->layout.pointSize;
        info.x = d->layout.x;
        info.y = d->layout.y;
        info.cx = d->layout.cx;
        info.cy = d->layout.cy;
        info.running = d->running && !d->ended;
        info.controls = d->controls;
        for (DialogControl& control : info.controls) {
            if (auto c = findWindow(control.window)) control.text = c->text;
        }
        open.push_back(std::move(info));
    }
    return open;
}

bool waitForDialog(DWORD milliseconds) {
    Lock lock(bigLock());
    return waitLocked(lock, {}, false, milliseconds, [] {
               for (const auto& [value, d] : state().dialogs) {
                   if (d->running && !d->ended) return true;
               }
               return false;
           }) != WAIT_TIMEOUT;
}

bool sendDialogInput(HWND dialog, DialogInput input) {
    Lock lock(bigLock());
    auto d = findDialog(dialog);
    if (!d) return false;
    if (input.kind == DialogInput::Kind::Button) {
        const bool found = std::any_of(d->controls.begin(), d->controls.end(), [&](const DialogControl& c) {
            return c.id == static_cast<WORD>(input.controlId) && sameText(c.className, "Button");
        });
        if (!found) return false;
    }
    d->inputs.push_back(input);
    stateChanged().notify_all();
    return true;
}

void scriptDialogInput(DialogInput input) {
    Lock lock(bigLock());
    state().scripted.push_back(input);
    stateChanged().notify_all();
}

}  // namespace winsim

extern "C" {

INT_PTR WINAPI DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent,
                               DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    auto dialog = std::make_shared<Dialog>();
    dialog->proc = lpDialogFunc;
    if (IS_INTRESOURCE(lpTemplateName))
        dialog->templateId = static_cast<WORD>(reinterpret_cast<uintptr_t>(lpTemplateName));
    if (hWndParent != nullptr) {
        Lock lock(bigLock());
        auto w = findWindow(hWndParent);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        // The dialog belongs to the parent's top-level window.
        while (w->parent != nullptr) w = findWindow(w->parent);
        dialog->owner = w->handle;
    }
    HRSRC resource = FindResourceA(hInstance, lpTemplateName, RT_DIALOG);
    if (resource == nullptr) return -1;
    if (!readTemplate(static_cast<const uint8_t*>(LockResource(LoadResource(hInstance, resource))),
                      SizeofResource(hInstance, resource), dialog->layout)) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }

    ensureDialogClass();
    const DialogTemplate& t = dialog->layout;
    dialog->window =
        CreateWindowExA(t.exStyle, kDialogClass, t.caption.c_str(), t.style & ~static_cast<DWORD>(WS_VISIBLE),
                        t.x, t.y, t.cx, t.cy, dialog->owner, nullptr, hInstance, nullptr);
    if (dialog->window == nullptr) return -1;
    const HWND hwnd = dialog->window;
    {
        Lock lock(bigLock());
        state().dialogs[reinterpret_cast<uintptr_t>(hwnd)] = dialog;
    }
    auto forget = [&] {
        Lock lock(bigLock());
        state().dialogs.erase(reinterpret_cast<uintptr_t>(hwnd));
        stateChanged().notify_all();
    };
    if (!createControls(*dialog, hInstance)) {
        const DWORD error = GetLastError();
        DestroyWindow(hwnd);
        forget();
        SetLastError(error);
        return -1;
    }

    SendMessageA(hwnd, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop(*dialog)), dwInitParam);
    LoopEnd end = LoopEnd::Ended;
    int quitCode = 0;
    bool ended;
    {
        Lock lock(bigLock());
        ended = dialog->ended;
    }
    // Shown before it counts as running, so whoever waits for it finds it on screen.
    if (!ended && IsWindow(hwnd)) ShowWindow(hwnd, SW_SHOWNORMAL);
    {
        Lock lock(bigLock());
        ended = dialog->ended;
        dialog->running = !ended;
        stateChanged().notify_all();
    }
    if (!ended && IsWindow(hwnd)) {
        end = runModalLoop(*dialog, quitCode);
    } else if (!IsWindow(hwnd)) {
        end = LoopEnd::WindowGone;
    }
    // The loop that runs after the dialog must see WM_QUIT too.
    if (end == LoopEnd::Quit) PostQuitMessage(quitCode);

    INT_PTR result = 0;
    {
        Lock lock(bigLock());
        dialog->running = false;
        // A dialog keeps IDOK, then its default button's id, where EndDialog puts the result, so one that
        // WM_QUIT ended before EndDialog answers that.
        if (end == LoopEnd::Quit && !dialog->ended) {
            result = dialog->hasDefault ? dialog->defaultId : IDOK;
        } else if (end != LoopEnd::WindowGone) {
            result = dialog->result;
        }
    }
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    forget();
    return result;
}

BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    {
        Lock lock(bigLock());
        auto dialog = findDialog(hDlg);
        if (!dialog) {
            SetLastError(findWindow(hDlg) ? ERROR_WINDOW_NOT_DIALOG : ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        dialog->ended = true;
        dialog->result = nResult;
        stateChanged().notify_all();
    }
    // Hidden at once; destroyed when its modal loop has returned.
    ShowWindow(hDlg, SW_HIDE);
    return TRUE;
}

HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    Lock lock(bigLock());
    if (!findWindow(hDlg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND control = controlWindowLocked(hDlg, nIDDlgItem);
    if (control == nullptr) SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return control;
}

int WINAPI GetDlgCtrlID(HWND hWnd) {
    return static_cast<int>(GetWindowLongPtrA(hWnd, GWLP_ID));
}

BOOL WINAPI SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString) {
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? SetWindowTextA(control, lpString) : FALSE;
}

UINT WINAPI GetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPSTR lpString, int cchMax) {
    if (lpString != nullptr && cchMax > 0) lpString[0] = '\0';
    HWND control = GetDlgItem(hDlg, nIDDlgItem);
    return control != nullptr ? static_cast<UINT>(GetWindowTextA(control, lpString, cchMax)) : 0;
}

}  // extern "C"
