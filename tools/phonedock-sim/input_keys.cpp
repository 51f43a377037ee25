// Decoding terminal input into keys.
#include "input_keys.h"

#include "utf8.h"

#include <cstdio>
#include <utility>

#include <curses.h>

namespace phonedocksim {
namespace {

constexpr char kEscape = 0x1B;
constexpr char kInterrupt = 0x03;  // Ctrl-C when the terminal does not turn it into SIGINT
constexpr char kDelete = 0x7F;
constexpr char kCtrlH = 0x08;

InputKey make(InputKey::Kind kind, std::string_view raw, char character = 0) {
    return InputKey{kind, character, std::string(raw), {}};
}

// Length of the escape sequence at the start of `bytes` (which starts with ESC), or 0 when it is not
// complete. CSI: ESC [ parameters... final byte in 0x40..0x7E. SS3: ESC O and one byte.
size_t sequenceLength(std::string_view bytes) {
    if (bytes.size() < 2) return 0;
    if (bytes[1] == 'O') return bytes.size() >= 3 ? 3 : 0;
    if (bytes[1] != '[') return 2;  // Alt+key: ESC and the key
    for (size_t i = 2; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x40 && c <= 0x7E) return i + 1;
    }
    return 0;
}

InputKey sequenceKey(std::string_view sequence) {
    if (sequence.size() == 3 && (sequence[1] == '[' || sequence[1] == 'O')) {
        switch (sequence[2]) {
            case 'A': return make(InputKey::Kind::Up, sequence);
            case 'B': return make(InputKey::Kind::Down, sequence);
            case 'C': return make(InputKey::Kind::Right, sequence);
            case 'D': return make(InputKey::Kind::Left, sequence);
            default: break;
        }
    }
    return make(InputKey::Kind::Other, sequence);
}

// The library's key names made readable: "KEY_F(5)" is F5, "KEY_PPAGE" PgUp, and the names the terminal
// description gives keys with modifiers ("kUP5") say the modifiers ("Ctrl-Up").
std::string libraryKeyName(std::string_view name) {
    if (name.starts_with("KEY_F(") && name.ends_with(")"))
        return "F" + std::string(name.substr(6, name.size() - 7));
    static const std::pair<std::string_view, std::string_view> kNamed[] = {
        {"KEY_PPAGE", "PgUp"},     {"KEY_NPAGE", "PgDn"},       {"KEY_HOME", "Home"},
        {"KEY_END", "End"},        {"KEY_IC", "Ins"},           {"KEY_DC", "Del"},
        {"KEY_BTAB", "Shift-Tab"}, {"KEY_SLEFT", "Shift-Left"}, {"KEY_SRIGHT", "Shift-Right"},
        {"KEY_SR", "Shift-Up"},    {"KEY_SF", "Shift-Down"},    {"KEY_SHOME", "Shift-Home"},
        {"KEY_SEND", "Shift-End"}, {"KEY_SDC", "Shift-Del"},
    };
    for (const auto& [library, readable] : kNamed) {
        if (name == library) return std::string(readable);
    }
    if (name.starts_with("KEY_")) return std::string(name.substr(4));
    static const std::pair<std::string_view, std::string_view> kBases[] = {
        {"kUP", "Up"},   {"kDN", "Down"}, {"kLFT", "Left"}, {"kRIT", "Right"}, {"kHOM", "Home"},
        {"kEND", "End"}, {"kDC", "Del"},  {"kIC", "Ins"},   {"kNXT", "PgDn"},  {"kPRV", "PgUp"},
    };
    static const std::string_view kModifiers[] = {"Shift-",      "Alt-",      "Shift-Alt-",     "Ctrl-",
                                                  "Ctrl-Shift-", "Ctrl-Alt-", "Ctrl-Shift-Alt-"};
    for (const auto& [base, readable] : kBases) {
        if (name.size() == base.size() + 1 && name.starts_with(base) && name.back() >= '2' &&
            name.back() <= '8') {
            return std::string(kModifiers[name.back() - '2']) + std::string(readable);
        }
    }
    return std::string(name);
}

}  // namespace

