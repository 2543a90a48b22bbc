// The values view: what the bytes at the cursor mean as numbers, a character and a time,
// shown in the five header rows that otherwise hold the menus.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

namespace editor {

constexpr int valueRowCount = 5;
using ValueRows = std::array<std::array<uint8_t, 80>, valueRowCount>;

// The rows for a range of `count` bytes whose first bytes (up to eight) are `bytes`, in font
// codes as they are drawn: every value wider than the range shows as absent.
void makeValueRows(const uint8_t* bytes, int64_t count, ValueRows& rows);

// Whether the view stands in the header: switched on, with the header of seven rows.
bool valuesShown();

// The bytes the values are of: from the cursor on, as many as there are up to eight.
std::pair<int64_t, int64_t> valuesRange();

// Draws the values of [first, first + count) of the buffer into rows 2 to 6; only the cells
// that differ from what the screen shows are drawn.
void drawValues(int64_t first, int64_t count);

// The status line's decimal position while the view is shown: "dez. #" and the cursor, in
// the status line's colours.
void drawDecimalPosition(int64_t cursor);

// Alt+W and "Fenster ▸ Werte": the header's five rows switch between the menus and the values.
void toggleValues();

// Takes the keys of the view before the key table: Alt+W, and the search menu's keys, which
// switch it off. True when the key was the view's own.
bool valuesKey(int64_t value);

}  // namespace editor
