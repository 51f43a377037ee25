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
// How long the transcript waits for a text of Skype's that is on its way before it goes on without it.
constexpr auto kTextOnItsWay = 1000ms;

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

const char* showName(sim::MainWindowShow show) {
    switch (show) {
        case sim::MainWindowShow::Normal: return "shown, in front";
        case sim::MainWindowShow::Minimized: return "minimised";
        case sim::MainWindowShow::Hidden: return "in the tray";
    }
    return "?";
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

bool ScenarioRun::expectSkypeWindow(sim::MainWindowShow show) {
    return expect(
        std::string("Skype's window is ") + showName(show),
        [&] {
            const sim::MainWindowView view = skype().mainWindowView();
            return view.show == show && (show != sim::MainWindowShow::Normal || view.inFront);
        },
        [&] {
            const std::string now = world_.skypeWindowSummary();
            return "it is " + (now.empty() ? std::string("not there") : now);
        });
}

bool ScenarioRun::expectEditField(const std::string& text) {
    return expect(
        "Skype's edit field holds " + quoted(text), [&] { return skype().editText() == text; },
        [&] { return "it holds " + quoted(skype().editText()); });
}

bool ScenarioRun::expectCallStatus(int callId, sim::CallStatus status) {
    return expect(
        "call " + std::to_string(callId) + " is " + sim::callStatusName(status),
        [&] {
            const auto call = skype().call(callId);
            return call && call->status == status;
        },
        [&] { return world_.skypeSummary(); });
}

bool ScenarioRun::expectDtmf(int callId, const std::string& digits) {
    return expect(
        "call " + std::to_string(callId) + " carried the DTMF " + quoted(digits),
        [&] {
            const auto call = skype().call(callId);
            return call && call->dtmf == digits;
        },
        [&] {
            const auto call = skype().call(callId);
            return call ? "it carried " + quoted(call->dtmf) : std::string("there is no such call");
        });
}

bool ScenarioRun::expectSent(const std::string& text, uint64_t from) {
    return expect(
        "Skype told the program " + quoted(text),
        [&] {
            for (const auto& record : skype().records(from)) {
                if (!record.isCommand && record.notification.text == text && record.notification.delivered)
                    return true;
            }
            return false;
        },
        [] { return std::string("it did not"); });
}

bool ScenarioRun::expectAnswerWithoutError(const std::string& answer, uint64_t from) {
    const auto errors = [&] {
        std::string seen;
        for (const auto& record : skype().records(from)) {
            if (!record.isCommand && record.notification.text.starts_with("ERROR"))
                seen += (seen.empty() ? "" : ", ") + quoted(record.notification.text);
        }
        return seen;
    };
    return expect(
        "Skype answered " + quoted(answer) + " and no error",
        [&] {
            bool answered = false;
            for (const auto& record : skype().records(from)) {
                if (record.isCommand) continue;
                if (record.notification.text.starts_with("ERROR")) return false;
                answered = answered || record.notification.text == answer;
            }
            return answered;
        },
        [&] {
            const std::string seen = errors();
            return seen.empty() ? std::string("no such answer") : "Skype answered " + seen;
        });
}

bool ScenarioRun::expectNoCommandSince(const std::string& text, size_t from) {
    return expect(
        "Skype did not receive " + quoted(text),
        [&] { return !skype().waitForCommand(text, 0ms, from).has_value(); }, [] { return "it did"; });
}

bool ScenarioRun::expectNoRingSince(size_t rings) {
    return expect(
        "the handset did not ring", [&] { return handset().ringerSwitchedOnCount() == rings; },
        [] { return "its ringer was switched on"; });
}

void ScenarioRun::settle() {
    if (!world_.settle()) {
        ++failures_;
        out_ << "   the program did not handle what reached it in time\n";
    }
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
    // A text still on its way to the program is logged once its send returns; what the transcript says next
    // usually follows from it.
    handset().waitUntil([&] { return world_.skypeRecordsComplete(); }, kTextOnItsWay);
    for (const auto& line : world_.newLogLines()) out_ << "   " << line << "\n";
}

}  // namespace phonedocksim
