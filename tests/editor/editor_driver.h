// Driving the real editor from a test: it runs once per test program on the headless host,
// and keys and file requests reach it as the host would hand them over.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "app/utf8.h"
#include "editor/editor.h"
#include "input/entries.h"
#include "support/toolkit_fixture.h"

namespace editor_driver {

using Bytes = std::vector<uint8_t>;
using testing_support::headless;

constexpr uint64_t optionFlag = 1u << 19, shiftFlag = 1u << 17;

struct Input {
    int64_t key = 0;
    std::optional<std::string> file;         // a file-open request instead of a key
    uint64_t flags = 0;                      // the modifier keys held (Alt+Backspace undoes)
    int64_t keyCode = 200;                   // the key's place: 123 … 126 the arrows, 200 none
    std::optional<std::string> clipboard{};  // text put on the clipboard instead of a key
};

// Starts the editor once for the whole test program and takes it past its title screen.
inline void startEditor() {
    static bool started = [] {
        static std::FILE* nowhere = std::fopen("/dev/null", "w");
        kt::setLogStream(nowhere);
        startprocess(editor::mainProgram, app::programStackSize);
        EXPECT_TRUE(headless().waitUntilIdle());
        headless().deliver([] { viewKeyDown(0, {200, "x", 0}); });
        EXPECT_TRUE(headless().waitUntilIdle());
        return true;
    }();
    (void)started;
}

inline bool deliverToEditor(const Input& input) {
    if (input.clipboard) {
        headless().runOnMainSync([&] { headless().pasteboardSetText(*input.clipboard); });
        return true;
    }
    if (input.file)
        headless().deliver([path = *input.file] { f_FileEventHandler(path, 0); });
    else
        headless().deliver([k = input.key, flags = input.flags, code = input.keyCode] {
            viewKeyDown(0, {code, kt::utf8Of(static_cast<uint32_t>(k)), flags});
        });
    return headless().waitUntilIdle();
}

inline Bytes contentOf(document::Document& buffer) {
    Bytes bytes(static_cast<size_t>(buffer.size()));
    buffer.read(0, buffer.size(), bytes.data());
    return bytes;
}

}  // namespace editor_driver
