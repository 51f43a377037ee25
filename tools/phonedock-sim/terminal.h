// The terminal in interactive mode, through curses: keys without echo (UTF-8 and the function keys decoded
// by the library), the alternate screen, a hidden cursor, redraws that send only what changed, and the
// terminal's restoration whatever way the simulator ends: normally, by an exception, by std::terminate, or
// by SIGINT, SIGTERM or SIGHUP (the first asks the loop to stop cleanly; a second one restores the terminal
// and ends the process at once, for a shutdown that hangs).
#pragma once

#include "input_keys.h"
#include "screen_style.h"

#include <chrono>
#include <string>
#include <vector>

namespace phonedocksim {

class Terminal {
  public:
    struct Size {
        int columns = 0;
        int rows = 0;
    };

    // Both standard input and output are terminals.
    static bool available();

    // Takes over the terminal; throws std::runtime_error when it cannot.
    Terminal();
    ~Terminal();  // restore()
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    // Puts the terminal back as it was; safe to call more than once.
    void restore();

    Size size() const;
    // The keys typed, waiting at most `timeout` for the first; empty when nothing came, the terminal was
    // resized or a signal arrived.
    std::vector<InputKey> read(std::chrono::milliseconds timeout);
    // Shows `lines` from the top left, each in its style, and the rest of the screen empty.
    void draw(const std::vector<std::string>& lines, const std::vector<LineStyle>& styles);

    // Consumes the "terminal was resized" mark.
    static bool takeResized();
    // SIGINT, SIGTERM or SIGHUP arrived.
    static bool stopRequested();
    // The signal that asked to stop, or 0 (none, or the terminal went away).
    static int stopSignal();
};

}  // namespace phonedocksim
