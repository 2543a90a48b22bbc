#include "files/browser.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "app/entries.h"
#include "display/window.h"
#include "files/catalog.h"
#include "files/fileio.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

namespace {

// The codes of cells from..to of window 0's line y, one character each.
std::string cells(int64_t y, int64_t from, int64_t to) {
    std::string out;
    for (int64_t x = from; x <= to; ++x) out += static_cast<char>(cellCode(0, x, y));
    return out;
}

std::string trimmed(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The browser runs on a program thread of its own; the test steps it through the headless
// host, which reports when the browser waits for input again.
class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = &textWindow();
        log_.emplace();
        kt::keyQueue().clear();
        kt::mouseQueue().clear();
        kt::fileQueue().clear();
        root_ = folder_.path() + "/";
        writeFile(root_ + "alpha.txt", {1});
        writeFile(root_ + "Beta.bin", {1, 2});
        for (int i = 0; i < 30; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "d%02d.dat", i);
            writeFile(root_ + name, {});
        }
        std::filesystem::create_directory(root_ + "Ordner");
        writeFile(root_ + "Ordner/innen.bin", {});
    }

    void TearDown() override {
        if (program_.joinable()) {
            sendKey(27);
            program_.join();
        }
    }

    void start(const std::string& path, uint16_t flags = 0, int64_t width = 80, int64_t rows = 14) {
        headless().deliver([] {});
        program_ =
            std::thread([=, this] { result_ = f_CatBrowser(0, path, "Datei laden", "", 8, rows, width, flags); });
        ASSERT_TRUE(headless().waitUntilIdle());
    }

    static void sendKey(int64_t value) {
        headless().deliver([value] {
            t_Event e;
            e.Kind = 1;
            e.Value = value;
            kt::keyQueue().append(e);
        });
    }

    void press(int64_t value) {
        sendKey(value);
        ASSERT_TRUE(headless().waitUntilIdle());
    }

    // A key that ends the browser; its result.
    std::string finish(int64_t value) {
        sendKey(value);
        program_.join();
        return result_;
    }

    std::string finishByClicks(int64_t column, int64_t row) {
        click(column, row, false);
        click(column, row, false);
        program_.join();
        return result_;
    }

    // A click in the middle of text cell (column, row) of window 0.
    void click(int64_t column, int64_t row, bool wait = true) {
        const t_Window& w = *window_;
        const host::MouseEvent e{
            static_cast<double>(w.BorderWidth + (column - 1) * w.Font.Width + w.Font.Width / 2),
            static_cast<double>(w.BorderHeight + w.Height - (row - 1) * w.Font.Height - w.Font.Height / 2), 1, 0};
        headless().deliver([e] { viewMouseDown(0, e, false); });
        if (wait) {
            ASSERT_TRUE(headless().waitUntilIdle());
        }
    }

    // The entry shown on list line i (from 0) and whether it is shown selected.
    std::string listLine(int64_t i) { return trimmed(cells(11 + i, 3, 51)); }
    bool inverse(int64_t i) { return cellColour(0, 3, 11 + i) != cellColour(0, 80, 11 + i); }

    std::optional<LogCapture> log_;
    TempFolder folder_;
    std::string root_;
    t_Window* window_ = nullptr;
    std::thread program_;
    std::string result_;
};

}  // namespace

