// The texts of the Skype commands a digit key draws, as the benchmarks count them.
#pragma once

#include <string>

namespace winebench {

// "BTN_PRESSED 7": built by appending, which the i686 compiler's overlap check does not misread.
inline std::string Button(const char* action, int digit) {
    std::string text = action;
    text += ' ';
    text += static_cast<char>('0' + digit);
    return text;
}

inline std::string Digit(int digit) {
    return std::string(1, static_cast<char>('0' + digit));
}

}  // namespace winebench
