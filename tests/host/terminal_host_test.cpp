// The terminal host: its pieces on their own (the code table, colours, the input decoder, the
// frame writer read back through a real terminal emulator), then the editor itself run on
// the terminal host in a pseudo-terminal, its output parsed by the emulator.
#include "host/terminal/terminal_host.h"

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
#include <wchar.h>

#include <array>
#include <atomic>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "display/glyph.h"
#include "host/terminal/input_decoder.h"
#include "host/terminal/screen_writer.h"
#include "host/terminal/terminal_mode.h"

namespace {

using namespace host::terminal;
namespace mod = host::modifier;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// --- A terminal emulator ------------------------------------------------------------------

using Rgb = std::array<int, 3>;

Rgb paletteRgb(int number) {
    const auto& e = t_Palette()[size_t(number)];
    return {e.Red, e.Green, e.Blue};
}

std::string utf8(uint32_t c) {
    if (c < 0x80) return std::string(1, char(c));
    const size_t n = c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    std::string out(n, '\0');
    for (size_t i = n - 1; i > 0; --i, c >>= 6) out[i] = char(0x80 | (c & 0x3F));
    out[0] = char(uint8_t(0xFF00 >> n) | c);
    return out;
}

class Emulator {
public:
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
        for (int c = 1; c <= columns_; ++c) out += cell(row, c).chars[0] ? utf8(cell(row, c).chars[0]) : " ";
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

    bool altScreen = false;
    int mouse = 0;
    bool cursorVisible = true;
    std::string title;

private:
    std::unique_ptr<VTerm, decltype(&vterm_free)> vt_;
    VTermScreen* screen_;
    int rows_, columns_;
};

// --- Cells and colours -------------------------------------------------------------------

TEST(TerminalCells, EveryCodeIsOnePrintableCharacterOneColumnWide) {
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    for (int code = 0; code < 256; ++code) {
        const std::string_view text = cellText(uint8_t(code));
        ASSERT_FALSE(text.empty()) << code;
        wchar_t c = 0;
        std::mbstate_t state{};
        const size_t length = std::mbrtowc(&c, text.data(), text.size(), &state);
        EXPECT_EQ(length, text.size()) << "code " << code << " is more than one character";
        EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c <= 0x9F)) << "code " << code << " writes a control character";
        EXPECT_EQ(::wcwidth(c), 1) << "code " << code << " (U+" << std::hex << uint32_t(c) << ") is not one column";
    }
    // What the font shows for the codes that aren't plain Latin-1.
    const std::pair<int, std::string_view> shown[] = {{0, "␀"},   {27, "␛"},  {18, "╡"},  {19, "╞"},  {134, "┌"},
                                                      {156, "─"}, {157, "│"}, {159, "═"}, {164, "€"}, {191, "…"},
                                                      {183, "·"}, {246, "ö"}, {130, "["}, {'A', "A"}};
    for (const auto& [code, text] : shown) EXPECT_EQ(cellText(uint8_t(code)), text) << code;
}

TEST(TerminalCells, PaletteColoursMapToTheNearestFixedXtermColour) {
    // Dark blue is the cube's 0, 0, 135; for dark grey the ramp's 88 is nearest.
    const std::tuple<uint8_t, uint8_t, uint8_t, int> nearest[] = {
        {0, 0, 0, 16},           {255, 255, 255, 231}, {0, 255, 0, 46},        {255, 0, 0, 196},
        {0xA8, 0xA8, 0xA8, 248}, {0, 0, 0x80, 18},     {0x54, 0x54, 0x54, 240}};
    for (const auto& [r, g, b, xterm] : nearest) EXPECT_EQ(nearestXtermColour(r, g, b), xterm) << +r << " " << +g;
    EXPECT_EQ(colourModeFor("truecolor"), ColourMode::trueColour);
    EXPECT_EQ(colourModeFor("24bit"), ColourMode::trueColour);
    EXPECT_EQ(colourModeFor("yes"), ColourMode::xterm256);
    EXPECT_EQ(colourModeFor(nullptr), ColourMode::xterm256);
}

// --- The input decoder -----------------------------------------------------------------------

std::vector<Input> decode(const std::vector<std::string_view>& chunks, bool flush = false) {
    InputDecoder decoder;
    std::vector<Input> out;
    for (std::string_view chunk : chunks) decoder.feed(chunk, out);
    if (flush) decoder.flush(out);
    return out;
}

