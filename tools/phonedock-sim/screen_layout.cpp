// Laying out the interactive screen.
#include "screen_layout.h"

#include "key_map.h"
#include "lcd_drawing.h"
#include "utf8.h"

#include <algorithm>

namespace phonedocksim {
namespace {

const char* onOff(bool on) {
    return on ? "ON " : "off";
}

// Lines are cut by characters, never inside one: a caller's name or a typed text may be beyond ASCII.
std::string fit(std::string line, int columns) {
    line.resize(utf8Prefix(line, static_cast<size_t>(std::max(columns, 0))));
    return line;
}

// The end of `text` that fits in `width` columns, marked as cut when it is.
std::string tail(const std::string& text, size_t width) {
    const size_t length = utf8Length(text);
    if (length <= width) return text;
    return "..." + text.substr(utf8Prefix(text, length - (width - 3)));
}

}  // namespace

std::optional<std::string> terminalTooSmall(int columns, int rows) {
    if (columns >= kMinColumns && rows >= kMinRows) return std::nullopt;
    return "The terminal is " + std::to_string(columns) + "x" + std::to_string(rows) +
           "; the simulator needs " + std::to_string(kMinColumns) + "x" + std::to_string(kMinRows) +
           ". Enlarge it, or press q to leave.";
}

std::string trayIconMeaning(int iconId) {
    switch (iconId) {
        case 129: return "ready";
        case 130: return "no handset";
        case 131: return "no Skype";
        default: return "unknown icon";
    }
}

std::vector<std::string> composeScreen(const ScreenState& state, int columns, int rows) {
    std::vector<std::string> lines;
    if (const auto message = terminalTooSmall(columns, rows)) {
        // Word-wrapped into what there is, so even a tiny terminal shows the whole message.
        const size_t width = static_cast<size_t>(std::max(columns, 1));
        std::string line;
        size_t start = 0;
        const std::string& text = *message;
        while (start < text.size()) {
            size_t end = text.find(' ', start);
            if (end == std::string::npos) end = text.size();
            std::string word = text.substr(start, end - start);
            start = end + 1;
            while (word.size() > width) {
                if (!line.empty()) lines.push_back(line), line.clear();
                lines.push_back(word.substr(0, width));
                word.erase(0, width);
            }
            if (!line.empty() && line.size() + 1 + word.size() > width) lines.push_back(line), line.clear();
            line += (line.empty() ? "" : " ") + word;
        }
        if (!line.empty()) lines.push_back(line);
        lines.resize(static_cast<size_t>(std::max(rows, 0)));
        return lines;
    }

    lines.push_back("phonedock-sim: phonedock and VOCETTA.DLL on winsim, with a simulated handset and Skype");
    const std::string border = "+" + std::string(kLcdWidth + 2, '-') + "+";
    lines.push_back(border);
    for (const auto& lcd : drawLcd(state.image)) lines.push_back("| " + lcd + " |");
    lines.push_back(border);
    lines.push_back("LCD " + sim::renderDisplay(sim::readDisplay(state.image)));
    lines.push_back(std::string("Handset: ") + (state.plugged ? "plugged in" : "UNPLUGGED ") + "  " +
                    (state.offHook ? "off hook" : "on hook ") + "  ringer " + onOff(state.ringer) +
                    "  backlight " + onOff(state.backlight));
    if (state.trayIconShown) {
        lines.push_back("Tray: icon " + std::to_string(state.trayIconId) + " (" +
                        trayIconMeaning(state.trayIconId) + ") \"" + state.trayTip + "\"");
    } else {
        lines.push_back("Tray: no icon");
    }
    lines.push_back("Skype: " + state.skype);
    if (state.skypeWindow.empty()) {
        lines.push_back("Skype's window: none");
    } else {
        // The field's newest characters, as many as the line has room for (at least a few).
        const std::string window = "Skype's window: " + state.skypeWindow + "; edit field \"";
        const size_t used = window.size() + 1;
        const size_t room =
            static_cast<size_t>(columns) >= used + 4 ? static_cast<size_t>(columns) - used : 4;
        lines.push_back(window + tail(state.skypeEditField, room) + "\"");
    }
    const std::string typedLabel = "Typed into the foreground window: ";
    if (state.skypeAttached) {
        lines.push_back(typedLabel + "nothing (Skype is attached: keys go to Skype)");
    } else {
        lines.push_back(typedLabel + tail(state.typed, static_cast<size_t>(columns) - typedLabel.size()));
    }
    const std::string logHeading = "-- Skype commands (>), notifications (<), events (*) ";
    lines.push_back(logHeading + std::string(static_cast<size_t>(columns) - logHeading.size(), '-'));

    const std::vector<std::string> help = helpLines(static_cast<size_t>(columns));
    const size_t fixedBelow = help.size() + 1;
    const size_t logRows = static_cast<size_t>(rows) - lines.size() - fixedBelow;
    const size_t shown = std::min(logRows, state.log.size());
    for (size_t i = state.log.size() - shown; i < state.log.size(); ++i) lines.push_back(state.log[i]);
    while (lines.size() < static_cast<size_t>(rows) - fixedBelow) lines.emplace_back();
    for (const auto& line : help) lines.push_back(line);
    lines.push_back(state.status);
    for (auto& line : lines) line = fit(std::move(line), columns);
    return lines;
}

}  // namespace phonedocksim
