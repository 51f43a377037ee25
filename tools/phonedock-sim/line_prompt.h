// A one-line text prompt on the status line (the caller's name for an incoming call): printable keys
// type, Backspace deletes, Enter confirms (an empty answer takes the default), Esc cancels.
#pragma once

#include "input_keys.h"

#include <string>

namespace phonedocksim {

class LinePrompt {
  public:
    enum class State { Editing, Confirmed, Cancelled };
    static constexpr size_t kMaxLength = 40;  // characters, not bytes

    LinePrompt(std::string question, std::string fallback);

    State feed(const InputKey& key);
    // The answer once confirmed: what was typed, or the default when nothing was.
    std::string answer() const;
    // What the status line shows while editing.
    std::string line() const;

  private:
    std::string question_;
    std::string fallback_;
    std::string text_;
};

}  // namespace phonedocksim