// The bytes in one read, or each in a read of its own.
std::vector<std::string_view> reads(std::string_view bytes, bool bytewise) {
    if (!bytewise) return {bytes};
    std::vector<std::string_view> out;
    for (size_t i = 0; i < bytes.size(); ++i) out.push_back(bytes.substr(i, 1));
    return out;
}

void expectKey(const std::vector<Input>& inputs, int64_t code, const std::string& characters, uint64_t flags) {
    ASSERT_EQ(inputs.size(), 1u);
    ASSERT_TRUE(std::holds_alternative<host::KeyEvent>(inputs[0]));
    const auto& key = std::get<host::KeyEvent>(inputs[0]);
    EXPECT_EQ(std::tie(key.keyCode, key.characters, key.modifierFlags), std::tie(code, characters, flags));
}

TEST(TerminalInput, KeysFromCharactersAndSequences) {
    const uint64_t ctl = mod::control, alt = mod::option, arrow = mod::function | mod::numericPad, fn = mod::function;
    const std::string up = "\xef\x9c\x80", down = "\xef\x9c\x81", left = "\xef\x9c\x82", right = "\xef\x9c\x83",
                      home = "\xef\x9c\xa9", end = "\xef\x9c\xab", pageUp = "\xef\x9c\xac", pageDown = "\xef\x9c\xad",
                      del = "\xef\x9c\xa8", help = "\xef\x9d\x86", f1 = "\xef\x9c\x84", f5 = "\xef\x9c\x88",
                      f12 = "\xef\x9c\x8f";
    using Case = std::tuple<std::string, int64_t, std::string, uint64_t>;
    // Control+U, Control+C (a key), Control+\ (^Ö), Control+] (^Ü), Control+H (not Backspace),
    // Backspace, Return, Tab, Control+J; typed characters; UTF-8 (€ comes from the key the key
    // table expects it on; broken UTF-8 is dropped, what follows it is not).
    const std::vector<Case> typed = {
        {"\x15", 32, "\x15", ctl},  {"\x03", 8, "\x03", ctl}, {"\x1c", 42, "\x1c", ctl},     {"\x1d", 30, "\x1d", ctl},
        {"\x08", 4, "\x08", ctl},   {"\x7f", 51, "\x7f", 0},  {"\r", 36, "\r", 0},           {"\t", 48, "\t", 0},
        {"\n", 38, "\n", ctl},      {"a", 0, "a", 0},         {"Q", 12, "Q", mod::shift},    {"7", 26, "7", 0},
        {"!", 18, "!", mod::shift}, {" ", 49, " ", 0},        {"ä", unknownKeyCode, "ä", 0}, {"€", 14, "€", 0},
        {"\xc3x", 7, "x", 0}};
    // Arrows, also as application cursor keys; Home, End, Page Up, Page Down, forward delete,
    // Insert as Help, F1 (also of the Linux console), F5, F12, Shift+Tab.
    const std::vector<Case> special = {
        {"\x1b[A", 126, up, arrow},   {"\x1b[B", 125, down, arrow},   {"\x1b[C", 124, right, arrow},
        {"\x1b[D", 123, left, arrow}, {"\x1bOC", 124, right, arrow},  {"\x1b[H", 115, home, fn},
        {"\x1b[1~", 115, home, fn},   {"\x1bOF", 119, end, fn},       {"\x1b[4~", 119, end, fn},
        {"\x1b[5~", 116, pageUp, fn}, {"\x1b[6~", 121, pageDown, fn}, {"\x1b[3~", 117, del, fn},
        {"\x1b[2~", 114, help, fn},   {"\x1bOP", 122, f1, fn},        {"\x1b[[A", 122, f1, fn},
        {"\x1b[15~", 96, f5, fn},     {"\x1b[24~", 111, f12, fn},     {"\x1b[Z", 48, "\x19", mod::shift}};
    // Arrows with modifiers, also with a number beyond any key (capped); Alt+key is the option
    // modifier, also with control characters and UTF-8; a control character inside a
    // sequence breaks it off (the sequence goes, the key stays).
    const std::vector<Case> modified = {{"\x1b[1;5C", 124, right, arrow | ctl},
                                        {"\x1b[1;2A", 126, up, arrow | mod::shift},
                                        {"\x1b[1;99999999999999999999C", 124, right, arrow},
                                        {"\x1bx", 7, "x", alt},
                                        {"\x1b\x0c", 37, "\x0c", ctl | alt},
                                        {"\x1b\xc3\xb6", unknownKeyCode, "ö", alt},
                                        {"\x1b[1;\x15", 32, "\x15", ctl},
                                        // Alt+Backspace (undo); Shift+Alt+Backspace (redo) in the forms of
                                        // fixterms and of xterm's modifyOtherKeys; Control+A and Shift+Tab
                                        // in the first of them.
                                        {"\x1b\x7f", 51, "\x7f", alt},
                                        {"\x1b[127;4u", 51, "\x7f", mod::shift | alt},
                                        {"\x1b[27;4;127~", 51, "\x7f", mod::shift | alt},
                                        {"\x1b[97;5u", 0, "\x01", ctl},
                                        {"\x1b[9;2u", 48, "\x19", mod::shift}};
    for (const auto* table : {&typed, &special, &modified}) {
        for (const auto& [bytes, code, characters, flags] : *table) {
            for (bool bytewise : {false, true}) {
                SCOPED_TRACE(testing::PrintToString(bytes) + (bytewise ? " byte by byte" : ""));
                expectKey(decode(reads(bytes, bytewise)), code, characters, flags);
            }
        }
    }
}

