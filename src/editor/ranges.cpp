// Selecting bytes, and the commands on a selected range: copy as hexadecimal digits or as
// text, cut, delete, paste and fill.
#include <algorithm>
#include <array>
#include <string_view>

#include "app/menu_items.h"
#include "app/startup.h"
#include "display/font_characters.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/keys.h"
#include "input/line_editor.h"
#include "platform/platform.h"
#include "terminal/area.h"
#include "terminal/cursor.h"

namespace editor {
namespace {

// More than this does not go to a clipboard: as hexadecimal text it is three times as much.
constexpr int64_t largestCopy = int64_t(64) << 20;

// The letter of a key typed with Alt: the letter itself, or, where the host types the
// character of the keyboard's option layer instead (above 127), the letter at the key's place.
char optionLetter(const t_Event& event) {
    const int64_t value = event.Value;
    if (value >= 'a' && value <= 'z') return static_cast<char>(value);
    if (value >= 'A' && value <= 'Z') return static_cast<char>(value + 32);
    if (value < 128 || event.Index < 0 || event.Index >= static_cast<int64_t>(key::places.size())) return 0;
    const char letter = key::places[static_cast<size_t>(event.Index)];
    return letter >= 'a' && letter <= 'z' ? letter : 0;
}

// The cursor motions: they extend a selection made with the mark key, and one made with Shift
// when Shift is held.
bool isMotion(int64_t value, const t_Event& event) {
    switch (value) {
    case key::controlB:
    case key::controlC:
    case key::controlE:
    case key::controlH:
    case key::controlJ:
    case key::controlK:
    case key::controlR:
    case key::controlU:
    case key::controlW:
    case key::controlY:
    case key::controlOUmlaut:
        return true;
    case key::backspace:
        return !event.OptionPressed && state().InsertMode == 0;
    default:
        return false;
    }
}

// Edits, undo and redo, and what replaces the buffer: the selected positions would no longer
// be the bytes selected.
bool endsSelection(int64_t value) {
    switch (value) {
    case key::controlA:
    case key::controlG:
    case key::controlI:
    case key::controlL:
    case key::controlM:
    case key::controlO:
    case key::controlQ:
    case key::controlX:
    case key::controlZ:
    case key::backspace:
        return true;
    default:
        return value >= key::space && value < key::backspace;
    }
}

void startSelection(bool marked) {
    State& s = state();
    if (s.SelectionAnchor >= 0) return;
    s.SelectionAnchor = s.Cursor;
    s.SelectionMarked = marked;
}

int64_t selectedLength(const std::pair<int64_t, int64_t>& range) { return range.second - range.first + 1; }

}  // namespace

char altLetter() {
    const t_Event event = t_LastEvent();
    return event.OptionPressed && !event.ControlPressed ? optionLetter(event) : 0;
}

std::optional<std::pair<int64_t, int64_t>> selectionBetween(int64_t anchor, int64_t cursor) {
    const int64_t size = state().Buffer.size();
    if (anchor < 0 || size == 0) return std::nullopt;
    const int64_t first = std::min(anchor, cursor), last = std::min(std::max(anchor, cursor), size - 1);
    if (first > last) return std::nullopt;
    return std::make_pair(first, last);
}

std::optional<std::pair<int64_t, int64_t>> selectionRange() {
    return selectionBetween(state().SelectionAnchor, state().Cursor);
}

void endSelection() {
    state().SelectionAnchor = -1;
    state().SelectionMarked = false;
}

SelectionShown::~SelectionShown() {
    if (selectionRange() != drawnSelection()) redraw(state().TopLine, state().Cursor, true);
}

bool rangeKey(int64_t value) {
    if (value < 0) return false;
    State& s = state();
    const t_Event event = t_LastEvent();
    switch (altLetter()) {
    case 'm':
        markCommand();
        return true;
    case 'a':
        selectAll();
        return true;
    case 'x':
        cutCommand();
        return true;
    case 'c':
        copyCommand(true);
        return true;
    case 't':
        copyCommand(false);
        return true;
    case 'v':
        pasteCommand();
        return true;
    case 'f':
        fillCommand();
        return true;
    default:
        break;
    }
    // Delete with a selection deletes it; with Alt (the menu's item) it never deletes a byte.
    if (value == key::controlG && (event.OptionPressed || selectionRange())) {
        deleteSelection();
        return true;
    }
    if (isMotion(value, event)) {
        if (event.ShiftPressed && event.CursorKeyPressed)
            startSelection(false);
        else if (!s.SelectionMarked)
            endSelection();
    } else if (endsSelection(value)) {
        endSelection();
    }
    return false;
}

void clickAt(int64_t position, bool extend) {
    State& s = state();
    if (extend)
        startSelection(false);
    else if (!s.SelectionMarked)
        endSelection();
    redraw(s.TopLine, position, true);
}

void dragTo(int64_t position) {
    State& s = state();
    if (FitView(s.TopLine, position).second == s.Cursor) return;
    startSelection(false);
    redraw(s.TopLine, position, true);
}

void publishEditMenu() {
    const State& s = state();
    const bool bytes = s.Buffer.size() > 0, selected = selectionRange().has_value();
    const std::array<bool, 10> now{bytes, bytes,    selected, selected,           selected,
                                   true,  selected, selected, s.Buffer.canUndo(), s.Buffer.canRedo()};
    static std::optional<std::array<bool, 10>> published;
    if (published == now) return;
    published = now;
    static constexpr const char* titles[] = {
        texts::markItem,  texts::selectAllItem, texts::cutItem,  texts::copyHexItem, texts::copyTextItem,
        texts::pasteItem, texts::deleteItem,    texts::fillItem, texts::undoItem,    texts::redoItem};
    std::vector<std::pair<std::string, bool>> items;
    for (size_t i = 0; i < now.size(); ++i) items.emplace_back(titles[i], now[i]);
    t_MenuItemsEnable(texts::editMenu, std::move(items));
}

void markCommand() {
    State& s = state();
    if (s.SelectionAnchor >= 0)
        endSelection();
    else if (s.Buffer.size() > 0)
        startSelection(true);
}

void selectAll() {
    State& s = state();
    if (s.Buffer.size() == 0) return;
    s.SelectionAnchor = 0;
    s.SelectionMarked = false;
    redraw(s.TopLine, s.Buffer.size() - 1, true);
}

bool copyCommand(bool hex) {
    State& s = state();
    const auto range = selectionRange();
    if (!range) return false;
    const int64_t length = selectedLength(*range);
    if (length > largestCopy) {
        showMessage(texts::tooLargeTitle, texts::tooLarge, texts::nothingCopied);
        redraw(s.TopLine, s.Cursor, true);
        return false;
    }
    std::string text;
    text.reserve(static_cast<size_t>(hex ? 3 * length : length));
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(length, 1 << 20)));
    for (int64_t done = 0; done < length;) {
        const int64_t n =
            s.Buffer.read(range->first + done, std::min<int64_t>(length - done, chunk.size()), chunk.data());
        if (n <= 0) break;
        for (int64_t i = 0; i < n; ++i) {
            const uint8_t b = chunk[static_cast<size_t>(i)];
            if (!hex) {  // a control byte shows as its letter
                text += kt::fontCharacter(b < 32 ? static_cast<uint8_t>(b + 64) : b);
                continue;
            }
            if (!text.empty()) text += ' ';
            text += static_cast<char>(t_HexDigits()[b >> 4]);
            text += static_cast<char>(t_HexDigits()[b & 15]);
        }
        done += n;
    }
    host::Host& h = host::host();
    h.runOnMainSync([&] {
        h.pasteboardClear();
        h.pasteboardSetText(text);
    });
    return true;
}

