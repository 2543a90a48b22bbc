#include "editor/help_pages.h"

#include "editor/key_help.h"
#include "editor/texts.h"

namespace editor {
namespace {

// How the program is started, after its name.
constexpr const char* synopses[] = {"[--log LOGFILE] [FILE]", "--terminal [--log LOGFILE] [FILE]",
                                    "--headless [--script SCRIPT] [--log LOGFILE] [FILE]", "--help | --version"};

struct Option {
    const char* name;  // the option and its value's name
    const char* english;
};

constexpr Option options[] = {
    {"FILE",
     "the file to edit; a name that does not exist yet, in a folder that does, starts an empty file of "
     "that name, which the first ^S (save) creates"},
    {"--terminal",
     "show the editor in this text terminal (no display needed, works over SSH); without an option: "
     "the desktop when there is a display, else the terminal"},
    {"--headless", "run without a display (tests, scripts, screenshots)"},
    {"--script SCRIPT", "with --headless: run the steps of SCRIPT, then end"},
    {"--log LOGFILE", "write the toolkit's log lines to LOGFILE instead of standard output"},
    {"--help", "the usage and every key, in English"},
    {"--version", "the program's name and version"},
};

constexpr const char* tablesStart =
    "<!-- The key tables are made from src/editor/key_help.cpp: build/tools/keydoc/keydoc readme README.md -->";
constexpr const char* tablesEnd = "<!-- End of the key tables -->";

// Text for roff: a backslash printed as one, and no line that roff would take for a request.
std::string roff(std::string_view text, bool minus = false) {
    std::string out;
    bool lineStart = true;
    for (char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && minus)
            out += "\\-";
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

// The parts of a key column: "^H, Left" is ^H and Left.
template <typename Each>
void forEachKey(std::string_view keys, Each&& each) {
    for (size_t start = 0;;) {
        const size_t comma = keys.find(", ", start);
        each(keys.substr(start, comma - start));
        if (comma == std::string_view::npos) return;
        start = comma + 2;
    }
}

// A section's column headings: the keys, or the words of the screen.
std::pair<const char*, const char*> headings(const KeyHelpSection& section) {
    if (std::string_view(section.first) == "Word") return {"In full", "What it means"};
    return {"German label", "What it does"};
}

}  // namespace

std::string usageText() {
    std::string out;
    for (const char* synopsis : synopses)
        out += (out.empty() ? "usage: ostrakonix " : "       ostrakonix ") + std::string(synopsis) + "\n";
    constexpr size_t indent = 20;
    for (const Option& option : options) {
        std::string line = "  " + std::string(option.name);
        line.append(line.size() < indent ? indent - line.size() : 1, ' ');
        out += line;
        appendWrapped(out, option.english, indent, line.size());
    }
    return out;
}

std::string manPage(const std::string& version) {
    std::string out = ".\\\" Made by tools/keydoc from the program's key list: change that, not this page.\n";
    out +=
        ".TH OSTRAKONIX 1 \"\" \"" + std::string(texts::programName) + " " + roff(version) + "\" \"User Commands\"\n";
    out += ".SH NAME\nostrakonix \\- hex editor in the style of an old home computer\n";
    out += ".SH SYNOPSIS\n.nf\n";
    for (const char* synopsis : synopses) out += "\\fBostrakonix\\fR " + roff(synopsis, true) + "\n";
    out += ".fi\n.SH DESCRIPTION\n";
    out +=
        "Ostrakonix shows one file as rows of sixteen bytes, each with its position, the bytes in hexadecimal and "
        "the same bytes as characters, on a fixed screen of 80 by 25 characters. It overwrites, inserts and "
        "deletes bytes as text or in hexadecimal, searches and replaces byte sequences, goes to a position, and "
        "loads, saves and closes files. It runs on the desktop, in a text terminal or without a display.\n.PP\n";
    out += roff(keyHelpIntroduction());
    out += ".SH OPTIONS\n";
    for (const Option& option : options) {
        const std::string_view name = option.name;
        const size_t space = name.find(' ');
        // Options in bold, the values they take (and the file) in italics.
        out += std::string(".TP\n") + (name[0] == '-' ? "\\fB" : "\\fI") + roff(name.substr(0, space), true) + "\\fR";
        if (space != std::string_view::npos) out += " \\fI" + roff(name.substr(space + 1)) + "\\fR";
        out += "\n" + roff(option.english) + "\n";
    }
    out += ".SH KEYS\n";
    for (const KeyHelpSection& section : keyHelp()) {
        out += ".SS \"" + roff(section.title) + "\"\n";
        for (const KeyHelp& key : section.keys) {
            std::string keys;
            forEachKey(key.keys, [&](std::string_view one) {
                keys += (keys.empty() ? "\\fB" : ", \\fB") + roff(one, true) + "\\fR";
            });
            const std::string_view german = key.german;
            out += ".TP\n" + keys + (german == "—" ? "" : " \\(em " + roff(german)) + "\n" + roff(key.english) + "\n";
        }
    }
    out += ".SH FILES\n.TP\n.I share/ostrakonix\nthe font and the alert sound, beside the folder of the program\n";
    return out;
}

std::string keyTablesMarkdown() {
    std::string out;
    for (const KeyHelpSection& section : keyHelp()) {
        const auto [german, english] = headings(section);
        if (!out.empty()) out += "\n";
        out += "### " + std::string(section.title) + "\n\n| " + section.first + " | " + german + " | " + english +
               " |\n|---|---|---|\n";
        for (const KeyHelp& key : section.keys) {
            std::string keys;
            forEachKey(key.keys,
                       [&](std::string_view one) { keys += (keys.empty() ? "`" : ", `") + std::string(one) + "`"; });
            out += "| " + keys + " | " + key.german + " | " + key.english + " |\n";
        }
    }
    return out;
}

std::string readmeWithKeyTables(const std::string& readme) {
    const size_t start = readme.find(tablesStart), end = readme.find(tablesEnd);
    if (start == std::string::npos || end == std::string::npos || end < start) return {};
    return readme.substr(0, start) + tablesStart + "\n\n" + keyTablesMarkdown() + "\n" + readme.substr(end);
}

}  // namespace editor
