// Cursor motion and editing: overwriting, inserting and deleting bytes.
#include <algorithm>

#include "app/startup.h"
#include "display/window.h"
#include "editor/editor.h"
#include "input/line_editor.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/text.h"

namespace editor {
namespace {

int64_t size() { return static_cast<int64_t>(state().Buffer.size()); }

void moveTo(int64_t position) { redraw(state().TopLine, position, false); }

// Inserts a blank at the position, or at the end when the cursor stands past it (an
// emptied buffer keeps its old cursor).
void insertBlankAt(int64_t position) {
    auto& buffer = state().Buffer;
    const auto at = static_cast<size_t>(std::clamp<int64_t>(position, 0, size()));
    buffer.insert(buffer.begin() + static_cast<std::ptrdiff_t>(at), uint8_t{32});
}

// The number that hexadecimal digits make, up to the first character that is none. The byte
// entry looks at the low seven bits of each code only; a position is read as typed, so that
// a letter such as "ä" ends it instead of counting as the digit D.
int64_t hexValue(const std::string& text, bool lowSevenBits) {
    int64_t value = 0;
    bool stop = false;
    kt::forEachScalar(text, [&](uint32_t c) {
        if (stop) return;
        const uint32_t code = lowSevenBits ? c & 0x7F : c;
        int digit = code < 256 ? t_HexValues()[code] : -1;
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
    s.Buffer.erase(s.Buffer.begin() + static_cast<std::ptrdiff_t>(s.Cursor));
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
    if (s.Buffer.empty()) return;
    s.Modified = true;
    if (s.InsertMode == 1) insertBlankAt(s.Cursor);
    s.Buffer[static_cast<size_t>(s.Cursor)] = code;
    if (s.InsertMode == 1) {
        redraw(s.TopLine, s.Cursor + 1, true);
    } else {
        DrawByte(s.TopLine, s.Cursor);
        moveTo(s.Cursor + 1);
    }
}

void hexEntry() {
    State& s = state();
    if (s.Buffer.empty()) return;
    t_Window& w = kt::windowRecord(window);
    for (;;) {
        if (s.InsertMode == 1) {
            insertBlankAt(s.Cursor);
            redraw(s.TopLine, s.Cursor, true);
        }
        const int64_t d = s.Cursor - 16 * s.TopLine;
        t_Vtab(window, s.HeaderRows + d / 16 + 1);
        t_Htab(window, 3 * (d % 16) + 11);
        // The input ends with a new line; on the last screen row that must not scroll the
        // whole screen up.
        w.ScrollLock = true;
        std::string entered = t_InputForm(window, "", hexDigits(s.Buffer[static_cast<size_t>(s.Cursor)], 2), false, 0, 2);
        w.ScrollLock = false;
        if (entered.empty()) {
            if (s.InsertMode == 1) s.Modified = true;
            return;
        }
        s.Modified = true;
        s.Buffer[static_cast<size_t>(s.Cursor)] = static_cast<uint8_t>(hexValue(entered, true) & 0xFF);
        DrawByte(s.TopLine, s.Cursor);
        moveTo(s.Cursor + 1);
        DrawStatus(s.Cursor);
    }
}

void toggleInsertMode() { state().InsertMode = 1 - state().InsertMode; }

void goToPosition() {
    State& s = state();
    if (s.HeaderRows == 0) return;
    t_Vtab(window, 1);
    t_Htab(window, 33);
    t_Inverse(window);
    std::string entered = t_InputForm(window, "", hexDigits(static_cast<uint64_t>(s.Cursor), 8), false, 0, 8);
    t_Normal(window);
    if (!entered.empty()) redraw(s.TopLine, hexValue(entered, false), true);
}

}  // namespace editor
