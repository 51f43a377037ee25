#include "library_state.h"

#include "reader.h"

#include <utility>

namespace vocetta {

LibraryState& Library() {
    static LibraryState state;
    return state;
}

bool FindHandset() {
    CloseHandset();
    auto connection = OpenHandsetInterface(kHandsetVendorId, kHandsetProductId);
    if (!connection) return false;
    HandsetDevice& device = Library().device;
    device.hookStatus = HOOK_UNKNOWN;
    Library().keys.previousHook = HOOK_ON;
    auto handset = std::make_shared<Handset>(std::move(connection));
    // The reader reads this handset alone; it starts before the handset is shared, so nobody sees the
    // handset without the reader it has. One that cannot start leaves the handset open for the commands.
    StartReader(handset);
    std::lock_guard<std::mutex> lock(device.mutex);
    device.handset = std::move(handset);
    return true;
}

void CloseHandset() {
    std::shared_ptr<Handset> old;
    {
        HandsetDevice& device = Library().device;
        std::lock_guard<std::mutex> lock(device.mutex);
        old = std::move(device.handset);
    }
    if (!old) return;
    if (old->reader) StopReader(old->reader);
    SetEvent(old->connection->closing.Get());
}

}  // namespace vocetta
