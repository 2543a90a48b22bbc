// Why a file could not be read or written, in words of the screen, and where to save a buffer
// that has no file or whose file refused it: the host's save panel, or on a host without
// panels (the terminal) a field of the editor's own.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "app/file_primitives.h"
#include "app/utf8.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "files/fileio.h"
#include "input/dialog.h"
#include "input/keys.h"
#include "input/line_editor.h"
#include "input/panels.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"
#include "terminal/unicode.h"

namespace editor {
namespace {

const char* reason(int error, const std::string& path) {
    switch (error) {
    case EACCES:
    case EPERM:
        return texts::accessDenied;
    case EROFS:
        return texts::readOnly;
    case ENOSPC:
    case EDQUOT:
        return texts::noSpace;
    case EISDIR:
        return texts::isFolder;
    case ENOTSUP:
    case ENXIO:
    case ENODEV:
        return texts::notRegular;
    case ENOTDIR:
        return texts::folderNotFound;
    case ENOENT: {
        const std::string folder = f_PathDirectory(path);
        return kt::fileStatus(folder.empty() ? "." : folder) == 2 ? texts::fileNotFound : texts::folderNotFound;
    }
    default:
        return nullptr;
    }
}

// The field's text for a path: a character above 255 as the escape group that carries it
// there. Empty when the path can't come back from the field as it is (no UTF-8, or beyond
// what a group holds).
std::string fieldText(const std::string& path) {
    if (!kt::isValidUtf8(path)) return {};
    for (uint32_t c : kt::scalarsOf(path))
        if (c > 0xFFFF || c < 32) return {};
    return kt::latin1ToUtf8(Text::withGroups(path).Elements);
}

// Whether to write over a file that is there already, other than the buffer's own.
bool mayReplace(const std::string& path) {
    struct stat there {};
    struct stat own {};
    // A folder is refused by the save itself, with its reason.
    if (::stat(path.c_str(), &there) != 0 || S_ISDIR(there.st_mode)) return true;
    const State& s = state();
    if (!s.CurrentPath.empty() && ::stat(s.CurrentPath.c_str(), &own) == 0 && own.st_dev == there.st_dev &&
        own.st_ino == there.st_ino)
        return true;
    return askYesNo(texts::replaceTitle, texts::replaceQuestion, "", texts::replaceAnswers);
}

// The editor's own field: a box over the byte rows with the folder that names without one
// go to and the path, offered as it is when it fits, else by its name.
std::string saveUnderField(const std::string& current) {
    std::string folder = f_PathDirectory(current);
    if (folder.empty()) {
        char* cwd = ::getcwd(nullptr, 0);
        folder = cwd ? std::string(cwd) + "/" : "/";
        std::free(cwd);
    }
    // The box spans the screen; the field ends before its right side.
    constexpr int64_t left = 1, top = 11;
    const auto room = static_cast<size_t>(columns - 1 - (left + 2) - kt::scalarCount(texts::saveUnderPrompt));
    std::string shownFolder = texts::saveUnderFolder + folder;
    if (kt::scalarCount(shownFolder) > columns - 4) {
        const auto scalars = kt::scalarsOf(shownFolder);
        shownFolder = texts::saveUnderFolder + std::string("\u2026");
        for (size_t i = scalars.size() - (columns - 5 - kt::scalarCount(shownFolder)); i < scalars.size(); ++i)
            shownFolder += kt::utf8Of(scalars[i]);
    }
    std::string offered = fieldText(current.empty() ? folder : current);
    if (kt::scalarCount(offered) > room) offered = fieldText(f_PathName(current));
    if (kt::scalarCount(offered) > room) offered.clear();
    for (;;) {
        t_Dialog(window, texts::saveAsTitle, left, top, columns, top + 4);
        t_Print(window, " " + fontText(shownFolder));
        t_Vtab(window, top + 3);
        t_Htab(window, left + 2);
        t_Print(window, texts::saveUnderKeys);
        t_Vtab(window, top + 2);
        t_Htab(window, left + 2);
        const std::string entered =
            t_InputForm(window, texts::saveUnderPrompt, offered, false, 0, static_cast<int64_t>(room));
        t_FullArea(window);
        t_ClearRect(window, left, top, columns, top + 4);
        std::string path = Text::fromString(entered).toString();
        if (path.empty()) return {};
        if (path.rfind("~/", 0) == 0) path = f_HomeFolder() + path.substr(1);
        if (path[0] != '/') path = folder + path;
        if (mayReplace(path)) return path;
        offered = entered;
    }
}

}  // namespace

std::string fontText(const std::string& text) {
    // Control characters would act on the screen; the rest is converted as one text, so that
    // letters and their separate accents are joined and Æ, Ø, æ get the spellings the font has.
    std::string shown;
    kt::forEachScalar(text, [&](uint32_t c) { shown += c < 32 || c == 127 ? std::string("?") : kt::utf8Of(c); });
    return t_ConvertUniCode(shown).first;
}

std::string failureLine(int error, const std::string& path) {
    const char* words = reason(error, path);
    const std::string why = words ? words : texts::systemError + std::to_string(error);
    const std::string name = f_PathName(path);
    return why + (name.empty() ? "" : ": " + fontText(name));
}

bool savingElsewhereHelps(int error) {
    return error == EACCES || error == EPERM || error == EROFS || error == ENOENT || error == ENOTDIR;
}

bool askYesNo(const std::string& title, const std::string& line1, const std::string& line2,
              const std::string& answers) {
    t_Dialog(window, title, line1, line2, answers, "?");
    int64_t answer = -1;
    while (answer < 0) {
        const int64_t value = waitForKey();
        const int64_t upper = value >= 0 && value < 256 ? std::toupper(static_cast<int>(value)) : value;
        if (upper == 'J')
            answer = 1;
        else if (upper == 'N' || value == key::escape)
            answer = 0;
    }
    removeMessageBox();
    return answer == 1;
}

std::string askSavePath() {
    const std::string& current = state().CurrentPath;
    if (f_PanelsAvailable()) return f_SavePanelFromAnyThread(current, texts::saveAsTitle, "", "");
    const std::string path = saveUnderField(current);
    redraw(state().TopLine, state().Cursor, true);
    return path;
}

}  // namespace editor
