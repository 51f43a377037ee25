// How each line of the interactive screen is shown: the title, the LCD's frame and glass (lit while the
// handset's backlight is on), the log's heading, the help and the status line. Pure: the terminal turns a
// style into the attributes and colours the terminal has.
#pragma once

#include <string>
#include <vector>

namespace phonedocksim {

enum class LineStyle { Plain, Title, LcdFrame, Lcd, LcdLit, Heading, Help, Status };

// One style per line of composeScreen(state, columns, lines.size()).
std::vector<LineStyle> lineStyles(const std::vector<std::string>& lines, int columns, bool backlight);

}  // namespace phonedocksim
