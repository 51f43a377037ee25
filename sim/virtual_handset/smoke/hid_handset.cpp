#include "hid_handset.h"

#include "hid_interfaces.h"

namespace smoke {
namespace {

owners::HandleOwner OpenPath(const std::string& path, DWORD flags) {
    return owners::HandleOwner(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, flags,
                                           nullptr));
}

}  // namespace

std::string FindHandsetPath(USHORT vendorId, USHORT productId) {
    for (const std::string& path : vhandset::HidInterfacePaths()) {
        const owners::HandleOwner device = OpenPath(path, 0);
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof(attributes);
        if (device && HidD_GetAttributes(device.Get(), &attributes) && attributes.VendorID == vendorId &&
            attributes.ProductID == productId)
            return path;
    }
    return {};
}

bool OpenHandset(const std::string& path, OpenedHandset& handset) {
    handset.sync = OpenPath(path, 0);
    handset.overlapped = OpenPath(path, FILE_FLAG_OVERLAPPED);
    if (!handset.sync || !handset.overlapped) return false;
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(handset.sync.Get(), &preparsed)) return false;
    const bool ok = HidP_GetCaps(preparsed, &handset.caps) == HIDP_STATUS_SUCCESS;
    HidD_FreePreparsedData(preparsed);
    return ok;
}

long WaitForInterface(USHORT vendorId, USHORT productId, bool present, DWORD boundMs, std::string* path) {
    const DWORD started = GetTickCount();
    for (;;) {
        const std::string found = FindHandsetPath(vendorId, productId);
        if (found.empty() != present) {
            if (path) *path = found;
            return static_cast<long>(GetTickCount() - started);
        }
        if (GetTickCount() - started > boundMs) return -1;
        Sleep(5);
    }
}

}  // namespace smoke
