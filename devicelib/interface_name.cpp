#include "interface_name.h"

namespace vocetta {
namespace {

unsigned FoldCase(unsigned c) {
    return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c;
}

// Compares the name, one character of `unit` bytes at a time, with the path.
bool NameIs(const uint8_t* name, size_t bytes, size_t unit, std::string_view path) {
    const size_t characters = bytes / unit;
    for (size_t i = 0; i < characters; ++i) {
        unsigned c = name[i * unit];
        if (unit == 2) c |= static_cast<unsigned>(name[i * unit + 1]) << 8;
        if (c == 0) return i == path.size();
        if (i >= path.size() || FoldCase(c) != FoldCase(static_cast<unsigned char>(path[i]))) return false;
    }
    return false;
}

}  // namespace

bool BroadcastNameIs(const uint8_t* name, size_t bytes, std::string_view path) {
    if (name == nullptr || bytes == 0 || path.empty()) return false;
    const bool wide = bytes >= 2 && name[0] != 0 && name[1] == 0;
    return NameIs(name, bytes, wide ? 2 : 1, path);
}

}  // namespace vocetta
