// What the groups with a handset share: the virtual handset under the program, taps on its keys, and
// checks that wait for what the handset shows or what Skype received.
#pragma once

#include "handset_plugging.h"
#include "session.h"

#include <functional>
#include <string>

namespace e2e {

// A key the program acts on travels from the handset through Wine's HID stack, the library's reader and
// the program to Skype or the handset; a few hundred milliseconds under load.
constexpr auto kHandsetTimeout = 3s;
// The start of a group with the handset: plugged in, then the program started without Skype, its icon
// saying "Please Launch Skype" (each a check). False when the program did not start.
bool startWithTheHandset(Session& s, sim::VirtualHandset& handset);
// Skype starting after the program: the program attaches and its icon says it is ready (checks). False
// when Skype did not start or the program did not attach.
bool attachLateSkype(Session& s, sim::SkypeClient& skype);

// The lower row as the program shows the local time: the hour and minute in its last four cells. True
// when the row shows now or the minute before (the program redraws at its 2 s tick).
bool showsTheClock(const sim::DisplayReading& reading);

// A check that waits (bounded) for `condition` on what the handset shows; its reason is what the handset
// shows when the time ran out.
bool expectHandset(Session& s, const sim::VirtualHandset& handset, const std::string& what,
                   const std::function<bool()>& condition,
                   std::chrono::milliseconds timeout = kHandsetTimeout);
// A check that Skype received `text` from the program, from its command index `from` on.
bool expectCommand(Session& s, const sim::SkypeClient& skype, const std::string& text, size_t from,
                   std::chrono::milliseconds timeout = kHandsetTimeout);
// What the handset shows, for a check's reason.
std::string describe(const sim::VirtualHandset& handset);

}  // namespace e2e
