// t_Print of any bytes (as a string of Unicode scalars or as a Text of codes) in any display
// mode, colour, inverse state, routing, text area and cursor position, into small windows of
// every bit depth: nothing may be written into the video memory outside the window's
// blocks, and the area and the cursor stay inside the window.
#include "fuzz/fuzz_support.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/print.h"
#include "terminal/text.h"

namespace {

constexpr int64_t displayModes[] = {0, 1, 2, 3, 4, 99, 7, -1};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::setUpDepthWindows();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    LLVMFuzzerInitialize(nullptr, nullptr);
    fuzz::Input input(data, size);
    const uint8_t n = input.byte() % fuzz::depthWindowCount;
    const uint8_t settings = input.byte();
    t_Window& w = fuzz::depthWindow(n);

    // The area and the cursor: t_Area and the tabs check their own arguments.
    const uint8_t area = input.byte(), cursor = input.byte();
    if (settings & 0x80)
        t_Area(n, 1 + (area >> 6) * 2, 1 + ((area >> 4) & 3), 16 - ((area >> 2) & 3) * 4, 7 - (area & 3));
    t_Htab(n, 1 + (cursor >> 4));
    t_Vtab(n, 1 + (cursor & 15) % 8);
    w.TextDisplayMode = displayModes[settings & 7];
    w.TextInverse = settings & 0x08;
    w.TextRedirectOutput = settings & 0x10 ? 0 : 1;
    w.ScrollLock = settings & 0x20;
    w.TextColor = input.byte();
    const bool asText = settings & 0x40;
    const std::vector<uint8_t> bytes = input.rest();

    const int64_t fc = w.TextFirstColumn, lc = w.TextLastColumn, fl = w.TextFirstLine, ll = w.TextLastLine;
    {
        fuzz::OutsideGuard guard(n);
        if (asText)
            t_Print(n, Text(bytes));
        else
            t_Print(n, std::string(bytes.begin(), bytes.end()));
        // Whatever state the text left behind, the next character must land inside too.
        t_Print(n, std::string("X"));
        t_PrintChar(n, 'Y');
    }
    FUZZ_CHECK(w.TextFirstColumn == fc && w.TextLastColumn == lc && w.TextFirstLine == fl && w.TextLastLine == ll);
    FUZZ_CHECK(w.TextHpos >= 1 && w.TextHpos <= w.TextWidth);
    FUZZ_CHECK(w.TextVpos >= 1 && w.TextVpos <= w.TextHeight);
    return 0;
}
