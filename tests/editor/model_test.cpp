// The real editor against a small reference model of its commands, driven by long random
// streams of keys on random small files. After every key the buffer, the cursor, the view
// and the rest of the editor's state must equal the model's, and every file on disk the
// bytes that the model saved into it.
//
// The model is written from what the commands are meant to do, not from the editor's code.
// It runs on a thread of its own so that it can be written as plain sequential code that
// waits for its next key where the editor waits (in a field, a message, the save question).
//
// OSTRAKONIX_MODEL_KEYS sets the number of keys (default 3000, 1000 a seed) and
// OSTRAKONIX_MODEL_SEED the first seed (default 1); a failure names its seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "editor/editor_driver.h"
#include "display/font_characters.h"

namespace {

using editor_driver::Bytes;
using editor_driver::contentOf;
using editor_driver::deliverToEditor;
using editor_driver::headless;
using editor_driver::Input;
using editor_driver::optionFlag;
using editor_driver::shiftFlag;
using editor_driver::startEditor;

// --- The reference model ------------------------------------------------------------------

// What the model waits for when it asks for its next input.
enum class Wait { Main, SearchField, ChangeField, HexField, PositionField, FillField, Message, Question, AnyKey };

// An entry of the undo or the redo list: the buffer to go back to, which state of it that
// is, and where undo and redo put the cursor.
struct Step {
    std::vector<uint8_t> buffer;
    uint64_t id;
    int64_t cursor;
};

struct Stop {};

struct ModelState {
    Bytes buffer;
    std::string path, name;
    bool modified = false;
    int64_t insertMode = 0, searchMode = 0, headerRows = 7;
    bool mainMenu = true, values = false;
    Bytes searchText, changeText;
    int64_t found = -1, changed = -1, top = 0, cursor = 0;
    std::map<std::string, Bytes> disk;  // what each file should hold
    std::string questionTitle;
    std::vector<Step> undo, redo;
    uint64_t id = 0, savedId = 0;  // the buffer's state now and when last loaded or saved
    // The selection from anchor to the cursor (−1: none), and the clipboard's text.
    int64_t anchor = -1;
    bool marked = false;
    std::optional<std::string> clipboard;
};

int hexDigit(int c) {
    static const char digits[] = "0123456789abcdef";
    const char* at = c > 0 && c < 128 ? std::strchr(digits, std::tolower(c)) : nullptr;
    return at ? static_cast<int>(at - digits) : -1;
}

// Codes 0 to 255 as UTF-8 and back (the texts that fields hand over).
Bytes utf8Of(const std::vector<uint8_t>& codes) {
    std::string text;
    for (uint8_t c : codes) text += kt::utf8Of(c);
    return Bytes(text.begin(), text.end());
}

std::vector<uint8_t> codesOf(const Bytes& utf8) {
    const auto scalars = kt::scalarsOf(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
    return std::vector<uint8_t>(scalars.begin(), scalars.end());
}

std::string hexText(uint64_t value, int digits) {
    std::string out;
    for (int i = digits - 1; i >= 0; --i) out += "0123456789ABCDEF"[(value >> (4 * i)) & 15];
    return out;
}

class Model {
public:
    explicit Model(ModelState initial) : s_(std::move(initial)) {
        thread_ = std::thread([this] {
            try {
                for (;;) mainLoopPass();
            } catch (const Stop&) {
            }
        });
        std::unique_lock lock(mutex_);
        signal_.wait(lock, [&] { return waiting_; });
    }
    ~Model() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        signal_.notify_all();
        thread_.join();
    }

    // Hands the model one input and returns once it waits for the next.
    void feed(const Input& input) {
        std::unique_lock lock(mutex_);
        mailbox_ = input;
        signal_.notify_all();
        signal_.wait(lock, [&] { return waiting_ && !mailbox_; });
    }
    // Read while the model waits.
    const ModelState& state() const { return s_; }
    Wait waitingFor() const { return wait_; }

private:
    Input next(Wait kind) {
        std::unique_lock lock(mutex_);
        wait_ = kind;
        waiting_ = true;
        signal_.notify_all();
        signal_.wait(lock, [&] { return mailbox_.has_value() || stopping_; });
        if (stopping_) throw Stop{};
        waiting_ = false;
        Input input = *mailbox_;
        mailbox_.reset();
        return input;
    }
    int64_t key(Wait kind) { return next(kind).key; }
    void message() { key(Wait::Message); }

    int64_t size() const { return static_cast<int64_t>(s_.buffer.size()); }
    int64_t rows() const { return 25 - s_.headerRows; }
    uint8_t& at(int64_t i) { return s_.buffer[static_cast<size_t>(i)]; }

    // The view's correction: the first line shown and the cursor for any wanted pair. In
    // insert mode the cursor may stand one past the last byte.
    std::pair<int64_t, int64_t> fit(int64_t top, int64_t cursor) const {
        const int64_t R = rows(), N = size();
        const int64_t lastLine = N == 0 ? 0 : (N - 1) / 16, greatestTop = lastLine - R + 1;
        int64_t t = std::max<int64_t>(std::min(top, greatestTop), 0);
        const bool insert = s_.insertMode == 1;
        const int64_t c = cursor < 0 ? 0 : insert ? std::min(cursor, N) : cursor;
        if ((t + R) * 16 - 1 < c) t = c / 16 - R + 1;
        if (c < N || N == 0 || insert) return {t < 0 ? 0 : c < 16 * t ? c / 16 : t, c};
        return {greatestTop < 0 ? 0 : greatestTop, N - 1};
    }
    void redraw(int64_t top, int64_t cursor) { std::tie(s_.top, s_.cursor) = fit(top, cursor); }
    void redraw() { redraw(s_.top, s_.cursor); }

    // A line-editor field of mode 0 at the given column, edited until Return or Escape. An
    // offered text goes with the first character typed, or stays for good with any other key
    // but the field's idle keys.
    std::vector<uint8_t> field(Wait kind, std::vector<uint8_t> f, int64_t max, int64_t column, bool offered = false) {
        if (static_cast<int64_t>(f.size()) > max) f.resize(static_cast<size_t>(max));
        auto p = static_cast<int64_t>(f.size());
        for (;;) {
            const int64_t k = key(kind);
            const bool character = k >= 32 && k != 127 && k <= 255;
            if (offered && character) f.clear(), p = 0;
            offered = offered && !character && (k == 0 || k == 31);
            const auto L = static_cast<int64_t>(f.size());
            auto it = [&](int64_t i) { return f.begin() + i; };
            if (character && column + L < 80 && L < max) f.insert(it(p++), static_cast<uint8_t>(k));
            switch (k) {
            case 127: if (p >= 1) f.erase(it(--p)); break;
            case 1: case 2: case 11: case 18: p = 0; break;
            case 3: case 5: case 6: case 10: p = L; break;
            case 4:
                if (p < L)
                    for (++p; p < L && f[static_cast<size_t>(p - 1)] != ' ';) ++p;
                break;
            case 7: if (p < L) f.erase(it(p)); break;
            case 8: --p; break;
            case 19:
                if (p >= 1)
                    for (--p; p >= 1 && f[static_cast<size_t>(p - 1)] != ' ';) --p;
                break;
            case 21: ++p; break;
            case 24: f.erase(f.begin(), it(std::clamp<int64_t>(p, 0, L))), p = 0; break;
            case 26: case 27: f.clear(), p = 0; break;
            }
            p = std::clamp<int64_t>(p, 0, static_cast<int64_t>(f.size()));
            if (k == 13 || k == 27) return f;
        }
    }
    std::vector<uint8_t> field(Wait kind, const std::string& shown, int64_t max, int64_t column, bool offered) {
        return field(kind, std::vector<uint8_t>(shown.begin(), shown.end()), max, column, offered);
    }

    // Hexadecimal digits up to the first character that is none.
    static int64_t hexNumber(const std::vector<uint8_t>& codes, bool lowSevenBits) {
        int64_t value = 0;
        for (uint8_t c : codes) {
            const int d = hexDigit(lowSevenBits ? c & 0x7F : c);
            if (d < 0) break;
            value = value * 16 + d;
        }
        return value;
    }

    void insertBlank(int64_t i) { s_.buffer.insert(s_.buffer.begin() + std::clamp<int64_t>(i, 0, size()), 32); }

    // --- The undo history: every command that edits is one step ---
    // A step of several edits (the hexadecimal entry, change all) is opened with its cursor.
    void beginStep(int64_t cursor) { stepCursor_ = cursor, stepEdited_ = false, stepOpen_ = true; }
    void endStep() { stepOpen_ = false; }
    // Called before each edit: the first of a step remembers the buffer and drops what could
    // be redone.
    void edited(int64_t cursor = 0) {
        ++changes_;
        if (stepOpen_ && stepEdited_) return;
        stepEdited_ = true;
        s_.undo.push_back({s_.buffer, s_.id, stepOpen_ ? stepCursor_ : cursor});
        s_.redo.clear();
        s_.id = nextId_++;
    }
    void undoOrRedo(bool undo) {
        auto& from = undo ? s_.undo : s_.redo;
        if (from.empty()) return;
        Step st = std::move(from.back());
        from.pop_back();
        ++changes_;
        (undo ? s_.redo : s_.undo).push_back({s_.buffer, s_.id, st.cursor});
        s_.buffer = std::move(st.buffer);
        s_.id = st.id;
        s_.modified = s_.id != s_.savedId;
        redraw(s_.top, st.cursor);
    }
    // A new buffer (loaded, closed) starts without history.
    void newHistory() {
        s_.undo.clear();
        s_.redo.clear();
        s_.id = s_.savedId = 0;
    }

    // --- Editing commands ---
    void hexEntry() {
        beginStep(s_.cursor);
        struct End {
            Model& m;
            ~End() { m.endStep(); }
        } end{*this};
        for (;;) {
            const bool inserting = s_.insertMode == 1 || s_.buffer.empty();  // the first byte, in either mode
            if (inserting) {
                edited();
                insertBlank(s_.cursor);
                redraw();
            }
            const int64_t column = 3 * ((s_.cursor - 16 * s_.top) % 16) + 11;
            const auto entered = field(Wait::HexField, hexText(at(s_.cursor), 2), 2, column, true);
            if (entered.empty()) {
                if (inserting) s_.modified = true;
                return;
            }
            s_.modified = true;
            edited();
            at(s_.cursor) = static_cast<uint8_t>(hexNumber(entered, true));
            redraw(s_.top, s_.cursor + 1);
        }
    }

    // Hexadecimal (after "0x" if wanted), "#" decimal, and after "+" or "-" from the cursor;
    // anything else is refused with a message. Too large a number is the largest position.
    static std::optional<int64_t> position(std::string text, int64_t cursor) {
        const size_t first = text.find_first_not_of(' ');
        text = first == std::string::npos ? "" : text.substr(first, text.find_last_not_of(' ') - first + 1);
        const char sign = !text.empty() && (text[0] == '+' || text[0] == '-') ? text[0] : 0;
        if (sign) text.erase(0, 1);
        const bool decimal = !text.empty() && text[0] == '#';
        if (decimal) text.erase(0, 1);
        if (!decimal && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
        if (text.empty()) return std::nullopt;
        const int64_t base = decimal ? 10 : 16, most = std::numeric_limits<int64_t>::max();
        int64_t value = 0;
        for (char c : text) {
            const int d = hexDigit(static_cast<unsigned char>(c));
            if (d < 0 || d >= base) return std::nullopt;
            value = value > (most - d) / base ? most : value * base + d;
        }
        if (sign == '+') return value > most - cursor ? most : cursor + value;
        return sign == '-' ? cursor - value : value;
    }

    void goToPosition() {
        if (s_.headerRows == 0) return;
        const auto entered = field(Wait::PositionField, hexText(static_cast<uint64_t>(s_.cursor), 8), 24, 33, true);
        if (entered.empty()) return;
        if (const auto p = position(std::string(entered.begin(), entered.end()), s_.cursor))
            redraw(s_.top, *p);
        else
            message();
    }

    // --- Search and change ---
    void enterText(bool change) {
        s_.mainMenu = false;
        if (s_.headerRows != 7) return;
        Bytes& text = change ? s_.changeText : s_.searchText;
        const auto entered = field(change ? Wait::ChangeField : Wait::SearchField, codesOf(text), 65, 14);
        if (!entered.empty()) text = utf8Of(entered);
    }

    // The bytes that hexadecimal digits stand for (a "0" before an odd count), after the
    // bad-digit message when a character is none.
    std::optional<Bytes> hexBytes(const Bytes& text) {
        if (std::any_of(text.begin(), text.end(), [](uint8_t c) { return hexDigit(c) < 0; })) {
            message();
            return std::nullopt;
        }
        Bytes digits(text.size() % 2, '0');
        digits.insert(digits.end(), text.begin(), text.end());
        Bytes out;
        for (size_t i = 0; i < digits.size(); i += 2)
            out.push_back(static_cast<uint8_t>(hexDigit(digits[i]) * 16 + hexDigit(digits[i + 1])));
        return out;
    }

    static uint8_t capital(uint8_t b) {
        return (b >= 96 && b <= 127) || (b >= 224 && b <= 228) || (b >= 231 && b <= 246) || (b >= 249 && b <= 252)
                   ? static_cast<uint8_t>(b - 32)
                   : b;
    }
    static uint8_t folded(uint8_t b) { return static_cast<uint8_t>(b < 32 ? b + 64 : b < 96 ? b : b - 32); }

    int64_t searchNext(int64_t start) {
        if (s_.searchText.empty()) return start;
        const bool alpha = s_.searchMode == 2;
        std::optional<Bytes> pattern = s_.searchMode == 0 ? hexBytes(s_.searchText) : Bytes{};
        for (uint8_t b : s_.searchText) {
            if (s_.searchMode == 1) pattern->push_back(b);
            if (alpha && b == 223) pattern->push_back('S');
            if (alpha) pattern->push_back(b == 223 ? 'S' : capital(b));
        }
        if (pattern) {
            const auto from = s_.buffer.begin() + std::min(start + 1, size());
            auto same = [&](uint8_t b, uint8_t q) { return (alpha ? folded(b) : b) == q; };
            const auto hit = std::search(from, s_.buffer.end(), pattern->begin(), pattern->end(), same);
            foundChanges_ = changes_;
            if (hit != s_.buffer.end()) return s_.found = hit - s_.buffer.begin();
        }
        s_.found = -1;
        message();
        return start;
    }

    // The found occurrence is forgotten once the content changed after it was found.
    void forgetStaleFind() {
        if (changes_ != foundChanges_) s_.found = -1;
    }

    int64_t changeFound(int64_t position) {
        // A refusal resets the changed position only once its message is gone.
        auto refuse = [&](bool withMessage) {
            if (withMessage) message();
            s_.changed = -1;
            return position;
        };
        if (s_.searchMode != 0) return refuse(true);  // changing works in Hex mode only
        if (s_.searchText.empty()) return position;
        const auto search = hexBytes(s_.searchText);
        const auto change = hexBytes(s_.changeText);
        if (!search || !change) return refuse(false);
        forgetStaleFind();
        const auto n = static_cast<int64_t>(search->size()), m = static_cast<int64_t>(change->size());
        const bool inserting = s_.insertMode == 1;
        // Refused also when the found bytes are no longer all there, or overwriting would change the length.
        if (s_.found != position || position + n > size() || (!inserting && n != m)) return refuse(true);
        edited(position);
        const auto from = s_.buffer.begin() + position;
        s_.buffer.insert(s_.buffer.erase(from, from + n), change->begin(), change->end());
        s_.modified = true;
        s_.changed = position;
        return position + m - 1;
    }
    int64_t changeAndFind(int64_t p) {
        p = changeFound(p);
        return s_.changed >= 0 ? searchNext(p) : p;
    }

    // All the changes are one step, with the cursor of undo on the first.
    void changeAll() {
        if (s_.searchMode != 0) changeFound(s_.cursor);  // only says that it changes nothing
        if (s_.searchMode != 0 || s_.searchText.empty()) return redraw();
        int64_t p = s_.found == -1 ? searchNext(-1) : s_.cursor;
        beginStep(p);
        while (s_.found >= 0) {
            p = changeAndFind(p);
            if (s_.changed < 0) break;
        }
        endStep();
        redraw(s_.top, p);
    }

    // --- Files ---
    // A buffer without a file asks where to save it: the panel, which no one answers here.
    bool save() {
        if (s_.path.empty()) return false;
        s_.disk[s_.path] = s_.buffer;
        s_.modified = false;
        s_.savedId = s_.id;
        return true;
    }

    int64_t askToSave(const std::string& title) {
        if (!s_.modified) return 1;
        s_.questionTitle = title;
        for (;;) {
            const int64_t k = key(Wait::Question);
            if (k == 'N' || k == 'n') return 2;
            if (k == 'A' || k == 'a' || k == 27) return 0;
            // A save that fails cancels the command, so that nothing unsaved is dropped.
            if (k == 'J' || k == 'j' || k == 13 || k == 32) return save() ? 1 : 0;
        }
    }

    void load(const std::string& path) {
        s_.name = path.substr(path.rfind('/') + 1);
        s_.buffer = s_.disk.at(path);
        s_.path = path;
        s_.modified = false;
        s_.found = -1;
        newHistory();
    }

    // --- Selections and ranges of bytes ---
    std::optional<std::pair<int64_t, int64_t>> selection() const {
        if (s_.anchor < 0 || s_.buffer.empty()) return std::nullopt;
        const int64_t first = std::min(s_.anchor, s_.cursor), last = std::min(std::max(s_.anchor, s_.cursor), size() - 1);
        return first > last ? std::nullopt : std::optional(std::make_pair(first, last));
    }
    void endSelection() { s_.anchor = -1, s_.marked = false; }
    void startSelection(bool marked) {
        if (s_.anchor < 0) s_.anchor = s_.cursor, s_.marked = marked;
    }

    // Hexadecimal pairs in groups between blanks and line breaks, "0x" before the first; a
    // group of an odd count with a 0 before it where that is allowed.
    static std::optional<Bytes> hexPairs(const std::string& text, bool oddGroups) {
        std::vector<std::string> groups(1);
        for (char c : text) c&& std::strchr(" \t\r\n", c) ? void(groups.emplace_back()) : void(groups.back() += c);
        std::erase(groups, "");
        if (!groups.empty() && (groups[0].rfind("0x", 0) == 0 || groups[0].rfind("0X", 0) == 0)) groups[0].erase(0, 2);
        Bytes out;
        for (std::string g : groups) {
            if (g.size() % 2 == 1 && !oddGroups) return std::nullopt;
            for (g.insert(0, g.size() % 2, '0'); !g.empty(); g.erase(0, 2)) {
                if (hexDigit(g[0]) < 0 || hexDigit(g[1]) < 0) return std::nullopt;
                out.push_back(static_cast<uint8_t>(16 * hexDigit(g[0]) + hexDigit(g[1])));
            }
        }
        return out.empty() ? std::nullopt : std::optional(out);
    }

    bool copy(bool hex) {
        const auto range = selection();
        if (!range) return false;
        std::string text;
        for (int64_t p = range->first; p <= range->second; ++p)  // a control byte shows as its letter
            text += hex ? (text.empty() ? "" : " ") + hexText(at(p), 2)
                        : std::string(kt::fontCharacter(static_cast<uint8_t>(at(p) < 32 ? at(p) + 64 : at(p))));
        s_.clipboard = text;
        return true;
    }
    void deleteSelection() {
        const auto range = selection();
        if (!range) return;
        edited(range->first);
        s_.buffer.erase(s_.buffer.begin() + range->first, s_.buffer.begin() + range->second + 1);
        s_.modified = true;
        endSelection();
        redraw(s_.top, range->first);
    }
    void paste() {
        if (!s_.clipboard || s_.clipboard->empty()) return;
        const auto pairs = hexPairs(*s_.clipboard, false);
        const Bytes bytes = pairs ? *pairs : Bytes(s_.clipboard->begin(), s_.clipboard->end());
        int64_t from = std::clamp<int64_t>(s_.cursor, 0, size()), replaced = 0;
        if (const auto range = selection())
            from = range->first, replaced = range->second - range->first + 1;
        else if (s_.insertMode == 0)
            replaced = std::min<int64_t>(static_cast<int64_t>(bytes.size()), size() - from);
        edited(from);
        s_.buffer.erase(s_.buffer.begin() + from, s_.buffer.begin() + from + replaced);
        s_.buffer.insert(s_.buffer.begin() + from, bytes.begin(), bytes.end());
        s_.modified = true;
        endSelection();
        redraw(s_.top, from + static_cast<int64_t>(bytes.size()));
    }
    void fill() {
        const auto range = selection();
        if (!range) return;
        const auto entered = field(Wait::FillField, std::vector<uint8_t>{}, 48, 17);
        const auto pattern = hexPairs(std::string(entered.begin(), entered.end()), true);
        if (!entered.empty() && !pattern) message();
        if (!pattern) return;
        edited(range->first);
        for (int64_t p = range->first; p <= range->second; ++p)
            at(p) = (*pattern)[static_cast<size_t>(p - range->first) % pattern->size()];
        s_.modified = true;
    }

    // The keys of selections and ranges; the other keys end or extend a selection.
    bool rangeKey(const Input& input) {
        const int64_t k = input.key;
        const bool option = input.flags & optionFlag;
        const char letter =
            k < 128 && std::isalpha(static_cast<int>(k)) ? static_cast<char>(std::tolower(static_cast<int>(k))) : 0;
        if (option && letter && std::strchr("maxctvf", letter)) {
            if (letter == 'm') s_.anchor >= 0 ? endSelection() : s_.buffer.empty() ? void() : startSelection(true);
            if (letter == 'a' && !s_.buffer.empty()) s_.anchor = 0, s_.marked = false, redraw(s_.top, size() - 1);
            if (letter == 'x' && copy(true)) deleteSelection();
            if (letter == 'c' || letter == 't') copy(letter == 'c');
            if (letter == 'v') paste();
            if (letter == 'f') fill();
            return true;
        }
        if (k == 7 && (option || selection())) {
            deleteSelection();
            return true;
        }
        static const std::set<int64_t> motions{2, 3, 5, 8, 10, 11, 18, 21, 23, 25, 28},
            cursorKeys{115, 116, 119, 121, 123, 124, 125, 126}, ending{1, 7, 9, 12, 13, 15, 17, 24, 26, 127};
        if (motions.count(k) || (k == 127 && !option && s_.insertMode == 0)) {
            if ((input.flags & shiftFlag) && cursorKeys.count(input.keyCode))
                startSelection(false);
            else if (!s_.marked)
                endSelection();
        } else if (ending.count(k) || (k >= 32 && k < 127)) {
            endSelection();
        }
        return false;
    }

    void mainLoopPass() {
        command();
        forgetStaleFind();
    }

    void command() {
        const Input input = next(Wait::Main);
        if (input.clipboard) {
            s_.clipboard = *input.clipboard;
            return;
        }
        if (input.file) {
            endSelection();
            // A file that can't be read changes nothing, and the user is told before any question.
            if (!s_.disk.count(*input.file)) message();
            else if (askToSave("Datei laden") != 0) load(*input.file);
            return redraw();
        }
        const int64_t k = input.key, R = rows(), N = size();
        // Alt+W: the values view, with the full header (the selection stays); the search menu's
        // keys switch it off.
        if ((k == 'w' || k == 'W') && (input.flags & optionFlag)) {
            if (s_.headerRows == 7) return void(s_.values = !s_.values);
            s_.headerRows = 7, s_.values = true;
            return redraw();
        }
        if (rangeKey(input)) return;
        if (k == 127) {  // Backspace: with Alt undo, with Shift and Alt redo; alone back one byte
            if (input.flags & optionFlag) return undoOrRedo(!(input.flags & shiftFlag));
            if (s_.insertMode == 0) return k == 127 && s_.cursor >= 1 ? redraw(s_.top, s_.cursor - 1) : void();
            if (s_.cursor < 1 || s_.cursor > N) return;
            edited(s_.cursor - 1);
            s_.buffer.erase(s_.buffer.begin() + s_.cursor - 1);
            s_.modified = true;
            return redraw(s_.top, s_.cursor - 1);
        }
        if (s_.values && s_.headerRows == 7 && (k == 4 || k == 20 || k == 6)) {
            s_.values = false;
            if (k == 6) s_.mainMenu = true;
        }
        switch (k) {
        case 1: changeAll(); break;
        case 2: redraw(0, 0); break;
        case 3: redraw(s_.top + R, s_.cursor + 16 * R); break;
        case 4: enterText(false); break;
        case 5: redraw(0, N - 1); break;
        case 6: s_.mainMenu = !s_.mainMenu; break;
        case 7:
        case 9:
            if (k == 7 && s_.cursor >= N) break;
            edited(s_.cursor);
            k == 7 ? void(s_.buffer.erase(s_.buffer.begin() + s_.cursor)) : insertBlank(s_.cursor);
            s_.modified = true;
            redraw();
            break;
        case 8: if (s_.cursor >= 1) redraw(s_.top, s_.cursor - 1); break;
        case 10: if (s_.cursor + 16 < N) redraw(s_.top, s_.cursor + 16); break;
        case 11: if (s_.cursor >= 16) redraw(s_.top, s_.cursor - 16); break;
        case 13: hexEntry(); break;
        case 14: redraw(s_.top, searchNext(s_.cursor)); break;
        case 15: redraw(s_.top, changeFound(s_.cursor)); break;
        case 16: s_.searchMode = (s_.searchMode + 1) % 3; break;
        case 17:
            if (askToSave("Ostrakonix beenden") != 0) ADD_FAILURE() << "the model test must not quit";
            redraw();
            break;
        case 18: redraw(s_.top - R, s_.cursor - 16 * R); break;
        case 19: save(), redraw(); break;
        case 20: enterText(true); break;
        case 21: if (s_.cursor < N) redraw(s_.top, s_.cursor + 1); break;
        case 22: s_.insertMode = 1 - s_.insertMode, redraw(); break;
        case 23: {
            const bool lastRow = s_.cursor / 16 - s_.top == R - 1;
            redraw(s_.top - 1, s_.top == 0 || lastRow ? s_.cursor - 16 : s_.cursor);
            break;
        }
        case 24:
            if (askToSave("Datei schließen") != 0) {
                s_.changed = s_.found = -1;
                s_.name = s_.path = "";
                s_.buffer.clear();
                s_.modified = false;
                newHistory();
            }
            redraw();
            break;
        case 25: {
            const int64_t greatestTop = (N == 0 ? 0 : (N - 1) / 16) - R + 1;
            const bool shift = s_.cursor / 16 == s_.top || s_.top == greatestTop;
            redraw(s_.top + 1, shift ? s_.cursor + 16 : s_.cursor);
            break;
        }
        case 26: redraw(s_.top, changeAndFind(s_.cursor)); break;
        case 27:
            s_.headerRows = s_.headerRows == 7 ? 2 : s_.headerRows == 2 ? 1 : s_.headerRows == 1 ? 0 : 7;
            redraw();
            break;
        case 28: goToPosition(); break;
        case 29: key(Wait::AnyKey), redraw(); break;
        default: {  // typing a character; in an empty buffer it makes the first byte
            if (k < 32 || k > 126) break;
            s_.modified = true;
            const int64_t p = std::clamp<int64_t>(s_.cursor, 0, N);
            edited(p);
            if (s_.insertMode == 1 || N == 0)
                s_.buffer.insert(s_.buffer.begin() + p, static_cast<uint8_t>(k));
            else
                at(p) = static_cast<uint8_t>(k);
            redraw(s_.top, s_.cursor + 1);
        }
        }
    }

    ModelState s_;
    bool stepOpen_ = false, stepEdited_ = false;
    int64_t stepCursor_ = 0;
    uint64_t nextId_ = 1;
    uint64_t changes_ = 0, foundChanges_ = 0;  // changes of the content, and their count at the last find
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable signal_;
    std::optional<Input> mailbox_;
    bool waiting_ = false, stopping_ = false;
    Wait wait_ = Wait::Main;
};

// --- The real editor ----------------------------------------------------------------------

std::string describe(const Bytes& bytes) {
    std::ostringstream out;
    out << bytes.size() << " bytes:";
    for (size_t i = 0; i < bytes.size() && i < 64; ++i) out << ' ' << hexText(bytes[i], 2);
    if (bytes.size() > 64) out << " …";
    return out.str();
}

// Every difference between the editor and the model, one a line.
std::string differences(const ModelState& m) {
    editor::State& e = editor::state();
    std::ostringstream out;
    auto compare = [&](const std::string& what, const auto& real, const auto& model) {
        if (!(real == model)) out << "  " << what << ": editor " << real << ", model " << model << "\n";
    };
    auto compareBytes = [&](const std::string& what, const Bytes& real, const Bytes& model) {
        if (real != model)
            out << "  " << what << ":\n    editor " << describe(real) << "\n    model  " << describe(model) << "\n";
    };
    compareBytes("Buffer", contentOf(e.Buffer), m.buffer);
    compare("Cursor", e.Cursor, m.cursor);
    compare("TopLine", e.TopLine, m.top);
    compare("Modified", e.Modified, m.modified);
    compare("CurrentPath", e.CurrentPath, m.path);
    compare("CurrentName", e.CurrentName, m.name);
    compare("InsertMode", e.InsertMode, m.insertMode);
    compare("SearchMode", e.SearchMode, m.searchMode);
    compare("HeaderRows", e.HeaderRows, m.headerRows);
    compare("MainMenuShown", e.MainMenuShown, m.mainMenu);
    compare("FoundPosition", e.FoundPosition, m.found);
    compare("ChangedPosition", e.ChangedPosition, m.changed);
    compareBytes("SearchText", e.SearchText, m.searchText);
    compareBytes("ChangeText", e.ChangeText, m.changeText);
    compare("SelectionAnchor", e.SelectionAnchor, m.anchor);
    compare("SelectionMarked", e.SelectionMarked, m.marked);
    std::optional<std::string> clipboard;
    headless().runOnMainSync([&] { clipboard = headless().pasteboardText(); });
    compare("clipboard", clipboard.value_or("(none)"), m.clipboard.value_or("(none)"));
    compare("checkInvariants()", e.Buffer.checkInvariants(), std::string());
    for (const auto& [path, bytes] : m.disk)
        compareBytes("file " + path + " (on disk)", testing_support::readFile(path), bytes);
    return out.str();
}

// --- Random keys ----------------------------------------------------------------------------

class KeyStream {
public:
    KeyStream(uint64_t seed, std::vector<std::string> paths) : random_(seed), paths_(std::move(paths)) {}

    Input next(const Model& model) {
        const ModelState& s = model.state();
        const Wait wait = model.waitingFor();
        // A field that has just opened (also the next one of the hexadecimal entry) gets a
        // plan of keys; most keys follow it, a few are noise.
        const bool fieldOpened = wait != lastWait_ || lastKey_ == 13 || lastKey_ == 27;
        if (fieldOpened) plan_.clear();
        if (fieldOpened && wait >= Wait::SearchField && wait <= Wait::FillField) makePlan(wait, s);
        lastWait_ = wait;
        Input input = chosen(wait, s);
        lastKey_ = input.file ? -1 : input.key;
        return input;
    }

private:
    Input chosen(Wait wait, const ModelState& s) {
        if (!plan_.empty() && chance(90)) {
            const int64_t k = plan_.front();
            plan_.pop_front();
            return {k, {}};
        }
        // Only the first five answers keep the editor running after the quit question.
        static const int64_t answers[] = {'A', 'a', 27, 'x', 9, 'J', 'j', 'N', 'n', 13, 32};
        switch (wait) {
        case Wait::Main: return mainKey(s);
        case Wait::Message:
        case Wait::AnyKey: return {pick(0, 255), {}};
        case Wait::Question: return {answers[pick(0, s.questionTitle == "Ostrakonix beenden" ? 4 : 10)], {}};
        default: return {fieldKey(), {}};
        }
    }

    int64_t pick(int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random_); }
    bool chance(int percent) { return pick(0, 99) < percent; }
    char hexKey(bool withBad = false) { return "0123456789abcdefABCDEFgz"[pick(0, withBad ? 23 : 21)]; }

    int64_t fieldKey() {
        const int64_t r = pick(0, 99);
        static const int64_t editing[] = {1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 18, 19, 21, 24, 26, 0, 31};
        if (r < 35) return hexKey();
        if (r < 53) return r < 50 ? pick(32, 126) : pick(128, 255);
        if (r < 83) return r < 65 ? 127 : r < 78 ? 13 : 27;
        return editing[pick(0, 16)];
    }

    // Field contents that find something: digits or bytes of the buffer.
    void makePlan(Wait wait, const ModelState& s) {
        const Bytes& b = s.buffer;
        const auto anyIndex = [&] { return static_cast<size_t>(pick(0, std::max<int64_t>(b.size(), 1) - 1)); };
        std::string text;
        if (wait == Wait::HexField) {
            if (chance(25)) {
                plan_ = {chance(50) ? 27 : 26, 13};
                return;
            }
            // The offered digits go with the first one typed, or are taken back first.
            plan_ = chance(50) ? std::deque<int64_t>{127, 127, hexKey(true)} : std::deque<int64_t>{hexKey(true)};
            if (chance(70)) plan_.push_back(hexKey());
            plan_.push_back(13);
            return;
        } else if (wait == Wait::FillField) {
            const int64_t r = pick(0, 99);
            text = r < 10 ? "" : r < 15 ? "4G" : r < 35 ? std::string(1, hexKey()) : "0x" + hexText(pick(0, 0xFFFF), 4);
            if (r >= 60) text = hexText(pick(0, 255), 2) + " " + std::string(1, hexKey());
        } else if (wait == Wait::PositionField) {
            // Hexadecimal (also after "0x"), "#" decimal, or a distance from the cursor.
            const int64_t target = pick(0, static_cast<int64_t>(b.size()) + 40), form = pick(0, 9);
            auto hex = [](int64_t n) {
                std::string digits = hexText(static_cast<uint64_t>(n), 8);
                return digits.erase(0, std::min<size_t>(digits.find_first_not_of('0'), 7));
            };
            const int64_t distance = std::abs(target - s.cursor);
            if (form < 4) text = (form == 0 ? "0x" : "") + hex(target);
            if (form == 4 || form == 5) text = "#" + std::to_string(target);
            if (form > 5)
                text = (target < s.cursor ? "-" : "+") + (form > 7 ? "#" + std::to_string(distance) : hex(distance));
            if (chance(10)) text += "x1";
            if (chance(50)) {  // typed over the offered position
                for (unsigned char c : text) plan_.push_back(c);
                plan_.push_back(13);
                return;
            }
        } else if (chance(10)) {  // the search or change field left at once
            plan_.push_back(chance(50) ? 27 : 13);
            return;
        } else if (s.searchMode == 0 || wait == Wait::ChangeField) {
            for (int64_t i = pick(1, 3); i > 0; --i) {
                const size_t from = anyIndex();
                text += hexText(b.empty() || chance(20) ? static_cast<uint8_t>(pick(0, 255)) : b[from], 2);
            }
            if (chance(15)) text.erase(0, 1);  // an odd count of digits
            if (chance(5)) text += "G";        // a bad digit
            if (chance(30)) for (auto& c : text) c = static_cast<char>(std::tolower(c));
            if (wait == Wait::ChangeField && chance(10)) text.clear();
        } else if (!b.empty()) {
            const size_t length = static_cast<size_t>(pick(1, 3)), start = anyIndex();
            for (size_t i = start; i < b.size() && i < start + length; ++i) {
                uint8_t c = b[i];
                if (c < 32 || c == 127) c = static_cast<uint8_t>(pick(33, 126));  // no editing keys
                if (s.searchMode == 2 && chance(50)) c = static_cast<uint8_t>(std::toupper(c));
                text += static_cast<char>(c);
            }
        }
        if (text.empty() && wait == Wait::SearchField) text = "41";
        plan_.push_back(26);
        for (unsigned char c : text) plan_.push_back(c);
        plan_.push_back(13);
    }

    // The keys of selections and ranges, and text put on the clipboard.
    Input rangeInput(const ModelState& s) {
        static const std::pair<int64_t, int64_t> shiftMotions[] = {{8, 123}, {21, 124}, {11, 126}, {10, 125},
                                                                   {2, 115}, {5, 119},  {18, 116}, {3, 121}};
        const int64_t r = pick(0, 99);
        if (r < 30) {
            const auto [key, code] = shiftMotions[pick(0, 7)];
            return {key, {}, shiftFlag, code};
        }
        if (r < 88) return {"mmmmaxcctvvvfff" [(r - 30) / 4], {}, optionFlag};
        if (r < 91) return {7, {}, optionFlag};
        // Hexadecimal pairs (now and then an odd count), or the text of some bytes of the buffer.
        std::string text = chance(20) ? "0x" : chance(50) ? "" : "\u00E4";
        for (int64_t i = pick(1, 4); i > 0; --i) text += hexText(pick(0, 255), 2) + (chance(70) ? " " : "\n");
        if (chance(20)) text = text.substr(1) + std::string(s.buffer.begin(), s.buffer.begin() + std::min<size_t>(s.buffer.size(), 5));
        return {0, {}, 0, 200, text};
    }

    Input mainKey(const ModelState& s) {
        if (chance(14)) return rangeInput(s);
        // Below each bound (in thousandths) after the motions and the typed characters, the key.
        static const std::pair<int64_t, int64_t> commands[] = {
            {490, 7},  {550, 9},  {580, 22}, {630, 13}, {670, 4},  {700, 20}, {730, 16}, {790, 14}, {820, 15},
            {845, 26}, {865, 1},  {885, 27}, {900, 6},  {920, 28}, {935, 19}, {942, 24}, {945, 29}};
        static const int64_t motions[] = {8, 21, 11, 10, 23, 25, 18, 3, 2, 5};
        static const int64_t idle[] = {0, 30, 31, 128, 200, 255};
        const int64_t r = pick(0, 999);
        if (r < 280) return {motions[pick(0, 9)], {}};
        if (r < 420) return {pick(32, 127), {}};
        for (const auto& [below, key] : commands)
            if (r < below) return {key, {}};
        if (r < 952) return {chance(50) ? 'w' : 'W', {}, optionFlag};  // Alt+W, the values view
        if (r < 968) return {127, {}, optionFlag};              // undo
        if (r < 978) return {127, {}, optionFlag | shiftFlag};  // redo
        if (r < 987) return {0, paths_[static_cast<size_t>(pick(0, static_cast<int64_t>(paths_.size()) - 1))]};
        if (r < 992 && s.modified) return {17, {}};
        return {idle[pick(0, 5)], {}};
    }

    std::mt19937_64 random_;
    std::vector<std::string> paths_;
    std::deque<int64_t> plan_;
    Wait lastWait_ = Wait::Main;
    int64_t lastKey_ = -1;
};

// One seed: fresh files, the editor and the model from the start, then `keys` inputs.
// Returns false after reporting the first difference.
bool runSeed(uint64_t seed, int64_t keys) {
    std::mt19937_64 random(seed * 7919 + 17);
    auto pick = [&](int64_t low, int64_t high) { return std::uniform_int_distribution<int64_t>(low, high)(random); };
    testing_support::TempFolder folder;
    ModelState initial;
    std::vector<std::string> paths;
    for (const char* name : {"a.bin", "b.bin"}) {
        // Small files over a small alphabet, so that searches find something; now and then
        // an empty file or one of whole lines.
        const int64_t shape = pick(0, 9);
        Bytes bytes(static_cast<size_t>(shape == 0 ? 0 : shape == 1 ? 16 * pick(1, 30) : pick(1, 600)));
        static const uint8_t alphabet[] = {'A', 'B', 'a', 'b', 0x01, 0x02, ' ', 0xE4, 0xC4, 0xDF, 0x41, 0x42};
        for (auto& b : bytes) {
            const auto r = pick(0, 15);
            b = r < 12 ? alphabet[r] : static_cast<uint8_t>(pick(0, 255));
        }
        paths.push_back(folder.file(name));
        testing_support::writeFile(paths.back(), bytes);
        initial.disk[paths.back()] = bytes;
    }
    paths.push_back(folder.file("missing.bin"));

    editor::resetState();  // the editor waits in its main loop
    headless().runOnMainSync([&] { initial.clipboard = headless().pasteboardText(); });
    Model model(initial);
    KeyStream stream(seed, paths);
    std::deque<std::string> history;
    auto step = [&](const Input& input) {
        const std::string what = input.file ? "open " + input.file->substr(input.file->rfind('/') + 1)
                                 : input.clipboard ? "clipboard " + *input.clipboard
                                                   : "key " + std::to_string(input.key) + " + " + std::to_string(input.flags);
        history.push_back(what + " (waiting for " + std::to_string(int(model.waitingFor())) + ")");
        if (history.size() > 40) history.pop_front();
        model.feed(input);
        if (!deliverToEditor(input)) {
            ADD_FAILURE() << "seed " << seed << ": the editor did not become idle";
            return false;
        }
        const std::string diff = differences(model.state());
        if (diff.empty()) return true;
        std::ostringstream report;
        report << "seed " << seed << " (repeat with OSTRAKONIX_MODEL_SEED=" << seed
               << " OSTRAKONIX_MODEL_KEYS=" << keys << "), after " << history.size() << " recent inputs:\n";
        for (const auto& h : history) report << "    " << h << "\n";
        report << diff;
        ADD_FAILURE() << report.str();
        return false;
    };

    if (!step({0, paths[0]})) return false;
    for (int64_t i = 0; i < keys; ++i)
        if (!step(stream.next(model))) return false;
    // Back to the main loop: Escape ends every field, message and question.
    for (int guard = 0; model.waitingFor() != Wait::Main && guard < 1000; ++guard)
        if (!step({27, {}})) return false;
    // Saved at the end, the file holds what the model holds.
    return model.state().path.empty() || step({19, {}});
}

TEST(EditorModel, RandomKeysDoWhatTheModelDoes) {
    startEditor();
    const int64_t total = testing_support::environmentNumber("OSTRAKONIX_MODEL_KEYS", 3000);
    const auto first = static_cast<uint64_t>(testing_support::environmentNumber("OSTRAKONIX_MODEL_SEED", 1));
    const int64_t perSeed = std::min<int64_t>(total, 1000);
    int64_t done = 0;
    for (uint64_t seed = first; done < total; ++seed) {
        const int64_t keys = std::min(perSeed, total - done);
        if (!runSeed(seed, keys)) break;
        done += keys;
    }
    std::printf("model test: %lld keys on seeds from %llu\n", static_cast<long long>(done),
                static_cast<unsigned long long>(first));
}

}  // namespace
