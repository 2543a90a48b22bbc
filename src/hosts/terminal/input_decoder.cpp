#include "hosts/terminal/input_decoder.h"

#include <algorithm>
#include <array>
#include <string>

#include "app/log.h"
#include "app/utf8.h"
#include "input/keys.h"

namespace host::terminal {
namespace {

namespace mod = host::modifier;

std::string utf8(uint32_t c) {
    return kt::utf8Of(static_cast<uint32_t>(c));
}

// Key codes of the US layout by character: letters, digits and the punctuation keys with
// their shifted symbols.
struct Place {
    int64_t code;
    bool shifted;
};

Place placeOf(char c) {
    if (c >= 'A' && c <= 'Z') return {key::placeOf(c), true};
    if (c == ' ') return {49, false};
    if (c == '`') return {50, false};
    if (const int64_t at = key::placeOf(c); at >= 0) return {at, false};
    static const std::string shifted = "!@#$%^&*()_+{}|:\"<>?~";
    static const int64_t shiftedCodes[] = {18, 19, 20, 21, 23, 22, 26, 28, 25, 29, 27,
                                           24, 33, 30, 42, 41, 39, 43, 47, 44, 50};
    const size_t at = shifted.find(c);
    if (at != std::string::npos) return {shiftedCodes[at], true};
    return {unknownKeyCode, false};
}

// The characters above 255 that the key table catches on a key of its own (what the
// option layer of the desktop's layout types there): typed in a terminal, they come from
// that key.
int64_t codeOfTableCharacter(uint32_t c) {
    static constexpr std::pair<uint32_t, int64_t> table[] = {
        {0x201A, 1},  {0x2202, 2},  {0x0192, 3},  {0x2248, 7},  {0x221A, 9},  {0x222B, 11}, {0x2211, 13}, {0x20AC, 14},
        {0x03A9, 16}, {0x2020, 17}, {0x201C, 19}, {0x2260, 29}, {0x2022, 33}, {0x2044, 34}, {0x03C0, 35}, {0x220F, 35},
        {0x2206, 40}, {0x0153, 41}, {0x2018, 42}, {0x221E, 43}, {0x2013, 44}, {0x2026, 47}, {0x2264, 50}, {0x2265, 50}};
    for (auto [character, code] : table)
        if (character == c) return code;
    return unknownKeyCode;
}

enum class Special { up, down, right, left, home, end, insert, forwardDelete, pageUp, pageDown, keypadEnter, f1 };

// The key events of the keys that send sequences, as the desktop host makes them.
KeyEvent specialKey(Special key, int functionNumber = 0) {
    const uint64_t fn = mod::function, arrow = mod::function | mod::numericPad;
    auto of = [](int64_t code, uint32_t c, uint64_t flags) { return KeyEvent{code, utf8(c), flags}; };
    switch (key) {
    case Special::up:
        return of(126, 0xF700, arrow);
    case Special::down:
        return of(125, 0xF701, arrow);
    case Special::left:
        return of(123, 0xF702, arrow);
    case Special::right:
        return of(124, 0xF703, arrow);
    case Special::home:
        return of(115, 0xF729, fn);
    case Special::end:
        return of(119, 0xF72B, fn);
    case Special::insert:
        return of(114, 0xF746, fn);
    case Special::forwardDelete:
        return of(117, 0xF728, fn);
    case Special::pageUp:
        return of(116, 0xF72C, fn);
    case Special::pageDown:
        return of(121, 0xF72D, fn);
    case Special::keypadEnter:
        return of(76, 0x03, mod::numericPad);
    case Special::f1:
        break;
    }
    static constexpr int64_t functionCodes[12] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109, 103, 111};
    const int n = std::clamp(functionNumber, 1, 12);
    return of(functionCodes[n - 1], 0xF704 + uint32_t(n - 1), fn);
}

// The modifier parameter of a sequence (1 + shift 1, alt 2, control 4, meta 8).
uint64_t modifiersOf(long parameter) {
    if (parameter < 2 || parameter > 256) return 0;
    const long bits = parameter - 1;
    uint64_t flags = 0;
    if (bits & 1) flags |= mod::shift;
    if (bits & 2) flags |= mod::option;
    if (bits & 4) flags |= mod::control;
    if (bits & 8) flags |= mod::command;
    return flags;
}

KeyEvent withFlags(KeyEvent key, uint64_t flags) {
    key.modifierFlags |= flags;
    return key;
}

// A character typed with Alt. Alt with Control+H is Alt+Backspace, from a terminal whose
// Backspace sends Control+H.
KeyEvent withAlt(uint32_t c) { return c == 8 ? KeyEvent{51, "\x7f", mod::option} : keyForCharacter(c, mod::option); }

bool isFinal(unsigned char b) { return b >= 0x40 && b <= 0x7E; }
bool isParameter(unsigned char b) { return b >= 0x30 && b <= 0x3F; }
bool isIntermediate(unsigned char b) { return b >= 0x20 && b <= 0x2F; }

constexpr std::string_view pasteEnd = "\x1b[201~";

// Numbers of a parameter string; sub-parameters after ':' are left out, an empty number
// is −1, and numbers are capped so that no digit string overflows.
std::vector<long> parameters(std::string_view text) {
    std::vector<long> numbers;
    long current = -1;
    bool sub = false;
    for (char c : text) {
        if (c == ';') {
            numbers.push_back(current);
            current = -1;
            sub = false;
        } else if (c == ':') {
            sub = true;
        } else if (c >= '0' && c <= '9' && !sub) {
            if (current < 0) current = 0;
            current = std::min(current * 10 + (c - '0'), 1000000L);
        }
    }
    numbers.push_back(current);
    return numbers;
}

}  // namespace

