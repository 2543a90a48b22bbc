// The editor's commands on the real editor: what the random keys of the model test found,
// and what they can't reach (large files, files changed underneath, odd names).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
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

// The title is set without waiting: read on the main thread after what was posted there.
std::string windowTitle() {
    std::string title;
    headless().runOnMainSync([&] { title = headless().windowTitle(0); });
    return title;
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
    EXPECT_EQ(windowTitle(), "form\u240Cfeed.bin");
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

// Opens a sparse disk image of 5 GiB that starts with "MBR".
void openSparseDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 5ll << 30), 0);
    ASSERT_EQ(::pwrite(fd, "MBR", 3, 0), 3);
    ::close(fd);
    startEditor();
    editor::resetState();
    ASSERT_TRUE(deliverToEditor({0, path}));
}

// A sparse disk image of 5 GiB: positions past 4 GiB show with nine digits, the position
// field takes them, an edit there is saved, and the holes stay holes.
TEST(EditorCommands, AFileLargerThanFourGiBIsShownEditedAndSavedSparse) {
    testing_support::TempFolder folder;
    const std::string path = folder.file("disk.img");
    openSparseDisk(path);
    // A second name: the save writes the image over in place, which keeps its holes too.
    ASSERT_EQ(::link(path.c_str(), folder.file("link.img").c_str()), 0);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    const ino_t inode = info.st_ino;
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

// All of it selected: too much for a clipboard (a message, and nothing is copied or cut), but
// filled and deleted at once, each one step of the undo history.
TEST(EditorCommands, RangesOfAFileLargerThanFourGiB) {
    testing_support::TempFolder folder;
    openSparseDisk(folder.file("disk.img"));
    editor::State& s = editor::state();
    headless().runOnMainSync([] { headless().pasteboardSetText("kept"); });
    ASSERT_TRUE(deliverToEditor({'a', {}, optionFlag}));
    ASSERT_TRUE(deliverToEditor({'x', {}, optionFlag}));
    EXPECT_NE(messageRows().find("Mehr als 64 MiB passen nicht"), std::string::npos) << messageRows();
    press(' ');
    EXPECT_EQ(std::tuple(headless().pasteboardText(), s.Buffer.size()), std::tuple("kept", 5ll << 30));
    ASSERT_TRUE(deliverToEditor({'f', {}, optionFlag}));
    typeField("E 5");
    EXPECT_EQ(std::tuple(s.Buffer.byteAt(0), s.Buffer.byteAt((4ll << 30) + 1), s.Modified), std::tuple(0x0E, 5, true));
    press(7);
    EXPECT_EQ(s.Buffer.size(), 0);
    ASSERT_TRUE(deliverToEditor({127, {}, optionFlag}));
    ASSERT_TRUE(deliverToEditor({127, {}, optionFlag}));
    EXPECT_EQ(std::tuple(s.Buffer.size(), s.Buffer.byteAt(0), s.Buffer.byteAt(1)), std::tuple(5ll << 30, 'M', 'B'));
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
    EXPECT_NE(messageRows().find("Kein Platz mehr auf dem Gerät: data.bin"), std::string::npos) << messageRows();
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

// The buffer, its file and its title as they were after typing "x" over data.bin's "abc".
void expectEditedDataBin(const testing_support::TempFolder& folder) {
    const editor::State& s = editor::state();
    EXPECT_EQ(std::tuple(contentOf(editor::state().Buffer), s.Modified, s.CurrentPath, s.CurrentName, windowTitle()),
              std::tuple(Bytes({'x', 'b', 'c'}), true, folder.file("data.bin"), "data.bin", "data.bin"));
}

// A file that can't be loaded, whatever the reason, leaves the edited buffer as it was and
// says why, without asking to save first; one that goes after the question too.
TEST(EditorFiles, AFailedLoadKeepsTheBufferWithItsEditsAndSaysWhy) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {'a', 'b', 'c'}));
    press('x');
    const std::string pipe = folder.file("pipe"), writeOnly = folder.file("write-only.bin");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    testing_support::writeFile(writeOnly, {'w'});
    ASSERT_EQ(::chmod(writeOnly.c_str(), 0200), 0);
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    // A folder, a device, a missing file or folder: failures.script.
    const std::pair<std::string, std::string> cases[] = {
        {pipe, "Keine gewöhnliche Datei: pipe"},
        {folder.file(std::string(300, 'n')), "Systemfehler Nr. 36: nnn"},
        {writeOnly, "Zugriff verweigert: write-only.bin"}};
    testing_support::AsOrdinaryUser user;
    for (const auto& [path, reason] : cases) {
        ASSERT_TRUE(deliverToEditor({0, path}));
        EXPECT_NE(messageRows().find(reason), std::string::npos) << messageRows();
        press(' ');
        expectEditedDataBin(folder);
    }
    testing_support::writeFile(folder.file("other.bin"), {'o'});
    ASSERT_TRUE(deliverToEditor({0, folder.file("other.bin")}));
    EXPECT_NE(messageRows().find("Aktuelle Datei vorher speichern?"), std::string::npos) << messageRows();
    ASSERT_EQ(::unlink(folder.file("other.bin").c_str()), 0);
    press('n');
    EXPECT_NE(messageRows().find("Datei nicht gefunden: other.bin"), std::string::npos) << messageRows();
    press(' ');
    expectEditedDataBin(folder);
}

