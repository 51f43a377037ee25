// The About dialog from the program's own resources: opened by command 104 and by a double click on the
// icon, closed with its OK button and its close box.
#include "checks.h"
#include "registry.h"
#include "waiting.h"

#include <vector>

namespace e2e {
namespace {

constexpr const char* kDialogClass = "#32770";
constexpr int kIconControlId = 2;
// The id of a control that is never addressed (IDC_STATIC, -1); a dialog template keeps ids in 16 bits.
constexpr int kStaticId = 0xFFFF;

struct Control {
    HWND window;
    int id;
    std::string className;
    std::string text;
    LONG style;
};

std::string textOf(HWND window) {
    char text[256] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 2000, &copied)) {
        return {};
    }
    return std::string(text, copied < sizeof text ? copied : sizeof text - 1);
}

BOOL CALLBACK collectControl(HWND window, LPARAM list) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    reinterpret_cast<std::vector<Control>*>(list)->push_back(
        {window, GetDlgCtrlID(window), className, textOf(window), GetWindowLongA(window, GWL_STYLE)});
    return TRUE;
}

HWND findAboutDialog(DWORD processId) {
    HWND dialog = nullptr;
    while ((dialog = FindWindowExA(nullptr, dialog, kDialogClass, "About")) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(dialog, &owner);
        if (owner == processId) return dialog;
    }
    return nullptr;
}

// The program's About dialog once it is shown: it is found as soon as it is made, and shown once its
// controls exist and it has been initialised. Null when that does not happen in time.
// A dialog's first showing under Wine loads its classes, resources and fonts: on a loaded machine that took
// longer than the bound for an answer.
constexpr auto kDialogShown = 10s;

HWND waitForAboutDialog(Session& s) {
    HWND dialog = nullptr;
    waitFor(
        [&] {
            dialog = findAboutDialog(s.program().processId());
            return dialog != nullptr && IsWindowVisible(dialog);
        },
        kDialogShown);
    return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

const Control* findControl(const std::vector<Control>& controls, int id, const std::string& className,
                           const std::string& text) {
    for (const Control& c : controls) {
        if ((c.id & 0xFFFF) == id && _stricmp(c.className.c_str(), className.c_str()) == 0 &&
            (text.empty() || c.text == text)) {
            return &c;
        }
    }
    return nullptr;
}

// The dialog's controls as the resource script lays them out; empty when all are there, else the first
// missing one.
std::string missingControl(const std::vector<Control>& controls) {
    const Control* icon = findControl(controls, kIconControlId, "Static", "");
    if (icon == nullptr || (icon->style & SS_TYPEMASK) != SS_ICON)
        return "the emblem (an icon control, id 2)";
    DWORD_PTR picture = 0;
    SendMessageTimeoutA(icon->window, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, 2000, &picture);
    if (picture == 0) return "a picture in the icon control";
    if (findControl(controls, kStaticId, "Static", "Tarvix@phone USB Phone Driver") == nullptr) {
        return "the text \"Tarvix@phone USB Phone Driver\"";
    }
    if (findControl(controls, kStaticId, "Static", "                Version 0.9.1.9") == nullptr) {
        return "the text \"Version 0.9.1.9\"";
    }
    const Control* ok = findControl(controls, IDOK, "Button", "OK");
    if (ok == nullptr || (ok->style & BS_TYPEMASK) != BS_DEFPUSHBUTTON) return "the default button \"OK\"";
    if (controls.size() != 4) return "exactly four controls (found " + std::to_string(controls.size()) + ")";
    return {};
}

// Where the resource script puts the controls, in dialog units: left, top, width, height. An icon control
// sizes itself to its picture, so only its position counts.
struct Placement {
    int id;
    const char* text;
    RECT units;
    bool sized;
};
const Placement kPlacements[] = {
    {kIconControlId, "", {14, 9, 20, 20}, false},
    {kStaticId, "Tarvix@phone USB Phone Driver", {49, 10, 135, 8}, true},
    {kStaticId, "                Version 0.9.1.9", {49, 29, 156, 8}, true},
    {IDOK, "OK", {195, 6, 30, 11}, true},
};

// Empty when the dialog and its controls lie where its template says, in the dialog's own units (whatever
// the display's DPI and the dialog's font); else the first that does not. The dialog's units cannot be asked
// of another process's dialog, so they are found from its client area, which is 230 by 57 of them: a
// horizontal unit is a quarter, a vertical one an eighth of the base units, rounded as MapDialogRect does.
std::string misplacedControl(HWND dialog, const std::vector<Control>& controls) {
    RECT client{};
    GetClientRect(dialog, &client);
    int baseX = 0;
    int baseY = 0;
    for (int b = 1; b < 64; ++b) {
        if (baseX == 0 && MulDiv(230, b, 4) == client.right) baseX = b;
        if (baseY == 0 && MulDiv(57, b, 8) == client.bottom) baseY = b;
    }
    if (baseX == 0 || baseY == 0) {
        return "the dialog's client area, " + std::to_string(client.right) + "x" +
               std::to_string(client.bottom) + ", is not 230 by 57 dialog units";
    }
    const auto map = [&](const RECT& units) {
        // Position and size are mapped each on its own, as dialog creation does.
        const LONG left = MulDiv(units.left, baseX, 4);
        const LONG top = MulDiv(units.top, baseY, 8);
        return RECT{left, top, left + MulDiv(units.right, baseX, 4), top + MulDiv(units.bottom, baseY, 8)};
    };
    for (const Placement& p : kPlacements) {
        const Control* c = nullptr;
        for (const Control& candidate : controls) {
            if ((candidate.id & 0xFFFF) == p.id && (p.id == kIconControlId || candidate.text == p.text))
                c = &candidate;
        }
        if (c == nullptr) return std::string("no control \"") + p.text + "\"";
        const RECT expected = map(p.units);
        RECT actual{};
        GetWindowRect(c->window, &actual);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&actual), 2);
        const bool placed = actual.left == expected.left && actual.top == expected.top;
        const bool sized = !p.sized || (actual.right == expected.right && actual.bottom == expected.bottom);
        if (!placed || !sized) {
            return "control " + std::to_string(p.id) + " \"" + p.text + "\" at " +
                   std::to_string(actual.left) + "," + std::to_string(actual.top) + "-" +
                   std::to_string(actual.right) + "," + std::to_string(actual.bottom) + ", expected " +
                   std::to_string(expected.left) + "," + std::to_string(expected.top) + "-" +
                   std::to_string(expected.right) + "," + std::to_string(expected.bottom);
        }
    }
    return {};
}

}  // namespace