std::optional<KeyEvent> keyWithModifiers(long code, uint64_t flags) {
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
    const auto c = static_cast<uint32_t>(code);
    if (c == key::tab && (flags & mod::shift)) return KeyEvent{48, "\x19", flags};  // Back-tab
    // Control with a letter (or @ [ \ ] ^ _) is its control character, as a terminal sends it.
    const uint32_t upper = c >= 'a' && c <= 'z' ? c - 32 : c;
    if ((flags & mod::control) && upper >= '@' && upper <= '_') return keyForCharacter(upper & 0x1F, flags);
    if (c >= 'a' && c <= 'z' && (flags & mod::shift)) return keyForCharacter(upper, flags);
    return keyForCharacter(c, flags);
}

KeyEvent keyForCharacter(uint32_t c, uint64_t extraFlags) {
    KeyEvent key;
    switch (c) {
    case key::returnKey:
        key = {36, "\r", 0};
        break;
    case key::tab:
        key = {48, "\t", 0};
        break;
    case key::escape:
        key = {53, "\x1b", 0};
        break;
    case key::backspace:
        key = {51, "\x7f", 0};
        break;
    case key::controlSpace:
        key = {49, std::string(1, '\0'), mod::control};
        break;
    case key::controlOUmlaut:
        key = {42, "\x1c", mod::control};
        break;
    case key::controlUUmlaut:
        key = {30, "\x1d", mod::control};
        break;
    case key::controlCaret:
        key = {22, "\x1e", mod::control};
        break;
    case key::controlMinus:
        key = {27, "\x1f", mod::control};
        break;
    default:
        if (c < key::escape) {
            // Control with a letter; Control+I and Control+M are Tab and Return, as terminals send them.
            key = {placeOf(static_cast<char>('a' + c - 1)).code, std::string(1, static_cast<char>(c)), mod::control};
        } else if (c < key::backspace) {
            const Place place = placeOf(static_cast<char>(c));
            key = {place.code, std::string(1, static_cast<char>(c)), place.shifted ? mod::shift : 0};
        } else {
            key = {c > 255 ? codeOfTableCharacter(c) : unknownKeyCode, utf8(c), 0};
        }
        break;
    }
    key.modifierFlags |= extraFlags;
    return key;
}

void InputDecoder::feed(std::string_view bytes, std::vector<Input>& out) {
    pending_.append(bytes);
    size_t at = 0;
    while (at < pending_.size()) {
        if (skipping_) {
            // The rest of an overlong sequence, up to its final byte: typed out, its digits
            // would edit the file.
            const auto b = static_cast<unsigned char>(pending_[at]);
            if (isParameter(b) || isIntermediate(b)) {
                ++at;
                continue;
            }
            skipping_ = false;
            if (isFinal(b)) ++at;
            continue;
        }
        if (inPaste_) {
            at = takePaste(at, out);
            if (inPaste_) break;
            continue;
        }
        const size_t used = decodeOne(at, false, out);
        if (used == 0) break;
        at += used;
    }
    pending_.erase(0, at);
}

