#include "hosts/qt/key_mapping.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <array>
#include <utility>

#include "input/keys.h"

namespace host::qt {
namespace {

namespace mod = host::modifier;

// evdev code → host key code, by position on a US/ISO keyboard.
// clang-format off
constexpr std::pair<quint32, int64_t> evdevPairs[] = {
    // Escape, 1 … 0, minus, equal, Backspace, Tab
    {1, 53}, {2, 18}, {3, 19}, {4, 20}, {5, 21}, {6, 23}, {7, 22}, {8, 26}, {9, 28}, {10, 25}, {11, 29},
    {12, 27}, {13, 24}, {14, 51}, {15, 48},
    // Q … P, [, ], Return, left Control
    {16, 12}, {17, 13}, {18, 14}, {19, 15}, {20, 17}, {21, 16}, {22, 32}, {23, 34}, {24, 31}, {25, 35},
    {26, 33}, {27, 30}, {28, 36}, {29, 59},
    // A … L, ;, ', the key left of 1 (§ on ISO keyboards), left Shift, backslash (# on ISO)
    {30, 0}, {31, 1}, {32, 2}, {33, 3}, {34, 5}, {35, 4}, {36, 38}, {37, 40}, {38, 37}, {39, 41}, {40, 39},
    {41, 10}, {42, 56}, {43, 42},
    // Z … M, comma, period, slash, right Shift, keypad *, left Alt, Space, Caps Lock
    {44, 6}, {45, 7}, {46, 8}, {47, 9}, {48, 11}, {49, 45}, {50, 46}, {51, 43}, {52, 47}, {53, 44},
    {54, 60}, {55, 67}, {56, 58}, {57, 49}, {58, 57},
    // F1 … F10; Num Lock is the numeric pad's Clear key, Scroll Lock F14
    {59, 122}, {60, 120}, {61, 99}, {62, 118}, {63, 96}, {64, 97}, {65, 98}, {66, 100}, {67, 101}, {68, 109},
    {69, 71}, {70, 107},
    // keypad 7 8 9 - 4 5 6 + 1 2 3 0 .
    {71, 89}, {72, 91}, {73, 92}, {74, 78}, {75, 86}, {76, 87}, {77, 88}, {78, 69}, {79, 83}, {80, 84},
    {81, 85}, {82, 82}, {83, 65},
    // the ISO key beside left Shift, F11, F12
    {86, 50}, {87, 103}, {88, 111},
    // keypad Enter, right Control, keypad /, Print (F13), right Alt (AltGr)
    {96, 76}, {97, 62}, {98, 75}, {99, 105}, {100, 61},
    // Home, Up, Page Up, Left, Right, End, Down, Page Down, Insert (Help), Delete (forward delete)
    {102, 115}, {103, 126}, {104, 116}, {105, 123}, {106, 124}, {107, 119}, {108, 125}, {109, 121},
    {110, 114}, {111, 117},
    // mute, volume down, volume up, keypad =, Pause (F15), keypad comma, left and right Meta, Menu
    {113, 74}, {114, 73}, {115, 72}, {117, 81}, {119, 113}, {121, 95}, {125, 55}, {126, 54}, {127, 110},
    // F13 … F20
    {183, 105}, {184, 107}, {185, 113}, {186, 106}, {187, 64}, {188, 79}, {189, 80}, {190, 90},
};
// clang-format on

constexpr std::array<int64_t, 256> evdevTable = [] {
    std::array<int64_t, 256> table{};
    table.fill(unknownKeyCode);
    for (auto [evdev, code] : evdevPairs) table[evdev] = code;
    return table;
}();

// Keys whose meaning, not their place, decides the code: the navigation keys of the numeric
// pad (Num Lock off) act as the keys they stand for.
bool isNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
    case Qt::Key_Delete:
        return true;
    default:
        return false;
    }
}

int64_t keypadCode(int key) {
    switch (key) {
    case Qt::Key_0:
        return 82;
    case Qt::Key_1:
        return 83;
    case Qt::Key_2:
        return 84;
    case Qt::Key_3:
        return 85;
    case Qt::Key_4:
        return 86;
    case Qt::Key_5:
        return 87;
    case Qt::Key_6:
        return 88;
    case Qt::Key_7:
        return 89;
    case Qt::Key_8:
        return 91;
    case Qt::Key_9:
        return 92;
    case Qt::Key_Period:
    case Qt::Key_Comma:
        return 65;
    case Qt::Key_Asterisk:
        return 67;
    case Qt::Key_Plus:
        return 69;
    case Qt::Key_Minus:
        return 78;
    case Qt::Key_Slash:
        return 75;
    case Qt::Key_Equal:
        return 81;
    case Qt::Key_Enter:
        return 76;
    case Qt::Key_Clear:
    case Qt::Key_NumLock:
        return 71;
    default:
        return unknownKeyCode;
    }
}

