// The DialBuffer under any sequence of edits: it always holds what a plain string would, cut to 999
// characters, with its terminator.
#include "foundation/dial_buffer.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

using phonedock::DialBuffer;

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void RequireHolds(const DialBuffer& buffer, const std::string& expected) {
    const DialBuffer::Snapshot shown = buffer.Copy();
    Require(shown.length >= 0 && shown.length <= DialBuffer::kMaxLength);
    Require(shown.text[shown.length] == '\0');
    Require(std::string(shown.text, static_cast<size_t>(shown.length)) == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    DialBuffer buffer;
    std::string expected;
    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {
                const char c = input.ConsumeIntegral<char>();
                const bool stored = buffer.Append(c);
                Require(stored == (expected.size() < DialBuffer::kMaxLength));
                if (stored) expected += c;
                break;
            }
            case 1:
                buffer.DeleteLast();
                if (!expected.empty()) expected.pop_back();
                break;
            case 2:
                buffer.Clear();
                expected.clear();
                break;
            case 3: {
                // A caller's name: any bytes, any length, no terminator of its own.
                const std::string name = input.ConsumeRandomLengthString(3000);
                auto exact = std::make_unique<char[]>(name.size());
                std::memcpy(exact.get(), name.data(), name.size());
                buffer.Replace(exact.get(), name.size());
                expected = name.substr(0, DialBuffer::kMaxLength);
                break;
            }
            case 4:
                // Many keys at once, to reach the full buffer quickly.
                for (int i = input.ConsumeIntegralInRange<int>(0, 1100); i > 0; --i) {
                    if (buffer.Append('7')) expected += '7';
                }
                break;
        }
        RequireHolds(buffer, expected);
    }
    return 0;
}