void InputDecoder::flush(std::vector<Input>& out) {
    if (inPaste_) return;
    skipping_ = false;
    size_t at = 0;
    while (at < pending_.size()) at += decodeOne(at, true, out);
    pending_.clear();
}

void InputDecoder::endPaste(std::vector<Input>& out) {
    if (!inPaste_) return;
    appendPaste(0, pending_.size());
    pending_.clear();
    finishPaste(out);
}

void InputDecoder::finishPaste(std::vector<Input>& out) {
    inPaste_ = false;
    // Line ends as the pasteboard keeps them: terminals send a carriage return.
    std::string text;
    text.reserve(paste_.size());
    for (size_t i = 0; i < paste_.size(); ++i) {
        if (paste_[i] == '\r') {
            text += '\n';
            if (i + 1 < paste_.size() && paste_[i + 1] == '\n') ++i;
        } else {
            text += paste_[i];
        }
    }
    paste_.clear();
    out.push_back(PasteInput{std::move(text)});
}

void InputDecoder::appendPaste(size_t from, size_t to) {
    const size_t room = paste_.size() < maxPaste ? maxPaste - paste_.size() : 0;
    paste_.append(pending_, from, std::min(room, to - from));
}

size_t InputDecoder::takePaste(size_t at, std::vector<Input>& out) {
    const size_t end = pending_.find(pasteEnd, at);
    if (end != std::string::npos) {
        appendPaste(at, end);
        finishPaste(out);
        return end + pasteEnd.size();
    }
    // Keep a tail that may be the start of the end marker.
    size_t keep = 0;
    for (size_t n = std::min(pasteEnd.size() - 1, pending_.size() - at); n > 0; --n) {
        if (pending_.compare(pending_.size() - n, n, pasteEnd.substr(0, n)) == 0) {
            keep = n;
            break;
        }
    }
    appendPaste(at, pending_.size() - keep);
    return pending_.size() - keep;
}

size_t InputDecoder::decodeOne(size_t at, bool final, std::vector<Input>& out) {
    if (pending_[at] == '\x1b') return decodeEscape(at, final, out);
    return decodeCharacter(at, final, 0, out);
}

// A byte with the high bit set that begins no UTF-8 character is the eight-bit form of Alt
// (xterm's default): Alt with the byte's low seven bits, Backspace's 0x7F or 0x08 among
// them. UTF-8 goes first, since a terminal that sends it means the character; xterm is
// asked to send Alt as Escape instead (terminal_mode.cpp), where the two would be alike.
size_t InputDecoder::decodeCharacter(size_t at, bool final, uint64_t extraFlags, std::vector<Input>& out) {
    const auto lead = static_cast<unsigned char>(pending_[at]);
    if (lead < 0x80) {
        out.push_back((extraFlags & mod::option) ? withAlt(lead) : keyForCharacter(lead, extraFlags));
        return 1;
    }
    auto eightBit = [&] {
        out.push_back(withAlt(lead & 0x7F));
        return size_t(1);
    };
    // The length the lead byte gives its character.
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return eightBit();
    // Cut off or broken off: the lead byte alone, and what follows decoded anew.
    const size_t available = pending_.size() - at;
    for (size_t i = 1; i < std::min(length, available); ++i)
        if ((static_cast<unsigned char>(pending_[at + i]) & 0xC0) != 0x80) return eightBit();
    if (available < length) return final ? eightBit() : 0;
    uint32_t c = 0;
    if (kt::decodeScalar(pending_, at, c) != length) return eightBit();  // overlong, a surrogate, too large
    // A control character of the upper half is no typed character: the eight-bit Alt form
    // of a terminal that sends it as UTF-8.
    out.push_back(c < 0xA0 ? withAlt(c & 0x7F) : keyForCharacter(c, extraFlags));
    return length;
}

