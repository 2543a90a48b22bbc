// The line editor fed any keys: a field of any mode and limit at any place of a small window,
// with any prompt, default text and pasteboard text, edited key by key as t_InputForm does
// (keys that the editing itself waits for, those of the decimal code entry, and the keys that
// a paste queues, come from the key queue). The field keeps to its limits and its mode's
// characters, the cursor stays in the text, and nothing is drawn outside the window.
#include <algorithm>
#include <string>

#include "app/clock.h"
#include "app/log.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "input/events.h"
#include "input/line_editor.h"
#include "terminal/cursor.h"
#include "terminal/text.h"

namespace {

constexpr int64_t columns = 30, lines = 7;

void queueKey(int64_t value) {
    t_Event event;
    event.Kind = 1;
    event.Value = value;
    event.Description = value >= 0 && value <= 0x10FFFF ? kt::utf8Of(static_cast<uint32_t>(value)) : "";
    event.Time = kt::milliseconds();
    kt::keyQueue().append(std::move(event));
}

std::string asString(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The field's rules, checked after every key.
void checkField(const t_Window& w, int64_t mode, int64_t maxCharacters, bool startedEmpty) {
    FUZZ_CHECK(kt::isValidUtf8(w.InputString));
    std::vector<uint32_t> codes = kt::scalarsOf(w.InputString);
    const auto length = static_cast<int64_t>(codes.size());
    for (uint32_t c : codes) FUZZ_CHECK(c <= 255);
    FUZZ_CHECK(w.InputCursorPos >= 0 && w.InputCursorPos <= length);
    FUZZ_CHECK(length <= std::max<int64_t>(maxCharacters, 0));
    if (!startedEmpty) return;
    FUZZ_CHECK(w.InputHpos + length <= w.TextLastColumn);
    auto count = [&](uint32_t c) { return std::count(codes.begin(), codes.end(), c); };
    auto onlyOf = [&](const std::string& allowed) {
        for (uint32_t c : codes) FUZZ_CHECK(allowed.find(static_cast<char>(c)) != std::string::npos);
    };
    switch (mode) {
    case 2: onlyOf("0123456789-"); break;
    case 3:
        onlyOf("0123456789,-e");
        FUZZ_CHECK(count(',') <= 1 && count('e') <= 1);
        break;
    case 4:
        onlyOf("0123456789-");
        FUZZ_CHECK(count('-') <= 1);
        break;
    default: FUZZ_CHECK(count(0) == 0); break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::smallWindow(0, 24, columns, lines);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    t_Window& w = fuzz::smallWindow(0, 24, columns, lines);
    const uint8_t modeByte = input.byte();
    const int64_t mode = modeByte % 6 == 5 ? 7 : modeByte % 6;
    const int64_t maxCharacters = static_cast<int8_t>(input.byte()) % 40;
    t_Htab(0, 1 + input.byte() % columns);
    t_Vtab(0, 1 + input.byte() % lines);
    const std::string prompt = asString(input.bytes(input.byte() % 8));
    const std::string defaultText = asString(input.bytes(input.byte() % 40));
    const uint8_t pasteLength = input.byte();
    const std::string pasteText = asString(input.bytes(pasteLength % 40));

    // Keys: a byte is its code; 0xFF takes the next two bytes as a code (characters above
    // 255), 0xFE the next byte as a negative code.
    bool pastes = false;
    while (!input.empty()) {
        const uint8_t b = input.byte();
        const int64_t key = b == 0xFF ? input.word() : b == 0xFE ? -int64_t{input.byte()} : b;
        pastes = pastes || key == 22;
        queueKey(key);
    }
    // The pasteboard lives on the host's main thread: filled only when a key reads it.
    if (pastes)
        host::host().runOnMainSync([&] {
            host::host().pasteboardClear();
            if (pasteLength & 0x80) host::host().pasteboardSetText(pasteText);
        });
    // The decimal code entry waits for up to three more keys after the last one.
    for (int i = 0; i < 3; ++i) queueKey(0);

    fuzz::OutsideGuard guard(0);
    t_InputForm(0, prompt, defaultText, true, mode, maxCharacters);
    const bool startedEmpty = w.InputString.empty();
    checkField(w, mode, maxCharacters, startedEmpty);
    // A paste queues keys behind these; each pasted key is printable, so it ends too.
    int rounds = 0;
    while (t_EventAvailable()) {
        const int64_t key = t_GetEvent();
        t_InputEdit(0, key);
        checkField(w, mode, maxCharacters, startedEmpty);
        FUZZ_CHECK(++rounds < 100000);
    }
    t_InputEdit(0, 0);
    return 0;
}
