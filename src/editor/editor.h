// The hex editor: one file as rows of sixteen bytes in graphic window 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "document/document.h"

namespace editor {

constexpr uint8_t window = 0;
constexpr int64_t columns = 80;
constexpr int64_t rows = 25;
constexpr const char* fontName = "DejaVuSansMono 16x32.font";

// Everything the editor keeps; touched by the program thread only.
struct State {
    // The file being edited: read on demand from the file, edited as pieces, with undo.
    document::Document Buffer;
    std::string CurrentPath;
    std::string CurrentName;
    bool Modified = false;
    int64_t InsertMode = 0;
    int64_t SearchMode = 0;
    int64_t HeaderRows = 7;
    bool MainMenuShown = true;
    std::vector<uint8_t> SearchText;
    std::vector<uint8_t> ChangeText;
    int64_t FoundPosition = -1;
    int64_t ChangedPosition = -1;
    uint64_t FoundChanges = 0;  // the buffer's count of changes when FoundPosition was found
    int64_t TopLine = 0;
    int64_t Cursor = 0;

    // The selection: the bytes from SelectionAnchor to the cursor, both included; −1 when
    // none stands (read it through selectionRange()). Made with the mark key (marked), the
    // cursor motions extend it; made with Shift or the mouse, a plain motion ends it.
    int64_t SelectionAnchor = -1;
    bool SelectionMarked = false;
    // The values view (Alt+W): the header's five menu rows show the values at the cursor.
    bool ValuesShown = false;
};

State& state();
// Back to the state of a fresh start (tests run the editor more than once).
void resetState();

// The main program: runs on the program thread and ends through t_QuitProgram.
void mainProgram();

// --- Screen ---------------------------------------------------------------------------
int64_t byteRows();  // 25 − HeaderRows
// The hexadecimal digits a position of this buffer takes: 8 below 4 GiB, more for larger files.
int positionDigits();
// The column of the high digit of byte k (0 to 15) of a byte row.
int64_t hexColumn(int64_t k);
std::pair<int64_t, int64_t> FitView(int64_t top, int64_t cursor);
std::pair<int64_t, int64_t> DrawScreen(int64_t top, int64_t cursor, bool force);
void DrawByte(int64_t top, int64_t cursor);
// The cursor's byte inverted (shown) or plain again; in insert mode with a bar before it.
void DrawCursor(int64_t top, int64_t cursor, bool shown);
void DrawHeader();
void DrawStatus(int64_t cursor);
void PrintMenuLine(const std::string& text);
// A search or change text as the header shows it: UTF-8 when it is, else byte by byte.
void printBytesAsText(const std::vector<uint8_t>& bytes);
void TitleScreen();
// Stores a redraw's result as the new TopLine and Cursor.
void redraw(int64_t top, int64_t cursor, bool force);

// --- Commands -------------------------------------------------------------------------
// Carries out key K; true when the editor is to end (a completed quit).
bool dispatch(int64_t key);
void alert();
// Shows a message box, waits for a key and removes the box.
void showMessage(const std::string& title, const std::string& line1, const std::string& line2);
// Removes a message box or question from the middle of the screen and gives back the whole area.
void removeMessageBox();
// Waits for one key as t_GetKey does and returns its value.
int64_t waitForKey();

void byteLeft();
void byteRight();
void lineUp();
void lineDown();
void scrollUp();
void scrollDown();
void pageUp();
void pageDown();
void fileStart();
void fileEnd();
void deleteByte();
void insertByte();
void typeCharacter(uint8_t code);
void hexEntry();
void toggleInsertMode();
void goToPosition();
void backspace();
void undoCommand();
void redoCommand();

void enterSearchText(bool change);
void nextSearchMode();
int64_t SearchNext(int64_t start);
int64_t ChangeFound(int64_t position);
// Forgets the found occurrence once the buffer's content has changed since it was found.
void forgetStaleFind();
void searchCommand();
void changeCommand();
void changeAndSearchCommand();
void changeAll();
// The bytes a text of hexadecimal digits stands for: pairs, in groups separated by blanks and
// line breaks, with "0x" allowed before the first. With oddGroups a group of an odd count
// reads as if a 0 stood before it. Nothing when the text is anything else.
std::optional<std::vector<uint8_t>> hexBytes(std::string_view text, bool oddGroups);

int64_t AskToSave(const std::string& title);
// Writes the buffer to its file: 0, or the error (logged).
int SaveFile();
// Reads the file into the buffer; a file that can't be read changes nothing and says why.
bool LoadFile(const std::string& path);
void CloseFile();
// Saves the buffer to path and binds it there (path, name, window title); only when the
// save succeeded, otherwise the failure is shown and nothing changes.
bool saveAs(const std::string& path);
// An empty buffer bound to path, for a file that does not exist yet: the first save makes it.
void newFileAt(const std::string& path);
// Takes the next file event: opens its file (asking to save first), saves to it, or starts
// a new file there, as its request says.
void fileEvent();
void saveCommand();
void closeCommand();
bool quitCommand();
void loadCommand();
std::string chooseWithBrowser();
std::string defaultWindowTitle();
// The window title for the buffer: its file's name (or the program's) and the insert mode.
void updateTitle();

// --- Why files fail and where they go (file_prompts.cpp) ----------------------------------
// A text as the font draws it: control characters as "?", others above 255 as the font's
// look-alikes.
std::string fontText(const std::string& text);
// The reason a read or write of path failed, in German, with the file's name.
std::string failureLine(int error, const std::string& path);
// Whether a save refused with this error may work elsewhere (rights, a missing folder).
bool savingElsewhereHelps(int error);
// A question answered with J (true), N or Escape (false).
bool askYesNo(const std::string& title, const std::string& line1, const std::string& line2, const std::string& answers);
// Where to save the buffer, asked with the host's save panel or, where the host has none,
// with the editor's own field; the current path is offered. Empty when cancelled.
std::string askSavePath();
// A file name as the window title shows it: control characters as visible symbols.
std::string shownName(const std::string& name);

// --- Selection and ranges of bytes ------------------------------------------------------
// The selected bytes, first and last (both included); nothing when no selection stands or it
// covers no byte. selectionBetween is the same for a selection from anchor to cursor.
std::optional<std::pair<int64_t, int64_t>> selectionRange();
std::optional<std::pair<int64_t, int64_t>> selectionBetween(int64_t anchor, int64_t cursor);
void endSelection();
// The letter of the last key when it was typed with Alt (and without Control), else 0: the
// letter itself, or the letter at the key's place where the host typed the character of the
// keyboard's option layer instead.
char altLetter();
// The selection's part of a key: carries out the commands of the selection and of ranges
// (true), or starts, extends or ends the selection as the key that follows does (false).
bool rangeKey(int64_t key);
// A click (with Shift: extending the selection) and a drag of the mouse to a position.
void clickAt(int64_t position, bool extend);
void dragTo(int64_t position);
// Greys the edit menu's items that cannot act now (only when that changed).
void publishEditMenu();
void markCommand();
void selectAll();
void cutCommand();
// Puts the selection on the clipboard as hexadecimal pairs or as text; false when it did not.
bool copyCommand(bool hex);
void pasteCommand();
void deleteSelection();
void fillCommand();

// The selection the byte rows show, as their last drawing left them.
const std::optional<std::pair<int64_t, int64_t>>& drawnSelection();
// Redraws the byte rows when, by the time it goes out of scope, they show another selection
// than the one that stands (a command that drew them itself is not drawn again).
class SelectionShown {
public:
    SelectionShown() = default;
    ~SelectionShown();
    SelectionShown(const SelectionShown&) = delete;
    SelectionShown& operator=(const SelectionShown&) = delete;
};

// Runs a long operation with its progress shown once it has taken half a second: a box with
// the title and how far it has come, removed when the work is done.
class ProgressBox {
public:
    explicit ProgressBox(std::string title);
    ~ProgressBox();
    // What the document engine calls as the work goes on.
    document::Progress callback();

private:
    void update(int64_t done, int64_t total);
    std::string title_;
    int64_t started_;
    int64_t lastShown_ = -1;
    bool shown_ = false;
};

}  // namespace editor
