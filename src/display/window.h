// The window table and the video memory shared by all graphic windows.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

struct t_RGBColor {
    uint8_t Alpha = 255;
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    bool operator==(const t_RGBColor&) const = default;
};

struct t_Font {
    int64_t HeaderSize = 16;
    std::array<uint8_t, 4> Identifier{'k', 'e', 'f', 'n'};
    int64_t Format = 0;
    int64_t Size = 0;
    uint8_t Start = 0;
    uint8_t End = 0;
    int64_t Width = 0;
    int64_t Height = 0;
    int64_t Reserved = 0;
    std::vector<uint8_t> Data;
};

// A host object of a window: the number of the window whose host object it is, or none.
struct t_HostRef {
    int Number = -1;
    explicit operator bool() const { return Number >= 0; }
    bool operator==(const t_HostRef&) const = default;
};

struct t_DrawingRect {
    double X = 0, Y = 0, Width = 0, Height = 0;
};

// One graphic window. Who writes which field and who reads it:
// - The program thread owns the record: t_InitWindow fills it, the text, input and drawing
//   operations change it, all on that thread. Fields not named below are touched by it alone.
// - The set-up fields (Initialized, BitDepth, Width, Height, MemoryStart/End, Text memory,
//   Font, Text grid and Border/Title sizes, Window and View) are written by the program thread
//   while it sets the window up or resizes it; the main thread (the window image, key and
//   mouse entries, placement) and the update thread read them. Initialized is set last, so a
//   reader that sees it set sees the rest.
// - Visible is written by whichever thread shows or hides the window (the program thread, or
//   the main thread for a menu item or a close box) and read by the image on the main thread.
// - IgnoreEvents is written by the program thread and read by the main thread's key and mouse
//   entries.
// - TextRedirectOutput is written by the program thread (t_RedirectOutput) and by the main
//   thread (Control with a keypad key) and read by the program thread as it prints.
// - AutoUpdate, QuickUpdate and RefreshRate are written by the program thread and read by the
//   update thread; VerticalBlank and the Update times are written by the main thread while it
//   makes the image and read by the program thread (t_WindowUpdate waits on them).
// The flags that cross threads are atomics; the geometry is not, as the video memory is not:
// an image made while the program redraws or resizes may be torn, and the next refresh
// corrects it.
struct t_Window {
    std::atomic<bool> Initialized{false};
    std::atomic<bool> Visible{false};
    std::atomic<bool> IgnoreEvents{false};
    bool AutoUpdate = false;
    bool QuickUpdate = false;
    bool ScrollLock = false;
    std::atomic<bool> VerticalBlank{true};
    std::atomic<int64_t> UpdateStarted{0};
    std::atomic<int64_t> UpdateFinished{0};
    std::atomic<int64_t> UpdateDuration{0};
    int64_t RefreshRate = 30;
    t_HostRef Window;
    t_HostRef View;
    t_DrawingRect DrawingRect;
    int64_t TitleHeight = 0;
    int64_t BorderWidth = 0;
    int64_t BorderHeight = 0;
    t_RGBColor RGBColorBorder;
    int64_t BitDepth = 0;
    int64_t Width = 0;
    int64_t Height = 0;
    t_RGBColor RGBColor;
    int64_t DrawingMode = 0;
    int64_t PositionX = 0;
    int64_t PositionY = 0;
    int64_t MemoryStart = -1;
    int64_t MemoryEnd = -1;
    t_Font Font;
    int64_t TextWidth = 0;
    int64_t TextHeight = 0;
    int64_t TextFirstColumn = 0;
    int64_t TextLastColumn = 0;
    int64_t TextFirstLine = 0;
    int64_t TextLastLine = 0;
    int64_t TextHpos = 0;
    int64_t TextVpos = 0;
    uint8_t TextColor = 0;
    bool TextInverse = false;
    int64_t TextDisplayMode = 0;
    int64_t TextCursorLevel = 0;
    std::atomic<int64_t> TextRedirectOutput{1};
    std::string InputString;
    bool InputFinished = false;
    int64_t InputMode = 0;
    int64_t InputHpos = 0;
    int64_t InputVpos = 0;
    int64_t InputCursorPos = 0;
    int64_t InputMaxCharacters = 0;
    // The default text is offered: the first character that comes in replaces it.
    bool InputOffered = false;
    int64_t LoResOffsetX = 0;
    int64_t LoResOffsetY = 0;
    int64_t LoResMode = 0;
    int64_t TextMemoryStart = -1;
    int64_t TextMemoryEnd = -1;

    // Back to the values of a freshly created table.
    void reset();
};

namespace kt {

constexpr int graphicWindowCount = 8;
constexpr int64_t videoMemorySize = 16777231;  // 16 MiB + 15
constexpr int64_t videoMemoryTop = 16777215;   // $00FFFFFF
constexpr int64_t reservedLowMemory = 65536;
constexpr uint8_t noWindow = 255;

// Everything the display engine keeps, in one place. The memory is made by the program
// thread before memoryReady is set and then shared without a lock (see t_Window).
struct Display {
    std::vector<uint8_t> memory;  // made once, at full size, by t_InitMemory
    int64_t highMemory = videoMemoryTop;
    std::atomic<bool> memoryStarted{false};
    std::atomic<bool> memoryReady{false};
    std::array<t_Window, graphicWindowCount> windows;
    std::atomic<uint8_t> defaultWindow{noWindow};
    std::atomic<bool> updateThreadRunning{false};
};

Display& display();

inline bool memoryReady() { return display().memoryReady.load(std::memory_order_acquire); }

// The record of a graphic window (number below 8).
inline t_Window& windowRecord(uint8_t window) { return display().windows[window]; }

// Creates the video memory (every byte 255) and the table of fresh records.
void createVideoMemory();

// Half the size of a window's text block: the distance from a cell's code to its colour.
inline int64_t textHalf(const t_Window& w) { return (w.TextMemoryEnd - w.TextMemoryStart + 1) / 2; }

// The common frame of the window operations. Logs "<operation>: Window is not a graphic
// window." or "<operation>: Window #n not initialized." and returns false when the window
// can't be used; needTextMemory adds the test of TextMemoryStart.
bool checkWindow(const char* operation, uint8_t window, bool needTextMemory = true);

}  // namespace kt


