#include "editor/key_help.h"

#include <algorithm>
#include <array>

#include "app/utf8.h"

namespace editor {
namespace {

constexpr KeyHelp mainKeys[] = {
    {"^H, Left", "Zeichen links", "cursor one byte left"},
    {"^U, Right", "Zeichen rechts", "cursor one byte right"},
    {"^K, Up", "Zeile oben", "cursor one row (16 bytes) up"},
    {"^J, Down", "Zeile unten", "cursor one row down"},
    {"^W, wheel up", "Scrollen oben", "scroll one row up"},
    {"^Y, wheel down", "Scrollen unten", "scroll one row down"},
    {"^R, PageUp", "Seite oben", "one page up"},
    {"^C, PageDown", "Seite unten", "one page down"},
    {"^B, Home", "Dateianfang", "to the first byte of the file"},
    {"^E, End", "Dateiende", "to the last byte of the file"},
    {"^G, Delete", "Zchn. löschen, Löschen", "delete the byte at the cursor; with a selection, the selection"},
    {"^I, Tab", "Zchn. einfügen", "insert a byte (a blank) at the cursor; in an empty file, the first byte"},
    {"Zn", "Text ändern",
     "a typed character is written as a byte: over the cursor, or inserted in insert mode, where the cursor may "
     "also stand past the last byte to append; in an empty file it makes the first byte"},
    {"^M, Return", "Hex ändern", "type bytes in hexadecimal, one after the other; Esc ends"},
    {"Backspace", "—", "insert mode: delete the byte before the cursor; overwrite mode: one byte left"},
    {"Alt+Backspace", "Widerrufen", "undo the last change"},
    {"Shift+Alt+Backspace", "Wiederholen", "redo what was undone"},
    // Selections and ranges of bytes.
    {"Alt+M", "Markieren", "start a selection at the cursor, which the cursor motions then extend; again, end it"},
    {"Shift+cursor keys", "—",
     "select: Shift with Left, Right, Up, Down, Home, End, PageUp, PageDown or a click extends the selection"},
    {"drag", "—", "select the bytes the mouse is dragged over"},
    {"Alt+A", "Alles markieren", "select the whole file"},
    {"Alt+X", "Ausschneiden", "cut: copy the selection as hexadecimal pairs, then delete it"},
    {"Alt+C", "Kopieren (Hex)", "copy the selection as hexadecimal pairs: 41 42 43"},
    {"Alt+T", "Kopieren (Text)", "copy the selection as the characters the byte rows show"},
    {"Alt+V", "Einfügen",
     "paste: hexadecimal pairs as their bytes, other text as its bytes; inserted in insert mode, else written "
     "over; in place of the selection when one stands"},
    {"Alt+F", "Füllen …", "fill the selection with a byte or a hexadecimal pattern, typed in a field"},
    {"Alt+W", "Werte", "the values view instead of the menus: what the bytes at the cursor mean; again, the menus"},
    {"^L", "Datei laden", "load a file, chosen in the file browser"},
    {"^S", "Datei speichern",
     "save the file; without a file, or when the file refuses (its rights, a folder gone), ask where: the desktop's "
     "Save As dialog, in the terminal the field \"Sichern unter:\""},
    {"^X", "Datei schließen", "close the file, leaving an empty buffer"},
    {"^Q", "Beenden", "quit Ostrakonix"},
    {"^F", "Suchen Menü, Hauptmenü", "switch between the main menu and the search menu"},
    {"^Ö, Ctrl+\\", "Position",
     "go to a position: hexadecimal (0x allowed), #decimal, or +/- that far from the cursor (+200, -#64)"},
    {"^Ü, Ctrl+]", "Über Ostrakonix", "about: name, version and copyright"},
    {"Esc", "Hilfe & Status", "next header: menus and status, status and column heads, status only, nothing"},
};

constexpr KeyHelp searchKeys[] = {
    {"^D", "Suchen:", "type the search text"},
    {"^T", "Ändern:", "type the change (replacement) text"},
    {"^P", "Modus (Hex, Text, Alpha)", "how both texts are read: hexadecimal digits, text, or text in any case"},
    {"^N", "Suchen", "find the next occurrence after the cursor"},
    {"^O", "Ändern", "change the occurrence just found (Hex mode only)"},
    {"^Z", "Ändern & Suchen", "change it and find the next one"},
    {"^A", "Alles ändern", "change every occurrence (Hex mode only)"},
    {"^V", "Einfügen (Aus, Ein)",
     "insert mode off or on; off, typing overwrites; on, a bar stands before the cursor's byte and the window "
     "title says \"Einfügen\""},
};

constexpr KeyHelp fieldKeys[] = {
    {"Return", "—", "take the text"},
    {"Esc", "—", "cancel: the field is emptied and nothing is done"},
    {"^Z", "—", "clear the field"},
    {"^X", "—", "delete everything before the cursor"},
    {"^H, Left, ^U, Right", "—", "cursor one character left, right"},
    {"^A, Home, ^E, End", "—", "cursor to the start, the end"},
    {"^S, ^D", "—", "cursor one word left, right"},
    {"Backspace, ^G, Delete", "—", "delete the character before, after the cursor"},
    {"^L, ^V", "—", "copy the field to the clipboard, paste the clipboard's first line"},
    {"Ctrl+6, digits", "—", "type a character by its decimal code (up to three digits)"},
    {"any character", "—",
     "in the position and the hexadecimal byte: replaces the value offered; a cursor key keeps it"},
};

constexpr KeyHelp questionKeys[] = {
    {"J, Return, Space", "Ja", "yes: save the file first, then go on"},
    {"N", "Nein", "no: go on without saving"},
    {"A, Esc", "Abbrechen", "cancel: nothing happens"},
    {"any key", "Bitte irgendeine Taste drücken", "\"please press any key\": closes a message"},
};

constexpr KeyHelp browserKeys[] = {
    {"^J, Down, ^K, Up", "—", "next, previous entry"},
    {"^C, PageDown, ^R, PageUp", "—", "a page down, up"},
    {"^B, ^E", "—", "first, last entry"},
    {"a … z", "—", "the first entry from that letter on"},
    {"Return, double click", "—", "open the folder, or load the file"},
    {"^U", "—", "open the selected folder"},
    {"^H", "—", "the folder above"},
    {"Backspace, ^D, ^F, ^L", "—", "the home, desktop, documents, downloads folder"},
    {"^P, ^S, ^V", "—", "the pictures, music, videos folder"},
    {"^N, ^A, Tab", "—", "the folder it started in, the program's folder, the mounted volumes"},
    {"Esc", "—", "cancel"},
};

constexpr KeyHelp screenWords[] = {
    {"Pos", "Position", "the cursor's position, in hexadecimal (in insert mode it may be one past the last byte)"},
    {"Ende", "Ende", "the position of the last byte (the size less one), in hexadecimal"},
    {":, ·", "geändert, unverändert", "before the file name: changed and not saved, unchanged"},
    {"Zn", "Zeichen", "a character typed as a key"},
    {"Zchn.", "Zeichen", "a character: here a byte"},
    {"Alphanumerisch", "alphanumerisch", "the bytes as characters (control bytes as red letters)"},
    {"Ablage", "Ablage", "the desktop's File menu"},
    {"Bearbeiten", "Bearbeiten", "the desktop's Edit menu"},
    {"Fenster", "Fenster", "the desktop's Window menu"},
    {"Hilfe", "Hilfe", "the desktop's Help menu"},
};

// The values view's words, row by row (the status line's "dez." too).
constexpr KeyHelp valueWords[] = {
    {"Byte", "Byte", "the byte at the cursor: hexadecimal (h), decimal, signed, octal (o), binary (b)"},
    {"16, 32, 64", "Bit", "the 16-, 32- and 64-bit integer from the cursor on: unsigned, then signed"},
    {"LE, BE", "Little-Endian, Big-Endian", "byte order: the lowest byte first, the highest byte first"},
    {"F32, F64", "Gleitkomma", "the 32- and 64-bit floating point number (IEEE 754); NaN, +∞, -∞"},
    {"Zeit32, Zeit64", "Zeit", "the 32- or 64-bit Unix time as a UTC date, where it is one from 1980 to 2099"},
    {"Zn", "Zeichen", "the UTF-8 character starting at the cursor: its number (U+) and glyph"},
    {"unvollst., keins", "unvollständig, keins", "a character cut short; no character starts here"},
    {"—", "—", "no value: the file ends before it, or a selection of 1 to 8 bytes, whose values these are"},
    {"dez. #", "dezimal", "the cursor's position in decimal (in the status line)"},
};

constexpr KeyHelpSection sections[] = {
    {"The editor's keys (^X is Control with X)", "Key", mainKeys},
    {"In the search menu (^F)", "Key", searchKeys},
    {"In a field being typed (Suchen:, Ändern:, Position, a hexadecimal byte, Füllen, Sichern unter:)", "Key",
     fieldKeys},
    {"Questions and messages", "Key", questionKeys},
    {"In the file browser (^L)", "Key", browserKeys},
    {"Words on the screen", "Word", screenWords},
    {"The values view (Alt+W, \"Fenster ▸ Werte\")", "Word", valueWords},
};

// Columns are counted in characters, not bytes.
size_t width(std::string_view text) { return kt::scalarCount(text); }

void pad(std::string& out, const char* text, size_t to) {
    out += text;
    out.append(to > width(text) ? to - width(text) : 0, ' ');
}

}  // namespace

std::span<const KeyHelpSection> keyHelp() { return sections; }

const char* keyHelpIntroduction() {
    return "Ostrakonix is a hex editor whose screens are in German on purpose: it keeps the look of an\n"
           "old home computer's text screen. \"^X\" means Control with X. ^Q quits (asking first when\n"
           "changes are unsaved); on the desktop, the window's close box and \"Ostrakonix beenden\" do\n"
           "the same. On a US keyboard ^Ö is Control+\\ and ^Ü is Control+]. In the status line, \"Pos\"\n"
           "is the cursor's position and \"Ende\" the position of the last byte, both in hexadecimal.\n";
}

void appendWrapped(std::string& out, std::string_view text, size_t indent, size_t column) {
    constexpr size_t lineWidth = 100;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(' ', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view word = text.substr(start, end - start);
        if (column > indent && column + 1 + width(word) > lineWidth) {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        } else if (column > indent) {
            out += ' ';
            ++column;
        }
        out += word;
        column += width(word);
        start = end + 1;
    }
    out += "\n";
}

std::string keyHelpText() {
    std::string out;
    for (const KeyHelpSection& section : sections) {
        size_t first = 0, second = 0;
        for (const KeyHelp& key : section.keys) {
            first = std::max(first, width(key.keys));
            second = std::max(second, width(key.german));
        }
        const size_t indent = 2 + first + 2 + second + 2;
        out += "\n";
        out += section.title;
        out += ":\n";
        for (const KeyHelp& key : section.keys) {
            out += "  ";
            pad(out, key.keys, first + 2);
            pad(out, key.german, second + 2);
            appendWrapped(out, key.english, indent, indent);
        }
    }
    return out;
}

}  // namespace editor
