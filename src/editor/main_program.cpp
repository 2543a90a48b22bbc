// The editor's start-up, its main loop and the key table.
#include "input/file_events.h"
#include "app/program.h"
#include "terminal/program_end.h"
#include "display/setup.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/texts.h"
#include "host/host.h"
#include "display/placement.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/mouse.h"
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

void about() {
    t_ClearWindow();
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
    int64_t byte;
    if (x - 10 < 54) {
        byte = (x - 10) / 3;
        byte = byte < 0 ? 0 : byte > 15 ? 15 : byte;
    } else {
        byte = x - 65 < 0 ? 0 : x - 65;
    }
    return 16 * line + byte;
}

// Waits for a key, a click or a file event; the key taken, or −1.
int64_t waitForInput() {
    kt::waitUntil([] { return t_EventAvailable() || t_FileEventAvailable() || t_MouseEventAvailable(); });
    return t_EventAvailable() ? t_GetEvent() : -1;
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
    t_FullArea(window);
    t_ClearRect(window, 18, 12, columns - 18, 16);
}

bool dispatch(int64_t key) {
    switch (key) {
    case 0: alert(); break;
    case 1: changeAll(); break;
    case 2: fileStart(); break;
    case 3: pageDown(); break;
    case 4: enterSearchText(false); break;
    case 5: fileEnd(); break;
    case 6: toggleMenu(); break;
    case 7: deleteByte(); break;
    case 8: byteLeft(); break;
    case 9: insertByte(); break;
    case 10: lineDown(); break;
    case 11: lineUp(); break;
    case 12: loadCommand(); break;
    case 13: hexEntry(); break;
    case 14: searchCommand(); break;
    case 15: changeCommand(); break;
    case 16: nextSearchMode(); break;
    case 17: return quitCommand();
    case 18: pageUp(); break;
    case 19: saveCommand(); break;
    case 20: enterSearchText(true); break;
    case 21: byteRight(); break;
    case 22: toggleInsertMode(); break;
    case 23: scrollUp(); break;
    case 24: closeCommand(); break;
    case 25: scrollDown(); break;
    case 26: changeAndSearchCommand(); break;
    case 27: nextHeaderLayout(); break;
    case 28: goToPosition(); break;
    case 29: about(); break;
    case 31: alert(); break;
    default:
        if (key >= 32 && key <= 127) typeCharacter(static_cast<uint8_t>(key));
        break;
    }
    return false;
}

void mainProgram() {
    t_InitWindow(window, 24, columns, rows, 16, fontName);
    ProgramVersion() = 121;
    ProgramName() = "Ostrakonix";
    ProgramKind() = "Hexadezimaler Editor";
    ProgramNotice() = "© 2026 die Ostrakonix-Autoren";
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
        t_Inverse(window);
        DrawByte(s.TopLine, s.Cursor);
        t_Normal(window);
        DrawStatus(s.Cursor);
        t_CursorHome(window);

        const int64_t key = waitForInput();
        if (t_MouseEventAvailable()) {
            auto [x, y] = t_GetMouseText(window);
            if (x >= 0 && y >= 0) {
                int64_t position = clickedPosition(x, y);
                if (position >= 0) redraw(s.TopLine, position, true);
            }
        }
        DrawByte(s.TopLine, s.Cursor);
        if (t_FileEventAvailable()) {
            fileEvent();
        } else if (dispatch(key)) {
            t_QuitProgram(window);
        }
    }
}

}  // namespace editor
