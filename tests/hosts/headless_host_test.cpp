#include "hosts/headless/headless_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <tuple>

#include "hosts/shared/folders.h"
#include "hosts/headless/script_runner.h"
#include "hosts/shared/requests.h"
#include "input/events.h"
#include "input/file_events.h"
#include "support/toolkit_fixture.h"

using testing_support::headless;

// Work handed to the main thread runs there, nested calls inline, the asynchronous in order
// (that the main thread is thread 1 is checked with the start); windows 0 to 12 exist, only the
// graphic ones have a view and the side windows a text view. (The windows' frames, titles,
// visibility and focus are checked through the toolkit's placement operations.)
TEST(HeadlessHost, WorkRunsOnTheMainThreadInOrderAndNestsInline) {
    auto& h = headless();
    EXPECT_FALSE(h.isMainThread());
    bool nestedOnMain = false;
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) h.runOnMainAsync([&order, i] { order.push_back(i); });
    h.runOnMainSync([&] { h.runOnMainSync([&] { nestedOnMain = h.isMainThread(); }); });
    EXPECT_TRUE(nestedOnMain);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(std::tuple(h.hasView(7), h.hasView(8), h.hasTextView(9), h.hasWindow(12), h.hasWindow(13)),
              std::tuple(true, false, true, true, false));
}

TEST(HostFolders, UserFoldersComeFromTheXdgFileOrTheHomeFolder) {
    // The file's folder, with $HOME in it; a folder it lacks: the home folder's default.
    testing_support::TempFolder home;
    std::vector<std::pair<const char*, std::optional<std::string>>> old;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME"}) {
        old.emplace_back(name, getenv(name) ? std::optional<std::string>(getenv(name)) : std::nullopt);
        setenv(name, home.path().c_str(), 1);
    }
    const std::string line = "XDG_DOWNLOAD_DIR=\"$HOME/Ladungen\"\n";
    testing_support::writeFile(home.file("user-dirs.dirs"), {line.begin(), line.end()});
    EXPECT_EQ(host::userFolder(host::Folder::Downloads), home.path() + "/Ladungen");
    EXPECT_EQ(host::userFolder(host::Folder::Movies), home.path() + "/Videos");
    for (const auto& [name, value] : old) value ? setenv(name, value->c_str(), 1) : unsetenv(name);
}

// The menu items that are the editor's commands reach the program as its keys; the help is
// the host's; keys with Control and Shift that are no shortcut stay keys. (Neu, the about
// screen, Open by its shortcut, Save As and cancelled panels are run by the end-to-end script
// of the menus.)
TEST(HeadlessHost, MenuChoicesGiveTheProgramItsKeys) {
    auto& h = headless();
    testing_support::textWindow(0);
    kt::keyQueue().clear();
    const int helped = h.helpShown();
    const std::pair<const char*, const char*> choices[] = {{"Bearbeiten", "Widerrufen"},
                                                           {"Bearbeiten", "Wiederholen"},
                                                           {"Ostrakonix", "Ostrakonix beenden"},
                                                           {"Hilfe", "Ostrakonix-Hilfe"}};
    for (const auto& [menu, item] : choices) EXPECT_TRUE(h.chooseMenu(menu, item)) << item;
    EXPECT_FALSE(h.chooseMenu("Ablage", "Drucken"));
    EXPECT_EQ(h.helpShown(), helped + 1);
    using Key = std::tuple<int64_t, bool, bool, bool>;  // value, control, option, shift
    std::vector<Key> keys;
    for (const t_Event& e : t_EventQueue())
        keys.emplace_back(e.Value, e.ControlPressed, e.OptionPressed, e.ShiftPressed);
    EXPECT_EQ(keys, (std::vector<Key>{{127, false, true, false}, {127, false, true, true}, {17, true, false, false}}));
    kt::keyQueue().clear();

    host::KeyEvent key;
    ASSERT_TRUE(host::scriptKey("Ctrl+Shift+K", key));
    EXPECT_EQ(h.menuShortcut(key), std::nullopt);
    const uint64_t shift = host::modifier::shift, control = host::modifier::control, option = host::modifier::option;
    EXPECT_EQ(std::tie(key.characters, key.modifierFlags), std::tuple(std::string("\x0b"), control | shift));
    ASSERT_TRUE(host::scriptKey("Shift+Alt+Backspace", key));
    EXPECT_EQ(std::tie(key.keyCode, key.characters, key.modifierFlags),
              std::tuple(int64_t{51}, "\x7f", shift | option));
    EXPECT_FALSE(host::scriptKey("Alt+", key));
}

// A file named on the command line: a new name in a folder that exists is a new file (the
// end-to-end script of a new file runs it); an existing name, a name in a missing folder, a
// folder and no name are opened as before.
TEST(HostRequests, ANewNameInAnExistingFolderIsANewFile) {
    testing_support::TempFolder folder;
    testing_support::writeFile(folder.file("da.bin"), {1});
    const std::pair<std::string, int64_t> cases[] = {{folder.file("neu.bin"), fileRequest::create},
                                                     {folder.file("da.bin"), fileRequest::open},
                                                     {folder.file("fehlt/neu.bin"), fileRequest::open},
                                                     {folder.path(), fileRequest::open},
                                                     {"", fileRequest::open}};
    for (const auto& [path, request] : cases) EXPECT_EQ(host::commandLineRequest(path), request) << path;
}
