#include "terminal/print.h"

#include <atomic>

#include "app/log.h"
#include "app/utf8.h"
#include "display/glyph.h"
#include "display/window.h"
#include "platform/platform.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"

using kt::checkWindow;
using kt::windowRecord;

namespace {

uint8_t defaultWindow() { return kt::display().defaultWindow.load(); }

std::atomic<kt::OutputPause> outputPauseHook{nullptr};

// Output stops while the newest key is Control-S (the keyboard's layer sets how).
void pauseCheck() {
    if (kt::OutputPause pause = outputPauseHook.load(std::memory_order_acquire)) pause();
}

// One character of t_Print: translated, drawn and the cursor moved, or a control code.
void printOne(uint8_t window, t_Window& w, uint32_t c) {
    if (c > 31 || w.TextDisplayMode > 2) {
        t_DisplayResult r = t_ApplyDisplayMode(window, c);
        if (r.Code >= 256) {
            if (w.TextDisplayMode == 4) t_Color(window, 1);
            r.Code = 63;
        }
        if (r.Code >= 0) {
            t_PrintSymbol(window, static_cast<uint8_t>(r.Code), w.TextColor, w.TextHpos, w.TextVpos);
            t_CursorRight(window);
        }
        w.TextInverse = r.Inverse;
        w.TextColor = r.Colour;
        return;
    }
    if (c == 13) pauseCheck();
    t_PrintControl(window, static_cast<uint8_t>(c));
}

template <typename Each>
void printAll(uint8_t window, Each&& each) {
    if (!checkWindow("t_Print", window)) return;
    t_Window& w = windowRecord(window);
    if (w.Font.Data.empty()) {
        kt::logLine("t_Print: Window #" + std::to_string(window) + " has no text font.");
        return;
    }
    each([&](uint32_t c) { printOne(window, w, c); });
    pauseCheck();
}

void bell() {
    if (host::hasHost()) host::host().playAlert();
}

}  // namespace

namespace kt {
void setOutputPause(OutputPause pause) { outputPauseHook.store(pause, std::memory_order_release); }
}  // namespace kt

void t_Print(uint8_t window, const std::string& text) {
    printAll(window, [&](auto&& print) { kt::forEachScalar(text, print); });
}

void t_Print(uint8_t window, const Text& text) {
    printAll(window, [&](auto&& print) {
        for (uint8_t c : text.Elements) print(c);
    });
}

void t_Print(const std::string& text) { t_Print(defaultWindow(), text); }
void t_Print(const Text& text) { t_Print(defaultWindow(), text); }

void t_PrintChar(uint8_t window, uint8_t code) {
    if (!checkWindow("t_PrintChar", window)) return;
    t_Window& w = windowRecord(window);
    t_DisplayResult r = t_ApplyDisplayMode(window, code);
    if (r.Code >= 0 && r.Code <= 255) {
        t_PrintSymbol(window, static_cast<uint8_t>(r.Code), w.TextColor, w.TextHpos, w.TextVpos);
        t_CursorRight(window);
    }
    w.TextInverse = r.Inverse;
    w.TextColor = r.Colour;
}

void t_PrintSpc(uint8_t window, int64_t count) {
    if (!checkWindow("t_PrintSpc", window)) return;
    for (int64_t i = 0; i < count; ++i) t_PrintChar(window, 32);
}

void t_PrintTab(uint8_t window, int64_t column, uint8_t fill) {
    if (!checkWindow("t_PrintTab", window)) return;
    for (int64_t n = column - windowRecord(window).TextHpos; n > 0; --n) t_PrintChar(window, fill);
}

void t_PrintControl(uint8_t window, uint8_t code) {
    if (window >= kt::graphicWindowCount) {
        kt::logLine("t_PrintControl: Window is not a graphic window.");
        return;
    }
    const int64_t routing = kt::memoryReady() ? windowRecord(window).TextRedirectOutput.load() : 1;
    const bool usable =
        kt::memoryReady() && windowRecord(window).Initialized && windowRecord(window).TextMemoryStart >= 0;
    if (!usable || routing != 1) {
        if (routing == 2)
            kt::logText(kt::utf8Of(code));
        else if (routing == 1)
            kt::logLine("t_PrintControl: Window #" + std::to_string(window) + " not initialized.");
        return;
    }
    t_Window& w = windowRecord(window);
    switch (code) {
    case 7: bell(); break;
    case 8: t_CursorLeft(window); break;
    case 10: t_CursorDown(window); break;
    case 11: t_ClearEndOfWindow(window); break;
    case 12:
        t_CursorHome(window);
        t_ClearEndOfWindow(window);
        break;
    case 13: t_Cr(window); break;
    case 14: t_Normal(window); break;
    case 15: t_Inverse(window); break;
    case 17: t_Reverse(window); break;
    case 18: t_Htab(window, 1); break;
    case 19: w.TextDisplayMode = 0; break;
    case 20: w.TextDisplayMode = 1; break;
    case 22: t_ScrollDown(window); break;
    case 23: t_ScrollUp(window); break;
    case 25: t_CursorHome(window); break;
    case 26:
        t_Htab(window, 1);
        t_ClearEndOfLine(window);
        break;
    case 27: w.TextDisplayMode = 99; break;
    case 28: t_CursorRight(window); break;
    case 29: t_ClearEndOfLine(window); break;
    case 30: t_CursorUp(window); break;
    case 31: w.TextDisplayMode = 2; break;
    default: break;
    }
}

void t_RedirectOutput(uint8_t window, int64_t target) {
    if (checkWindow("t_RedirectOutput", window, false)) windowRecord(window).TextRedirectOutput = target;
}

void t_PrintTitleLine(uint8_t window, const std::string& title, int64_t width) {
    std::string shown = width - 4 < 1 ? std::string() : kt::firstScalars(title, static_cast<size_t>(width - 4));
    std::string s = " " + shown + " ";
    const int64_t rest = width - static_cast<int64_t>(kt::scalarCount(s));
    const int64_t left = (rest - 2) / 2;
    const int64_t right = rest - 2 - left;
    std::string line;
    for (int64_t i = 0; i < left; ++i) line += "\u009F";
    t_Normal(window);
    t_Print(window, line);
    t_PrintSymbol(window, 18);
    t_CursorRight(window);
    t_Inverse(window);
    t_Print(window, s);
    t_Normal(window);
    t_PrintSymbol(window, 19);
    t_CursorRight(window);
    line.clear();
    for (int64_t i = 0; i < right; ++i) line += "\u009F";
    t_Print(window, line);
}
