#include "files/browser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>

#include "display/window.h"
#include "files/catalog.h"
#include "files/fileio.h"
#include "input/entries.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

namespace {

// Entry i of the test folder: alpha.txt, Beta.bin, d00.dat … d29.dat, Ordner.
std::string entry(int64_t i) {
    if (i < 2 || i > 31) return i == 0 ? "alpha.txt" : i == 1 ? "Beta.bin" : "Ordner";
    char name[16];
    std::snprintf(name, sizeof name, "d%02d.dat", static_cast<int>(i - 2));
    return name;
}

// The browser runs on a program thread of its own; the test steps it through the headless
// host, which reports when the browser waits for input again.
class Browser : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = &textWindow();
        kt::keyQueue().clear();
        kt::mouseQueue().clear();
        kt::fileQueue().clear();
        root_ = folder_.path() + "/";
        writeFile(root_ + "alpha.txt", {1});
        writeFile(root_ + "Beta.bin", {1, 2});
        for (int i = 2; i < 32; ++i) writeFile(root_ + entry(i), {});
        std::filesystem::create_directory(root_ + "Ordner");
        writeFile(root_ + "Ordner/innen.bin", {});
    }

    void TearDown() override {
        if (program_.joinable()) finish(27);
    }

    void start(const std::string& path, uint16_t flags = 0, int64_t width = 80, int64_t rows = 14) {
        headless().deliver([] {});
        program_ =
            std::thread([=, this] { result_ = f_CatBrowser(0, path, "Datei laden", "", 8, rows, width, flags); });
        ASSERT_TRUE(headless().waitUntilIdle());
    }

    static void sendKey(int64_t value) {
        headless().deliver([value] { queueKey(value); });
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

    // A click in the middle of text cell (column, row) of window 0.
    void click(int64_t column, int64_t row, bool wait = true) {
        const t_Window& w = *window_;
        const host::MouseEvent e{
            static_cast<double>(w.BorderWidth + (column - 1) * w.Font.Width + w.Font.Width / 2),
            static_cast<double>(w.BorderHeight + w.Height - (row - 1) * w.Font.Height - w.Font.Height / 2), 1, 0};
        headless().deliver([e] { viewMouseDown(0, e, false); });
        EXPECT_TRUE(!wait || headless().waitUntilIdle());
    }

    void fileEvent(const std::string& path) {
        headless().deliver([path] { f_FileEventHandler(path, 0); });
        ASSERT_TRUE(headless().waitUntilIdle());
    }

    // The entry shown on list line i (from 0) and whether it is shown selected.
    std::string listLine(int64_t i) {
        std::string line = cells(0, 11 + i, 3, 51);
        return line.erase(line.find_last_not_of(' ') + 1);
    }
    bool inverse(int64_t i) { return cellColour(0, 3, 11 + i) != cellColour(0, 80, 11 + i); }

    LogCapture log_;
    TempFolder folder_;
    std::string root_;
    t_Window* window_ = nullptr;
    std::thread program_;
    std::string result_;
};

}  // namespace

TEST_F(Browser, ShowsTheFolderInAFramedBoxAndClearsItOnEscape) {
    start(root_);
    EXPECT_EQ(std::tuple(f_BrowseLeft(), f_BrowseWidth(), f_BrowseLastRow()), std::tuple(1, 80, 25));
    EXPECT_EQ(cells(0, 8, 1, 1) + cells(0, 8, 80, 80), "\x8B\x8A");
    EXPECT_THAT(cells(0, 8, 2, 79), testing::HasSubstr(" Datei laden "));
    EXPECT_EQ(cells(0, 9, 2, 79).find(root_), (78 - root_.size()) / 2);  // centred
    EXPECT_THAT(cells(0, 10, 2, 79), testing::HasSubstr(" 33 Objekte "));
    EXPECT_EQ(cells(0, 11, 2, 78),
              " alpha.txt" + std::string(40, ' ') + "  TEXT     1 B   " + f_Catalog()[0].ModifiedStr.substr(0, 10));
    EXPECT_EQ(std::tuple(inverse(0), inverse(1), listLine(13), f_CatSelected()), std::tuple(true, false, "d11.dat", 0));
    EXPECT_EQ(finish(27), "");
    EXPECT_EQ(f_CatSelected(), -1);
    for (int64_t y = 8; y <= 25; ++y) EXPECT_EQ(screenLine(0, y), "") << y;
    EXPECT_EQ(std::tuple(window_->TextFirstLine, window_->TextLastColumn), std::tuple(1, 80));
}

