// What the handset's display shows when it shows text: the characters dialled on the keypad, or the
// caller's display name. The reader thread (keys) and the main thread (call tracker, timer) both edit it, so
// every operation keeps the invariant under one lock: at most 999 characters, the terminator inside the
// 1000 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace phonedock {

class DialBuffer {
  public:
    static constexpr size_t kCapacity = 1000;
    static constexpr int32_t kMaxLength = static_cast<int32_t>(kCapacity) - 1;

    struct Snapshot {
        char text[kCapacity];
        int32_t length;
    };

    // Appends one character while fewer than 999 are stored; answers whether it was stored.
    bool Append(char c);
    // Removes the last character, if any.
    void DeleteLast();
    void Clear();
    // Replaces the text with up to 999 characters of `text`, which need not be terminated within `length`.
    void Replace(const char* text, size_t length);
    // A consistent copy, for the display.
    Snapshot Copy() const;

  private:
    mutable std::mutex mutex_;
    char text_[kCapacity] = {};
    int32_t length_ = 0;
};

extern DialBuffer dialBuffer;

}  // namespace phonedock
