// curses for the screen and the keys; termios and signals for restoring the terminal where curses cannot
// be called (a signal handler, std::terminate, quick_exit).
#include "terminal.h"

#include "utf8.h"

#include <atomic>
#include <cerrno>
#include <clocale>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <exception>
#include <stdexcept>

#include <curses.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace phonedocksim {
namespace {

// Shared with the signal handlers, which may run on any of the process's threads: lock-free atomics,
// data written before they are installed, and async-signal-safe calls only.
termios savedMode{};
char leaveSequence[256] = {};  // what endwin would send: attributes off, cursor shown, keypad and screen left
size_t leaveLength = 0;
std::atomic<bool> active{false};
std::atomic<bool> resized{false};
std::atomic<int> stopSignals{0};
std::atomic<int> lastStopSignal{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);
std::terminate_handler previousTerminate = nullptr;
SCREEN* screen = nullptr;

constexpr int kEscapeDelayMs = 25;  // how long a lone ESC waits for the rest of a sequence

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

// The terminal description's strings for leaving, read once while curses runs, so that a signal handler
// can send them without curses.
void prepareLeaveSequence() {
    leaveLength = 0;
    for (const char* capability : {"sgr0", "cnorm", "rmkx", "rmcup"}) {
        const char* text = tigetstr(capability);
        if (text == nullptr || text == reinterpret_cast<char*>(-1)) continue;
        const size_t length = std::strlen(text);
        if (leaveLength + length > sizeof leaveSequence) break;
        std::memcpy(leaveSequence + leaveLength, text, length);
        leaveLength += length;
    }
}

// Async-signal-safe: write and tcsetattr only. curses is not told; the process is about to end.
void restoreNow() {
    if (!active.exchange(false)) return;
    writeAll(leaveSequence, leaveLength);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedMode);
}

void onStopSignal(int signal) {
    lastStopSignal = signal;
    if (stopSignals.fetch_add(1) > 0) {
        restoreNow();
        _exit(128 + signal);
    }
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

enum Pair : short { kFramePair = 1, kLcdPair, kLcdLitPair, kHelpPair, kStatusPair };

void setUpColours() {
    if (!has_colors() || start_color() == ERR) return;
    use_default_colors();  // -1: the terminal's own colours
    init_pair(kFramePair, COLOR_CYAN, -1);
    init_pair(kLcdPair, COLOR_GREEN, -1);
    init_pair(kLcdLitPair, COLOR_BLACK, COLOR_GREEN);
    init_pair(kHelpPair, COLOR_CYAN, -1);
    init_pair(kStatusPair, COLOR_YELLOW, -1);
}

attr_t attributes(LineStyle style) {
    const bool colour = has_colors();
    const auto pair = [&](Pair p, attr_t without) {
        return colour ? static_cast<attr_t>(COLOR_PAIR(p)) : without;
    };
    switch (style) {
        case LineStyle::Plain: return A_NORMAL;
        case LineStyle::Title: return A_BOLD | A_REVERSE;
        case LineStyle::LcdFrame: return pair(kFramePair, A_NORMAL);
        case LineStyle::Lcd: return pair(kLcdPair, A_NORMAL);
        case LineStyle::LcdLit: return pair(kLcdLitPair, A_REVERSE);
        case LineStyle::Heading: return A_BOLD;
        case LineStyle::Help: return pair(kHelpPair, A_NORMAL);
        case LineStyle::Status: return pair(kStatusPair, A_NORMAL) | A_BOLD;
    }
    return A_NORMAL;
}

// `text` as wide characters, cut to `columns` screen columns (a character too wide for the rest is left
// out); an invalid byte shows as '?'.
std::wstring fitted(std::string_view text, int columns) {
    std::wstring wide;
    int used = 0;
    while (!text.empty()) {
        const size_t length = utf8SequenceLength(text);
        wchar_t c = length == 0 ? L'?' : static_cast<wchar_t>(decodeUtf8(text));
        text.remove_prefix(length == 0 ? 1 : length);
        const int width = wcwidth(c);
        if (width < 0) c = L'?';
        if (used + std::max(width, 1) > columns) break;
        wide += c;
        used += std::max(width, 0);
    }
    return wide;
}

void drawText(int row, int column, std::string_view text, int columns, attr_t attribute) {
    if (columns <= 0) return;
    attrset(attribute);
    const std::wstring wide = fitted(text, columns);
    mvaddnwstr(row, column, wide.c_str(), static_cast<int>(wide.size()));
}

// The LCD's frame in line-drawing characters: "+---+" above and below, "| ... |" beside its rows.
void drawFramed(int row, const std::string& line, LineStyle style, bool top, int columns) {
    const attr_t frame = attributes(LineStyle::LcdFrame);
    const int width = std::min(static_cast<int>(line.size()), columns);
    if (width < 2) return drawText(row, 0, line, columns, attributes(style));
    attrset(frame);
    if (style == LineStyle::LcdFrame) {
        mvaddch(row, 0, top ? ACS_ULCORNER : ACS_LLCORNER);
        mvhline(row, 1, ACS_HLINE, width - 2);
        mvaddch(row, width - 1, top ? ACS_URCORNER : ACS_LRCORNER);
        return;
    }
    mvaddch(row, 0, ACS_VLINE);
    drawText(row, 1, std::string_view(line).substr(1, static_cast<size_t>(width) - 2), width - 2,
             attributes(style));
    attrset(frame);
    mvaddch(row, width - 1, ACS_VLINE);
}

}  // namespace

