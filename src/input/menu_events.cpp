#include "input/menu_events.h"

#include <optional>

#include "app/clock.h"
#include "app/log.h"
#include "app/threads.h"
#include "display/image.h"
#include "display/window.h"
#include "app/file_primitives.h"
#include "platform/platform.h"
#include "display/placement.h"
#include "input/events.h"
#include "input/entries.h"
#include "input/menu_actions.h"
#include "input/panels.h"
#include "terminal/area.h"
#include "terminal/text.h"

namespace {

host::Host& h() { return host::host(); }

void alert() { h().playAlert(); }

void show(uint8_t window) { t_WindowFront(window); }
void hide(uint8_t window) { t_WindowVisible(window, false); }

// The window that has the focus; 255 when none has.
uint8_t mainWindow() { return t_MainWindowNumber(); }

bool isGraphic(uint8_t window) { return window < kt::graphicWindowCount; }

bool hasTextScreen(uint8_t window) {
    if (!isGraphic(window) || !kt::memoryReady()) return false;
    const t_Window& w = kt::windowRecord(window);
    return w.Initialized && w.TextMemoryStart >= 0;
}

const char* nilMessage(uint8_t window) {
    return window == 9 ? "t_MenuEventHandler: Virtual printer window is nil, resource undefined."
                       : "t_MenuEventHandler: System console window is nil, resource undefined.";
}

// A side window's text view, or the failure: its message and the alert.
bool sideTextView(uint8_t window) {
    if (h().hasTextView(window)) return true;
    kt::logLine(nilMessage(window));
    alert();
    return false;
}

void copyPicture() {
    const uint8_t window = mainWindow();
    std::optional<host::Image> picture;
    if (isGraphic(window) && kt::hostWindowExists(window)) picture = t_WindowImage(window);
    if (!picture) {
        alert();
        return;
    }
    h().pasteboardClear();
    h().pasteboardSetImage(*picture);
}

void copyText() {
    const uint8_t window = mainWindow();
    if (window == 9 || window == 10) {
        if (!sideTextView(window)) return;
        const std::string text = h().textViewText(window);
        h().pasteboardClear();
        h().pasteboardSetText(text);
        return;
    }
    // A graphic window without a text screen has nothing to copy; the pasteboard keeps what
    // it holds rather than being emptied.
    if (!hasTextScreen(window)) {
        alert();
        return;
    }
    const std::string text = t_ScreenTextForPasteboard(t_GetScreen(window, "\r"));
    h().pasteboardClear();
    h().pasteboardSetText(text);
}

void clearSideWindow(uint8_t window) {
    if (!sideTextView(window)) return;
    (window == 9 ? kt::printerBuffer() : kt::consoleBuffer()).clear();
    h().setTextViewText(window, "");
}

void showOrHideGraphicWindow(int64_t action) {
    const auto window = static_cast<uint8_t>((action - 213) / 2);
    if (!kt::memoryReady() || !kt::windowRecord(window).Initialized) {
        kt::logLine("t_MenuEventHandler: Window #" + std::to_string(window) + " not initialized.");
        alert();
        return;
    }
    if ((action - 213) % 2 == 0)
        show(window);
    else
        hide(window);
}

// The file panels store their answer in the entry of the tag. The panel runs a loop of its
// own, so the entry is looked up again afterwards instead of being held across it.
void storePanelResult(int64_t tag, const std::string& path) {
    for (t_MenuAction& entry : t_MenuActions())
        if (entry.Tag == tag) {
            entry.FilePath = path;
            entry.FileName = f_PathName(path);
            return;
        }
}

void carryOut(const t_MenuAction& entry) {
    const int64_t action = entry.Action;
    switch (action) {
    case 100:
        storePanelResult(entry.Tag, f_OpenPanelPath(entry.Title, entry.Note, entry.FileTypes, true, false));
        return;
    case 101:
        storePanelResult(entry.Tag, f_SavePanelFromAnyThread(entry.FileName, entry.Title, entry.Note, entry.FileTypes));
        return;
    case 110: copyPicture(); return;
    case 111: copyText(); return;
    case 112: clearSideWindow(9); return;
    case 113:
        if (isGraphic(mainWindow()))
            t_ProgramAction113()();
        else
            alert();
        return;
    case 114: clearSideWindow(10); return;
    case 200:
        for (uint8_t window = 0; window <= 12; ++window) hide(window);
        return;
    case 201: hide(mainWindow()); return;
    case 205: show(12); return;
    case 206: hide(12); return;
    case 207: show(11); return;
    case 208: hide(11); return;
    case 209: show(9); return;
    case 210: hide(9); return;
    case 211: show(8); return;
    case 212: hide(8); return;
    case 229: show(10); return;
    case 230: hide(10); return;
    default:
        if (action >= 213 && action <= 228) showOrHideGraphicWindow(action);
        return;
    }
}

}  // namespace

std::function<void()>& t_ProgramMenuHandler() {
    static std::function<void()> handler = [] {};
    return handler;
}

std::function<void()>& t_ProgramAction113() {
    static std::function<void()> action = [] { host::host().playAlert(); };
    return action;
}

std::string t_ScreenTextForPasteboard(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (uint32_t c : kt::scalarsOf(text)) {
        const char* lookAlike = nullptr;
        if (c == 127 || c == 129)
            lookAlike = "#";
        else if (c == 128)
            lookAlike = "*";
        else if (c == 130)
            lookAlike = "<";
        else if (c == 131 || c == 159)
            lookAlike = "=";
        else if (c == 132)
            lookAlike = ">";
        else if (c == 133)
            lookAlike = "O";
        else if ((c >= 134 && c <= 137) || (c >= 142 && c <= 153) || c == 158)
            lookAlike = "+";
        else if (c == 138 || c == 139 || c == 156 || c == 157)
            lookAlike = "|";
        else if (c == 140 || c == 141 || c == 154 || c == 155)
            lookAlike = "-";
        else if (c == 160)
            lookAlike = "\u02FD";
        if (lookAlike)
            out += lookAlike;
        else
            out += kt::utf8Of(c);
    }
    return out;
}

namespace kt {

std::vector<std::string>& printerBuffer() {
    static std::vector<std::string> buffer;
    return buffer;
}

std::vector<std::string>& consoleBuffer() {
    static std::vector<std::string> buffer;
    return buffer;
}

}  // namespace kt

void t_MenuEventHandler(const std::string& menuTitle, const host::MenuItem& item) {
    t_MenuEvent event;
    event.Kind = 3;
    event.MenuTitle = menuTitle;
    event.ItemTitle = item.title;
    event.ItemKeyChar = item.keyEquivalent;
    event.ItemKeyMods = item.keyModifiers;
    const std::vector<uint32_t> key = kt::scalarsOf(item.keyEquivalent);
    event.ItemKeyAsc = key.empty() ? 0 : static_cast<int64_t>(key.front());
    event.ItemAction = item.tag;
    event.Time = kt::milliseconds();

    std::optional<t_MenuAction> entry;
    if (item.tag != 0)
        for (const t_MenuAction& candidate : t_MenuActions())
            if (candidate.Tag == item.tag) {
                entry = candidate;
                break;
            }
    if (entry) carryOut(*entry);

    kt::menuQueue().append(std::move(event));
    if (entry) return;
    startasyncprocess([] {
        if (kt::threadNumber() >= 3) kt::nameThread("t_EventMenu");
        t_ProgramMenuHandler()();
    });
}
