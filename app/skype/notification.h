// Reading Skype's notification texts: which of the forms the call tracker follows a text has, with no
// platform call.
#pragma once

#include <cstdint>
#include <string_view>

namespace phonedock {

enum class CallStatus {
    None,  // no status phrase (or one the tracker does not follow)
    Failed,
    Routing,
    Unplaced,
    Ringing,
    InProgress,
    OnHold,
    Finished,
    Missed,
    Refused,
    Busy,
};

struct Notification {
    enum class Kind { Other, MuteOff, MuteOn, Call } kind = Kind::Other;
    int32_t callId = 0;  // Kind::Call: the id after "CALL " (0 when none could be read)
    bool hasDisplayName = false;
    std::string_view displayName;  // the rest of the text after " PARTNER_DISPNAME "
    CallStatus status = CallStatus::None;
};

// Classifies `text` by the tests in their fixed order: "MUTE OFF", "MUTE ON" and "CALL " as prefixes without
// regard to case; for a call, the id, then either the display name or the first status phrase that occurs.
// A display name is text chosen by the far end: once " PARTNER_DISPNAME " is found, the rest of the text is
// the name and no status phrase is looked for.
Notification ParseNotification(std::string_view text);

}  // namespace phonedock
