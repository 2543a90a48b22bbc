#include "input/line_editor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <initializer_list>
#include <thread>

#include "app/entries.h"
#include "display/window.h"
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

std::string pasteboard() {
    std::string text;
    headless().runOnMainSync([&] { text = host::host().pasteboardText().value_or("<none>"); });
    return text;
}

void queueKeys(std::initializer_list<int64_t> keys) {
    for (int64_t key : keys) {
        t_Event e;
        e.Kind = 1;
        e.Value = key;
        kt::keyQueue().append(e);
    }
}

// t_InputForm on a program thread of its own, typed into from the test thread through the
// host's main thread, as a user would.
class Form {
public:
    Form(uint8_t window, std::string prompt, std::string defaultText, int64_t mode, int64_t maxCharacters) {
        kt::keyQueue().clear();
        thread_ =
            std::thread([=, this] { result_ = t_InputForm(window, prompt, defaultText, false, mode, maxCharacters); });
        settle();
    }
    ~Form() {
        if (thread_.joinable()) finish(escapeKey);
    }
    // Queues the keys in one go and waits until the form waits for more.
    void type(std::initializer_list<int64_t> keys) {
        headless().deliver([&] { queueKeys(keys); });
        ASSERT_TRUE(headless().waitUntilIdle(std::chrono::seconds(5))) << "the form stopped waiting for keys";
    }
    void type(const std::string& text) {
        for (char c : text) type({static_cast<unsigned char>(c)});
    }
    void press(const host::KeyEvent& key) {
        headless().deliver([&] { viewKeyDown(0, key); });
        ASSERT_TRUE(headless().waitUntilIdle(std::chrono::seconds(5))) << "the form stopped waiting for keys";
    }
    // The key that ends the input; the form's result.
    std::string finish(int64_t key) {
        headless().deliver([&] { queueKeys({key}); });
        thread_.join();
        return result_;
    }

private:
    void settle() {
        headless().deliver([] {});
        ASSERT_TRUE(headless().waitUntilIdle(std::chrono::seconds(5)));
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

void edit(std::initializer_list<int64_t> keys) {
    for (int64_t key : keys) t_InputEdit(0, key);
}

}  // namespace

TEST(LineEditor, EditsTheDefaultAndFinishesWithReturn) {
    t_Window& w = textWindow();
    t_Vtab(0, 3);
    Form form(0, "Name: ", "abc", 0, 20);
    EXPECT_EQ(screenLine(0, 3), "Name: abc");
    EXPECT_EQ(w.InputHpos, 7);
    EXPECT_EQ(w.TextCursorLevel, 1);  // shown at the end of the field while waiting
    EXPECT_EQ(cellColour(0, 10, 3), static_cast<uint8_t>((w.TextColor << 4) | (w.TextColor >> 4)));

    form.press({51, "\x7F", 0});  // backspace
    EXPECT_EQ(w.InputString, "ab");
    EXPECT_EQ(screenLine(0, 3), "Name: ab");
    form.press({115, "", 0});  // home
    form.type({127});          // backspace at the start changes nothing
    EXPECT_EQ(w.InputString, "ab");
    EXPECT_EQ(w.InputCursorPos, 0);
    form.type("X");
    form.press({117, "", 0});  // forward delete
    EXPECT_EQ(w.InputString, "Xb");
    EXPECT_EQ(screenLine(0, 3), "Name: Xb");
    form.press({119, "", 0});                                     // end
    form.press({122, "\xEF\x9C\x84", host::modifier::function});  // F1, inserted as code 129
    form.press({123, "", 0});                                     // left arrow
    form.type("Z");
    EXPECT_EQ(w.InputString, "XbZ\u0081");
    EXPECT_EQ(cellCode(0, 9, 3), 'Z');
    EXPECT_EQ(cellCode(0, 10, 3), 129);
    EXPECT_EQ(form.finish(returnKey), "XbZ\u0081");
    EXPECT_TRUE(w.InputFinished);
    EXPECT_EQ(w.TextCursorLevel, 0);
    EXPECT_EQ(w.TextHpos, 1);
    EXPECT_EQ(w.TextVpos, 4);
}

TEST(LineEditor, EscapeClearsTheFieldAndReturnsNothing) {
    t_Window& w = textWindow();
    Form form(0, "? ", "vorgabe", 0, 20);
    form.type("xy");
    EXPECT_EQ(screenLine(0, 1), "? vorgabexy");
    EXPECT_EQ(form.finish(escapeKey), "");
    EXPECT_FALSE(w.InputFinished);
    EXPECT_EQ(w.InputString, "");
    EXPECT_EQ(screenLine(0, 1), "?");
    EXPECT_EQ(w.TextVpos, 2);
}

TEST(LineEditor, ControlCodesInTheFieldShowAsGlyphs) {
    // A default holding a carriage return stays on the field's line instead of breaking it.
    t_Window& w = field("a\rb");
    EXPECT_EQ(screenLine(0, 5), "aMb");
    EXPECT_EQ(cellColour(0, 2, 5) >> 4, 1);
    EXPECT_EQ(cellColour(0, 1, 5), w.TextColor);
    EXPECT_EQ(w.TextDisplayMode, 0);
    EXPECT_EQ(w.InputCursorPos, 3);
}

TEST(LineEditor, NumberModesAcceptTheirCharactersOnly) {
    t_Window& w = field("", 3);
    for (char c : std::string("1.5E-3.x,e-")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "1,5e-3");
    EXPECT_EQ(screenLine(0, 5), "1,5e-3");

    field("", 2);
    for (char c : std::string("-5-x")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "-5");

    field("", 4);
    for (char c : std::string("-1-2-")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "1-2");

    field("", 0);
    t_InputInsert(0, 0);  // code 0 is never text
    t_InputInsert(0, 7);
    EXPECT_EQ(w.InputString, "\a");
}

TEST(LineEditor, TheFieldStopsAtItsLimits) {
    t_Window& w = field("abcdef", 0, 3);
    EXPECT_EQ(w.InputString, "abc");
    EXPECT_EQ(screenLine(0, 5), "abc");
    edit({8, 'x'});
    EXPECT_EQ(w.InputString, "abc");

    field("", 0, 2);
    for (char c : std::string("xyz")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "xy");

    // Five columns are left before column 80, which the text never reaches.
    field("", 0, 100, 75);
    for (char c : std::string("0123456789")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "01234");
    EXPECT_EQ(cellCode(0, 79, 5), '4');
    EXPECT_EQ(cellCode(0, 80, 5), ' ');
    EXPECT_EQ(w.TextVpos, 5);
    t_InputInsert(0, 0x20AC);  // no room for an escape group either
    EXPECT_EQ(w.InputString, "01234");

    t_Area(0, 1, 1, 40, 25);
    t_Htab(0, 36);
    t_InputForm(0, "", "", true, 0, 100);
    for (char c : std::string("abcdef")) t_InputEdit(0, c);
    EXPECT_EQ(w.InputString, "abcd");
    t_FullArea(0);

    field("", 0, 5);
    t_InputInsert(0, 0x20AC);   // a group of six codes does not fit into five
    t_InputInsert(0, 0x1F600);  // nor does a character that four digits can't name
    EXPECT_EQ(w.InputString, "");
}

TEST(LineEditor, WordMotionCutAndClear) {
    t_Window& w = field("eins zwei drei");
    edit({19});
    EXPECT_EQ(w.InputCursorPos, 10);
    edit({19});
    EXPECT_EQ(w.InputCursorPos, 5);
    edit({19, 19});
    EXPECT_EQ(w.InputCursorPos, 0);
    edit({4});
    EXPECT_EQ(w.InputCursorPos, 5);
    edit({4, 4});
    EXPECT_EQ(w.InputCursorPos, 14);
    edit({4, 21});
    EXPECT_EQ(w.InputCursorPos, 14);

    edit({19, 24});  // cut everything before "drei"
    EXPECT_EQ(w.InputString, "drei");
    EXPECT_EQ(w.InputCursorPos, 0);
    EXPECT_EQ(screenLine(0, 5), "drei");
    edit({5, 127, 2, 7});
    EXPECT_EQ(w.InputString, "re");
    EXPECT_EQ(screenLine(0, 5), "re");
    edit({26});
    EXPECT_EQ(w.InputString, "");
    EXPECT_EQ(screenLine(0, 5), "");
    EXPECT_FALSE(w.InputFinished);
}

TEST(LineEditor, DecimalCodeEntry) {
    t_Window& w = textWindow();
    {
        Form form(0, "", "", 0, 20);
        form.type({30, '6', '5', returnKey});  // the return ends the entry, not the input
        EXPECT_EQ(w.InputString, "A");
        form.type({30, '7', returnKey});  // control codes are no text in mode 0
        form.type({30, 'x', 30, '2', '5', '6'});
        EXPECT_EQ(w.InputString, "A");
        form.type({30, '0', '9', '7', 'b'});
        EXPECT_EQ(form.finish(returnKey), "Aab");
    }
    {
        // In mode 1 control codes go in: here the escape group of the euro sign.
        Form form(0, "", "", 1, 20);
        form.type({30, '2', '7', 'x'});
        form.type("20AC");
        form.type({30, '2', '9', 'x', 30, '1', returnKey});
        EXPECT_EQ(w.InputString, euroGroup + "\x01");
        EXPECT_EQ(screenLine(0, 2), "[20AC]A");  // the first input ended on line 1
        EXPECT_EQ(cellColour(0, 1, 2) >> 4, 1);
        form.type({12});
        EXPECT_EQ(pasteboard(), "\u20AC\x01");
        EXPECT_EQ(form.finish(returnKey), euroGroup + "\x01");
    }
}

TEST(LineEditor, PasteTakesTheFirstLineAsText) {
    t_Window& w = textWindow();
    {
        Form form(0, "", "", 0, 40);
        setPasteboard("erste\nzweite");
        form.type({22});
        EXPECT_EQ(w.InputString, "erste");
        EXPECT_FALSE(w.InputFinished);
        // A character above 255 comes in as its escape group; control codes stay out, so
        // a pasted Escape neither ends the input nor leaves keys to the program.
        setPasteboard("x\u20AC\x1B\x16y\r\nz");
        form.type({22});
        EXPECT_EQ(w.InputString, "erstex" + euroGroup + "y");
        EXPECT_EQ(kt::keyQueue().size(), 0u);
        form.type({12});
        EXPECT_EQ(pasteboard(), "erstex\u20ACy");
        EXPECT_EQ(form.finish(returnKey), "erstex" + euroGroup + "y");
    }
    {
        Form form(0, "", "", 0, 2);
        setPasteboard("lang");
        form.type({22});
        EXPECT_EQ(form.finish(returnKey), "la");
    }
    {
        Form form(0, "", "", 2, 10);
        setPasteboard("1a2-3");
        form.type({22});
        EXPECT_EQ(form.finish(returnKey), "123");
    }
}

TEST(LineEditor, KeysTypedAheadOfControlSAreKept) {
    t_Window& w = textWindow();
    Form form(0, "", "", 0, 20);
    form.type({'a', 'b', 19});
    EXPECT_EQ(w.InputString, "ab");
    EXPECT_EQ(w.InputCursorPos, 0);
    form.type("c");
    EXPECT_EQ(form.finish(returnKey), "cab");
}

TEST(LineEditor, UnusableWindowsAreReported) {
    textWindow();
    LogCapture log;
    EXPECT_EQ(t_InputForm(8, "", "x", false, 0, 5), "");
    t_InputEdit(9, 'a');
    t_InputInsert(6, 'a');
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"t_InputForm: Window is not a graphic window.",
                                                     "t_InputEdit: Window is not a graphic window.",
                                                     "t_InputInsert: Window #6 not initialized."}));
    EXPECT_EQ(t_InputForm("", "vorgabe", true, 0, 3), "vor");  // the default window, 0
}
