// The terminal host: its pieces on their own (the code table, colours, the input decoder, the
// frame writer read back through a real terminal emulator), then the editor itself run on
// the terminal host in a pseudo-terminal, its output parsed by the emulator.
#include "hosts/terminal/terminal_host.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vterm.h>

#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "app/utf8.h"
#include "display/glyph.h"
#include "hosts/terminal/input_decoder.h"
#include "hosts/terminal/screen_writer.h"
#include "hosts/terminal/terminal_mode.h"

namespace {

using namespace host::terminal;
namespace mod = host::modifier;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Rgb = std::array<int, 3>;

Rgb paletteRgb(int number) {
    const auto& e = t_Palette()[size_t(number)];
    return {e.Red, e.Green, e.Blue};
}

// --- A terminal emulator ------------------------------------------------------------------

struct Emulator {
    Emulator(int rows, int columns)
        : vt_(vterm_new(rows, columns), vterm_free),
          screen_(vterm_obtain_screen(vt_.get())),
          rows_(rows),
          columns_(columns) {
        vterm_set_utf8(vt_.get(), 1);
        static VTermScreenCallbacks callbacks{};
        callbacks.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
            auto* self = static_cast<Emulator*>(user);
            if (prop == VTERM_PROP_ALTSCREEN) self->altScreen = value->boolean;
            if (prop == VTERM_PROP_MOUSE) self->mouse = value->number;
            if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible = value->boolean;
            if (prop == VTERM_PROP_TITLE && value->string) self->title = value->string;
            return 1;
        };
        vterm_screen_set_callbacks(screen_, &callbacks, this);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }

    void write(std::string_view bytes) { vterm_input_write(vt_.get(), bytes.data(), bytes.size()); }
    void resize(int rows, int columns) { vterm_set_size(vt_.get(), rows_ = rows, columns_ = columns); }

    VTermScreenCell cell(int row, int column) const {  // from 1
        VTermScreenCell c{};
        vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &c);
        return c;
    }
    // The row as text, trailing blanks left out.
    std::string row(int row) const {
        std::string out;
        for (int c = 1; c <= columns_; ++c) out += cell(row, c).chars[0] ? kt::utf8Of(cell(row, c).chars[0]) : " ";
        return out.erase(out.find_last_not_of(' ') + 1);
    }
    std::string screenText() const {
        std::string out;
        for (int r = 1; r <= rows_; ++r) out += row(r) + "\n";
        return out;
    }
    // The colours as shown, reverse video applied.
    std::pair<Rgb, Rgb> colours(int row, int column) const {
        VTermScreenCell c = cell(row, column);
        vterm_screen_convert_color_to_rgb(screen_, &c.fg);
        vterm_screen_convert_color_to_rgb(screen_, &c.bg);
        Rgb fg{c.fg.rgb.red, c.fg.rgb.green, c.fg.rgb.blue}, bg{c.bg.rgb.red, c.bg.rgb.green, c.bg.rgb.blue};
        if (c.attrs.reverse) std::swap(fg, bg);
        return {fg, bg};
    }

    bool altScreen = false, cursorVisible = true;
    int mouse = 0;
    std::string title;
    std::unique_ptr<VTerm, decltype(&vterm_free)> vt_;
    VTermScreen* screen_;
    int rows_, columns_;
};

// --- Cells and colours -------------------------------------------------------------------

TEST(TerminalCells, EveryCodeIsOnePrintableCharacterOneColumnWideInTheNearestColour) {
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    for (int code = 0; code < 256; ++code) {
        const std::string_view text = cellText(uint8_t(code));
        wchar_t c = 0;
        std::mbstate_t state{};
        EXPECT_EQ(std::mbrtowc(&c, text.data(), text.size(), &state), text.size()) << code << " is more characters";
        // A control character has no width (-1), so this refuses those too.
        EXPECT_EQ(::wcwidth(c), 1) << "code " << code << " (U+" << std::hex << uint32_t(c) << ") is not one column";
    }
    // White is the cube's last; dark blue is the cube's 0, 0, 135; for the greys the ramp is
    // nearest (the palette's colours that lie in the cube are checked with the editor's below).
    const std::tuple<uint8_t, uint8_t, uint8_t, int> nearest[] = {
        {255, 255, 255, 231}, {0, 0, 0x80, 18}, {0xA8, 0xA8, 0xA8, 248}, {0x54, 0x54, 0x54, 240}};
    for (const auto& [r, g, b, xterm] : nearest) EXPECT_EQ(nearestXtermColour(r, g, b), xterm) << +r << " " << +g;
    EXPECT_EQ((std::vector{colourModeFor("truecolor"), colourModeFor("24bit"), colourModeFor(nullptr)}),
              (std::vector{ColourMode::trueColour, ColourMode::trueColour, ColourMode::xterm256}));
}

