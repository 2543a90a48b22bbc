#include "files/fileio.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <thread>
#include <tuple>

#include "input/panels.h"
#include "support/toolkit_fixture.h"

using namespace testing_support;

namespace {
std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

auto entriesIn(const std::string& folder) { return std::distance(std::filesystem::directory_iterator(folder), {}); }
}  // namespace

TEST(WholeFileIo, ReadsEveryByteAndOnlyMissingFilesComplain) {
    TempFolder folder;
    writeFile(folder.file("empty"), {});
    LogCapture log;
    EXPECT_TRUE(gettextfromfile(folder.file("empty")).empty());
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(gettextfromfile(folder.file("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.path()).empty());  // a folder is no file
    EXPECT_THAT(log.text(),
                testing::MatchesRegex("gettextfromfile: Error #[^\n]*\ngetbinaryfromfile: Error #[^\n]*\n"));

    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    writeFile(folder.file("data.bin"), bytes);
    EXPECT_EQ(getbinaryfromfile(folder.file("data.bin")), kt::ByteArray(bytes.begin(), bytes.end()));
}

TEST(WholeFileIo, SavingReplacesTheFileKeepingItsPermissionsAndLinksOrFailsLeavingIt) {
    TempFolder folder;
    std::string path = folder.file("edited.bin");
    writeFile(path, bytesOf("old content that is longer"));
    chmod(path.c_str(), 0640);
    EXPECT_EQ(setbinarytofile(path, bytesOf("new")), 0);
    EXPECT_EQ(readFile(path), bytesOf("new"));
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(entriesIn(folder.path()), 1u);  // no temporary file left behind

    EXPECT_EQ(setbinarytofile(folder.file("fresh.bin"), bytesOf("x")), 0);
    EXPECT_EQ(readFile(folder.file("fresh.bin")), bytesOf("x"));
    EXPECT_EQ(setbinarytofile(path, {}), 0);
    EXPECT_TRUE(readFile(path).empty());

    // Saving through a link replaces the file it points to.
    std::filesystem::create_directory(folder.file("real"));
    writeFile(folder.file("real/target.bin"), bytesOf("old"));
    std::filesystem::create_symlink("real/target.bin", folder.file("link.bin"));
    EXPECT_EQ(setbinarytofile(folder.file("link.bin"), bytesOf("new")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.bin")));
    EXPECT_EQ(readFile(folder.file("real/target.bin")), bytesOf("new"));

    // A failed save leaves the old content and reports the error.
    path = folder.file("keep.bin");
    writeFile(path, bytesOf("precious"));
    const size_t entries = entriesIn(folder.path());
    // The file size limit makes the write fail part-way, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    LogCapture log;
    const int64_t code = setbinarytofile(path, std::vector<uint8_t>(100000, 1));
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_NE(code, 0);
    EXPECT_EQ(readFile(path), bytesOf("precious"));
    EXPECT_EQ(entriesIn(folder.path()), entries);

    EXPECT_NE(setbinarytofile(folder.file("no/such/folder.bin"), bytesOf("x")), 0);
    EXPECT_NE(setbinarytofile(folder.path(), bytesOf("x")), 0);  // a folder can't be replaced
    EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
    EXPECT_THAT(log.text(), testing::MatchesRegex("(setbinarytofile: Error #[^\n]*\n){3}"));  // one line per failure
}

TEST(WholeFileIo, AFolderThatTakesNoNewFilesIsWrittenInPlace) {
    if (geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind root";
    TempFolder folder;
    std::string path = folder.file("inside.bin");
    writeFile(path, bytesOf("old"));
    chmod(folder.path().c_str(), 0555);
    EXPECT_EQ(setbinarytofile(path, bytesOf("new content")), 0);
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(readFile(path), bytesOf("new content"));
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
        {f_PathExtension, "name.\xCC\x81x", ""}, {f_PathName, "a/\xCC\x81" "b", "a/\xCC\x81" "b"},
        // ...and bytes that are no UTF-8 are characters of their own.
        {f_PathName, "/tmp/\xFF\xFE.bin", "\xFF\xFE.bin"}, {f_PathExtension, "/tmp/\xFF.b\xFE", "b\xFE"}};
    // clang-format on
    for (auto [split, path, part] : cases) EXPECT_EQ(split(path), part) << "path " << path;
}

TEST(Panels, AnswersArePathsDecodedAndComposedAndReachTheProgramThread) {
    auto& h = testing_support::headless();
    // "ü" written as u and a combining diaeresis, and a percent sign in the name.
    h.prepareOpenPanel({"/tmp/Mu\xCC\x88ll 100%.bin"});
    EXPECT_EQ(f_OpenPanel("Titel", "Nachricht", "txt,bin", false, true, false),
              std::vector<std::string>{"/tmp/M\xC3\xBCll 100%.bin"});
    EXPECT_EQ(h.openPanelRequests().back().buttonText, "Öffnen");
    EXPECT_EQ(h.openPanelRequests().back().fileTypes, (std::vector<std::string>{"txt", "bin"}));
    EXPECT_TRUE(f_OpenPanel("", "", "", true, false, true).empty());  // cancelled
    EXPECT_EQ(h.openPanelRequests().back().buttonText, "Wählen");
    EXPECT_TRUE(h.openPanelRequests().back().fileTypes.empty());
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
    EXPECT_EQ(opened, "/tmp/a.bin");
    EXPECT_EQ(saved, "/tmp/saved name.bin");
    auto saveRequest = h.savePanelRequests().back();
    EXPECT_EQ(saveRequest.buttonText, "Sichern");
    EXPECT_EQ(saveRequest.nameLabel, "Sichern unter:");
    EXPECT_EQ(saveRequest.name, "name.bin");
    EXPECT_EQ(f_SavePanel("x", "", "", ""), "");  // nothing prepared: cancelled
}

TEST(Panels, HomeFolderIsTheParentOfTheDownloadsFolder) {
    TempFolder home;
    std::string oldHome = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/none").c_str(), 1);
    EXPECT_EQ(f_HomeFolder(), home.path() + "/");
    setenv("HOME", oldHome.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
}
