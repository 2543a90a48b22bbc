// Cursor motion and editing: overwriting, inserting and deleting bytes.
#include <algorithm>
#include <limits>
#include <optional>

#include "app/startup.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "input/line_editor.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/text.h"

namespace editor {
namespace {

int64_t size() { return state().Buffer.size(); }

void moveTo(int64_t position) { redraw(state().TopLine, position, false); }

constexpr uint8_t blank = 32;
// "-#" and the nineteen decimal digits of the largest position, and a little room.
constexpr int64_t positionCharacters = 24;

// Inserts a blank at the position, or at the end when the cursor stands past it (an
// emptied buffer keeps its old cursor).
void insertBlankAt(int64_t position) {
    state().Buffer.insert(std::clamp<int64_t>(position, 0, size()), std::span<const uint8_t>(&blank, 1), position);
}

// The number that hexadecimal digits make, up to the first character that is none. The byte
// entry looks at the low seven bits of each code only.
int64_t hexValue(const std::string& text) {
    int64_t value = 0;
    bool stop = false;
    kt::forEachScalar(text, [&](uint32_t c) {
        if (stop) return;
        const uint32_t code = c & 0x7F;
        int digit = t_HexValues()[code];
        if (digit < 0) {
            stop = true;
            return;
        }
        value = 16 * value + digit;
    });
    return value;
}

std::string hexDigits(uint64_t value, int digits) {
    std::string out;
    for (int i = digits - 1; i >= 0; --i) out += static_cast<char>(t_HexDigits()[(value >> (4 * i)) & 15]);
    return out;
}

// A position as people write it: hexadecimal digits (after "0x" if wanted), or decimal ones
// after "#"; after "+" or "-", a distance from the cursor. Nothing for a text that is none.
// Numbers too large for a position stand for the largest one, which lands on the last byte.
std::optional<int64_t> typedPosition(const std::string& typed, int64_t cursor) {
    std::string_view text = typed;
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    const char sign = !text.empty() && (text.front() == '+' || text.front() == '-') ? text.front() : 0;
    if (sign) text.remove_prefix(1);
    int base = 16;
    if (!text.empty() && text.front() == '#') {
        base = 10;
        text.remove_prefix(1);
    } else if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    constexpr int64_t largest = std::numeric_limits<int64_t>::max();
    int64_t value = 0;
    for (const char c : text) {
        const int digit = t_HexValues()[static_cast<uint8_t>(c)];
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value > (largest - digit) / base ? largest : value * base + digit;
    }
    if (sign == '+') return value > largest - cursor ? largest : cursor + value;
    if (sign == '-') return cursor - value;
    return value;
}

}  // namespace

void byteLeft() {
    if (state().Cursor >= 1) moveTo(state().Cursor - 1);
}

void byteRight() {
    if (state().Cursor < size()) moveTo(state().Cursor + 1);
}

void lineUp() {
    if (state().Cursor >= 16) moveTo(state().Cursor - 16);
}

void lineDown() {
    if (state().Cursor + 16 < size()) moveTo(state().Cursor + 16);
}

void scrollUp() {
    State& s = state();
    const bool lastRow = s.Cursor / 16 - s.TopLine == byteRows() - 1;
    const int64_t cursor = s.TopLine == 0 || lastRow ? s.Cursor - 16 : s.Cursor;
    redraw(s.TopLine - 1, cursor, true);
}

void scrollDown() {
    State& s = state();
    const int64_t lastLine = size() == 0 ? 0 : (size() - 1) / 16;
    const int64_t greatestTop = lastLine - byteRows() + 1;
    const int64_t cursor = s.Cursor / 16 == s.TopLine || s.TopLine == greatestTop ? s.Cursor + 16 : s.Cursor;
    redraw(s.TopLine + 1, cursor, true);
}

void pageUp() { redraw(state().TopLine - byteRows(), state().Cursor - 16 * byteRows(), true); }
void pageDown() { redraw(state().TopLine + byteRows(), state().Cursor + 16 * byteRows(), true); }
void fileStart() { redraw(0, 0, true); }
void fileEnd() { redraw(0, size() - 1, true); }

void deleteByte() {
    State& s = state();
    if (s.Cursor < 0 || s.Cursor >= size()) return;
    s.Buffer.erase(s.Cursor, 1);
    s.Modified = true;
    redraw(s.TopLine, s.Cursor, true);
}

void insertByte() {
    State& s = state();
    insertBlankAt(s.Cursor);
    s.Modified = true;
    redraw(s.TopLine, s.Cursor, true);
}

void typeCharacter(uint8_t code) {
    State& s = state();
    s.Modified = true;
    // Inserting a blank and storing the code over it is one step: the code inserted. In an
    // empty buffer the first byte is made so in either mode.
    const bool inserting = s.InsertMode == 1 || size() == 0;
    if (inserting)
        s.Buffer.insert(std::clamp<int64_t>(s.Cursor, 0, size()), std::span<const uint8_t>(&code, 1));
    else
        s.Buffer.overwrite(s.Cursor, code);
    if (inserting) {
        redraw(s.TopLine, s.Cursor + 1, true);
    } else {
        DrawByte(s.TopLine, s.Cursor);
        moveTo(s.Cursor + 1);
    }
}

void hexEntry() {
    State& s = state();
    t_Window& w = kt::windowRecord(window);
    // The bytes of one entry are one step of the undo history.
    struct Step {
        explicit Step(int64_t cursor) { state().Buffer.beginStep(cursor); }
        ~Step() { state().Buffer.endStep(); }
    } step(s.Cursor);
    for (;;) {
        // In an empty buffer the entry makes the first byte in either mode.
        const bool inserting = s.InsertMode == 1 || size() == 0;
        if (inserting) {
            insertBlankAt(s.Cursor);
            redraw(s.TopLine, s.Cursor, true);
        }
        const int64_t d = s.Cursor - 16 * s.TopLine;
        t_Vtab(window, s.HeaderRows + d / 16 + 1);
        t_Htab(window, hexColumn(d % 16));
        // The input ends with a new line; on the last screen row that must not scroll the
        // whole screen up.
        w.ScrollLock = true;
        std::string entered = t_InputFormOffered(window, "", hexDigits(s.Buffer.byteAt(s.Cursor), 2), 0, 2);
        w.ScrollLock = false;
        if (entered.empty()) {
            if (inserting) s.Modified = true;
            return;
        }
        s.Modified = true;
        s.Buffer.overwrite(s.Cursor, static_cast<uint8_t>(hexValue(entered) & 0xFF));
        DrawByte(s.TopLine, s.Cursor);
        moveTo(s.Cursor + 1);
        DrawStatus(s.Cursor);
    }
}

// Without insert mode the cursor cannot stand past the last byte: it goes back onto it.
void toggleInsertMode() {
    state().InsertMode = 1 - state().InsertMode;
    redraw(state().TopLine, state().Cursor, false);
    updateTitle();
}

// Backspace goes back: in overwrite mode one byte left, in insert mode it takes away the
// byte before the cursor.
void backspace() {
    State& s = state();
    if (s.InsertMode == 0) return byteLeft();
    if (s.Cursor < 1 || s.Cursor > size()) return;
    s.Buffer.erase(s.Cursor - 1, 1, s.Cursor - 1);
    s.Modified = true;
    redraw(s.TopLine, s.Cursor - 1, true);
}

// Undo and redo put the cursor on the edit; back at the saved state the file shows as
// unchanged again.
void undoCommand() {
    State& s = state();
    if (auto cursor = s.Buffer.undo()) {
        s.Modified = s.Buffer.isModified();
        redraw(s.TopLine, *cursor, true);
    }
}

void redoCommand() {
    State& s = state();
    if (auto cursor = s.Buffer.redo()) {
        s.Modified = s.Buffer.isModified();
        redraw(s.TopLine, *cursor, true);
    }
}

void goToPosition() {
    State& s = state();
    if (s.HeaderRows == 0) return;
    // The field lies over the cursor's position in the status line, offering it; it takes a
    // decimal or relative position too, and the longest reaches over "Ende", drawn again after.
    const int digits = positionDigits();
    t_Vtab(window, 1);
    t_Htab(window, 33 - 2 * (digits - 8));
    t_Inverse(window);
    const std::string entered =
        t_InputFormOffered(window, "", hexDigits(static_cast<uint64_t>(s.Cursor), digits), 0, positionCharacters);
    t_Normal(window);
    DrawHeader();
    DrawStatus(s.Cursor);
    if (entered.empty()) return;
    if (const auto position = typedPosition(entered, s.Cursor))
        redraw(s.TopLine, *position, true);
    else
        showMessage(texts::badDigitTitle, texts::badPosition, texts::positionForms);
}

}  // namespace editor
