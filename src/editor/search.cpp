// Search and replace: the search menu's texts and modes, finding, changing, changing all.
#include <optional>

#include "app/startup.h"
#include "document/search.h"
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

// The digits of a text with a "0" before an odd count; nothing (after the bad-digit
// message) when a character is no hexadecimal digit.
std::optional<std::vector<uint8_t>> hexBytes(const std::vector<uint8_t>& text, const char* badMessage) {
    for (uint8_t c : text)
        if (!isHexDigit(c)) {
            showMessage(texts::badDigitTitle, badMessage, texts::allowedDigits);
            return std::nullopt;
        }
    std::vector<uint8_t> digits;
    if (text.size() % 2 == 1) digits.push_back('0');
    digits.insert(digits.end(), text.begin(), text.end());
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(16 * t_HexValues()[digits[i]] + t_HexValues()[digits[i + 1]]));
    return bytes;
}

}  // namespace

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
    std::string entered = t_InputForm(window, "", kt::bytesAsText(text), false, 0, 65);
    if (!entered.empty()) text.assign(entered.begin(), entered.end());
    t_Vtab(window, row);
    t_Htab(window, 14);
    t_Print(window, Text(std::vector<uint8_t>(text.begin(), text.end())));
    t_ClearEndOfLine(window);
}

void nextSearchMode() { state().SearchMode = (state().SearchMode + 1) % 3; }

int64_t SearchNext(int64_t start) {
    State& s = state();
    const char* failure = s.FoundPosition == -1 ? texts::notFound : texts::noMoreFound;
    if (s.SearchText.empty()) return start;
    const int64_t from = start + 1 < 0 ? 0 : start + 1;
    int64_t found = -1;
    switch (s.SearchMode) {
    case 1: found = search::findExact(s.Buffer, s.SearchText, from); break;
    case 2: found = search::findFolded(s.Buffer, search::capitals(s.SearchText), from); break;
    default: {
        auto pattern = hexBytes(s.SearchText, texts::badSearchDigit);
        if (pattern) found = search::findExact(s.Buffer, *pattern, from);
        break;
    }
    }
    if (found >= 0) {
        s.FoundPosition = found;
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
    std::vector<uint8_t> replacement;
    size_t removed;
};

std::optional<Change> checkChange(int64_t position) {
    State& s = state();
    // Both texts are checked, each with its own message.
    auto searchBytes = hexBytes(s.SearchText, texts::badSearchDigit);
    auto changeBytes = hexBytes(s.ChangeText, texts::badChangeDigit);
    if (!searchBytes || !changeBytes) {
        s.ChangedPosition = -1;
        return std::nullopt;
    }
    const size_t n = searchBytes->size(), m = changeBytes->size();
    // The found bytes must still be there: an edit since the search may have shortened the
    // buffer under them.
    const bool stillThere = position >= 0 && static_cast<size_t>(position) + (s.InsertMode == 1 ? n : m) <=
                                                 s.Buffer.size();
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
    return Change{std::move(*changeBytes), s.InsertMode == 1 ? n : m};
}

}  // namespace

int64_t ChangeFound(int64_t position) {
    State& s = state();
    if (s.SearchText.empty() || s.SearchMode != 0) return position;
    auto change = checkChange(position);
    if (!change) return position;
    auto at = s.Buffer.begin() + static_cast<std::ptrdiff_t>(position);
    if (s.InsertMode == 1) {
        at = s.Buffer.erase(at, at + static_cast<std::ptrdiff_t>(change->removed));
        s.Buffer.insert(at, change->replacement.begin(), change->replacement.end());
    } else {
        std::copy(change->replacement.begin(), change->replacement.end(), at);
    }
    s.Modified = true;
    s.ChangedPosition = position;
    return position + static_cast<int64_t>(change->replacement.size()) - 1;
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
    int64_t p = s.Cursor;
    if (s.FoundPosition == -1) p = SearchNext(-1);
    // Once a change in hexadecimal has been accepted, every further round changes the next
    // occurrence after the bytes just written; that result is built in one pass instead of
    // one buffer move per occurrence.
    if (s.FoundPosition >= 0 && s.SearchMode == 0 && !s.SearchText.empty()) {
        auto change = checkChange(p);
        if (!change) {
            redraw(s.TopLine, p, true);
            return;
        }
        auto pattern = hexBytes(s.SearchText, texts::badSearchDigit);
        const std::vector<uint8_t>& replacement = change->replacement;
        const size_t n = change->removed;
        const auto& old = s.Buffer;
        kt::ByteArray result;
        result.reserve(old.size());
        size_t copied = 0;
        int64_t found = p, lastChange = -1;
        while (found >= 0) {
            result.insert(result.end(), old.begin() + static_cast<std::ptrdiff_t>(copied),
                          old.begin() + found);
            lastChange = static_cast<int64_t>(result.size());
            result.insert(result.end(), replacement.begin(), replacement.end());
            copied = static_cast<size_t>(found) + n;
            found = search::findExact(old, *pattern, static_cast<int64_t>(copied));
        }
        result.insert(result.end(), old.begin() + static_cast<std::ptrdiff_t>(copied), old.end());
        s.Buffer = std::move(result);
        s.Modified = true;
        s.ChangedPosition = lastChange;
        p = lastChange + static_cast<int64_t>(replacement.size()) - 1;
        s.FoundPosition = -1;
        showMessage(texts::searchEndedTitle, texts::noMoreFound, "");
        redraw(s.TopLine, p, true);
        return;
    }
    while (s.FoundPosition >= 0) {
        p = ChangeFound(p);
        if (s.ChangedPosition >= 0) p = SearchNext(p);
        if (s.FoundPosition < 0 || s.ChangedPosition < 0) break;
    }
    redraw(s.TopLine, p, true);
}

}  // namespace editor
