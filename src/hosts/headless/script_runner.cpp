#include "hosts/headless/script_runner.h"

#include <cctype>
#include <fstream>
#include <map>
#include <sstream>

#include "input/entries.h"
#include "input/mouse.h"
#include "input/keys.h"
#include "app/log.h"
#include "display/image.h"
#include "display/window.h"
#include "hosts/headless/png_writer.h"
#include "terminal/area.h"
#include "terminal/text.h"

namespace host {
namespace {

constexpr uint8_t scriptWindow = 0;

// Key codes of letters and digits by their place on the keyboard.
int64_t keyCodeOf(uint32_t c) {
    if (const int64_t at = c < 128 ? key::placeOf(static_cast<char>(c)) : -1; at >= 0) return at;
    if (c == ' ') return 49;
    return 200;  // no key of the table: the character alone decides
}

struct NamedKey {
    int64_t code;
    uint32_t character;
    uint64_t flags;
};

const std::map<std::string, NamedKey>& namedKeys() {
    using namespace modifier;
    static const std::map<std::string, NamedKey> keys = {
        {"Esc", {53, key::escape, 0}},
        {"Return", {36, key::returnKey, 0}},
        {"Tab", {48, key::tab, 0}},
        {"Backspace", {51, key::backspace, 0}},
        {"Left", {123, 0xF702, numericPad | function}},
        {"Right", {124, 0xF703, numericPad | function}},
        {"Up", {126, 0xF700, numericPad | function}},
        {"Down", {125, 0xF701, numericPad | function}},
        {"Home", {115, 0xF729, function}},
        {"End", {119, 0xF72B, function}},
        {"PageUp", {116, 0xF72C, function}},
        {"PageDown", {121, 0xF72D, function}},
        {"ForwardDelete", {117, 0xF728, function}},
        {"F1", {122, 0xF704, function}},
        {"F2", {120, 0xF705, function}},
        {"F3", {99, 0xF706, function}},
        {"F4", {118, 0xF707, function}},
        {"F5", {96, 0xF708, function}},
        {"F6", {97, 0xF709, function}},
        {"F7", {98, 0xF70A, function}},
        {"F8", {100, 0xF70B, function}},
        {"F9", {101, 0xF70C, function}},
        {"F10", {109, 0xF70D, function}},
        {"F11", {103, 0xF70E, function}},
        {"F12", {111, 0xF70F, function}},
    };
    return keys;
}

// Expected texts may name a character by its number as \u{8B}, for the graphic codes
// that have no printable form.
std::string unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, "\\u{") == 0) {
            size_t close = text.find('}', i + 3);
            if (close != std::string::npos && close > i + 3 && close - i <= 9) {
                try {
                    out += kt::utf8Of(static_cast<uint32_t>(std::stoul(text.substr(i + 3, close - i - 3), nullptr, 16)));
                    i = close;
                    continue;
                } catch (...) {
                }
            }
        }
        out += text[i];
    }
    return out;
}