size_t InputDecoder::decodeEscape(size_t at, bool final, std::vector<Input>& out) {
    const size_t available = pending_.size() - at;
    if (available == 1) {
        if (!final) return 0;
        out.push_back(keyForCharacter(key::escape));
        return 1;
    }
    const char next = pending_[at + 1];
    if (next == '[') return decodeCsi(at, final, out);
    if (next == 'O') {
        if (available == 2) {
            if (!final) return 0;
            out.push_back(keyForCharacter('O', mod::option));
            return 2;
        }
        switch (pending_[at + 2]) {
        case 'A':
            out.push_back(specialKey(Special::up));
            return 3;
        case 'B':
            out.push_back(specialKey(Special::down));
            return 3;
        case 'C':
            out.push_back(specialKey(Special::right));
            return 3;
        case 'D':
            out.push_back(specialKey(Special::left));
            return 3;
        case 'H':
            out.push_back(specialKey(Special::home));
            return 3;
        case 'F':
            out.push_back(specialKey(Special::end));
            return 3;
        case 'M':
            out.push_back(specialKey(Special::keypadEnter));
            return 3;
        case 'P':
        case 'Q':
        case 'R':
        case 'S':
            out.push_back(specialKey(Special::f1, pending_[at + 2] - 'P' + 1));
            return 3;
        default:
            if (isFinal(static_cast<unsigned char>(pending_[at + 2]))) return 3;  // unknown: dropped
            out.push_back(keyForCharacter('O', mod::option));
            return 2;
        }
    }
    if (next == '\x1b') {
        // Escape twice: the first is a key of its own.
        out.push_back(keyForCharacter(key::escape));
        return 1;
    }
    // Alt with a key.
    const size_t used = decodeCharacter(at + 1, final, mod::option, out);
    return used == 0 ? 0 : used + 1;
}

