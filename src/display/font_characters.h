// What the font draws for each code (see tools/fontgen), as the character other fonts have:
// Latin-1 where the font draws it, the symbols it draws instead of some Latin-1 characters,
// and, for the pieces, icons and control codes it draws, the nearest character. A terminal
// shows the screen with these; a copy of bytes as text is made of them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kt {
// UTF-8 of one character.
std::string_view fontCharacter(uint8_t code);
}  // namespace kt