TEST(TerminalInput, MalformedInputIsDroppedSafely) {
    // Broken UTF-8 (a surrogate, an overlong form); unknown sequences, private ones, ones with
    // intermediates; numbers beyond any key; an overlong sequence (its digits must not be
    // typed into the file); mouse reports lacking a number or off the screen.
    const std::string overlong = "\x1b[" + std::string(500, '1') + ";" + std::string(300, '2') + "~";
    const std::string overflowing = "\x1b[" + std::string(26, '9') + "~";
    const std::string_view dropped[] = {
        "\xff\xfe\x80", "\xed\xa0\x80", "\xe0\x80\xaf", "\x1b[99~",          "\x1b[?1;2c",
        "\x1b[1 q",     "\x1b[I\x1b[O", "\x1bOz",       overflowing,         overlong,
        "\x1b[<0;5M",   "\x1b[<;;M",    "\x1b[<0;0;3M", "\x1b[M\x20\x20\x21", "\x1b[55296u"};
    for (std::string_view bytes : dropped) {
        for (bool bytewise : {false, true}) {
            EXPECT_TRUE(decode(reads(bytes, bytewise)).empty()) << testing::PrintToString(bytes) << bytewise;
        }
    }
    expectKey(decode({overlong.substr(0, 100), overlong.substr(100), "k"}), 40, "k", 0);
    // A sequence cut off by the timeout is dropped whole.
    EXPECT_TRUE(decode({"\x1b[1;5"}, true).empty());
}