TEST_F(Browser, ShowsTheFolderInAFramedBoxAndClearsItOnEscape) {
    start(root_);
    EXPECT_EQ(f_BrowseLeft(), 1);
    EXPECT_EQ(f_BrowseWidth(), 80);
    EXPECT_EQ(f_BrowseLastRow(), 25);
    EXPECT_EQ(cellCode(0, 1, 8), 139);
    EXPECT_EQ(cellCode(0, 80, 8), 138);
    EXPECT_NE(cells(8, 2, 79).find(" Datei laden "), std::string::npos);
    const std::string line9 = cells(9, 2, 79);
    const size_t at = line9.find(root_);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(at, (78 - root_.size()) / 2);  // centred
    EXPECT_NE(cells(10, 2, 79).find(" 33 Objekte "), std::string::npos);
    EXPECT_EQ(cells(11, 2, 78),
              " alpha.txt" + std::string(40, ' ') + "  TEXT     1 B   " + f_Catalog()[0].ModifiedStr.substr(0, 10));
    EXPECT_TRUE(inverse(0));
    EXPECT_FALSE(inverse(1));
    EXPECT_EQ(listLine(13), "d11.dat");
    EXPECT_EQ(f_CatSelected(), 0);
    EXPECT_EQ(finish(27), "");
    EXPECT_EQ(f_CatSelected(), -1);
    for (int64_t y = 8; y <= 25; ++y) EXPECT_EQ(screenLine(0, y), "") << y;
    EXPECT_EQ(window_->TextFirstLine, 1);
    EXPECT_EQ(window_->TextLastColumn, 80);
}

TEST_F(Browser, PagingAndSingleStepsKeepTheSelectionInView) {
    start(root_);
    press(3);  // page down
    EXPECT_EQ(f_CatSelected(), 14);
    EXPECT_EQ(f_BrowseTop(), 14);
    EXPECT_EQ(listLine(0), "d12.dat");
    EXPECT_TRUE(inverse(0));
    press(3);  // the next page would pass the end: the last page
    EXPECT_EQ(f_CatSelected(), 28);
    EXPECT_EQ(f_BrowseTop(), 19);
    EXPECT_TRUE(inverse(9));
    press(3);
    EXPECT_EQ(f_CatSelected(), 32);
    EXPECT_EQ(listLine(13), "Ordner");
    press(10);  // nothing below the last entry
    EXPECT_EQ(f_CatSelected(), 32);
    press(18);  // page up
    EXPECT_EQ(f_CatSelected(), 18);
    EXPECT_EQ(f_BrowseTop(), 5);
    press(2);
    EXPECT_EQ(f_CatSelected(), 0);
    EXPECT_EQ(f_BrowseTop(), 0);
    press(11);  // nothing above the first
    EXPECT_EQ(f_CatSelected(), 0);
    for (int i = 0; i < 14; ++i) press(10);
    EXPECT_EQ(f_CatSelected(), 14);
    EXPECT_EQ(f_BrowseTop(), 1);
    EXPECT_TRUE(inverse(13));
    press(5);
    EXPECT_EQ(f_CatSelected(), 32);
    EXPECT_EQ(f_BrowseTop(), 19);
    for (int i = 0; i < 14; ++i) press(11);
    EXPECT_EQ(f_CatSelected(), 18);
    EXPECT_EQ(f_BrowseTop(), 18);
    EXPECT_EQ(finish(13), root_ + "d16.dat");
}

TEST_F(Browser, TypeAheadFindsTheFirstNameFromALetterOn) {
    start(root_);
    press('e');  // nothing begins with e: the next name after it
    EXPECT_EQ(f_CatSelected(), 32);
    EXPECT_EQ(f_BrowseTop(), 19);
    press('B');
    EXPECT_EQ(f_CatSelected(), 1);
    EXPECT_EQ(f_BrowseTop(), 1);
    EXPECT_EQ(listLine(0), "Beta.bin");
    press('d');
    EXPECT_EQ(f_CatSelected(), 2);
    press('z');  // past every name: the last entry
    EXPECT_EQ(f_CatSelected(), 32);
    EXPECT_EQ(f_BrowseTop(), 19);
    sendKey('!');  // no meaning here
    EXPECT_TRUE(headless().waitUntilIdle());
    EXPECT_EQ(f_CatSelected(), 32);
    EXPECT_EQ(finish(27), "");
}