// --- The input decoder -----------------------------------------------------------------------

// Inputs as lines of text: a key's code, characters and modifier flags; a mouse report's
// button, press or release, motion, cell and flags; a paste's text.
std::string key(int64_t code, const std::string& characters, uint64_t flags) {
    return "key " + std::to_string(code) + " " + characters + " " + std::to_string(flags) + "\n";
}
std::string mouse(const char* how, int button, int column, int row, uint64_t flags = 0) {
    return "mouse " + std::string(how) + " " + std::to_string(button) + " at " + std::to_string(column) + "," +
           std::to_string(row) + " " + std::to_string(flags) + "\n";
}
std::string describe(const std::vector<Input>& inputs) {
    std::string out;
    for (const Input& input : inputs) {
        if (const auto* k = std::get_if<host::KeyEvent>(&input))
            out += key(k->keyCode, k->characters, k->modifierFlags);
        if (const auto* m = std::get_if<MouseInput>(&input)) {
            const char* how = m->motion ? "moving" : m->press ? "down" : "up";
            out += mouse(how, m->button, m->column, m->row, m->modifierFlags);
        }
        if (const auto* p = std::get_if<PasteInput>(&input)) out += "paste " + p->text + "\n";
    }
    return out;
}

// What the decoder makes of the reads; with flush, once the wait for more is over.
std::string decode(const std::vector<std::string_view>& reads, bool flush = false) {
    InputDecoder decoder;
    std::vector<Input> out;
    for (std::string_view bytes : reads) decoder.feed(bytes, out);
    if (flush) decoder.flush(out);
    return describe(out);
}