size_t InputDecoder::decodeCsi(size_t at, bool final, std::vector<Input>& out) {
    const size_t size = pending_.size();
    size_t i = at + 2;
    char marker = 0;
    if (i < size && (pending_[i] == '<' || pending_[i] == '=' || pending_[i] == '>' || pending_[i] == '?'))
        marker = pending_[i++];
    const size_t parameterStart = i;
    while (i < size && isParameter(static_cast<unsigned char>(pending_[i]))) ++i;
    const size_t parameterEnd = i;
    while (i < size && isIntermediate(static_cast<unsigned char>(pending_[i]))) ++i;
    if (i - at > maxSequence) {
        skipping_ = true;
        return i - at;
    }
    if (i == size) {
        if (!final) return 0;
        if (size - at == 2) out.push_back(keyForCharacter('[', mod::option));
        return size - at;  // cut off: dropped
    }
    const auto finalByte = static_cast<unsigned char>(pending_[i]);
    // Not a sequence after all: drop what came, decode the byte that broke it anew.
    if (!isFinal(finalByte)) return i - at;
    const bool plain = marker == 0 && parameterEnd == i;
    const std::string_view text(pending_.data() + parameterStart, parameterEnd - parameterStart);

    // The Linux console's F1 … F5: CSI [ A … E.
    if (finalByte == '[' && plain && text.empty()) {
        if (i + 1 >= size) return final ? size - at : 0;
        const char letter = pending_[i + 1];
        if (letter >= 'A' && letter <= 'E') out.push_back(specialKey(Special::f1, letter - 'A' + 1));
        return i + 2 - at;
    }
    // The old mouse report, CSI M and three bytes, from terminals that lack the SGR form.
    if (finalByte == 'M' && plain && text.empty()) {
        if (i + 3 >= size) return final ? size - at : 0;
        const int b = static_cast<unsigned char>(pending_[i + 1]) - 32;
        const int x = static_cast<unsigned char>(pending_[i + 2]) - 32;
        const int y = static_cast<unsigned char>(pending_[i + 3]) - 32;
        if (b >= 0 && x >= 1 && y >= 1) {
            MouseInput mouse;
            mouse.button = (b & 3) == 3 ? 0 : (b & 0xC3);
            mouse.press = (b & 3) != 3;
            mouse.motion = b & 32;
            mouse.column = x;
            mouse.row = y;
            mouse.modifierFlags = (b & 4 ? mod::shift : 0) | (b & 8 ? mod::option : 0) | (b & 16 ? mod::control : 0);
            out.push_back(mouse);
        }
        return i + 4 - at;
    }
    const size_t used = i + 1 - at;
    if (parameterEnd != i) return used;  // intermediates: nothing we asked for
    const std::vector<long> p = parameters(text);
    auto parameter = [&](size_t n, long fallback) { return n < p.size() && p[n] >= 0 ? p[n] : fallback; };

    if (marker == '<') {
        if ((finalByte == 'M' || finalByte == 'm') && p.size() == 3 && p[0] >= 0 && p[1] >= 1 && p[2] >= 1) {
            MouseInput mouse;
            const long b = p[0];
            mouse.button = static_cast<int>(b & 0xC3);
            mouse.press = finalByte == 'M';
            mouse.motion = b & 32;
            mouse.column = static_cast<int>(p[1]);
            mouse.row = static_cast<int>(p[2]);
            mouse.modifierFlags = (b & 4 ? mod::shift : 0) | (b & 8 ? mod::option : 0) | (b & 16 ? mod::control : 0);
            out.push_back(mouse);
        }
        return used;
    }
    if (marker != 0) return used;

    // A key with modifiers that the plain forms can't carry (Shift+Alt+Backspace among them):
    // CSI code ; modifiers u (fixterms, kitty), CSI 27 ; modifiers ; code ~ (xterm's
    // modifyOtherKeys).
    if (finalByte == 'u' && p.size() >= 1 && p[0] >= 0) {
        if (auto key = keyWithModifiers(p[0], modifiersOf(parameter(1, 1)))) out.push_back(*key);
        return used;
    }
    if (finalByte == '~' && p.size() >= 3 && p[0] == 27 && p[2] >= 0) {
        if (auto key = keyWithModifiers(p[2], modifiersOf(parameter(1, 1)))) out.push_back(*key);
        return used;
    }

    const uint64_t flags = modifiersOf(parameter(1, 1));
    switch (finalByte) {
    case 'A':
        out.push_back(withFlags(specialKey(Special::up), flags));
        break;
    case 'B':
        out.push_back(withFlags(specialKey(Special::down), flags));
        break;
    case 'C':
        out.push_back(withFlags(specialKey(Special::right), flags));
        break;
    case 'D':
        out.push_back(withFlags(specialKey(Special::left), flags));
        break;
    case 'H':
        out.push_back(withFlags(specialKey(Special::home), flags));
        break;
    case 'F':
        out.push_back(withFlags(specialKey(Special::end), flags));
        break;
    case 'P':
    case 'Q':
    case 'R':
    case 'S':
        out.push_back(withFlags(specialKey(Special::f1, finalByte - 'P' + 1), flags));
        break;
    case 'Z':
        out.push_back(KeyEvent{48, "\x19", mod::shift | flags});
        break;
    case '~': {
        const long number = parameter(0, 0);
        switch (number) {
        case 1:
        case 7:
            out.push_back(withFlags(specialKey(Special::home), flags));
            break;
        case 2:
            out.push_back(withFlags(specialKey(Special::insert), flags));
            break;
        case 3:
            out.push_back(withFlags(specialKey(Special::forwardDelete), flags));
            break;
        case 4:
        case 8:
            out.push_back(withFlags(specialKey(Special::end), flags));
            break;
        case 5:
            out.push_back(withFlags(specialKey(Special::pageUp), flags));
            break;
        case 6:
            out.push_back(withFlags(specialKey(Special::pageDown), flags));
            break;
        case 200:
            inPaste_ = true;
            paste_.clear();
            break;
        default: {
            // F1 … F12 as 11–15, 17–21, 23, 24 (the gaps are historical).
            static constexpr int numbers[12] = {11, 12, 13, 14, 15, 17, 18, 19, 20, 21, 23, 24};
            for (int n = 0; n < 12; ++n)
                if (numbers[n] == number) out.push_back(withFlags(specialKey(Special::f1, n + 1), flags));
            break;
        }
        }
        break;
    }
    default:
        break;  // focus reports and the like: nothing we use
    }
    return used;
}

}  // namespace host::terminal
