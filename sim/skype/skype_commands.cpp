// The stand-in's command handling: one handler per command word, each a few lines over the call model.
#include "skype/skype_commands.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace sim {
namespace {

// The errors the stand-in answers, as "ERROR <number> <words>".
enum class Fault {
    UnknownCommand,
    InvalidProperty,
    InvalidCallId,
    UnknownStatus,
    CannotChangeStatus,
    InvalidMute,
    InvalidDtmf,
    InvalidButton,
    NotInProgress
};

struct FaultText {
    Fault fault;
    int number;
    const char* words;
};

constexpr FaultText kFaults[] = {
    {Fault::UnknownCommand, 2, "Unknown command"},
    {Fault::InvalidProperty, 7, "Invalid property"},
    {Fault::InvalidCallId, 11, "Invalid call id"},
    {Fault::UnknownStatus, 21, "Unknown call status"},
    {Fault::CannotChangeStatus, 24, "Cannot change call status"},
    {Fault::InvalidMute, 26, "Invalid mute value"},
    {Fault::InvalidDtmf, 27, "Invalid DTMF character"},
    {Fault::InvalidButton, 28, "Unknown button"},
    {Fault::NotInProgress, 29, "Call is not in progress"},
};

// Buttons that type their character into the edit field.
constexpr char kTypedButtons[] = "0123456789*#+";
// The other buttons, by name.
constexpr const char* kNamedButtons[] = {"SKYPE", "UP", "DOWN", "YES", "NO"};
// Characters that SET CALL <id> DTMF takes.
constexpr char kDtmfCharacters[] = "0123456789*#";

std::string upperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// The words of a command, split at blanks, with access to the rest of the text as written.
class Words {
  public:
    explicit Words(const std::string& text) : text_(text) {
        size_t i = 0;
        while (i < text.size()) {
            while (i < text.size() && text[i] == ' ') ++i;
            if (i == text.size()) break;
            const size_t start = i;
            while (i < text.size() && text[i] != ' ') ++i;
            spans_.push_back({start, i - start});
        }
    }
    size_t count() const { return spans_.size(); }
    std::string raw(size_t i) const {
        return i < spans_.size() ? text_.substr(spans_[i].start, spans_[i].length) : std::string();
    }
    std::string upper(size_t i) const { return upperCase(raw(i)); }
    // From the start of word i to the end of the text, blanks inside kept.
    std::string restFrom(size_t i) const { return i < spans_.size() ? text_.substr(spans_[i].start) : ""; }

  private:
    struct Span {
        size_t start;
        size_t length;
    };
    const std::string& text_;
    std::vector<Span> spans_;
};

std::optional<int> parseCallId(const std::string& word) {
    if (word.empty() || word.size() > 9) return std::nullopt;
    int id = 0;
    for (char c : word) {
        if (c < '0' || c > '9') return std::nullopt;
        id = id * 10 + (c - '0');
    }
    if (id <= 0) return std::nullopt;
    return id;
}

// One command being carried out.
struct Run {
    SkypeState& state;
    const Words& words;
    CommandOutcome out;

