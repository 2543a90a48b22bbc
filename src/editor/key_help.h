// The editor's keys for people: the key, its name on the German screen and what it does in
// English. --help, the desktop's help window and the README's key table are made from (or
// checked against) this one list.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace editor {

struct KeyHelp {
    // How to type it: "^X" is Control with X; several ways are separated by ", ".
    const char* keys;
    // The command's name as the screen shows it ("—" where the screen names none); in the
    // section of the screen's words, the word written out.
    const char* german;
    const char* english;
};

struct KeyHelpSection {
    const char* title;  // in English
    const char* first;  // the heading of the first column: the keys, or a word of the screen
    std::span<const KeyHelp> keys;
};

std::span<const KeyHelpSection> keyHelp();

// A few lines for a reader without German that go before the list: why the screens are in
// German, how to quit, which keys a US keyboard lacks, what the status line's numbers are.
const char* keyHelpIntroduction();

// The list as plain text, one line a key in three columns, each section under its title.
std::string keyHelpText();

// Appends text's words to out from `column` on, lines of at most 100 characters, each next
// line indented by `indent`; ends with a line end.
void appendWrapped(std::string& out, std::string_view text, size_t indent, size_t column);

}  // namespace editor
