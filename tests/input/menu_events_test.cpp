#include "input/menu_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <tuple>

#include "display/placement.h"
#include "display/window.h"
#include "input/entries.h"
#include "input/events.h"
#include "input/menu_actions.h"
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

// Shows `window` and gives it the focus.
void focus(uint8_t window) {
    headless().runOnMainSync([&] { t_WindowFront(window); });
}

struct MenuEvents : ::testing::Test {
    void SetUp() override {
        textWindow(0);
        TearDown();
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
    ASSERT_TRUE(waitUntil([&] { return runs == 1; }));
    std::vector<t_MenuEvent> events = t_MenuEventQueue();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(t_MenuEventAvailable());
    const t_MenuEvent& e = events[0];
    EXPECT_EQ(std::tuple(e.Kind, e.MenuTitle, e.ItemTitle, e.ItemKeyChar, e.ItemKeyAsc, e.ItemKeyMods, e.ItemAction),
              std::tuple(3, "Menü", "Eintrag 0", "Ö", 0xD6, host::modifier::control | host::modifier::shift, 0));
    EXPECT_GT(e.Time, 0);

    // A tag the action table does not know is the program's too; a built-in one is not.
    choose(102);
    EXPECT_TRUE(waitUntil([&] { return runs == 2; }));
    LogCapture quiet;  // window 1 may not be set up yet
    choose(215);
    choose(216);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(runs.load(), 2);
    events = t_MenuEventQueue();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(std::tuple(events[1].ItemAction, events[2].ItemAction, events[3].ItemAction), std::tuple(102, 215, 216));
}

TEST_F(MenuEvents, ActionsShowAndHideTheGraphicAndTheSideWindows) {
    // A window that is not set up is reported with the alert.
    ASSERT_FALSE(kt::windowRecord(7).Initialized.load());
    const int alerts = headless().alerts();
    LogCapture log;
    choose(227);
    choose(228);
    EXPECT_EQ(log.text(),
              "t_MenuEventHandler: Window #7 not initialized.\nt_MenuEventHandler: Window #7 not initialized.\n");
    EXPECT_EQ(std::tuple(headless().alerts(), shown(7), t_MenuEventQueue().size()), std::tuple(alerts + 2, false, 2u));

    textWindow(1, 10, 5);
    t_WindowVisible(1, false);
    choose(215);
    EXPECT_EQ(std::tuple(shown(1), kt::windowRecord(1).Visible.load(), t_MainWindowNumber()),
              std::tuple(true, true, 1));
    choose(216);
    EXPECT_FALSE(shown(1) || kt::windowRecord(1).Visible);

    // Side, preferences and main windows, each shown and hidden by its pair of codes.
    const int pairs[][3] = {{209, 210, 9}, {211, 212, 8}, {229, 230, 10}, {207, 208, 11}, {205, 206, 12}};
    for (const auto& [showTag, hideTag, window] : pairs) {
        choose(showTag);
        EXPECT_EQ(std::tuple(shown(window), t_MainWindowNumber()), std::tuple(true, window));
        choose(hideTag);
        EXPECT_FALSE(shown(window)) << window;
    }

    // 201 hides the window with the focus; 200 hides every window.
    focus(9);
    choose(201);
    EXPECT_EQ(std::tuple(shown(9), shown(0)), std::tuple(false, true));
    choose(209);
    choose(215);
    choose(200);
    for (int window = 0; window <= 12; ++window) EXPECT_FALSE(shown(window)) << window;
    EXPECT_EQ(std::tuple(t_MainWindowNumber(), kt::windowRecord(0).Visible.load(), t_MenuEventQueue().size()),
              std::tuple(255, false, 18u));
    t_WindowFront(0);
}

TEST_F(MenuEvents, ClearingEmptiesThePrinterAndTheConsole) {
    headless().runOnMainSync([] {
        headless().setTextViewText(9, "gedruckt");
        headless().setTextViewText(10, "Konsole");
    });
    kt::printerBuffer() = {"gedruckt"};
    kt::consoleBuffer() = {"Konsole"};
    choose(112);
    EXPECT_EQ(std::tuple(headless().window(9).text, kt::printerBuffer().size(), headless().window(10).text),
              std::tuple("", 0u, "Konsole"));
    choose(114);
    choose(114);  // already empty: stays so
    EXPECT_EQ(std::tuple(headless().window(10).text, kt::consoleBuffer().size()), std::tuple("", 0u));

    // Without its text view the printer is reported; the event is queued all the same.
    headless().setWindowExists(9, false);
    const int alerts = headless().alerts();
    LogCapture log;
    choose(112);
    headless().setWindowExists(9, true);
    EXPECT_EQ(log.text(), "t_MenuEventHandler: Virtual printer window is nil, resource undefined.\n");
    EXPECT_EQ(std::tuple(headless().alerts(), t_MenuEventQueue().size()), std::tuple(alerts + 1, 4u));
}

TEST_F(MenuEvents, CopyingAndAction113DependOnTheKindOfWindowWithTheFocus) {
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
    const int alerts = headless().alerts();
    focus(8);
    choose(111);
    EXPECT_EQ(std::tuple(headless().alerts(), headless().pasteboardText()), std::tuple(alerts + 1, "Zeile 1\nZeile 2"));
    choose(200);
    choose(111);
    EXPECT_EQ(std::tuple(headless().alerts(), headless().pasteboardText()), std::tuple(alerts + 2, "Zeile 1\nZeile 2"));

    // A picture is copied from a graphic window in its pixel size, and only from one.
    const t_Window& w = textWindow(2, 12, 3);
    focus(2);
    headless().runOnMainSync([] { headless().pasteboardSetText("alt"); });
    choose(110);
    const std::optional<host::Image> picture = headless().pasteboardImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(std::tuple(picture->width, picture->height, picture->pixels.size()),
              std::tuple(w.Width, w.Height, static_cast<size_t>(w.Width * w.Height)));
    EXPECT_EQ(headless().pasteboardText(), std::nullopt) << "the pasteboard is cleared first";

    focus(9);
    choose(110);
    EXPECT_EQ(headless().alerts(), alerts + 3);

    // Action 113 runs the program's action only for a graphic window; otherwise the alert.
    std::atomic<int> runs{0};
    t_ProgramAction113() = [&] { runs++; };
    focus(0);
    choose(113);
    EXPECT_EQ(runs.load(), 1);
    focus(10);
    choose(113);
    EXPECT_EQ(std::tuple(runs.load(), headless().alerts()), std::tuple(1, alerts + 4));
    for (uint8_t window : {2, 9, 10}) t_WindowVisible(window, false);
    focus(0);
}

TEST_F(MenuEvents, PanelActionsStoreThePathAndNameInTheirEntry) {
    auto& actions = t_MenuActions();
    const size_t registered = actions.size();
    actions.push_back({7001, 100, "Laden", "Welche Datei?", "", "bin,txt", ""});
    actions.push_back({7002, 101, "Sichern", "Wohin?", "daten.bin", "bin", ""});

    headless().prepareOpenPanel({"/tmp/ordner/probe.bin"});
    choose(7001);
    EXPECT_EQ(std::tuple(actions[registered].FilePath, actions[registered].FileName),
              std::tuple("/tmp/ordner/probe.bin", "probe.bin"));
    // The panel's own texts and the splitting of the types are the panel's; the entry gives the rest.
    const host::OpenPanelRequest open = headless().openPanelRequests().back();
    EXPECT_EQ(std::tuple(open.title, open.message, open.fileTypes.size(), open.multiple, open.files, open.folders),
              std::tuple("Laden", "Welche Datei?", 2u, false, true, false));

    headless().prepareSavePanel("/tmp/ziel/neu.bin");
    choose(7002);
    EXPECT_EQ(std::tuple(actions[registered + 1].FilePath, actions[registered + 1].FileName),
              std::tuple("/tmp/ziel/neu.bin", "neu.bin"));
    EXPECT_EQ(headless().savePanelRequests().back().name, "daten.bin");

    // Cancelling empties both.
    choose(7001);
    EXPECT_EQ(std::tuple(actions[registered].FilePath, actions[registered].FileName, t_MenuEventQueue().size()),
              std::tuple("", "", 3u));
    actions.resize(registered);
}

TEST(ScreenTextForPasteboard, GraphicCharactersBecomeLookAlikesAndOthersStay) {
    EXPECT_EQ(t_ScreenTextForPasteboard("\u007F\u0080\u0086\u009F Gr\u00FC\u00DFe\r\u00FF"), "#*+= Grüße\r\u00FF");
    EXPECT_EQ(t_ScreenTextForPasteboard(""), "");
}
