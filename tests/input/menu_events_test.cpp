#include "input/menu_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "app/entries.h"
#include "app/log.h"
#include "display/window.h"
#include "host/placement.h"
#include "input/events.h"
#include "input/menu_items.h"
#include "support/toolkit_fixture.h"
#include "terminal/area.h"

using namespace testing_support;

namespace {

// A choice of an item with this tag, on the main thread as the hosts make it.
void choose(int64_t tag, const std::string& key = {}, uint64_t modifiers = 0) {
    host::MenuItem item{"Eintrag " + std::to_string(tag), key, modifiers, tag};
    headless().runOnMainSync([&] { t_MenuEventHandler("Menü", item); });
}

bool shown(int window) { return headless().window(window).shown; }

// Waits a little for a count that a worker raises.
bool reaches(const std::atomic<int>& count, int value) {
    for (int i = 0; i < 200 && count.load() < value; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return count.load() == value;
}

// Shows `window` and gives it the focus.
void focus(uint8_t window) {
    headless().runOnMainSync([&] { t_WindowFront(window); });
}

struct MenuEvents : ::testing::Test {
    void SetUp() override {
        textWindow(0);
        kt::menuQueue().clear();
        t_ProgramMenuHandler() = [] {};
        t_ProgramAction113() = [] { host::host().playAlert(); };
    }
    void TearDown() override {
        t_ProgramMenuHandler() = [] {};
        t_ProgramAction113() = [] { host::host().playAlert(); };
        kt::menuQueue().clear();
    }
};

}  // namespace

TEST_F(MenuEvents, ChoicesWithoutAnActionQueueAnEventAndStartTheProgramsHandlerOnce) {
    std::atomic<int> runs{0};
    t_ProgramMenuHandler() = [&] { runs++; };
    choose(0, "Ö", host::modifier::control | host::modifier::shift);
    ASSERT_TRUE(reaches(runs, 1));
    std::vector<t_MenuEvent> events = t_MenuEventQueue();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(t_MenuEventAvailable());
    EXPECT_EQ(events[0].Kind, 3);
    EXPECT_EQ(events[0].MenuTitle, "Menü");
    EXPECT_EQ(events[0].ItemTitle, "Eintrag 0");
    EXPECT_EQ(events[0].ItemKeyChar, "Ö");
    EXPECT_EQ(events[0].ItemKeyAsc, 0xD6);
    EXPECT_EQ(events[0].ItemKeyMods, host::modifier::control | host::modifier::shift);
    EXPECT_EQ(events[0].ItemAction, 0);
    EXPECT_GT(events[0].Time, 0);

    // A tag the action table does not know is the program's too; a built-in one is not.
    choose(102);
    EXPECT_TRUE(reaches(runs, 2));
    {
        LogCapture quiet;  // window 1 may not be set up yet
        choose(215);
        choose(216);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(runs.load(), 2);
    events = t_MenuEventQueue();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[1].ItemAction, 102);
    EXPECT_EQ(events[2].ItemAction, 215);
    EXPECT_EQ(events[3].ItemAction, 216);
}

TEST_F(MenuEvents, ActionsShowAndHideTheGraphicAndTheSideWindows) {
    textWindow(1, 10, 5);
    t_WindowVisible(1, false);
    choose(215);
    EXPECT_TRUE(shown(1));
    EXPECT_TRUE(kt::windowRecord(1).Visible);
    EXPECT_EQ(t_MainWindowNumber(), 1);
    choose(216);
    EXPECT_FALSE(shown(1));
    EXPECT_FALSE(kt::windowRecord(1).Visible);

    // Side, preferences and main windows, each shown and hidden by its pair of codes.
    const int pairs[][3] = {{209, 210, 9}, {211, 212, 8}, {229, 230, 10}, {207, 208, 11}, {205, 206, 12}};
    for (const auto& [showTag, hideTag, window] : pairs) {
        choose(showTag);
        EXPECT_TRUE(shown(window)) << window;
        EXPECT_EQ(t_MainWindowNumber(), window);
        choose(hideTag);
        EXPECT_FALSE(shown(window)) << window;
    }

    // The pasteboard window shows the pasteboard's text each time it is shown.
    headless().runOnMainSync([] { headless().pasteboardSetText("erste"); });
    choose(211);
    EXPECT_EQ(headless().window(8).text, "erste");
    headless().runOnMainSync([] { headless().pasteboardSetText("zweite"); });
    EXPECT_EQ(headless().window(8).text, "erste");
    choose(211);
    EXPECT_EQ(headless().window(8).text, "zweite");

    // 201 hides the window with the focus; 200 hides every window.
    focus(9);
    choose(201);
    EXPECT_FALSE(shown(9));
    EXPECT_TRUE(shown(8));
    choose(209);
    choose(215);
    {
        LogCapture quiet;
        choose(200);
    }
    for (int window = 0; window <= 12; ++window) EXPECT_FALSE(shown(window)) << window;
    EXPECT_EQ(t_MainWindowNumber(), 255);
    EXPECT_FALSE(kt::windowRecord(0).Visible);
    EXPECT_EQ(t_MenuEventQueue().size(), 18u);
    t_WindowFront(0);
}

TEST_F(MenuEvents, AWindowThatIsNotSetUpIsReportedWithTheAlert) {
    ASSERT_FALSE(kt::windowRecord(7).Initialized);
    const int alerts = headless().alerts();
    LogCapture log;
    choose(227);
    choose(228);
    EXPECT_EQ(log.lines(), (std::vector<std::string>{"t_MenuEventHandler: Window #7 not initialized.",
                                                     "t_MenuEventHandler: Window #7 not initialized."}));
    EXPECT_EQ(headless().alerts(), alerts + 2);
    EXPECT_FALSE(shown(7));
    EXPECT_EQ(t_MenuEventQueue().size(), 2u);
}

TEST_F(MenuEvents, ClearingEmptiesThePrinterAndTheConsole) {
    headless().runOnMainSync([] {
        headless().setTextViewText(9, "gedruckt");
        headless().setTextViewText(10, "Konsole");
    });
    kt::printerBuffer() = {"gedruckt"};
    kt::consoleBuffer() = {"Konsole"};
    choose(112);
    EXPECT_EQ(headless().window(9).text, "");
    EXPECT_TRUE(kt::printerBuffer().empty());
    EXPECT_EQ(headless().window(10).text, "Konsole");
    choose(114);
    choose(114);  // already empty: stays so
    EXPECT_EQ(headless().window(10).text, "");
    EXPECT_TRUE(kt::consoleBuffer().empty());

    // Without its text view the printer is reported; the event is queued all the same.
    headless().setWindowExists(9, false);
    const int alerts = headless().alerts();
    LogCapture log;
    choose(112);
    headless().setWindowExists(9, true);
    EXPECT_EQ(log.lines(),
              std::vector<std::string>{"t_MenuEventHandler: Virtual printer window is nil, resource undefined."});
    EXPECT_EQ(headless().alerts(), alerts + 1);
    EXPECT_EQ(t_MenuEventQueue().size(), 4u);
}

TEST_F(MenuEvents, CopyingTextTakesTheScreenWithLookAlikesOrASideWindowsWholeText) {
    t_FullArea(0);
    t_ClearWindow();
    t_TextHline(0, 1, 1, 1, 'A');
    t_TextHline(0, 2, 2, 1, 138);
    t_TextHline(0, 3, 3, 1, 160);
    t_TextHline(0, 1, 2, 2, 140);
    focus(0);
    choose(111);
    EXPECT_EQ(headless().pasteboardText(), "A|\u02FD\r--");

    headless().runOnMainSync([] { headless().setTextViewText(10, "Zeile 1\nZeile 2"); });
    focus(10);
    choose(111);
    EXPECT_EQ(headless().pasteboardText(), "Zeile 1\nZeile 2");

    // The pasteboard window and no window at all have no text to copy: only the alert.
    for (uint8_t window : {uint8_t{8}, uint8_t{255}}) {
        if (window == 8)
            focus(8);
        else
            choose(200);
        const int alerts = headless().alerts();
        choose(111);
        EXPECT_EQ(headless().alerts(), alerts + 1) << int(window);
        EXPECT_EQ(headless().pasteboardText(), "Zeile 1\nZeile 2") << int(window);
    }
    focus(0);
}

TEST_F(MenuEvents, CopyingThePictureGivesTheWindowsPixelSize) {
    const t_Window& w = textWindow(2, 12, 3);
    focus(2);
    headless().runOnMainSync([] { headless().pasteboardSetText("alt"); });
    choose(110);
    const std::optional<host::Image> picture = headless().pasteboardImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, w.Width);
    EXPECT_EQ(picture->height, w.Height);
    EXPECT_EQ(picture->pixels.size(), static_cast<size_t>(w.Width * w.Height));
    EXPECT_EQ(headless().pasteboardText(), std::nullopt) << "the pasteboard is cleared first";

