#include "terminal/program_end.h"

#include <chrono>
#include <string>
#include <thread>

#include "app/log.h"
#include "app/threads.h"
#include "display/image.h"
#include "display/window.h"
#include "platform/platform.h"
#include "display/placement.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/print.h"

namespace {

// Only a graphic window that can show text gets the message; drawing into any other would
// put the terminal's failure messages into the middle of the log line.
bool showsText(uint8_t window) {
    if (window >= kt::graphicWindowCount || !kt::memoryReady()) return false;
    const t_Window& w = kt::windowRecord(window);
    return w.Initialized && w.TextMemoryStart >= 0;
}

// The closing message and the one log line. The line is written whole at the end: written
// in pieces around the pause, the log lines of other threads (the update thread, the mouse
// handler) landed inside it.
void closingMessage(uint8_t window) {
    std::string line = "t_QuitProgram: Quitting current thread";
    if (showsText(window) && kt::hostWindowExists(window)) {
        t_FullArea(window);
        t_CursorEnd(window);
        t_Htab(window, 1);
        t_DisplayMode(window, 0);
        t_Normal(window);
        t_Color(window, 1);
        t_Print(window, "(Programm Ende)");
        t_WindowUpdate(window, false);
        // Lets the host show the message before the thread is gone.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        line += " with message in window #" + std::to_string(window);
    }
    kt::logLine(line + ".");
}

}  // namespace

void t_QuitProgram(uint8_t window) {
    closingMessage(window);
    kt::endProgramThread();
}