TEST(TerminalInput, ALoneEscapeWaitsForTheTimeout) {
    InputDecoder decoder;
    std::vector<Input> out;
    decoder.feed("\x1b", out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(decoder.waiting());
    decoder.flush(out);
    expectKey(out, 53, "\x1b", 0);
    EXPECT_FALSE(decoder.waiting());
    const auto two = decode({"\x1b\x1b"}, true);
    ASSERT_EQ(two.size(), 2u);
    for (const Input& key : two) expectKey({key}, 53, "\x1b", 0);
    // Escape with "[" or "O" cut off by the timeout: Alt+[ and Alt+O.
    expectKey(decode({"\x1b["}, true), 33, "[", mod::option);
    expectKey(decode({"\x1bO"}, true), 31, "O", mod::option | mod::shift);
}

TEST(TerminalInput, MouseReports) {
    const std::pair<std::string, MouseInput> cases[] = {
        {"\x1b[<0;20;9M", {0, true, false, 20, 9, 0}},
        {"\x1b[<0;20;9m", {0, false, false, 20, 9, 0}},
        {"\x1b[<18;300;200M", {2, true, false, 300, 200, mod::control}},  // right with Control, beyond 223
        {"\x1b[<64;1;1M", {64, true, false, 1, 1, 0}},                    // the wheel
        {"\x1b[<32;3;3M", {0, true, true, 3, 3, 0}},
        {"\x1b[M\x20\x34\x29", {0, true, false, 20, 9, 0}},  // the old form
    };
    for (const auto& [bytes, want] : cases) {
        for (bool bytewise : {false, true}) {
            SCOPED_TRACE(testing::PrintToString(bytes) + (bytewise ? " byte by byte" : ""));
            const auto inputs = decode(reads(bytes, bytewise));
            ASSERT_EQ(inputs.size(), 1u);
            ASSERT_TRUE(std::holds_alternative<MouseInput>(inputs[0]));
            const auto& m = std::get<MouseInput>(inputs[0]);
            EXPECT_EQ(std::tie(m.button, m.press, m.motion, m.column, m.row, m.modifierFlags),
                      std::tie(want.button, want.press, want.motion, want.column, want.row, want.modifierFlags));
        }
    }
}

TEST(TerminalInput, BracketedPaste) {
    auto paste = [](const std::vector<Input>& inputs) {
        return !inputs.empty() && std::holds_alternative<PasteInput>(inputs[0]) ? std::get<PasteInput>(inputs[0]).text
                                                                                : std::string("<no paste>");
    };
    // Sequences and control characters inside a paste are text; line ends become "\n".
    auto inputs = decode({"\x1b[200~ab\x1b[Acd\r\nef\rg\x03\x1b[201~x"});
    ASSERT_EQ(inputs.size(), 2u);
    EXPECT_EQ(paste(inputs), "ab\x1b[Acd\nef\ng\x03");
    expectKey({inputs[1]}, 7, "x", 0);
    // The end marker split between reads, anywhere.
    const std::string whole = "\x1b[200~hello\x1b[201~";
    for (size_t cut = 1; cut < whole.size(); ++cut) {
        auto parts = decode({whole.substr(0, cut), whole.substr(cut)});
        EXPECT_EQ(paste(parts), "hello") << "cut at " << cut;
        EXPECT_EQ(parts.size(), 1u) << "cut at " << cut;
    }
    // A paste that never ends is taken as it is once the host gives up on it.
    InputDecoder decoder;
    std::vector<Input> out;
    decoder.feed("\x1b[200~open end\x1b[20", out);
    EXPECT_TRUE(out.empty());
    EXPECT_TRUE(decoder.inPaste());
    EXPECT_FALSE(decoder.waiting());
    decoder.endPaste(out);
    EXPECT_EQ(paste(out), "open end\x1b[20");
    EXPECT_FALSE(decoder.inPaste());
    // A paste beyond the limit keeps its first part, and what follows it is decoded again.
    const std::string chunk(1 << 20, 'x');
    out = decode({"\x1b[200~", chunk, chunk, chunk, chunk, chunk, "\x1b[201~q"});
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(paste(out).size(), InputDecoder::maxPaste);
    expectKey({out[1]}, 12, "q", 0);
}

// --- The frame writer --------------------------------------------------------------------

std::vector<Cell> cellsOf(const std::vector<std::string>& rows, uint8_t colour) {
    std::vector<Cell> cells;
    for (const std::string& row : rows)
        for (char c : row) cells.push_back({static_cast<uint8_t>(c), colour});
    return cells;
}

TEST(TerminalFrames, FramesShowTheCellsAndWriteOnlyWhatChanged) {
    for (ColourMode mode : {ColourMode::trueColour, ColourMode::xterm256}) {
        SCOPED_TRACE(mode == ColourMode::trueColour ? "24-bit" : "256");
        ScreenWriter writer(mode);
        Emulator emulator(6, 12);
        std::vector<Cell> cells = cellsOf({"Hallo Welt", "0123456789", "          ", "abcdefghij"}, 0xC0);
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
        // These palette colours lie in the 256 colours' cube too: exact in both modes.
        const Rgb black = paletteRgb(0), green = paletteRgb(12);
        EXPECT_EQ(emulator.colours(1, 1), std::make_pair(green, black));
        EXPECT_EQ(emulator.colours(3, 6), std::make_pair(paletteRgb(1), paletteRgb(15)));
        EXPECT_EQ(emulator.colours(4, 1), std::make_pair(black, green));
        EXPECT_EQ(emulator.colours(4, 2), std::make_pair(green, black));
        draw();
        EXPECT_EQ(out, "");  // nothing changed: nothing written
        // The cursor moves one cell: the two cells and no more.
        cells[30] = {'a', 0xC0};
        cells[31] = {'b', 0x0C};
        draw();
        EXPECT_LT(out.size(), 40u);
        EXPECT_EQ(emulator.row(4), "abcdefghij");
        EXPECT_EQ(emulator.colours(4, 1), std::make_pair(green, black));
        EXPECT_EQ(emulator.colours(4, 2), std::make_pair(black, green));
        // Changes apart in one row: whether the cells between are written again or moved
        // over, the row comes out right.
        cells[0] = {'h', 0xC0};
        cells[2] = {'L', 0xC0};
        cells[9] = {'T', 0xC0};
        draw();
        EXPECT_EQ(emulator.row(1), "haLlo WelT");
        // After invalidate the screen is cleared and drawn whole.
        emulator.write("\x1b[2;3Hgarbage");
        writer.invalidate();
        draw();
        EXPECT_EQ(emulator.row(2), "0123456789");
        EXPECT_EQ(emulator.row(5), "");
    }
}

TEST(TerminalFrames, TheLastColumnAndRowOfATerminalOfTheGridsSize) {
    // Autowrap off, as the host sets it: the bottom right cell must not scroll the screen.
    ScreenWriter writer(ColourMode::xterm256);
    Emulator emulator(3, 4);
    std::vector<Cell> cells = cellsOf({"abcd", "efgh", "ijkl"}, 0xC0);
    std::string out = "\x1b[?7l";
    writer.frame(cells, 4, 3, out);
    cells[11] = {'L', 0xC0};
    cells[0] = {'A', 0xC0};
    writer.frame(cells, 4, 3, out);
    emulator.write(out);
    EXPECT_EQ(emulator.screenText(), "Abcd\nefgh\nijkL\n");
}

TEST(TerminalFrames, MessagesTitlesAndTheClipboard) {
    Emulator small(10, 30);
    small.write(tooSmallMessage(30, 10, 80, 25));
    const std::string text = small.screenText();
    EXPECT_NE(text.find("80\u00A0×\u00A025"), std::string::npos) << text;
    EXPECT_NE(text.find("30\u00A0×\u00A010"), std::string::npos) << text;
    for (int r = 1; r <= 10; ++r) EXPECT_LE(small.row(r).size(), 40u);  // no line beyond the width
    Emulator tiny(1, 5);
    tiny.write(tooSmallMessage(5, 1, 80, 25));  // does not crash nor write beyond the screen
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
const std::string columnsRow = "Position  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       Alphanumerisch";
const std::string firstRow = "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       @ABCDEFGHIJKLMNO";

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The editor in an 80 × 25 pseudo-terminal with no display, in a folder of its own holding a
// copy of the test data.
struct EditorSession {
    explicit EditorSession(std::vector<std::string> arguments = {"--terminal", "sample.bin"},
                           const std::string& colorterm = "") {  // empty: COLORTERM unset
        char pattern[] = "/tmp/ostrakonix-terminal-XXXXXX";
        folder = ::mkdtemp(pattern);
        fs::copy(OSTRAKONIX_TEST_DATA, folder, fs::copy_options::recursive);
        arguments.insert(arguments.begin(), {OSTRAKONIX_EXECUTABLE, "--log", folder + "/log.txt"});
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        winsize size{25, 80, 0, 0};
        pid = ::forkpty(&master, nullptr, nullptr, &size);
        if (pid == 0) {
            if (::chdir(folder.c_str()) != 0) ::_exit(126);
            for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "COLORTERM"}) ::unsetenv(name);
            ::setenv("TERM", "xterm-256color", 1);
            if (!colorterm.empty()) ::setenv("COLORTERM", colorterm.c_str(), 1);
            ::execv(argv[0], argv.data());
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
        return waitForRow(1, status(0)) << readFile(folder + "/log.txt");
    }
    // Reads what the program writes for up to `milliseconds`.
    void pump(int milliseconds) {
        const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
        for (pollfd fd{master, POLLIN, 0};;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            char buffer[8192];
            if (::poll(&fd, 1, int(std::max<long>(0, left))) <= 0) return;
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) return;
            received.append(buffer, size_t(n));
            screen.write(std::string_view(buffer, size_t(n)));
        }
    }
    testing::AssertionResult waitFor(const std::function<bool()>& done) {
        for (const auto end = Clock::now() + std::chrono::seconds(10); !done(); pump(10)) {
            if (Clock::now() > end) return testing::AssertionFailure() << "timed out:\n" << screen.screenText();
        }
        return testing::AssertionSuccess();
    }
    testing::AssertionResult waitForRow(int row, const std::string& text) {
        return waitFor([&] { return screen.row(row) == text; }) << "wanted in row " << row << ": " << text;
    }
    testing::AssertionResult waitForText(const std::string& text) {
        return waitFor([&] { return screen.screenText().find(text) != std::string::npos; }) << "wanted: " << text;
    }
    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    void resize(int columns, int rows) {
        winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
        ::ioctl(master, TIOCSWINSZ, &size);
        screen.resize(rows, columns);
    }
    // Waits for the program's end, reading what it writes; its wait status, or −1.
    int waitForExit() {
        int status = -1;
        waitFor([&] { return exited = exited || ::waitpid(pid, &status, WNOHANG) == pid; });
        pump(50);
        return status;
    }
    testing::AssertionResult waitUntilStopped() {
        int status = 0;
        return waitFor([&] { return ::waitpid(pid, &status, WNOHANG | WUNTRACED) == pid && WIFSTOPPED(status); });
    }
    tcflag_t localModes(tcflag_t mask) const {
        termios t{};
        ::tcgetattr(master, &t);
        return t.c_lflag & mask;
    }

    Emulator screen{25, 80};
    std::string folder, received;
    pid_t pid = -1;
    int master = -1;
    bool exited = false;
};

