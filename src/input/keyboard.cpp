// The keyboard: host key presses in a graphic window become key events.
#include <string>

#include "app/clock.h"
#include "input/entries.h"
#include "app/log.h"
#include "display/window.h"
#include "input/events.h"
#include "input/keys.h"
#include "terminal/text.h"

namespace {

// Option characters of a German layout, caught by key and character, with their codes.
struct OptionRow {
    int64_t key;
    uint32_t character;
    int64_t value;
};
constexpr OptionRow optionRows[] = {
    {0, 0x00E5, 0xB0},  {1, 0x201A, 0xA8},  {2, 0x2202, 0xAD},  {3, 0x0192, 0x82},  {4, 0x00AA, 0x83},
    {7, 0x2248, 0x84},  {9, 0x221A, 0xFD},  {11, 0x222B, 0xDE}, {13, 0x2211, 0xDD}, {14, 0x20AC, 0xA4},
    {16, 0x03A9, 0x80}, {17, 0x2020, 0xBD}, {19, 0x201C, 0xA3}, {27, 0x00BF, 0xA6}, {29, 0x2260, 0xAC},
    {33, 0x2022, 0xB8}, {34, 0x2044, 0x81}, {35, 0x03C0, 0xF0}, {35, 0x220F, 0xD0}, {38, 0x00BA, 0xB7},
    {40, 0x2206, 0xFE}, {41, 0x0153, 0xBE}, {42, 0x2018, 0xB4}, {43, 0x221E, 0xFF}, {44, 0x2013, 0x9A},
    {47, 0x2026, 0xBF}, {50, 0x2264, 0xC5}, {50, 0x2265, 0xC6},
};

}  // namespace

void t_KeyHandler(uint8_t window, int64_t K, const std::string& S, uint64_t M) {
    uint32_t C = 0;
    if (!S.empty()) C = kt::scalarsOf(S).front();
    const int64_t T = kt::milliseconds();
    kt::setModifierState(M);
    const bool option = M & host::modifier::option, control = M & host::modifier::control,
               shift = M & host::modifier::shift;

    int64_t value = C;
    bool cursorKey = false, functionKey = false, found = false;
    auto set = [&](int64_t v, bool cursor = false) {
        value = v;
        cursorKey = cursor;
        found = true;
    };
    // Output redirection by Control and the keypad keys 7, 8 and 9; no event.
    auto redirect = [&](int64_t target) {
        if (kt::memoryReady()) kt::windowRecord(window).TextRedirectOutput = target;
    };

    if (K >= 0 && K <= 126) {
        for (const auto& row : optionRows)
            if (row.key == K && row.character == C) {
                set(row.value);
                break;
            }
        if (!found) switch (K) {
            case 10: if (C == 0) set(0x5E); break;
            case 24: if (C == 0) set(shift ? 0x60 : 0xB4); break;
            case 32: if (C == 0) set(0xAF); break;
            case 37: if (C == key::controlL && option) set(key::controlSpace); break;
            case 45: if (C == 0 && option) set(0x7E); break;
            case 48: if (C == key::controlY) set(key::controlT); break;
            case 51: set(key::backspace); break;
            case 71: set(key::escape); break;
            case 76: set(key::returnKey); break;
            case 82: case 83: case 84: case 85: case 86: case 87: case 88:
                if (option) {
                    static const int64_t pad[] = {0xD8, 0xB9, 0xB2, 0xB3, 0xAA, 0xD7, 0xBA};
                    set(pad[K - 82]);
                }
                break;
            case 89: case 91: case 92: {
                const uint32_t optionChar = K == 89 ? 0xE5 : K == 91 ? 0xE6 : 0xBC;
                if (option) {
                    C = optionChar;
                } else if (control) {
                    redirect(K == 89 ? 0 : K == 91 ? 2 : 1);
                    return;
                }
                break;
            }
            case 115: set(key::controlB, true); break;
            case 116: set(key::controlR, true); break;
            case 117: set(key::controlG); break;
            case 119: set(key::controlE, true); break;
            case 121: set(key::controlC, true); break;
            case 123: set(key::controlH, true); break;
            case 124: set(key::controlU, true); break;
            case 125: set(key::controlJ, true); break;
            case 126: set(key::controlK, true); break;
            default: break;
            }
    }
    if (!found) {
        if (C <= 255) {
            value = C;
        } else if (C <= 63235) {
            return;  // no code for this character
        } else {
            value = static_cast<int64_t>(C) - 63107;
            functionKey = true;
        }
    }
    t_Event event;
    event.Kind = 1;
    event.Index = K;
    event.Description = S;
    event.Value = value;
    kt::applyModifiers(event, M);
    event.Window = window;
    event.Time = T;
    event.CursorKeyPressed = cursorKey;
    event.FunctionKeyPressed = functionKey;
    kt::keyQueue().append(std::move(event));
}

void viewKeyDown(uint8_t window, const host::KeyEvent& event) {
    if (kt::memoryReady() && window < kt::graphicWindowCount) {
        const t_Window& w = kt::windowRecord(window);
        if (!w.Initialized)
            kt::logLine("viewKeyDown: Graphic window (" + std::to_string(window) + ") not initialized.");
        else if (!w.IgnoreEvents)
            t_KeyHandler(window, event.keyCode, event.characters, event.modifierFlags);
    }
    kt::setKeyIsDown(true);
}

void viewKeyUp(uint8_t) { kt::setKeyIsDown(false); }

void viewFlagsChanged(uint8_t, uint64_t modifierFlags) { kt::setModifierState(modifierFlags); }