    void reply(const std::string& text) { out.texts.push_back({text, false}); }
    void tellEveryClient(const CallModel::Texts& texts) {
        for (const std::string& text : texts) out.texts.push_back({text, true});
    }
    void fail(Fault fault) {
        for (const FaultText& f : kFaults) {
            if (f.fault == fault) reply("ERROR " + std::to_string(f.number) + " " + f.words);
        }
    }
    void placeCall(const std::string& target) {
        CallModel::Texts events;
        out.placedCalls.push_back(state.calls.addOutgoing(target, events));
        tellEveryClient(events);
    }
    void answerRingingCall() {
        const std::optional<int> ringing = state.calls.firstRingingIncoming();
        if (!ringing) return;
        CallModel::Texts events;
        state.calls.answer(*ringing, events);
        tellEveryClient(events);
    }
    void endEveryCall() {
        CallModel::Texts events;
        state.calls.endAllHere(events);
        tellEveryClient(events);
    }
    // The call named by word i, or null after answering the error.
    const SkypeCall* callAt(size_t i) {
        const std::optional<int> id = parseCallId(words.raw(i));
        const SkypeCall* call = id ? state.calls.find(*id) : nullptr;
        if (call == nullptr) fail(Fault::InvalidCallId);
        return call;
    }
};

bool isButton(const std::string& upperName) {
    if (upperName.size() == 1 && upperName.find_first_of(kTypedButtons) == 0) return true;
    for (const char* name : kNamedButtons) {
        if (upperName == name) return true;
    }
    return false;
}

void onFocus(Run& run) {
    run.out.bringToFront = true;
}

// UP and DOWN move the selection one contact; the first press of either selects the first contact.
void moveSelection(SkypeState& state, int step) {
    const int count = static_cast<int>(state.contacts.size());
    if (count == 0) return;
    const int next = state.selectedContact < 0 ? 0 : state.selectedContact + step;
    state.selectedContact = std::clamp(next, 0, count - 1);
}

void pressYes(Run& run) {
    SkypeState& state = run.state;
    if (state.calls.firstRingingIncoming()) return run.answerRingingCall();
    if (state.calls.firstActive()) return;  // YES has nothing more to do in a call
    if (!state.editText.empty()) return run.placeCall(state.editText);
    if (state.selectedContact >= 0)
        return run.placeCall(state.contacts[static_cast<size_t>(state.selectedContact)]);
}

void onButtonPressed(Run& run) {
    const std::string button = run.words.upper(1);
    if (!isButton(button)) return run.fail(Fault::InvalidButton);
    run.state.heldButton = button;
    if (button.size() == 1) {
        if (!run.state.calls.firstActive()) run.out.typed += button;
    } else if (button == "YES") {
        pressYes(run);
    } else if (button == "NO") {
        run.endEveryCall();
    } else if (button == "SKYPE") {
        run.out.bringToFront = true;
    } else {
        moveSelection(run.state, button == "UP" ? -1 : 1);
    }
}

void onButtonReleased(Run& run) {
    const std::string button = run.words.upper(1);
    if (!isButton(button)) return run.fail(Fault::InvalidButton);
    if (run.state.heldButton == button) run.state.heldButton.clear();
}

void onHook(Run& run) {
    const std::string position = run.words.upper(1);
    if (position == "ON") {
        run.state.hookOff = false;
        run.endEveryCall();
    } else if (position == "OFF") {
        run.state.hookOff = true;
        run.answerRingingCall();
    } else {
        run.fail(Fault::UnknownCommand);
    }
}

void onCall(Run& run) {
    if (run.words.count() < 2) return run.fail(Fault::UnknownCommand);
    run.placeCall(run.words.restFrom(1));
}

void onGetCall(Run& run) {
    const SkypeCall* call = run.callAt(2);
    if (call == nullptr) return;
    const std::string property = run.words.upper(3);
    const std::string prefix = "CALL " + std::to_string(call->id) + " " + property + " ";
    if (property == "PARTNER_DISPNAME") return run.reply(prefix + call->partnerName);
    if (property == "PARTNER_HANDLE") return run.reply(prefix + call->partnerHandle);
    if (property == "STATUS") return run.reply(prefix + callStatusName(call->status));
    run.fail(Fault::InvalidProperty);
}

void onSetCall(Run& run) {
    const SkypeCall* call = run.callAt(2);
    if (call == nullptr) return;
    const int id = call->id;
    const std::string property = run.words.upper(3);
    if (property == "DTMF") {
        const std::string digit = run.words.raw(4);
        if (digit.size() != 1 || digit.find_first_of(kDtmfCharacters) != 0)
            return run.fail(Fault::InvalidDtmf);
        if (call->status != CallStatus::InProgress) return run.fail(Fault::NotInProgress);
        run.state.calls.addDtmf(id, digit[0]);
        return run.reply("CALL " + std::to_string(id) + " DTMF " + digit);
    }
    if (property != "STATUS") return run.fail(Fault::InvalidProperty);
    const std::optional<CallStatus> wanted = callStatusFromName(run.words.upper(4));
    CallModel::Texts events;
    bool changed = false;
    if (wanted == CallStatus::InProgress) {
        changed = run.state.calls.answer(id, events);
    } else if (wanted == CallStatus::Finished) {
        changed = run.state.calls.endHere(id, events);
    } else {
        return run.fail(Fault::UnknownStatus);
    }
    if (!changed) return run.fail(Fault::CannotChangeStatus);
    run.tellEveryClient(events);
}

void onSet(Run& run) {
    const std::string what = run.words.upper(1);
    if (what == "CALL") return onSetCall(run);
    if (what == "MUTE") {
        const std::string value = run.words.upper(2);
        if (value != "ON" && value != "OFF") return run.fail(Fault::InvalidMute);
        run.state.muted = value == "ON";
        return run.tellEveryClient({"MUTE " + value});
    }
    if (what == "AUDIO_OUT" || what == "AUDIO_IN") {
        const std::string device = run.words.restFrom(2);
        (what == "AUDIO_OUT" ? run.state.audioOut : run.state.audioIn) = device;
        return run.reply(what + " " + device);
    }
    run.fail(Fault::UnknownCommand);
}

void onGet(Run& run) {
    const std::string what = run.words.upper(1);
    if (what == "CALL") return onGetCall(run);
    if (what == "MUTE") return run.reply(run.state.muted ? "MUTE ON" : "MUTE OFF");
    run.fail(Fault::UnknownCommand);
}

struct Handler {
    const char* word;
    void (*handle)(Run&);
};

constexpr Handler kHandlers[] = {
    {"FOCUS", onFocus},
    {"BTN_PRESSED", onButtonPressed},
    {"BTN_RELEASED", onButtonReleased},
    {"HOOK", onHook},
    {"CALL", onCall},
    {"SET", onSet},
    {"GET", onGet},
};

}  // namespace

CommandOutcome executeCommand(const std::string& text, SkypeState& state) {
    const Words words(text);
    Run run{state, words, {}};
    const std::string first = words.upper(0);
    for (const Handler& h : kHandlers) {
        if (first == h.word) {
            h.handle(run);
            return run.out;
        }
    }
    run.fail(Fault::UnknownCommand);
    return run.out;
}

}  // namespace sim