    focus(9);
    const int alerts = headless().alerts();
    choose(110);
    EXPECT_EQ(headless().alerts(), alerts + 1);
    t_WindowVisible(2, false);
    t_WindowVisible(9, false);
    focus(0);
}

TEST_F(MenuEvents, Action113RunsTheProgramsActionOnlyForAGraphicWindow) {
    std::atomic<int> runs{0};
    t_ProgramAction113() = [&] { runs++; };
    focus(0);
    choose(113);
    EXPECT_EQ(runs.load(), 1);
    focus(10);
    const int alerts = headless().alerts();
    choose(113);
    EXPECT_EQ(runs.load(), 1);
    EXPECT_EQ(headless().alerts(), alerts + 1);
    t_WindowVisible(10, false);

    // Its default is the alert.
    t_ProgramAction113() = [] { host::host().playAlert(); };
    focus(0);
    choose(113);
    EXPECT_EQ(headless().alerts(), alerts + 2);
}

TEST_F(MenuEvents, PanelActionsStoreThePathAndNameInTheirEntry) {
    auto& actions = t_MenuActions();
    const size_t registered = actions.size();
    actions.push_back({7001, 100, "Laden", "Welche Datei?", "", "bin,txt", ""});
    actions.push_back({7002, 101, "Sichern", "Wohin?", "daten.bin", "bin", ""});

    headless().prepareOpenPanel({"/tmp/ordner/probe.bin"});
    choose(7001);
    EXPECT_EQ(actions[registered].FilePath, "/tmp/ordner/probe.bin");
    EXPECT_EQ(actions[registered].FileName, "probe.bin");
    const host::OpenPanelRequest open = headless().openPanelRequests().back();
    EXPECT_EQ(open.title, "Laden");
    EXPECT_EQ(open.message, "Welche Datei?");
    EXPECT_EQ(open.fileTypes, (std::vector<std::string>{"bin", "txt"}));
    EXPECT_FALSE(open.multiple);
    EXPECT_TRUE(open.files);
    EXPECT_FALSE(open.folders);
    EXPECT_EQ(open.buttonText, "Öffnen");

    headless().prepareSavePanel("/tmp/ziel/neu.bin");
    choose(7002);
    EXPECT_EQ(actions[registered + 1].FilePath, "/tmp/ziel/neu.bin");
    EXPECT_EQ(actions[registered + 1].FileName, "neu.bin");
    const host::SavePanelRequest save = headless().savePanelRequests().back();
    EXPECT_EQ(save.name, "daten.bin");
    EXPECT_EQ(save.buttonText, "Sichern");
    EXPECT_EQ(save.nameLabel, "Sichern unter:");

    // Cancelling empties both.
    choose(7001);
    EXPECT_EQ(actions[registered].FilePath, "");
    EXPECT_EQ(actions[registered].FileName, "");
    EXPECT_EQ(t_MenuEventQueue().size(), 3u);
    actions.resize(registered);
}

TEST(ScreenTextForPasteboard, GraphicCharactersBecomeLookAlikes) {
    std::string codes;
    for (uint32_t c = 126; c <= 161; ++c) codes += kt::utf8Of(c);
    EXPECT_EQ(t_ScreenTextForPasteboard(codes), "~#*#<=>O++++||--++++++++++++--||+=\u02FD\u00A1");
    EXPECT_EQ(t_ScreenTextForPasteboard("Grüße\r\u00FF"), "Grüße\r\u00FF");
    EXPECT_EQ(t_ScreenTextForPasteboard(""), "");
}
