// The key table and the help made from it.
#include "key_map.h"

namespace phonedocksim {
namespace {

struct Entry {
    InputKey::Kind kind;
    char character;  // Kind::Character only
    Binding binding;
};

constexpr Binding handset(sim::Key key) {
    return Binding{Action::HandsetKey, key};
}
constexpr Binding action(Action a) {
    return Binding{a, sim::Key::Digit0};
}

using K = InputKey::Kind;
// clang-format off
const Entry kTable[] = {
    {K::Character, '0', handset(sim::Key::Digit0)}, {K::Character, '1', handset(sim::Key::Digit1)},
    {K::Character, '2', handset(sim::Key::Digit2)}, {K::Character, '3', handset(sim::Key::Digit3)},
    {K::Character, '4', handset(sim::Key::Digit4)}, {K::Character, '5', handset(sim::Key::Digit5)},
    {K::Character, '6', handset(sim::Key::Digit6)}, {K::Character, '7', handset(sim::Key::Digit7)},
    {K::Character, '8', handset(sim::Key::Digit8)}, {K::Character, '9', handset(sim::Key::Digit9)},
    {K::Character, '*', handset(sim::Key::Star)},   {K::Character, '#', handset(sim::Key::Hash)},
    {K::Character, 'y', handset(sim::Key::Yes)},    {K::Enter,     0,   handset(sim::Key::Yes)},
    {K::Character, 'n', handset(sim::Key::No)},
    {K::Character, 'u', handset(sim::Key::Up)},     {K::Up,        0,   handset(sim::Key::Up)},
    {K::Character, 'd', handset(sim::Key::Down)},   {K::Down,      0,   handset(sim::Key::Down)},
    {K::Character, 'm', handset(sim::Key::Mute)},
    {K::Character, 'c', handset(sim::Key::Clear)},  {K::Backspace, 0,   handset(sim::Key::Clear)},
    {K::Character, 'h', action(Action::ToggleHook)},
    {K::Character, 'p', action(Action::TogglePlug)},
    {K::Character, 'S', action(Action::StartSkype)},
    {K::Character, 'Q', action(Action::QuitSkype)},
    {K::Character, 'X', action(Action::CrashSkype)},
    {K::Character, 'I', action(Action::IncomingCall)},
    {K::Character, 'H', action(Action::RemoteHangUp)},
    {K::Character, 'W', action(Action::SecondCall)},
    {K::Character, 'O', action(Action::CallFromSkype)},
    {K::Character, 'q', action(Action::Quit)},      {K::Interrupt, 0,   action(Action::Quit)},
};

// The help, in groups; each item one "key what" pair.
const char* const kHelpItems[] = {
    "0-9 * # keypad", "y/Enter YES", "n NO", "u/Up UP", "d/Down DOWN", "m MUTE", "c/Bksp CLEAR",
    "h hook", "p plug", "|", "Skype: S start", "Q quit", "X crash", "I incoming call",
    "H far end hangs up", "W second call", "O call out", "|", "q leave",
};
// clang-format on

}  // namespace

std::optional<Binding> bindingFor(const InputKey& key) {
    for (const auto& entry : kTable) {
        if (entry.kind != key.kind) continue;
        if (key.kind == K::Character && entry.character != key.character) continue;
        return entry.binding;
    }
    return std::nullopt;
}

std::string unknownKeyHint(const InputKey& key) {
    return describeKey(key) + " does nothing here: the keys are listed below (q leaves)";
}

std::vector<std::string> helpLines(size_t width) {
    std::vector<std::string> lines(1);
    for (const char* item : kHelpItems) {
        const std::string text = std::string(item) == "|" ? "|" : item;
        std::string& line = lines.back();
        const size_t needed = line.empty() ? text.size() : line.size() + 2 + text.size();
        if (needed > width && !line.empty()) {
            // A group mark never starts a line.
            lines.emplace_back(text == "|" ? "" : text);
            continue;
        }
        if (!line.empty()) line += "  ";
        line += text;
    }
    for (auto& line : lines) {
        if (line.size() >= 3 && line.ends_with("  |")) line.resize(line.size() - 3);
        if (line.size() > width) line.resize(width);
    }
    return lines;
}

}  // namespace phonedocksim
