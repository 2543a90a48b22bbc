#include "display/font_characters.h"

#include <array>
#include <string>
#include <utility>

#include "app/utf8.h"

namespace kt {
namespace {

std::string utf8(char32_t c) { return kt::utf8Of(static_cast<uint32_t>(c)); }

std::array<std::string, 256> buildCharacters() {
    std::array<std::string, 256> texts;
    for (int code = 0; code < 32; ++code) texts[code] = utf8(0x2400 + code);  // ␀ … ␟
    for (int code = 32; code < 127; ++code) texts[code] = std::string(1, static_cast<char>(code));
    for (int code = 160; code < 256; ++code) texts[code] = utf8(static_cast<char32_t>(code));
    // The title bar's ends, which run into the inverse title.
    texts[18] = utf8(U'╡');
    texts[19] = utf8(U'╞');
    texts[127] = utf8(U'▒');
    // Lock, volume and folder: the icons span several cells; letters that keep them readable.
    texts[128] = "*";
    texts[129] = "(";
    texts[130] = "[";
    texts[131] = "=";
    texts[132] = "]";
    texts[133] = utf8(U'○');
    // clang-format off
    const std::pair<int, char32_t> pieces[] = {
        {134, U'┌'}, {135, U'┐'}, {136, U'└'}, {137, U'┘'},
        // The dialog frame's sides and bottom hug the cells they enclose.
        {138, U'▏'}, {139, U'▕'}, {140, U'▔'}, {141, U'▁'},
        {142, U'├'}, {143, U'┤'}, {144, U'┬'}, {145, U'┴'}, {146, U'┼'}, {147, U'╞'}, {148, U'╡'}, {149, U'╤'},
        {150, U'╧'}, {151, U'╪'}, {152, U'╋'}, {153, U'╬'}, {154, U'—'}, {155, U'─'}, {156, U'─'}, {157, U'│'},
        {158, U'┼'}, {159, U'═'},
        // The visible blank.
        {160, U'␣'},
        // Where the font shows another symbol than Latin-1's.
        {161, U'∈'}, {164, U'€'}, {168, U'™'}, {170, U'⁴'}, {173, U'≠'}, {176, U'˚'}, {180, U'’'}, {184, U'•'},
        {186, U'⁶'}, {188, U'⁹'}, {189, U'†'}, {191, U'…'}, {197, U'≤'}, {198, U'≥'}, {208, U'∏'}, {215, U'⁵'},
        {216, U'⁰'}, {221, U'∑'}, {222, U'∫'}, {229, U'⁷'}, {230, U'⁸'}, {240, U'π'}, {253, U'√'}, {254, U'∆'},
        {255, U'∞'}};
    // clang-format on
    for (auto [code, character] : pieces) texts[code] = utf8(character);
    return texts;
}

}  // namespace

std::string_view fontCharacter(uint8_t code) {
    static const std::array<std::string, 256> characters = buildCharacters();
    return characters[code];
}

}  // namespace kt
