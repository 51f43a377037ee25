// From terminal input to what the simulator does: decoding keys (bytes, and what the terminal library
// read), the key map and its help, the caller's
// name prompt, the timing of key taps, and injected keystrokes read back as text.
#include "input_keys.h"
#include "key_map.h"
#include "keystroke_text.h"
#include "line_prompt.h"
#include "tap_schedule.h"
#include "utf8.h"

#include <curses.h>

#include <gtest/gtest.h>

using namespace phonedocksim;
using Kind = InputKey::Kind;

namespace {

std::vector<Kind> kinds(const std::vector<InputKey>& keys) {
    std::vector<Kind> result;
    for (const auto& key : keys) result.push_back(key.kind);
    return result;
}

InputKey character(char c) {
    return InputKey{Kind::Character, c, std::string(1, c), ""};
}

InputKey special(Kind kind) {
    return InputKey{kind, 0, "", ""};
}

LibraryInput typed(char32_t c) {
    return LibraryInput{false, static_cast<int>(c), ""};
}

LibraryInput function(int code, const char* name) {
    return LibraryInput{true, code, name};
}

}  // namespace

TEST(InputKeys, DecodesCharactersControlKeysAndArrowSequencesInOneRead) {
    const auto keys = decodeInput("5\x1b[A\x1bOB\r\n\x7f\x08\x03\x1b[C\x1b[D#");
    EXPECT_EQ(kinds(keys), (std::vector<Kind>{Kind::Character, Kind::Up, Kind::Down, Kind::Enter, Kind::Enter,
                                              Kind::Backspace, Kind::Backspace, Kind::Interrupt, Kind::Right,
                                              Kind::Left, Kind::Character}));
    EXPECT_EQ(keys.front().character, '5');
    EXPECT_EQ(keys.back().character, '#');
    EXPECT_EQ(keys[1].raw, "\x1b[A");
}

TEST(InputKeys, LoneEscapesCutSequencesAndUnknownBytesAreKeysOfTheirOwn) {
    EXPECT_EQ(kinds(decodeInput("\x1b")), std::vector<Kind>{Kind::Escape});
    // A sequence cut off by the end of the read: Escape, then what came after it.
    EXPECT_EQ(kinds(decodeInput("\x1b[")), (std::vector<Kind>{Kind::Escape, Kind::Character}));
    const auto function = decodeInput("\x1b[15~");  // F5: a whole sequence, but no key of ours
    ASSERT_EQ(function.size(), 1u);
    EXPECT_EQ(function[0].kind, Kind::Other);
    EXPECT_EQ(describeKey(function[0]), "ESC [ 1 5 ~");
    const auto control = decodeInput("\x01");
    ASSERT_EQ(control.size(), 1u);
    EXPECT_EQ(control[0].kind, Kind::Other);
    EXPECT_EQ(describeKey(control[0]), "0x01");
    EXPECT_TRUE(decodeInput("").empty());
}

TEST(InputKeys, TheLibrarysKeysAndCharactersBecomeKeysInTheOrderRead) {
    const auto keys = decodeLibraryInput(
        {typed('5'), function(KEY_UP, "KEY_UP"), function(KEY_DOWN, "KEY_DOWN"),
         function(KEY_ENTER, "KEY_ENTER"), typed('\r'), function(KEY_BACKSPACE, "KEY_BACKSPACE"), typed(0x7F),
         typed(0x03), function(KEY_LEFT, "KEY_LEFT"), function(KEY_F(5), "KEY_F(5)"),
         function(KEY_HOME, "KEY_HOME"), function(567, "kUP5"), typed('#')});
    EXPECT_EQ(kinds(keys), (std::vector<Kind>{Kind::Character, Kind::Up, Kind::Down, Kind::Enter, Kind::Enter,
                                              Kind::Backspace, Kind::Backspace, Kind::Interrupt, Kind::Left,
                                              Kind::Other, Kind::Other, Kind::Other, Kind::Character}));
    EXPECT_EQ(describeKey(keys[9]), "F5");
    EXPECT_EQ(describeKey(keys[10]), "Home");
    EXPECT_EQ(describeKey(keys[11]), "Ctrl-Up");
    EXPECT_FALSE(bindingFor(keys[9]).has_value());

    // Alt+q arrives as ESC and q together: one unknown key, not Escape and then "leave".
    const auto alt = decodeLibraryInput({typed(0x1B), typed('q')});
    ASSERT_EQ(alt.size(), 1u);
    EXPECT_EQ(alt[0].kind, Kind::Other);
    EXPECT_EQ(kinds(decodeLibraryInput({typed(0x1B)})), std::vector<Kind>{Kind::Escape});
    // ESC before a key the library decoded is the Escape key of its own.
    EXPECT_EQ(kinds(decodeLibraryInput({typed(0x1B), function(KEY_UP, "KEY_UP")})),
              (std::vector<Kind>{Kind::Escape, Kind::Up}));
}

