// The editor's start-up, its main loop and the key table.
#include "input/file_events.h"
#include "app/program.h"
#include "terminal/program_end.h"
#include "display/setup.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "editor/values.h"
#include "platform/platform.h"
#include "display/placement.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/keys.h"
#include "input/mouse.h"
#include "input/wheel.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/print.h"

namespace editor {
namespace {

State* current = new State;  // never destroyed: the program thread may outlive main

void nextHeaderLayout() {
    State& s = state();
    s.HeaderRows = s.HeaderRows == 7 ? 2 : s.HeaderRows == 2 ? 1 : s.HeaderRows == 1 ? 0 : 7;
    DrawHeader();
    redraw(s.TopLine, s.Cursor, true);
}

void toggleMenu() {
    state().MainMenuShown = !state().MainMenuShown;
    DrawHeader();
}

// The title screen again, with what the program is and who made it.
void about() {
    TitleScreen();
    t_Cr();
    t_Print(window, texts::pressAnyKeyPrompt);
    waitForKey();
    DrawHeader();
    redraw(state().TopLine, state().Cursor, true);
}

// The click rule: the byte under a click in the hexadecimal or the character columns.
int64_t clickedPosition(int64_t x, int64_t y) {
    const State& s = state();
    const int64_t r = y - s.HeaderRows - 1;
    const int64_t line = r >= 0 ? s.TopLine + r : s.Cursor / 16;
    // The hexadecimal columns start after the position and ": ".
    const int64_t first = positionDigits() + 2;
    int64_t byte;
    if (x < 64) {
        byte = (x - first) / 3;
        byte = byte < 0 ? 0 : byte > 15 ? 15 : byte;
    } else {
        byte = x - 65 < 0 ? 0 : x - 65;
    }
    return 16 * line + byte;
}

// Waits for a key, a click, a turn of the wheel or a file event; the key taken, or −1.
int64_t waitForInput() {
    kt::waitUntil([] {
        return t_EventAvailable() || t_FileEventAvailable() || t_MouseEventAvailable() ||
               t_WheelEventAvailable(window) || t_MouseDragAvailable(window);
    });
    return t_EventAvailable() ? t_GetEvent() : -1;
}

// The wheel scrolls a line a notch, as ^W and ^Y do; at either end of the file the notches
// left over change nothing and are dropped.
void scrollByWheel() {
    const State& s = state();
    for (int64_t lines = t_GetWheelLines(window); lines != 0; lines += lines > 0 ? -1 : 1) {
        const int64_t top = s.TopLine, cursor = s.Cursor;
        if (lines > 0)
            scrollUp();
        else
            scrollDown();
        if (s.TopLine == top && s.Cursor == cursor) break;
    }
}

}  // namespace

State& state() { return *current; }

void resetState() { *current = State{}; }

void alert() { host::host().playAlert(); }

int64_t waitForKey() {
    for (;;) {
        if (!t_EventAvailable()) {
            t_CursorOn(window);
            kt::waitUntil([] { return t_EventAvailable(); });
            t_CursorOff(window);
        }
        int64_t key = t_GetEvent();
        if (key >= 0) return key;
    }
}

void showMessage(const std::string& title, const std::string& line1, const std::string& line2) {
    t_Dialog(window, title, line1, line2, texts::pressAnyKey, "!");
    waitForKey();
    removeMessageBox();
}

void removeMessageBox() {
    t_FullArea(window);
    t_ClearRect(window, 18, 12, columns - 18, 16);
}

bool dispatch(int64_t value) {
    const SelectionShown shown;
    if (valuesKey(value) || rangeKey(value)) return false;
    switch (value) {
    case key::controlSpace: alert(); break;
    case key::controlA: changeAll(); break;
    case key::controlB: fileStart(); break;
    case key::controlC: pageDown(); break;
    case key::controlD: enterSearchText(false); break;
    case key::controlE: fileEnd(); break;
    case key::controlF: toggleMenu(); break;
    case key::controlG: deleteByte(); break;
    case key::controlH: byteLeft(); break;
    case key::controlI: insertByte(); break;
    case key::controlJ: lineDown(); break;
    case key::controlK: lineUp(); break;
    case key::controlL: loadCommand(); break;
    case key::controlM: hexEntry(); break;
    case key::controlN: searchCommand(); break;
    case key::controlO: changeCommand(); break;
    case key::controlP: nextSearchMode(); break;
    case key::controlQ: return quitCommand();
    case key::controlR: pageUp(); break;
    case key::controlS: saveCommand(); break;
    case key::controlT: enterSearchText(true); break;
    case key::controlU: byteRight(); break;
    case key::controlV: toggleInsertMode(); break;
    case key::controlW: scrollUp(); break;
    case key::controlX: closeCommand(); break;
    case key::controlY: scrollDown(); break;
    case key::controlZ: changeAndSearchCommand(); break;
    case key::escape: nextHeaderLayout(); break;
    case key::controlOUmlaut: goToPosition(); break;
    case key::controlUUmlaut: about(); break;
    case key::controlMinus: alert(); break;
    case key::backspace: {
        // With Alt it undoes, with Shift and Alt it redoes; alone it goes back.
        const t_Event event = t_LastEvent();
        if (!event.OptionPressed) backspace();
        else if (event.ShiftPressed) redoCommand();
        else undoCommand();
        break;
    }
    default:
        if (value >= key::space && value < key::backspace) typeCharacter(static_cast<uint8_t>(value));
        break;
    }
    return false;
}

void mainProgram() {
    t_InitWindow(window, 24, columns, rows, 16, fontName);
    ProgramVersion() = texts::programVersion;
    ProgramName() = texts::programName;
    ProgramKind() = texts::programKind;
    ProgramNotice() = texts::programNotice;
    t_WindowTitle(window, defaultWindowTitle());
    TitleScreen();
    t_WindowCenter(window);
    t_WindowFront(window);
    State& s = state();
    if (!t_FileEventAvailable()) {
        t_Cr();
        t_Print(window, texts::pressAnyKeyPrompt);
        waitForKey();
    } else {
        fileEvent();
    }
    redraw(0, 0, true);
    DrawHeader();
    t_SetDocumentLog(true);

    for (;;) {
        publishEditMenu();
        DrawCursor(s.TopLine, s.Cursor, true);
        DrawStatus(s.Cursor);
        t_CursorHome(window);

        const int64_t key = waitForInput();
        if (t_MouseEventAvailable()) {
            auto [x, y] = t_GetMouseText(window);
            if (x >= 0 && y >= 0) {
                int64_t position = clickedPosition(x, y);
                if (position >= 0) clickAt(position, t_LastMouseEvent().ShiftPressed);
            }
        }
        if (t_MouseDragAvailable(window)) {
            auto [x, y] = t_GetMouseDragText(window);
            const int64_t position = x >= 0 && y >= 0 ? clickedPosition(x, y) : -1;
            if (position >= 0) dragTo(position);
        }
        DrawCursor(s.TopLine, s.Cursor, false);
        if (t_WheelEventAvailable(window)) scrollByWheel();
        if (t_FileEventAvailable()) {
            endSelection();
            fileEvent();
        } else if (dispatch(key)) {
            t_QuitProgram(window);
        }
        forgetStaleFind();
    }
}

}  // namespace editor
