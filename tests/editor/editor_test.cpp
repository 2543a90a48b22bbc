// The editor's commands on the real editor: what the random keys of the model test found,
// and what they can't reach (large files, files changed underneath, odd names).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <thread>

#include "display/image.h"
#include "editor/editor_driver.h"

namespace {

using namespace editor_driver;
using testing_support::screenLine;

void press(int64_t key) { ASSERT_TRUE(deliverToEditor({key, {}})); }

void typeField(const std::string& text) {
    press(26);
    for (unsigned char c : text) press(c);
    press(13);
}

// Starts the editor afresh on a file of the folder holding these bytes.
bool openFile(const testing_support::TempFolder& folder, const Bytes& bytes) {
    startEditor();
    testing_support::writeFile(folder.file("data.bin"), bytes);
    editor::resetState();
    return deliverToEditor({0, folder.file("data.bin")});
}

// Found by the random keys: a change with bad digits in both texts showed only the search
// text's message and took the next key as a command. The byte entry reads a letter above 127
// by its low seven bits ("ä" as D).
TEST(EditorModel, BadDigitsInBothTextsAndLettersInTheByteEntry) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {'A', 'B', 'C', 'D'}));
    press(4);
    typeField("4G");
    press(20);
    typeField("5H");
    press(15);   // ^O: the search text's message...
    press('x');  // ...dismissed; the change text's message follows
    EXPECT_EQ(editor::state().ChangedPosition, -1);
    press('Z');  // dismisses it: not typed into the file
    EXPECT_EQ(contentOf(editor::state().Buffer), Bytes({'A', 'B', 'C', 'D'}));
    EXPECT_FALSE(editor::state().Modified);

    press(21);
    press(13);  // ^M: typed over the digits offered
    press('7');
    press(228);
    press(13);
    press(27);
    EXPECT_EQ(editor::state().Buffer.byteAt(1), 0x7D);
}

// The screen's rows 12 to 16, where messages are shown, as one text.
std::string messageRows() {
    std::string text;
    for (int64_t row = 12; row <= 16; ++row) text += screenLine(0, row) + "\n";
    return text;
}

// Found when the editor got its document: four faults of the search texts and the change.
TEST(EditorCommands, SearchAndChangeTextsAndTheirRefusals) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {1, 2, 3, 0x41, 0x42}));
    // Change all with no search text changes nothing and keeps the cursor where it is.
    for (int i = 0; i < 3; ++i) press(21);
    press(1);
    EXPECT_EQ(editor::state().Cursor, 3);

    // An entered text shows on its row as the header shows it: "ä", not its UTF-8 bytes.
    press(4);
    typeField(std::string(1, char(228)));
    EXPECT_EQ(screenLine(0, 2), "^D = Suchen: \u00E4");
    // A character without a font code, pasted in, is kept as itself.
    headless().deliver([] { headless().pasteboardSetText("x\u20ACy"); });
    press(4);
    press(26);
    press(22);
    press(13);
    EXPECT_EQ(editor::state().SearchText, Bytes({'x', 0xE2, 0x82, 0xAC, 'y'}));

    // Overwriting an occurrence at the file's end with a longer text is refused for the
    // lengths, not for the cursor.
    press(4);
    typeField("4142");
    press(20);
    typeField("414243");
    press(2);
    press(14);
    ASSERT_EQ(editor::state().Cursor, 3);
    press(15);
    EXPECT_NE(messageRows().find("Bei ausgeschaltetem Einfügen-Modus"), std::string::npos) << messageRows();
    press(' ');
    EXPECT_EQ(contentOf(editor::state().Buffer), Bytes({1, 2, 3, 0x41, 0x42}));
}

// A form feed in a file's name is drawn as its glyph, in the status line and in the title,
// instead of clearing the screen.
TEST(EditorCommands, ControlCharactersInANameAreShown) {
    testing_support::TempFolder folder;
    const std::string path = folder.file("form\ffeed.bin");
    testing_support::writeFile(path, {'a', 'b'});
    startEditor();
    editor::resetState();
    ASSERT_TRUE(deliverToEditor({0, path}));
    EXPECT_EQ(testing_support::cellCode(0, 7, 1), 12);
    EXPECT_EQ(screenLine(0, 8).substr(0, 15), "00000000: 61 62");
    // The title is set without waiting: read on the main thread once it has arrived.
    std::string title;
    for (int i = 0; i < 200 && title != "form\u240Cfeed.bin"; ++i) {
        headless().runOnMainSync([&] { title = headless().windowTitle(0); });
        if (title != "form\u240Cfeed.bin") std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(title, "form\u240Cfeed.bin");
}

// Another program rewrites the file while it is loaded: the editor saves over it only after
// a yes. (DocumentFiles.FileTruncatedUnderneath... cuts one short: the save fails.)
TEST(EditorCommands, AFileChangedUnderneathIsSavedOverOnlyAfterAYes) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, Bytes(100, 'a')));
    const std::string path = folder.file("data.bin");
    press('x');
    testing_support::writeFile(path, Bytes(100, 'b'));  // rewritten underneath
    press(19);
    EXPECT_NE(messageRows().find("seit dem Laden verändert"), std::string::npos) << messageRows();
    press('n');
    EXPECT_EQ(testing_support::readFile(path), Bytes(100, 'b'));
    EXPECT_TRUE(editor::state().Modified);
    press(19);
    press('j');
    const Bytes saved = testing_support::readFile(path);
    ASSERT_EQ(saved.size(), 100u);
    EXPECT_EQ(saved[0], 'x');
    EXPECT_FALSE(editor::state().Modified);
}

