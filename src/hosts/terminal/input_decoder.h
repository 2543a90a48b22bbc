// The bytes a terminal sends, as the key presses, mouse presses and pastes they stand for.
// Keys come out as the host key codes, characters and modifier flags of the desktop host
// (the key table is keyed by them); whatever is malformed or unknown is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "platform/platform.h"

namespace host::terminal {

// A key code no key of the key table has: the characters alone decide.
constexpr int64_t unknownKeyCode = 255;

struct MouseInput {
    int button = 0;  // 0 left, 1 middle, 2 right; 64 and up the wheel and further buttons
    bool press = true;
    bool motion = false;
    int column = 1, row = 1;  // terminal cell, from 1
    uint64_t modifierFlags = 0;
};

struct PasteInput {
    std::string text;  // line ends as "\n"
};

using Input = std::variant<KeyEvent, MouseInput, PasteInput>;

// The key event of one typed character (Unicode scalar), as the desktop host makes it.
KeyEvent keyForCharacter(uint32_t character, uint64_t extraFlags = 0);
// The key event of a key code with modifier flags, as the sequences for modified keys
// report them; nothing for a code that is no character.
std::optional<KeyEvent> keyWithModifiers(long code, uint64_t flags);

class InputDecoder {
public:
    // Longest control sequence taken; longer ones are malformed and dropped.
    static constexpr size_t maxSequence = 64;
    // Largest paste kept; the rest of a longer one is dropped.
    static constexpr size_t maxPaste = size_t(4) << 20;

    // Decodes bytes as they arrive and appends what is complete to out.
    void feed(std::string_view bytes, std::vector<Input>& out);
    // Bytes wait that may still become a sequence: a lone Escape so far, or part of one.
    bool waiting() const { return !inPaste_ && (!pending_.empty() || skipping_); }
    // The short wait for the rest of a sequence is over: what waits is taken as typed.
    void flush(std::vector<Input>& out);
    // Inside a bracketed paste, waiting for its end.
    bool inPaste() const { return inPaste_; }
    // A paste whose end never came: what arrived of it is the paste.
    void endPaste(std::vector<Input>& out);

private:
    // Decodes one input at the front of pending_ from position at; returns the bytes used,
    // or 0 when the input is not complete yet.
    size_t decodeOne(size_t at, bool final, std::vector<Input>& out);
    size_t decodeEscape(size_t at, bool final, std::vector<Input>& out);
    size_t decodeCsi(size_t at, bool final, std::vector<Input>& out);
    size_t decodeCharacter(size_t at, bool final, uint64_t extraFlags, std::vector<Input>& out);
    // Takes paste text from position at up to the end marker; returns where decoding goes on.
    size_t takePaste(size_t at, std::vector<Input>& out);
    void appendPaste(size_t from, size_t to);
    void finishPaste(std::vector<Input>& out);

    std::string pending_;
    bool skipping_ = false;  // inside an overlong sequence, up to its final byte
    bool inPaste_ = false;
    std::string paste_;
};

}  // namespace host::terminal
