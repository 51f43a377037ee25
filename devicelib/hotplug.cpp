#include "hotplug.h"

#include <dbt.h>

#include "hid_io.h"
#include "library_state.h"

#include <atomic>

namespace vocetta {
namespace {

// Takes the place of the registration in `slot`, letting go of the one it held.
void Replace(std::atomic<HDEVNOTIFY>& slot, DeviceNotificationOwner registration) {
    const DeviceNotificationOwner old(slot.exchange(registration.Release()));
}

void Unregister(std::atomic<HDEVNOTIFY>& slot) {
    Replace(slot, {});
}

// Registers for events on the open handset's handle (its removal), replacing an earlier registration.
void WatchHandleRemoval(HWND window) {
    std::atomic<HDEVNOTIFY>& slot = Library().binding.handleNotification;
    Unregister(slot);
    if (const auto handset = Library().device.OpenHandset())
        Replace(slot, RegisterHandleNotification(window, *handset->connection));
}

void OnHandsetArrival(HWND window) {
    OwnerBinding& binding = Library().binding;
    if (binding.handsetOpen || !TakeUpHandset(window)) return;
    if (PlugCallback plug = binding.plugCallback) plug(1, 0);
}

// The removal of the open handset, announced for its handle or for its interface, whichever comes first: the
// other then finds it closed. A removal of any other device changes nothing.
void OnHandsetRemoval(LPARAM lParam) {
    OwnerBinding& binding = Library().binding;
    const auto handset = Library().device.OpenHandset();
    if (!binding.handsetOpen || !handset || !BroadcastConcerns(lParam, *handset->connection)) return;
    binding.handsetOpen = false;
    if (IsNtFamily()) Unregister(binding.handleNotification);
    if (PlugCallback plug = binding.plugCallback) plug(0, 0);
    CloseHandset();
}

}  // namespace

// The flag is set before the removal is registered: the removal handler, which alone goes by it, can then
// never find a registered handset not marked open.
bool TakeUpHandset(HWND window) {
    if (!FindHandset()) return false;
    Library().binding.handsetOpen = true;
    if (IsNtFamily()) WatchHandleRemoval(window);
    return true;
}

// Also the open handset's removal where its handle's removal is never announced.
void WatchForHandsets(HWND window) {
    std::atomic<HDEVNOTIFY>& slot = Library().binding.interfaceNotification;
    Unregister(slot);
    Replace(slot, RegisterHidInterfaceNotification(window));
}

void StopWatching() {
    Unregister(Library().binding.interfaceNotification);
    Unregister(Library().binding.handleNotification);
}

void OnDeviceChange(HWND window, WPARAM event, LPARAM lParam) {
    switch (event) {
        case DBT_DEVICEARRIVAL: OnHandsetArrival(window); break;
        case DBT_DEVICEREMOVECOMPLETE: OnHandsetRemoval(lParam); break;
        default: break;
    }
}

}  // namespace vocetta
