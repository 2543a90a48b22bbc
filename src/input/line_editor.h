// The line editor: one line of input in a graphic window, with a prompt, a default text,
// cursor, deletion, word and pasteboard keys. Its state is the Input* fields of the window's
// record; InputString holds the field as UTF-8 whose every scalar is one code 0 to 255 of the
// toolkit's character set (a character above 255 is carried as its escape group: 27, four
// capital hexadecimal digits, 29). All three run on the program thread.
#pragma once

#include <cstdint>
#include <string>

// Prints the prompt, shows the default text and, unless displayOnly, lets the user edit it
// until Return (the text is returned) or Escape (the empty text).
std::string t_InputForm(uint8_t window, const std::string& prompt, const std::string& defaultText, bool displayOnly,
                        int64_t mode, int64_t maxCharacters);
std::string t_InputForm(const std::string& prompt, const std::string& defaultText, bool displayOnly, int64_t mode,
                        int64_t maxCharacters);

// As t_InputForm, with the default text offered as a selected text is: the first character
// typed or pasted replaces it, while the cursor and editing keys keep it for editing.
std::string t_InputFormOffered(uint8_t window, const std::string& prompt, const std::string& defaultText, int64_t mode,
                               int64_t maxCharacters);

// Applies one key code to the window's input.
void t_InputEdit(uint8_t window, int64_t key);

// Inserts one character code at the input cursor, if the mode and the limits allow it. A code
// above 255 (a pasted character) goes in as its escape group, whole or not at all.
void t_InputInsert(uint8_t window, int64_t code);