TEST(TerminalInput, KeysAndMouseReportsFromCharactersAndSequences) {
    const uint64_t ctl = mod::control, alt = mod::option, sh = mod::shift, fn = mod::function;
    const uint64_t arrow = fn | mod::numericPad;
    const int64_t none = unknownKeyCode;
    using Cases = std::vector<std::pair<std::string, std::string>>;
    // The keys the editor's own test below sends (Control+U, Control+C, Control+\ and
    // Control+Z, Return, the arrows Right, Down and Left, Home, End) are checked by what the
    // editor does with them. Here: Control+] (^Ü), Control+H (not Backspace), Backspace, Tab,
    // Control+J; typed characters; UTF-8, also with Alt (€ comes from the key the key table
    // expects it on). A byte with the high bit that begins no UTF-8 is xterm's eight-bit Alt:
    // Alt+Backspace as 0xFF, or 0x88 where Backspace sends Control+H (also in its UTF-8 form
    // and after Escape), Alt+m, and a lead byte broken off by what follows (which stays).
    // clang-format off
    const Cases typed = {
        {"\x1d", key(30, "\x1d", ctl)}, {"\x08", key(4, "\x08", ctl)}, {"\x7f", key(51, "\x7f", 0)},
        {"\t", key(48, "\t", 0)},       {"\n", key(38, "\n", ctl)},    {"a", key(0, "a", 0)},
        {"Q", key(12, "Q", sh)},        {"7", key(26, "7", 0)},        {"!", key(18, "!", sh)},
        {" ", key(49, " ", 0)},         {"ä", key(none, "ä", 0)},      {"€", key(14, "€", 0)},
        {"\x1bx", key(7, "x", alt)},    {"\x1b\xc3\xb6", key(none, "ö", alt)}, {"\xff", key(51, "\x7f", alt)},
        {"\x88", key(51, "\x7f", alt)}, {"\xc2\x88", key(51, "\x7f", alt)}, {"\x1b\x08", key(51, "\x7f", alt)},
        {"\xed\x78", key(46, "m", alt) + key(7, "x", 0)}, {"\xc3\xbf", key(none, "ÿ", 0)},
        {"\xed\xa0\x80", key(46, "m", alt) + key(49, " ", alt) + key(49, std::string(1, '\0'), ctl | alt)}};
    // Up, Left, Shift+Tab; the other forms of Home and End, Page Up, Page Down, forward delete,
    // Insert as Help, F1 (also of the Linux console), F5, F12.
    const Cases special = {
        {"\x1b[A", key(126, "\uF700", arrow)}, {"\x1b[D", key(123, "\uF702", arrow)}, {"\x1b[Z", key(48, "\x19", sh)},
        {"\x1b[1~", key(115, "\uF729", fn)}, {"\x1bOF", key(119, "\uF72B", fn)},  {"\x1b[4~", key(119, "\uF72B", fn)},
        {"\x1b[5~", key(116, "\uF72C", fn)}, {"\x1b[6~", key(121, "\uF72D", fn)}, {"\x1b[3~", key(117, "\uF728", fn)},
        {"\x1b[2~", key(114, "\uF746", fn)}, {"\x1bOP", key(122, "\uF704", fn)},  {"\x1b[[A", key(122, "\uF704", fn)},
        {"\x1b[15~", key(96, "\uF708", fn)}, {"\x1b[24~", key(111, "\uF70F", fn)}};
    // Right as an application cursor key; arrows with modifiers (a modifier number beyond any
    // key is capped); Alt with a control character; a control character inside a sequence
    // breaks it off (the sequence goes, the key stays). Alt+Backspace (undo);
    // Shift+Alt+Backspace (redo) in the forms of fixterms and of xterm's modifyOtherKeys;
    // Control+A and Shift+Tab in the first of them. A mouse release, motion, the old form, a
    // right press with Control beyond column 223.
    const Cases modified = {
        {"\x1bOC", key(124, "\uF703", arrow)},          {"\x1b[1;5C", key(124, "\uF703", ctl | arrow)},
        {"\x1b[1;2A", key(126, "\uF700", sh | arrow)},  {"\x1b[1;99999999999999999999C", key(124, "\uF703", arrow)},
        {"\x1b\x0c", key(37, "\x0c", ctl | alt)},       {"\x1b[1;\x15", key(32, "\x15", ctl)},
        {"\x1b\x7f", key(51, "\x7f", alt)},             {"\x1b[127;4u", key(51, "\x7f", sh | alt)},
        {"\x1b[27;4;127~", key(51, "\x7f", sh | alt)},  {"\x1b[97;5u", key(0, "\x01", ctl)},
        {"\x1b[9;2u", key(48, "\x19", sh)},             {"\x1b[<0;20;9m", mouse("up", 0, 20, 9)},
        {"\x1b[<32;3;3M", mouse("moving", 0, 3, 3)},    {"\x1b[M\x20\x34\x29", mouse("down", 0, 20, 9)},
        {"\x1b[<18;300;200M", mouse("down", 2, 300, 200, ctl)}};
    // Dropped: unknown sequences, private ones,
    // ones with intermediates; numbers beyond any key; an overlong sequence (its digits must not
    // be typed into the file); mouse reports lacking a number or off the screen.
    const std::string overlong = "\x1b[" + std::string(500, '1') + ";" + std::string(300, '2') + "~";
    const std::string dropped[] = {
        "\x1b[99~", "\x1b[?1;2c", "\x1b[1 q", "\x1bOz", "\x1b[I\x1b[O",
        overlong, "\x1b[" + std::string(26, '9') + "~", "\x1b[<0;5M", "\x1b[<;;M", "\x1b[<0;0;3M", "\x1b[55296u",
        "\x1b[M\x20\x20\x21"};
    // clang-format on
    auto check = [](const std::string& bytes, const std::string& want) {
        std::vector<std::string_view> bytewise;
        for (size_t i = 0; i < bytes.size(); ++i) bytewise.push_back(std::string_view(bytes).substr(i, 1));
        EXPECT_EQ(decode({bytes}), want) << testing::PrintToString(bytes);
        EXPECT_EQ(decode(bytewise), want) << testing::PrintToString(bytes) << " byte by byte";
    };
    for (const Cases* table : {&typed, &special, &modified})
        for (const auto& [bytes, want] : *table) check(bytes, want);
    for (const std::string& bytes : dropped) check(bytes, "");
    // An overlong sequence split between reads.
    EXPECT_EQ(decode({overlong.substr(0, 100), overlong.substr(100), "k"}), key(40, "k", 0));
}

