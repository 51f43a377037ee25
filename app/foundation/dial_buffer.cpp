#include "dial_buffer.h"

#include <algorithm>
#include <cstring>

namespace phonedock {

DialBuffer dialBuffer;

bool DialBuffer::Append(char c) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (length_ >= kMaxLength) return false;
    text_[length_] = c;
    ++length_;
    text_[length_] = '\0';
    return true;
}

void DialBuffer::DeleteLast() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (length_ > 0) {
        --length_;
        text_[length_] = '\0';
    }
}

void DialBuffer::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    length_ = 0;
    text_[0] = '\0';
}

void DialBuffer::Replace(const char* text, size_t length) {
    const size_t kept = std::min(length, static_cast<size_t>(kMaxLength));
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(text_, text, kept);
    text_[kept] = '\0';
    length_ = static_cast<int32_t>(kept);
}

DialBuffer::Snapshot DialBuffer::Copy() const {
    Snapshot snapshot;
    std::lock_guard<std::mutex> lock(mutex_);
    std::memcpy(snapshot.text, text_, sizeof(text_));
    snapshot.length = length_;
    return snapshot;
}

}  // namespace phonedock