std::string trimRight(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// The screen rows of window 0 as UTF-8 of their codes, trailing blanks removed.
std::vector<std::string> screenRows() {
    std::vector<std::string> rows;
    if (!kt::memoryReady() || !kt::windowRecord(scriptWindow).Initialized) return rows;
    const t_Window& w = kt::windowRecord(scriptWindow);
    const auto& memory = kt::display().memory;
    for (int64_t y = 0; y < w.TextHeight; ++y) {
        std::vector<uint8_t> codes(memory.begin() + w.TextMemoryStart + y * w.TextWidth,
                                   memory.begin() + w.TextMemoryStart + (y + 1) * w.TextWidth);
        rows.push_back(trimRight(kt::latin1ToUtf8(codes)));
    }
    return rows;
}

class Runner {
public:
    Runner(HeadlessHost& host, std::string path, std::FILE* out) : host_(host), path_(std::move(path)), out_(out) {}

    int run() {
        std::ifstream in(path_);
        if (!in) {
            std::fprintf(stderr, "%s: the script cannot be read\n", path_.c_str());
            return 2;
        }
        // The program shows its first screen before the script begins.
        if (!settle()) return 1;
        std::string line;
        while (std::getline(in, line)) {
            ++lineNumber_;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            size_t first = line.find_first_not_of(" \t");
            if (first == std::string::npos || line[first] == '#') continue;
            if (host_.programHasEnded() && !isCheck(line.substr(first))) break;
            int status = step(line.substr(first));
            if (status == 2) return 2;
            if (status == 1) failed_ = true;
        }
        return failed_ ? 1 : 0;
    }

private:
    static bool isCheck(const std::string& line) {
        return line.rfind("expect", 0) == 0 || line.rfind("screen", 0) == 0 || line.rfind("title", 0) == 0 ||
               line.rfind("png", 0) == 0 || line.rfind("clipboard", 0) == 0;
    }

    int scriptError(const std::string& what) {
        std::fprintf(stderr, "%s:%d: %s\n", path_.c_str(), lineNumber_, what.c_str());
        return 2;
    }

    int failure(const std::string& what) {
        std::fprintf(out_, "%s:%d: %s\n", path_.c_str(), lineNumber_, what.c_str());
        std::fflush(out_);
        return 1;
    }

    bool settle() {
        if (host_.waitUntilIdle()) return true;
        failure("the program did not become idle");
        return false;
    }

    // Delivers input on the main thread and waits until the program has dealt with it.
    int deliver(const std::function<void()>& fn) {
        host_.deliver(fn);
        return settle() ? 0 : 1;
    }

    int press(const KeyEvent& event) {
        return deliver([event] {
            viewKeyDown(scriptWindow, event);
            viewKeyUp(scriptWindow);
        });
    }

    int step(const std::string& line) {
        size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        if (command == "key") {
            KeyEvent event;
            if (!scriptKey(argument, event)) return scriptError("unknown key \"" + argument + "\"");
            // The menu bar takes its shortcuts before the window does.
            if (auto item = host_.menuShortcut(event))
                return deliver([&] { host_.chooseMenu(item->first, item->second); });
            return press(event);
        }
        if (command == "menu") {
            // MENU > ITEM, or the older MENU/ITEM.
            const size_t arrow = argument.find(" > ");
            const size_t slash = arrow == std::string::npos ? argument.find('/') : arrow;
            if (slash == std::string::npos) return scriptError("menu needs MENU > ITEM");
            const std::string menu = argument.substr(0, slash);
            const std::string item = argument.substr(slash + (arrow == std::string::npos ? 1 : 3));
            bool found = false;
            const bool enabled = host_.menuItemEnabled(menu, item);
            const int status = deliver([&] { found = host_.chooseMenu(menu, item); });
            if (!found) return scriptError("there is no menu item \"" + argument + "\"");
            return enabled ? status : failure("the menu item \"" + argument + "\" is greyed");
        }
        if (command == "clipboard") {
            // Without an argument the pasteboard's text is printed; with one it is expected.
            std::optional<std::string> text;
            host_.runOnMainSync([&] { text = host_.pasteboardText(); });
            const std::string wanted = unescape(argument);
            if (!argument.empty())
                return text == wanted ? 0
                                      : failure("the clipboard holds \"" + text.value_or("") + "\", expected \"" +
                                                wanted + "\"");
            std::fprintf(out_, "%s\n", text.value_or("").c_str());
            std::fflush(out_);
            return 0;
        }
        if (command == "drag") {
            // From one text cell to another with the button held: press, move, release.
            std::istringstream numbers(argument);
            int64_t fromColumn = 0, fromRow = 0, toColumn = 0, toRow = 0;
            if (!(numbers >> fromColumn >> fromRow >> toColumn >> toRow))
                return scriptError("drag needs two columns and rows");
            if (!kt::memoryReady() || !kt::windowRecord(scriptWindow).Initialized)
                return failure("there is no window to drag in");
            const MouseEvent from = kt::cellPoint(scriptWindow, fromColumn, fromRow), to = kt::cellPoint(scriptWindow, toColumn, toRow);
            return deliver([from, to] {
                viewMouseDown(scriptWindow, from, false);
                viewMouseDragged(scriptWindow, to);
                viewMouseUp(scriptWindow);
            });
        }
        if (command == "openpanel") {
            host_.prepareOpenPanel(argument.empty() ? std::vector<std::string>{} : std::vector<std::string>{argument});
            return 0;
        }
        if (command == "savepanel") {
            host_.prepareSavePanel(argument);
            return 0;
        }
        if (command == "wheel") {
            std::istringstream words(argument);
            std::string direction, count;
            words >> direction >> count;
            int64_t notches = 1;
            if (!count.empty()) {
                try {
                    notches = std::stoll(count);
                } catch (...) {
                    notches = 0;
                }
            }
            if ((direction != "up" && direction != "down") || notches < 1)
                return scriptError("wheel needs up or down and a number of notches");
            const int64_t lines = direction == "up" ? notches : -notches;
            return deliver([lines] { viewScrollWheel(scriptWindow, lines); });
        }
        if (command == "type") {
            for (uint32_t c : kt::scalarsOf(argument))
                if (press({keyCodeOf(c), kt::utf8Of(c), 0}) != 0) return 1;
            return 0;
        }
        if (command == "click") {
            std::istringstream numbers(argument);
            int64_t column = 0, row = 0;
            if (!(numbers >> column >> row)) return scriptError("click needs a column and a row");
            if (!kt::memoryReady() || !kt::windowRecord(scriptWindow).Initialized)
                return failure("there is no window to click in");
            const MouseEvent event = kt::cellPoint(scriptWindow, column, row);
            return deliver([event] {
                viewMouseDown(scriptWindow, event, false);
                viewMouseUp(scriptWindow);
            });
        }
        if (command == "open") return deliver([argument] { f_FileEventHandler(argument, 0); });
        if (command == "paste") {
            host_.runOnMainSync([&] { host_.pasteboardSetText(unescape(argument)); });
            return 0;
        }
        if (command == "wait") return settle() ? 0 : 1;
        if (command == "screen") {
            for (const auto& row : screenRows()) std::fprintf(out_, "%s\n", row.c_str());
            std::fflush(out_);
            return 0;
        }
        if (command == "title") {
            // Without an argument the title is printed; with one it is expected.
            const std::string title = host_.window(scriptWindow).title;
            if (!argument.empty())
                return title == argument ? 0 : failure("the title is \"" + title + "\", expected \"" + argument + "\"");
            std::fprintf(out_, "%s\n", title.c_str());
            std::fflush(out_);
            return 0;
        }
        if (command == "png") {
            if (argument.empty()) return scriptError("png needs a file name");
            auto image = t_WindowImage(scriptWindow);
            if (!image || !writePng(argument, *image)) return failure("cannot write the picture to " + argument);
            return 0;
        }
        if (command == "expect") {
            size_t blank = argument.find(' ');
            int row = 0;
            try {
                row = std::stoi(argument.substr(0, blank));
            } catch (...) {
                return scriptError("expect needs a row number");
            }
            if (row < 1 || row > 25) return scriptError("rows are 1 to 25");
            std::string wanted = trimRight(unescape(blank == std::string::npos ? "" : argument.substr(blank + 1)));
            auto rows = screenRows();
            std::string actual = static_cast<size_t>(row) <= rows.size() ? rows[row - 1] : "";
            if (actual != wanted)
                return failure("row " + std::to_string(row) + " is \"" + actual + "\", expected \"" + wanted + "\"");
            return 0;
        }
        return scriptError("unknown step \"" + command + "\"");
    }

    HeadlessHost& host_;
    std::string path_;
    std::FILE* out_;
    int lineNumber_ = 0;
    bool failed_ = false;
};

}  // namespace

