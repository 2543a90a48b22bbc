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
    // The items that are the program's keys. The items for ranges and the values view are
    // their keys with Alt; "Löschen" is Delete with Alt, which never deletes the byte at the
    // cursor.
    struct ItemKey {
        int64_t tag, value;
        uint64_t flags;
    };
    static constexpr ItemKey itemKeys[] = {
        {newMenuTag, key::controlX, modifier::control},
        {aboutMenuTag, key::controlUUmlaut, modifier::control},
        {saveMenuTag, key::controlS, modifier::control},
        {undoMenuTag, key::backspace, modifier::option},
        {redoMenuTag, key::backspace, modifier::option | modifier::shift},
        {markMenuTag, 'm', modifier::option},
        {selectAllMenuTag, 'a', modifier::option},
        {cutMenuTag, 'x', modifier::option},
        {copyHexMenuTag, 'c', modifier::option},
        {copyTextMenuTag, 't', modifier::option},
        {pasteMenuTag, 'v', modifier::option},
        {fillMenuTag, 'f', modifier::option},
        {valuesMenuTag, 'w', modifier::option},
        {deleteMenuTag, key::controlG, modifier::option}};
    for (const ItemKey& item : itemKeys)
        if (item.tag == tag) {
            sendProgramKey(window, item.value, item.flags);
            return true;
        }
    switch (tag) {
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
