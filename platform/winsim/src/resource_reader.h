// Reading the binary resource formats (resource files, string tables, icon directories, menu and dialog
// templates): little-endian words, UTF-16 texts and "ordinal or name" fields, every read checked against
// the end of the data. Needs no lock.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace winsim::detail {

// A UTF-16 text in the ANSI code page. Simplification: the code page is ASCII; other characters become '?'.
inline std::string ansiFromUtf16(const std::u16string& text) {
    std::string ansi;
    ansi.reserve(text.size());
    for (char16_t c : text) ansi.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return ansi;
}

// A resource type or name, or a template's class or title field: an ordinal or a text.
struct ResourceName {
    bool isOrdinal = false;
    WORD ordinal = 0;
    std::u16string text;
};

class ResourceReader {
  public:
    ResourceReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    // False once a read has run past the end; every later read then yields zeros and empty texts.
    bool ok() const { return ok_; }
    size_t position() const { return position_; }
    size_t remaining() const { return ok_ ? size_ - position_ : 0; }
    const uint8_t* here() const { return data_ + position_; }

    void skip(size_t n) {
        if (ensure(n)) position_ += n;
    }
    // Moves on to the next multiple of `boundary` bytes, counted from `origin`.
    void align(size_t boundary, size_t origin = 0) {
        const size_t offset = (position_ - origin) % boundary;
        if (offset != 0) skip(boundary - offset);
    }

    uint8_t byte() { return static_cast<uint8_t>(read(1)); }
    WORD word() { return static_cast<WORD>(read(2)); }
    DWORD dword() { return static_cast<DWORD>(read(4)); }
    short signedWord() { return static_cast<short>(word()); }

    // A NUL-terminated UTF-16 text.
    std::u16string text() {
        std::u16string s;
        for (;;) {
            const WORD c = word();
            if (!ok_ || c == 0) return s;
            s.push_back(static_cast<char16_t>(c));
        }
    }

    // 0xFFFF and an ordinal, or a NUL-terminated text (a lone NUL: an empty text).
    ResourceName nameOrOrdinal() {
        ResourceName name;
        const size_t start = position_;
        if (word() == 0xFFFF) {
            name.isOrdinal = true;
            name.ordinal = word();
            return name;
        }
        if (ok_) position_ = start;
        name.text = text();
        return name;
    }

  private:
    bool ensure(size_t n) {
        if (ok_ && n <= size_ - position_) return true;
        ok_ = false;
        return false;
    }
    uint32_t read(size_t n) {
        if (!ensure(n)) return 0;
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(data_[position_ + i]) << (8 * i);
        position_ += n;
        return v;
    }

    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
    bool ok_ = true;
};

}  // namespace winsim::detail
