// Files: loading what the desktop or the browser asks for, saving, closing, quitting, and
// the question whether to save first.
#include <algorithm>
#include <cctype>
#include <cerrno>

#include "input/file_events.h"
#include "app/clock.h"
#include "app/log.h"
#include "app/program.h"
#include "app/utf8.h"
#include "display/window.h"
#include "document/save.h"
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

// Where the last save that failed halfway kept the new content; empty when none did.
std::string keptAt;

// The message of a failed save to path; when writing over the file failed halfway, it says
// where the whole new content is (the log line has the full path).
void showSaveFailure(const std::string& path) {
    const std::string where = keptAt.empty() ? f_PathName(path)
                              : f_PathDirectory(keptAt) == f_PathDirectory(path)
                                  ? texts::newContentIn + f_PathName(keptAt)
                                  : texts::newContentIn + keptAt;
    showMessage(texts::saveFailedTitle, texts::saveFailed, where);
}

void removeDialog() {
    t_FullArea(window);
    t_ClearRect(window, 18, 12, columns - 18, 16);
}

// A file changed by another program since it was loaded: saving over it writes this
// buffer's view of it, which may mix the two. Only a yes saves.
bool mayOverwriteChangedFile() {
    if (!state().Buffer.changedOnDisk() && !state().Buffer.readFailed()) return true;
    t_Dialog(window, texts::changedOnDiskTitle, texts::changedOnDisk1, texts::changedOnDisk2,
             texts::changedOnDiskAnswers, "?");
    int64_t answer = -1;
    while (answer < 0) {
        const int64_t value = waitForKey();
        const int64_t upper = value >= 0 && value < 256 ? std::toupper(static_cast<int>(value)) : value;
        if (upper == 'J')
            answer = 1;
        else if (upper == 'N' || value == key::escape)
            answer = 0;
    }
    removeDialog();
    return answer == 1;
}

// Saves and tells the user when that failed; true when the file is written.
bool saveAndReport() {
    State& s = state();
    if (s.CurrentPath.empty()) {
        SaveFile();  // logs the failure as every failed write does
        showMessage(texts::saveFailedTitle, texts::saveFailed, texts::noFileLoaded);
        return false;
    }
    if (!mayOverwriteChangedFile()) return false;
    SaveFile();
    if (s.Modified) {
        showSaveFailure(s.CurrentPath);
        return false;
    }
    return true;
}

}  // namespace

std::string defaultWindowTitle() { return ProgramName() + " " + ProgramNotice(); }

std::string shownName(const std::string& name) {
    std::string shown;
    kt::forEachScalar(name, [&](uint32_t c) {
        // The Unicode pictures of the control characters: U+2400 to U+241F, and U+2421 for DEL.
        shown += kt::utf8Of(c < 32 ? 0x2400 + c : c == 127 ? 0x2421 : c);
    });
    return shown;
}

ProgressBox::ProgressBox(std::string title) : title_(std::move(title)), started_(kt::milliseconds()) {}

ProgressBox::~ProgressBox() {
    if (shown_) removeDialog();
}

document::Progress ProgressBox::callback() {
    return [this](int64_t done, int64_t total) { update(done, total); };
}

void ProgressBox::update(int64_t done, int64_t total) {
    // Shown once the work has taken half a second, then at most ten times a second.
    const int64_t now = kt::milliseconds();
    if (now - started_ < 500 || (shown_ && now - lastShown_ < 100)) return;
    lastShown_ = now;
    shown_ = true;
    const int64_t percent = total > 0 ? std::clamp<int64_t>(done * 100 / total, 0, 100) : 0;
    t_Dialog(window, title_, texts::pleaseWait, std::to_string(percent) + texts::percentDone, "", "");
}

int64_t AskToSave(const std::string& title) {
    if (!state().Modified) return 1;
    t_Dialog(window, title, texts::saveQuestion, "", texts::saveAnswers, "?");
    int64_t answer = -1;
    while (answer < 0) {
        const int64_t value = waitForKey();
        const int64_t upper = value >= 0 && value < 256 ? std::toupper(static_cast<int>(value)) : value;
        if (upper == 'J' || value == key::returnKey || value == key::space)
            answer = 1;
        else if (upper == 'N')
            answer = 2;
        else if (upper == 'A' || value == key::escape)
            answer = 0;
    }
    removeDialog();
    // A save that fails cancels the command, so that nothing unsaved is dropped.
    if (answer == 1 && !saveAndReport()) return 0;
    return answer;
}

namespace {

// Saves the buffer to path: 0, or the error (logged, and where a save that failed halfway
// kept the new content is remembered for the message).
int saveTo(const std::string& path) {
    State& s = state();
    int error = ENOENT;
    SaveOutcome outcome;
    if (!path.empty()) {
        ProgressBox progress(texts::savingTitle);
        error = document::saveDocument(s.Buffer, path, progress.callback(), &outcome);
    }
    if (error != 0) kt::logLine("setbinarytofile: Error #" + kt::fileErrorDescription(error, "written", path));
    keptAt = outcome.keptAt;
    return error;
}

}  // namespace

void SaveFile() {
    if (saveTo(state().CurrentPath) == 0) state().Modified = false;
}

void LoadFile(const std::string& path) {
    State& s = state();
    int error = 0;
    // Only the file's size and identity are read here; its bytes when they are shown.
    if (auto opened = document::Document::open(path, error)) {
        s.Buffer = std::move(*opened);
    } else {
        s.Buffer = document::Document();
        kt::logLine("gettextfromfile: Error #" + kt::fileErrorDescription(error, "read", path));
    }
    s.CurrentName = f_PathName(path);
    // A file that could not be read is not bound to the editor: a later save must not
    // overwrite it with the empty buffer.
    s.CurrentPath = error == 0 ? path : std::string();
    s.Modified = false;
    s.FoundPosition = -1;  // the occurrence was one of the other file
    t_WindowTitle(window, shownName(s.CurrentName));
    if (error != 0) showMessage(texts::readFailedTitle, texts::readFailed, s.CurrentName);
}

void CloseFile() {
    State& s = state();
    s.ChangedPosition = -1;
    s.FoundPosition = -1;
    s.CurrentName.clear();
    s.CurrentPath.clear();
    s.Buffer = document::Document();
    s.Modified = false;
}

std::string chooseWithBrowser() { return f_CatBrowser(window, "", texts::loadTitle, "", 8, rows - 11, 80, 0); }

namespace {

// The buffer belongs to path from now on: its name in the status line and the title.
void bindTo(const std::string& path) {
    State& s = state();
    s.CurrentPath = path;
    s.CurrentName = f_PathName(path);
    t_WindowTitle(window, shownName(s.CurrentName));
}

}  // namespace

bool saveAs(const std::string& path) {
    // Written first and bound only then: a failed save leaves the buffer bound as it was.
    if (saveTo(path) != 0) {
        showSaveFailure(path);
        return false;
    }
    bindTo(path);
    state().Modified = false;
    return true;
}

void newFileAt(const std::string& path) {
    CloseFile();
    bindTo(path);
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
