// What the handset's display can show of a text. The device library draws the digits and the signs
// # * + - and a space itself, and takes any other byte as the segments to light. Names and other text go
// through here first, so that letters read as letters and nothing else lights a segment by accident.
#pragma once

#include <string>
#include <string_view>

namespace phonedock {

// One display cell per character of `text`: digits and # * + - stay themselves; a letter becomes the
// segments of its seven-segment form (upper and lower case alike), never lighting a cell's extra segment,
// which is a weekday mark, a separator or a bar; any other character (K, M, V, W, X, Z, punctuation, a
// control byte, a UTF-8 sequence as a whole) becomes a space, a blank cell.
std::string LcdText(std::string_view text);

}  // namespace phonedock