TEST(TerminalInput, EscapesAndPastesCutOffOrSplit) {
    // A lone Escape waits for the timeout, then is the Escape key; two are two. Escape with
    // "[" or "O" cut off by the timeout: Alt+[ and Alt+O; any other sequence cut off is dropped.
    InputDecoder decoder;
    std::vector<Input> out;
    decoder.feed("\x1b", out);
    EXPECT_TRUE(out.empty() && decoder.waiting());
    decoder.flush(out);
    EXPECT_EQ(describe(out), key(53, "\x1b", 0));
    EXPECT_FALSE(decoder.waiting());
    EXPECT_EQ(decode({"\x1b\x1b"}, true), key(53, "\x1b", 0) + key(53, "\x1b", 0));
    EXPECT_EQ(decode({"\x1b["}, true), key(33, "[", mod::option));
    EXPECT_EQ(decode({"\xed"}) + "|" + decode({"\xed"}, true), "|" + key(46, "m", mod::option));
    EXPECT_EQ(decode({"\x1bO"}, true), key(31, "O", mod::option | mod::shift));
    EXPECT_EQ(decode({"\x1b[1;5"}, true), "");
    // Sequences and control characters inside a paste are text; line ends become "\n".
    EXPECT_EQ(decode({"\x1b[200~ab\x1b[Acd\r\nef\rg\x03\x1b[201~x"}), "paste ab\x1b[Acd\nef\ng\x03\n" + key(7, "x", 0));
    // The end marker split between reads, anywhere.
    const std::string whole = "\x1b[200~hello\x1b[201~";
    for (size_t cut = 1; cut < whole.size(); ++cut)
        EXPECT_EQ(decode({whole.substr(0, cut), whole.substr(cut)}), "paste hello\n") << "cut at " << cut;
    // A paste that never ends is taken as it is once the host gives up on it.
    out.clear();
    decoder.feed("\x1b[200~open end\x1b[20", out);
    EXPECT_TRUE(out.empty() && decoder.inPaste() && !decoder.waiting());
    decoder.endPaste(out);
    EXPECT_EQ(describe(out), "paste open end\x1b[20\n");
    EXPECT_FALSE(decoder.inPaste());
    // A paste beyond the limit keeps its first part, and what follows it is decoded again.
    const std::string chunk(1 << 20, 'x');
    EXPECT_EQ(decode({"\x1b[200~", chunk, chunk, chunk, chunk, chunk, "\x1b[201~q"}),
              "paste " + std::string(InputDecoder::maxPaste, 'x') + "\n" + key(12, "q", 0));
}

// --- The frame writer --------------------------------------------------------------------

TEST(TerminalFrames, FramesMessagesTitlesAndTheClipboard) {
    // In 24-bit colours; the 256 colours, whole screens (the bottom right cell too), changes
    // apart in a row and a redraw after the terminal was written over are checked with the
    // editor's below.
    ScreenWriter writer(ColourMode::trueColour);
    Emulator emulator(6, 12);
    std::vector<Cell> cells;
    for (char c : std::string("Hallo Welt0123456789          abcdefghij")) cells.push_back({uint8_t(c), 0xC0});
    cells[25] = {134, 0x1F};  // ┌ red on white
    cells[30] = {0, 0x0C};    // ␀ inverse green
    std::string out;
    auto draw = [&] {
        out.clear();
        writer.frame(cells, 10, 4, out);
        emulator.write(out);
    };
    draw();
    EXPECT_EQ(emulator.screenText(), "Hallo Welt\n0123456789\n     ┌\n␀bcdefghij\n\n\n");
    EXPECT_EQ(emulator.colours(3, 6), std::make_pair(paletteRgb(1), paletteRgb(15)));
    draw();
    EXPECT_EQ(out, "");  // nothing changed: nothing written
    // The cursor moves one cell: the two cells and no more, in their colours.
    cells[30] = {'a', 0xC0};
    cells[31] = {'b', 0x0C};
    draw();
    EXPECT_LT(out.size(), 40u);
    EXPECT_EQ(emulator.row(4), "abcdefghij");
    const Rgb black = paletteRgb(0), green = paletteRgb(12);
    EXPECT_EQ((std::vector{emulator.colours(4, 1), emulator.colours(4, 2)}),
              (std::vector{std::pair{green, black}, {black, green}}));

    // The message on a screen too small even for it (the sizes it names are read by the
    // editor's test below): no crash, nothing written beyond the screen.
    Emulator tiny(1, 5);
    tiny.write(tooSmallMessage(5, 1, 80, 25));
    EXPECT_FALSE(tiny.row(1).empty());
    // A file name can't end the title sequence and speak to the terminal.
    EXPECT_EQ(safeTitle("a\x07\x1b]52;c;eA==\x07z.bin"), "a]52;c;eA==z.bin");
    EXPECT_EQ(safeTitle("b\xc2\x9b\x32J\xc3\xa4\xff.bin"), "b2Jä.bin");
    EXPECT_EQ(safeTitle(std::string(500, 'x')).size(), 200u);
    const std::pair<std::string, std::string> encoded[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {{"\xff\xfe\xfd\x00", 4}, "//79AA=="}};
    for (const auto& [bytes, text64] : encoded) EXPECT_EQ(base64(bytes), text64);
}

