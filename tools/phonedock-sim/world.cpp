// The simulated world: setting it up, running the program, and reading what it shows.
#include "world.h"

#include <winsim/control.h>

namespace phonedocksim {
namespace {

sim::SkypeConfig skypeConfig(const WorldConfig& config) {
    sim::SkypeConfig skype;
    skype.farEndAnswerDelay = config.farEndAnswerDelay;
    return skype;
}

// Runs before the members are built: a fresh simulated system with a PC's sound card and the handset's
// USB audio device, and the clock as asked.
const WorldConfig& prepareSystem(const WorldConfig& config) {
    winsim::reset();
    winsim::setPlaybackDevices({"Onboard HD Audio", "USB Audio Device"});
    winsim::setRecordingDevices({"USB Audio Device"});
    if (config.pinnedClock) winsim::setLocalTime(*config.pinnedClock);
    return config;
}

}  // namespace

World::World(const WorldConfig& config) : config_(prepareSystem(config)), skype_(skypeConfig(config_)) {
    if (config_.plugHandset) plugHandset();
    if (config_.startSkype) startSkype();
}

World::~World() {
    program_.StopOrExit();  // before the stand-ins it uses go
    skype_.quit();
    handset_.unplug();
}

bool World::startProgram(std::chrono::milliseconds timeout) {
    return program_.Start(timeout);
}

bool World::stopProgram(std::chrono::milliseconds timeout) {
    return program_.Stop(timeout);
}

void World::event(uint64_t mark, const std::string& text) {
    log_.addEvent(mark, "* " + text);
}

// Each action takes its mark before it acts, so what it causes at Skype comes after it in the log.
bool World::startSkype() {
    const uint64_t mark = skype_.nextSequence();
    const bool started = skype_.start();
    event(mark, started ? "Skype started" : "Skype did not start");
    return started;
}

void World::quitSkype() {
    event(skype_.nextSequence(), "Skype quit");
    skype_.quit();
}

void World::crashSkype() {
    event(skype_.nextSequence(), "Skype crashed");
    skype_.crash();
}

int World::incomingCall(const std::string& name) {
    const uint64_t mark = skype_.nextSequence();
    const int call = skype_.incomingCall(name);
    if (call > 0) event(mark, "incoming call " + std::to_string(call) + " from " + name);
    return call;
}

int World::callFromSkype(const std::string& number) {
    const uint64_t mark = skype_.nextSequence();
    const int call = skype_.placeCall(number);
    if (call > 0) event(mark, "Skype's window calls " + number + ": call " + std::to_string(call));
    return call;
}

bool World::farEndHangsUp(int callId) {
    const uint64_t mark = skype_.nextSequence();
    const bool ended = skype_.farEndHangsUp(callId);
    if (ended) event(mark, "the far end of call " + std::to_string(callId) + " hung up");
    return ended;
}

void World::plugHandset() {
    event(skype_.nextSequence(), "the handset is plugged in");
    handset_.plug();
}

void World::pullHandset() {
    event(skype_.nextSequence(), "the handset is pulled out");
    handset_.unplug();
}

void World::toggleHook() {
    handset_.setOffHook(!handset_.offHook());
}

void World::togglePlug() {
    if (handset_.plugged()) {
        pullHandset();
    } else {
        plugHandset();
    }
}

std::optional<int> World::newestLiveCall() const {
    const auto calls = skype_.calls();
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (sim::isLive(it->status)) return it->id;
    }
    return std::nullopt;
}

std::optional<World::Tray> World::tray() const {
    const auto icon = program_.TrayIcon();
    if (!icon) return std::nullopt;
    return Tray{winsim::iconResourceId(icon->icon), icon->tip};
}

bool World::skypeAttached() const {
    const HWND window = mainWindow();
    if (window == nullptr || !skype_.running()) return false;
    for (const HWND client : skype_.attachedClients()) {
        if (client == window) return true;
    }
    return false;
}

std::string World::skypeSummary() const {
    if (!skype_.running()) return "not running";
    std::string summary = skypeAttached() ? "running, program attached" : "running, program not attached";
    for (const auto& call : skype_.calls()) {
        if (!sim::isLive(call.status)) continue;
        summary += "; call " + std::to_string(call.id) + (call.incoming ? " from " : " to ") +
                   (call.partnerName.empty() ? call.partnerHandle : call.partnerName) + " " +
                   sim::callStatusName(call.status);
        if (!call.dtmf.empty()) summary += " DTMF " + call.dtmf;
    }
    if (skype_.muted()) summary += "; MUTED";
    return summary;
}

std::string World::skypeWindowSummary() const {
    if (!skype_.running()) return "";
    const sim::MainWindowView view = skype_.mainWindowView();
    std::string summary;
    switch (view.show) {
        case sim::MainWindowShow::Normal: summary = view.inFront ? "shown, in front" : "shown"; break;
        case sim::MainWindowShow::Minimized: summary = "minimised"; break;
        case sim::MainWindowShow::Hidden: summary = "in the tray"; break;
    }
    if (const std::string contact = skype_.selectedContact(); !contact.empty()) {
        summary += "; contact " + contact + " selected";
    }
    return summary;
}

void World::snapshot(ScreenState& state) const {
    state.image = handset_.image();
    state.plugged = handset_.plugged();
    state.offHook = handset_.offHook();
    state.ringer = handset_.ringer();
    state.backlight = handset_.backlight();
    const auto icon = tray();
    state.trayIconShown = icon.has_value();
    state.trayIconId = icon ? icon->iconId : -1;
    state.trayTip = icon ? icon->tip : "";
    state.skype = skypeSummary();
    state.skypeWindow = skypeWindowSummary();
    state.skypeEditField = skype_.running() ? skype_.editText() : "";
    state.skypeAttached = skypeAttached();
    state.typed = typed_;
}

bool World::skypeRecordsComplete() const {
    const uint64_t from = log_.next();
    return from + skype_.records(from).size() >= skype_.nextSequence();
}

std::vector<std::string> World::newLogLines() {
    // Keystrokes are seen only now: they take their place before what Skype records from here on.
    const auto inputs = winsim::keyboardInput();
    std::string typedNow;
    for (; keystrokesSeen_ < inputs.size(); ++keystrokesSeen_) {
        const auto& input = inputs[keystrokesSeen_];
        if (const auto text = keystrokes_.feed(input.virtualKey, (input.flags & KEYEVENTF_KEYUP) != 0)) {
            typedNow += *text;
        }
    }
    if (!typedNow.empty()) {
        typed_ += typedNow;
        log_.addEvent(skype_.nextSequence(), "keystrokes for the foreground window: " + typedNow);
    }
    std::vector<EventLog::Numbered> records;
    for (const auto& record : skype_.records(log_.next())) {
        if (record.isCommand) {
            const auto& command = record.command;
            records.push_back(
                {record.sequence(),
                 "> " + command.text + (command.fromAttachedClient ? "" : "   (not attached: ignored)")});
        } else {
            const auto& notification = record.notification;
            records.push_back({record.sequence(), "< " + notification.text +
                                                      (notification.delivered ? "" : "   (not delivered)")});
        }
    }
    return log_.take(records);
}

}  // namespace phonedocksim
