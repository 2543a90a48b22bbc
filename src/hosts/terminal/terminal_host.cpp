#include "hosts/terminal/terminal_host.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/startup.h"
#include "app/threads.h"
#include "display/window.h"
#include "hosts/shared/completion.h"
#include "hosts/shared/folders.h"
#include "hosts/shared/menu_definition.h"
#include "hosts/shared/requests.h"
#include "hosts/terminal/terminal_mode.h"
#include "input/entries.h"
#include "input/mouse.h"

namespace host::terminal {
namespace {

// The editor's cell in points, for the screen size the toolkit asks for.
constexpr double cellWidth = 16, cellHeight = 32;
// Grids larger than this are no text screen a terminal could show.
constexpr int64_t largestGrid = 1000;
// Texts larger than this do not go to the terminal's clipboard: terminals refuse them.
constexpr size_t largestClipboardText = 100000;

// Number of characters of UTF-8 text.
size_t characters(const std::string& text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The text up to `count` characters.
std::string firstCharacters(const std::string& text, size_t count) {
    size_t seen = 0, i = 0;
    for (; i < text.size(); ++i) {
        if ((text[i] & 0xC0) != 0x80) {
            if (seen == count) break;
            ++seen;
        }
    }
    return text.substr(0, i);
}

// Words into lines of at most `width` characters; a longer word is cut.
std::vector<std::string> wrap(const std::string& text, size_t width) {
    std::vector<std::string> lines;
    std::string line;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        std::string word = text.substr(start, end - start);
        start = end + 1;
        if (word.empty()) continue;
        if (!line.empty() && characters(line) + 1 + characters(word) <= width) {
            line += ' ' + word;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line = firstCharacters(word, width);
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

}  // namespace

TerminalOptions optionsFromEnvironment(int inputFd, int outputFd) {
    TerminalOptions options;
    options.inputFd = inputFd;
    options.outputFd = outputFd;
    options.colours = colourModeFor(std::getenv("COLORTERM"));
    // The Linux console and dumb terminals would show the clipboard sequence as text.
    const char* term = std::getenv("TERM");
    options.clipboard = term && *term && std::strcmp(term, "dumb") != 0 && std::strncmp(term, "linux", 5) != 0;
    return options;
}

std::string tooSmallMessage(int columns, int rows, int neededColumns, int neededRows) {
    // No-break spaces keep a size on one line.
    const std::string by = "\u00A0×\u00A0";
    const std::string need = "Ostrakonix braucht ein Terminal mit mindestens " + std::to_string(neededColumns) + by +
                             std::to_string(neededRows) + " Zeichen.";
    const std::string now =
        "Jetzt sind es " + std::to_string(columns) + by + std::to_string(rows) + ": bitte das Fenster vergrößern.";
    std::vector<std::string> lines;
    const size_t width = size_t(std::max(columns, 1));
    for (const std::string& text : {need, now}) {
        auto part = wrap(text, width);
        lines.insert(lines.end(), part.begin(), part.end());
    }
    std::string out = "\x1b[0m\x1b[H\x1b[2J";
    const int top = std::max(0, (rows - int(lines.size())) / 2);
    for (size_t i = 0; i < lines.size() && top + int(i) < std::max(rows, 1); ++i) {
        const int left = std::max(0, (columns - int(characters(lines[i]))) / 2);
        out += "\x1b[" + std::to_string(top + int(i) + 1) + ";" + std::to_string(left + 1) + "H" + lines[i];
    }
    return out;
}

std::string safeTitle(const std::string& title) {
    // Decoded, so that a broken or control character can't end the title sequence early
    // and make the rest of a file name a command to the terminal.
    std::string out;
    size_t count = 0;
    for (size_t i = 0; i < title.size() && count < 200;) {
        const auto lead = static_cast<unsigned char>(title[i]);
        size_t length = lead < 0x80                    ? 1
                        : lead >= 0xC2 && lead <= 0xDF ? 2
                        : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                       : 0;
        if (length == 0 || i + length > title.size()) {
            ++i;
            continue;
        }
        uint32_t c = length == 1 ? lead : lead & (0x7F >> length);
        bool valid = true;
        for (size_t k = 1; k < length; ++k) {
            const auto b = static_cast<unsigned char>(title[i + k]);
            if ((b & 0xC0) != 0x80) valid = false;
            c = c << 6 | (b & 0x3F);
        }
        const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
        if (!valid || overlong || c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0xD800 && c <= 0xDFFF) ||
            c > 0x10FFFF) {
            i += valid ? length : 1;
            continue;
        }
        out.append(title, i, length);
        i += length;
        ++count;
    }
    return out;
}

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t a = static_cast<unsigned char>(bytes[i]);
        const uint32_t b = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
        const uint32_t c = i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0;
        const uint32_t group = a << 16 | b << 8 | c;
        out += digits[group >> 18];
        out += digits[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? digits[group & 63] : '=';
    }
    return out;
}

TerminalHost::TerminalHost(TerminalOptions options)
    : options_(std::move(options)),
      resources_(options_.resourceFolder.empty() ? defaultResourceFolder() : options_.resourceFolder),
      writer_(options_.colours),
      menus_(menuDefinition()) {}

TerminalHost::~TerminalHost() {
    if (hasHost() && &host() == this) setHost(nullptr);
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

int TerminalHost::run(const std::function<void()>& launch, std::string& error) {
    kt::claimThreadNumber(1);
    mainId_.store(std::this_thread::get_id());
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = std::string("no pipe for the main loop: ") + std::strerror(errno);
        return 1;
    }
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
    if (!mode::enter(options_.inputFd, options_.outputFd, error)) return 1;
    mode::installSignalHandlers(wakeWrite_);
    readSize();
    setHost(this);
    launch();
    const int status = loop();
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;
    }
    // What was posted before the end still runs, so that no thread waits for it forever.
    runTasks();
    mode::leave();
    return status;
}

bool TerminalHost::isMainThread() const { return std::this_thread::get_id() == mainId_.load(); }

void TerminalHost::wake() {
    if (wakeWrite_ < 0 || wakePending_.exchange(true)) return;
    [[maybe_unused]] const ssize_t n = ::write(wakeWrite_, "t", 1);
}

void TerminalHost::runOnMainAsync(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) return;
        tasks_.push_back(std::move(fn));
    }
    wake();
}

