// The line editor fuzz target checks the field's limits and each mode's characters for any
// keys and pastes, and the editor's reference-model test (EditorModel.RandomKeysDoWhatThe
// ModelDoes) edits its fields of mode 0 with every editing key, at their limits and up to the
// last column: here the number modes, code entry, pasting, and what the form shows.
#include "input/line_editor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "input/entries.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"
#include "terminal/cursor.h"

using namespace testing_support;

namespace {

constexpr int64_t returnKey = 13, escapeKey = 27;
// The euro sign as a field carries it.
const std::string euroGroup = std::string("\x1B") + "20AC" + "\x1D";

// t_InputForm in window 0 on a program thread of its own, typed into from the test thread through the
// host's main thread, as a user would.
class Form {
public:
    Form(std::string prompt, std::string defaultText, int64_t mode, int64_t maxCharacters) {
        kt::keyQueue().clear();
        thread_ = std::thread([=, this] { result_ = t_InputForm(0, prompt, defaultText, false, mode, maxCharacters); });
        type({});
    }
    ~Form() {
        if (thread_.joinable()) finish(escapeKey);
    }
    // Queues the keys in one go and waits until the form waits for more.
    void type(const std::vector<int64_t>& keys) {
        headless().deliver([keys] { std::for_each(keys.begin(), keys.end(), queueKey); });
        ASSERT_TRUE(headless().waitUntilIdle(std::chrono::seconds(5))) << "the form stopped waiting for keys";
    }
    // The key that ends the input; the form's result.
    std::string finish(int64_t key) {
        headless().deliver([&] { queueKey(key); });
        thread_.join();
        return result_;
    }

private:
    std::thread thread_;
    std::string result_;
};

// The field set up as t_InputForm leaves it, for driving t_InputEdit directly.
t_Window& field(const std::string& defaultText, int64_t mode = 0, int64_t maxCharacters = 40) {
    t_Window& w = textWindow();
    t_Vtab(0, 5);
    t_InputForm(0, "", defaultText, true, mode, maxCharacters);
    return w;
}

void editText(const std::string& text) {
    for (char c : text) t_InputEdit(0, static_cast<unsigned char>(c));
}

}  // namespace

TEST(LineEditor, TheFormShowsTheCursorTakesTypedAheadKeysCodeEntriesPastesAndRefusesUnusableWindows) {
    t_Window& w = textWindow();
    t_Vtab(0, 3);
    {
        Form form("Name: ", "abc", 0, 20);
        // The cursor is shown at the end of the field while the form waits.
        EXPECT_EQ(std::tuple(screenLine(0, 3), w.InputHpos, w.TextCursorLevel, cellColour(0, 10, 3)),
                  std::tuple("Name: abc", 7, 1, static_cast<uint8_t>((w.TextColor << 4) | (w.TextColor >> 4))));
        form.type({127, 'X'});
        EXPECT_EQ(form.finish(returnKey), "abX");
        EXPECT_EQ(std::tuple(w.InputFinished, w.TextCursorLevel, cursorOf(w)),
                  std::tuple(true, 0, std::pair<int64_t, int64_t>(1, 4)));
    }
    {
        Form form("? ", "vorgabe", 0, 20);
        form.type({'x', 'y'});
        EXPECT_EQ(form.finish(escapeKey), "");
        EXPECT_EQ(std::tuple(w.InputFinished, w.InputString, screenLine(0, 4), w.TextVpos),
                  std::tuple(false, "", "?", 5));
    }
    Form form("", "", 0, 20);
    form.type({'a', 'b', 19});  // Control-S among them
    EXPECT_EQ(std::tuple(w.InputString, w.InputCursorPos), std::tuple("ab", 0));
    form.type({'c'});
    EXPECT_EQ(form.finish(returnKey), "cab");

    // Decimal code entry, and pastes taking the first line as text.
    textWindow();
    {
        Form form("", "", 0, 20);
        // A return ends the entry, not the input; control codes are no text in mode 0, nor is 256.
        form.type({30, '6', '5', returnKey, 30, '7', returnKey, 30, 'x', 30, '2', '5', '6', 30, '0', '9', '7', 'b'});
        EXPECT_EQ(form.finish(returnKey), "Aab");
    }
    {
        // In mode 1 control codes go in: here the escape group of the euro sign.
        Form form("", "", 1, 20);
        form.type({30, '2', '7', 'x', '2', '0', 'A', 'C', 30, '2', '9', 'x', 30, '1', returnKey});
        // The first input ended on line 1.
        EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 2), cellColour(0, 1, 2) >> 4),
                  std::tuple(euroGroup + "\x01", "[20AC]A", 1));
        form.type({12});
        EXPECT_EQ(headless().pasteboardText(), "\u20AC\x01");
    }
    {
        Form form("", "", 0, 40);
        headless().runOnMainSync([] { host::host().pasteboardSetText("erste\nzweite"); });
        form.type({22});
        EXPECT_EQ(std::tuple(w.InputString, w.InputFinished), std::tuple("erste", false));
        // A character above 255 comes in as its escape group; control codes stay out, so
        // a pasted Escape neither ends the input nor leaves keys to the program.
        headless().runOnMainSync([] { host::host().pasteboardSetText("x\u20AC\x1B\x16y\r\nz"); });
        form.type({22});
        EXPECT_EQ(std::tuple(w.InputString, kt::keyQueue().size()), std::tuple("erstex" + euroGroup + "y", 0u));
        form.type({12});
        EXPECT_EQ(headless().pasteboardText(), "erstex\u20ACy");
    }

    // Unusable windows are reported.
    LogCapture log;
    EXPECT_EQ(t_InputForm(8, "", "x", false, 0, 5), "");
    t_InputEdit(9, 'a');
    t_InputInsert(6, 'a');
    EXPECT_EQ(log.text(),
              "t_InputForm: Window is not a graphic window.\nt_InputEdit: Window is not a graphic window.\n"
              "t_InputInsert: Window #6 not initialized.\n");
    EXPECT_EQ(t_InputForm("", "vorgabe", true, 0, 3), "vor");  // the default window, 0
}

TEST(LineEditor, NumberModesTheAreasLastColumnAndControlCodes) {
    t_Window& w = textWindow();
    // Mode, keys, then the text.
    const std::tuple<int64_t, const char*, const char*> cases[] = {
        {3, "1.5E-3.x,e-", "1,5e-3"}, {2, "-5-x", "-5"}, {4, "-1-2-", "1-2"}};
    for (auto [mode, keys, text] : cases) {
        field("", mode);
        editText(keys);
        EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 5)), std::tuple(text, text)) << keys;
    }

    t_Area(0, 1, 1, 40, 25);
    t_Htab(0, 36);
    t_InputForm(0, "", "", true, 0, 100);
    editText("abcdef");
    EXPECT_EQ(w.InputString, "abcd");
    t_FullArea(0);

    field("", 0, 5);
    t_InputInsert(0, 0x20AC);   // a group of six codes does not fit into five
    t_InputInsert(0, 0x1F600);  // nor does a character that four digits can't name
    t_InputInsert(0, 0);        // code 0 is never text
    t_InputInsert(0, 7);
    EXPECT_EQ(w.InputString, "\a");

    // A default holding a carriage return stays on the field's line instead of breaking it.
    field("a\rb");
    EXPECT_EQ(std::tuple(screenLine(0, 5), w.TextDisplayMode, w.InputCursorPos, cellColour(0, 2, 5) >> 4,
                         cellColour(0, 1, 5)),
              std::tuple("aMb", 0, 3, 1, w.TextColor));
}
