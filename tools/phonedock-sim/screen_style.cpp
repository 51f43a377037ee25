// The styles of the screen's lines, from the layout composeScreen makes.
#include "screen_style.h"

#include "key_map.h"
#include "lcd_drawing.h"
#include "screen_layout.h"

namespace phonedocksim {

std::vector<LineStyle> lineStyles(const std::vector<std::string>& lines, int columns, bool backlight) {
    std::vector<LineStyle> styles(lines.size(), LineStyle::Plain);
    const int rows = static_cast<int>(lines.size());
    if (terminalTooSmall(columns, rows)) return styles;  // only the message, plain
    // The title, then the LCD in its frame (a border line above and below its rows).
    const size_t lcdEnd = 1 + kLcdHeight + 2;
    styles[0] = LineStyle::Title;
    for (size_t i = 1; i < lcdEnd && i < lines.size(); ++i) {
        const bool border = i == 1 || i + 1 == lcdEnd;
        styles[i] = border ? LineStyle::LcdFrame : backlight ? LineStyle::LcdLit : LineStyle::Lcd;
    }
    for (size_t i = lcdEnd; i < lines.size(); ++i) {
        if (lines[i].starts_with("-- ")) {
            styles[i] = LineStyle::Heading;
            break;
        }
    }
    // Below the log: the help, then the status line.
    const size_t help = helpLines(static_cast<size_t>(columns)).size();
    styles.back() = LineStyle::Status;
    for (size_t i = lines.size() - 1 - help; i + 1 < lines.size(); ++i) styles[i] = LineStyle::Help;
    return styles;
}

}  // namespace phonedocksim
