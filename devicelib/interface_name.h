// Telling whether a device-interface broadcast names the handset's own interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vocetta {

// Whether the name that a device-interface broadcast carries (`bytes` bytes from its first character up to
// the end of the broadcast) is `path`, ignoring case. The name is normally in the window's character set,
// but some systems (Wine 8.0) send ANSI windows the UTF-16 form too. A device path in ANSI never has a zero
// second byte, so a name that does is read as UTF-16. A name without its terminator inside `bytes` is no
// match.
bool BroadcastNameIs(const uint8_t* name, size_t bytes, std::string_view path);

}  // namespace vocetta
