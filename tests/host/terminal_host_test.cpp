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
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vterm.h>
#include <wchar.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
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

// --- A terminal emulator ------------------------------------------------------------------

struct Rgb {
    int red = -1, green = -1, blue = -1;
    bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

Rgb paletteRgb(int number) {
    const auto& e = t_Palette()[size_t(number)];
    return {e.Red, e.Green, e.Blue};
}

std::string utf8(uint32_t c) {
    std::string out;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
    return out;
}

class Emulator {
public:
    Emulator(int rows, int columns) : vt_(vterm_new(rows, columns)) {
        vterm_set_utf8(vt_, 1);
        screen_ = vterm_obtain_screen(vt_);
        static const VTermScreenCallbacks callbacks = [] {
            VTermScreenCallbacks c{};
            c.settermprop = [](VTermProp prop, VTermValue* value, void* user) {
                auto* self = static_cast<Emulator*>(user);
                if (prop == VTERM_PROP_ALTSCREEN) self->altScreen_ = value->boolean;
                if (prop == VTERM_PROP_MOUSE) self->mouse_ = value->number;
                if (prop == VTERM_PROP_CURSORVISIBLE) self->cursorVisible_ = value->boolean;
                if (prop == VTERM_PROP_TITLE && value->string) self->title_ = value->string;
                return 1;
            };
            c.bell = [](void* user) {
                ++static_cast<Emulator*>(user)->bells_;
                return 1;
            };
            return c;
        }();
        vterm_screen_set_callbacks(screen_, &callbacks, this);
        vterm_screen_enable_altscreen(screen_, 1);
        vterm_screen_reset(screen_, 1);
    }
    ~Emulator() { vterm_free(vt_); }
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    void write(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
    void resize(int rows, int columns) { vterm_set_size(vt_, rows, columns); }

    VTermScreenCell cell(int row, int column) const {  // from 1
        VTermScreenCell c{};
        vterm_screen_get_cell(screen_, VTermPos{row - 1, column - 1}, &c);
        return c;
    }
    uint32_t character(int row, int column) const { return cell(row, column).chars[0]; }
    // The row as text, trailing blanks left out.
    std::string row(int row) const {
        int rows = 0, columns = 0;
        vterm_get_size(vt_, &rows, &columns);
        std::string out;
        for (int c = 1; c <= columns; ++c) {
            const uint32_t ch = character(row, c);
            out += ch ? utf8(ch) : std::string(" ");
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out;
    }
    std::string screenText() const {
        int rows = 0, columns = 0;
        vterm_get_size(vt_, &rows, &columns);
        std::string out;
        for (int r = 1; r <= rows; ++r) out += row(r) + "\n";
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
    bool altScreen() const { return altScreen_; }
    int mouse() const { return mouse_; }
    bool cursorVisible() const { return cursorVisible_; }
    const std::string& title() const { return title_; }
    int bells() const { return bells_; }

private:
    VTerm* vt_;
    VTermScreen* screen_;
    bool altScreen_ = false;
    int mouse_ = 0;
    bool cursorVisible_ = true;
    std::string title_;
    int bells_ = 0;
};

// --- Cells and colours -------------------------------------------------------------------

uint32_t firstScalar(std::string_view text, size_t* length = nullptr) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t n = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    uint32_t c = n == 1 ? lead : lead & (0x7F >> n);
    for (size_t i = 1; i < n && i < text.size(); ++i) c = c << 6 | (static_cast<unsigned char>(text[i]) & 0x3F);
    if (length) *length = n;
    return c;
}

TEST(TerminalCells, EveryCodeIsOnePrintableCharacterOneColumnWide) {
    ASSERT_TRUE(std::setlocale(LC_CTYPE, "C.UTF-8"));
    for (int code = 0; code < 256; ++code) {
        const std::string_view text = cellText(uint8_t(code));
        ASSERT_FALSE(text.empty()) << code;
        size_t length = 0;
        const uint32_t c = firstScalar(text, &length);
        EXPECT_EQ(length, text.size()) << "code " << code << " is more than one character";
        EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c <= 0x9F)) << "code " << code << " writes a control character";
        EXPECT_EQ(::wcwidth(wchar_t(c)), 1) << "code " << code << " (U+" << std::hex << c << ") is not one column";
    }
    // What the font shows for the codes that aren't plain Latin-1.
    EXPECT_EQ(cellText(0), "␀");
    EXPECT_EQ(cellText(27), "␛");
    EXPECT_EQ(cellText(18), "╡");
    EXPECT_EQ(cellText(19), "╞");
    EXPECT_EQ(cellText(134), "┌");
    EXPECT_EQ(cellText(156), "─");
    EXPECT_EQ(cellText(157), "│");
    EXPECT_EQ(cellText(159), "═");
    EXPECT_EQ(cellText(164), "€");
    EXPECT_EQ(cellText(191), "…");
    EXPECT_EQ(cellText(183), "·");
    EXPECT_EQ(cellText(246), "ö");
    EXPECT_EQ(cellText(130), "[");
    EXPECT_EQ(cellText('A'), "A");
}

TEST(TerminalCells, PaletteColoursMapToTheNearestFixedXtermColour) {
    EXPECT_EQ(nearestXtermColour(0, 0, 0), 16);
    EXPECT_EQ(nearestXtermColour(255, 255, 255), 231);
    EXPECT_EQ(nearestXtermColour(0, 255, 0), 46);
    EXPECT_EQ(nearestXtermColour(255, 0, 0), 196);
    EXPECT_EQ(nearestXtermColour(0xA8, 0xA8, 0xA8), 248);  // a grey of the grey ramp
    EXPECT_EQ(nearestXtermColour(0, 0, 0x80), 18);         // dark blue: the cube's 0, 0, 135
    EXPECT_EQ(nearestXtermColour(0x54, 0x54, 0x54), 240);  // dark grey: ramp 88 is nearest
    EXPECT_EQ(colourModeFor("truecolor"), ColourMode::trueColour);
    EXPECT_EQ(colourModeFor("24bit"), ColourMode::trueColour);
    EXPECT_EQ(colourModeFor("yes"), ColourMode::xterm256);
    EXPECT_EQ(colourModeFor(nullptr), ColourMode::xterm256);
}

// --- The input decoder -----------------------------------------------------------------------

std::vector<Input> decode(std::initializer_list<std::string_view> chunks, bool flush = false) {
    InputDecoder decoder;
    std::vector<Input> out;
    for (std::string_view chunk : chunks) decoder.feed(chunk, out);
    if (flush) decoder.flush(out);
    return out;
}

host::KeyEvent onlyKey(const std::vector<Input>& inputs) {
    EXPECT_EQ(inputs.size(), 1u);
    if (inputs.size() != 1 || !std::holds_alternative<host::KeyEvent>(inputs[0])) return {-1, "", 0};
    return std::get<host::KeyEvent>(inputs[0]);
}

void expectKey(const std::vector<Input>& inputs, int64_t code, const std::string& characters, uint64_t flags) {
    const host::KeyEvent key = onlyKey(inputs);
    EXPECT_EQ(key.keyCode, code);
    EXPECT_EQ(key.characters, characters);
    EXPECT_EQ(key.modifierFlags, flags);
}

TEST(TerminalInput, ControlCharactersAndTypedKeys) {
    expectKey(decode({"\x15"}), 32, "\x15", mod::control);  // Control+U
    expectKey(decode({"\x03"}), 8, "\x03", mod::control);   // Control+C is a key
    expectKey(decode({"\x1c"}), 42, "\x1c", mod::control);  // Control+\ (^Ö)
    expectKey(decode({"\x1d"}), 30, "\x1d", mod::control);  // Control+] (^Ü)
    expectKey(decode({"\x08"}), 4, "\x08", mod::control);   // Control+H, not Backspace
    expectKey(decode({"\x7f"}), 51, "\x7f", 0);             // Backspace
    expectKey(decode({"\r"}), 36, "\r", 0);
    expectKey(decode({"\t"}), 48, "\t", 0);
    expectKey(decode({"\n"}), 38, "\n", mod::control);  // Control+J
    expectKey(decode({"a"}), 0, "a", 0);
    expectKey(decode({"Q"}), 12, "Q", mod::shift);
    expectKey(decode({"7"}), 26, "7", 0);
    expectKey(decode({"!"}), 18, "!", mod::shift);
    expectKey(decode({" "}), 49, " ", 0);
    // UTF-8, also split between reads; € comes from the key the key table expects it on.
    expectKey(decode({"\xc3", "\xa4"}), unknownKeyCode, "ä", 0);
    expectKey(decode({"€"}), 14, "€", 0);
    // Broken UTF-8 is dropped, what follows it is not.
    expectKey(decode({"\xc3x"}), 7, "x", 0);
    EXPECT_TRUE(decode({"\xff\xfe\x80"}).empty());
    EXPECT_TRUE(decode({"\xed\xa0\x80"}).empty());  // a surrogate
    EXPECT_TRUE(decode({"\xe0\x80\xaf"}).empty());  // overlong
}

TEST(TerminalInput, SequencesOfTheSpecialKeys) {
    const uint64_t arrow = mod::function | mod::numericPad, fn = mod::function;
    expectKey(decode({"\x1b[A"}), 126, "\xef\x9c\x80", arrow);  // U+F700
    expectKey(decode({"\x1b[B"}), 125, "\xef\x9c\x81", arrow);
    expectKey(decode({"\x1b[C"}), 124, "\xef\x9c\x83", arrow);
    expectKey(decode({"\x1b[D"}), 123, "\xef\x9c\x82", arrow);
    expectKey(decode({"\x1bOC"}), 124, "\xef\x9c\x83", arrow);  // application cursor keys
    expectKey(decode({"\x1b[1;5C"}), 124, "\xef\x9c\x83", arrow | mod::control);
    expectKey(decode({"\x1b[1;2A"}), 126, "\xef\x9c\x80", arrow | mod::shift);
    expectKey(decode({"\x1b[H"}), 115, "\xef\x9c\xa9", fn);
    expectKey(decode({"\x1b[1~"}), 115, "\xef\x9c\xa9", fn);
    expectKey(decode({"\x1bOF"}), 119, "\xef\x9c\xab", fn);
    expectKey(decode({"\x1b[4~"}), 119, "\xef\x9c\xab", fn);
    expectKey(decode({"\x1b[5~"}), 116, "\xef\x9c\xac", fn);
    expectKey(decode({"\x1b[6~"}), 121, "\xef\x9c\xad", fn);
    expectKey(decode({"\x1b[3~"}), 117, "\xef\x9c\xa8", fn);   // forward delete
    expectKey(decode({"\x1b[2~"}), 114, "\xef\x9d\x86", fn);   // Insert as Help
    expectKey(decode({"\x1bOP"}), 122, "\xef\x9c\x84", fn);    // F1
    expectKey(decode({"\x1b[[A"}), 122, "\xef\x9c\x84", fn);   // F1 of the Linux console
    expectKey(decode({"\x1b[15~"}), 96, "\xef\x9c\x88", fn);   // F5
    expectKey(decode({"\x1b[24~"}), 111, "\xef\x9c\x8f", fn);  // F12
    expectKey(decode({"\x1b[Z"}), 48, "\x19", mod::shift);     // Shift+Tab
    // Alt+key is the option modifier, also with control characters and UTF-8.
    expectKey(decode({"\x1bx"}), 7, "x", mod::option);
    expectKey(decode({"\x1b\x0c"}), 37, "\x0c", mod::control | mod::option);
    expectKey(decode({"\x1b\xc3\xb6"}), unknownKeyCode, "ö", mod::option);
    // A sequence split between reads is one key.
    expectKey(decode({"\x1b", "[", "1;5", "C"}), 124, "\xef\x9c\x83", arrow | mod::control);
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
    // Two Escapes: two keys. Escape and "[" cut off by the timeout: Alt+[.
    const auto two = decode({"\x1b\x1b"}, true);
    ASSERT_EQ(two.size(), 2u);
    expectKey({two[0]}, 53, "\x1b", 0);
    expectKey({two[1]}, 53, "\x1b", 0);
    expectKey(decode({"\x1b["}, true), 33, "[", mod::option);
    expectKey(decode({"\x1bO"}, true), 31, "O", mod::option | mod::shift);
}

TEST(TerminalInput, MalformedSequencesAreDroppedSafely) {
    // A control character inside a sequence breaks it off: the sequence goes, the key stays.
    expectKey(decode({"\x1b[1;\x15"}), 32, "\x15", mod::control);
    // Unknown sequences, private ones, and ones with intermediates: nothing.
    EXPECT_TRUE(decode({"\x1b[99~"}).empty());
    EXPECT_TRUE(decode({"\x1b[?1;2c"}).empty());
    EXPECT_TRUE(decode({"\x1b[1 q"}).empty());
    EXPECT_TRUE(decode({"\x1b[I\x1b[O"}).empty());
    EXPECT_TRUE(decode({"\x1bOz"}).empty());
    // Numbers far beyond any key are capped, not overflowed.
    EXPECT_TRUE(decode({"\x1b[99999999999999999999999999~"}).empty());
    expectKey(decode({"\x1b[1;99999999999999999999C"}), 124, "\xef\x9c\x83", mod::function | mod::numericPad);
    // An overlong sequence is skipped to its end: its digits must not be typed into the file.
    const std::string overlong = "\x1b[" + std::string(500, '1') + ";" + std::string(300, '2') + "~";
    EXPECT_TRUE(decode({overlong}).empty());
    expectKey(decode({overlong.substr(0, 100), overlong.substr(100), "k"}), 40, "k", 0);
    // A sequence cut off by the timeout is dropped whole.
    EXPECT_TRUE(decode({"\x1b[1;5"}, true).empty());
    // Mouse reports that lack a number or lie outside the screen.
    EXPECT_TRUE(decode({"\x1b[<0;5M"}).empty());
    EXPECT_TRUE(decode({"\x1b[<0;0;3M"}).empty());
    EXPECT_TRUE(decode({"\x1b[<;;M"}).empty());
    EXPECT_TRUE(decode({"\x1b[M\x20\x20\x21"}).empty());  // old form, column 0
}

TEST(TerminalInput, MouseReports) {
    auto mouse = [](const std::vector<Input>& inputs) {
        EXPECT_EQ(inputs.size(), 1u);
        return inputs.size() == 1 && std::holds_alternative<MouseInput>(inputs[0]) ? std::get<MouseInput>(inputs[0])
                                                                                   : MouseInput{-1};
    };
    MouseInput press = mouse(decode({"\x1b[<0;20;9M"}));
    EXPECT_EQ(press.button, 0);
    EXPECT_TRUE(press.press);
    EXPECT_EQ(press.column, 20);
    EXPECT_EQ(press.row, 9);
    EXPECT_EQ(press.modifierFlags, 0u);
    MouseInput release = mouse(decode({"\x1b[<0;20;9m"}));
    EXPECT_FALSE(release.press);
    MouseInput right = mouse(decode({"\x1b[<18;300;200M"}));  // right button with Control, beyond 223
    EXPECT_EQ(right.button, 2);
    EXPECT_EQ(right.column, 300);
    EXPECT_EQ(right.modifierFlags, mod::control);
    EXPECT_EQ(mouse(decode({"\x1b[<64;1;1M"})).button, 64);  // the wheel
    EXPECT_TRUE(mouse(decode({"\x1b[<32;3;3M"})).motion);
    MouseInput old = mouse(decode({"\x1b[M", "\x20\x34\x29"}));  // the old form, split
    EXPECT_EQ(old.button, 0);
    EXPECT_EQ(old.column, 20);
    EXPECT_EQ(old.row, 9);
}

TEST(TerminalInput, BracketedPaste) {
    auto paste = [](const std::vector<Input>& inputs, size_t index = 0) {
        return index < inputs.size() && std::holds_alternative<PasteInput>(inputs[index])
                   ? std::get<PasteInput>(inputs[index]).text
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
    InputDecoder big;
    out.clear();
    big.feed("\x1b[200~", out);
    const std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 5; ++i) big.feed(chunk, out);
    big.feed("\x1b[201~q", out);
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
        ScreenWriter writer(mode);
        Emulator emulator(6, 12);
        std::vector<Cell> cells = cellsOf({"Hallo Welt", "0123456789", "          ", "abcdefghij"}, 0xC0);
        cells[25] = {134, 0x1F};  // ┌ red on white
        cells[30] = {0, 0x0C};    // ␀ inverse green
        std::string out;
        writer.frame(cells, 10, 4, out);
        emulator.write(out);
        EXPECT_EQ(emulator.row(1), "Hallo Welt");
        EXPECT_EQ(emulator.row(2), "0123456789");
        EXPECT_EQ(emulator.row(3), "     ┌");
        EXPECT_EQ(emulator.row(4), "␀bcdefghij");
        // These palette colours lie in the 256 colours' cube too: exact in both modes.
        EXPECT_EQ(emulator.colours(1, 1), std::make_pair(paletteRgb(12), paletteRgb(0)));
        EXPECT_EQ(emulator.colours(3, 6), std::make_pair(paletteRgb(1), paletteRgb(15)));
        EXPECT_EQ(emulator.colours(4, 1), std::make_pair(paletteRgb(0), paletteRgb(12)));
        EXPECT_EQ(emulator.colours(4, 2), std::make_pair(paletteRgb(12), paletteRgb(0)));

        // Nothing changed: nothing written.
        out.clear();
        writer.frame(cells, 10, 4, out);
        EXPECT_EQ(out, "");
        // The cursor moves one cell: the two cells and no more.
        cells[30] = {'a', 0xC0};
        cells[31] = {'b', 0x0C};
        out.clear();
        writer.frame(cells, 10, 4, out);
        emulator.write(out);
        EXPECT_LT(out.size(), 40u) << (mode == ColourMode::trueColour ? "24-bit" : "256");
        EXPECT_EQ(emulator.row(4), "abcdefghij");
        EXPECT_EQ(emulator.colours(4, 1), std::make_pair(paletteRgb(12), paletteRgb(0)));
        const auto [movedFg, movedBg] = emulator.colours(4, 2);
        EXPECT_EQ(movedFg, emulator.colours(4, 1).second);
        EXPECT_EQ(movedBg, emulator.colours(4, 1).first);
        // Changes apart in one row: the cells between are written again or moved over, and
        // the row comes out right either way.
        cells[0] = {'h', 0xC0};
        cells[2] = {'L', 0xC0};
        cells[9] = {'T', 0xC0};
        out.clear();
        writer.frame(cells, 10, 4, out);
        emulator.write(out);
        EXPECT_EQ(emulator.row(1), "haLlo WelT");
        // After invalidate the screen is cleared and drawn whole.
        emulator.write("\x1b[2;3Hgarbage");
        writer.invalidate();
        out.clear();
        writer.frame(cells, 10, 4, out);
        emulator.write(out);
        EXPECT_EQ(emulator.row(2), "0123456789");
        EXPECT_EQ(emulator.row(5), "");
    }
}

