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

// The title is set without waiting: read on the main thread after what was posted there.
std::string windowTitle() {
    std::string title;
    headless().runOnMainSync([&] { title = headless().windowTitle(0); });
    return title;
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
        {writeOnly, "Zugriff verweigert: write-only.bin"},
        // A name in the font's spelling, its accent joined to its letter.
        {folder.file("\u00C6r\u00F8e\u0301.bin"), "Datei nicht gefunden: Aer\u00F8\u00E9.bin"}};
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
