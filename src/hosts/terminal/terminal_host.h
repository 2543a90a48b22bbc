// The terminal host: graphic window 0 shown in the text terminal the program runs in, for
// machines without a display and work over SSH. The thread that runs it is the main thread:
// one loop reads the terminal's input, runs the tasks posted to the main thread and writes
// the frames. Only window 0 exists, with its view; windows 1 to 7 (no view to show them),
// the side windows 8 to 10 and the windows 11 and 12 do not, and panels answer as cancelled.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "hosts/terminal/input_decoder.h"
#include "hosts/terminal/screen_writer.h"

namespace host::terminal {

struct TerminalOptions {
    int inputFd = 0;
    int outputFd = 1;
    ColourMode colours = ColourMode::xterm256;
    // Copies to the pasteboard also go to the terminal's clipboard (OSC 52).
    bool clipboard = true;
    // How long the rest of an escape sequence may take before a lone Escape is a key. A
    // terminal sends a key's sequence in one write, so it arrives whole even over SSH.
    std::chrono::milliseconds escapeTimeout{50};
    // How long a bracketed paste may pause before it counts as ended: long, since what
    // follows a paste ended too early would be typed into the file.
    std::chrono::milliseconds pasteTimeout{5000};
    std::string resourceFolder;  // empty: the default
};

// The options for the terminal on standard input and output: colours from COLORTERM, the
// clipboard where TERM names a terminal that takes it.
TerminalOptions optionsFromEnvironment(int inputFd, int outputFd);

class TerminalHost : public Host {
public:
    explicit TerminalHost(TerminalOptions options);
    ~TerminalHost() override;

    // Serves the main thread on the calling thread: sets the terminal up, runs launch, then
    // input, tasks and frames until the program has ended, and restores the terminal.
    // Returns 0 at the program's end, 1 when the terminal could not be set up (error says
    // why) or went away.
    int run(const std::function<void()>& launch, std::string& error);

    bool isMainThread() const override;
    void runOnMainSync(const std::function<void()>& fn) override;
    void runOnMainAsync(std::function<void()> fn) override;
    void programIdle() override;
    void programEnded() override;

    bool hasWindow(int number) const override { return number == 0; }
    bool hasView(int number) const override { return number == 0; }
    bool hasTextView(int) const override { return false; }
    Rect windowFrame(int number) const override;
    void setWindowFrame(int number, const Rect& frame) override;
    void setViewFrame(int number, const Rect& frame) override;
    std::string windowTitle(int number) const override;
    void setWindowTitle(int number, const std::string& title) override;
    void setWindowTitled(int, bool) override {}
    bool windowShown(int number) const override { return number == 0 && shown_; }
    void orderFront(int number) override;
    void orderOut(int number) override;
    void makeKey(int) override {}
    void centerWindow(int number) override;
    void setWindowBackground(int, const Color&) override {}
    Size screenSize(int number) const override;
    int mainWindowNumber() const override { return shown_ ? 0 : 255; }
    double titleBarHeight() const override { return 0; }
    void setNeedsDisplay(int number) override;
    void displayNow(int number) override;
    std::string textViewText(int) const override { return {}; }
    void setTextViewText(int, const std::string&) override {}
    void prepareTextView(int) override {}

    std::vector<Menu>& menuBar() override { return menus_; }

    void pasteboardClear() override;
    void pasteboardSetText(const std::string& text) override;
    std::optional<std::string> pasteboardText() const override { return pasteText_; }
    void pasteboardSetImage(const Image&) override {}

    std::vector<std::string> runOpenPanel(const OpenPanelRequest&) override { return {}; }
    std::string runSavePanel(const SavePanelRequest&) override { return {}; }
    bool hasPanels() const override { return false; }

    void playAlert() override;

    std::string standardFolder(Folder folder) const override;
    std::string resourceFolder() const override { return resources_; }
    std::string applicationName() const override { return "Ostrakonix"; }

private:
    using Clock = std::chrono::steady_clock;

    int loop();
    void wake();
    void runTasks();
    // Reads what the terminal sent; false when it has gone away.
    bool readInput();
    void deliver(const Input& input);
    void deliverMouse(const MouseInput& mouse);
    void readSize();
    // The cells of window 0 to show, when it is set up and shown.
    bool gridCells(int& columns, int& rows);
    void drawFrame();
    bool writeAll(const std::string& bytes);

    TerminalOptions options_;
    std::string resources_;
    std::atomic<std::thread::id> mainId_{};
    int wakeRead_ = -1, wakeWrite_ = -1;
    std::atomic<bool> wakePending_{false};

    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
    bool accepting_ = true;

    std::atomic<bool> ended_{false};
    std::atomic<bool> inputSinceIdle_{false};
    std::atomic<int64_t> lastAlert_{0};

    InputDecoder decoder_;
    Clock::time_point lastInput_{};
    bool mouseDown_ = false;

    // Whether the terminal is too small for the window's cells: the message is shown then,
    // and keys typed meanwhile are dropped rather than run later, unseen.
    bool tooSmall() const { return terminalColumns_ < neededColumns_ || terminalRows_ < neededRows_; }

    ScreenWriter writer_;
    std::vector<Cell> cells_;
    int terminalColumns_ = 80, terminalRows_ = 25;
    int neededColumns_ = 80, neededRows_ = 25;
    // The terminal cell of the window's top left cell: a larger terminal shows it centred.
    int originRow_ = 0, originColumn_ = 0;
    bool frameWanted_ = true;
    bool gridShown_ = false;
    bool messageShown_ = false;
    bool terminalGone_ = false;
    std::string pendingOutput_;  // title, clipboard and bell, written with the next frame

    Rect frame_{0, 0, 1312, 832};
    std::string title_;
    bool shown_ = false;
    std::vector<Menu> menus_;
    std::optional<std::string> pasteText_;
};

// Runs the application on the terminal host until the program ends: each of openPaths is
// handed to the toolkit as a file to open before program starts. Returns the exit status;
// error tells why the terminal could not be used.
int runTerminal(const TerminalOptions& options, std::function<void()> program,
                const std::vector<std::string>& openPaths, std::string& error);

// The lines asking for a larger window, centred in a terminal of columns × rows.
std::string tooSmallMessage(int columns, int rows, int neededColumns, int neededRows);

// The title as the terminal may show it: no control characters, at most 200 characters.
std::string safeTitle(const std::string& title);

// Base64 of bytes, as OSC 52 carries them.
std::string base64(const std::string& bytes);

}  // namespace host::terminal