TEST(TerminalFrames, TheLastColumnAndRowOfATerminalOfTheGridsSize) {
    // Autowrap off, as the host sets it: the bottom right cell must not scroll the screen.
    ScreenWriter writer(ColourMode::xterm256);
    Emulator emulator(3, 4);
    emulator.write("\x1b[?7l");
    std::vector<Cell> cells = cellsOf({"abcd", "efgh", "ijkl"}, 0xC0);
    std::string out;
    writer.frame(cells, 4, 3, out);
    emulator.write(out);
    cells[11] = {'L', 0xC0};
    cells[0] = {'A', 0xC0};
    out.clear();
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
    EXPECT_EQ(safeTitle("b\xc2\x9b"
                        "2J\xc3\xa4\xff.bin"),
              "b2Jä.bin");
    EXPECT_EQ(safeTitle(std::string(500, 'x')).size(), 200u);

    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foo"), "Zm9v");
    EXPECT_EQ(base64(std::string("\xff\xfe\xfd\x00", 4)), "//79AA==");
}

// --- The editor in a pseudo-terminal ----------------------------------------------------------

constexpr const char* statusLine = " ·sample.bin              Pos = %s  Ende = 0000003B  Esc = Hilfe & Status";

std::string status(const char* position) {
    char line[128];
    std::snprintf(line, sizeof line, statusLine, position);
    return line;
}

