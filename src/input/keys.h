// The values of key events that the key tables dispatch on: the character a key gives, with
// Control and a letter giving 1 to 26, and the few codes the keyboard maps keys to itself.
// The editor, the line editor and the catalog browser read these as commands; the hosts
// make them.
#pragma once

#include <cstdint>

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

}  // namespace key
