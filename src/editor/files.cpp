// Files: loading what the desktop or the browser asks for, saving, closing, quitting, and
// the question whether to save first.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "app/clock.h"
#include "app/log.h"
#include "app/program.h"
#include "app/utf8.h"
#include "display/placement.h"
#include "display/window.h"
#include "document/save.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "files/browser.h"
#include "files/fileio.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/file_events.h"
#include "input/keys.h"
#include "terminal/area.h"

namespace editor {
namespace {

// Where the last save that failed halfway kept the new content; empty when none did.
std::string keptAt;

// Tells why a save failed; when writing over the file failed halfway, also where the whole
// new content is (the log line has the full path).
void showSaveFailure(int error, const std::string& path) {
    if (keptAt.empty()) return showMessage(texts::saveFailedTitle, texts::saveFailed, failureLine(error, path));
    const bool beside = f_PathDirectory(keptAt) == f_PathDirectory(path);
    showMessage(texts::saveFailedTitle, failureLine(error, path),
                texts::newContentIn + fontText(beside ? f_PathName(keptAt) : keptAt));
}

// A file changed by another program since it was loaded: saving over it writes this
// buffer's view of it, which may mix the two. Only a yes saves.
bool mayOverwriteChangedFile() {
    const document::Document& buffer = state().Buffer;
    return (!buffer.changedOnDisk() && !buffer.readFailed()) ||
           askYesNo(texts::changedOnDiskTitle, texts::changedOnDisk1, texts::changedOnDisk2,
                    texts::changedOnDiskAnswers);
}

// Asks where to save the buffer and saves it there, until that worked or the user cancels.
bool saveWhereAsked() {
    for (std::string path = askSavePath(); !path.empty(); path = askSavePath())
        if (saveAs(path)) return true;
    return false;
}

// Saves and tells the user when that failed and why; true when the file is written. A
// buffer without a file, or whose file refused it, is saved where the user says.
bool saveAndReport() {
    State& s = state();
    if (s.CurrentPath.empty()) return saveWhereAsked();
    if (!mayOverwriteChangedFile()) return false;
    const int error = SaveFile();
    if (error == 0) return true;
    showSaveFailure(error, s.CurrentPath);
    // Writing over the file failed halfway: the buffer now reads from the rescue copy.
    if (!keptAt.empty()) return false;
    return savingElsewhereHelps(error) && saveWhereAsked();
}

void readFailed(int error, const std::string& path) {
    kt::logLine("gettextfromfile: Error #" + kt::fileErrorDescription(error, "read", path));
    showMessage(texts::readFailedTitle, texts::readFailed, failureLine(error, path));
}

// Whether path can be loaded, a regular file that opens for reading; if not, says why.
bool canLoad(const std::string& path) {
    int error = 0;
    const int fd = kt::openRegularFile(path, error);
    if (fd < 0) {
        readFailed(error, path);
        return false;
    }
    ::close(fd);
    return true;
}

// Loads a file that can be read, asking first whether to save the buffer; for one that
// can't, the buffer stays as it is, edits and all.
void loadChecked(const std::string& path) {
    if (!canLoad(path)) return;
    if (state().Modified && AskToSave(texts::loadTitle) == 0) return;
    LoadFile(path);
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
    if (shown_) removeMessageBox();
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
    // In the font's own glyphs; the mark keeps the box's icon whole beside the second line.
    t_Dialog(window, title_, fontText(texts::pleaseWait), std::to_string(percent) + texts::percentDone, "",
             fontText(texts::progressMark));
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
    removeMessageBox();
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

int SaveFile() {
    const int error = saveTo(state().CurrentPath);
    if (error == 0) state().Modified = false;
    return error;
}

bool LoadFile(const std::string& path) {
    State& s = state();
    int error = 0;
    // Only the file's size and identity are read here; its bytes when they are shown. A file
    // that can't be read (also one gone since it was looked at) leaves everything as it was.
    auto opened = document::Document::open(path, error);
    if (!opened) {
        readFailed(error, path);
        return false;
    }
    s.Buffer = std::move(*opened);
    s.CurrentName = f_PathName(path);
    s.CurrentPath = path;
    s.Modified = false;
    s.FoundPosition = -1;  // the occurrence was one of the other file
    updateTitle();
    return true;
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

std::string chooseWithBrowser() {
    const std::string path = f_CatBrowser(window, "", texts::loadTitle, "", 8, rows - 11, 80, 0);
    // A question or a message about the file comes over the editor's screen, not the browser's.
    if (!path.empty()) redraw(state().TopLine, state().Cursor, true);
    return path;
}

void updateTitle() {
    const State& s = state();
    const std::string name = s.CurrentName.empty() ? defaultWindowTitle() : shownName(s.CurrentName);
    t_WindowTitle(window, name + (s.InsertMode == 1 ? texts::insertModeTitle : ""));
}

namespace {

// The buffer belongs to path from now on: its name in the status line and the title.
void bindTo(const std::string& path) {
    State& s = state();
    s.CurrentPath = path;
    s.CurrentName = f_PathName(path);
    updateTitle();
}

}  // namespace

bool saveAs(const std::string& path) {
    // Written first and bound only then: a failed save leaves the buffer bound as it was.
    if (const int error = saveTo(path); error != 0) {
        showSaveFailure(error, path);
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
        // Without a path the user is asked where, with the current one offered.
        if (path.empty())
            saveWhereAsked();
        else
            saveAs(path);
    } else if (request.Index == fileRequest::create && !path.empty() && request.Value == 0) {
        // A new name whose file appeared meanwhile is loaded as any other.
        if (!s.Modified || AskToSave(texts::loadTitle) != 0) newFileAt(path);
    } else {
        if (path.empty()) path = chooseWithBrowser();
        if (!path.empty()) loadChecked(path);
    }
    redraw(s.TopLine, s.Cursor, true);
}

void loadCommand() {
    const std::string path = chooseWithBrowser();
    if (!path.empty()) loadChecked(path);
    redraw(state().TopLine, state().Cursor, true);
}

void saveCommand() {
    saveAndReport();
    redraw(state().TopLine, state().Cursor, true);
}

void closeCommand() {
    State& s = state();
    if (AskToSave(texts::closeTitle) != 0) {
        CloseFile();
        updateTitle();
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
    updateTitle();
    DrawStatus(s.Cursor);
    redraw(s.TopLine, s.Cursor, true);
    return true;
}

}  // namespace editor