TEST_F(Browser, ReturnOpensFoldersAndControlHGoesBackUp) {
    start(root_);
    press('o');
    press(13);
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    EXPECT_EQ(f_CatCount(), 1);
    EXPECT_EQ(listLine(0), "innen.bin");
    EXPECT_NE(cells(10, 2, 79).find(" 1 Objekte "), std::string::npos);
    EXPECT_EQ(trimmed(cells(12, 2, 79)), "");
    press(8);
    EXPECT_EQ(f_CatFolder(), root_);
    EXPECT_EQ(f_CatCount(), 33);
    press('o');
    press(21);  // opens like Return
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    press(21);  // a file is never chosen with Control-U
    EXPECT_EQ(finish(13), root_ + "Ordner/innen.bin");
}

TEST_F(Browser, WithFlagBit0ReturnChoosesTheFolder) {
    start(root_, f_BrowseChooseFolders);
    press('o');
    EXPECT_EQ(finish(13), root_ + "Ordner/");
}

TEST_F(Browser, TheFolderLineGoesUpUntilTheRoot) {
    start(root_ + "Ordner");  // a start folder without its "/"
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    click(40, 9);
    EXPECT_EQ(f_CatFolder(), root_);
    EXPECT_EQ(finish(13), root_ + "alpha.txt");

    start("/");
    EXPECT_EQ(f_CatFolder(), "/");
    click(5, 9);
    EXPECT_EQ(f_CatFolder(), "/");
    press(8);
    EXPECT_EQ(f_CatFolder(), "/");
    EXPECT_GT(f_CatCount(), 0);
}

TEST_F(Browser, ASecondClickWithin250MillisecondsChooses) {
    start(root_);
    click(10, 12);  // Beta.bin
    EXPECT_EQ(f_CatSelected(), 1);
    EXPECT_TRUE(inverse(1));
    EXPECT_FALSE(inverse(0));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    click(10, 12);  // too late for a double click: selects again
    EXPECT_EQ(f_CatSelected(), 1);
    click(10, 24);  // the last list line
    EXPECT_EQ(f_CatSelected(), 13);
    click(10, 25);  // the bottom edge is no list line
    click(80, 13);  // nor is the frame
    EXPECT_EQ(f_CatSelected(), 13);
    EXPECT_EQ(finishByClicks(10, 11), root_ + "alpha.txt");
}

TEST_F(Browser, ADoubleClickOnAFolderOpensIt) {
    start(root_);
    press(5);
    click(20, 24);
    click(20, 24);
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    // The next click pairs with nothing from the folder before.
    click(20, 11);
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    EXPECT_EQ(f_CatSelected(), 0);
    EXPECT_EQ(finish(27), "");
}

TEST_F(Browser, AFileOpenedFromTheDesktopIsSelectedNotChosen) {
    start(root_);
    headless().deliver([this] { f_FileEventHandler(root_ + "Ordner/innen.bin", 0); });
    ASSERT_TRUE(headless().waitUntilIdle());
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    EXPECT_EQ(f_CatSelected(), 0);
    headless().deliver([this] { f_FileEventHandler(root_ + "d25.dat", 0); });
    ASSERT_TRUE(headless().waitUntilIdle());
    EXPECT_EQ(f_CatFolder(), root_);
    EXPECT_EQ(f_CatSelected(), 27);
    EXPECT_EQ(f_BrowseTop(), 19);  // scrolled into view
    EXPECT_TRUE(inverse(8));
    headless().deliver([this] { f_FileEventHandler(root_ + "fehlt", 0); });
    ASSERT_TRUE(headless().waitUntilIdle());
    EXPECT_EQ(f_CatSelected(), 27);
    EXPECT_EQ(finish(13), root_ + "d25.dat");
}

