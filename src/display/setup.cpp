#include "display/setup.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "app/log.h"
#include "app/menu_items.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/font.h"
#include "display/glyph.h"
#include "display/image.h"
#include "platform/platform.h"
#include "display/placement.h"

namespace kt {
namespace {

std::atomic<bool> updateThreadLaunched{false};

std::string prefix(uint8_t window) { return "t_InitWindow: GraphicWindow #" + std::to_string(window); }

// Block starts are rounded down to 1024 bytes, with the bit of value 2048 cleared as well.
int64_t blockStart(int64_t highMemory, int64_t need) {
    return static_cast<int64_t>(static_cast<uint32_t>(highMemory - need + 1) & 0xFFFFF400u);
}

std::string kib(int64_t bytes) { return std::to_string(bytes / 1024) + "K"; }

// Frees the blocks of window n and moves the blocks of the windows set up after it (they
// lie below) up into the gap, so that the free memory stays in one piece.
void freeBlocks(uint8_t n) {
    Display& d = display();
    t_Window& w = windowRecord(n);
    const std::string p = prefix(n);
    w.Initialized = false;
    const int64_t top = w.MemoryEnd;
    int64_t size = w.MemoryEnd - w.MemoryStart + 1;
    logLine(p + " high memory = " + hex8(top) + ", graphic block size to delete = " + hex8(size) + ".");
    if (w.TextMemoryStart >= 0) {
        int64_t textSize = w.TextMemoryEnd - w.TextMemoryStart + 1;
        logLine(p + " high memory = " + hex8(top) + ", text block size to delete = " + hex8(textSize) + ".");
        size += textSize;
    }
    uint8_t* memory = d.memory.data();
    for (uint8_t k = 0; k < graphicWindowCount; ++k) {
        t_Window& other = windowRecord(k);
        if (!other.Initialized || other.MemoryStart >= top) continue;
        logLine(p + " moving graphic block for win #" + std::to_string(k) + " " + hex8(other.MemoryStart) + "..." +
                hex8(other.MemoryEnd).substr(1) + " to " + hex8(other.MemoryStart + size).substr(1) + "..." +
                hex8(other.MemoryEnd + size).substr(1));
        std::memmove(memory + other.MemoryStart + size, memory + other.MemoryStart,
                     static_cast<size_t>(other.MemoryEnd - other.MemoryStart + 1));
        if (other.TextMemoryStart >= 0 && other.TextMemoryStart < top) {
            logLine(p + " moving text block for win #" + std::to_string(k) + " " + hex8(other.TextMemoryStart) +
                    "..." + hex8(other.TextMemoryEnd).substr(1) + " to " + hex8(other.TextMemoryStart + size) + "..." +
                    hex8(other.TextMemoryEnd + size).substr(1));
            std::memmove(memory + other.TextMemoryStart + size, memory + other.TextMemoryStart,
                         static_cast<size_t>(other.TextMemoryEnd - other.TextMemoryStart + 1));
        }
        if (other.TextMemoryStart >= 0) {
            other.TextMemoryStart += size;
            other.TextMemoryEnd += size;
        }
        other.MemoryStart += size;
        other.MemoryEnd += size;
        touchWindow(k);
    }
    d.highMemory += size;
}

void clearWindowMemory(t_Window& w) {
    uint8_t* memory = display().memory.data();
    const int64_t pixels = w.Width * w.Height;
    switch (w.BitDepth) {
    case 32:
        for (int64_t i = 0; i < pixels; ++i) {
            uint8_t* p = memory + w.MemoryStart + 4 * i;
            p[0] = 255, p[1] = p[2] = p[3] = 0;
        }
        break;
    case 1: std::memset(memory + w.MemoryStart, 0, static_cast<size_t>(w.Height * (w.Width / 8))); break;
    case 4: std::memset(memory + w.MemoryStart, 0, static_cast<size_t>(w.Height * (w.Width / 2))); break;
    default: std::memset(memory + w.MemoryStart, 0, static_cast<size_t>(pixels * (w.BitDepth / 8))); break;
    }
    if (w.TextMemoryStart >= 0) {
        const int64_t cells = w.TextWidth * w.TextHeight, half = textHalf(w);
        std::memset(memory + w.TextMemoryStart, 32, static_cast<size_t>(cells));
        std::memset(memory + w.TextMemoryStart + half, w.TextColor, static_cast<size_t>(cells));
    }
}

std::string windowTitleFor(const t_Window& w) {
    std::string title = host::host().applicationName();
    if (title.size() > 4) {
        std::string ending = title.substr(title.size() - 4);
        for (auto& c : ending) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ending == ".app") title.resize(title.size() - 4);
    }
    if (w.TextMemoryStart < 0) title += "-Grafik";
    return title;
}

}  // namespace

