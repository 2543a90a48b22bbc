#include "files/fileio.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "support/toolkit_fixture.h"

using testing_support::LogCapture;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

namespace {
std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

size_t entriesIn(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] auto& entry : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}
}  // namespace

TEST(WholeFileIo, EmptyAndMissingFilesBothReadEmptyButOnlyTheMissingOneComplains) {
    TempFolder folder;
    writeFile(folder.file("empty"), {});
    LogCapture log;
    EXPECT_TRUE(gettextfromfile(folder.file("empty")).empty());
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(gettextfromfile(folder.file("missing")).empty());
    EXPECT_TRUE(getbinaryfromfile(folder.path()).empty());  // a folder is no file
    auto lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("gettextfromfile: Error #", 0), 0u);
    EXPECT_EQ(lines[1].rfind("getbinaryfromfile: Error #", 0), 0u);
}

TEST(WholeFileIo, ReadsEveryByteOfAFile) {
    TempFolder folder;
    std::vector<uint8_t> bytes(300000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7);
    writeFile(folder.file("data.bin"), bytes);
    EXPECT_EQ(getbinaryfromfile(folder.file("data.bin")), kt::ByteArray(bytes.begin(), bytes.end()));
}

TEST(WholeFileIo, SavingReplacesTheFileAndKeepsItsPermissions) {
    TempFolder folder;
    std::string path = folder.file("edited.bin");
    writeFile(path, bytesOf("old content that is longer"));
    chmod(path.c_str(), 0640);
    EXPECT_EQ(setbinarytofile(path, bytesOf("new")), 0);
    EXPECT_EQ(readFile(path), bytesOf("new"));
    struct stat info {};
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(entriesIn(folder.path()), 1u);  // no temporary file left behind

    EXPECT_EQ(setbinarytofile(folder.file("fresh.bin"), bytesOf("x")), 0);
    EXPECT_EQ(readFile(folder.file("fresh.bin")), bytesOf("x"));
    EXPECT_EQ(setbinarytofile(path, {}), 0);
    EXPECT_TRUE(readFile(path).empty());
}

TEST(WholeFileIo, SavingThroughALinkReplacesTheFileItPointsTo) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("real"));
    writeFile(folder.file("real/target.bin"), bytesOf("old"));
    std::filesystem::create_symlink("real/target.bin", folder.file("link.bin"));
    EXPECT_EQ(setbinarytofile(folder.file("link.bin"), bytesOf("new")), 0);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.file("link.bin")));
    EXPECT_EQ(readFile(folder.file("real/target.bin")), bytesOf("new"));
}

TEST(WholeFileIo, AFailedSaveLeavesTheOldContentAndReportsTheError) {
    TempFolder folder;
    std::string path = folder.file("keep.bin");
    writeFile(path, bytesOf("precious"));
    // The file size limit makes the write fail part-way, as a full disk would.
    signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    int64_t code;
    {
        LogCapture log;
        code = setbinarytofile(path, std::vector<uint8_t>(100000, 1));
        EXPECT_EQ(log.text().rfind("setbinarytofile: Error #", 0), 0u);
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_NE(code, 0);
    EXPECT_EQ(readFile(path), bytesOf("precious"));
    EXPECT_EQ(entriesIn(folder.path()), 1u);

    LogCapture log;
    EXPECT_NE(setbinarytofile(folder.file("no/such/folder.bin"), bytesOf("x")), 0);
    EXPECT_NE(setbinarytofile(folder.path(), bytesOf("x")), 0);  // a folder can't be replaced
    EXPECT_TRUE(std::filesystem::is_directory(folder.path()));
    EXPECT_EQ(log.lines().size(), 2u);
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

TEST(PathHelpers, SplitPathsAtTheirLastSeparators) {
    EXPECT_EQ(f_PathDirectory("/home/anna/file.txt"), "/home/anna/");
    EXPECT_EQ(f_PathDirectory("file.txt"), "");
    EXPECT_EQ(f_PathDirectory(""), "");
    EXPECT_EQ(f_PathDirectory("/"), "/");
    EXPECT_EQ(f_PathName("/home/anna/file.txt"), "file.txt");
    EXPECT_EQ(f_PathName("/home/anna/"), "");
    EXPECT_EQ(f_PathName("file.txt"), "file.txt");
    EXPECT_EQ(f_PathName(""), "");
    EXPECT_EQ(f_PathExtension("/a/archive.tar.gz"), "gz");
    EXPECT_EQ(f_PathBaseName("/a/archive.tar.gz"), "archive.tar");
    EXPECT_EQ(f_PathExtension("/home/v1.2/README"), "");
    EXPECT_EQ(f_PathBaseName("/home/v1.2/README"), "README");
    EXPECT_EQ(f_PathExtension("name."), "");
    EXPECT_EQ(f_PathBaseName("name."), "name");
    EXPECT_EQ(f_PathExtension(".hidden"), "hidden");
    EXPECT_EQ(f_PathBaseName(".hidden"), "");
}

TEST(PathHelpers, SeparatorsCarryingACombiningMarkAreNoSeparators) {
    // "." followed by U+0301 is one character that is not a dot.
    EXPECT_EQ(f_PathExtension("name.\xCC\x81x"), "");
    EXPECT_EQ(f_PathName("a/\xCC\x81" "b"), "a/\xCC\x81" "b");
    // Bytes that are no UTF-8 are characters of their own.
    EXPECT_EQ(f_PathName("/tmp/\xFF\xFE.bin"), "\xFF\xFE.bin");
    EXPECT_EQ(f_PathExtension("/tmp/\xFF.b\xFE"), "b\xFE");
}

TEST(Panels, AnswersArePathsDecodedAndComposed) {
    auto& h = testing_support::headless();
    // "ü" written as u and a combining diaeresis, and a percent sign in the name.
    h.prepareOpenPanel({"/tmp/Mu\xCC\x88ll 100%.bin"});
    auto paths = f_OpenPanel("Titel", "Nachricht", "txt,bin", false, true, false);
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0], "/tmp/M\xC3\xBCll 100%.bin");
    auto request = h.openPanelRequests().back();
    EXPECT_EQ(request.buttonText, "Öffnen");
    EXPECT_EQ(request.fileTypes, (std::vector<std::string>{"txt", "bin"}));
    EXPECT_TRUE(f_OpenPanel("", "", "", true, false, true).empty());  // cancelled
    EXPECT_EQ(h.openPanelRequests().back().buttonText, "Wählen");
    EXPECT_TRUE(h.openPanelRequests().back().fileTypes.empty());
    EXPECT_EQ(kt::panelUrlToPath("/plain/path%41"), "/plain/pathA");
}

TEST(Panels, TheProgramThreadGetsItsAnswerFromTheMainThread) {
    auto& h = testing_support::headless();
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
    auto request = h.savePanelRequests().back();
    EXPECT_EQ(request.buttonText, "Sichern");
    EXPECT_EQ(request.nameLabel, "Sichern unter:");
    EXPECT_EQ(request.name, "name.bin");
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