// A sparse disk image of 5 GiB: positions past 4 GiB show with nine digits, the position
// field takes them, an edit there is saved, and the holes stay holes.
TEST(EditorCommands, AFileLargerThanFourGiBIsShownEditedAndSavedSparse) {
    testing_support::TempFolder folder;
    const std::string path = folder.file("disk.img");
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 5ll << 30), 0);
        ASSERT_EQ(::pwrite(fd, "MBR", 3, 0), 3);
        ::close(fd);
    }
    startEditor();
    editor::resetState();
    ASSERT_TRUE(deliverToEditor({0, path}));
    EXPECT_EQ(screenLine(0, 1), " \u00B7disk.img              Pos = 000000000  Ende = 13FFFFFFF  Esc = Hilfe & Status");
    EXPECT_EQ(screenLine(0, 7).substr(0, 15), "Position   00 0");
    EXPECT_EQ(screenLine(0, 8).substr(0, 21), "000000000: 4D 42 52 0");
    press(28);
    typeField("100000010");
    EXPECT_EQ(editor::state().Cursor, 0x100000010);
    press('Z');
    const editor::State& s = editor::state();
    EXPECT_EQ(screenLine(0, 8 + 0x10000001 - s.TopLine).substr(0, 15), "100000010: 5A 0");
    press(19);
    EXPECT_FALSE(editor::state().Modified);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size, 5ll << 30);
    EXPECT_LT(info.st_blocks * 512, 1 << 20) << "the holes were filled";
    char at[3] = {};
    const int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, at, 1, 0x100000010), 1);
    EXPECT_EQ(::pread(fd, at + 1, 2, 0), 2);
    ::close(fd);
    EXPECT_EQ(std::string(at, 3), "ZMB");
}

// A file with a second name is written over in place; when the disk fills up on the way, the
// file keeps its old content and the message names the temporary file that holds the new.
TEST(EditorCommands, AFailedSaveInPlaceSaysWhereTheNewContentIs) {
    testing_support::TempFolder folder;
    if (::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "a small tmpfs could not be mounted (" << std::strerror(errno) << "); skipped";
    Bytes old(100 * 1024, 'z');
    std::fill(old.begin(), old.begin() + 35 * 1024, 'o');
    ASSERT_TRUE(openFile(folder, old));
    const std::string path = folder.file("data.bin");
    ASSERT_EQ(::link(path.c_str(), folder.file("second.bin").c_str()), 0);
    // Change all of o into oo in insert mode: 135 KiB fit beside the old file, not over it.
    press(4);
    typeField("6F");
    press(20);
    typeField("6F6F");
    press(22);
    press(1);
    press(' ');
    press(22);
    ASSERT_EQ(editor::state().Buffer.size(), 135 * 1024);
    press(19);
    EXPECT_NE(messageRows().find("Neuer Inhalt in .data.bin.ostrakonix-"), std::string::npos) << messageRows();
    press(' ');
    EXPECT_EQ(testing_support::readFile(path), old);
    EXPECT_TRUE(editor::state().Modified);
    int kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().filename().string().rfind(".data.bin.ostrakonix-", 0) == 0) {
            ++kept;
            EXPECT_EQ(testing_support::readFile(entry.path()), contentOf(editor::state().Buffer));
        }
    EXPECT_EQ(kept, 1);
    ::umount2(folder.path().c_str(), MNT_DETACH);
}

// The colour of a cell's glyph in the window's picture: its most common colour but the black
// of the background.
uint32_t inkAt(int64_t column, int64_t row) {
    const auto image = t_WindowImage(0);
    std::map<uint32_t, int> counts;
    for (int64_t y = 32 * (row - 1); y < 32 * row; ++y)
        for (int64_t x = 16 * (column - 1); x < 16 * column; ++x) ++counts[image->pixels[y * image->width + x]];
    counts.erase(0xFF000000u);
    return std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) { return a.second < b.second; })->first;
}

