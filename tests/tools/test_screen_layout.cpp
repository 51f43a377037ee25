// The interactive screen: the size it needs, what it shows of the world in the room it has, and the
// styles its lines are drawn in.
#include "key_map.h"
#include "screen_layout.h"
#include "screen_style.h"
#include "utf8.h"

#include <gtest/gtest.h>

using namespace phonedocksim;

namespace {

ScreenState sampleState() {
    ScreenState state;
    state.plugged = true;
    state.ringer = true;
    state.trayIconShown = true;
    state.trayIconId = 129;
    state.trayTip = "USB Device Driver (Skype Feature-Enabled)";
    state.skype = "running, program attached";
    state.skypeWindow = "shown, in front";
    state.skypeEditField = "+4930";
    state.skypeAttached = true;
    state.status = "pressed YES";
    for (int i = 0; i < 50; ++i) state.log.push_back("< line " + std::to_string(i));
    return state;
}

bool contains(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& line : lines) {
        if (line.find(text) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

TEST(ScreenLayout, TheTerminalSizeCheckNamesWhatIsNeeded) {
    EXPECT_FALSE(terminalTooSmall(80, 24).has_value());
    EXPECT_FALSE(terminalTooSmall(300, 100).has_value());
    EXPECT_TRUE(terminalTooSmall(79, 24).has_value());
    EXPECT_TRUE(terminalTooSmall(80, 23).has_value());
    EXPECT_TRUE(terminalTooSmall(0, 0).has_value());
    EXPECT_EQ(*terminalTooSmall(60, 20),
              "The terminal is 60x20; the simulator needs 80x24. Enlarge it, or press q to leave.");
}

TEST(ScreenLayout, FillsExactlyTheTerminalAndShowsTheNewestLog) {
    for (const auto& [columns, rows] : {std::pair{80, 24}, std::pair{132, 43}, std::pair{250, 80}}) {
        const auto lines = composeScreen(sampleState(), columns, rows);
        ASSERT_EQ(lines.size(), static_cast<size_t>(rows));
        for (const auto& line : lines) EXPECT_LE(line.size(), static_cast<size_t>(columns)) << line;
        EXPECT_EQ(lines.back(), "pressed YES");
        EXPECT_TRUE(contains(lines, "< line 49"));  // the newest log line is on screen...
        EXPECT_TRUE(contains(lines, "ringer ON "));
        EXPECT_TRUE(contains(lines, "Tray: icon 129 (ready) \"USB Device Driver (Skype Feature-Enabled)\""));
        EXPECT_TRUE(contains(lines, "keys go to Skype"));
        EXPECT_TRUE(contains(lines, "Skype's window: shown, in front; edit field \"+4930\""));
    }
    EXPECT_FALSE(contains(composeScreen(sampleState(), 80, 24), "< line 44"));  // ...the oldest scrolled off
    EXPECT_TRUE(contains(composeScreen(sampleState(), 80, 60), "< line 20"));  // a taller terminal shows more
}

TEST(ScreenLayout, KeystrokesShowWhileSkypeIsNotAttachedTheNewestKept) {
    ScreenState state = sampleState();
    state.skypeAttached = false;
    state.trayIconShown = false;
    state.typed = std::string(100, '1') + "#<Enter>";
    const auto lines = composeScreen(state, 80, 24);
    EXPECT_TRUE(contains(lines, "Tray: no icon"));
    EXPECT_FALSE(contains(lines, "keys go to Skype"));
    bool found = false;
    for (const auto& line : lines) {
        if (!line.starts_with("Typed into the foreground window: ")) continue;
        found = true;
        EXPECT_TRUE(line.ends_with("111#<Enter>")) << line;
        EXPECT_NE(line.find("..."), std::string::npos) << line;  // marked as cut
        EXPECT_EQ(line.size(), 80u);
    }
    EXPECT_TRUE(found);
}

// The edit field's newest characters fit beside the window's state; without Skype there is no window.
TEST(ScreenLayout, SkypesWindowLineKeepsTheEndOfTheEditField) {
    ScreenState state = sampleState();
    state.skypeWindow = "in the tray";
    state.skypeEditField = std::string(60, '1') + "789";
    bool found = false;
    for (const auto& line : composeScreen(state, 80, 24)) {
        if (!line.starts_with("Skype's window: in the tray")) continue;
        found = true;
        EXPECT_TRUE(line.ends_with("789\"")) << line;
        EXPECT_NE(line.find("..."), std::string::npos) << line;
        EXPECT_EQ(line.size(), 80u);
    }
    EXPECT_TRUE(found);
    // Text beyond ASCII is cut by characters, never inside one, and a cut line keeps its full width.
    std::string name;
    for (int i = 0; i < 50; ++i) name += "\xC3\xB6";  // o with diaeresis, two bytes each
    state.skypeEditField = name;
    state.log = {"< " + name + name};
    for (const auto& line : composeScreen(state, 80, 24)) {
        if (line.starts_with("Skype's window: ") || line.starts_with("< ")) {
            EXPECT_EQ(utf8Length(line), 80u) << line;
            EXPECT_EQ(utf8Prefix(line, 80), line.size()) << "no character is cut in two";
        }
    }
    state.skypeWindow.clear();
    EXPECT_TRUE(contains(composeScreen(state, 80, 24), "Skype's window: none"));
}

TEST(ScreenLayout, ATooSmallTerminalGetsTheWholeMessageInWhatRoomThereIs) {
    for (const auto& [columns, rows] : {std::pair{79, 30}, std::pair{20, 8}, std::pair{7, 20}}) {
        const auto lines = composeScreen(sampleState(), columns, rows);
        ASSERT_EQ(lines.size(), static_cast<size_t>(rows));
        std::string text;
        for (const auto& line : lines) {
            EXPECT_LE(line.size(), static_cast<size_t>(columns));
            text += line;
        }
        EXPECT_NE(text.find("80x24"), std::string::npos) << columns << "x" << rows;
        EXPECT_NE(text.find("q"), std::string::npos);
        EXPECT_FALSE(contains(lines, "Tray:"));
    }
    EXPECT_TRUE(composeScreen(sampleState(), 10, 0).empty());
}

// The styles follow the layout: should it gain or lose a line, the LCD's glass, its frame, the heading or
// the help would otherwise be drawn on the wrong lines.
TEST(ScreenStyle, EachPartOfTheLayoutGetsItsStyleAndTheLcdIsLitWithTheBacklight) {
    for (const auto& [columns, rows] : {std::pair{80, 24}, std::pair{200, 50}}) {
        const auto lines = composeScreen(sampleState(), columns, rows);
        const auto styles = lineStyles(lines, columns, true);
        ASSERT_EQ(styles.size(), lines.size());
        EXPECT_EQ(styles.front(), LineStyle::Title);
        EXPECT_EQ(styles.back(), LineStyle::Status);
        const auto help = helpLines(static_cast<size_t>(columns));
        const size_t helpStart = lines.size() - 1 - help.size();
        for (size_t i = 1; i + 1 < lines.size(); ++i) {
            const std::string& line = lines[i];
            LineStyle expected = LineStyle::Plain;
            if (line.starts_with("+-")) expected = LineStyle::LcdFrame;
            if (line.starts_with("| ")) expected = LineStyle::LcdLit;
            if (line.starts_with("-- Skype commands")) expected = LineStyle::Heading;
            if (i >= helpStart) {
                expected = LineStyle::Help;
                EXPECT_EQ(line, help[i - helpStart]);
            }
            EXPECT_EQ(styles[i], expected) << i << ": " << line;
        }
    }
    const auto lines = composeScreen(sampleState(), 80, 24);
    EXPECT_EQ(lineStyles(lines, 80, false)[3], LineStyle::Lcd);
    const auto small = composeScreen(sampleState(), 40, 10);
    for (const auto style : lineStyles(small, 40, true)) EXPECT_EQ(style, LineStyle::Plain);
}
