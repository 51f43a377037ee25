#include "notification.h"

#include "foundation/text_match.h"

#include <cctype>
#include <limits>

namespace phonedock {
namespace {

constexpr std::string_view kDisplayNameKey = " PARTNER_DISPNAME ";

struct StatusPhrase {
    std::string_view phrase;
    CallStatus status;
};

// The first of these that occurs anywhere in the text decides.
constexpr StatusPhrase kStatusPhrases[] = {
    {" STATUS FAILED", CallStatus::Failed},         {" STATUS ROUTING", CallStatus::Routing},
    {" STATUS UNPLACED", CallStatus::Unplaced},     {" STATUS RINGING", CallStatus::Ringing},
    {" STATUS INPROGRESS", CallStatus::InProgress}, {" STATUS ONHOLD", CallStatus::OnHold},
    {" STATUS FINISHED", CallStatus::Finished},     {" STATUS MISSED", CallStatus::Missed},
    {" STATUS REFUSED", CallStatus::Refused},       {" STATUS BUSY", CallStatus::Busy},
};

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "CALL" with regard to case, white space, an optional sign and decimal digits; nothing after the number
// is looked at. 0 when no number can be read, and for a number beyond 32 bits.
int32_t ReadCallId(std::string_view text) {
    constexpr std::string_view kCall = "CALL";
    if (text.substr(0, kCall.size()) != kCall) return 0;
    size_t i = kCall.size();
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<int32_t>::max()) return 0;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

CallStatus FindStatus(std::string_view text) {
    for (const StatusPhrase& s : kStatusPhrases) {
        if (text.find(s.phrase) != std::string_view::npos) return s.status;
    }
    return CallStatus::None;
}

}  // namespace

Notification ParseNotification(std::string_view text) {
    Notification n;
    if (StartsWithNoCase(text, "MUTE OFF")) {
        n.kind = Notification::Kind::MuteOff;
        return n;
    }
    if (StartsWithNoCase(text, "MUTE ON")) {
        n.kind = Notification::Kind::MuteOn;
        return n;
    }
    if (!StartsWithNoCase(text, "CALL ")) return n;
    n.kind = Notification::Kind::Call;
    n.callId = ReadCallId(text);
    if (n.callId <= 0) return n;
    const size_t key = text.find(kDisplayNameKey);
    if (key != std::string_view::npos) {
        n.hasDisplayName = true;
        n.displayName = text.substr(key + kDisplayNameKey.size());
        return n;
    }
    n.status = FindStatus(text);
    return n;
}

}  // namespace phonedock
