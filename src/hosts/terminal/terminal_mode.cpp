#include "hosts/terminal/terminal_mode.h"

#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace host::terminal::mode {

// Alternate screen (saving the cursor), the window title pushed, cursor hidden, autowrap
// off (the last column never scrolls), mouse presses, drags and releases in the SGR form,
// bracketed paste, Alt as Escape and a key (xterm's own setting saved first: in UTF-8 its
// eight-bit Alt would look like a typed letter), then a clear screen.
const char* const enterSequence =
    "\x1b[?1049h\x1b[22;0t\x1b[?25l\x1b[?7l\x1b[?1002h\x1b[?1006h\x1b[?2004h"
    "\x1b[?1036s\x1b[?1036h\x1b[0m\x1b[H\x1b[2J";
const char* const leaveSequence =
    "\x1b[?1036r\x1b[?2004l\x1b[?1006l\x1b[?1002l\x1b[0m\x1b[?7h\x1b[?25h\x1b[?1049l\x1b[23;0t";

namespace {

// Read by the signal handlers: written only before they are installed, or while the
// terminal is not entered.
int inputFd = -1, outputFd = -1, wakeFd = -1;
termios saved{};
volatile sig_atomic_t entered = 0;
std::atomic<bool> resizedFlag{false}, continuedFlag{false};

constexpr int fatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTERM, SIGHUP, SIGINT, SIGQUIT};
struct sigaction previous[NSIG];

// Only async-signal-safe calls from here down to the handlers.
void writeAll(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(outputFd, text, length);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        length -= size_t(n);
    }
}

void restore() {
    if (!entered) return;
    entered = 0;
    writeAll(leaveSequence, std::strlen(leaveSequence));
    ::tcsetattr(inputFd, TCSANOW, &saved);
}

void wake() {
    if (wakeFd < 0) return;
    const int savedErrno = errno;
    [[maybe_unused]] ssize_t n = ::write(wakeFd, "s", 1);
    errno = savedErrno;
}

void onFatal(int signal) {
    restore();
    // The handler that was there before (the default, or a sanitizer's report) takes over:
    // at once for a signal sent, on return for a fault that happens again.
    ::sigaction(signal, &previous[signal], nullptr);
    ::raise(signal);
}

void onResize(int) {
    resizedFlag.store(true);
    wake();
}

void install(int signal, void (*handler)(int), struct sigaction* old);

void onStop(int) {
    const int savedErrno = errno;
    restore();
    // Stops right here, with the terminal given back, until the shell continues us. A
    // process that no shell could continue (an orphaned process group) is not stopped at
    // all: either way the terminal is taken again after the raise.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGTSTP, &fallback, nullptr);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    ::pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
    ::raise(SIGTSTP);
    install(SIGTSTP, onStop, nullptr);
    continuedFlag.store(true);
    wake();
    errno = savedErrno;
}

void install(int signal, void (*handler)(int), struct sigaction* old) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, old);
}

void onContinue(int) {
    install(SIGTSTP, onStop, nullptr);
    continuedFlag.store(true);
    wake();
}

bool makeRaw(int fd) {
    termios raw = saved;
    raw.c_iflag &= ~tcflag_t(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    raw.c_oflag &= ~tcflag_t(OPOST);
    // No signals from keys: Control+C, Control+Z and Control+\ are the editor's commands.
    raw.c_lflag &= ~tcflag_t(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag &= ~tcflag_t(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    return ::tcsetattr(fd, TCSANOW, &raw) == 0;
}

}  // namespace

bool enter(int input, int output, std::string& error) {
    if (entered) return true;
    if (!::isatty(input)) {
        error = "standard input is no terminal";
        return false;
    }
    if (::tcgetattr(input, &saved) != 0) {
        error = std::string("the terminal's settings cannot be read: ") + std::strerror(errno);
        return false;
    }
    inputFd = input;
    outputFd = output;
    if (!makeRaw(input)) {
        error = std::string("the terminal cannot be switched to raw mode: ") + std::strerror(errno);
        return false;
    }
    entered = 1;
    writeAll(enterSequence, std::strlen(enterSequence));
    return true;
}

void leave() { restore(); }

void reapply() {
    if (inputFd < 0) return;
    termios current{};
    if (::tcgetattr(inputFd, &current) == 0 && !entered) saved = current;
    makeRaw(inputFd);
    entered = 1;
    writeAll(enterSequence, std::strlen(enterSequence));
}

void installSignalHandlers(int fd) {
    wakeFd = fd;
    for (int signal : fatalSignals) install(signal, onFatal, &previous[signal]);
    install(SIGWINCH, onResize, nullptr);
    install(SIGTSTP, onStop, nullptr);
    install(SIGCONT, onContinue, nullptr);
    // A terminal that went away shows as a failed write, not as the end of the process.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

bool takeResized() { return resizedFlag.exchange(false); }
bool takeContinued() { return continuedFlag.exchange(false); }

}  // namespace host::terminal::mode