std::vector<InputKey> decodeInput(std::string_view bytes) {
    std::vector<InputKey> keys;
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == kEscape) {
            const size_t length = sequenceLength(bytes.substr(i));
            if (length == 0) {
                // A lone ESC, or a sequence cut off at the end of the read: the Escape key, and whatever
                // followed it is read on as keys of its own.
                keys.push_back(make(InputKey::Kind::Escape, bytes.substr(i, 1)));
                ++i;
                continue;
            }
            keys.push_back(sequenceKey(bytes.substr(i, length)));
            i += length;
            continue;
        }
        const std::string_view raw = bytes.substr(i, 1);
        if (c == '\r' || c == '\n') {
            keys.push_back(make(InputKey::Kind::Enter, raw));
        } else if (c == kDelete || c == kCtrlH) {
            keys.push_back(make(InputKey::Kind::Backspace, raw));
        } else if (c == kInterrupt) {
            keys.push_back(make(InputKey::Kind::Interrupt, raw));
        } else if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) {
            keys.push_back(make(InputKey::Kind::Character, raw, c));
        } else if (const size_t length = utf8SequenceLength(bytes.substr(i)); length > 1) {
            // U+0080..U+009F (C2 80..C2 9F) are controls, not characters to type or show.
            const bool control =
                static_cast<unsigned char>(c) == 0xC2 && static_cast<unsigned char>(bytes[i + 1]) < 0xA0;
            keys.push_back(
                make(control ? InputKey::Kind::Other : InputKey::Kind::Character, bytes.substr(i, length)));
            i += length;
            continue;
        } else {
            keys.push_back(make(InputKey::Kind::Other, raw));
        }
        ++i;
    }
    return keys;
}

std::vector<InputKey> decodeLibraryInput(const std::vector<LibraryInput>& input) {
    std::vector<InputKey> keys;
    std::string characters;  // the characters read since the last function key, in UTF-8
    const auto flush = [&] {
        for (auto& key : decodeInput(characters)) keys.push_back(std::move(key));
        characters.clear();
    };
    for (const auto& item : input) {
        if (!item.functionKey) {
            characters += encodeUtf8(item.code < 0 ? U'\uFFFD' : static_cast<char32_t>(item.code));
            continue;
        }
        flush();
        switch (item.code) {
            case KEY_UP: keys.push_back(make(InputKey::Kind::Up, {})); break;
            case KEY_DOWN: keys.push_back(make(InputKey::Kind::Down, {})); break;
            case KEY_LEFT: keys.push_back(make(InputKey::Kind::Left, {})); break;
            case KEY_RIGHT: keys.push_back(make(InputKey::Kind::Right, {})); break;
            case KEY_ENTER: keys.push_back(make(InputKey::Kind::Enter, {})); break;
            case KEY_BACKSPACE: keys.push_back(make(InputKey::Kind::Backspace, {})); break;
            default: {
                InputKey key = make(InputKey::Kind::Other, {});
                key.name = item.name.empty() ? "key " + std::to_string(item.code) : item.name;
                keys.push_back(std::move(key));
                break;
            }
        }
    }
    flush();
    return keys;
}

std::string describeKey(const InputKey& key) {
    switch (key.kind) {
        case InputKey::Kind::Character: return "'" + key.raw + "'";
        case InputKey::Kind::Enter: return "Enter";
        case InputKey::Kind::Backspace: return "Backspace";
        case InputKey::Kind::Escape: return "Esc";
        case InputKey::Kind::Up: return "Up";
        case InputKey::Kind::Down: return "Down";
        case InputKey::Kind::Left: return "Left";
        case InputKey::Kind::Right: return "Right";
        case InputKey::Kind::Interrupt: return "Ctrl-C";
        case InputKey::Kind::Other: break;
    }
    if (!key.name.empty()) return libraryKeyName(key.name);
    std::string text;
    for (const char c : key.raw) {
        if (!text.empty()) text += ' ';
        if (c == kEscape) {
            text += "ESC";
        } else if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F) {
            text += c;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
            text += hex;
        }
    }
    return text;
}

}  // namespace phonedocksim
