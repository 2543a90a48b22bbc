// Search and replace: the search menu's texts and modes, finding, changing, changing all.
#include <algorithm>
#include <optional>

#include "app/startup.h"
#include "document/search_algorithms.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "input/line_editor.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

namespace editor {
namespace search = ::document::search;
namespace {

bool isHexDigit(uint8_t c) { return t_HexValues()[c] >= 0; }

// The digits of a search or change text with a "0" before an odd count; nothing (after the
// bad-digit message) when a character is no hexadecimal digit.
std::optional<std::vector<uint8_t>> typedDigits(const std::vector<uint8_t>& text, const char* badMessage) {
    for (uint8_t c : text)
        if (!isHexDigit(c)) {
            showMessage(texts::badDigitTitle, badMessage, texts::allowedDigits);
            return std::nullopt;
        }
    if (text.empty()) return std::vector<uint8_t>{};
    return hexBytes(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), true);
}

}  // namespace

std::optional<std::vector<uint8_t>> hexBytes(std::string_view text, bool oddGroups) {
    constexpr std::string_view blanks = " \t\r\n";
    size_t at = text.find_first_not_of(blanks);
    if (at != std::string_view::npos && (text.substr(at, 2) == "0x" || text.substr(at, 2) == "0X")) at += 2;
    std::vector<uint8_t> bytes;
    while ((at = text.find_first_not_of(blanks, at)) != std::string_view::npos) {
        const size_t end = std::min(text.find_first_of(blanks, at), text.size());
        const std::string_view group = text.substr(at, end - at);
        if (group.size() % 2 == 1 && !oddGroups) return std::nullopt;
        int high = group.size() % 2 == 1 ? 0 : -1;  // the first digit of a pair, waiting for the second
        for (const char c : group) {
            const int digit = t_HexValues()[static_cast<unsigned char>(c)];
            if (digit < 0) return std::nullopt;
            if (high < 0) {
                high = digit;
            } else {
                bytes.push_back(static_cast<uint8_t>(16 * high + digit));
                high = -1;
            }
        }
        at = end;
    }
    if (bytes.empty()) return std::nullopt;
    return bytes;
}


void enterSearchText(bool change) {
    State& s = state();
    if (s.MainMenuShown) {
        s.MainMenuShown = false;
        DrawHeader();
        DrawStatus(s.Cursor);
    }
    if (s.HeaderRows != 7) return;
    std::vector<uint8_t>& text = change ? s.ChangeText : s.SearchText;
    const int64_t row = change ? 3 : 2;
    t_Vtab(window, row);
    t_Htab(window, 14);
    const std::string entered = t_InputForm(window, "", kt::bytesAsText(text), false, 0, 65);
    // A character the font has no code for comes back as its escape group; the text holds
    // the character itself, in UTF-8.
    const std::string typed = Text::fromString(entered).toString();
    if (!typed.empty()) text.assign(typed.begin(), typed.end());
    t_Vtab(window, row);
    t_Htab(window, 14);
    printBytesAsText(text);
    t_ClearEndOfLine(window);
}

void nextSearchMode() { state().SearchMode = (state().SearchMode + 1) % 3; }

int64_t SearchNext(int64_t start) {
    State& s = state();
    const char* failure = s.FoundPosition == -1 ? texts::notFound : texts::noMoreFound;
    if (s.SearchText.empty()) return start;
    const int64_t from = start + 1 < 0 ? 0 : start + 1;
    int64_t found = -1;
    {
        ProgressBox progress(texts::searchingTitle);
        switch (s.SearchMode) {
        case 1: found = s.Buffer.findExact(s.SearchText, from, progress.callback()); break;
        case 2: found = s.Buffer.findFolded(search::capitals(s.SearchText), from, progress.callback()); break;
        default: {
            auto pattern = typedDigits(s.SearchText, texts::badSearchDigit);
            if (pattern) found = s.Buffer.findExact(*pattern, from, progress.callback());
            break;
        }
        }
    }
    if (found >= 0) {
        s.FoundPosition = found;
        s.FoundChanges = s.Buffer.changes();
        return found;
    }
    s.FoundPosition = -1;
    showMessage(texts::searchEndedTitle, failure, "");
    return start;
}