std::string mouseClick(int column, int row) {
    return "\x1b[<0;" + std::to_string(column) + ";" + std::to_string(row) + "M\x1b[<0;" + std::to_string(column) +
           ";" + std::to_string(row) + "m";
}

class EditorSession {
public:
    struct Setup {
        std::vector<std::string> arguments{"--terminal", "sample.bin"};
        int columns = 80, rows = 25;
        std::string colorterm;  // empty: unset
        bool stdinIsTerminal = true;
    };

    explicit EditorSession(Setup setup) : emulator_(setup.rows, setup.columns) {
        char pattern[] = "/tmp/ostrakonix-terminal-XXXXXX";
        folder_ = ::mkdtemp(pattern);
        fs::copy(OSTRAKONIX_TEST_DATA, folder_, fs::copy_options::recursive);
        std::vector<std::string> arguments{OSTRAKONIX_EXECUTABLE, "--log", folder_ + "/log.txt"};
        arguments.insert(arguments.end(), setup.arguments.begin(), setup.arguments.end());
        std::vector<char*> argv;
        for (std::string& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        winsize size{};
        size.ws_col = static_cast<unsigned short>(setup.columns);
        size.ws_row = static_cast<unsigned short>(setup.rows);
        pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            if (::chdir(folder_.c_str()) != 0) ::_exit(126);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            ::unsetenv("QT_QPA_PLATFORM");
            ::setenv("TERM", "xterm-256color", 1);
            if (setup.colorterm.empty())
                ::unsetenv("COLORTERM");
            else
                ::setenv("COLORTERM", setup.colorterm.c_str(), 1);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }

    ~EditorSession() {
        if (pid_ > 0 && !exited_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    bool started() const { return pid_ > 0 && master_ >= 0; }

    // Reads what the program writes for up to `milliseconds`.
    void pump(int milliseconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
            pollfd fd{master_, POLLIN, 0};
            if (::poll(&fd, 1, int(std::max<long>(0, left))) <= 0) return;
            char buffer[8192];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) return;
            received_.append(buffer, size_t(n));
            emulator_.write(std::string_view(buffer, size_t(n)));
        }
    }

    bool waitFor(const std::function<bool()>& done, int milliseconds = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            pump(10);
        }
        return true;
    }

