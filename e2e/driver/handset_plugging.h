// The virtual handset going in and out of the system, as programs see it: its HID interface listed or not.
// Shared by the end-to-end driver and the benchmarks that run the Windows build under Wine.
#pragma once

#include "handset_interface.h"

#include "handset/virtual_handset.h"

#include <chrono>
#include <string>

namespace e2e {

using namespace std::chrono_literals;

// From a plug to the program having the handset open (the interface appears, the program opens it).
constexpr auto kPlugTimeout = 5s;

// Whether a HID interface with the handset's ids is listed now.
bool handsetInterfaceListed();
// Plugs the handset in and waits until its interface is listed; false when it is not within kPlugTimeout.
bool plugAndWaitForInterface(sim::VirtualHandset& handset);
// Unplugs the handset and waits until its interface is no longer listed.
bool unplugAndWaitForInterface(sim::VirtualHandset& handset);

// A press and its release, as a finger on the key makes them.
void tap(sim::VirtualHandset& handset, sim::Key key);

}  // namespace e2e