// A changed byte is yellow in both columns until the change is undone or saved; an undo after
// the save brings back a byte the file no longer holds, yellow again.
TEST(EditorScreen, ChangedBytesStandOutUntilSavedOrUndone) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {'a', 'b', 'c'}));
    constexpr uint32_t green = 0xFF00FF00u, yellow = 0xFFFFFF00u;
    // Byte 0 with the cursor on byte 2, away from it.
    auto byteZero = [](uint64_t flags = 0) {
        if (flags) {
            EXPECT_TRUE(deliverToEditor({127, {}, flags}));
        }
        press(2);
        press(21);
        press(21);
        return std::pair(inkAt(11, 8), inkAt(65, 8));
    };
    EXPECT_EQ(byteZero(), std::pair(green, green));
    press(2);
    press('Z');
    EXPECT_EQ(byteZero(), std::pair(yellow, yellow));
    EXPECT_EQ(inkAt(14, 8), green);
    EXPECT_EQ(byteZero(optionFlag), std::pair(green, green));
    EXPECT_EQ(byteZero(optionFlag | shiftFlag), std::pair(yellow, yellow));
    press(19);
    EXPECT_FALSE(editor::state().Modified);
    EXPECT_EQ(byteZero(), std::pair(green, green));
    EXPECT_EQ(byteZero(optionFlag), std::pair(yellow, yellow));
    EXPECT_EQ(contentOf(editor::state().Buffer), Bytes({'a', 'b', 'c'}));
}

// The values view (Alt+W) past 4 GiB and at the end of a file, reached with every form of
// position, each typed over the position offered; a wrong one gets the bad-digit message.
TEST(EditorValues, ValuesPastFourGiBAndAtTheEndReachedWithEveryPositionForm) {
    testing_support::TempFolder folder;
    const std::string path = folder.file("values.bin");
    constexpr int64_t far = int64_t{1} << 32;
    {
        // A time stamp, "ä", infinity and NaN little-endian, minus infinity (and NaN as 32
        // bits) big-endian, and a character that the file's end cuts short.
        const uint8_t bytes[] = {0x00, 0xF1, 0x53, 0x65, 0, 0,    0,    0,    0xC3, 0xA4, 0, 0, 0, 0, 0, 0,    0,
                                 0,    0x80, 0x7F, 0,    0, 0xF0, 0xFF, 0xFF, 0xF0, 0,    0, 0, 0, 0, 0, 0xE2, 0x82};
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, bytes, sizeof bytes, far), static_cast<ssize_t>(sizeof bytes));
        ::close(fd);
    }
    startEditor();
    editor::resetState();
    ASSERT_TRUE(deliverToEditor({0, path}));
    ASSERT_TRUE(deliverToEditor({'w', {}, optionFlag}));
    auto goTo = [](const std::string& typed) {
        press(28);
        for (unsigned char c : typed) press(c);
        press(13);
    };
    auto row = [](int64_t n) { return screenLine(0, n); };
    goTo("#4294967296");
    ASSERT_EQ(editor::state().Cursor, far);
    EXPECT_EQ(row(1), " \u00B7values.bin            Pos = 100000000  Ende = 100000021  dez. #4294967296");
    EXPECT_EQ(row(2), "Byte 00h 0   0    000o 00000000b 16 LE 61696 -3840  BE 241   241    Zn U+0000");
    EXPECT_EQ(row(3), "32 LE 1700000000 1700000000   F32 6.255406e+22     Zeit32 2023-11-14 22:13:20");
    EXPECT_EQ(row(4), "64 LE 1700000000           1700000000            F64 8.39911598e-315");
    EXPECT_EQ(row(5), "32 BE 15815525   15815525     F32 2.2162271e-38    Zeit   \u009A");
    EXPECT_EQ(row(6), "64 BE 67927162644070400    67927162644070400     F64 3.947632169460071e-304");
    goTo("+8");
    EXPECT_NE(row(2).find("Zn U+00E4 \u00E4"), std::string::npos) << row(2);
    goTo("0x100000010");
    EXPECT_NE(row(3).find("F32 +\u00FF "), std::string::npos) << row(3);
    EXPECT_NE(row(4).find("F64 NaN"), std::string::npos) << row(4);
    goTo("+#8");
    EXPECT_NE(row(5).find("F32 NaN "), std::string::npos) << row(5);
    EXPECT_NE(row(6).find("F64 -\u00FF"), std::string::npos) << row(6);
    goTo("-#16");
    EXPECT_EQ(editor::state().Cursor, far + 8);
    press(5);
    press(8);
    EXPECT_EQ(row(2), "Byte E2h 226 -30  342o 11100010b 16 LE 33506 -32030 BE 57986 -7550  Zn unvollst.");
    EXPECT_EQ(row(3), "32 LE \u009A          \u009A            F32 \u009A                Zeit   \u009A");
    EXPECT_EQ(row(4), "64 LE \u009A                    \u009A                     F64 \u009A");
    goTo("12g");
    EXPECT_NE(messageRows().find("Die Position enthält eine unzulässige Ziffer."), std::string::npos) << messageRows();
    press(' ');
    EXPECT_EQ(editor::state().Cursor, far + 32);
}

}  // namespace