    bool waitForRow(int row, const std::string& text, int milliseconds = 10000) {
        return waitFor([&] { return emulator_.row(row) == text; }, milliseconds);
    }

    bool waitForText(const std::string& text, int milliseconds = 10000) {
        return waitFor([&] { return emulator_.screenText().find(text) != std::string::npos; }, milliseconds);
    }

    void send(const std::string& bytes) {
        ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    void resize(int columns, int rows) {
        winsize size{};
        size.ws_col = static_cast<unsigned short>(columns);
        size.ws_row = static_cast<unsigned short>(rows);
        ::ioctl(master_, TIOCSWINSZ, &size);
        emulator_.resize(rows, columns);
    }

    // Waits for the program's end, reading what it writes; its wait status, or −1.
    int waitForExit(int milliseconds = 10000) {
        int result = -1;
        waitFor(
            [&] {
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                    exited_ = true;
                    result = status;
                }
                return exited_;
            },
            milliseconds);
        pump(50);
        return result;
    }

    termios settings() const {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }

    void signal(int number) { ::kill(pid_, number); }
    // Waits until the program has been stopped by a signal.
    bool waitUntilStopped(int milliseconds = 10000) {
        return waitFor(
            [&] {
                int status = 0;
                return ::waitpid(pid_, &status, WNOHANG | WUNTRACED) == pid_ && WIFSTOPPED(status);
            },
            milliseconds);
    }
    bool running() {
        if (exited_) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) exited_ = true;
        return !exited_;
    }
    const Emulator& screen() const { return emulator_; }
    // Writes into the emulated terminal as another program (a shell) would meanwhile.
    void scribble(std::string_view bytes) { emulator_.write(bytes); }
    const std::string& received() const { return received_; }
    void forget() { received_.clear(); }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }
    std::string log() const {
        std::ifstream in(folder_ + "/log.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    Emulator emulator_;
    std::string folder_;
    pid_t pid_ = -1;
    int master_ = -1;
    bool exited_ = false;
    std::string received_;
};

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(TerminalEditor, ShowsTheEditorScreenInColour) {
    for (const std::string colorterm : {"truecolor", ""}) {
        EditorSession::Setup setup;
        setup.colorterm = colorterm;
        EditorSession editor(setup);
        ASSERT_TRUE(editor.started());
        ASSERT_TRUE(editor.waitForRow(1, status("00000000"))) << editor.screen().screenText() << editor.log();
        const Emulator& s = editor.screen();
        EXPECT_EQ(s.row(7), "Position  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       Alphanumerisch");
        EXPECT_EQ(s.row(8), "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       @ABCDEFGHIJKLMNO");
        EXPECT_EQ(s.row(10), "00000020: 20 21 22 23 24 25 26 27 48 65 6C 6C 6F 2C 20 57        !\"#$%&'Hello, W");
        EXPECT_EQ(s.row(4), "^B = Dateianfang    ^E = Dateiende      ^G = Zchn. löschen  ^I = Zchn. einfügen");
        EXPECT_TRUE(s.altScreen());
        EXPECT_FALSE(s.cursorVisible());
        EXPECT_NE(s.mouse(), 0);
        EXPECT_NE(s.title().find("sample.bin"), std::string::npos) << s.title();
        // Green on black, the status line inverse, the cursor an inverted cell, control bytes
        // in red; 24-bit colours exact, the 256 colours here too (all four lie in the cube).
        const Rgb black = paletteRgb(0), green = paletteRgb(12), red = paletteRgb(1);
        EXPECT_EQ(s.colours(8, 14), std::make_pair(green, black)) << colorterm;
        EXPECT_EQ(s.colours(1, 3), std::make_pair(black, green)) << colorterm;
        EXPECT_EQ(s.colours(8, 11), std::make_pair(black, green)) << colorterm;
        EXPECT_EQ(s.colours(9, 65), std::make_pair(red, black)) << colorterm;
        EXPECT_EQ(s.colours(10, 72), std::make_pair(green, black)) << colorterm;
    }
}

TEST(TerminalEditor, KeysArrowsAndControlKeysReachTheEditor) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000"))) << editor.screen().screenText();
    editor.send("\x15");  // Control+U: one byte right
    EXPECT_TRUE(editor.waitForRow(1, status("00000001")));
    editor.send("\x1b[C");  // Right
    EXPECT_TRUE(editor.waitForRow(1, status("00000002")));
    editor.send("\x1b[B");  // Down
    EXPECT_TRUE(editor.waitForRow(1, status("00000012")));
    editor.send("\x1bOD");  // Left, as in application cursor mode
    EXPECT_TRUE(editor.waitForRow(1, status("00000011")));
    editor.send("\x1b[F");  // End: the end of the file
    EXPECT_TRUE(editor.waitForRow(1, status("0000003B")));
    editor.send("\x1b[H");  // Home: the start
    EXPECT_TRUE(editor.waitForRow(1, status("00000000")));
    editor.send("\x03");  // Control+C is the editor's page down, not an interrupt
    EXPECT_TRUE(editor.waitForRow(1, status("0000003B")));
    EXPECT_TRUE(editor.running());
    editor.send("\x02");  // Control+B
    EXPECT_TRUE(editor.waitForRow(1, status("00000000")));
    // Control+\ (the editor's ^Ö) and Control+Z reach it too, as keys rather than signals.
    editor.send("\x1c");
    editor.send("\x1a");
    editor.send("2A\r");
    EXPECT_TRUE(editor.waitForRow(1, status("0000002A"))) << editor.screen().row(1);
    EXPECT_TRUE(editor.running());
    editor.send("\x02");
    EXPECT_TRUE(editor.waitForRow(1, status("00000000")));
    // A lone Escape is the Escape key: the header shrinks to the status and column rows.
    editor.send("\x1b");
    EXPECT_TRUE(editor.waitForRow(2, "Position  00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       Alphanumerisch"));
    EXPECT_TRUE(
        editor.waitForRow(3, "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       @ABCDEFGHIJKLMNO"));
    // Typing overwrites.
    editor.send("AB");
    EXPECT_TRUE(
        editor.waitForRow(3, "00000000: 41 42 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       ABBCDEFGHIJKLMNO"))
        << editor.screen().screenText();
    EXPECT_TRUE(
        editor.waitForRow(1, " :sample.bin              Pos = 00000002  Ende = 0000003B  Esc = Hilfe & Status"));
}

