// Which terminal key does what in the interactive simulator: handset keys, the hook switch and the plug,
// Skype's life and calls, and leaving. The help lines are made from the same table, so they always tell
// the keys that really work.
#pragma once

#include "handset/keypad.h"
#include "input_keys.h"

#include <optional>
#include <string>
#include <vector>

namespace phonedocksim {

enum class Action {
    HandsetKey,  // press `key` on the handset, released again shortly after
    ToggleHook,  // lift the handset or put it down
    TogglePlug,  // pull the handset out or plug it in
    StartSkype,
    QuitSkype,      // Skype exits cleanly
    CrashSkype,     // Skype's windows vanish without a word
    IncomingCall,   // asks for the caller's name first
    RemoteHangUp,   // the far end of the newest live call hangs up
    SecondCall,     // another caller, while a call is going on
    CallFromSkype,  // the user places a call from Skype's own window; asks for the number first
    Quit,           // leave the simulator
};

struct Binding {
    Action action = Action::Quit;
    sim::Key key = sim::Key::Digit0;  // Action::HandsetKey only
};

// What the key does, or nothing for a key that has no use here.
std::optional<Binding> bindingFor(const InputKey& key);

// The status-line hint for a key that does nothing.
std::string unknownKeyHint(const InputKey& key);

// The help lines, each at most `width` columns, listing every binding.
std::vector<std::string> helpLines(size_t width);

}  // namespace phonedocksim