class TerminalEditor : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(editor.ready()); }
    EditorSession editor;
};

TEST(TerminalProcess, ShowsTheEditorScreenInColour) {
    for (const std::string colorterm : {"truecolor", ""}) {
        SCOPED_TRACE("COLORTERM=" + colorterm);
        EditorSession editor({"--terminal", "sample.bin"}, colorterm);
        ASSERT_TRUE(editor.ready());
        const Emulator& s = editor.screen;
        EXPECT_EQ(s.row(7), columnsRow);
        EXPECT_EQ(s.row(8), firstRow);
        EXPECT_EQ(s.row(10), "00000020: 20 21 22 23 24 25 26 27 48 65 6C 6C 6F 2C 20 57        !\"#$%&'Hello, W");
        EXPECT_EQ(s.row(4), "^B = Dateianfang    ^E = Dateiende      ^G = Zchn. löschen  ^I = Zchn. einfügen");
        EXPECT_TRUE(s.altScreen);
        EXPECT_FALSE(s.cursorVisible);
        EXPECT_NE(s.mouse, 0);
        EXPECT_NE(s.title.find("sample.bin"), std::string::npos) << s.title;
        // Green on black, the status line inverse, the cursor an inverted cell, control bytes
        // in red; 24-bit colours exact, the 256 colours here too (all four lie in the cube).
        const Rgb black = paletteRgb(0), green = paletteRgb(12), red = paletteRgb(1);
        const auto normal = std::make_pair(green, black), inverse = std::make_pair(black, green);
        EXPECT_EQ(s.colours(8, 14), normal);
        EXPECT_EQ(s.colours(1, 3), inverse);
        EXPECT_EQ(s.colours(8, 11), inverse);
        EXPECT_EQ(s.colours(9, 65), std::make_pair(red, black));
        EXPECT_EQ(s.colours(10, 72), normal);
    }
}

