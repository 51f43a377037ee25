// The transcript and the expectations of a scripted run.
#include "scenario_run.h"

#include "lcd_drawing.h"

#include <winsim/control.h>

#include <thread>

namespace phonedocksim {
namespace {

using namespace std::chrono_literals;

// How long a key is held: long enough for the keypad to repeat its report, as a finger does.
constexpr auto kKeyHold = 100ms;
constexpr auto kAfterRelease = 30ms;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

}  // namespace

ScenarioRun::ScenarioRun(World& world, std::ostream& out) : world_(world), out_(out) {}

void ScenarioRun::step(const std::string& text) {
    flushLog();
    out_ << "\n== " << text << "\n";
}

bool ScenarioRun::startProgram() {
    const bool started = world_.startProgram();
    return expect(
        "phonedock's main window exists", [&] { return started; },
        [] { return "the program did not create it within 10 s"; });
}

bool ScenarioRun::expect(const std::string& what, const std::function<bool()>& condition,
                         const std::function<std::string()>& seen) {
    const bool held = handset().waitUntil(condition, kPatience);
    flushLog();
    if (held) {
        out_ << "   check: " << what << " ... ok\n";
    } else {
        ++failures_;
        out_ << "   check: " << what << " ... FAILED: " << seen() << "\n";
    }
    out_.flush();
    return held;
}

bool ScenarioRun::expectCommand(const std::string& text) {
    std::optional<size_t> at;
    const bool held = expect(
        "Skype received " + quoted(text),
        [&] {
            at = skype().waitForCommand(text, 0ms, commandMark_);
            return at.has_value();
        },
        [&] {
            const auto texts = skype().commandTexts();
            std::string since;
            for (size_t i = commandMark_; i < texts.size(); ++i)
                since += (since.empty() ? "" : ", ") + quoted(texts[i]);
            return "the commands since the previous check were: " +
                   (since.empty() ? std::string("none") : since);
        });
    if (at) commandMark_ = *at + 1;
    return held;
}

bool ScenarioRun::expectTray(int iconId, const std::string& tip) {
    return expect(
        "tray icon " + std::to_string(iconId) + " with tooltip " + quoted(tip),
        [&] {
            const auto tray = world_.tray();
            return tray && tray->iconId == iconId && tray->tip == tip;
        },
        [&] {
            const auto tray = world_.tray();
            if (!tray) return std::string("no tray icon");
            return "icon " + std::to_string(tray->iconId) + " with tooltip " + quoted(tray->tip);
        });
}

bool ScenarioRun::expectDisplay(const std::string& lower) {
    return expect(
        "the LCD's lower row shows " + quoted(lower), [&] { return handset().display().lower == lower; },
        [&] { return "the LCD reads " + handset().rendering(); });
}

bool ScenarioRun::expectRinger(bool on) {
    return expect(
        std::string("the ringer is ") + (on ? "on" : "off"), [&] { return handset().ringer() == on; },
        [&] { return std::string("it is ") + (handset().ringer() ? "on" : "off"); });
}

bool ScenarioRun::expectBacklight(bool on) {
    return expect(
        std::string("the backlight is ") + (on ? "on" : "off"), [&] { return handset().backlight() == on; },
        [&] { return std::string("it is ") + (handset().backlight() ? "on" : "off"); });
}

bool ScenarioRun::expectIndicator(bool on) {
    return expect(
        std::string("the call indicator is ") + (on ? "on" : "off"),
        [&] { return handset().display().indicator == on; },
        [&] { return "the LCD reads " + handset().rendering(); });
}

bool ScenarioRun::expectBars(int level) {
    return expect(
        "the LCD shows " + std::to_string(level) + " bars",
        [&] { return handset().display().barLevel() == level; },
        [&] { return "the LCD reads " + handset().rendering(); });
}

bool ScenarioRun::expectTyped(const std::string& text) {
    return expect(
        "the foreground window was typed " + quoted(text),
        [&] {
            flushLog();
            return world_.typedText() == text;
        },
        [&] { return "it was typed " + quoted(world_.typedText()); });
}

void ScenarioRun::tap(sim::Key key) {
    out_ << "   press " << sim::keyName(key) << "\n";
    handset().press(key);
    std::this_thread::sleep_for(kKeyHold);
    handset().release();
    std::this_thread::sleep_for(kAfterRelease);
}

void ScenarioRun::tick() {
    winsim::advanceClock(2000);
    if (!world_.settle()) {
        ++failures_;
        out_ << "   the program did not handle its timer in time\n";
    }
}

void ScenarioRun::showLcd() {
    flushLog();
    for (const auto& line : drawLcd(handset().image())) {
        std::string trimmed = line;
        trimmed.erase(trimmed.find_last_not_of(' ') + 1);
        out_ << "   |  " << trimmed << "\n";
    }
    out_ << "   LCD " << handset().rendering() << "\n";
}

void ScenarioRun::flushLog() {
    for (const auto& line : world_.newLogLines()) out_ << "   " << line << "\n";
}

}  // namespace phonedocksim
