// The terminal in interactive mode: raw input without echo, the alternate screen, a hidden cursor, and
// their restoration whatever way the simulator ends: normally, by an exception, by std::terminate, or by
// SIGINT, SIGTERM or SIGHUP (the first asks the loop to stop cleanly; a second one restores the terminal
// and ends the process at once, for a shutdown that hangs).
#pragma once

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
    // What the user typed, waiting at most `timeout` for the first byte; empty when nothing came or a
    // signal arrived.
    std::string read(std::chrono::milliseconds timeout);
    // Shows `lines` from the top left; the whole screen is cleared first when `clear` is set.
    void draw(const std::vector<std::string>& lines, bool clear);

    // Consumes the "terminal was resized" mark (SIGWINCH).
    static bool takeResized();
    // SIGINT, SIGTERM or SIGHUP arrived.
    static bool stopRequested();
    // The signal that asked to stop, or 0 (none, or the terminal went away).
    static int stopSignal();
};

}  // namespace phonedocksim