// --- The editor in a pseudo-terminal ----------------------------------------------------------

// The status line; the marker turns from "·" to ":" once the file is changed.
std::string status(unsigned position, const char* marker = "·") {
    char line[128];
    std::snprintf(line, sizeof line, " %ssample.bin              Pos = %08X  Ende = 0000003B  Esc = Hilfe & Status",
                  marker, position);
    return line;
}

// The editor in an 80 × 25 pseudo-terminal with no display (and 256 colours), in a folder of
// its own holding a copy of the test data.
struct EditorSession {
    explicit EditorSession(bool askForTheTerminal = true) {
        char pattern[] = "/tmp/ostrakonix-terminal-XXXXXX";
        folder = ::mkdtemp(pattern);
        fs::copy(OSTRAKONIX_TEST_DATA, folder, fs::copy_options::recursive);
        const std::string log = folder + "/log.txt";
        const char* flag = askForTheTerminal ? "--terminal" : nullptr;
        const char* argv[] = {OSTRAKONIX_EXECUTABLE, "--log", log.c_str(), "sample.bin", flag, nullptr};
        winsize size{25, 80, 0, 0};
        if ((pid = ::forkpty(&master, nullptr, nullptr, &size)) == 0) {
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "COLORTERM"}) ::unsetenv(name);
            ::setenv("TERM", "xterm-256color", 1);
            if (::chdir(folder.c_str()) == 0) ::execv(argv[0], const_cast<char**>(argv));
            ::_exit(127);
        }
    }
    ~EditorSession() {
        if (pid > 0 && !exited && ::kill(pid, SIGKILL) == 0) ::waitpid(pid, nullptr, 0);
        if (master >= 0) ::close(master);
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }

    // Started, and showing the file with the cursor at its start.
    testing::AssertionResult ready() {
        if (pid <= 0 || master < 0) return testing::AssertionFailure() << "forkpty failed";
        return shows(1, status(0)) << std::ifstream(folder + "/log.txt").rdbuf();
    }
    // Waits up to 10 seconds for done(), reading what the program writes meanwhile.
    testing::AssertionResult waitFor(const std::function<bool()>& done) {
        for (const auto end = Clock::now() + std::chrono::seconds(10); !done();) {
            if (Clock::now() > end) return testing::AssertionFailure() << "timed out:\n" << screen.screenText();
            pollfd fd{master, POLLIN, 0};
            char buffer[8192];
            const ssize_t n = ::poll(&fd, 1, 10) > 0 ? ::read(master, buffer, sizeof buffer) : 0;
            if (n <= 0) continue;
            received.append(buffer, size_t(n));
            screen.write(std::string_view(buffer, size_t(n)));
        }
        return testing::AssertionSuccess();
    }
    // Waits until row `row` shows `text`, or for row 0 until the screen shows it anywhere.
    testing::AssertionResult shows(int row, const std::string& text) {
        return waitFor(
                   [&] { return row ? screen.row(row) == text : screen.screenText().find(text) != std::string::npos; })
               << "wanted in row " << row << ": " << text;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void resize(unsigned short columns, unsigned short rows) {
        const winsize size{rows, columns, 0, 0};
        ::ioctl(master, TIOCSWINSZ, &size);
        screen.resize(rows, columns);
    }
    // The terminal's canonical, echo and signal modes, as far as they are on.
    tcflag_t localModes() const {
        termios t{};
        ::tcgetattr(master, &t);
        return t.c_lflag & (ICANON | ECHO | ISIG);
    }

    Emulator screen{25, 80};
    std::string folder, received;
    pid_t pid = -1;
    int master = -1;
    bool exited = false;
};

