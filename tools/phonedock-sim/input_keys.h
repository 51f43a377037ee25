// Terminal input as keys. The terminal library decodes UTF-8 and the function keys its terminal
// description knows; what it hands over, a character or a key code at a time, is turned here into one
// InputKey per key. Characters that arrive together are read as the bytes a terminal sends, so that an
// escape sequence the library did not know (Alt+key, a key missing from the description) stays one key
// instead of an Escape followed by letters that would each do something.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace phonedocksim {

struct InputKey {
    enum class Kind { Character, Enter, Backspace, Escape, Up, Down, Left, Right, Interrupt, Other };
    Kind kind = Kind::Other;
    char character = 0;  // Kind::Character: the printable character when it is ASCII, else 0
    std::string raw;     // the bytes it came from (Kind::Character: the character in UTF-8)
    std::string name;    // a key the library decoded but the simulator has no use for: its name

    bool operator==(const InputKey&) const = default;
};

// One thing the terminal library read: a character, or a function key's code and the library's name for it.
struct LibraryInput {
    bool functionKey = false;
    int code = 0;      // the character (a Unicode code point) or the key code (KEY_UP...)
    std::string name;  // functionKey: what the library calls the key ("KEY_F(5)", "kUP5"...)
};

// Splits bytes a terminal sends into keys: printable characters (UTF-8), Enter, Backspace, Ctrl-C, Escape
// and escape sequences (the arrows as ESC [ A and ESC O A). A sequence is taken whole when `bytes` holds it
// whole; an ESC at the end is the Escape key.
std::vector<InputKey> decodeInput(std::string_view bytes);

// The keys of what the library read in one go, in order.
std::vector<InputKey> decodeLibraryInput(const std::vector<LibraryInput>& input);

// A short readable name for messages: "'z'", "Enter", "Left", "F5", "ESC [ 2 ~"...
std::string describeKey(const InputKey& key);

}  // namespace phonedocksim
