// UTF-8 encoding, decoding and measuring.
#include "utf8.h"

namespace phonedocksim {
namespace {

bool continuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string encodeUtf8(char32_t code) {
    if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) code = 0xFFFD;
    std::string text;
    if (code < 0x80) {
        text += static_cast<char>(code);
    } else if (code < 0x800) {
        text += static_cast<char>(0xC0 | (code >> 6));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        text += static_cast<char>(0xE0 | (code >> 12));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (code >> 18));
        text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (code & 0x3F));
    }
    return text;
}

size_t utf8SequenceLength(std::string_view text) {
    if (text.empty()) return 0;
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        if (!continuation(static_cast<unsigned char>(text[i]))) return 0;
    }
    return length;
}

char32_t decodeUtf8(std::string_view text) {
    const size_t length = utf8SequenceLength(text);
    if (length == 0) return U'\uFFFD';
    if (length == 1) return static_cast<unsigned char>(text[0]);
    char32_t code = static_cast<unsigned char>(text[0]) & (0xFF >> (length + 1));
    for (size_t i = 1; i < length; ++i) code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
    return code;
}

size_t utf8Length(std::string_view text) {
    size_t count = 0;
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        text.remove_prefix(length == 0 ? 1 : length);
        ++count;
    }
    return count;
}

size_t utf8Prefix(std::string_view text, size_t characters) {
    size_t bytes = 0;
    for (; characters > 0 && bytes < text.size(); --characters) {
        const size_t length = utf8SequenceLength(text.substr(bytes));
        bytes += length == 0 ? 1 : length;
    }
    return bytes;
}

void popUtf8(std::string& text) {
    if (text.empty()) return;
    size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && continuation(static_cast<unsigned char>(text[start])))
        --start;
    // Only a whole sequence goes at once; a stray byte goes alone.
    if (utf8SequenceLength(std::string_view(text).substr(start)) != text.size() - start)
        start = text.size() - 1;
    text.erase(start);
}

}  // namespace phonedocksim