void TerminalHost::runOnMainSync(const std::function<void()>& fn) {
    if (isMainThread()) {
        fn();
        return;
    }
    auto completion = std::make_shared<Completion>();
    {
        std::lock_guard lock(mutex_);
        if (!accepting_) return;
        tasks_.push_back([&fn, completion] {
            fn();
            completion->finish();
        });
    }
    wake();
    completion->wait();
}

void TerminalHost::runTasks() {
    std::deque<std::function<void()>> tasks;
    {
        std::lock_guard lock(mutex_);
        tasks.swap(tasks_);
    }
    for (auto& task : tasks) task();
}

void TerminalHost::programIdle() {
    // The program has dealt with the input it was given: its answer goes out now rather
    // than with the next refresh.
    if (inputSinceIdle_.exchange(false)) runOnMainAsync([this] { frameWanted_ = true; });
}

void TerminalHost::programEnded() {
    ended_.store(true);
    wake();
}

int TerminalHost::loop() {
    std::vector<Input> inputs;
    auto deliverAll = [&] {
        for (const Input& input : inputs) deliver(input);
        inputs.clear();
    };
    while (!ended_.load()) {
        int timeout = -1;
        if (decoder_.waiting() || decoder_.inPaste()) {
            const auto limit = decoder_.inPaste() ? options_.pasteTimeout : options_.escapeTimeout;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(lastInput_ + limit - Clock::now());
            timeout = int(std::max<int64_t>(0, left.count()));
        }
        pollfd fds[2] = {{options_.inputFd, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) return 1;
        // The pipe is drained before the flag is cleared, and the tasks are taken after both:
        // a task posted before the clearing is taken below, one posted after it writes to
        // the pipe again. (Cleared first, a wake between the clearing and the draining lost
        // its byte and left the flag set, and the loop slept with a task waiting.)
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char drain[256];
            while (::read(wakeRead_, drain, sizeof drain) > 0) {
            }
        }
        wakePending_.store(false);
        if (mode::takeContinued()) {
            mode::reapply();
            writer_.invalidate();
            messageShown_ = false;
            gridShown_ = false;
            readSize();
            frameWanted_ = true;
        }
        if (mode::takeResized()) readSize();
        if (ready > 0 && (fds[0].revents & POLLNVAL)) return 1;
        if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
            if (!readInput()) return 1;
        }
        const auto now = Clock::now();
        if (decoder_.waiting() && now - lastInput_ >= options_.escapeTimeout) decoder_.flush(inputs);
        if (decoder_.inPaste() && now - lastInput_ >= options_.pasteTimeout) decoder_.endPaste(inputs);
        deliverAll();
        runTasks();
        if (frameWanted_ || !pendingOutput_.empty()) drawFrame();
        if (terminalGone_) return 1;
    }
    return 0;
}

