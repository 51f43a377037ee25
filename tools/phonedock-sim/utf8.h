// UTF-8 as the simulator needs it: encoding a character the terminal library decoded, and measuring and
// trimming text without splitting a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace phonedocksim {

// `code` as UTF-8; a value that is no character (a surrogate, beyond U+10FFFF) becomes U+FFFD.
std::string encodeUtf8(char32_t code);

// The length of the whole UTF-8 sequence at the start of `text`, or 0 when it is not one (a stray
// continuation byte, an invalid lead byte, or a sequence cut off by the end of `text`).
size_t utf8SequenceLength(std::string_view text);

// The character the UTF-8 sequence at the start of `text` encodes; U+FFFD when there is no whole sequence
// there (utf8SequenceLength is 0).
char32_t decodeUtf8(std::string_view text);

// The number of characters in `text`, each invalid byte counting as one.
size_t utf8Length(std::string_view text);

// How many bytes the first `characters` characters of `text` take (all of `text` when it has fewer).
size_t utf8Prefix(std::string_view text, size_t characters);

// Removes the last character of `text` (all of its bytes); nothing when `text` is empty.
void popUtf8(std::string& text);

}  // namespace phonedocksim
