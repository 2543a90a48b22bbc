// Files: loading what the desktop or the browser asks for, saving, closing, quitting, and
// the question whether to save first.
#include <cctype>

#include "input/file_events.h"
#include "app/program.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "files/browser.h"
#include "files/fileio.h"
#include "display/placement.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/keys.h"
#include "terminal/area.h"

namespace editor {
namespace {

void removeDialog() {
    t_FullArea(window);
    t_ClearRect(window, 18, 12, columns - 18, 16);
}

// Saves and tells the user when that failed; true when the file is written.
bool saveAndReport() {
    State& s = state();
    if (s.CurrentPath.empty()) {
        SaveFile();  // logs the failure as every failed write does
        showMessage(texts::saveFailedTitle, texts::saveFailed, texts::noFileLoaded);
        return false;
    }
    SaveFile();
    if (s.Modified) {
        showMessage(texts::saveFailedTitle, texts::saveFailed, s.CurrentName);
        return false;
    }
    return true;
}

}  // namespace

std::string defaultWindowTitle() { return ProgramName() + " " + ProgramNotice(); }

int64_t AskToSave(const std::string& title) {
    if (!state().Modified) return 1;
    t_Dialog(window, title, texts::saveQuestion, "", texts::saveAnswers, "?");
    int64_t answer = -1;
    while (answer < 0) {
        const int64_t value = waitForKey();
        const int64_t upper = value >= 0 && value < 256 ? std::toupper(static_cast<int>(value)) : value;
        if (upper == 'J' || value == key::returnKey || value == key::space) answer = 1;
        else if (upper == 'N') answer = 2;
        else if (upper == 'A' || value == key::escape) answer = 0;
    }
    removeDialog();
    // A save that fails cancels the command, so that nothing unsaved is dropped.
    if (answer == 1 && !saveAndReport()) return 0;
    return answer;
}

void SaveFile() {
    State& s = state();
    if (setbinarytofile(s.CurrentPath, s.Buffer) == 0) s.Modified = false;
}

void LoadFile(const std::string& path) {
    State& s = state();
    int error = 0;
    s.Buffer = gettextfromfile(path, error);
    s.CurrentName = f_PathName(path);
    // A file that could not be read is not bound to the editor: a later save must not
    // overwrite it with the empty buffer.
    s.CurrentPath = error == 0 ? path : std::string();
    s.Modified = false;
    t_WindowTitle(window, s.CurrentName);
    if (error != 0) showMessage(texts::readFailedTitle, texts::readFailed, s.CurrentName);
}

void CloseFile() {
    State& s = state();
    s.ChangedPosition = -1;
    s.CurrentName.clear();
    s.CurrentPath.clear();
    s.Buffer.clear();
    s.Buffer.shrink_to_fit();
    s.Modified = false;
}

std::string chooseWithBrowser() { return f_CatBrowser(window, "", texts::loadTitle, "", 8, rows - 11, 80, 0); }

bool saveAs(const std::string& path) {
    State& s = state();
    // Written first and bound only then: a failed save leaves the buffer bound as it was.
    if (setbinarytofile(path, s.Buffer) != 0) {
        showMessage(texts::saveFailedTitle, texts::saveFailed, f_PathName(path));
        return false;
    }
    s.CurrentPath = path;
    s.CurrentName = f_PathName(path);
    s.Modified = false;
    t_WindowTitle(window, s.CurrentName);
    return true;
}

void newFileAt(const std::string& path) {
    CloseFile();
    State& s = state();
    s.CurrentPath = path;
    s.CurrentName = f_PathName(path);
    t_WindowTitle(window, s.CurrentName);
}

void fileEvent() {
    State& s = state();
    std::string path = t_GetFileEvent();
    const t_Event request = t_LastFileEvent();
    if (request.Index == fileRequest::saveAs) {
        if (!path.empty()) saveAs(path);
        redraw(s.TopLine, s.Cursor, true);
        return;
    }
    if (s.Modified && AskToSave(texts::loadTitle) == 0) {
        redraw(s.TopLine, s.Cursor, true);
        return;
    }
    // A new name whose file appeared meanwhile is loaded as any other.
    if (request.Index == fileRequest::create && !path.empty() && request.Value == 0) {
        newFileAt(path);
    } else {
        if (path.empty()) path = chooseWithBrowser();
        if (!path.empty()) LoadFile(path);
    }
    redraw(s.TopLine, s.Cursor, true);
}

void loadCommand() {
    State& s = state();
    if (s.Modified && AskToSave(texts::loadTitle) == 0) {
        redraw(s.TopLine, s.Cursor, true);
        return;
    }
    std::string path = chooseWithBrowser();
    if (!path.empty()) LoadFile(path);
    redraw(s.TopLine, s.Cursor, true);
}

void saveCommand() {
    saveAndReport();
    redraw(state().TopLine, state().Cursor, true);
}

void closeCommand() {
    State& s = state();
    if (AskToSave(texts::closeTitle) != 0) {
        CloseFile();
        t_WindowTitle(window, defaultWindowTitle());
        DrawStatus(s.Cursor);
    }
    redraw(s.TopLine, s.Cursor, true);
}

bool quitCommand() {
    State& s = state();
    if (AskToSave(texts::quitTitle) == 0) {
        redraw(s.TopLine, s.Cursor, true);
        return false;
    }
    CloseFile();
    t_WindowTitle(window, defaultWindowTitle());
    DrawStatus(s.Cursor);
    redraw(s.TopLine, s.Cursor, true);
    return true;
}

}  // namespace editor
