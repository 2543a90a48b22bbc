#include "host/headless/headless_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>
#include <tuple>

#include "host/folders.h"
#include "host/headless/script_runner.h"
#include "host/requests.h"
#include "input/events.h"
#include "input/file_events.h"
#include "support/toolkit_fixture.h"

using testing_support::headless;

TEST(HeadlessHost, SynchronousWorkRunsOnTheMainThreadAndNestsInline) {
    auto& h = headless();
    EXPECT_FALSE(h.isMainThread());
    bool onMain = false, nestedOnMain = false;
    h.runOnMainSync([&] {
        onMain = h.isMainThread();
        h.runOnMainSync([&] { nestedOnMain = h.isMainThread(); });
    });
    EXPECT_TRUE(onMain);
    EXPECT_TRUE(nestedOnMain);
}

TEST(HeadlessHost, AsynchronousWorkRunsInOrderWithoutWaiting) {
    auto& h = headless();
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) h.runOnMainAsync([&order, i] { order.push_back(i); });
    h.runOnMainSync([] {});
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(HeadlessHost, WindowsKeepFrameTitleVisibilityAndFocus) {
    auto& h = headless();
    h.runOnMainSync([&] {
        h.setWindowFrame(3, {10, 20, 300, 200});
        h.setWindowTitle(3, "Ostrakonix");
        h.orderFront(3);
        h.makeKey(3);
    });
    auto state = h.window(3);
    EXPECT_EQ(state.frame.width, 300);
    EXPECT_EQ(state.title, "Ostrakonix");
    EXPECT_TRUE(state.shown);
    int key = 0;
    h.runOnMainSync([&] { key = h.mainWindowNumber(); });
    EXPECT_EQ(key, 3);
    h.runOnMainSync([&] { h.orderOut(3); });
    h.runOnMainSync([&] { key = h.mainWindowNumber(); });
    EXPECT_EQ(key, 255);
    EXPECT_FALSE(h.hasView(8));
    EXPECT_TRUE(h.hasTextView(9));
    EXPECT_FALSE(h.hasWindow(13));
}

TEST(HostFolders, UserFoldersComeFromTheXdgFileOrTheHomeFolder) {
    testing_support::TempFolder home;
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    const char* oldConfig = getenv("XDG_CONFIG_HOME");
    std::string savedConfig = oldConfig ? oldConfig : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    testing_support::writeFile(home.file("user-dirs.dirs"),
                               {std::begin("XDG_DOWNLOAD_DIR=\"$HOME/Ladungen\"\n"),
                                std::end("XDG_DOWNLOAD_DIR=\"$HOME/Ladungen\"\n") - 1});
    EXPECT_EQ(host::userFolder(host::Folder::Downloads), home.path() + "/Ladungen");
    EXPECT_EQ(host::userFolder(host::Folder::Desktop), home.path() + "/Desktop");
    EXPECT_EQ(host::userFolder(host::Folder::Movies), home.path() + "/Videos");
    setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig)
        setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
}

// The menu items that are the editor's commands reach the program as its keys and as file
// events; the help is the host's; a shortcut chooses its item.
TEST(HeadlessHost, MenuChoicesGiveTheProgramItsKeysAndFileEvents) {
    auto& h = headless();
    testing_support::textWindow(0);
    testing_support::TempFolder folder;
    kt::keyQueue().clear();
    kt::fileQueue().clear();
    h.prepareOpenPanel({folder.file("auf.bin")});
    h.prepareSavePanel(folder.file("unter.bin"));
    h.prepareOpenPanel({});
    h.prepareSavePanel("");
    const int helped = h.helpShown();
    const std::pair<const char*, const char*> choices[] = {
        {"Ablage", "Neu"},           {"Ostrakonix", "Über Ostrakonix"},    {"Bearbeiten", "Widerrufen"},
        {"Bearbeiten", "Wiederholen"}, {"Ostrakonix", "Ostrakonix beenden"}, {"Ablage", "Öffnen …"},
        {"Ablage", "Sichern unter …"}, {"Ablage", "Öffnen …"},                {"Ablage", "Sichern unter …"},
        {"Hilfe", "Ostrakonix-Hilfe"}};
    for (const auto& [menu, item] : choices) EXPECT_TRUE(h.chooseMenu(menu, item)) << item;
    EXPECT_FALSE(h.chooseMenu("Ablage", "Drucken"));
    EXPECT_EQ(h.helpShown(), helped + 1);

    using Key = std::tuple<int64_t, bool, bool, bool>;  // value, control, option, shift
    std::vector<Key> keys;
    for (const t_Event& e : t_EventQueue())
        keys.emplace_back(e.Value, e.ControlPressed, e.OptionPressed, e.ShiftPressed);
    EXPECT_EQ(keys, (std::vector<Key>{{24, true, false, false},
                                      {29, true, false, false},
                                      {127, false, true, false},
                                      {127, false, true, true},
                                      {17, true, false, false}}));
    // The cancelled panels hand nothing over.
    const std::vector<t_Event> files = t_FileEventQueue();
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(std::make_pair(files[0].Index, files[0].Description), std::make_pair(int64_t{0}, folder.file("auf.bin")));
    EXPECT_EQ(std::make_pair(files[1].Index, files[1].Description),
              std::make_pair(int64_t{1}, folder.file("unter.bin")));
    kt::keyQueue().clear();
    kt::fileQueue().clear();

    // Control with Shift and a letter is a shortcut where an item has it; the others, and
    // the modifier prefixes of scripts, are keys.
    host::KeyEvent key;
    ASSERT_TRUE(host::scriptKey("Ctrl+Shift+O", key));
    EXPECT_EQ(h.menuShortcut(key), std::make_pair(std::string("Ablage"), std::string("Öffnen …")));
    ASSERT_TRUE(host::scriptKey("Ctrl+Shift+K", key));
    EXPECT_EQ(h.menuShortcut(key), std::nullopt);
    EXPECT_EQ(std::tie(key.characters, key.modifierFlags),
              std::make_tuple(std::string("\x0b"), uint64_t(host::modifier::control | host::modifier::shift)));
    ASSERT_TRUE(host::scriptKey("Shift+Alt+Backspace", key));
    const uint64_t shiftAlt = host::modifier::shift | host::modifier::option;
    EXPECT_EQ(std::tie(key.keyCode, key.characters, key.modifierFlags),
              std::make_tuple(int64_t{51}, std::string("\x7f"), shiftAlt));
    EXPECT_FALSE(host::scriptKey("Alt+", key));
}

// A file named on the command line: a new name in a folder that exists is a new file; an
// existing name, a name in a missing folder and no name are opened as before.
TEST(HostRequests, ANewNameInAnExistingFolderIsANewFile) {
    testing_support::TempFolder folder;
    testing_support::writeFile(folder.file("da.bin"), {1});
    EXPECT_EQ(host::commandLineRequest(folder.file("neu.bin")), fileRequest::create);
    EXPECT_EQ(host::commandLineRequest(folder.file("da.bin")), fileRequest::open);
    EXPECT_EQ(host::commandLineRequest(folder.file("fehlt/neu.bin")), fileRequest::open);
    EXPECT_EQ(host::commandLineRequest(folder.path()), fileRequest::open);
    EXPECT_EQ(host::commandLineRequest(""), fileRequest::open);
}