TEST(InputKeys, CharactersBeyondAsciiAreWholeCharactersWithNoBindingButAReadableHint) {
    const auto keys = decodeLibraryInput({typed(U'\u00e9'), typed(U'\u20ac'), typed(U'\U0001F600')});
    ASSERT_EQ(keys.size(), 3u);
    for (const auto& key : keys) {
        EXPECT_EQ(key.kind, Kind::Character);
        EXPECT_EQ(key.character, 0);
        EXPECT_FALSE(bindingFor(key).has_value());
    }
    EXPECT_EQ(keys[0].raw, "\xC3\xA9");
    EXPECT_EQ(keys[2].raw, "\xF0\x9F\x98\x80");
    EXPECT_EQ(unknownKeyHint(keys[1]),
              "'\xE2\x82\xAC' does nothing here: the keys are listed below (q leaves)");
    // From bytes: a whole UTF-8 character is one key, a stray byte or a C1 control (U+0085) one of its own.
    EXPECT_EQ(kinds(decodeInput("\xC3\xA9\xA9x\xC2\x85")),
              (std::vector<Kind>{Kind::Character, Kind::Other, Kind::Character, Kind::Other}));
    // No character at all: shown as U+FFFD, never as invalid UTF-8.
    EXPECT_EQ(encodeUtf8(0xD800), "\xEF\xBF\xBD");
    EXPECT_EQ(encodeUtf8(0x110000), "\xEF\xBF\xBD");
    for (const char32_t code : {U'z', U'\u00e9', U'\u20ac', U'\U0001F600'})
        EXPECT_EQ(decodeUtf8(encodeUtf8(code)), code);
    EXPECT_EQ(decodeUtf8("\xC3"), U'\uFFFD');  // cut short
}

TEST(KeyMap, EveryHandsetKeyIsReachable) {
    const std::pair<InputKey, sim::Key> cases[] = {
        {character('0'), sim::Key::Digit0},    {character('1'), sim::Key::Digit1},
        {character('2'), sim::Key::Digit2},    {character('3'), sim::Key::Digit3},
        {character('4'), sim::Key::Digit4},    {character('5'), sim::Key::Digit5},
        {character('6'), sim::Key::Digit6},    {character('7'), sim::Key::Digit7},
        {character('8'), sim::Key::Digit8},    {character('9'), sim::Key::Digit9},
        {character('*'), sim::Key::Star},      {character('#'), sim::Key::Hash},
        {character('y'), sim::Key::Yes},       {special(Kind::Enter), sim::Key::Yes},
        {character('n'), sim::Key::No},        {character('u'), sim::Key::Up},
        {special(Kind::Up), sim::Key::Up},     {character('d'), sim::Key::Down},
        {special(Kind::Down), sim::Key::Down}, {character('m'), sim::Key::Mute},
        {character('c'), sim::Key::Clear},     {special(Kind::Backspace), sim::Key::Clear},
    };
    for (const auto& [input, key] : cases) {
        const auto binding = bindingFor(input);
        ASSERT_TRUE(binding.has_value()) << describeKey(input);
        EXPECT_EQ(binding->action, Action::HandsetKey) << describeKey(input);
        EXPECT_EQ(binding->key, key) << describeKey(input);
    }
}

TEST(KeyMap, EveryControlHasItsKeyAndUnknownKeysOnlyAHint) {
    const std::pair<InputKey, Action> cases[] = {
        {character('h'), Action::ToggleHook},   {character('p'), Action::TogglePlug},
        {character('S'), Action::StartSkype},   {character('Q'), Action::QuitSkype},
        {character('X'), Action::CrashSkype},   {character('I'), Action::IncomingCall},
        {character('H'), Action::RemoteHangUp}, {character('W'), Action::SecondCall},
        {character('q'), Action::Quit},         {special(Kind::Interrupt), Action::Quit},
    };
    for (const auto& [input, action] : cases) {
        const auto binding = bindingFor(input);
        ASSERT_TRUE(binding.has_value()) << describeKey(input);
        EXPECT_EQ(binding->action, action) << describeKey(input);
    }
    for (const auto& input : {character('z'), character('Y'), character(' '), special(Kind::Escape),
                              special(Kind::Left), special(Kind::Other)}) {
        EXPECT_FALSE(bindingFor(input).has_value()) << describeKey(input);
    }
    EXPECT_EQ(unknownKeyHint(character('z')), "'z' does nothing here: the keys are listed below (q leaves)");
}

TEST(KeyMap, TheHelpFitsTheWidthAndNamesEveryControl) {
    for (const size_t width : {80u, 120u, 200u}) {
        const auto lines = helpLines(width);
        std::string all;
        for (const auto& line : lines) {
            EXPECT_LE(line.size(), width);
            EXPECT_FALSE(line.ends_with("|")) << line;
            all += line + "\n";
        }
        for (const char* item : {"0-9 * #", "y/Enter YES", "n NO", "u/Up UP", "d/Down DOWN", "m MUTE",
                                 "c/Bksp CLEAR", "h hook", "p plug", "S start", "Q quit", "X crash",
                                 "I incoming call", "H far end hangs up", "W second call", "q leave"}) {
            EXPECT_NE(all.find(item), std::string::npos) << item << " at width " << width;
        }
    }
    EXPECT_LE(helpLines(80).size(), 3u);  // the layout keeps room for the log on a 24-line terminal
}