TEST(TerminalEditor, AClickPlacesTheCursorOnTheCellClicked) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
    editor.send(mouseClick(20, 9));  // hexadecimal column of byte 0x13
    EXPECT_TRUE(editor.waitForRow(1, status("00000013"))) << editor.screen().row(1);
    editor.send(mouseClick(70, 10));  // character column of byte 0x25
    EXPECT_TRUE(editor.waitForRow(1, status("00000025"))) << editor.screen().row(1);
    editor.send("\x1b[<2;5;11M\x1b[<2;5;11m");  // the right button places it too
    EXPECT_TRUE(editor.waitForRow(1, status("00000030"))) << editor.screen().row(1);
    // The wheel and clicks outside the screen leave the cursor where it is.
    editor.send("\x1b[<64;20;9M\x1b[<0;81;9M\x1b[<0;81;9m\x15");
    EXPECT_TRUE(editor.waitForRow(1, status("00000031"))) << editor.screen().row(1);
}

TEST(TerminalEditor, APasteFillsThePasteboardForTheLineEditor) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
    editor.send("\x1b[200~576F726C64\x1b[201~");  // "World" in hexadecimal
    editor.send("\x06");                          // Control+F: the search menu
    ASSERT_TRUE(editor.waitForText("^D = Suchen:"));
    editor.send("\x04");  // Control+D: edit the search text
    editor.send("\x16");  // Control+V: paste into the field
    // The paste key queues the text behind the keys already typed: Return only after it.
    ASSERT_TRUE(editor.waitForRow(2, "^D = Suchen: 576F726C64")) << editor.screen().screenText();
    editor.send("\r");
    editor.send("\x0e");  // Control+N: search
    EXPECT_TRUE(editor.waitForRow(1, status("0000002F"))) << editor.screen().screenText();
    // Copying the field (Control+L) puts it on the terminal's clipboard too.
    editor.send("\x04\x0c");
    const std::string clipboard = "\x1b]52;c;" + base64("576F726C64") + "\x07";
    EXPECT_TRUE(editor.waitFor([&] { return editor.received().find(clipboard) != std::string::npos; }));
    editor.send("\r");
}

