#include "input/line_editor.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "app/clock.h"
#include "app/log.h"
#include "display/window.h"
#include "platform/platform.h"
#include "input/events.h"
#include "input/keys.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

namespace {

using Codes = std::vector<uint8_t>;

constexpr int64_t groupLength = 6;  // 27, four digits, 29

// The codes of a field string. Its scalars are codes already; one above 255 can't stand in
// a field and shows as "?", as everywhere in the terminal.
Codes codesOf(const std::string& utf8) {
    Codes codes;
    kt::forEachScalar(utf8, [&](uint32_t c) { codes.push_back(c < 256 ? static_cast<uint8_t>(c) : '?'); });
    return codes;
}

int64_t lengthOf(const Codes& codes) { return static_cast<int64_t>(codes.size()); }

void store(t_Window& w, const Codes& codes) { w.InputString = kt::latin1ToUtf8(codes); }

bool isDigit(int64_t c) { return c >= '0' && c <= '9'; }

bool holds(const Codes& codes, uint8_t c) { return std::find(codes.begin(), codes.end(), c) != codes.end(); }

// The character that the field's mode lets in for `code` (mode 3 writes "e" for "E" and a
// comma for a point), or none.
std::optional<int64_t> admitted(const t_Window& w, const Codes& codes, int64_t p, int64_t code) {
    switch (w.InputMode) {
    case 2:
        if (isDigit(code) || (code == '-' && p == 0)) return code;
        return std::nullopt;
    case 3:
        if (code >= 'A' && code <= 'Z') code += 32;
        if (isDigit(code)) return code;
        if (code == '.' || code == ',') return holds(codes, ',') ? std::nullopt : std::optional<int64_t>(',');
        if (code == '-' && (p == 0 || codes[static_cast<size_t>(p - 1)] == 'e')) return code;
        if (code == 'e' && !holds(codes, 'e')) return code;
        return std::nullopt;
    case 4:
        if (isDigit(code) || (code == '-' && p != 0 && !holds(codes, '-'))) return code;
        return std::nullopt;
    default:
        if (code >= 1) return code;
        return std::nullopt;
    }
}

// The field's echo: `cells` cells from the start of the field, the codes and then blanks, in
// display mode 4 so that control codes in the text show as glyphs. Drawn cell by cell rather
// than with t_Print: its Control-S output pause would throw away the keys typed ahead into
// this very field (Control-S is word left here).
void drawField(uint8_t window, t_Window& w, const Codes& codes, int64_t cells) {
    w.TextHpos = w.InputHpos;
    w.TextDisplayMode = 4;
    for (int64_t i = 0; i < cells; ++i) t_PrintChar(window, i < lengthOf(codes) ? codes[static_cast<size_t>(i)] : 32);
    w.TextDisplayMode = 0;
}

// Waits for the next key as t_GetKey does, with this window's cursor shown while waiting.
int64_t nextKey(uint8_t window) {
    for (;;) {
        if (!t_EventAvailable()) {
            t_CursorOn(window);
            kt::waitUntil([] { return t_EventAvailable(); });
            t_CursorOff(window);
        }
        const int64_t key = t_GetEvent();
        if (key >= 0) return key;
    }
}

// Control+caret: up to three decimal digits give a character code. The key that ends the
// entry early is consumed with it, so Return here does not finish the input.
void decimalCodeEntry(uint8_t window, const t_Window& w) {
    int64_t key = nextKey(window);
    if (!isDigit(key)) return;
    int64_t code = key - '0';
    key = nextKey(window);
    if (isDigit(key)) {
        code = code * 10 + key - '0';
        key = nextKey(window);
        if (isDigit(key)) code = code * 10 + key - '0';
    }
    const int64_t lowest = w.InputMode == 1 ? 1 : 32;
    if (code >= lowest && code <= 255) t_InputInsert(window, code);
}

// The paste key queues one key event per character of the pasteboard's first line, so that
// the following rounds of the input loop edit them in under the mode's rules. Control codes
// are left out: as keys they would edit instead of being text (a pasted Escape ended the
// input and left the rest of the line to the program, a pasted Control-V pasted again
// without end). A character above 255 is queued with its own number and goes into the field
// as its escape group.
void paste() {
    if (!host::hasHost()) return;
    std::optional<std::string> text;
    host::host().runOnMainSync([&] { text = host::host().pasteboardText(); });
    if (!text) return;
    for (uint32_t c : kt::scalarsOf(*text)) {
        if (c == 10 || c == 13) break;
        if (c < 32 || c == 127) continue;
        t_Event event;
        event.Kind = 1;
        event.Index = 0;
        event.Description = kt::utf8Of(c);
        event.Value = c;
        event.Window = 1;
        event.Time = kt::milliseconds();
        kt::keyQueue().append(std::move(event));
    }
}

// The copy key puts the field on the pasteboard, every escape group as the character it names.
void copy(const Codes& codes) {
    if (!host::hasHost()) return;
    const std::string text = Text(codes).toString();
    host::host().runOnMainSync([&] {
        host::host().pasteboardClear();
        host::host().pasteboardSetText(text);
    });
}

std::string inputForm(uint8_t window, const std::string& prompt, const std::string& defaultText, bool displayOnly,
                      int64_t mode, int64_t maxCharacters, bool offered) {
    if (!kt::checkWindow("t_InputForm", window)) return {};
    t_Window& w = kt::windowRecord(window);
    w.TextDisplayMode = 4;
    t_Print(window, prompt);
    w.TextDisplayMode = 0;
    w.InputHpos = w.TextHpos;
    w.InputVpos = w.TextVpos;
    w.InputMode = mode;
    w.InputMaxCharacters = maxCharacters;

    Codes codes = codesOf(defaultText);
    codes.resize(static_cast<size_t>(std::clamp<int64_t>(maxCharacters, 0, lengthOf(codes))));
    store(w, codes);
    w.InputFinished = false;
    w.InputCursorPos = lengthOf(codes);
    w.InputOffered = false;
    drawField(window, w, codes, lengthOf(codes));
    if (displayOnly) return w.InputString;
    w.InputOffered = offered;

    for (;;) {
        t_InputEdit(window, key::controlMinus);
        const int64_t value = nextKey(window);
        t_InputEdit(window, value);
        if (value == key::returnKey || value == key::escape) break;
    }
    w.InputOffered = false;
    t_Cr(window);
    return w.InputString;
}

}  // namespace