TEST_F(Browser, TypeAheadPagingAndSingleStepsKeepTheSelectionInView) {
    start(root_);
    // Each key pressed `times` times, then the selected entry and the entry on the first list line.
    // Type-ahead selects the first name from the letter on (for 'e' and 'z' the next name after
    // it); '!' means nothing; a page down (3) that would pass the end shows the last page.
    const struct {
        int64_t key, times, selected, top;
    } steps[] = {{'e', 1, 32, 19}, {'B', 1, 1, 1},  {'d', 1, 2, 2}, {'z', 1, 32, 19}, {'!', 1, 32, 19}, {2, 1, 0, 0},
                 {3, 1, 14, 14},   {3, 1, 28, 19},  {3, 1, 32, 19}, {10, 1, 32, 19},  {18, 1, 18, 5},   {2, 1, 0, 0},
                 {11, 1, 0, 0},    {10, 14, 14, 1}, {5, 1, 32, 19}, {11, 14, 18, 18}};
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "key " << s.key << " to entry " << s.selected);
        for (int64_t i = 0; i < s.times; ++i) press(s.key);
        EXPECT_EQ(std::tuple(f_CatSelected(), f_BrowseTop(), listLine(s.selected - s.top), inverse(s.selected - s.top)),
                  std::tuple(s.selected, s.top, entry(s.selected), true));
    }
    EXPECT_EQ(finish(13), root_ + "d16.dat");
}

TEST_F(Browser, ReturnOpensFoldersAndControlHOrTheFolderLineGoesBackUp) {
    start(root_);
    press('o');
    press(13);
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount(), listLine(0)), std::tuple(root_ + "Ordner/", 1, "innen.bin"));
    EXPECT_THAT(cells(0, 10, 2, 79), testing::HasSubstr(" 1 Objekte "));
    EXPECT_EQ(cells(0, 12, 2, 79), std::string(78, ' '));
    press(8);
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount()), std::tuple(root_, 33));
    press('o');
    press(21);  // opens like Return
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    press(21);  // a file is never chosen with Control-U
    EXPECT_EQ(finish(13), root_ + "Ordner/innen.bin");

    start(root_, f_BrowseChooseFolders);
    press('o');
    EXPECT_EQ(finish(13), root_ + "Ordner/");

    // A click on the folder line goes up, until the root.
    start(root_ + "Ordner");  // a start folder without its "/"
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    click(40, 9);
    EXPECT_EQ(f_CatFolder(), root_);
    EXPECT_EQ(finish(13), root_ + "alpha.txt");

    start("/");
    EXPECT_EQ(f_CatFolder(), "/");
    click(5, 9);
    press(8);
    EXPECT_EQ(f_CatFolder(), "/");
    EXPECT_GT(f_CatCount(), 0);
}

TEST_F(Browser, ASecondClickWithin250MillisecondsChoosesAFileOrOpensAFolder) {
    start(root_);
    click(10, 12);  // Beta.bin
    EXPECT_EQ(std::tuple(f_CatSelected(), inverse(1), inverse(0)), std::tuple(1, true, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    click(10, 12);  // too late for a double click: selects again
    EXPECT_EQ(std::tuple(f_CatSelected(), f_CatFolder()), std::tuple(1, root_));
    click(10, 24);  // the last list line
    EXPECT_EQ(f_CatSelected(), 13);
    click(10, 25);  // the bottom edge is no list line
    click(80, 13);  // nor is the frame
    EXPECT_EQ(f_CatSelected(), 13);
    click(10, 11, false);
    click(10, 11, false);
    program_.join();
    EXPECT_EQ(result_, root_ + "alpha.txt");

    start(root_);
    press(5);
    click(20, 24);
    click(20, 24);
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    click(20, 11);  // pairs with nothing from the folder before
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected()), std::tuple(root_ + "Ordner/", 0));
}

