// The values view: the bytes at the cursor read as numbers of every usual width and byte
// order, as floating point numbers, as a UTF-8 character and as Unix times.
//
// Row 2 holds the byte, the 16-bit numbers and the character; rows 3 and 4 the 32- and 64-bit
// readings little-endian, rows 5 and 6 the same big-endian:
//
//   Byte 41h 65  65   101o 01000001b 16 LE 16961 16961  BE 16706 16706  Zn U+0041 A
//   32 LE 1145258561 1145258561   F32 781.0352         Zeit32 2006-04-17 07:22:41
//   64 LE 5208208757389214273  5208208757389214273   F64 1.5839800103804824e+40
#include "editor/values.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>

#include "display/glyph.h"
#include "display/window.h"
#include "editor/editor.h"
#include "input/events.h"
#include "input/keys.h"

namespace editor {
namespace {

using Cells = std::array<uint8_t, 80>;

// Font codes that are no ASCII: the dash of an absent value and the infinity sign.
constexpr char absent[] = "\x9A";
constexpr char plusInfinity[] = "+\xFF", minusInfinity[] = "-\xFF";

// Unix times from 1980 up to 2100 pass for times; outside, the number is hardly one.
constexpr uint64_t firstPlausibleTime = 315532800, endOfPlausibleTimes = 4102444800;

// Writes the codes of text from column (counted from 1) on, never past the row's end.
void put(Cells& row, int column, std::string_view text) {
    for (size_t i = 0; i < text.size() && column - 1 + static_cast<int>(i) < 80; ++i)
        row[static_cast<size_t>(column - 1) + i] = static_cast<uint8_t>(text[i]);
}

// A buffer for one value's text.
struct Text {
    char chars[40];
    size_t length = 0;
    std::string_view view() const { return {chars, length}; }
};

template <class Number>
Text decimal(Number value) {
    Text t;
    t.length = static_cast<size_t>(std::to_chars(t.chars, t.chars + sizeof t.chars, value).ptr - t.chars);
    return t;
}

Text digits(uint64_t value, int base, int count, char suffix) {
    Text t;
    for (int i = count - 1; i >= 0; --i) {
        t.chars[i] = "0123456789ABCDEF"[value % static_cast<uint64_t>(base)];
        value /= static_cast<uint64_t>(base);
    }
    t.chars[count] = suffix;
    t.length = static_cast<size_t>(count) + 1;
    return t;
}

// The shortest text that reads back as the same number; "NaN" and signed infinities.
template <class Float>
Text floating(Float value) {
    Text t;
    if (std::isnan(value)) {
        std::memcpy(t.chars, "NaN", 3);
        t.length = 3;
    } else if (std::isinf(value)) {
        std::memcpy(t.chars, value > 0 ? plusInfinity : minusInfinity, 2);
        t.length = 2;
    } else {
        t.length = static_cast<size_t>(std::to_chars(t.chars, t.chars + sizeof t.chars, value).ptr - t.chars);
    }
    return t;
}

// A Unix time as a date and time of day in UTC.
Text utcTime(uint64_t seconds) {
    const auto when = static_cast<time_t>(seconds);
    std::tm parts{};
    ::gmtime_r(&when, &parts);
    Text t;
    t.length = std::strftime(t.chars, sizeof t.chars, "%Y-%m-%d %H:%M:%S", &parts);
    return t;
}

uint64_t number(const uint8_t* bytes, int width, bool littleEndian) {
    uint64_t value = 0;
    for (int i = 0; i < width; ++i) value = value << 8 | bytes[littleEndian ? width - 1 - i : i];
    return value;
}

// The UTF-8 character that starts at the first byte: its text ("U+00E4 ä", the glyph only
// where the font has the character), or why there is none.
Text character(const uint8_t* bytes, int64_t count) {
    Text t;
    auto say = [&](const char* words) {
        t.length = std::strlen(words);
        std::memcpy(t.chars, words, t.length);
        return t;
    };
    const uint8_t lead = bytes[0];
    int length = 1;
    uint32_t scalar = lead;
    uint8_t low = 0x80, high = 0xBF;  // what the second byte may be
    if (lead >= 0x80) {
        if (lead < 0xC2 || lead > 0xF4) return say("keins");  // continuation bytes, no lead
        length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        scalar = lead & (0x7F >> length);
        // Overlong forms, the surrogates and numbers past U+10FFFF are no characters.
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    }
    for (int i = 1; i < length; ++i) {
        if (i >= count || bytes[i] < 0x80 || bytes[i] > 0xBF) return say("unvollst.");
        if (bytes[i] < low || bytes[i] > high) return say("keins");
        low = 0x80, high = 0xBF;
        scalar = scalar << 6 | (bytes[i] & 0x3F);
    }
    t.length = static_cast<size_t>(std::snprintf(t.chars, sizeof t.chars, "U+%04X", static_cast<unsigned>(scalar)));
    // Æ, Ø and æ have no glyph of their own: the font keeps others at their codes.
    const bool fontHasIt = scalar != 198 && scalar != 216 && scalar != 230;
    if ((scalar > 32 && scalar < 127) || (scalar >= 160 && scalar < 256 && fontHasIt)) {
        t.chars[t.length++] = ' ';
        t.chars[t.length++] = static_cast<char>(scalar);
    }
    return t;
}

// One byte order: the 32-bit row and the 64-bit row.
void orderRows(const uint8_t* bytes, int64_t count, bool little, Cells& row32, Cells& row64) {
    put(row32, 1, little ? "32 LE" : "32 BE");
    put(row32, 31, "F32");
    put(row64, 1, little ? "64 LE" : "64 BE");
    put(row64, 50, "F64");
    if (count < 4) {
        for (int column : {7, 18, 35}) put(row32, column, absent);
        put(row32, 52, "Zeit");
        put(row32, 59, absent);
    } else {
        const auto u = static_cast<uint32_t>(number(bytes, 4, little));
        float f;
        std::memcpy(&f, &u, 4);
        put(row32, 7, decimal(u).view());
        put(row32, 18, decimal(static_cast<int32_t>(u)).view());
        put(row32, 35, floating(f).view());
        // The 32-bit time, else the 64-bit one: in either order at most one of them passes
        // for a time (a 64-bit one needs four zero bytes where the 32-bit one has its digits).
        const uint64_t u64 = count >= 8 ? number(bytes, 8, little) : 0;
        const bool time32 = u >= firstPlausibleTime && u < endOfPlausibleTimes;
        const bool time64 = u64 >= firstPlausibleTime && u64 < endOfPlausibleTimes;
        put(row32, 52, time32 ? "Zeit32" : time64 ? "Zeit64" : "Zeit");
        put(row32, 59, time32 || time64 ? utcTime(time32 ? u : u64).view() : absent);
    }
    if (count < 8) {
        for (int column : {7, 28, 54}) put(row64, column, absent);
    } else {
        const uint64_t u = number(bytes, 8, little);
        double f;
        std::memcpy(&f, &u, 8);
        put(row64, 7, decimal(u).view());
        put(row64, 28, decimal(static_cast<int64_t>(u)).view());
        put(row64, 54, floating(f).view());
    }
}

}  // namespace

bool valuesShown() { return state().ValuesShown && state().HeaderRows == 7; }

void makeValueRows(const uint8_t* bytes, int64_t count, ValueRows& rows) {
    for (Cells& row : rows) row.fill(' ');
    Cells& first = rows[0];
    put(first, 1, "Byte");
    put(first, 34, "16 LE");
    put(first, 53, "BE");
    put(first, 69, "Zn");
    if (count < 1) {
        for (int column : {6, 10, 14, 19, 24, 72}) put(first, column, absent);
    } else {
        const uint8_t b = bytes[0];
        put(first, 6, digits(b, 16, 2, 'h').view());
        put(first, 10, decimal(b).view());
        put(first, 14, decimal(static_cast<int8_t>(b)).view());
        put(first, 19, digits(b, 8, 3, 'o').view());
        put(first, 24, digits(b, 2, 8, 'b').view());
        put(first, 72, character(bytes, count).view());
    }
    for (const bool little : {true, false}) {
        const int at = little ? 40 : 56;
        if (count < 2) {
            put(first, at, absent);
            put(first, at + 6, absent);
        } else {
            const auto u = static_cast<uint16_t>(number(bytes, 2, little));
            put(first, at, decimal(u).view());
            put(first, at + 6, decimal(static_cast<int16_t>(u)).view());
        }
    }
    orderRows(bytes, count, true, rows[1], rows[2]);
    orderRows(bytes, count, false, rows[3], rows[4]);
}

std::pair<int64_t, int64_t> valuesRange() {
    const State& s = state();
    // A selection of one to eight bytes: the values of just those bytes, wider ones absent.
    if (const auto selected = selectionRange(); selected && selected->second - selected->first < 8)
        return {selected->first, selected->second - selected->first + 1};
    return {s.Cursor, std::min<int64_t>(8, s.Buffer.size() - s.Cursor)};
}

void drawValues(int64_t first, int64_t count) {
    uint8_t bytes[8] = {};
    count = state().Buffer.read(first, std::min<int64_t>(count, 8), bytes);
    ValueRows rows;
    makeValueRows(bytes, count, rows);
    t_Window& w = kt::windowRecord(window);
    const int64_t half = kt::textHalf(w);
    const uint8_t* memory = kt::display().memory.data();
    const bool inverse = w.TextInverse;
    w.TextInverse = false;
    for (int r = 0; r < valueRowCount; ++r)
        for (int x = 0; x < 80; ++x) {
            // A cell that shows this code in these colours already is left alone: moving the
            // cursor changes only some of the values.
            const int64_t cell = w.TextMemoryStart + x + w.TextWidth * (r + 1);
            const uint8_t code = rows[static_cast<size_t>(r)][static_cast<size_t>(x)];
            if (memory[cell] == code && memory[cell + half] == w.TextColor) continue;
            t_PrintSymbol(window, code, w.TextColor, x + 1, r + 2);
        }
    w.TextInverse = inverse;
}

void drawDecimalPosition(int64_t cursor) {
    const t_Window& w = kt::windowRecord(window);
    // Without bytes there is no position, as "Pos" shows none.
    Text text;
    std::memcpy(text.chars, "dez. #", 6);
    text.length = 5;
    if (state().Buffer.size() > 0)
        text.length = static_cast<size_t>(std::to_chars(text.chars + 6, std::end(text.chars), cursor).ptr - text.chars);
    // Where the hint "Esc = Hilfe & Status" stands otherwise, to the last column.
    for (int x = 60; x <= 80; ++x) {
        const size_t i = static_cast<size_t>(x - 60);
        t_PrintSymbol(window, i < text.length ? static_cast<uint8_t>(text.chars[i]) : ' ', w.TextColor, x, 1);
    }
}

void toggleValues() {
    State& s = state();
    if (s.HeaderRows != 7) {
        // From a smaller header the view comes in with the full one.
        s.HeaderRows = 7;
        s.ValuesShown = true;
        DrawHeader();
        redraw(s.TopLine, s.Cursor, true);
        return;
    }
    s.ValuesShown = !s.ValuesShown;
    DrawHeader();
}

bool valuesKey(int64_t value) {
    State& s = state();
    if (value >= 0 && altLetter() == 'w') {
        toggleValues();
        return true;
    }
    // The search menu's keys type into its rows or show it: the view makes room for it.
    if (valuesShown() && (value == key::controlD || value == key::controlT || value == key::controlF)) {
        s.ValuesShown = false;
        if (value == key::controlF)
            s.MainMenuShown = true;  // ^F goes on to the search menu
        else
            DrawHeader();
    }
    return false;
}

}  // namespace editor
