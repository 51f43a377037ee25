// The interactive screen as lines of text, from a snapshot of the simulated world: the LCD, the handset's
// ringer, light, hook and plug, the tray icon, Skype and its calls, Skype's window and edit field, the
// keystrokes typed into the foreground window, the log, the help and the status line. Pure: the terminal code
// only writes the lines out.
#pragma once

#include "handset/display.h"

#include <optional>
#include <string>
#include <vector>

namespace phonedocksim {

struct ScreenState {
    sim::DisplayImage image{};
    bool plugged = false;
    bool offHook = false;
    bool ringer = false;
    bool backlight = false;
    bool trayIconShown = false;
    int trayIconId = -1;  // the icon's resource id
    std::string trayTip;
    std::string skype;             // one line about Skype and its calls
    std::string skypeWindow;       // how Skype's main window is shown; empty: Skype is not running
    std::string skypeEditField;    // what Skype's edit field holds
    bool skypeAttached = false;    // the program is attached (keys go to Skype, not to the foreground window)
    std::string typed;             // what the keystrokes typed so far, oldest first
    std::vector<std::string> log;  // oldest first; the newest lines are shown
    std::string status;            // hints and prompts
};

constexpr int kMinColumns = 80;
constexpr int kMinRows = 24;

// The message to show instead of the layout when the terminal is smaller than it needs, or nothing.
std::optional<std::string> terminalTooSmall(int columns, int rows);

// What the tray icon's resource id means.
std::string trayIconMeaning(int iconId);

// Exactly `rows` lines, none longer than `columns`.
std::vector<std::string> composeScreen(const ScreenState& state, int columns, int rows);

}  // namespace phonedocksim