void cutCommand() {
    if (copyCommand(true)) deleteSelection();
}

void deleteSelection() {
    State& s = state();
    const auto range = selectionRange();
    if (!range) return;
    s.Buffer.erase(range->first, selectedLength(*range));
    s.Modified = true;
    endSelection();
    redraw(s.TopLine, range->first, true);
}

// Text that reads as hexadecimal pairs gives those bytes, any other text its own bytes: in
// insert mode inserted at the cursor, in overwrite mode written over the bytes from the
// cursor on (growing the file at its end), in place of the selection when one stands.
void pasteCommand() {
    State& s = state();
    std::optional<std::string> text;
    host::Host& h = host::host();
    h.runOnMainSync([&] { text = h.pasteboardText(); });
    if (!text || text->empty()) return;
    std::vector<uint8_t> bytes;
    if (auto pairs = hexBytes(*text, false))
        bytes = std::move(*pairs);
    else
        bytes.assign(text->begin(), text->end());
    const int64_t size = s.Buffer.size(), length = static_cast<int64_t>(bytes.size());
    int64_t at = std::clamp<int64_t>(s.Cursor, 0, size), replaced = 0;
    if (const auto range = selectionRange()) {
        at = range->first;
        replaced = selectedLength(*range);
    } else if (s.InsertMode == 0) {
        replaced = std::min(length, size - at);
    }
    s.Buffer.replace(at, replaced, bytes);
    s.Modified = true;
    endSelection();
    redraw(s.TopLine, at + length, true);
}

void fillCommand() {
    State& s = state();
    const auto range = selectionRange();
    if (!range) return;
    t_Dialog(window, texts::fillTitle, texts::fillPrompt, "", texts::fillAnswers, "?");
    // The field stands in the box's second line, after the mark.
    t_Vtab(window, 14);
    t_Htab(window, 17);
    const std::string entered = t_InputForm(window, "", "", false, 0, 48);
    removeMessageBox();
    if (!entered.empty()) {
        if (const auto pattern = hexBytes(entered, true)) {
            s.Buffer.fill(range->first, selectedLength(*range), *pattern);
            s.Modified = true;
        } else {
            showMessage(texts::badDigitTitle, texts::badFillDigit, texts::allowedDigits);
        }
    }
    redraw(s.TopLine, s.Cursor, true);
}

}  // namespace editor
