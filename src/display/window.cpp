#include "display/window.h"

#include "app/log.h"

void t_Window::reset() {
    Initialized = false;
    Visible = false;
    IgnoreEvents = false;
    AutoUpdate = false;
    QuickUpdate = false;
    ScrollLock = false;
    VerticalBlank = true;
    UpdateStarted = 0;
    UpdateFinished = 0;
    UpdateDuration = 0;
    RefreshRate = 30;
    Window = {};
    View = {};
    DrawingRect = {};
    TitleHeight = BorderWidth = BorderHeight = 0;
    RGBColorBorder = {};
    BitDepth = Width = Height = 0;
    RGBColor = {};
    DrawingMode = PositionX = PositionY = 0;
    MemoryStart = MemoryEnd = -1;
    Font = t_Font{};
    TextWidth = TextHeight = 0;
    TextFirstColumn = TextLastColumn = TextFirstLine = TextLastLine = 0;
    TextHpos = TextVpos = 0;
    TextColor = 0;
    TextInverse = false;
    TextDisplayMode = 0;
    TextCursorLevel = 0;
    TextRedirectOutput = 1;
    InputString.clear();
    InputFinished = false;
    InputMode = InputHpos = InputVpos = InputCursorPos = InputMaxCharacters = 0;
    InputOffered = false;
    LoResOffsetX = LoResOffsetY = LoResMode = 0;
    TextMemoryStart = TextMemoryEnd = -1;
}

namespace kt {

Display& display() {
    // Never destroyed: the update thread and the views may still read it while the
    // process exits.
    static Display* instance = new Display;
    return *instance;
}

void createVideoMemory() {
    Display& d = display();
    d.highMemory = videoMemoryTop;
    d.memory.assign(static_cast<size_t>(videoMemorySize), 255);
    for (auto& w : d.windows) w.reset();
}

bool checkWindow(const char* operation, uint8_t window, bool needTextMemory) {
    if (window >= graphicWindowCount) {
        logLine(std::string(operation) + ": Window is not a graphic window.");
        return false;
    }
    if (!memoryReady() || !windowRecord(window).Initialized ||
        (needTextMemory && windowRecord(window).TextMemoryStart < 0)) {
        logLine(std::string(operation) + ": Window #" + std::to_string(window) + " not initialized.");
        return false;
    }
    return true;
}

}  // namespace kt
