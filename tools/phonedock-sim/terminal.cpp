// termios, ANSI sequences and signals.
#include "terminal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace phonedocksim {
namespace {

// Shared with the signal handlers, which may run on any of the process's threads: lock-free atomics and
// async-signal-safe calls only.
termios savedMode{};
std::atomic<bool> active{false};
std::atomic<bool> resized{false};
std::atomic<int> stopSignals{0};
std::atomic<int> lastStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
std::terminate_handler previousTerminate = nullptr;

constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[2J\x1b[H";  // alternate screen, hide cursor, clear
constexpr char kLeave[] = "\x1b[0m\x1b[?25h\x1b[?1049l";        // attributes, show cursor, main screen

void writeAll(const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
}

// Async-signal-safe: write and tcsetattr only.
void restoreNow() {
    if (!active.exchange(false)) return;
    writeAll(kLeave, sizeof kLeave - 1);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedMode);
}

void onStopSignal(int signal) {
    lastStopSignal = signal;
    if (stopSignals.fetch_add(1) > 0) {
        restoreNow();
        _exit(128 + signal);
    }
}

void onResize(int) {
    resized = true;
}

void restoreAtQuickExit() {
    restoreNow();
}

void onTerminate() {
    restoreNow();
    if (previousTerminate) previousTerminate();
    std::abort();
}

void install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a signal wakes the loop's poll
    sigaction(signal, &action, nullptr);
}

}  // namespace

bool Terminal::available() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1;
}

Terminal::Terminal() {
    if (!available()) throw std::runtime_error("standard input and output must be a terminal");
    if (tcgetattr(STDIN_FILENO, &savedMode) != 0) throw std::runtime_error("cannot read the terminal's mode");
    termios raw = savedMode;
    // No echo, no line editing, no Ctrl-S/Ctrl-Q flow control, CR as typed; Ctrl-C still raises SIGINT.
    raw.c_lflag &= static_cast<tcflag_t>(~(ECHO | ICANON | IEXTEN));
    raw.c_iflag &= static_cast<tcflag_t>(~(IXON | ICRNL));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSAFLUSH, &raw) != 0)
        throw std::runtime_error("cannot set the terminal's mode");
    active = true;
    stopSignals = 0;
    install(SIGINT, onStopSignal);
    install(SIGTERM, onStopSignal);
    install(SIGHUP, onStopSignal);
    install(SIGWINCH, onResize);
    previousTerminate = std::set_terminate(onTerminate);
    static const bool registered = std::at_quick_exit(restoreAtQuickExit) == 0;
    (void)registered;
    writeAll(kEnter, sizeof kEnter - 1);
}

Terminal::~Terminal() {
    restore();
}

void Terminal::restore() {
    restoreNow();
    std::signal(SIGWINCH, SIG_DFL);
}

Terminal::Size Terminal::size() const {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return Size{80, 24};
    return Size{size.ws_col, size.ws_row};
}

std::string Terminal::read(std::chrono::milliseconds timeout) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (poll(&input, 1, static_cast<int>(timeout.count())) <= 0) return {};
    char buffer[256];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0) {
        // The terminal went away (end of input): treat it as a request to stop.
        if (count == 0 || (errno != EINTR && errno != EAGAIN)) ++stopSignals;
        return {};
    }
    return std::string(buffer, static_cast<size_t>(count));
}

void Terminal::draw(const std::vector<std::string>& lines, bool clear) {
    std::string frame = clear ? "\x1b[2J\x1b[H" : "\x1b[H";
    for (size_t i = 0; i < lines.size(); ++i) {
        frame += lines[i];
        frame += "\x1b[K";
        if (i + 1 < lines.size()) frame += "\r\n";
    }
    writeAll(frame.data(), frame.size());
}

bool Terminal::takeResized() {
    return resized.exchange(false);
}

bool Terminal::stopRequested() {
    return stopSignals > 0;
}

int Terminal::stopSignal() {
    return lastStopSignal;
}

}  // namespace phonedocksim
