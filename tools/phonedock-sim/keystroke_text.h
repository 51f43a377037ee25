// The keystrokes the program injects for the foreground window, read back as what they type on a US
// layout: digits, '*' and '#' (Shift with 8 and 3), and the named keys as <Enter>, <Esc>, <Up>, <Down>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace phonedocksim {

class KeystrokeReader {
  public:
    // One injected key event; answers the text it types (presses only, Shift taken into account).
    std::optional<std::string> feed(uint8_t virtualKey, bool keyUp);

  private:
    bool leftShift_ = false;
    bool rightShift_ = false;
};

}  // namespace phonedocksim