TEST_F(Browser, AFileOpenedFromTheDesktopIsSelectedNotChosen) {
    start(root_);
    fileEvent(root_ + "Ordner/innen.bin");
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected()), std::tuple(root_ + "Ordner/", 0));
    fileEvent(root_ + "d25.dat");  // scrolled into view
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected(), f_BrowseTop(), inverse(8)), std::tuple(root_, 27, 19, true));
    fileEvent(root_ + "fehlt");
    EXPECT_EQ(f_CatSelected(), 27);
    EXPECT_EQ(finish(13), root_ + "d25.dat");
}

TEST_F(Browser, StartsOnTheDesktopOrAtHomeAndKnowsTheUsualFolders) {
    // A home folder of our own, at first without a desktop folder.
    TempFolder home;
    struct Restore {
        std::string saved = getenv("HOME") ? getenv("HOME") : "";
        ~Restore() {
            setenv("HOME", saved.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
        }
    } restore;
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("none").c_str(), 1);
    f_BrowseDesktop().clear();  // taken afresh from this home
    start("");
    EXPECT_EQ(f_CatFolder(), home.path() + "/");
    EXPECT_EQ(finish(27), "");

    std::filesystem::create_directory(home.file("Desktop"));
    start("");
    const std::string desktop = host::host().standardFolder(host::Folder::Desktop) + "/";
    EXPECT_EQ(f_CatFolder(), desktop);
    EXPECT_EQ(f_BrowseDesktop(), desktop);
    const std::pair<int64_t, std::string> folders[] = {{6, host::host().standardFolder(host::Folder::Documents) + "/"},
                                                       {12, host::host().standardFolder(host::Folder::Downloads) + "/"},
                                                       {127, f_HomeFolder()},
                                                       {14, desktop}};
    for (const auto& [key, folder] : folders) {
        press(key);
        EXPECT_EQ(f_CatFolder(), folder) << key;
    }
    kt::setVolumesFolder(root_);
    press(9);
    kt::setVolumesFolder("");
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount()), std::tuple(root_, 1));  // only the folder
    EXPECT_EQ(cells(0, 11, 54, 57), "\x81\x83\x83\x84");
}

TEST_F(Browser, OtherWidthsShowingWithoutWaitingAndControlCharacters) {
    EXPECT_EQ(f_CatBrowser(0, root_, "Liste", "", 3, 10, 50, f_BrowseNoWait), root_ + "alpha.txt");
    EXPECT_EQ(std::tuple(f_BrowseWidth(), f_BrowseLeft()), std::tuple(60, 11));
    EXPECT_EQ(cells(0, 3, 11, 11) + cells(0, 3, 70, 70) + cells(0, 5, 10, 10) + cells(0, 5, 71, 71), "\x8B\x8A  ");
    EXPECT_EQ(cells(0, 6, 12, 68), f_CatStr(f_Catalog()[0], 60, false));
    EXPECT_EQ(window_->TextLastColumn, 80);

    textWindow();
    EXPECT_EQ(f_CatBrowser(0, root_ + "Ordner/", "Liste", "", 20, 10, 40, f_BrowseNoWait), root_ + "Ordner/innen.bin");
    EXPECT_EQ(std::tuple(f_BrowseRows(), f_BrowseLastRow()), std::tuple(2, 25));  // cut at the last row
    EXPECT_EQ(cells(0, 23, 22, 58), " innen.bin       BIN    0 B  " + f_Catalog()[0].ModifiedStr.substr(0, 6) +
                                        f_Catalog()[0].ModifiedStr.substr(8, 2));

    std::filesystem::create_directory(root_ + "leer");  // nothing to choose
    EXPECT_EQ(f_CatBrowser(0, root_ + "leer/", "Liste", "", 3, 10, 60, f_BrowseNoWait), "");
    EXPECT_EQ(f_CatSelectedPath(), "");

    // Control characters in names are drawn, not carried out.
    writeFile(root_ + "Ordner/form\ffeed", {});
    writeFile(root_ + "Ordner/zeile\nneu", {});
    EXPECT_EQ(f_CatBrowser(0, root_ + "Ordner/", "Liste", "", 8, 14, 80, f_BrowseNoWait), root_ + "Ordner/form\ffeed");
    EXPECT_EQ(cells(0, 11, 3, 11), "form\ffeed");
    EXPECT_EQ(cells(0, 13, 3, 11), "zeile\rneu");
    EXPECT_THAT(cells(0, 9, 2, 79), testing::HasSubstr(root_ + "Ordner/"));
}