TEST(TerminalEditor, ShowsItsScreenAndTakesKeysClicksAndPastes) {
    EditorSession editor(false);  // no display: the terminal host unasked
    ASSERT_TRUE(editor.ready());
    const Emulator& s = editor.screen;
    EXPECT_TRUE(s.altScreen && !s.cursorVisible && s.mouse != 0);
    EXPECT_NE(s.title.find("sample.bin"), std::string::npos) << s.title;
    // Green on black, the status line inverse, the cursor an inverted cell, control bytes in red.
    const Rgb black = paletteRgb(0), green = paletteRgb(12), red = paletteRgb(1);
    EXPECT_EQ((std::vector{s.colours(8, 14), s.colours(1, 3), s.colours(8, 11), s.colours(9, 65)}),
              (std::vector{std::pair{green, black}, {black, green}, {black, green}, {red, black}}));

    // Control+U, Right, Down, Left (application cursor mode), End, Home, Control+C (page
    // down, not an interrupt), Control+B; Control+\ (^Ö) and Control+Z as keys rather than
    // signals (^Ö ^Z 2A Return goes to 0x2A). Clicks in the hexadecimal column and with the
    // right button; one outside the screen leaves the cursor where it is; a notch of the
    // wheel scrolls a line as ^W and ^Y do (the file is shorter than the screen, so the
    // cursor goes with it).
    // clang-format off
    const std::pair<std::string, unsigned> steps[] = {
        {"\x15", 1},  {"\x1b[C", 2},  {"\x1b[B", 0x12}, {"\x1bOD", 0x11}, {"\x1b[F", 0x3B}, {"\x1b[H", 0},
        {"\x03", 0x3B}, {"\x02", 0},    {"\034\0322A\r", 0x2A},
        {"\x1b[<0;20;9M\x1b[<0;20;9m", 0x13},      {"\x1b[<2;5;11M\x1b[<2;5;11m", 0x30},
        {"\x1b[<0;81;9M\x1b[<0;81;9m\x15", 0x31}, {"\x1b[<64;20;9M", 0x21},
        {"\x1b[<64;20;9M\x1b[<64;20;9M", 0x01},     {"\x1b[<65;20;9M", 0x11}};
    // clang-format on
    for (const auto& [bytes, position] : steps) {
        editor.send(bytes);
        EXPECT_TRUE(editor.shows(1, status(position))) << testing::PrintToString(bytes);
    }
    // A paste fills the pasteboard: Control+F, the search menu; Control+D edits the search
    // text, Control+V pastes into it (behind the keys already typed: Return only after it);
    // Control+N searches. Copying the field (Control+L) puts it on the terminal's clipboard.
    editor.send("\x02\x1b[200~576F726C64\x1b[201~\x06");  // "World" in hexadecimal
    ASSERT_TRUE(editor.shows(0, "^D = Suchen:"));
    editor.send("\x04\x16");
    ASSERT_TRUE(editor.shows(2, "^D = Suchen: 576F726C64"));
    editor.send("\r\x0e");
    EXPECT_TRUE(editor.shows(1, status(0x2F)));
    editor.send("\x04\x0c");
    const std::string clipboard = "\x1b]52;c;" + base64("576F726C64") + "\x07";
    EXPECT_TRUE(editor.waitFor([&] { return editor.received.find(clipboard) != std::string::npos; }));
    // Out of the field, a drag selects (the terminal reports moves with the button held),
    // Shift+Right extends the selection, and Alt+C (Escape, c) copies it as hexadecimal pairs,
    // to that clipboard too.
    editor.send("\r\x1b[<0;11;8M\x1b[<32;17;8M\x1b[<0;17;8m\x1b[1;2C\x1b"
                "c");
    const std::string pairs = "\x1b]52;c;" + base64("00 01 02 03") + "\x07";
    EXPECT_TRUE(editor.waitFor([&] { return editor.received.find(pairs) != std::string::npos; }));
}