TEST_F(Browser, TheUsualFoldersAndTheDesktopAsStart) {
    // A home folder of our own that has a desktop folder.
    testing_support::TempFolder home;
    std::filesystem::create_directory(home.file("Desktop"));
    const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("none").c_str(), 1);
    struct Restore {
        std::string home;
        ~Restore() {
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
        }
    } restore{oldHome};
    f_BrowseDesktop().clear();  // taken afresh from this home
    start("");
    const std::string desktop = host::host().standardFolder(host::Folder::Desktop) + "/";
    EXPECT_EQ(f_CatFolder(), desktop);
    EXPECT_EQ(f_BrowseDesktop(), desktop);
    press(6);
    EXPECT_EQ(f_CatFolder(), host::host().standardFolder(host::Folder::Documents) + "/");
    press(12);
    EXPECT_EQ(f_CatFolder(), host::host().standardFolder(host::Folder::Downloads) + "/");
    press(127);
    EXPECT_EQ(f_CatFolder(), f_HomeFolder());
    press(14);
    EXPECT_EQ(f_CatFolder(), desktop);
    kt::setVolumesFolder(root_);
    press(9);
    kt::setVolumesFolder("");
    EXPECT_EQ(f_CatFolder(), root_);
    EXPECT_EQ(f_CatCount(), 1);  // only the folder
    EXPECT_EQ(cells(11, 54, 57), "\x81\x83\x83\x84");
    EXPECT_EQ(finish(27), "");
}

TEST_F(Browser, WithoutADesktopFolderItStartsAtHome) {
    testing_support::TempFolder home;
    const std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("none").c_str(), 1);
    f_BrowseDesktop().clear();
    start("");
    EXPECT_EQ(f_CatFolder(), home.path() + "/");
    EXPECT_EQ(finish(27), "");
    setenv("HOME", oldHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Browser, OtherWidthsAndShowingWithoutWaiting) {
    EXPECT_EQ(f_CatBrowser(0, root_, "Liste", "", 3, 10, 50, f_BrowseNoWait), root_ + "alpha.txt");
    EXPECT_EQ(f_BrowseWidth(), 60);
    EXPECT_EQ(f_BrowseLeft(), 11);
    EXPECT_EQ(cellCode(0, 11, 3), 139);
    EXPECT_EQ(cellCode(0, 70, 3), 138);
    EXPECT_EQ(cellCode(0, 10, 5), ' ');
    EXPECT_EQ(cellCode(0, 71, 5), ' ');
    EXPECT_EQ(cells(6, 12, 68), f_CatStr(f_Catalog()[0], 60, false));
    EXPECT_EQ(window_->TextLastColumn, 80);

    log_.reset();
    textWindow();
    log_.emplace();
    EXPECT_EQ(f_CatBrowser(0, root_ + "Ordner/", "Liste", "", 20, 10, 40, f_BrowseNoWait), root_ + "Ordner/innen.bin");
    EXPECT_EQ(f_BrowseRows(), 2);  // cut at the window's last row
    EXPECT_EQ(f_BrowseLastRow(), 25);
    EXPECT_EQ(cells(23, 22, 58), " innen.bin       BIN    0 B  " + f_Catalog()[0].ModifiedStr.substr(0, 6) +
                                     f_Catalog()[0].ModifiedStr.substr(8, 2));

    // An empty folder: nothing to choose.
    std::filesystem::create_directory(root_ + "leer");
    EXPECT_EQ(f_CatBrowser(0, root_ + "leer/", "Liste", "", 3, 10, 60, f_BrowseNoWait), "");
    EXPECT_EQ(f_CatSelectedPath(), "");
}

TEST_F(Browser, ControlCharactersInNamesAreDrawnNotCarriedOut) {
    std::filesystem::remove_all(root_ + "Ordner");
    for (int i = 0; i < 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "d%02d.dat", i);
        std::filesystem::remove(root_ + name);
    }
    writeFile(root_ +
                  "form\x0C"
                  "feed",
              {});
    writeFile(root_ + "zeile\nneu", {});
    EXPECT_EQ(f_CatBrowser(0, root_, "Liste", "", 8, 14, 80, f_BrowseNoWait), root_ + "alpha.txt");
    EXPECT_EQ(cells(13, 3, 11),
              "form\x0C"
              "feed");
    EXPECT_EQ(cells(14, 3, 11), "zeile\rneu");
    EXPECT_NE(cells(9, 2, 79).find(root_), std::string::npos);
}
