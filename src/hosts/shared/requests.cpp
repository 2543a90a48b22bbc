#include "hosts/shared/requests.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "app/file_primitives.h"
#include "hosts/shared/menu_definition.h"
#include "input/entries.h"
#include "input/events.h"
#include "input/file_events.h"
#include "input/keys.h"
#include "input/panels.h"
#include "platform/platform.h"

namespace host {
namespace {

// The place of Backspace among the key codes; any other key is told by its character alone.
constexpr int64_t backspaceKeyCode = 51, anyKeyCode = 200;

void handOver(const std::string& path, int64_t request) {
    if (!path.empty()) f_FileEventHandler(path, request);
}

}  // namespace

int64_t commandLineRequest(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) == 0 || errno != ENOENT) return fileRequest::open;
    const std::string folder = f_PathDirectory(path);
    const bool folderExists = ::stat(folder.empty() ? "." : folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    return folderExists ? fileRequest::create : fileRequest::open;
}

void sendProgramKey(int window, int64_t value, uint64_t flags) {
    const int64_t code = value == key::backspace ? backspaceKeyCode : anyKeyCode;
    t_KeyHandler(static_cast<uint8_t>(window), code, std::string(1, static_cast<char>(value)), flags);
}

bool carryOutProgramCommand(int64_t tag, int window) {
    switch (tag) {
    case newMenuTag:
        sendProgramKey(window, key::controlX, modifier::control);
        return true;
    case aboutMenuTag:
        sendProgramKey(window, key::controlUUmlaut, modifier::control);
        return true;
    case saveMenuTag:
        sendProgramKey(window, key::controlS, modifier::control);
        return true;
    case undoMenuTag:
        sendProgramKey(window, key::backspace, modifier::option);
        return true;
    case redoMenuTag:
        sendProgramKey(window, key::backspace, modifier::option | modifier::shift);
        return true;
    // The items for ranges and the values view are their keys with Alt; "Löschen" is Delete
    // with Alt, which never deletes the byte at the cursor.
    case valuesMenuTag:
    case markMenuTag:
    case selectAllMenuTag:
    case cutMenuTag:
    case copyHexMenuTag:
    case copyTextMenuTag:
    case pasteMenuTag:
    case fillMenuTag: {
        static constexpr std::pair<int64_t, char> letters[] = {
            {markMenuTag, 'm'},     {selectAllMenuTag, 'a'}, {cutMenuTag, 'x'},  {copyHexMenuTag, 'c'},
            {copyTextMenuTag, 't'}, {pasteMenuTag, 'v'},     {fillMenuTag, 'f'}, {valuesMenuTag, 'w'}};
        for (auto [itemTag, letter] : letters)
            if (itemTag == tag) sendProgramKey(window, letter, modifier::option);
        return true;
    }
    case deleteMenuTag:
        sendProgramKey(window, key::controlG, modifier::option);
        return true;
    case openMenuTag: {
        const auto paths = f_OpenPanel("Datei öffnen", "", "", false, true, false);
        handOver(paths.empty() ? std::string() : paths.front(), fileRequest::open);
        return true;
    }
    case saveAsMenuTag:
        // The program asks where, with the panel, offering the name it holds.
        f_FileEventHandler("", fileRequest::saveAs);
        return true;
    default:
        return false;
    }
}

}  // namespace host
