#include "input/line_editor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <thread>
#include <tuple>

#include "display/window.h"
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

void setPasteboard(const std::string& text) {
    headless().runOnMainSync([&] { host::host().pasteboardSetText(text); });
}

// t_InputForm in window 0 on a program thread of its own, typed into from the test thread through the
// host's main thread, as a user would.
class Form {
public:
    Form(std::string prompt, std::string defaultText, int64_t mode, int64_t maxCharacters) {
        kt::keyQueue().clear();
        thread_ = std::thread([=, this] { result_ = t_InputForm(0, prompt, defaultText, false, mode, maxCharacters); });
        deliver([] {});
    }
    ~Form() {
        if (thread_.joinable()) finish(escapeKey);
    }
    // Queues the keys in one go and waits until the form waits for more.
    void type(std::initializer_list<int64_t> keys) {
        deliver([&] {
            for (int64_t key : keys) queueKey(key);
        });
    }
    void type(const std::string& text) {
        for (char c : text) type({static_cast<unsigned char>(c)});
    }
    void press(const host::KeyEvent& key) {
        deliver([&] { viewKeyDown(0, key); });
    }
    // The key that ends the input; the form's result.
    std::string finish(int64_t key) {
        headless().deliver([&] { queueKey(key); });
        thread_.join();
        return result_;
    }

private:
    static void deliver(const std::function<void()>& fn) {
        headless().deliver(fn);
        ASSERT_TRUE(headless().waitUntilIdle(std::chrono::seconds(5))) << "the form stopped waiting for keys";
    }
    std::thread thread_;
    std::string result_;
};

// The field set up as t_InputForm leaves it, for driving t_InputEdit directly.
t_Window& field(const std::string& defaultText, int64_t mode = 0, int64_t maxCharacters = 40, int64_t column = 1) {
    t_Window& w = textWindow();
    t_Htab(0, column);
    t_Vtab(0, 5);
    t_InputForm(0, "", defaultText, true, mode, maxCharacters);
    return w;
}

void editText(const std::string& text) {
    for (char c : text) t_InputEdit(0, static_cast<unsigned char>(c));
}

}  // namespace

TEST(LineEditor, EditsTheDefaultAndFinishesWithReturn) {
    t_Window& w = textWindow();
    t_Vtab(0, 3);
    Form form("Name: ", "abc", 0, 20);
    // The cursor is shown at the end of the field while the form waits.
    EXPECT_EQ(std::tuple(screenLine(0, 3), w.InputHpos, w.TextCursorLevel), std::tuple("Name: abc", 7, 1));
    EXPECT_EQ(cellColour(0, 10, 3), static_cast<uint8_t>((w.TextColor << 4) | (w.TextColor >> 4)));

    form.press({51, "\x7F", 0});  // backspace
    EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 3)), std::tuple("ab", "Name: ab"));
    form.press({115, "", 0});  // home
    form.type({127});          // backspace at the start changes nothing
    EXPECT_EQ(std::tuple(w.InputString, w.InputCursorPos), std::tuple("ab", 0));
    form.type("X");
    form.press({117, "", 0});  // forward delete
    EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 3)), std::tuple("Xb", "Name: Xb"));
    form.press({119, "", 0});                                     // end
    form.press({122, "\xEF\x9C\x84", host::modifier::function});  // F1, inserted as code 129
    form.press({123, "", 0});                                     // left arrow
    form.type("Z");
    EXPECT_EQ(std::tuple(w.InputString, cellCode(0, 9, 3), cellCode(0, 10, 3)), std::tuple("XbZ\u0081", 'Z', 129));
    EXPECT_EQ(form.finish(returnKey), "XbZ\u0081");
    EXPECT_EQ(std::tuple(w.InputFinished, w.TextCursorLevel, w.TextHpos, w.TextVpos), std::tuple(true, 0, 1, 4));
}

TEST(LineEditor, EscapeClearsTheFieldAndTypedAheadKeysAreKept) {
    t_Window& w = textWindow();
    {
        Form form("? ", "vorgabe", 0, 20);
        form.type("xy");
        EXPECT_EQ(screenLine(0, 1), "? vorgabexy");
        EXPECT_EQ(form.finish(escapeKey), "");
        EXPECT_EQ(std::tuple(w.InputFinished, w.InputString, screenLine(0, 1), w.TextVpos),
                  std::tuple(false, "", "?", 2));
    }
    Form form("", "", 0, 20);
    form.type({'a', 'b', 19});  // Control-S among them
    EXPECT_EQ(std::tuple(w.InputString, w.InputCursorPos), std::tuple("ab", 0));
    form.type("c");
    EXPECT_EQ(form.finish(returnKey), "cab");
}