std::string t_InputForm(uint8_t window, const std::string& prompt, const std::string& defaultText, bool displayOnly,
                        int64_t mode, int64_t maxCharacters) {
    return inputForm(window, prompt, defaultText, displayOnly, mode, maxCharacters, false);
}

std::string t_InputFormOffered(uint8_t window, const std::string& prompt, const std::string& defaultText, int64_t mode,
                               int64_t maxCharacters) {
    return inputForm(window, prompt, defaultText, false, mode, maxCharacters, true);
}

std::string t_InputForm(const std::string& prompt, const std::string& defaultText, bool displayOnly, int64_t mode,
                        int64_t maxCharacters) {
    return t_InputForm(kt::display().defaultWindow.load(), prompt, defaultText, displayOnly, mode, maxCharacters);
}

void t_InputEdit(uint8_t window, int64_t value) {
    if (!kt::checkWindow("t_InputEdit", window)) return;
    t_Window& w = kt::windowRecord(window);
    Codes codes = codesOf(w.InputString);
    const int64_t L = lengthOf(codes);
    int64_t p = std::clamp<int64_t>(w.InputCursorPos, 0, L);
    w.TextVpos = w.InputVpos;
    w.TextHpos = w.InputHpos + p;
    auto at = [&](int64_t index) { return codes.begin() + index; };
    auto before = [&](int64_t pos) { return codes[static_cast<size_t>(pos - 1)]; };
    // Characters (typed, pasted or entered by their code) replace an offered text; any other
    // key but the cursor's placing keeps it as an ordinary one.
    const bool keepsOffer = value < 0 || (value >= key::space && value != key::backspace) ||
                            value == key::controlSpace || value == key::controlV || value == key::controlCaret ||
                            value == key::controlMinus;
    if (!keepsOffer) w.InputOffered = false;

    if (value >= key::space && value != key::backspace) {
        t_InputInsert(window, value);
    } else if (value == key::backspace) {
        if (p >= 1) codes.erase(at(p - 1));
        store(w, codes);
        w.InputCursorPos = p - 1;
        drawField(window, w, codes, lengthOf(codes) + 1);
    } else if (value >= 0) {
        switch (value) {
        case key::controlSpace:
            drawField(window, w, codes, L);
            w.TextHpos = w.InputHpos + p;
            break;
        case key::controlA:
        case key::controlB:
        case key::controlK:
        case key::controlR:
            w.InputCursorPos = 0;
            break;
        case key::controlC:
        case key::controlE:
        case key::controlF:
        case key::controlJ:
            w.InputCursorPos = L;
            break;
        case key::controlD:  // word right: to just after the next blank
            if (p < L) {
                ++p;
                while (p < L && before(p) != ' ') ++p;
            }
            w.InputCursorPos = p;
            break;
        case key::controlG:
            if (p < L) codes.erase(at(p));
            store(w, codes);
            drawField(window, w, codes, lengthOf(codes) + 1);
            break;
        case key::controlH:
            w.InputCursorPos = p - 1;
            break;
        case key::controlL:
            copy(codes);
            break;
        case key::returnKey:
            w.InputFinished = true;
            break;
        case key::controlS:  // word left: to the start of the word before the cursor
            if (p >= 1) {
                --p;
                while (p >= 1 && before(p) != ' ') --p;
            }
            w.InputCursorPos = p;
            break;
        case key::controlU:
            w.InputCursorPos = p + 1;
            break;
        case key::controlV:
            paste();
            break;
        case key::controlX:
            codes.erase(codes.begin(), at(p));
            store(w, codes);
            w.InputCursorPos = 0;
            drawField(window, w, codes, L);
            break;
        case key::controlZ:
        case key::escape:
            store(w, {});
            w.InputCursorPos = 0;
            if (value == key::escape) w.InputFinished = false;
            w.TextHpos = w.InputHpos;
            t_PrintSpc(window, L);
            break;
        case key::controlCaret:
            decimalCodeEntry(window, w);
            break;
        case key::controlMinus:
            w.TextHpos = w.InputHpos + p;
            break;
        default:
            break;
        }
    }
    w.InputCursorPos = std::clamp<int64_t>(w.InputCursorPos, 0, lengthOf(codesOf(w.InputString)));
}