TEST_F(TerminalEditor, KeysArrowsAndControlKeysReachTheEditor) {
    // Control+U, Right, Down, Left (application cursor mode), End, Home, Control+C (page down,
    // not an interrupt), Control+B; Control+\ (^Ö) and Control+Z as keys rather than signals
    // (^Ö ^Z 2A Return goes to 0x2A).
    const std::pair<std::string, unsigned> steps[] = {
        {"\x15", 1},   {"\x1b[C", 2},  {"\x1b[B", 0x12}, {"\x1bOD", 0x11},       {"\x1b[F", 0x3B},
        {"\x1b[H", 0}, {"\x03", 0x3B}, {"\x02", 0},      {"\034\0322A\r", 0x2A}, {"\x02", 0}};
    for (const auto& [keys, position] : steps) {
        editor.send(keys);
        EXPECT_TRUE(editor.waitForRow(1, status(position))) << testing::PrintToString(keys);
    }
    EXPECT_EQ(::waitpid(editor.pid, nullptr, WNOHANG), 0);  // still running
    // A lone Escape is the Escape key: the header shrinks to the status and column rows.
    editor.send("\x1b");
    EXPECT_TRUE(editor.waitForRow(2, columnsRow));
    EXPECT_TRUE(editor.waitForRow(3, firstRow));
    editor.send("AB");  // typing overwrites
    EXPECT_TRUE(
        editor.waitForRow(3, "00000000: 41 42 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       ABBCDEFGHIJKLMNO"));
    EXPECT_TRUE(editor.waitForRow(1, status(2, ":")));
}