// A lone Escape is the Escape key; typing overwrites; keys typed while the terminal is too
// small are dropped; a larger one shows the screen centred, clicks mapped to it; the screen
// is drawn anew after a stop.
TEST(TerminalEditor, TooSmallDropsKeysLargerCentresAndAStopRedraws) {
    EditorSession editor;
    ASSERT_TRUE(editor.ready());
    editor.send("\x1b");  // the header shrinks to the status and column rows
    EXPECT_TRUE(editor.shows(2, "Position  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       Alphanumerisch"));
    editor.send("AB");
    EXPECT_TRUE(editor.shows(3, "00000000: 41 42 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       ABBCDEFGHIJKLMNO"));
    EXPECT_TRUE(editor.shows(1, status(2, ":")));
    editor.resize(70, 20);
    EXPECT_TRUE(editor.shows(0, "70\u00A0×\u00A020"));
    editor.send("\x15\x03\x11");  // unseen, right, page down and quit would run later
    editor.resize(80, 24);
    EXPECT_TRUE(editor.shows(0, "80\u00A0×\u00A024"));
    editor.resize(100, 30);
    const std::string margin(10, ' ');
    EXPECT_TRUE(editor.shows(3, margin + status(2, ":")));
    EXPECT_EQ(editor.screen.screenText().find("Zeichen."), std::string::npos);
    editor.send("\x1b[<0;5;6M\x1b[<0;5;6m\x1b[<0;30;6M\x1b[<0;30;6m");  // the margin, then byte 0x13
    EXPECT_TRUE(editor.shows(3, margin + status(0x13, ":")));
    // A stop request the process can't follow (no shell here could continue it): the
    // terminal, given back for the stop, is taken again at once.
    ::kill(editor.pid, SIGTSTP);
    editor.screen.write("\x1b[?1049l\x1b[2Jshell");
    EXPECT_TRUE(editor.waitFor([&] { return editor.screen.altScreen; }));
    EXPECT_TRUE(editor.shows(3, margin + status(0x13, ":")));
    EXPECT_EQ(editor.localModes(), 0u);
    // A stop that can't be caught: on continuing, the raw mode is set again and the whole
    // screen drawn anew over whatever the terminal showed meanwhile.
    ::kill(editor.pid, SIGSTOP);
    ASSERT_TRUE(editor.waitFor([&] { return ::waitpid(editor.pid, nullptr, WUNTRACED | WNOHANG) == editor.pid; }));
    editor.screen.write("\x1b[2J\x1b[Hshell$ fg");
    ::kill(editor.pid, SIGCONT);
    EXPECT_TRUE(editor.shows(3, margin + status(0x13, ":")));
    EXPECT_EQ(editor.localModes(), 0u);
    // Alt+Backspace as a default xterm sends it, one byte with the high bit: undo.
    editor.send("\xff");
    EXPECT_TRUE(
        editor.shows(5, margin + "00000000: 41 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       AABCDEFGHIJKLMNO"));
}

// The terminal has no save panel: a save refused because the folder went, and ^S on a buffer
// without a file, ask in the field "Sichern unter:", offering the file's path or the
// working folder. The process keeps its name, so that pgrep finds it.
TEST(TerminalEditor, SavingAsksInAFieldAndTheProcessKeepsItsName) {
    EditorSession editor;
    ASSERT_TRUE(editor.ready());
    std::FILE* pipe = ::popen("pgrep -x ostrakonix", "r");
    std::string found(4096, '\0');
    found.resize(std::fread(found.data(), 1, found.size(), pipe)), ::pclose(pipe);
    EXPECT_NE(("\n" + found).find("\n" + std::to_string(editor.pid) + "\n"), std::string::npos) << found;

    const std::string old = editor.folder;
    editor.folder += "-moved";
    ASSERT_EQ(::rename(old.c_str(), editor.folder.c_str()), 0);
    editor.send("Z\x13");
    ASSERT_TRUE(editor.shows(0, "Trotzdem speichern?"));  // the file is gone since it was loaded
    editor.send("j");
    ASSERT_TRUE(editor.shows(0, "Ordner nicht gefunden: sample.bin"));
    editor.send(" ");
    ASSERT_TRUE(editor.shows(0, "Sichern unter: " + old + "/sample.bin"));
    editor.send("\x18" + editor.folder + "/saved.bin\r");  // ^X empties the field before the cursor
    EXPECT_TRUE(editor.shows(0, " \u00B7saved.bin               Pos = 00000001  Ende = 0000003B"));
    EXPECT_EQ(std::ifstream(editor.folder + "/saved.bin").get(), 'Z');

    editor.send("\x18\x09\x13");  // close, a first byte, save
    ASSERT_TRUE(editor.shows(0, "Sichern unter: " + editor.folder + "/"));
    editor.send("neu.bin\r");
    EXPECT_TRUE(editor.shows(0, " \u00B7neu.bin                 Pos = 00000000  Ende = 00000000"));
    EXPECT_EQ(std::ifstream(editor.folder + "/neu.bin").get(), ' ');
}