namespace {

// A key without modifier prefixes.
bool plainKey(const std::string& name, KeyEvent& event) {
    auto& keys = namedKeys();
    if (auto found = keys.find(name); found != keys.end()) {
        event = {found->second.code, kt::utf8Of(found->second.character), found->second.flags};
        return true;
    }
    if (name.size() >= 2 && name[0] == '^') {
        auto scalars = kt::scalarsOf(name.substr(1));
        if (scalars.size() != 1) return false;
        uint32_t c = scalars[0];
        if (c == 0xD6 || c == 0xF6) {  // Ö: the key right of L
            event = {41, std::string(1, '\x1C'), modifier::control};
            return true;
        }
        if (c == 0xDC || c == 0xFC) {  // Ü: the key right of P
            event = {33, std::string(1, '\x1D'), modifier::control};
            return true;
        }
        if (c >= 'a' && c <= 'z') c -= 32;
        if (c < '@' || c > '_') return false;
        event = {keyCodeOf(c), std::string(1, static_cast<char>(c - 64)), modifier::control};
        return true;
    }
    if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos && name.size() <= 3) {
        int value = std::stoi(name);
        if (value > 255) return false;
        event = {200, kt::utf8Of(static_cast<uint32_t>(value)), 0};
        return true;
    }
    return false;
}

}  // namespace

bool scriptKey(const std::string& name, KeyEvent& event) {
    using namespace modifier;
    static const std::pair<std::string, uint64_t> prefixes[] = {
        {"Ctrl+", control}, {"Shift+", shift}, {"Alt+", option}, {"Cmd+", command}};
    uint64_t flags = 0;
    std::string rest = name;
    for (bool found = true; found;) {
        found = false;
        for (const auto& [prefix, flag] : prefixes)
            if (rest.size() > prefix.size() && rest.compare(0, prefix.size(), prefix) == 0) {
                rest.erase(0, prefix.size());
                flags |= flag;
                found = true;
            }
    }
    if (flags == 0) return plainKey(rest, event);
    if (auto named = namedKeys().find(rest); named != namedKeys().end()) {
        event = {named->second.code, kt::utf8Of(named->second.character), named->second.flags | flags};
        return true;
    }
    // A letter or a digit with modifiers; Control with a letter gives its control character.
    if (rest.size() != 1 || !std::isalnum(static_cast<unsigned char>(rest[0]))) return false;
    char c = rest[0];
    if (std::isalpha(static_cast<unsigned char>(c)))
        c = (flags & shift) ? char(std::toupper(c)) : char(std::tolower(c));
    const bool controlLetter = (flags & control) && std::isalpha(static_cast<unsigned char>(c));
    event = {keyCodeOf(static_cast<uint32_t>(c)), std::string(1, controlLetter ? char(std::toupper(c) - 64) : c),
             flags};
    return true;
}

int runScript(HeadlessHost& host, const std::string& path, std::FILE* out) { return Runner(host, path, out).run(); }

}  // namespace host
