// What each menu action does is checked here; the Qt desktop suite only chooses items from
// the real menus and copies a window to the desktop's clipboard.
#include "input/menu_events.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "display/placement.h"
#include "input/entries.h"
#include "input/events.h"
#include "input/menu_actions.h"
#include "support/toolkit_fixture.h"

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

TEST_F(MenuEvents, ChoicesQueueAnEventAndOnlyThoseWithoutAnActionStartTheProgramsHandlerOnce) {
    std::atomic<int> runs{0};
    t_ProgramMenuHandler() = [&] { runs++; };
    LogCapture quiet;  // window 1 may not be set up yet
    // A tag the action table does not know (102) is the program's too.
    for (int64_t tag : {0, 102, 215, 216}) choose(tag, "Ö", host::modifier::control | host::modifier::shift);
    ASSERT_TRUE(waitUntil([&] { return runs == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<int64_t> actions;
    for (const t_MenuEvent& e : t_MenuEventQueue()) actions.push_back(e.ItemAction);
    const t_MenuEvent e = t_MenuEventQueue().front();
    EXPECT_EQ(std::tuple(runs.load(), actions, e.Kind, e.ItemKeyAsc, e.ItemKeyMods, e.Time > 0),
              std::tuple(2, std::vector<int64_t>{0, 102, 215, 216}, 3, 0xD6,
                         host::modifier::control | host::modifier::shift, true));
}

TEST_F(MenuEvents, ActionsShowAndHideWindowsClearThePrinterAndTheConsoleCopyAndRunAction113) {
    // A window that is not set up is reported with the alert.
    ASSERT_FALSE(kt::windowRecord(7).Initialized.load());
    const int alerts = headless().alerts();
    LogCapture log;
    choose(227);
    choose(228);
    EXPECT_EQ(
        std::tuple(log.text(), headless().alerts(), shown(7), t_MenuEventQueue().size()),
        std::tuple("t_MenuEventHandler: Window #7 not initialized.\nt_MenuEventHandler: Window #7 not initialized.\n",
                   alerts + 2, false, 2u));
    // Side, preferences and main windows, each shown and hidden by its pair of codes.
    const int pairs[][3] = {{209, 210, 9}, {211, 212, 8}, {229, 230, 10}, {207, 208, 11}, {205, 206, 12}};
    for (const auto& [showTag, hideTag, window] : pairs) {
        choose(showTag);
        EXPECT_EQ(std::tuple(shown(window), t_MainWindowNumber()), std::tuple(true, window));
        choose(hideTag);
        EXPECT_FALSE(shown(window)) << window;
    }
    // 200 hides every window.
    for (int64_t tag : {229, 205, 200}) choose(tag);
    for (int window = 0; window <= 12; ++window) EXPECT_FALSE(shown(window)) << window;
    EXPECT_EQ(std::tuple(t_MainWindowNumber(), kt::windowRecord(0).Visible.load(), t_MenuEventQueue().size()),
              std::tuple(255, false, 15u));
    t_WindowFront(0);

    // Clearing empties the printer or the console, also when it is empty already.
    for (int window : {9, 10}) headless().runOnMainSync([&] { headless().setTextViewText(window, "Text"); });
    kt::printerBuffer() = kt::consoleBuffer() = {"Text"};
    choose(112);
    EXPECT_EQ(std::tuple(headless().window(9).text, kt::printerBuffer().size(), headless().window(10).text),
              std::tuple("", 0u, "Text"));
    for (int twice = 0; twice < 2; ++twice) choose(114);
    EXPECT_EQ(std::tuple(headless().window(10).text, kt::consoleBuffer().size()), std::tuple("", 0u));
    // Without its text view the printer is reported; the event is queued all the same.
    headless().setWindowExists(9, false);
    LogCapture missing;
    choose(112);
    headless().setWindowExists(9, true);
    EXPECT_EQ(std::tuple(missing.text(), headless().alerts(), t_MenuEventQueue().size()),
              std::tuple("t_MenuEventHandler: Virtual printer window is nil, resource undefined.\n", alerts + 3, 19u));

    // Copying without a window, or a picture of no graphic window, and action 113 without one only alert.
    choose(200);
    choose(111);  // no window has the focus
    EXPECT_EQ(headless().alerts(), alerts + 4);
    // A picture is copied from a graphic window in its pixel size, the pasteboard cleared first.
    const t_Window& w = textWindow(2, 12, 3);
    focus(2);
    headless().runOnMainSync([] { headless().pasteboardSetText("alt"); });
    choose(110);
    const std::optional<host::Image> picture = headless().pasteboardImage();
    ASSERT_TRUE(picture);
    EXPECT_EQ(std::tuple(picture->width, picture->height, picture->pixels.size(), headless().pasteboardText()),
              std::tuple(w.Width, w.Height, static_cast<size_t>(w.Width * w.Height), std::nullopt));
    focus(9);
    choose(110);
    EXPECT_EQ(headless().alerts(), alerts + 5);

    // Action 113 runs the program's action only for a graphic window; otherwise the alert.
    std::atomic<int> runs{0};
    t_ProgramAction113() = [&] { runs++; };
    focus(0);
    choose(113);
    focus(10);
    choose(113);
    EXPECT_EQ(std::tuple(runs.load(), headless().alerts()), std::tuple(1, alerts + 6));
    for (uint8_t window : {2, 9, 10}) t_WindowVisible(window, false);
    focus(0);
}

TEST_F(MenuEvents, PanelActionsStoreThePathAndNameInTheirEntryAndScreenTextGetsLookAlikes) {
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
    EXPECT_EQ(std::tuple(actions[registered + 1].FilePath, actions[registered + 1].FileName,
                         headless().savePanelRequests().back().name),
              std::tuple("/tmp/ziel/neu.bin", "neu.bin", "daten.bin"));

    // Cancelling empties both.
    choose(7001);
    EXPECT_EQ(std::tuple(actions[registered].FilePath, actions[registered].FileName, t_MenuEventQueue().size()),
              std::tuple("", "", 3u));
    actions.resize(registered);

    // Graphic characters of a screen become look-alikes on the pasteboard, others stay.
    EXPECT_EQ(t_ScreenTextForPasteboard("\u007F\u0080\u0086\u009F Gr\u00FC\u00DFe\r\u00FF"), "#*+= Grüße\r\u00FF");
}
