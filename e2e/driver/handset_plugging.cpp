#include "handset_plugging.h"

#include "waiting.h"

namespace e2e {
bool handsetInterfaceListed() {
    return !handsetInterfacePath().empty();
}

bool plugAndWaitForInterface(sim::VirtualHandset& handset) {
    return handset.plug() && waitFor([] { return handsetInterfaceListed(); }, kPlugTimeout);
}

bool unplugAndWaitForInterface(sim::VirtualHandset& handset) {
    handset.unplug();
    return waitFor([] { return !handsetInterfaceListed(); }, kPlugTimeout);
}

void tap(sim::VirtualHandset& handset, sim::Key key) {
    handset.press(key);
    handset.release();
}

}  // namespace e2e