void waitForMemory() {
    if (!display().memoryStarted) t_InitMemory();
    while (!memoryReady()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void setUpWindow(uint8_t n, int64_t bitDepth, bool autoUpdate, int64_t width, int64_t height, int64_t borderWidth,
                 int64_t borderHeight, const t_Font& font, bool titleVisible) {
    if (n >= graphicWindowCount) {
        logLine("t_InitWindow: Window is not a graphic window.");
        return;
    }
    const std::string p = prefix(n);
    logLine(p + " Start.");
    waitForMemory();
    Display& d = display();
    uint8_t none = noWindow;
    d.defaultWindow.compare_exchange_strong(none, n);
    bool launched = false;
    if (!d.updateThreadRunning && updateThreadLaunched.compare_exchange_strong(launched, true))
        startasyncprocess(t_WindowAutoUpdateProcess);

    t_Window& w = windowRecord(n);
    if (w.Initialized) freeBlocks(n);
    const int64_t available = d.highMemory - reservedLowMemory;

    if (width < 32 || width > 8192) {
        logLine(p + " cannot display " + std::to_string(width) + " horizontal pixel.");
        width = 1280;
    }
    if (height < 32 || height > 8192) {
        logLine(p + " cannot display " + std::to_string(height) + " vertical pixel.");
        height = 800;
    }
    int64_t need = 0;
    switch (bitDepth) {
    case 1:
        if (width % 8 != 0) {
            logLine(p + " width with 1 bit depth must be a multiple of 8.");
            width = (width / 8 + 1) * 8;
        }
        need = height * width / 8;
        break;
    case 4:
        if (width % 4 != 0) {
            logLine(p + " width with 4 bit depth must be a multiple of 4.");
            width = (width + 1) / 4 * 4;
        }
        need = height * width / 2;
        break;
    case 8:
    case 16:
    case 24:
    case 32: need = height * bitDepth * width / 8; break;
    default: logLine(p + " unsupported " + std::to_string(bitDepth) + " bit depth."); return;
    }
    if (need > available) {
        logLine(p + " has not enough graphic-video-memory (" + kib(available) + " available).");
        logLine("t_InitWindow: Displaying " + std::to_string(width) + " x " + std::to_string(height) + " pixel x " +
                std::to_string(bitDepth) + " bit needs " + kib(need) + " video-memory.");
        return;
    }
    if (!titleVisible) {
        t_WindowTitleVisible(n, false);
        logLine(p + " title will be invisible.");
    }
    if (borderWidth < 0) borderWidth = t_WindowPos(n, 15) - width;
    if (borderHeight < 0) borderHeight = t_WindowPos(n, 16) - height;

    int64_t columns = -1, lines = -1, textNeed = 0;
    if (!font.Data.empty()) {
        columns = font.Width ? width / font.Width : 0;
        lines = font.Height ? height / font.Height : 0;
        textNeed = columns * lines * 2;
        if (textNeed > available) {
            logLine(p + " has not enough text-video-memory (" + kib(available) + " available).");
            logLine("t_InitWindow: Displaying " + std::to_string(columns) + " x " + std::to_string(lines) +
                    " characters needs " + kib(textNeed) + " text-video-memory.");
            return;
        }
    }

    w.UpdateStarted = 0;
    w.UpdateFinished = 0;
    w.VerticalBlank = true;
    w.IgnoreEvents = false;
    w.RefreshRate = 30;
    w.AutoUpdate = autoUpdate;
    w.QuickUpdate = true;
    w.ScrollLock = false;
    w.BitDepth = bitDepth;
    w.Width = width;
    w.Height = height;
    w.BorderWidth = borderWidth;
    w.BorderHeight = borderHeight;
    w.TitleHeight = titleVisible ? t_TitleBarHeight() : 0;
    w.RGBColor = t_PaletteColor(0);
    w.RGBColorBorder = t_PaletteColor(5);
    w.DrawingMode = w.PositionX = w.PositionY = 0;

    w.MemoryStart = blockStart(d.highMemory, need);
    w.MemoryEnd = d.highMemory;
    d.highMemory = w.MemoryStart - 1;
    logLine(p + " = " + std::to_string(width) + " x " + std::to_string(height) + " pixel x " +
            std::to_string(bitDepth) + " bit = " + kib(need) + " video-memory = " + hex8(w.MemoryStart) + ".");

    w.TextWidth = columns;
    w.TextHeight = lines;
    w.TextFirstColumn = 1;
    w.TextLastColumn = w.TextWidth;
    w.TextFirstLine = 1;
    w.TextLastLine = w.TextHeight;
    w.TextHpos = w.TextVpos = 1;
    w.TextColor = 192;
    w.LoResOffsetX = w.LoResOffsetY = w.LoResMode = 0;
    if (textNeed != 0) {
        w.TextMemoryStart = blockStart(d.highMemory, textNeed);
        w.TextMemoryEnd = d.highMemory;
        d.highMemory = w.TextMemoryStart - 1;
    } else {
        w.TextMemoryStart = w.TextMemoryEnd = -1;
    }

    bool hasView = false;
    host::host().runOnMainSync([&] { hasView = host::host().hasView(n); });
    if (!hasView) {
        w.Initialized = false;
        w.Font = t_Font{};
        logLine(p + " could not be initialized, resource undefined.");
        logLine(p + " End.");
        return;
    }
    w.View = t_HostRef{n};
    w.Window = t_HostRef{n};
    w.Font = font;
    clearWindowMemory(w);
    w.Initialized = true;
    touchWindow(n);
    t_WindowTitle(n, windowTitleFor(w));
    t_WindowSize(n, -1, -1, width, height);
    t_ColorBorder(n, 5);
    logLine(p + " End.");
}

}  // namespace kt

void t_InitMemory() {
    kt::Display& d = kt::display();
    bool started = false;
    if (!d.memoryStarted.compare_exchange_strong(started, true)) return;
    kt::logLine("t_InitMemory: Start.");
    if (kt::threadNumber() == 2) kt::nameThread("Main Program");
    kt::createVideoMemory();
    kt::menuCleanUp();
    host::host().runOnMainSync([] {
        if (host::host().hasTextView(8)) host::host().prepareTextView(8);
    });
    d.memoryReady.store(true, std::memory_order_release);
    kt::logLine("t_InitMemory: End.");
}

void t_InitWindow(uint8_t window, int64_t bitDepth, int64_t columns, int64_t lines, int64_t border,
                  const std::string& fontName) {
    kt::waitForMemory();
    t_Font font = t_LoadFontResource(fontName);
    if (font.Data.empty()) {
        kt::logLine("t_InitWindow: Font '" + fontName + "' not found.");
        return;
    }
    kt::setUpWindow(window, bitDepth, true, font.Width * columns, font.Height * lines, border, border, font, true);
}