namespace {

// What a change at `position` would write, or nothing (after its message) when it is
// refused.
struct Change {
    std::vector<uint8_t> pattern;
    std::vector<uint8_t> replacement;
};

std::optional<Change> checkChange(int64_t position) {
    State& s = state();
    forgetStaleFind();
    // Both texts are checked, each with its own message.
    auto searchBytes = typedDigits(s.SearchText, texts::badSearchDigit);
    auto changeBytes = typedDigits(s.ChangeText, texts::badChangeDigit);
    if (!searchBytes || !changeBytes) {
        s.ChangedPosition = -1;
        return std::nullopt;
    }
    const auto n = static_cast<int64_t>(searchBytes->size()), m = static_cast<int64_t>(changeBytes->size());
    // The found bytes must still be there: an edit since the search may have shortened the
    // buffer under them. Overwriting with a text of another length is refused for that, not
    // for the cursor, also at the end of the file.
    const bool stillThere = position >= 0 && position + n <= s.Buffer.size();
    if (s.FoundPosition != position || !stillThere) {
        showMessage(texts::changeErrorTitle, texts::cursorMoved, texts::changeOnlyAfterSearch);
        s.ChangedPosition = -1;
        return std::nullopt;
    }
    if (s.InsertMode == 0 && n != m) {
        showMessage(texts::changeErrorTitle, texts::lengthsDiffer1, texts::lengthsDiffer2);
        s.ChangedPosition = -1;
        return std::nullopt;
    }
    return Change{std::move(*searchBytes), std::move(*changeBytes)};
}

// Changing works on hexadecimal texts only: in the other modes the user is told so, and the
// change counts as refused.
bool changeModeRefused() {
    State& s = state();
    if (s.SearchMode == 0) return false;
    showMessage(texts::changeErrorTitle, texts::changeOnlyHex, texts::changeModeHint);
    s.ChangedPosition = -1;
    return true;
}

}  // namespace

int64_t ChangeFound(int64_t position) {
    State& s = state();
    if (changeModeRefused() || s.SearchText.empty()) return position;
    auto change = checkChange(position);
    if (!change) return position;
    s.Buffer.replace(position, static_cast<int64_t>(change->pattern.size()), change->replacement);
    s.Modified = true;
    s.ChangedPosition = position;
    return position + static_cast<int64_t>(change->replacement.size()) - 1;
}

void forgetStaleFind() {
    State& s = state();
    if (s.FoundPosition >= 0 && s.Buffer.changes() != s.FoundChanges) s.FoundPosition = -1;
}

void searchCommand() { redraw(state().TopLine, SearchNext(state().Cursor), true); }

void changeCommand() { redraw(state().TopLine, ChangeFound(state().Cursor), true); }

void changeAndSearchCommand() {
    int64_t position = ChangeFound(state().Cursor);
    if (state().ChangedPosition >= 0) position = SearchNext(position);
    redraw(state().TopLine, position, true);
}

void changeAll() {
    State& s = state();
    // With nothing to search for there is nothing to change: only the redraw.
    if (changeModeRefused() || s.SearchText.empty()) return redraw(s.TopLine, s.Cursor, true);
    int64_t p = s.Cursor;
    if (s.FoundPosition == -1) p = SearchNext(-1);
    if (s.FoundPosition < 0) return redraw(s.TopLine, p, true);
    // Once the change at the occurrence found is accepted, every further round changes the
    // next occurrence after the bytes just written: the document makes all of it in one pass,
    // as one step of the undo history.
    auto change = checkChange(p);
    if (!change) return redraw(s.TopLine, p, true);
    document::ChangeAllResult result;
    {
        ProgressBox progress(texts::changingAllTitle);
        result = s.Buffer.changeAll(p, change->pattern, change->replacement, s.InsertMode == 1, p, progress.callback());
    }
    if (result.tooMany) {
        showMessage(texts::changingAllTitle, texts::tooManyOccurrences, texts::nothingChanged);
        return redraw(s.TopLine, p, true);
    }
    s.Modified = true;
    s.ChangedPosition = result.lastChange;
    p = result.lastChange + static_cast<int64_t>(change->replacement.size()) - 1;
    s.FoundPosition = -1;
    showMessage(texts::searchEndedTitle, texts::noMoreFound, "");
    redraw(s.TopLine, p, true);
}

}  // namespace editor
