#include "files/fileio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <thread>
#include <tuple>

#include "input/panels.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

// A whole file read is also the font's: FontResource.AllGreyGlyphs... reads the 128 KiB font.
TEST(WholeFileIo, ReadingAnEmptyOrAMissingFileGivesNothingAndOnlyTheMissingOneComplains) {
    TempFolder folder;
    writeFile(folder.file("empty"), {});
    LogCapture log;
    EXPECT_TRUE(gettextfromfile(folder.file("empty")).empty());
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(gettextfromfile(folder.file("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.path()).empty());  // a folder is no file
    EXPECT_THAT(log.text(),
                testing::MatchesRegex("gettextfromfile: Error #[^\n]*\ngetbinaryfromfile: Error #[^\n]*\n"));
}

// setbinarytofile is a thin wrapper over f_SaveFile, which SaveFile.*, KillDuringSave.* and
// FullFileSystem.* check for rights, links, leftovers, kills and full disks: here that it
// writes the bytes, through a symbolic link, and reports a failure with its code and one line.
TEST(WholeFileIo, SavingWritesThroughALinkAndReportsAFailure) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("real"));
    writeFile(folder.file("real/target.bin"), {'o', 'l', 'd', '!'});
    std::filesystem::create_symlink("real/target.bin", folder.file("link.bin"));
    EXPECT_EQ(setbinarytofile(folder.file("link.bin"), std::vector<uint8_t>{'n', 'e', 'w'}), 0);
    EXPECT_EQ(
        std::tuple(std::filesystem::is_symlink(folder.file("link.bin")), readFile(folder.file("real/target.bin"))),
        std::tuple(true, std::vector<uint8_t>{'n', 'e', 'w'}));
    LogCapture log;
    EXPECT_EQ(setbinarytofile(folder.path(), std::vector<uint8_t>{'x'}), EISDIR);
    EXPECT_THAT(log.text(), testing::MatchesRegex("setbinarytofile: Error #[^\n]*\n"));
}

TEST(PathHelpers, SplitPathsAtTheirLastSeparatorsCountedInCharacters) {
    // clang-format off
    const std::tuple<std::string (*)(const std::string&), const char*, const char*> cases[] = {
        {f_PathDirectory, "/home/anna/file.txt", "/home/anna/"}, {f_PathDirectory, "file.txt", ""},
        {f_PathDirectory, "", ""}, {f_PathDirectory, "/", "/"}, {f_PathName, "/home/anna/file.txt", "file.txt"},
        {f_PathName, "/home/anna/", ""}, {f_PathName, "file.txt", "file.txt"}, {f_PathName, "", ""},
        {f_PathExtension, "/a/archive.tar.gz", "gz"}, {f_PathBaseName, "/a/archive.tar.gz", "archive.tar"},
        {f_PathExtension, "/home/v1.2/README", ""}, {f_PathBaseName, "/home/v1.2/README", "README"},
        {f_PathExtension, "name.", ""}, {f_PathBaseName, "name.", "name"},
        {f_PathExtension, ".hidden", "hidden"}, {f_PathBaseName, ".hidden", ""},
        // "." followed by U+0301 is one character that is not a dot...
        {f_PathExtension, "name.\xCC\x81x", ""}, {f_PathName, "a/\314\201b", "a/\314\201b"},
        // ...and bytes that are no UTF-8 are characters of their own.
        {f_PathName, "/tmp/\xFF\xFE.bin", "\xFF\xFE.bin"}, {f_PathExtension, "/tmp/\xFF.b\xFE", "b\xFE"}};
    // clang-format on
    for (auto [split, path, part] : cases) EXPECT_EQ(split(path), part) << "path " << path;
}

// The fuzz.unicode_path replay decodes and composes every path of its corpus as a file URL.
TEST(Panels, AnswersArePathsAndReachTheProgramThreadAndHomeIsTheParentOfDownloads) {
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

    TempFolder home;
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/none").c_str(), 1);
    EXPECT_EQ(f_HomeFolder(), home.path() + "/");
    setenv("HOME", oldHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}