TEST(TerminalEditor, ATooSmallTerminalAsksForMoreRoomAndTheScreenComesBack) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
    editor.send("\x15");
    ASSERT_TRUE(editor.waitForRow(1, status("00000001")));
    editor.resize(70, 20);
    EXPECT_TRUE(editor.waitForText("80\u00A0×\u00A025")) << editor.screen().screenText();
    EXPECT_TRUE(editor.waitForText("70\u00A0×\u00A020")) << editor.screen().screenText();
    // Keys still reach the editor while the screen waits.
    editor.send("\x15");
    editor.resize(80, 24);
    EXPECT_TRUE(editor.waitForText("80\u00A0×\u00A024")) << editor.screen().screenText();
    editor.resize(100, 30);
    EXPECT_TRUE(editor.waitForRow(1, status("00000002"))) << editor.screen().screenText();
    EXPECT_EQ(editor.screen().row(8),
              "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       @ABCDEFGHIJKLMNO");
    EXPECT_EQ(editor.screen().row(26), "");
    EXPECT_EQ(editor.screen().screenText().find("Zeichen."), std::string::npos);
}

TEST(TerminalEditor, SavingAndQuittingRestoreTheTerminal) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
    const termios before = editor.settings();
    EXPECT_EQ(before.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw while the editor runs
    editor.send("XY");
    ASSERT_TRUE(
        editor.waitForRow(8, "00000000: 58 59 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       XYBCDEFGHIJKLMNO"));
    editor.send("\x13");  // Control+S
    ASSERT_TRUE(editor.waitForRow(1, status("00000002")));
    EXPECT_EQ(fileBytes(editor.path("sample.bin")).substr(0, 3), "XY\x02");
    editor.send("\x11");  // Control+Q
    const int status = editor.waitForExit();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(editor.screen().altScreen());
    EXPECT_TRUE(editor.screen().cursorVisible());
    EXPECT_EQ(editor.screen().mouse(), 0);
    const termios after = editor.settings();
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG), tcflag_t(ICANON | ECHO | ISIG));
    EXPECT_NE(editor.received().find("\x1b[?2004l"), std::string::npos);  // bracketed paste off
}

