#include "library_state.h"

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
    std::lock_guard<std::mutex> lock(device.mutex);
    device.connection = std::move(connection);
    device.hookStatus = HOOK_UNKNOWN;
    Library().keys.previousHook = HOOK_ON;
    return true;
}

void CloseHandset() {
    std::shared_ptr<HandsetConnection> old;
    {
        HandsetDevice& device = Library().device;
        std::lock_guard<std::mutex> lock(device.mutex);
        old = std::move(device.connection);
    }
    if (old) SetEvent(old->closing.Get());
}

}  // namespace vocetta
