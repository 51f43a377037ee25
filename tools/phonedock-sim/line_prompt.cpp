// The status-line prompt.
#include "line_prompt.h"

#include "utf8.h"

namespace phonedocksim {

LinePrompt::LinePrompt(std::string question, std::string fallback)
    : question_(std::move(question)), fallback_(std::move(fallback)) {}

LinePrompt::State LinePrompt::feed(const InputKey& key) {
    switch (key.kind) {
        case InputKey::Kind::Enter: return State::Confirmed;
        case InputKey::Kind::Escape:
        case InputKey::Kind::Interrupt: return State::Cancelled;
        case InputKey::Kind::Backspace: popUtf8(text_); return State::Editing;
        case InputKey::Kind::Character:
            if (utf8Length(text_) < kMaxLength) text_ += key.raw;
            return State::Editing;
        default: return State::Editing;
    }
}

std::string LinePrompt::answer() const {
    return text_.empty() ? fallback_ : text_;
}

std::string LinePrompt::line() const {
    return question_ + " (Enter: " + fallback_ + ", Esc: cancel): " + text_ + "_";
}

}  // namespace phonedocksim