// A save that fails says why; one refused for the rights or a read-only disk asks where else
// to save, offering the file's path (the folder gone: TerminalEditor.Saving...).
TEST(EditorFiles, AFailedSaveSaysWhyAndTheSavePanelOffersTheFile) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {'a', 'b', 'c'}));
    const std::string path = folder.file("data.bin"), elsewhere = folder.file("elsewhere.bin");
    ASSERT_EQ(::chmod(folder.path().c_str(), 0777), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    press('x');
    {
        testing_support::AsOrdinaryUser user;
        headless().prepareSavePanel(elsewhere);
        press(19);
        EXPECT_NE(messageRows().find("Zugriff verweigert: data.bin"), std::string::npos) << messageRows();
        press(' ');
    }
    EXPECT_EQ(std::tuple(headless().savePanelRequests().back().name, testing_support::readFile(elsewhere),
                         testing_support::readFile(path), editor::state().CurrentPath, editor::state().Modified,
                         windowTitle()),
              std::tuple(path, Bytes({'x', 'b', 'c'}), Bytes({'a', 'b', 'c'}), elsewhere, false, "elsewhere.bin"));

    // A disk that can only be read (where a test may mount one).
    const std::string sub = folder.file("sub");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    if (::mount("tmpfs", sub.c_str(), "tmpfs", 0, "size=64k") == 0) {
        testing_support::writeFile(sub + "/ro.bin", {'r'});
        ASSERT_TRUE(deliverToEditor({0, sub + "/ro.bin"}));
        ASSERT_EQ(::mount(nullptr, sub.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
        press('z');
        press(19);
        EXPECT_NE(messageRows().find("Schreibgeschützt: ro.bin"), std::string::npos) << messageRows();
        press(' ');
        ::umount2(sub.c_str(), MNT_DETACH);
    }
}

// Insert mode shows in the window's picture: a bar in the blank before the cursor's byte (on
// the text screen and in the title: editing.script). The progress of a long run is drawn in
// the font's glyphs, both lines beside a whole icon.
TEST(EditorScreen, TheInsertBarAndTheProgressBoxInThePicture) {
    testing_support::TempFolder folder;
    ASSERT_TRUE(openFile(folder, {'a', 'b', 'c'}));
    press(21);
    auto lit = [] {  // the green pixels of the cell before byte 1 of the first byte row
        auto image = t_WindowImage(0);
        int count = 0;
        for (int y = 7 * 32; image && y < 8 * 32; ++y)
            for (int x = 12 * 16; x < 13 * 16; ++x)
                count += (image->pixels[size_t(y * image->width + x)] & 0xFF00) > 0x8000;
        return count;
    };
    const int before = lit();
    press(22);
    const int bar = lit();
    press(22);
    EXPECT_EQ(std::tuple(before, bar > 20, lit()), std::tuple(0, true, 0)) << bar;

    editor::ProgressBox progress("Speichern");
    std::this_thread::sleep_for(std::chrono::milliseconds(510));
    progress.callback()(21, 50);
    EXPECT_EQ(testing_support::cells(0, 13, 10, 30), "\x8B      Bitte warten \xBF");  // "…" is 191
    EXPECT_EQ(testing_support::cells(0, 14, 11, 29), "  \xBF   42 % erledigt");
}

}  // namespace