bool TerminalHost::readInput() {
    char buffer[4096];
    const ssize_t n = ::read(options_.inputFd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;  // the terminal has gone
    lastInput_ = Clock::now();
    std::vector<Input> inputs;
    decoder_.feed(std::string_view(buffer, size_t(n)), inputs);
    for (const Input& input : inputs) deliver(input);
    return true;
}

void TerminalHost::deliver(const Input& input) {
    if (const auto* key = std::get_if<KeyEvent>(&input)) {
        if (tooSmall()) return;
        viewKeyDown(0, *key);
        viewKeyUp(0);
        // A terminal reports no releases: the modifiers held for the key are let go with it.
        constexpr uint64_t held =
            modifier::shift | modifier::control | modifier::option | modifier::command | modifier::function;
        if (key->modifierFlags & held) viewFlagsChanged(0, 0);
        inputSinceIdle_.store(true);
    } else if (const auto* mouse = std::get_if<MouseInput>(&input)) {
        deliverMouse(*mouse);
    } else if (const auto* paste = std::get_if<PasteInput>(&input)) {
        pasteText_ = paste->text;
    }
}

void TerminalHost::deliverMouse(const MouseInput& mouse) {
    if (mouse.motion) {
        // A move with the button held since a press in the grid: a drag.
        int columns = 0, rows = 0;
        if (!mouseDown_ || messageShown_ || !gridCells(columns, rows)) return;
        viewMouseDragged(0, kt::cellPoint(0, std::clamp(mouse.column - originColumn_, 1, columns),
                                            std::clamp(mouse.row - originRow_, 1, rows)));
        inputSinceIdle_.store(true);
        return;
    }
    if (!mouse.press) {
        if (mouseDown_) {
            viewMouseUp(0);
            mouseDown_ = false;
            inputSinceIdle_.store(true);
        }
        return;
    }
    int columns = 0, rows = 0;
    // The wheel's notches up (64) and down (65) scroll; the middle button and sideways
    // scrolling do nothing.
    if ((mouse.button == 64 || mouse.button == 65) && !messageShown_ && gridCells(columns, rows)) {
        viewScrollWheel(0, mouse.button == 64 ? 1 : -1);
        inputSinceIdle_.store(true);
        return;
    }
    if (mouse.button != 0 && mouse.button != 2) return;
    if (messageShown_ || !gridCells(columns, rows)) return;
    const int column = mouse.column - originColumn_, row = mouse.row - originRow_;
    if (column < 1 || row < 1 || column > columns || row > rows) return;
    MouseEvent event = kt::cellPoint(0, column, row);
    const bool right = mouse.button == 2;
    event.buttons = right ? 2 : 1;
    event.modifierFlags = mouse.modifierFlags;
    viewMouseDown(0, event, right);
    mouseDown_ = true;
    inputSinceIdle_.store(true);
}

void TerminalHost::readSize() {
    winsize size{};
    int columns = 80, rows = 25;
    if ((::ioctl(options_.outputFd, TIOCGWINSZ, &size) == 0 || ::ioctl(options_.inputFd, TIOCGWINSZ, &size) == 0) &&
        size.ws_col > 0 && size.ws_row > 0) {
        columns = size.ws_col;
        rows = size.ws_row;
    }
    if (columns == terminalColumns_ && rows == terminalRows_) return;
    terminalColumns_ = columns;
    terminalRows_ = rows;
    // The terminal may have moved or cut what it showed: everything is drawn anew.
    writer_.invalidate();
    messageShown_ = false;
    gridShown_ = false;
    frameWanted_ = true;
}

bool TerminalHost::gridCells(int& columns, int& rows) {
    if (!shown_ || !kt::memoryReady()) return false;
    const t_Window& w = kt::windowRecord(0);
    if (!w.Initialized || w.TextMemoryStart < 0) return false;
    const int64_t width = w.TextWidth, height = w.TextHeight, start = w.TextMemoryStart, half = kt::textHalf(w);
    if (width < 1 || height < 1 || width > largestGrid || height > largestGrid || width * height > half) return false;
    const std::vector<uint8_t>& memory = kt::display().memory;
    if (start + half + width * height > int64_t(memory.size())) return false;
    cells_.resize(size_t(width * height));
    const uint8_t* codes = memory.data() + start;
    const uint8_t* colours = codes + half;
    for (size_t i = 0; i < cells_.size(); ++i) cells_[i] = Cell{codes[i], colours[i]};
    columns = int(width);
    rows = int(height);
    return true;
}

void TerminalHost::drawFrame() {
    frameWanted_ = false;
    std::string out;
    out.swap(pendingOutput_);
    int columns = 0, rows = 0;
    const bool grid = gridCells(columns, rows);
    neededColumns_ = grid ? columns : 80;
    neededRows_ = grid ? rows : 25;
    if (tooSmall()) {
        if (!messageShown_) {
            out += tooSmallMessage(terminalColumns_, terminalRows_, neededColumns_, neededRows_);
            messageShown_ = true;
            gridShown_ = false;
            writer_.invalidate();
        }
    } else if (grid) {
        originRow_ = (terminalRows_ - rows) / 2;
        originColumn_ = (terminalColumns_ - columns) / 2;
        writer_.setOrigin(originRow_, originColumn_);
        writer_.frame(cells_, columns, rows, out);
        messageShown_ = false;
        gridShown_ = true;
    } else if (gridShown_ || messageShown_) {
        writer_.clear(out);
        writer_.invalidate();
        messageShown_ = gridShown_ = false;
    }
    if (!out.empty() && !writeAll(out)) terminalGone_ = true;
}

bool TerminalHost::writeAll(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(options_.outputFd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd out{options_.outputFd, POLLOUT, 0};
            ::poll(&out, 1, 100);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

Rect TerminalHost::windowFrame(int number) const { return number == 0 ? frame_ : Rect{}; }

void TerminalHost::setWindowFrame(int number, const Rect& frame) {
    if (number == 0) frame_ = frame;
}

void TerminalHost::setViewFrame(int, const Rect&) {}

std::string TerminalHost::windowTitle(int number) const { return number == 0 ? title_ : std::string(); }

void TerminalHost::setWindowTitle(int number, const std::string& title) {
    if (number != 0 || title == title_) return;
    title_ = title;
    pendingOutput_ += "\x1b]2;" + safeTitle(title) + "\x07";
}

void TerminalHost::orderFront(int number) {
    if (number != 0 || shown_) return;
    shown_ = true;
    frameWanted_ = true;
}

void TerminalHost::orderOut(int number) {
    if (number != 0 || !shown_) return;
    shown_ = false;
    frameWanted_ = true;
}

void TerminalHost::centerWindow(int number) {
    if (number != 0) return;
    const Size screen = screenSize(0);
    frame_.x = (screen.width - frame_.width) / 2;
    frame_.y = (screen.height - frame_.height) / 2;
}

Size TerminalHost::screenSize(int) const { return {terminalColumns_ * cellWidth, terminalRows_ * cellHeight}; }

void TerminalHost::setNeedsDisplay(int number) {
    if (number == 0) frameWanted_ = true;
}

void TerminalHost::displayNow(int number) {
    if (number == 0) drawFrame();
}

void TerminalHost::pasteboardClear() { pasteText_.reset(); }

void TerminalHost::pasteboardSetText(const std::string& text) {
    pasteText_ = text;
    if (options_.clipboard && text.size() <= largestClipboardText)
        pendingOutput_ += "\x1b]52;c;" + base64(text) + "\x07";
}

void TerminalHost::playAlert() {
    // Any thread may ring; one bell at a time.
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
    int64_t last = lastAlert_.load();
    do {
        if (last != 0 && now - last < 300) return;
    } while (!lastAlert_.compare_exchange_weak(last, now));
    runOnMainAsync([this] { pendingOutput_ += '\a'; });
}

std::string TerminalHost::standardFolder(Folder folder) const { return userFolder(folder); }

int runTerminal(const TerminalOptions& options, std::function<void()> program,
                const std::vector<std::string>& openPaths, std::string& error) {
    // The host outlives this call: the program thread and the update thread may still ask
    // it for something while the process ends.
    auto* terminal = new TerminalHost(options);
    bool launched = false;
    const int status = terminal->run(
        [&] {
            app::applicationWillFinishLaunching();
            // Files named on the command line are requests that wait for the program.
            for (const std::string& path : openPaths) f_FileEventHandler(path, commandLineRequest(path));
            app::applicationDidFinishLaunching(std::move(program));
            launched = true;
        },
        error);
    if (launched) app::applicationWillTerminate();
    return status;
}

}  // namespace host::terminal
