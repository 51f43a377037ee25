#include "library_state.h"

#include <utility>

namespace vocetta {

LibraryState& Library() {
    static LibraryState state;
    return state;
}

bool FindHandset(USHORT vendorId, USHORT productId) {
    HandsetDevice& device = Library().device;
    {
        std::lock_guard<std::mutex> lock(device.mutex);
        device.vendorId = vendorId;
        device.productId = productId;
    }
    CloseHandset();
    auto connection = OpenHandsetInterface(vendorId, productId);
    if (!connection) return false;
    std::lock_guard<std::mutex> lock(device.mutex);
    device.connection = std::move(connection);
    device.hookStatus = HOOK_UNKNOWN;
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
