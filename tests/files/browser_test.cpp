// The editor's e2e load.script opens the browser with ^L in a home without a desktop folder,
// picks a file by its first letter and Return, and leaves the browser with Escape.
#include "files/browser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "files/catalog.h"
#include "input/entries.h"
#include "input/events.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

namespace {

// Entry i of the test folder: alpha.txt, Beta.bin, d00.dat … d29.dat, Ordner.
std::string entry(int64_t i) {
    if (i < 2 || i > 31) return i == 0 ? "alpha.txt" : i == 1 ? "Beta.bin" : "Ordner";
    return (i < 12 ? "d0" : "d") + std::to_string(i - 2) + ".dat";
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
        for (int i = 0; i < 32; ++i) writeFile(root_ + entry(i), std::vector<uint8_t>(i < 2 ? i + 1 : 0, 1));
        std::filesystem::create_directory(root_ + "Ordner");
        writeFile(root_ + "Ordner/innen.bin", {});
    }

    void TearDown() override {
        if (program_.joinable()) finish(27);
    }

    void start(const std::string& path, uint16_t flags = 0) {
        headless().deliver([] {});
        program_ = std::thread([=, this] { result_ = f_CatBrowser(0, path, "Datei laden", "", 8, 14, 80, flags); });
        ASSERT_TRUE(headless().waitUntilIdle());
    }

    // A key, a click in the middle of text cell (column, row) of window 0 or a file opened from
    // the desktop; then, unless told not to, wait until the browser waits again.
    void deliver(const std::function<void()>& event, bool wait = true) {
        headless().deliver(event);
        EXPECT_TRUE(!wait || headless().waitUntilIdle());
    }
    void press(int64_t value, bool wait = true) {
        deliver([value] { queueKey(value); }, wait);
    }
    void click(int64_t column, int64_t row, bool wait = true) {
        const t_Window& w = *window_;
        const host::MouseEvent e{
            static_cast<double>(w.BorderWidth + (column - 1) * w.Font.Width + w.Font.Width / 2),
            static_cast<double>(w.BorderHeight + w.Height - (row - 1) * w.Font.Height - w.Font.Height / 2), 1, 0};
        deliver([e] { viewMouseDown(0, e, false); }, wait);
    }
    // A key that ends the browser; its result.
    std::string finish(int64_t value) {
        press(value, false);
        program_.join();
        return result_;
    }

    // Whether list line i (from 0) is shown selected.
    bool inverse(int64_t i) { return cellColour(0, 3, 11 + i) != cellColour(0, 80, 11 + i); }

    LogCapture log_;
    TempFolder folder_;
    std::string root_;
    t_Window* window_ = nullptr;
    std::thread program_;
    std::string result_;
};

}  // namespace

TEST_F(Browser, ShowsTheFolderInAFramedBoxTypeAheadPagingAndStepsKeepTheSelectionInViewEscapeClears) {
    start(root_);
    EXPECT_EQ(std::tuple(f_BrowseLeft(), f_BrowseWidth(), f_BrowseLastRow()), std::tuple(1, 80, 25));
    EXPECT_THAT(cells(0, 8, 2, 79) + cells(0, 10, 2, 79),
                testing::AllOf(testing::HasSubstr(" Datei laden "), testing::HasSubstr(" 33 Objekte ")));
    EXPECT_EQ(cells(0, 9, 2, 79).find(root_), (78 - root_.size()) / 2);  // centred
    EXPECT_EQ(cells(0, 11, 2, 78),
              " alpha.txt" + std::string(40, ' ') + "  TEXT     1 B   " + f_Catalog()[0].ModifiedStr.substr(0, 10));
    EXPECT_EQ(std::tuple(inverse(0), inverse(1), cells(0, 24, 3, 9), f_CatSelected()),
              std::tuple(true, false, "d11.dat", 0));
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
        const std::string name = entry(s.selected);
        EXPECT_EQ(std::tuple(f_CatSelected(), f_BrowseTop(), cells(0, 11 + s.selected - s.top, 3, 3 + name.size()),
                             inverse(s.selected - s.top)),
                  std::tuple(s.selected, s.top, name + " ", true));
    }
    // Escape chooses nothing, also with an entry selected, and clears the box.
    EXPECT_EQ(finish(27), "");
    EXPECT_EQ(f_CatSelected(), -1);
    for (int64_t y = 8; y <= 25; ++y) EXPECT_EQ(screenLine(0, y), "") << y;
    EXPECT_EQ(std::tuple(window_->TextFirstLine, window_->TextLastColumn), std::tuple(1, 80));
}

