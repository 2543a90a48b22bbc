#include "files/fileio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <thread>
#include <tuple>

#include "input/panels.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

// A whole file read is also the font's: FontResource.AllGreyGlyphs... reads the 128 KiB font.
// setbinarytofile is a thin wrapper over f_SaveFile, which SaveFile.*, KillDuringSave.* and
// FullFileSystem.* check for rights, links, leftovers, kills and full disks: here that it
// writes the bytes, through a symbolic link, and reports a failure with its code and one line.
TEST(WholeFileIo, AnEmptyFileReadsQuietlyAMissingOneComplainsAndSavesGoThroughALink) {
    TempFolder folder;
    writeFile(folder.file("empty"), {});
    LogCapture log;
    EXPECT_TRUE(gettextfromfile(folder.file("empty")).empty());
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(gettextfromfile(folder.file("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.path()).empty());  // a folder is no file
    EXPECT_EQ(setbinarytofile(folder.path(), std::vector<uint8_t>{'x'}), EISDIR);
    EXPECT_THAT(log.text(), testing::MatchesRegex("gettextfromfile: Error #[^\n]*\ngetbinaryfromfile: Error "
                                                  "#[^\n]*\nsetbinarytofile: Error #[^\n]*\n"));

    std::filesystem::create_directory(folder.file("real"));
    writeFile(folder.file("real/target.bin"), {'o', 'l', 'd', '!'});
    std::filesystem::create_symlink("real/target.bin", folder.file("link.bin"));
    EXPECT_EQ(setbinarytofile(folder.file("link.bin"), std::vector<uint8_t>{'n', 'e', 'w'}), 0);
    EXPECT_EQ(
        std::tuple(std::filesystem::is_symlink(folder.file("link.bin")), readFile(folder.file("real/target.bin"))),
        std::tuple(true, std::vector<uint8_t>{'n', 'e', 'w'}));
}

// The fuzz.unicode_path replay checks that the parts put every path of its corpus together
// again; here where the cuts fall.
TEST(PathHelpers, SplitPathsAtTheirLastSeparatorsCountedInCharacters) {
    // clang-format off
    const std::array<const char*, 5> cases[] = {
        // path, directory, name, base name, extension
        {"/a/archive.tar.gz", "/a/", "archive.tar.gz", "archive.tar", "gz"},
        {"/home/v1.2/README", "/home/v1.2/", "README", "README", ""},
        {"/", "/", "", "", ""}, {"", "", "", "", ""}, {"name.", "", "name.", "name", ""},
        {".hidden", "", ".hidden", "", "hidden"},
        // "." or "/" followed by U+0301 is one character that is no separator...
        {"name.\xCC\x81x", "", "name.\xCC\x81x", "name.\xCC\x81x", ""},
        {"a/\314\201b", "", "a/\314\201b", "a/\314\201b", ""},
        // ...and bytes that are no UTF-8 are characters of their own.
        {"/tmp/\xFF.b\xFE", "/tmp/", "\xFF.b\xFE", "\xFF", "b\xFE"}};
    // clang-format on
    for (auto [path, directory, name, base, extension] : cases)
        EXPECT_EQ(std::tuple(f_PathDirectory(path), f_PathName(path), f_PathBaseName(path), f_PathExtension(path)),
                  std::tuple(directory, name, base, extension))
            << "path " << path;
}

// The fuzz.unicode_path replay decodes and composes every path of its corpus as a file URL.
TEST(Panels, AnswersArePathsAndReachTheProgramThread) {
    auto& h = headless();
    // "ü" written as u and a combining diaeresis, and a percent sign in the name.
    h.prepareOpenPanel({"/tmp/Mu\xCC\x88ll 100%.bin"});
    EXPECT_EQ(f_OpenPanel("Titel", "Nachricht", "txt,bin", false, true, false),
              std::vector<std::string>{"/tmp/M\xC3\xBCll 100%.bin"});
    EXPECT_EQ(std::tuple(h.openPanelRequests().back().buttonText, h.openPanelRequests().back().fileTypes),
              std::tuple("Öffnen", std::vector<std::string>{"txt", "bin"}));
    EXPECT_TRUE(f_OpenPanel("", "", "", true, false, true).empty());  // cancelled
    EXPECT_EQ(std::tuple(h.openPanelRequests().back().buttonText, h.openPanelRequests().back().fileTypes.size()),
              std::tuple("Wählen", 0u));
    EXPECT_EQ(kt::panelUrlToPath("/plain/path%41"), "/plain/pathA");

    // The program thread gets its answer from the main thread.
    h.prepareOpenPanel({"/tmp/a.bin", "/tmp/b.bin"});
    h.prepareSavePanel("/tmp/saved name.bin");
    std::string opened, saved;
    std::thread program([&] {
        opened = f_OpenPanelPath("Laden", "", "", true, false);
        saved = f_SavePanelFromAnyThread("name.bin", "Sichern", "", "bin");
    });
    program.join();
    const auto request = h.savePanelRequests().back();
    EXPECT_EQ(std::tuple(opened, saved, request.buttonText, request.nameLabel, request.name),
              std::tuple("/tmp/a.bin", "/tmp/saved name.bin", "Sichern", "Sichern unter:", "name.bin"));
    EXPECT_EQ(f_SavePanel("x", "", "", ""), "");  // nothing prepared: cancelled
}
