// The hex editor: one file as rows of sixteen bytes in graphic window 0.
#pragma once

#include <cstdint>
#include <string>
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
    int64_t TopLine = 0;
    int64_t Cursor = 0;

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
void searchCommand();
void changeCommand();
void changeAndSearchCommand();
void changeAll();

int64_t AskToSave(const std::string& title);
void SaveFile();
void LoadFile(const std::string& path);
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
// A file name as the window title shows it: control characters as visible symbols.
std::string shownName(const std::string& name);

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
