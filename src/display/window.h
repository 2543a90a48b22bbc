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

struct t_Window {
    bool Initialized = false;
    bool Visible = false;
    bool IgnoreEvents = false;
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
    int64_t TextRedirectOutput = 1;
    std::string InputString;
    bool InputFinished = false;
    int64_t InputMode = 0;
    int64_t InputHpos = 0;
    int64_t InputVpos = 0;
    int64_t InputCursorPos = 0;
    int64_t InputMaxCharacters = 0;
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

// Everything the display engine keeps, in one place.
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


