// Qt key events as the toolkit's key table reads them: the host key codes are numbered as
// the virtual key codes of the toolkit's home platform, the characters are what that
// platform would deliver (control characters, private function-key characters) and the
// modifier flags use host::modifier's bits.
#pragma once

#include <QString>
#include <Qt>
#include <cstdint>

#include "platform/platform.h"

class QKeyEvent;

namespace host::qt {

// A key code no key of the table has: the toolkit then looks at the characters only.
constexpr int64_t unknownKeyCode = 255;

// What the mapping needs of a key event, so that it can be tested without a window.
struct KeyInput {
    int key = 0;  // Qt::Key
    Qt::KeyboardModifiers modifiers;
    QString text;
    // The platform's scan code (X11 and Wayland: the evdev code + 8), when it gives one.
    bool hasScanCode = false;
    quint32 scanCode = 0;
    // State Qt has no modifier for; read from the native modifiers where there are some.
    bool capsLock = false;
    bool altGr = false;
};

// The key code of a key by its position: evdev code (without the + 8) to host key code;
// unknownKeyCode when the key has no place in the table.
int64_t keyCodeForEvdev(quint32 evdev);
// The key code of a key by the symbol Qt reports (no scan code: offscreen, tests), laid
// out by a US keyboard plus the German letters; keypad selects the numeric pad's keys.
int64_t keyCodeForQtKey(int key, bool keypad);

// Shift, Control, Alt, AltGr, Meta, Super, Caps Lock: keys that only change the flags.
bool isModifierKey(int key);
// The modifier flags of an event; for a modifier key itself, the state after the event
// (Qt reports some platforms' modifier state from before the key changed it).
uint64_t modifierFlags(const KeyInput& input, bool pressed = true);

host::KeyEvent mapKey(const KeyInput& input);

// Reads a live event (scan code and native modifiers on the platforms that have them).
KeyInput keyInputFrom(const QKeyEvent& event);

}  // namespace host::qt