TEST(LineEditor, NumberModesAndLimitsStopTheFieldAndControlCodesShowAsGlyphs) {
    t_Window& w = textWindow();
    // Mode, default, limit, start column, keys, then the text. From column 75 five columns are
    // left before column 80, which the text never reaches.
    const std::tuple<int64_t, const char*, int64_t, int64_t, const char*, const char*> cases[] = {
        {3, "", 40, 1, "1.5E-3.x,e-", "1,5e-3"}, {2, "", 40, 1, "-5-x", "-5"}, {4, "", 40, 1, "-1-2-", "1-2"},
        {0, "abcdef", 3, 1, "\bx", "abc"},       {0, "", 2, 1, "xyz", "xy"},   {0, "", 100, 75, "0123456789", "01234"}};
    for (auto [mode, defaultText, limit, column, keys, text] : cases) {
        field(defaultText, mode, limit, column);
        editText(keys);
        EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 5)), std::tuple(text, std::string(column - 1, ' ') + text))
            << keys;
    }
    EXPECT_EQ(std::tuple(cellCode(0, 79, 5), cellCode(0, 80, 5), w.TextVpos), std::tuple('4', ' ', 5));
    t_InputInsert(0, 0x20AC);  // no room for an escape group either
    EXPECT_EQ(w.InputString, "01234");

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
    EXPECT_EQ(std::tuple(screenLine(0, 5), w.TextDisplayMode, w.InputCursorPos), std::tuple("aMb", 0, 3));
    EXPECT_EQ(std::tuple(cellColour(0, 2, 5) >> 4, cellColour(0, 1, 5)), std::tuple(1, w.TextColor));
}

TEST(LineEditor, WordMotionCutAndClear) {
    t_Window& w = field("eins zwei drei");
    // Keys, then the text and the cursor position; 19 then 24 cuts everything before "drei".
    const char* all = "eins zwei drei";
    const std::tuple<std::vector<int64_t>, const char*, int64_t> steps[] = {
        {{19}, all, 10},    {{19}, all, 5},        {{19, 19}, all, 0},        {{4}, all, 5}, {{4, 4}, all, 14},
        {{4, 21}, all, 14}, {{19, 24}, "drei", 0}, {{5, 127, 2, 7}, "re", 0}, {{26}, "", 0}};
    for (const auto& [keys, text, position] : steps) {
        for (int64_t key : keys) t_InputEdit(0, key);
        EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 5), w.InputCursorPos), std::tuple(text, text, position))
            << keys.size() << " keys to " << position;
    }
    EXPECT_FALSE(w.InputFinished);
}

TEST(LineEditor, DecimalCodeEntry) {
    t_Window& w = textWindow();
    {
        Form form("", "", 0, 20);
        form.type({30, '6', '5', returnKey});  // the return ends the entry, not the input
        EXPECT_EQ(w.InputString, "A");
        form.type({30, '7', returnKey});  // control codes are no text in mode 0
        form.type({30, 'x', 30, '2', '5', '6'});
        EXPECT_EQ(w.InputString, "A");
        form.type({30, '0', '9', '7', 'b'});
        EXPECT_EQ(form.finish(returnKey), "Aab");
    }
    // In mode 1 control codes go in: here the escape group of the euro sign.
    Form form("", "", 1, 20);
    form.type({30, '2', '7', 'x'});
    form.type("20AC");
    form.type({30, '2', '9', 'x', 30, '1', returnKey});
    // The first input ended on line 1.
    EXPECT_EQ(std::tuple(w.InputString, screenLine(0, 2), cellColour(0, 1, 2) >> 4),
              std::tuple(euroGroup + "\x01", "[20AC]A", 1));
    form.type({12});
    EXPECT_EQ(headless().pasteboardText(), "\u20AC\x01");
    EXPECT_EQ(form.finish(returnKey), euroGroup + "\x01");
}

TEST(LineEditor, PasteTakesTheFirstLineAsText) {
    t_Window& w = textWindow();
    {
        Form form("", "", 0, 40);
        setPasteboard("erste\nzweite");
        form.type({22});
        EXPECT_EQ(std::tuple(w.InputString, w.InputFinished), std::tuple("erste", false));
        // A character above 255 comes in as its escape group; control codes stay out, so
        // a pasted Escape neither ends the input nor leaves keys to the program.
        setPasteboard("x\u20AC\x1B\x16y\r\nz");
        form.type({22});
        EXPECT_EQ(std::tuple(w.InputString, kt::keyQueue().size()), std::tuple("erstex" + euroGroup + "y", 0u));
        form.type({12});
        EXPECT_EQ(headless().pasteboardText(), "erstex\u20ACy");
        EXPECT_EQ(form.finish(returnKey), "erstex" + euroGroup + "y");
    }
    // The field's limit and a number mode apply to pasted text.
    const std::tuple<int64_t, int64_t, const char*, const char*> cases[] = {{0, 2, "lang", "la"},
                                                                            {2, 10, "1a2-3", "123"}};
    for (auto [mode, limit, text, result] : cases) {
        Form form("", "", mode, limit);
        setPasteboard(text);
        form.type({22});
        EXPECT_EQ(form.finish(returnKey), result) << text;
    }
}

TEST(LineEditor, UnusableWindowsAreReported) {
    textWindow();
    LogCapture log;
    EXPECT_EQ(t_InputForm(8, "", "x", false, 0, 5), "");
    t_InputEdit(9, 'a');
    t_InputInsert(6, 'a');
    EXPECT_EQ(log.text(),
              "t_InputForm: Window is not a graphic window.\nt_InputEdit: Window is not a graphic window.\n"
              "t_InputInsert: Window #6 not initialized.\n");
    EXPECT_EQ(t_InputForm("", "vorgabe", true, 0, 3), "vor");  // the default window, 0
}