void runAboutChecks(Environment& env) {
    Session s(env, "about");
    deleteUserValue(kSkypePhoneKey, kSkypePathValue);
    if (!s.start(env.workspace.program(), env.workspace.withLibrary)) return;

    // Posted: the dialog is modal inside the handler, and a send would wait for it to close.
    PostMessageA(s.window(), WM_COMMAND, 104, 0);
    HWND dialog = waitForAboutDialog(s);
    if (!s.check(dialog != nullptr, "WM_COMMAND 104 opens the About dialog",
                 "no dialog titled About shown within 10 s")) {
        s.close();
        return;
    }
    s.check(GetWindow(dialog, GW_OWNER) == s.window(), "the About dialog is owned by the main window");
    std::vector<Control> controls;
    EnumChildWindows(dialog, collectControl, reinterpret_cast<LPARAM>(&controls));
    const std::string missing = missingControl(controls);
    s.check(missing.empty(), "the dialog carries the emblem, the two lines and OK from the resources",
            "missing " + missing);
    const std::string misplaced = misplacedControl(dialog, controls);
    s.check(misplaced.empty(), "the dialog and its controls lie where the resources put them", misplaced);

    PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
    s.check(waitFor([&] { return !IsWindow(dialog); }, kAnswerTimeout), "clicking OK closes the dialog",
            "the dialog is still open 3 s after the click");

    // The same dialog from a double click on the icon, closed by its close box (IDCANCEL).
    if (!s.check(env.tray.click(s.window(), WM_LBUTTONDBLCLK), "the icon can be double-clicked",
                 "the program added no icon with a callback message")) {
        s.close();
        return;
    }
    dialog = waitForAboutDialog(s);
    s.check(dialog != nullptr, "a double click on the icon opens the About dialog",
            "no dialog titled About shown within 10 s");
    if (dialog != nullptr) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        s.check(waitFor([&] { return !IsWindow(dialog); }, kAnswerTimeout), "its close box closes it",
                "the dialog is still open 3 s after IDCANCEL");
    }
    DWORD_PTR result = 0;
    s.check(SendMessageTimeoutA(s.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0,
            "the program runs on after About");
    s.close();
}

}  // namespace e2e