// The private characters the home platform delivers for its function keys.
constexpr char16_t upArrow = 0xF700, downArrow = 0xF701, leftArrow = 0xF702, rightArrow = 0xF703, f1 = 0xF704,
                   forwardDelete = 0xF728, homeKey = 0xF729, endKey = 0xF72B, pageUp = 0xF72C, pageDown = 0xF72D,
                   clearLine = 0xF739, helpKey = 0xF746;

struct SpecialKey {
    QString characters;
    uint64_t flags = 0;
    bool found = false;
};

SpecialKey specialKey(int key) {
    auto of = [](char16_t c, uint64_t flags) { return SpecialKey{QString(QChar(c)), flags, true}; };
    auto ascii = [](char c) { return SpecialKey{QString(QLatin1Char(c)), 0, true}; };
    const uint64_t fn = mod::function, arrow = mod::function | mod::numericPad;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) return of(char16_t(f1 + (key - Qt::Key_F1)), fn);
    switch (key) {
    case Qt::Key_Return:
        return ascii('\r');
    case Qt::Key_Enter:
        return ascii('\x03');
    case Qt::Key_Escape:
        return ascii('\x1b');
    case Qt::Key_Tab:
        return ascii('\t');
    case Qt::Key_Backtab:
        return ascii('\x19');
    case Qt::Key_Backspace:
        return ascii('\x7f');
    case Qt::Key_Up:
        return of(upArrow, arrow);
    case Qt::Key_Down:
        return of(downArrow, arrow);
    case Qt::Key_Left:
        return of(leftArrow, arrow);
    case Qt::Key_Right:
        return of(rightArrow, arrow);
    case Qt::Key_Home:
        return of(homeKey, fn);
    case Qt::Key_End:
        return of(endKey, fn);
    case Qt::Key_PageUp:
        return of(pageUp, fn);
    case Qt::Key_PageDown:
        return of(pageDown, fn);
    case Qt::Key_Delete:
        return of(forwardDelete, fn);
    case Qt::Key_Insert:
    case Qt::Key_Help:
        return of(helpKey, fn);
    case Qt::Key_NumLock:
        return of(clearLine, mod::numericPad);
    case Qt::Key_Print:
        return of(char16_t(f1 + 12), fn);  // F13
    case Qt::Key_ScrollLock:
        return of(char16_t(f1 + 13), fn);  // F14
    case Qt::Key_Pause:
        return of(char16_t(f1 + 14), fn);  // F15
    default:
        return {};
    }
}

// Control with a key gives a control character where the home platform makes one.
int controlCharacter(int key) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<int>(key::controlA + (key - Qt::Key_A));
    switch (key) {
    case Qt::Key_Odiaeresis:
    case Qt::Key_Backslash:
        return key::controlOUmlaut;
    case Qt::Key_Udiaeresis:
    case Qt::Key_BracketRight:
        return key::controlUUmlaut;
    // The line editor's decimal code entry: Control with ^, on the 6 of a US keyboard.
    case Qt::Key_6:
    case Qt::Key_AsciiCircum:
    case Qt::Key_Dead_Circumflex:
        return key::controlCaret;
    default:
        return -1;
    }
}

}  // namespace

int64_t keyCodeForEvdev(quint32 evdev) { return evdev < evdevTable.size() ? evdevTable[evdev] : unknownKeyCode; }