TEST_F(TerminalEditor, AClickPlacesTheCursorOnTheCellClickedAndTheWheelScrolls) {
    // The hexadecimal and character columns, the right button; a click outside the screen
    // leaves the cursor where it is; a notch of the wheel scrolls a line as ^W and ^Y do
    // (the file is shorter than the screen, so the cursor goes with it).
    const std::pair<std::string, unsigned> clicks[] = {{"\x1b[<0;20;9M\x1b[<0;20;9m", 0x13},
                                                       {"\x1b[<0;70;10M\x1b[<0;70;10m", 0x25},
                                                       {"\x1b[<2;5;11M\x1b[<2;5;11m", 0x30},
                                                       {"\x1b[<0;81;9M\x1b[<0;81;9m\x15", 0x31},
                                                       {"\x1b[<64;20;9M", 0x21},
                                                       {"\x1b[<64;20;9M\x1b[<64;20;9M", 0x01},
                                                       {"\x1b[<65;20;9M", 0x11}};
    for (const auto& [report, position] : clicks) {
        editor.send(report);
        EXPECT_TRUE(editor.waitForRow(1, status(position))) << testing::PrintToString(report);
    }
}

TEST_F(TerminalEditor, APasteFillsThePasteboardForTheLineEditor) {
    editor.send("\x1b[200~576F726C64\x1b[201~\x06");  // "World" in hexadecimal; Control+F: search menu
    ASSERT_TRUE(editor.waitForText("^D = Suchen:"));
    editor.send("\x04\x16");  // Control+D: edit the search text; Control+V: paste into it
    // The paste key queues the text behind the keys already typed: Return only after it.
    ASSERT_TRUE(editor.waitForRow(2, "^D = Suchen: 576F726C64"));
    editor.send("\r\x0e");  // Control+N: search
    EXPECT_TRUE(editor.waitForRow(1, status(0x2F)));
    // Copying the field (Control+L) puts it on the terminal's clipboard too.
    editor.send("\x04\x0c");
    const std::string clipboard = "\x1b]52;c;" + base64("576F726C64") + "\x07";
    EXPECT_TRUE(editor.waitFor([&] { return editor.received.find(clipboard) != std::string::npos; }));
}

TEST_F(TerminalEditor, ATooSmallTerminalAsksForMoreRoomAndTheScreenComesBack) {
    editor.send("\x15");
    ASSERT_TRUE(editor.waitForRow(1, status(1)));
    editor.resize(70, 20);
    EXPECT_TRUE(editor.waitForText("80\u00A0×\u00A025"));
    EXPECT_TRUE(editor.waitForText("70\u00A0×\u00A020"));
    editor.send("\x15");  // keys still reach the editor while the screen waits
    editor.resize(80, 24);
    EXPECT_TRUE(editor.waitForText("80\u00A0×\u00A024"));
    editor.resize(100, 30);
    EXPECT_TRUE(editor.waitForRow(1, status(2)));
    EXPECT_EQ(editor.screen.row(8), firstRow);
    EXPECT_EQ(editor.screen.row(26), "");
    EXPECT_EQ(editor.screen.screenText().find("Zeichen."), std::string::npos);
}

TEST_F(TerminalEditor, SavingAndQuittingRestoreTheTerminal) {
    EXPECT_EQ(editor.localModes(ICANON | ECHO | ISIG), 0u);  // raw while the editor runs
    editor.send("XY");
    ASSERT_TRUE(
        editor.waitForRow(8, "00000000: 58 59 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       XYBCDEFGHIJKLMNO"));
    editor.send("\x13");  // Control+S
    ASSERT_TRUE(editor.waitForRow(1, status(2)));
    EXPECT_EQ(readFile(editor.folder + "/sample.bin").substr(0, 3), "XY\x02");
    editor.send("\x11");  // Control+Q
    const int status = editor.waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(editor.screen.altScreen);
    EXPECT_TRUE(editor.screen.cursorVisible);
    EXPECT_EQ(editor.screen.mouse, 0);
    EXPECT_EQ(editor.localModes(ICANON | ECHO | ISIG), tcflag_t(ICANON | ECHO | ISIG));
    EXPECT_NE(editor.received.find("\x1b[?2004l"), std::string::npos);  // bracketed paste off
}