void t_InputInsert(uint8_t window, int64_t code) {
    if (!kt::checkWindow("t_InputInsert", window)) return;
    t_Window& w = kt::windowRecord(window);
    Codes codes = codesOf(w.InputString);
    // An offered text goes as a selected one would: the character takes its place.
    const int64_t shown = lengthOf(codes);
    if (w.InputOffered) codes.clear();
    const int64_t n = lengthOf(codes);
    // The text never reaches the last column of the area.
    if (w.InputHpos + n >= w.TextLastColumn) return;
    if (n >= w.InputMaxCharacters) return;
    const int64_t p = w.InputOffered ? 0 : std::clamp<int64_t>(w.InputCursorPos, 0, n);
    const std::optional<int64_t> character = admitted(w, codes, p, code);
    if (!character) return;

    Codes piece;
    if (*character <= 255) {
        piece.push_back(static_cast<uint8_t>(*character));
    } else {
        // A character above 255 takes a whole escape group or stays out: half a group would
        // come back from the copy key as other characters. Four digits hold up to U+FFFF.
        if (*character > 0xFFFF || w.InputHpos + n + groupLength - 1 >= w.TextLastColumn ||
            n + groupLength > w.InputMaxCharacters)
            return;
        piece = Text::withGroups(kt::utf8Of(static_cast<uint32_t>(*character))).Elements;
    }
    codes.insert(codes.begin() + p, piece.begin(), piece.end());
    store(w, codes);
    w.InputCursorPos = p + lengthOf(piece);
    w.InputOffered = false;
    drawField(window, w, codes, std::max(lengthOf(codes), shown));
}
