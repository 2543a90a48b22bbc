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
#include <thread>

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
// text's message and took the next key as a command; a letter above 127 in the position
// field counted as the digit of its low seven bits ("ä" as D), where it ends the number (the
// byte entry keeps that reading).
TEST(EditorModel, BadDigitsInBothTextsAndLettersInThePosition) {
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

    press(28);
    typeField(std::string("1") + char(228));
    EXPECT_EQ(editor::state().Cursor, 1);
    press(13);  // ^M: "ä" as a byte's digit is still D
    typeField(std::string(1, char(228)));
    press(27);
    EXPECT_EQ(editor::state().Buffer.byteAt(1), 0x0D);
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
    // Retyped, the occurrence is no longer the search text: ^O refuses as after no search.
    press('Z');
    press(8);
    press(15);
    EXPECT_NE(messageRows().find("Der Cursor wurde seit der letzten Suche bewegt."), std::string::npos);
    press(' ');
    // In Alpha mode "{" is found, as itself.
    press(5);
    press('{');
    press(2);
    press(16), press(16);
    press(4);
    typeField("{");
    press(14);
    EXPECT_EQ(std::tuple(contentOf(editor::state().Buffer), editor::state().Cursor),
              std::tuple(Bytes({1, 2, 3, 'Z', '{'}), 4));
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
    // A second name: the save writes the image over in place, which keeps its holes too.
    ASSERT_EQ(::link(path.c_str(), folder.file("link.img").c_str()), 0);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    const ino_t inode = info.st_ino;
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
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(std::tuple(info.st_size, info.st_ino), std::tuple(5ll << 30, inode));
    EXPECT_LT(info.st_blocks * 512, 1 << 20) << "the holes were filled";
    char at[3] = {};
    const int fd = ::open(path.c_str(), O_RDONLY);
    EXPECT_EQ(::pread(fd, at, 1, 0x100000010), 1);
    EXPECT_EQ(::pread(fd, at + 1, 2, 0), 2);
    ::close(fd);
    EXPECT_EQ(std::string(at, 3), "ZMB");
    ASSERT_TRUE(deliverToEditor({127, {}, optionFlag}));  // undo, across the save
    EXPECT_EQ(editor::state().Buffer.byteAt(0x100000010), 0);
}

// A file with a second name is written over in place; a disk too full for its new content
// stops the save before the file is touched (the room is taken first): the file keeps its
// old content, the buffer its edit, and nothing is left behind. With room, the save works
// and the history reaches back across it.
TEST(EditorCommands, AFailedSaveInPlaceLeavesTheFileWholeAndTheEditToSaveAgain) {
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
    const Bytes edited = contentOf(editor::state().Buffer);
    ASSERT_EQ(edited.size(), 135 * 1024);
    press(19);
    EXPECT_NE(messageRows().find("Die Datei konnte nicht gespeichert werden."), std::string::npos) << messageRows();
    press(' ');
    EXPECT_EQ(std::tuple(testing_support::readFile(path), editor::state().Modified, contentOf(editor::state().Buffer),
                         std::distance(std::filesystem::directory_iterator(folder.path()), {})),
              std::tuple(old, true, edited, 2));
    ASSERT_EQ(::mount("tmpfs", folder.path().c_str(), "tmpfs", MS_REMOUNT, "size=1m"), 0);
    press(19);
    EXPECT_EQ(std::tuple(testing_support::readFile(folder.file("second.bin")), editor::state().Modified),
              std::tuple(edited, false));
    ASSERT_TRUE(deliverToEditor({127, {}, optionFlag}));  // undo
    EXPECT_EQ(contentOf(editor::state().Buffer), old);
    ::umount2(folder.path().c_str(), MNT_DETACH);
}

}  // namespace