// The editor's quit, a termination and a crash all leave the terminal as they found it.
TEST(TerminalProcess, EveryEndRestoresTheTerminal) {
    for (int number : {0, SIGTERM, SIGHUP, SIGSEGV}) {
        SCOPED_TRACE(number);
        EditorSession editor;
        ASSERT_TRUE(editor.ready());
        number ? void(::kill(editor.pid, number)) : editor.send("\x11");  // Control+Q
        int status = -1;
        editor.waitFor([&] { return editor.exited = ::waitpid(editor.pid, &status, WNOHANG) == editor.pid; });
        // The terminal given back (bracketed paste off among it), read to the end.
        EXPECT_TRUE(editor.waitFor([&] { return editor.received.find(mode::leaveSequence) != std::string::npos; }));
        // A crash goes on to the handler that was there before: the default one ends the
        // program by the signal, a sanitizer's with its report (an abort or a failing status).
        EXPECT_TRUE(number == SIGSEGV ? status != 0
                    : number          ? WIFSIGNALED(status) && WTERMSIG(status) == number
                                      : WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << status;
        EXPECT_TRUE(!editor.screen.altScreen && editor.screen.cursorVisible && editor.screen.mouse == 0);
        EXPECT_EQ(editor.localModes(), tcflag_t(ICANON | ECHO | ISIG));
    }
}

// Threads that hand calls to the main loop one after another, in a child process with a
// terminal of its own: every call must come back. A wake-up lost between the loop's waking
// and its taking of the calls left a call waiting for good (the alarm then ends the child).
// The child's exit status: 0 when every call came back.
int handCallsToTheMainLoop() {
    ::alarm(60);
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return 2;
    TerminalOptions options;
    options.inputFd = slave;
    options.outputFd = ::open("/dev/null", O_WRONLY);
    TerminalHost host(options);
    constexpr int posters = 3, calls = 20000;
    std::atomic<int> ran{0}, finished{0};
    std::vector<std::thread> threads;
    std::string error;
    const int status = host.run(
        [&] {
            for (int t = 0; t < posters; ++t)
                threads.emplace_back([&] {
                    for (int i = 0; i < calls; ++i) host.runOnMainSync([&] { ++ran; });
                    if (++finished == posters) host.programEnded();
                });
        },
        error);
    for (auto& thread : threads) thread.join();
    return status == 0 && ran == posters * calls ? 0 : 3;
}

TEST(TerminalMainLoop, CallsFromOtherThreadsAreNeverLeftWaiting) {
    EXPECT_EXIT(::_exit(handCallsToTheMainLoop()), testing::ExitedWithCode(0), "");
}

TEST(TerminalProcess, WithoutADisplayOrATerminalAClearMessage) {
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/null", "standard input is no terminal; start it in a terminal, or use --headless"},
        {"--terminal", "--terminal needs a terminal"},
        {"--terminal --headless", "--terminal and --headless exclude each other"}};
    for (const auto& [arguments, phrase] : cases) {
        // Standard input and output on /dev/null; what goes to standard error is read.
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " OSTRAKONIX_EXECUTABLE " " +
                                    arguments + " </dev/null 2>&1 >/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string message;
        for (int c; (c = std::fgetc(pipe)) != EOF;) message += char(c);
        const int status = ::pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << arguments;
        EXPECT_NE(message.find(phrase), std::string::npos) << message;
    }
}

}  // namespace