TEST_F(Browser, ReturnOrASecondClickOpenFoldersControlHOrTheFolderLineGoesUpAndDesktopFilesAreSelected) {
    start(root_);
    press('o'), press(13);
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount(), cells(0, 11, 3, 12), cells(0, 12, 2, 79)),
              std::tuple(root_ + "Ordner/", 1, "innen.bin ", std::string(78, ' ')));
    press(8);
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount()), std::tuple(root_, 33));
    press('o'), press(21);  // opens like Return
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
    // A file opened from the desktop is selected, its folder shown, not chosen.
    deliver([this] { f_FileEventHandler(root_ + "Ordner/innen.bin", 0); });
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected()), std::tuple(root_ + "Ordner/", 0));
    deliver([this] { f_FileEventHandler(root_ + "d25.dat", 0); });  // scrolled into view
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected(), f_BrowseTop(), inverse(8)), std::tuple(root_, 27, 19, true));
    deliver([this] { f_FileEventHandler(root_ + "fehlt", 0); });
    EXPECT_EQ(f_CatSelected(), 27);
    EXPECT_EQ(finish(13), root_ + "d25.dat");

    start("/");
    click(5, 9);
    press(8);
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount() > 0), std::tuple("/", true));
    finish(27);

    // A second click within 250 milliseconds chooses a file or opens a folder.
    start(root_);
    click(10, 12);  // Beta.bin
    EXPECT_EQ(std::tuple(f_CatSelected(), inverse(1), inverse(0)), std::tuple(1, true, false));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    click(10, 12);  // too late for a double click: selects again
    EXPECT_EQ(std::tuple(f_CatSelected(), f_CatFolder()), std::tuple(1, root_));
    click(10, 24);  // the last list line
    EXPECT_EQ(f_CatSelected(), 13);
    for (auto [column, row] : {std::pair{10, 25}, {80, 13}}) click(column, row);  // the bottom edge, the frame
    EXPECT_EQ(f_CatSelected(), 13);
    for (int i = 0; i < 2; ++i) click(10, 11, false);
    program_.join();
    EXPECT_EQ(result_, root_ + "alpha.txt");

    start(root_);
    press(5);
    for (int i = 0; i < 2; ++i) click(20, 24);
    EXPECT_EQ(f_CatFolder(), root_ + "Ordner/");
    click(20, 11);  // pairs with nothing from the folder before
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatSelected()), std::tuple(root_ + "Ordner/", 0));
}

TEST_F(Browser, StartsOnTheDesktopKnowsTheUsualFoldersOtherWidthsShowWithoutWaitingAndControlCharactersAreDrawn) {
    // A home folder of our own with a desktop folder.
    TempFolder home;
    const std::string savedHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", home.file("none").c_str(), 1);
    std::filesystem::create_directory(home.file("Desktop"));
    f_BrowseDesktop().clear();  // taken afresh from this home
    start("");
    const std::string desktop = host::host().standardFolder(host::Folder::Desktop) + "/";
    EXPECT_EQ(std::tuple(f_CatFolder(), f_BrowseDesktop()), std::tuple(desktop, desktop));
    const std::pair<int64_t, std::string> folders[] = {
        {6, host::host().standardFolder(host::Folder::Documents) + "/"}, {127, home.path() + "/"}, {14, desktop}};
    for (const auto& [key, folder] : folders) {
        press(key);
        EXPECT_EQ(f_CatFolder(), folder) << key;
    }
    kt::setVolumesFolder(root_);
    press(9);
    kt::setVolumesFolder("");
    EXPECT_EQ(std::tuple(f_CatFolder(), f_CatCount(), cells(0, 11, 54, 57)), std::tuple(root_, 1, "\x81\x83\x83\x84"));
    EXPECT_THAT(log_.text(), testing::HasSubstr("f_CatLoad: Volume „Ordner“ of type „DIR “ added to list\n"));
    finish(27);
    setenv("HOME", savedHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");

    // A width of 50 gives a box of 60 columns; the list is cut at the last row; an empty folder
    // gives nothing to choose.
    textWindow();
    EXPECT_EQ(f_CatBrowser(0, root_, "Liste", "", 3, 10, 50, f_BrowseNoWait), root_ + "alpha.txt");
    EXPECT_EQ(std::tuple(f_BrowseWidth(), f_BrowseLeft(), window_->TextLastColumn), std::tuple(60, 11, 80));
    EXPECT_EQ(cells(0, 3, 11, 11) + cells(0, 3, 70, 70) + cells(0, 5, 10, 10) + cells(0, 5, 71, 71), "\x8B\x8A  ");
    EXPECT_EQ(cells(0, 6, 12, 68), f_CatStr(f_Catalog()[0], 60, false));
    textWindow();
    EXPECT_EQ(f_CatBrowser(0, root_ + "Ordner/", "Liste", "", 20, 10, 40, f_BrowseNoWait), root_ + "Ordner/innen.bin");
    EXPECT_EQ(std::tuple(f_BrowseRows(), f_BrowseLastRow()), std::tuple(2, 25));
    EXPECT_EQ(cells(0, 23, 22, 58),
              " innen.bin       BIN    0 B  " + f_Catalog()[0].ModifiedStr.substr(0, 10).erase(6, 2));
    std::filesystem::create_directory(root_ + "leer");
    EXPECT_EQ(f_CatBrowser(0, root_ + "leer/", "Liste", "", 3, 10, 60, f_BrowseNoWait), "");
    EXPECT_EQ(f_CatSelectedPath(), "");
    // Control characters in names are drawn, not carried out.
    for (const char* name : {"form\ffeed", "zeile\nneu"}) writeFile(root_ + "Ordner/" + name, {});
    EXPECT_EQ(f_CatBrowser(0, root_ + "Ordner/", "Liste", "", 8, 14, 80, f_BrowseNoWait), root_ + "Ordner/form\ffeed");
    EXPECT_EQ(std::tuple(cells(0, 11, 3, 11), cells(0, 13, 3, 11)), std::tuple("form\ffeed", "zeile\rneu"));
}
