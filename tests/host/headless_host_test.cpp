#include "host/headless/headless_host.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <thread>

#include "host/folders.h"
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
