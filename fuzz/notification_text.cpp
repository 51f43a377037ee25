// Skype's notification texts, any bytes: the reading never looks outside the text, a display name is the
// text's own tail, and only a positive call id carries a name or a status.
#include "skype/notification.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using phonedock::CallStatus;
using phonedock::Notification;
using phonedock::ParseNotification;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Notification n = ParseNotification(text);
    if (n.kind != Notification::Kind::Call) {
        Require(n.callId == 0 && !n.hasDisplayName && n.status == CallStatus::None);
        return 0;
    }
    Require(size >= 5);
    if (n.callId <= 0) Require(!n.hasDisplayName && n.status == CallStatus::None);
    if (n.hasDisplayName) {
        Require(n.status == CallStatus::None);
        // The name is the rest of the text, right after the key.
        Require(n.displayName.data() >= text.data() + 5);
        Require(n.displayName.data() + n.displayName.size() == text.data() + text.size());
        Require(text.substr(0, text.size() - n.displayName.size()).ends_with(" PARTNER_DISPNAME "));
    }
    return 0;
}