bool Terminal::available() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1;
}

Terminal::Terminal() {
    if (!available()) throw std::runtime_error("standard input and output must be a terminal");
    if (tcgetattr(STDIN_FILENO, &savedMode) != 0) throw std::runtime_error("cannot read the terminal's mode");
    // The character type only, for UTF-8: the program under winsim keeps the "C" conventions of numbers,
    // dates and collation a Windows program starts with.
    std::setlocale(LC_CTYPE, "");
    // Ours before curses starts, so that it leaves them alone; it installs its own for SIGWINCH.
    stopSignals = 0;
    install(SIGINT, onStopSignal);
    install(SIGTERM, onStopSignal);
    install(SIGHUP, onStopSignal);
    screen = newterm(nullptr, stdout, stdin);
    if (screen == nullptr) throw std::runtime_error("cannot start curses on this terminal (is TERM set?)");
    cbreak();  // Ctrl-C still raises SIGINT
    noecho();
    nonl();
    intrflush(stdscr, FALSE);
    keypad(stdscr, TRUE);
    nodelay(stdscr, TRUE);
    set_escdelay(kEscapeDelayMs);
    curs_set(0);
    leaveok(stdscr, TRUE);
    setUpColours();
    // No Ctrl-S/Ctrl-Q flow control, kept as the program's mode.
    termios mode{};
    if (tcgetattr(STDIN_FILENO, &mode) == 0) {
        mode.c_iflag &= static_cast<tcflag_t>(~IXON);
        tcsetattr(STDIN_FILENO, TCSANOW, &mode);
        def_prog_mode();
    }
    prepareLeaveSequence();
    active = true;
    previousTerminate = std::set_terminate(onTerminate);
    static const bool registered = std::at_quick_exit(restoreAtQuickExit) == 0;
    (void)registered;
    refresh();
}

Terminal::~Terminal() {
    restore();
}

void Terminal::restore() {
    if (!active.exchange(false)) return;
    endwin();
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedMode);
    delscreen(screen);
    screen = nullptr;
    std::signal(SIGWINCH, SIG_DFL);
}

Terminal::Size Terminal::size() const {
    int rows = 0;
    int columns = 0;
    getmaxyx(stdscr, rows, columns);
    return Size{columns, rows};
}

std::vector<InputKey> Terminal::read(std::chrono::milliseconds timeout) {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&input, 1, static_cast<int>(timeout.count()));
    // Read even after a time-out or a signal: curses reports a resize as a key on the next read.
    std::vector<LibraryInput> items;
    for (;;) {
        wint_t code = 0;
        const int kind = get_wch(&code);
        if (kind == ERR) break;
        if (kind == KEY_CODE_YES && code == KEY_RESIZE) {
            resized = true;
            continue;
        }
        LibraryInput item;
        item.functionKey = kind == KEY_CODE_YES;
        item.code = static_cast<int>(code);
        if (item.functionKey) {
            const char* name = keyname(item.code);
            item.name = name ? name : "";
        }
        items.push_back(std::move(item));
    }
    // The terminal went away: treat it as a request to stop.
    if (ready > 0 && (input.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) ++stopSignals;
    return decodeLibraryInput(items);
}

void Terminal::draw(const std::vector<std::string>& lines, const std::vector<LineStyle>& styles) {
    const Size screenSize = size();
    erase();  // only curses' picture of the screen: refresh sends what differs from what is shown
    bool lcdOpen = false;
    for (size_t i = 0; i < lines.size() && static_cast<int>(i) < screenSize.rows; ++i) {
        const int row = static_cast<int>(i);
        const LineStyle style = i < styles.size() ? styles[i] : LineStyle::Plain;
        switch (style) {
            case LineStyle::LcdFrame:
                drawFramed(row, lines[i], style, !lcdOpen, screenSize.columns);
                lcdOpen = !lcdOpen;
                break;
            case LineStyle::Lcd:
            case LineStyle::LcdLit: drawFramed(row, lines[i], style, false, screenSize.columns); break;
            default: drawText(row, 0, lines[i], screenSize.columns, attributes(style)); break;
        }
    }
    attrset(A_NORMAL);
    refresh();
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
