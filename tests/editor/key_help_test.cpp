// The program's --help and --version, and the key list behind --help, the help window, the
// manual page and the README: every key the editor's key table acts on is listed, and the
// pages made from the list say what it says.
#include "editor/key_help.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <vector>

#include "editor/help_pages.h"

namespace {

// What the program writes to standard output with these arguments, and its exit status.
std::pair<std::string, int> run(const std::string& arguments) {
    std::FILE* pipe = ::popen((std::string(OSTRAKONIX_EXECUTABLE) + " " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return {"", -1};
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    return {out, ::pclose(pipe)};
}

std::string source(const std::string& relative) {
    std::ifstream in(std::string(OSTRAKONIX_SOURCE_DIR) + "/" + relative);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The pieces of text between the separators.
std::vector<std::string> split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    for (size_t start = 0;;) {
        const size_t at = text.find(separator, start);
        pieces.push_back(text.substr(start, at - start));
        if (at == std::string::npos) return pieces;
        start = at + separator.size();
    }
}

// The keys the editor's dispatch acts on, named as the help names them: its case labels
// (leaving out those that only sound the alert) and the typed characters.
std::set<std::string> dispatchedKeys() {
    const std::string all = source("src/editor/main_program.cpp");
    const size_t start = all.find("bool dispatch(");
    std::istringstream body(all.substr(start, all.find("\n}\n", start) - start));
    const std::map<std::string, std::string> named = {
        {"escape", "Esc"}, {"controlOUmlaut", "^Ö"}, {"controlUUmlaut", "^Ü"}, {"backspace", "Backspace"}};
    std::set<std::string> keys{"Zn"};
    for (std::string line; std::getline(body, line);) {
        const size_t at = line.find("case key::"), colon = line.find(':', at + 10);
        if (at == std::string::npos || line.find("alert();") != std::string::npos) continue;
        const std::string name = line.substr(at + 10, colon - at - 10);
        keys.insert(named.count(name) ? named.at(name) : "^" + name.substr(7));
    }
    return keys;
}

}  // namespace

TEST(CommandLine, HelpManualPageAndReadmeListEveryKeyAndVersionThePackagesVersion) {
    const auto [help, status] = run("--help");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(help.rfind("usage: ostrakonix", 0), 0u) << help;
    // The keys of the first column, under the section titles.
    std::set<std::string> listed;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("  ", 0) != 0 || line.rfind("   ", 0) == 0) continue;
        for (const std::string& key : split(line.substr(2, line.find("  ", 2) - 2), ", ")) listed.insert(key);
    }
    const std::set<std::string> dispatched = dispatchedKeys();
    EXPECT_GE(dispatched.size(), 29u) << "the key table was not found";
    for (const std::string& key : dispatched) EXPECT_TRUE(listed.count(key)) << key << " is not in --help";
    for (const char* key : {"Alt+Backspace", "Shift+Alt+Backspace", "wheel up", "Ctrl+\\", "Ctrl+]", "Alt+M", "Alt+A",
                            "Alt+X", "Alt+C", "Alt+T", "Alt+V", "Alt+F", "Alt+W", "Shift+cursor keys"})
        EXPECT_TRUE(listed.count(key)) << key;

    const auto [version, versionStatus] = run("--version");
    EXPECT_EQ(versionStatus, 0);
    EXPECT_EQ(version.substr(0, version.find('\n')), "Ostrakonix " OSTRAKONIX_VERSION);
    EXPECT_NE(run("--bogus").second, 0);

    // The manual page and the README's tables say what the key list says.
    const std::string readme = source("README.md");
    EXPECT_EQ(editor::readmeWithKeyTables(readme), readme)
        << "the README's key tables differ from the key list: build/tools/keydoc/keydoc readme README.md";
    const std::string page = editor::manPage("9.8.7");
    EXPECT_NE(page.find("\n.TH OSTRAKONIX 1 \"\" \"Ostrakonix 9.8.7\""), std::string::npos) << page;
    EXPECT_NE(page.find("\\fB\\-\\-script\\fR \\fISCRIPT\\fR"), std::string::npos);
    for (const editor::KeyHelpSection& section : editor::keyHelp())
        for (const editor::KeyHelp& key : section.keys)
            EXPECT_NE(page.find(key.english), std::string::npos) << key.english;
    EXPECT_NE(page.find("\\fBCtrl+\\e\\fR \\(em Position"), std::string::npos);
}
