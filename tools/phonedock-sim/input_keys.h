// Terminal input as keys: the bytes a terminal sends for printable characters, Enter, Backspace, Escape and
// the arrow keys (ESC [ A and ESC O A forms) turned into one InputKey each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phonedocksim {

struct InputKey {
    enum class Kind { Character, Enter, Backspace, Escape, Up, Down, Left, Right, Interrupt, Other };
    Kind kind = Kind::Other;
    char character = 0;  // Kind::Character: the printable character
    std::string raw;     // the bytes it came from

    bool operator==(const InputKey&) const = default;
};

// Splits what one read from the terminal gave into keys. An escape sequence is taken whole when the read
// holds it whole (terminals send one in one write); an ESC at the end of the read is the Escape key.
std::vector<InputKey> decodeInput(std::string_view bytes);

// A short readable name for messages: "'z'", "Enter", "Left", "ESC [ 2 ~"...
std::string describeKey(const InputKey& key);

}  // namespace phonedocksim