TEST(TerminalEditor, ATerminationOrCrashSignalRestoresTheTerminal) {
    for (int number : {SIGTERM, SIGHUP, SIGSEGV}) {
        EditorSession editor({});
        ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
        editor.signal(number);
        const int status = editor.waitForExit();
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        // A crash goes on to the handler that was there before (a sanitizer's report ends
        // in an abort).
        if (number != SIGSEGV) {
            EXPECT_EQ(WTERMSIG(status), number);
        }
        EXPECT_FALSE(editor.screen().altScreen()) << number;
        EXPECT_TRUE(editor.screen().cursorVisible()) << number;
        EXPECT_EQ(editor.settings().c_lflag & (ICANON | ECHO), tcflag_t(ICANON | ECHO)) << number;
    }
}

TEST(TerminalEditor, StoppedAndContinuedTheScreenComesBack) {
    EditorSession editor({});
    ASSERT_TRUE(editor.waitForRow(1, status("00000000")));
    // A stop request the process can't follow (no shell here could continue it): the
    // terminal, given back for the stop, is taken again at once.
    editor.signal(SIGTSTP);
    editor.scribble("\x1b[?1049l\x1b[2Jshell");
    EXPECT_TRUE(editor.waitFor([&] { return editor.screen().altScreen(); }));
    EXPECT_TRUE(editor.waitForRow(1, status("00000000"))) << editor.screen().screenText();
    EXPECT_EQ(editor.settings().c_lflag & (ICANON | ECHO), 0u);
    // A stop that can't be caught: on continuing, the raw mode is set again and the whole
    // screen drawn anew over whatever the terminal showed meanwhile.
    editor.signal(SIGSTOP);
    ASSERT_TRUE(editor.waitUntilStopped());
    editor.scribble("\x1b[2J\x1b[Hshell$ fg");
    editor.signal(SIGCONT);
    EXPECT_TRUE(editor.waitForRow(1, status("00000000"))) << editor.screen().screenText();
    EXPECT_EQ(editor.screen().row(8),
              "00000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F       @ABCDEFGHIJKLMNO");
    editor.send("\x15");
    EXPECT_TRUE(editor.waitForRow(1, status("00000001")));
}