TEST(LinePrompt, TypesDeletesConfirmsWithADefaultAndCancels) {
    LinePrompt prompt("Caller's name", "0049-30-1234");
    EXPECT_EQ(prompt.feed(special(Kind::Enter)), LinePrompt::State::Confirmed);
    EXPECT_EQ(prompt.answer(), "0049-30-1234");

    LinePrompt typed("Caller's name", "x");
    for (char c : std::string("0301")) typed.feed(character(c));
    typed.feed(special(Kind::Backspace));
    typed.feed(special(Kind::Up));  // no text of its own: ignored
    EXPECT_EQ(typed.line(), "Caller's name (Enter: x, Esc: cancel): 030_");
    EXPECT_EQ(typed.feed(special(Kind::Enter)), LinePrompt::State::Confirmed);
    EXPECT_EQ(typed.answer(), "030");

    LinePrompt cancelled("q", "d");
    EXPECT_EQ(cancelled.feed(special(Kind::Escape)), LinePrompt::State::Cancelled);
    LinePrompt interrupted("q", "d");
    EXPECT_EQ(interrupted.feed(special(Kind::Interrupt)), LinePrompt::State::Cancelled);

    LinePrompt longName("q", "d");
    for (int i = 0; i < 100; ++i) longName.feed(character('a'));
    EXPECT_EQ(longName.answer().size(), LinePrompt::kMaxLength);
}

TEST(LinePrompt, NamesBeyondAsciiAreTypedAndDeletedACharacterAtATime) {
    LinePrompt prompt("Caller's name", "x");
    for (const auto& key : decodeLibraryInput({typed('Z'), typed('o'), typed(U'\u00eb'), typed(U'\u00eb')})) {
        prompt.feed(key);
    }
    prompt.feed(special(Kind::Backspace));  // the whole of the last character, not one of its bytes
    EXPECT_EQ(prompt.feed(special(Kind::Enter)), LinePrompt::State::Confirmed);
    EXPECT_EQ(prompt.answer(), "Zo\xC3\xAB");

    LinePrompt longName("q", "d");
    for (int i = 0; i < 100; ++i) longName.feed(decodeLibraryInput({typed(U'\u00e9')})[0]);
    EXPECT_EQ(utf8Length(longName.answer()), LinePrompt::kMaxLength);
    EXPECT_EQ(longName.answer().size(), 2 * LinePrompt::kMaxLength);

    std::string stray = "a\xA9";  // a byte that is no character goes alone
    popUtf8(stray);
    EXPECT_EQ(stray, "a");
}

TEST(TapSchedule, EachTapIsPressedHeldReleasedAndSpacedFromTheNext) {
    using Event = TapSchedule::Event;
    using Clock = TapSchedule::Clock;
    TapSchedule taps;
    const Clock::time_point t0{};
    EXPECT_FALSE(taps.next(t0).has_value());
    ASSERT_TRUE(taps.add(sim::Key::Digit1));
    ASSERT_TRUE(taps.add(sim::Key::Digit1));  // the same key twice: two presses, a release between
    EXPECT_EQ(taps.next(t0), (Event{Event::Kind::Press, sim::Key::Digit1}));
    EXPECT_FALSE(taps.next(t0 + TapSchedule::kHold - std::chrono::milliseconds(1)).has_value());
    const auto released = t0 + TapSchedule::kHold;
    EXPECT_EQ(taps.next(released), (Event{Event::Kind::Release, sim::Key::Digit1}));
    EXPECT_FALSE(taps.next(released).has_value());  // the gap before the next press
    EXPECT_FALSE(taps.idle());
    EXPECT_EQ(taps.next(released + TapSchedule::kGap), (Event{Event::Kind::Press, sim::Key::Digit1}));
    EXPECT_EQ(taps.next(released + TapSchedule::kGap + TapSchedule::kHold),
              (Event{Event::Kind::Release, sim::Key::Digit1}));
    EXPECT_TRUE(taps.idle());

    TapSchedule full;
    for (size_t i = 0; i < TapSchedule::kMaxWaiting; ++i) EXPECT_TRUE(full.add(sim::Key::Digit2));
    EXPECT_FALSE(full.add(sim::Key::Digit3));
}

TEST(KeystrokeText, ReadsWhatTheInjectedKeysTypeWithShift) {
    KeystrokeReader reader;
    std::string typed;
    const auto feed = [&](uint8_t key, bool up) {
        if (const auto text = reader.feed(key, up)) typed += *text;
    };
    feed('5', false), feed('5', true);
    feed(0xA0, false), feed('3', false), feed('3', true), feed(0xA0, true);  // Shift+3: '#'
    feed(0xA0, false), feed('8', false), feed('8', true), feed(0xA0, true);  // Shift+8: '*'
    feed('8', false), feed('8', true);                                       // Shift released: '8'
    feed(0x0D, false), feed(0x0D, true), feed(0x1B, false), feed(0x26, false), feed(0x28, false);
    feed(0x64, false);  // a key with no text of its own is named
    EXPECT_EQ(typed, "5#*8<Enter><Esc><Up><Down><key 0x64>");
}