TEST(TerminalProcess, ATerminationOrCrashSignalRestoresTheTerminal) {
    for (int number : {SIGTERM, SIGHUP, SIGSEGV}) {
        SCOPED_TRACE(number);
        EditorSession editor;
        ASSERT_TRUE(editor.ready());
        ::kill(editor.pid, number);
        const int status = editor.waitForExit();
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        // A crash goes on to the handler that was there before (a sanitizer's ends in an abort).
        EXPECT_TRUE(number == SIGSEGV || WTERMSIG(status) == number) << WTERMSIG(status);
        EXPECT_FALSE(editor.screen.altScreen);
        EXPECT_TRUE(editor.screen.cursorVisible);
        EXPECT_EQ(editor.localModes(ICANON | ECHO), tcflag_t(ICANON | ECHO));
    }
}

TEST_F(TerminalEditor, StoppedAndContinuedTheScreenComesBack) {
    // A stop request the process can't follow (no shell here could continue it): the
    // terminal, given back for the stop, is taken again at once.
    ::kill(editor.pid, SIGTSTP);
    editor.screen.write("\x1b[?1049l\x1b[2Jshell");
    EXPECT_TRUE(editor.waitFor([&] { return editor.screen.altScreen; }));
    EXPECT_TRUE(editor.waitForRow(1, status(0)));
    EXPECT_EQ(editor.localModes(ICANON | ECHO), 0u);
    // A stop that can't be caught: on continuing, the raw mode is set again and the whole
    // screen drawn anew over whatever the terminal showed meanwhile.
    ::kill(editor.pid, SIGSTOP);
    ASSERT_TRUE(editor.waitUntilStopped());
    editor.screen.write("\x1b[2J\x1b[Hshell$ fg");
    ::kill(editor.pid, SIGCONT);
    EXPECT_TRUE(editor.waitForRow(1, status(0)));
    EXPECT_EQ(editor.screen.row(8), firstRow);
    editor.send("\x15");
    EXPECT_TRUE(editor.waitForRow(1, status(1)));
}

// Threads that hand calls to the main loop one after another, in a child process with a
// terminal of its own: every call must come back. A wake-up lost between the loop's waking
// and its taking of the calls left a call waiting for good.
TEST(TerminalMainLoop, CallsFromOtherThreadsAreNeverLeftWaiting) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) ::_exit(2);
        std::atomic<bool> done{false};
        std::thread reader([&] {  // keeps the terminal's output from filling up
            char buffer[4096];
            while (!done) {
                pollfd fd{master, POLLIN, 0};
                if (::poll(&fd, 1, 10) > 0 && ::read(master, buffer, sizeof buffer) <= 0) break;
            }
        });
        TerminalOptions options;
        options.inputFd = options.outputFd = slave;
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
        done = true;
        reader.join();
        ::_exit(status == 0 && ran == posters * calls ? 0 : 3);
    }
    int status = 0;
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() > until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            FAIL() << "a call handed to the main loop never came back";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TerminalProcess, WithoutADisplayTheTerminalHostIsChosen) {
    EditorSession editor({"sample.bin"});
    EXPECT_TRUE(editor.ready());
    EXPECT_TRUE(editor.screen.altScreen);
}

TEST(TerminalProcess, WithoutADisplayOrATerminalAClearMessage) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"/dev/null", {"standard input is no terminal", "--headless"}},
        {"--terminal", {"--terminal needs a terminal"}},
        {"--terminal --headless", {"exclude each other"}}};
    for (const auto& [arguments, phrases] : cases) {
        // Standard input and output on /dev/null; what goes to standard error is read.
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " OSTRAKONIX_EXECUTABLE " " +
                                    arguments + " </dev/null 2>&1 >/dev/null";
        FILE* pipe = ::popen(command.c_str(), "r");
        std::string message;
        for (int c; (c = std::fgetc(pipe)) != EOF;) message += char(c);
        const int status = ::pclose(pipe);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 2) << arguments;
        for (const std::string& phrase : phrases) EXPECT_NE(message.find(phrase), std::string::npos) << message;
    }
}

}  // namespace