TEST(TerminalEditor, WithoutADisplayTheTerminalHostIsChosen) {
    EditorSession::Setup setup;
    setup.arguments = {"sample.bin"};
    EditorSession editor(setup);
    EXPECT_TRUE(editor.waitForRow(1, status("00000000"))) << editor.screen().screenText();
    EXPECT_TRUE(editor.screen().altScreen());
}

// Runs the program with standard input from /dev/null and no display; its exit status and
// what it wrote to standard error.
std::pair<int, std::string> runWithoutTerminal(const std::vector<std::string>& arguments) {
    int errors[2];
    EXPECT_EQ(::pipe(errors), 0);
    std::vector<std::string> all{OSTRAKONIX_EXECUTABLE};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int nowhere = ::open("/dev/null", O_RDWR);
        ::dup2(nowhere, 0);
        ::dup2(nowhere, 1);
        ::dup2(errors[1], 2);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("QT_QPA_PLATFORM");
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(errors[1]);
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(errors[0], buffer, sizeof buffer)) > 0) text.append(buffer, size_t(n));
    ::close(errors[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
}

TEST(TerminalEditor, WithoutADisplayOrATerminalAClearMessage) {
    auto [code, message] = runWithoutTerminal({"/dev/null"});
    EXPECT_EQ(code, 2);
    EXPECT_NE(message.find("standard input is no terminal"), std::string::npos) << message;
    EXPECT_NE(message.find("--headless"), std::string::npos) << message;
    std::tie(code, message) = runWithoutTerminal({"--terminal"});
    EXPECT_EQ(code, 2);
    EXPECT_NE(message.find("--terminal needs a terminal"), std::string::npos) << message;
    std::tie(code, message) = runWithoutTerminal({"--terminal", "--headless"});
    EXPECT_EQ(code, 2);
    EXPECT_NE(message.find("exclude each other"), std::string::npos) << message;
}

}  // namespace