int64_t keyCodeForQtKey(int key, bool keypad) {
    if (keypad) {
        if (int64_t code = keypadCode(key); code != unknownKeyCode) return code;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return key::placeOf(static_cast<char>('a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9) return key::placeOf(static_cast<char>('0' + (key - Qt::Key_0)));
    static constexpr int64_t functionKeys[20] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                                 103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
    if (key >= Qt::Key_F1 && key <= Qt::Key_F20) return functionKeys[key - Qt::Key_F1];
    switch (key) {
    // The keys of the US layout, with their shifted symbols.
    case Qt::Key_Minus:
    case Qt::Key_Underscore:
        return 27;
    case Qt::Key_Equal:
    case Qt::Key_Plus:
        return 24;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft:
        return 33;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight:
        return 30;
    case Qt::Key_Backslash:
    case Qt::Key_Bar:
        return 42;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon:
        return 41;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl:
        return 39;
    case Qt::Key_Comma:
    case Qt::Key_Less:
        return 43;
    case Qt::Key_Period:
    case Qt::Key_Greater:
        return 47;
    case Qt::Key_Slash:
    case Qt::Key_Question:
        return 44;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde:
        return 50;
    case Qt::Key_section:
        return 10;
    case Qt::Key_Exclam:
        return 18;
    case Qt::Key_At:
        return 19;
    case Qt::Key_NumberSign:
        return 20;
    case Qt::Key_Dollar:
        return 21;
    case Qt::Key_Percent:
        return 23;
    case Qt::Key_AsciiCircum:
        return 22;
    case Qt::Key_Ampersand:
        return 26;
    case Qt::Key_Asterisk:
        return 28;
    case Qt::Key_ParenLeft:
        return 25;
    case Qt::Key_ParenRight:
        return 29;
    // The German letters, where they lie on a German keyboard.
    case Qt::Key_Adiaeresis:
        return 39;
    case Qt::Key_Odiaeresis:
        return 41;
    case Qt::Key_Udiaeresis:
        return 33;
    case Qt::Key_ssharp:
        return 27;
    case Qt::Key_Dead_Circumflex:
        return 10;
    case Qt::Key_Dead_Acute:
    case Qt::Key_Dead_Grave:
        return 24;
    // Keys of their own.
    case Qt::Key_Return:
        return 36;
    case Qt::Key_Enter:
        return 76;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 48;
    case Qt::Key_Space:
        return 49;
    case Qt::Key_Backspace:
        return 51;
    case Qt::Key_Escape:
        return 53;
    case Qt::Key_Clear:
    case Qt::Key_NumLock:
        return 71;
    case Qt::Key_Insert:
    case Qt::Key_Help:
        return 114;
    case Qt::Key_Home:
        return 115;
    case Qt::Key_PageUp:
        return 116;
    case Qt::Key_Delete:
        return 117;
    case Qt::Key_End:
        return 119;
    case Qt::Key_PageDown:
        return 121;
    case Qt::Key_Left:
        return 123;
    case Qt::Key_Right:
        return 124;
    case Qt::Key_Down:
        return 125;
    case Qt::Key_Up:
        return 126;
    case Qt::Key_Print:
        return 105;
    case Qt::Key_ScrollLock:
        return 107;
    case Qt::Key_Pause:
        return 113;
    case Qt::Key_Menu:
        return 110;
    case Qt::Key_Shift:
        return 56;
    case Qt::Key_Control:
        return 59;
    case Qt::Key_Alt:
        return 58;
    case Qt::Key_AltGr:
        return 61;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return 55;
    case Qt::Key_Super_R:
        return 54;
    case Qt::Key_CapsLock:
        return 57;
    default:
        return unknownKeyCode;
    }
}

bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

uint64_t modifierFlags(const KeyInput& input, bool pressed) {
    const Qt::KeyboardModifiers m = input.modifiers;
    bool shift = m & Qt::ShiftModifier, control = m & Qt::ControlModifier;
    bool option = (m & (Qt::AltModifier | Qt::GroupSwitchModifier)) || input.altGr;
    bool command = m & Qt::MetaModifier, capsLock = input.capsLock;
    switch (input.key) {
    case Qt::Key_Shift:
        shift = pressed;
        break;
    case Qt::Key_Control:
        control = pressed;
        break;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Mode_switch:
        option = pressed;
        break;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        command = pressed;
        break;
    default:
        break;
    }
    uint64_t flags = 0;
    if (capsLock) flags |= mod::capsLock;
    if (shift) flags |= mod::shift;
    if (control) flags |= mod::control;
    if (option) flags |= mod::option;
    if (command) flags |= mod::command;
    if (m & Qt::KeypadModifier) flags |= mod::numericPad;
    return flags;
}

host::KeyEvent mapKey(const KeyInput& input) {
    host::KeyEvent event;
    event.modifierFlags = modifierFlags(input);
    const bool keypad = input.modifiers & Qt::KeypadModifier;

    event.keyCode = unknownKeyCode;
    if (input.hasScanCode && input.scanCode >= 8 && !isNavigationKey(input.key))
        event.keyCode = keyCodeForEvdev(input.scanCode - 8);
    if (event.keyCode == unknownKeyCode) event.keyCode = keyCodeForQtKey(input.key, keypad);

    QString characters = input.text;
    const SpecialKey special = specialKey(input.key);
    if (special.found) {
        characters = special.characters;
        event.modifierFlags |= special.flags;
    }
    if (input.modifiers & Qt::ControlModifier) {
        if (int c = controlCharacter(input.key); c > 0) characters = QString(QChar(char16_t(c)));
    }
    event.characters = characters.toStdString();
    return event;
}

KeyInput keyInputFrom(const QKeyEvent& event) {
    KeyInput input;
    input.key = event.key();
    input.modifiers = event.modifiers();
    input.text = event.text();
    // On X11 and Wayland the scan code is the evdev code + 8 and the native modifiers are the
    // X modifier mask: bit 1 Lock, bit 7 Mod5 (the third level, AltGr).
    static const bool xkbScanCodes = [] {
        const QString platform = QGuiApplication::platformName();
        return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
    }();
    if (xkbScanCodes && event.nativeScanCode() != 0) {
        input.hasScanCode = true;
        input.scanCode = event.nativeScanCode();
        input.capsLock = event.nativeModifiers() & 0x02;
        input.altGr = event.nativeModifiers() & 0x80;
    }
    return input;
}

}  // namespace host::qt
