// The editor's screen: the header rows, the byte rows and the status values.
#include <cstdlib>

#include "app/log.h"
#include "app/program.h"
#include "app/startup.h"
#include "display/glyph.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "editor/values.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/print.h"
#include "terminal/text.h"

namespace editor {
namespace {

t_Window& record() { return kt::windowRecord(window); }

// Draws one code at the text cursor and moves on, as printing does in display mode 0.
// The editor draws its screen without the output pause of Control-S: that is its save
// key, and a pause would swallow it.
void putCode(uint32_t c) {
    t_Window& w = record();
    if (c <= 31) {
        t_PrintControl(window, static_cast<uint8_t>(c));
        return;
    }
    t_PrintSymbol(window, static_cast<uint8_t>(c > 255 ? '?' : c), w.TextColor, w.TextHpos, w.TextVpos);
    t_CursorRight(window);
}

void putText(std::string_view utf8) { kt::forEachScalar(utf8, putCode); }

// A name's characters as glyphs: a control character in a file name is shown, never carried out.
void putName(std::string_view utf8) {
    kt::forEachScalar(utf8, [](uint32_t c) {
        if (c > 31) return putCode(c);
        t_Window& w = record();
        t_PrintSymbol(window, static_cast<uint8_t>(c), w.TextColor, w.TextHpos, w.TextVpos);
        t_CursorRight(window);
    });
}

void putHex(uint64_t value, int digits) {
    const auto& table = t_HexDigits();
    for (int i = digits - 1; i >= 0; --i) putCode(table[(value >> (4 * i)) & 15]);
}

// --- Changed bytes ----------------------------------------------------------------------
// Bytes that are not those of the file as last loaded or saved stand out in yellow, in both
// columns, until they are saved or undone: no other cell of the byte rows is yellow. The rest
// is green, control bytes red, and the cursor cyan while a selection stands.
constexpr uint8_t textColour = 12, changedColour = 13, controlColour = 1, selectionCursorColour = 14;

// The two hexadecimal digits of a byte at the text cursor, in the colour its change gives.
void drawHexDigits(uint8_t b, bool changed) {
    if (changed) t_Color(window, changedColour);
    putHex(b, 2);
    if (changed) t_Color(window, textColour);
}

// The character cell of a byte, drawn at the cursor without moving it: control bytes as
// the letter 64 higher in red (in yellow, changed).
void drawCharacterCell(uint8_t b, bool changed) {
    if (b < 32 || changed) {
        t_Color(window, changed ? changedColour : controlColour);
        t_PrintSymbol(window, static_cast<uint8_t>(b < 32 ? b + 64 : b));
        t_Color(window, textColour);
    } else {
        t_PrintSymbol(window, b);
    }
}

// Where the status line's parts stand: with positions of more than eight digits the name gets
// shorter and the labels move left, so that everything stays within the 80 columns.
struct StatusLayout {
    int64_t nameWidth, positionLabel, positionValue, lastLabel, lastValue;
};

StatusLayout statusLayout(int digits) {
    const int64_t extra = digits - 8;
    return {23 - 2 * extra, 27 - 2 * extra, 33 - 2 * extra, 43 - extra, 50 - extra};
}

std::string statusTemplate(int digits) {
    if (digits == 8) return texts::statusTemplate;
    const StatusLayout at = statusLayout(digits);
    std::string line(80, ' ');
    line.replace(static_cast<size_t>(at.positionLabel - 1), 5, "Pos =");
    line.replace(static_cast<size_t>(at.lastLabel - 1), 6, "Ende =");
    line.replace(59, 20, "Esc = Hilfe & Status");
    return line;
}

std::string columnHeader(int digits) {
    if (digits == 8) return texts::columnHeader;
    std::string line = "Position" + std::string(static_cast<size_t>(digits - 6), ' ');
    for (int k = 0; k < 16; ++k) line += std::string{"0123456789ABCDEF"[k >> 4], "0123456789ABCDEF"[k & 15], ' '};
    line.resize(64, ' ');
    return line + "Alphanumerisch  ";
}

// The number of digits the header rows were drawn for: the layout changes when a file grows
// past or shrinks below a size that needs another digit.
int headerDigits = 8;

}  // namespace

int64_t byteRows() { return rows - state().HeaderRows; }

int positionDigits() {
    // Up to the position past the last byte, where the cursor may stand in insert mode.
    const int64_t last = state().Buffer.size();
    int digits = 8;
    while (digits < 12 && (last >> (4 * digits)) != 0) ++digits;
    return digits;
}

int64_t hexColumn(int64_t k) { return positionDigits() + 3 + 3 * k; }

std::pair<int64_t, int64_t> FitView(int64_t top, int64_t cursor) {
    const int64_t R = byteRows();
    const int64_t N = state().Buffer.size();
    const int64_t LL = N == 0 ? 0 : (N - 1) / 16;
    const int64_t MT = LL - R + 1;
    int64_t t = top > MT ? MT : top;
    if (t < 0) t = 0;
    int64_t c = cursor < 0 ? 0 : cursor;
    // In insert mode the cursor may stand one past the last byte, where typing appends.
    const bool appending = state().InsertMode == 1;
    if (appending && c > N) c = N;
    if ((t + R) * 16 - 1 < c) t = c / 16 - R + 1;
    if (c < N || N == 0 || appending) {
        int64_t resultTop = t < 0 ? 0 : (c < 16 * t ? c / 16 : t);
        return {resultTop, c};
    }
    return {MT < 0 ? 0 : MT, N - 1};
}

namespace {
std::optional<std::pair<int64_t, int64_t>> shownSelection;
}

const std::optional<std::pair<int64_t, int64_t>>& drawnSelection() { return shownSelection; }

std::pair<int64_t, int64_t> DrawScreen(int64_t top, int64_t cursor, bool force) {
    State& s = state();
    t_Vtab(window, s.HeaderRows + 1);
    t_Htab(window, 1);
    auto [t, c] = FitView(top, cursor);
    const int64_t R = byteRows();
    if ((t == top && !force) || R == 0) return {t, c};
    const int64_t N = s.Buffer.size();
    const int digits = positionDigits();
    // Selected bytes are drawn inverted.
    const auto selected = selectionBetween(s.SelectionAnchor, c);
    shownSelection = selected;
    const int64_t firstSelected = selected ? selected->first : 1, lastSelected = selected ? selected->second : 0;
    // The bytes of every row shown, read at once.
    static uint8_t shown[16 * rows], changed[16 * rows];
    const int64_t available = s.Buffer.read(16 * t, 16 * R, shown);
    s.Buffer.changedBytes(16 * t, available, changed);
    for (int64_t i = 0; i < R; ++i) {
        const int64_t line = t + i, start = 16 * line;
        if (start < N) {
            putHex(static_cast<uint64_t>(start), digits);
            putText(": ");
            for (int64_t j = 0; j < 16; ++j) {
                const int64_t k = 16 * i + j;
                const bool inverse = start + j >= firstSelected && start + j <= lastSelected;
                t_Htab(window, digits + 3 + 3 * j);
                if (k < available) {
                    if (inverse) t_Inverse(window);
                    drawHexDigits(shown[k], changed[k]);
                    // The blank between two selected bytes too: the selection is one bar.
                    if (j == 15 || start + j + 1 > lastSelected) t_Normal(window);
                    putCode(' ');
                    t_Normal(window);
                } else {
                    t_PrintSpc(window, 3);
                }
                t_Htab(window, 65 + j);
                if (k < available) {
                    if (inverse) t_Inverse(window);
                    drawCharacterCell(shown[k], changed[k]);
                    t_Normal(window);
                } else {
                    t_PrintSymbol(window, 32);
                }
            }
            t_Htab(window, digits + 51);
            t_PrintSpc(window, 14 - digits);
        } else {
            t_ClearEndOfLine(window);
        }
        if (i < R - 1) t_Cr(window);
    }
    return {t, c};
}

void redraw(int64_t top, int64_t cursor, bool force) {
    auto [t, c] = DrawScreen(top, cursor, force);
    state().TopLine = t;
    state().Cursor = c;
}

void DrawByte(int64_t top, int64_t cursor) {
    State& s = state();
    // In insert mode the place past the last byte is drawn too: blank, where typing appends.
    const bool append = cursor == s.Buffer.size() && s.InsertMode == 1;
    if (cursor < 0 || (cursor >= s.Buffer.size() && !append)) return;
    const int64_t d = cursor - 16 * top;
    const int64_t row = d / 16, k = d - 16 * row;
    // A byte that is not on the screen is not drawn (the header rows stay as they are).
    if (d < 0 || row >= byteRows()) return;
    // Drawn inverted, the cursor is cyan while a selection stands, so that it stays apart
    // from the selected bytes; a selected byte is inverted in normal display too.
    t_Window& w = record();
    const bool cursorShown = w.TextInverse;
    const bool selectionCursor = cursorShown && s.SelectionAnchor >= 0;
    const auto selected = selectionRange();
    if (selectionCursor)
        t_Color(window, selectionCursorColour);
    else if (selected && cursor >= selected->first && cursor <= selected->second)
        t_Inverse(window);
    t_Vtab(window, s.HeaderRows + row + 1);
    t_Htab(window, hexColumn(k));
    if (append) {
        putText("  ");
        t_Htab(window, k + 65);
        t_PrintSymbol(window, 32);
    } else {
        const uint8_t b = s.Buffer.byteAt(cursor);
        uint8_t changed = 0;
        if (!selectionCursor) s.Buffer.changedBytes(cursor, 1, &changed);
        drawHexDigits(b, changed);
        t_Htab(window, k + 65);
        drawCharacterCell(b, changed);
    }
    t_Color(window, textColour);
    w.TextInverse = cursorShown;
}

void DrawCursor(int64_t top, int64_t cursor, bool shown) {
    State& s = state();
    // In insert mode the hexadecimal digits get a bar before them instead of the block: the
    // place where typing goes in. No column moves for it; that cell is a blank of the row.
    const bool bar = shown && s.InsertMode == 1;
    if (shown && !bar) t_Inverse(window);
    DrawByte(top, cursor);
    t_Normal(window);
    const bool append = cursor == s.Buffer.size() && s.InsertMode == 1;
    const int64_t d = cursor - 16 * top;
    if (cursor < 0 || (cursor >= s.Buffer.size() && !append) || d < 0 || d / 16 >= byteRows()) return;
    const int64_t k = d % 16;
    t_Vtab(window, s.HeaderRows + d / 16 + 1);
    t_Htab(window, hexColumn(k) - 1);
    constexpr uint8_t barGlyph = 139;
    if (bar) {
        t_PrintSymbol(window, barGlyph);
    } else {
        // The blank as the row has it: inverted between two selected bytes.
        const auto selected = selectionRange();
        const bool joined = k > 0 && selected && cursor - 1 >= selected->first && cursor <= selected->second;
        if (joined) t_Inverse(window);
        t_PrintSymbol(window, ' ');
        t_Normal(window);
        return;
    }
    // The character cell keeps the block, in its own colour while a selection stands as
    // DrawByte has it.
    t_Inverse(window);
    t_Htab(window, k + 65);
    const bool selecting = s.SelectionAnchor >= 0;
    if (selecting) t_Color(window, selectionCursorColour);
    if (append) {
        t_PrintSymbol(window, ' ');
    } else {
        uint8_t changed = 0;
        if (!selecting) s.Buffer.changedBytes(cursor, 1, &changed);
        drawCharacterCell(s.Buffer.byteAt(cursor), changed);
    }
    t_Color(window, textColour);
    t_Normal(window);
}

void printBytesAsText(const std::vector<uint8_t>& bytes) { putText(kt::bytesAsText(bytes)); }

void PrintMenuLine(const std::string& text) {
    putText(kt::firstScalars(text, 80));
    if (t_Hpos(window) != 1) {
        t_ClearEndOfLine(window);
        t_Cr(window);
    }
}

void DrawHeader() {
    State& s = state();
    t_CursorHome(window);
    headerDigits = positionDigits();
    if (s.HeaderRows > 0) {
        std::string status = statusTemplate(headerDigits);
        // The values view gives the status line the decimal position where the hint stands.
        if (valuesShown()) status.replace(58, 22, 22, ' ');
        t_Inverse(window);
        PrintMenuLine(status);
        t_Normal(window);
    }
    if (s.HeaderRows == 7) {
        if (valuesShown()) {
            const auto [first, count] = valuesRange();
            drawValues(first, count);
            t_Vtab(window, 7);
            t_Htab(window, 1);
        } else if (s.MainMenuShown) {
            for (const char* line : texts::mainMenu) PrintMenuLine(line);
        } else {
            PrintMenuLine(std::string(texts::searchPrompt) + kt::bytesAsText(s.SearchText));
            PrintMenuLine(std::string(texts::changePrompt) + kt::bytesAsText(s.ChangeText));
            t_TextLine(window);
            PrintMenuLine(texts::searchMenu[0]);
            PrintMenuLine(texts::searchMenu[1]);
        }
    }
    if (s.HeaderRows > 1) {
        t_Inverse(window);
        PrintMenuLine(columnHeader(headerDigits));
        t_Normal(window);
    }
}

void DrawStatus(int64_t cursor) {
    State& s = state();
    const int digits = positionDigits();
    if (digits != headerDigits) DrawHeader();
    if (s.HeaderRows != 0) {
        const StatusLayout at = statusLayout(digits);
        const auto width = static_cast<size_t>(at.nameWidth);
        t_Inverse(window);
        t_Vtab(window, 1);
        t_Htab(window, 2);
        putText(s.Modified ? ":" : "\u00B7");
        std::string name = kt::normalizeKC(s.CurrentName);
        const size_t length = kt::scalarCount(name);
        std::string shown = kt::firstScalars(name, width);
        shown.append(width - std::min(length, width), ' ');
        putName(shown);
        // The mark of a cut name, or the template's blank again.
        putCode(length > width ? 0xBF : ' ');
        const std::string blanks(static_cast<size_t>(digits), ' ');
        t_Htab(window, at.positionValue);
        if (s.Buffer.size() == 0)
            putText(blanks);
        else
            putHex(static_cast<uint64_t>(cursor), digits);
        t_Htab(window, at.lastValue);
        if (s.Buffer.size() == 0)
            putText(blanks);
        else
            putHex(static_cast<uint64_t>(s.Buffer.size() - 1), digits);
        if (valuesShown()) drawDecimalPosition(cursor);
        t_Normal(window);
    }
    if (valuesShown()) {
        const auto [first, count] = valuesRange();
        drawValues(first, count);
    }
    if (s.HeaderRows == 7 && !s.MainMenuShown && !valuesShown()) {
        t_Vtab(window, 6);
        t_Htab(window, 33);
        putText(texts::searchModeNames[s.SearchMode]);
        t_Htab(window, 56);
        putText(texts::insertModeNames[s.InsertMode]);
    }
}

void TitleScreen() {
    const t_Window& w = record();
    const int64_t C = w.TextLastColumn - w.TextFirstColumn + 1, F = w.TextFirstLine, E = w.TextLastColumn;
    std::string t1;
    kt::forEachScalar(ProgramName(), [&](uint32_t c) { t1 += kt::utf8Of(c) + " "; });
    char version[32];
    std::snprintf(version, sizeof version, "%.2f", static_cast<double>(ProgramVersion()) / 100.0);
    t1 += std::string("  ") + version;
    const std::string t2 = ProgramKind() + " " + ProgramNotice();

    t_CursorHome(window);
    t_ClearEndOfWindow(window);
    t_Inverse(window);
    putText(std::string(static_cast<size_t>(C + 10), '*'));
    for (int i = 0; i < 4; ++i) {
        t_ClearEndOfLine(window);
        t_Htab(window, E - 9);
        putText(std::string(20, '*'));
    }
    t_ClearEndOfLine(window);
    t_Htab(window, E - 9);
    putText(std::string(static_cast<size_t>(C + 10), '*'));
    t_Vtab(window, F + 2);
    t_Htab(window, C / 2 - static_cast<int64_t>(kt::scalarCount(t1)) / 2);
    putText(t1);
    t_Vtab(window, F + 4);
    t_Htab(window, C / 2 - static_cast<int64_t>(kt::scalarCount(t2)) / 2);
    putText(t2);
    t_Normal(window);
    t_Vtab(window, F + 6);
    t_Cr(window);
}

}  // namespace editor
