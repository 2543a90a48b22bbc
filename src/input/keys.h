// The values of key events that the key tables dispatch on: the character a key gives, with
// Control and a letter giving 1 to 26, and the few codes the keyboard maps keys to itself.
// The editor, the line editor and the catalog browser read these as commands; the hosts
// make them.
#pragma once

#include <cstdint>
#include <string_view>

namespace key {

inline constexpr int64_t controlSpace = 0;  // Control with the space bar (or @)
inline constexpr int64_t controlA = 1, controlB = 2, controlC = 3, controlD = 4, controlE = 5, controlF = 6,
                         controlG = 7, controlH = 8, controlI = 9, controlJ = 10, controlK = 11, controlL = 12,
                         controlM = 13, controlN = 14, controlO = 15, controlP = 16, controlQ = 17, controlR = 18,
                         controlS = 19, controlT = 20, controlU = 21, controlV = 22, controlW = 23, controlX = 24,
                         controlY = 25, controlZ = 26;
inline constexpr int64_t escape = 27;
inline constexpr int64_t controlOUmlaut = 28;  // ^Ö; Control with \ on a US keyboard
inline constexpr int64_t controlUUmlaut = 29;  // ^Ü; Control with ] on a US keyboard
inline constexpr int64_t controlCaret = 30;    // Control with ^ (Control-6)
inline constexpr int64_t controlMinus = 31;    // Control with - (Control-_)
inline constexpr int64_t space = 32;
inline constexpr int64_t backspace = 127;  // the key left of the line end: DEL

// Keys that share a code with a control letter.
inline constexpr int64_t tab = controlI;
inline constexpr int64_t returnKey = controlM;

// The host key codes of the keyboard's character keys by their place on a US layout: the
// character at index N is the one the key of code N gives unshifted ('?' where that code is
// no character key).
inline constexpr std::string_view places = "asdfhgzxcv?bqweryt123465=97-80]ou[ip?lj'k;\\,/nm.";

// The key code of the place that gives a character unshifted (a capital at its letter's
// place), or -1 when no key of the table gives it.
constexpr int64_t placeOf(char c) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    const size_t at = c == '?' ? std::string_view::npos : places.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int64_t>(at);
}

}  // namespace key
