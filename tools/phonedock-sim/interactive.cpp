// The interactive loop: read keys, act on the world, redraw.
#include "interactive.h"

#include "key_map.h"
#include "line_prompt.h"
#include "screen_layout.h"
#include "screen_style.h"
#include "tap_schedule.h"
#include "terminal.h"
#include "world.h"

#include <cstdlib>
#include <deque>
#include <iostream>
#include <memory>

namespace phonedocksim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kInputWait = 20ms;      // the loop's pace while nothing is typed
constexpr auto kRefreshEvery = 250ms;  // the screen is redrawn at least this often (the clock, the log)
constexpr size_t kLogLimit = 2000;
constexpr const char* kFirstCaller = "0049-30-1234";
constexpr const char* kSecondCaller = "0044-20-7946";
constexpr const char* kCalledFromSkype = "0033-1-4020";

class Session {
  public:
    Session(Terminal& terminal, World& world) : terminal_(terminal), world_(world) {}

    // Runs until the user leaves or a stop signal arrives.
    void run() {
        status_ = "phonedock is running; press keys below (q leaves)";
        auto lastDraw = Clock::time_point{};
        bool first = true;
        while (!leaving_ && !Terminal::stopRequested()) {
            const auto keys = terminal_.read(kInputWait);
            for (const auto& key : keys) handle(key);
            serviceTaps();
            for (auto& line : world_.newLogLines()) log_.push_back(std::move(line));
            while (log_.size() > kLogLimit) log_.pop_front();
            const bool resized = Terminal::takeResized();
            if (first || resized || Clock::now() - lastDraw >= kRefreshEvery || !keys.empty()) {
                draw();
                first = false;
                lastDraw = Clock::now();
            }
        }
    }

    void showStatus(const std::string& text) {
        status_ = text;
        draw();
    }

  private:
    void draw() {
        ScreenState state;
        world_.snapshot(state);
        state.log.assign(log_.begin(), log_.end());
        state.status = prompt_ ? prompt_->line() : status_;
        const auto size = terminal_.size();
        const auto lines = composeScreen(state, size.columns, size.rows);
        terminal_.draw(lines, lineStyles(lines, size.columns, state.backlight));
    }

    void handle(const InputKey& key) {
        if (prompt_) {
            switch (prompt_->feed(key)) {
                case LinePrompt::State::Editing: return;
                case LinePrompt::State::Cancelled: status_ = "no call"; break;
                case LinePrompt::State::Confirmed:
                    if (promptAction_ == Action::CallFromSkype) {
                        callOut(prompt_->answer());
                    } else {
                        ringIn(prompt_->answer());
                    }
                    break;
            }
            prompt_.reset();
            return;
        }
        const auto binding = bindingFor(key);
        if (!binding) {
            status_ = unknownKeyHint(key);
            return;
        }
        act(*binding);
    }

    void act(const Binding& binding) {
        auto& skype = world_.skype();
        switch (binding.action) {
            case Action::HandsetKey:
                if (!world_.handset().plugged()) {
                    status_ = "the handset is unplugged: p plugs it in";
                } else if (!taps_.add(binding.key)) {
                    status_ = "too many keys typed ahead; wait a moment";
                } else {
                    status_ = std::string("pressed ") + std::string(sim::keyName(binding.key));
                }
                return;
            case Action::ToggleHook:
                world_.toggleHook();
                status_ = world_.handset().offHook() ? "the handset is lifted" : "the handset is put down";
                return;
            case Action::TogglePlug:
                world_.togglePlug();
                status_ =
                    world_.handset().plugged() ? "the handset is plugged in" : "the handset is pulled out";
                return;
            case Action::StartSkype:
                status_ = skype.running()       ? "Skype is already running"
                          : world_.startSkype() ? "Skype started"
                                                : "Skype did not start";
                return;
            case Action::QuitSkype:
                if (!skype.running()) {
                    status_ = "Skype is not running (S starts it)";
                    return;
                }
                world_.quitSkype();
                status_ = "Skype quit";
                return;
            case Action::CrashSkype:
                if (!skype.running()) {
                    status_ = "Skype is not running (S starts it)";
                    return;
                }
                world_.crashSkype();
                status_ = "Skype crashed; phonedock notices within its 2 s tick";
                return;
            case Action::IncomingCall:
            case Action::SecondCall:
                if (!skype.running()) {
                    status_ = "Skype is not running (S starts it)";
                    return;
                }
                if (binding.action == Action::SecondCall && !world_.newestLiveCall()) {
                    status_ = "no call is going on: I rings in a first one";
                    return;
                }
                prompt_.emplace(
                    binding.action == Action::SecondCall ? "Second caller's name" : "Caller's name",
                    binding.action == Action::SecondCall ? kSecondCaller : kFirstCaller);
                promptAction_ = binding.action;
                return;
            case Action::CallFromSkype:
                if (!skype.running()) {
                    status_ = "Skype is not running (S starts it)";
                    return;
                }
                prompt_.emplace("Number to call from Skype's window", kCalledFromSkype);
                promptAction_ = binding.action;
                return;
            case Action::RemoteHangUp:
                if (const auto call = world_.newestLiveCall()) {
                    world_.farEndHangsUp(*call);
                    status_ = "the far end of call " + std::to_string(*call) + " hung up";
                } else {
                    status_ = "no call is going on";
                }
                return;
            case Action::Quit: leaving_ = true; return;
        }
    }

    void callOut(const std::string& number) {
        const int call = world_.callFromSkype(number);
        status_ = call > 0 ? "Skype calls " + number + " (call " + std::to_string(call) + ")"
                           : "Skype is not running";
    }

    void ringIn(const std::string& name) {
        const int call = world_.incomingCall(name);
        status_ =
            call > 0 ? "call " + std::to_string(call) + " from " + name + " rings" : "Skype is not running";
    }

    void serviceTaps() {
        while (const auto event = taps_.next(Clock::now())) {
            if (event->kind == TapSchedule::Event::Kind::Press) {
                world_.handset().press(event->key);
            } else {
                world_.handset().release();
            }
        }
    }

    Terminal& terminal_;
    World& world_;
    TapSchedule taps_;
    std::optional<LinePrompt> prompt_;
    Action promptAction_ = Action::IncomingCall;  // what the prompt's answer is for
    std::deque<std::string> log_;
    std::string status_;
    bool leaving_ = false;
};

}  // namespace

int runInteractive() {
    if (!Terminal::available()) {
        std::cerr << "phonedock-sim: interactive mode needs a terminal on standard input and output;\n"
                     "  --scenario NAME runs a scripted scenario instead (--list names them)\n";
        return 2;
    }
    Terminal terminal;
    WorldConfig config;  // the clock follows real time: the LCD shows the time of day
    auto world = std::make_unique<World>(config);
    Session session(terminal, *world);
    if (!world->startProgram()) {
        terminal.restore();
        std::cerr << "phonedock-sim: phonedock did not start within 10 s\n";
        if (!world->stopProgram()) std::quick_exit(3);
        return 1;
    }
    session.run();
    session.showStatus("closing phonedock...");
    if (!world->stopProgram()) {
        terminal.restore();
        std::cerr << "phonedock-sim: phonedock did not end within 10 s of WM_CLOSE\n";
        std::quick_exit(3);
    }
    world.reset();
    terminal.restore();
    // Stopped by a signal: the shell's convention for it.
    return Terminal::stopSignal() != 0 ? 128 + Terminal::stopSignal() : 0;
}

}  // namespace phonedocksim
