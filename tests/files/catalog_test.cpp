#include "files/catalog.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <tuple>

#include "files/fileio.h"
#include "support/toolkit_fixture.h"
#include "terminal/text.h"

// Items and times below name only the fields a case needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace testing_support;
using Names = std::vector<std::string>;

namespace {

Names names() {
    Names out;
    for (const auto& item : f_Catalog()) out.push_back(item.Name);
    return out;
}

// Loads folder (given without its trailing "/") into an empty catalog, as the browser does.
void loadFresh(const std::string& folder, bool recursive = false, bool invisible = false, bool aliases = false,
               const std::string& filter = "") {
    f_Catalog().clear();
    f_CatStatus() = f_CatCount() = 0;
    f_CatSelected() = -1;
    f_CatLoad(folder + "/", recursive, invisible, aliases, filter);
}

// Sets or clears the immutable flag; false where the file system or our rights don't allow it.
bool setImmutable(const std::string& path, bool on) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    ::close(fd);
    return done;
}

}  // namespace

TEST(CatalogRules, HiddenNamesTypeCodesFiltersAndSizeTexts) {
    for (const char* name :
         {".profile", ".", "THUMBS.DB", "thumbs.DB", "Icon\r", "mach_kernel", "Synchronize! Volume ID"})
        EXPECT_TRUE(f_IsHiddenName(name)) << name;
    for (const char* name : {"", "profile.", "Icon", "Icon\r\r", "thumbs.db2", "Mach_kernel", "x.profile"})
        EXPECT_FALSE(f_IsHiddenName(name)) << name;
    const std::pair<const char*, const char*> kinds[] = {
        {"JPG", "JPEG"}, {"kefs", "VOLU"}, {"Graphic", "GRPH"}, {"", "????"}, {"jpgx", "????"}};
    for (auto [extension, kind] : kinds) EXPECT_EQ(f_FileKind(extension), kind) << extension;
    // "txt" is not within "text"; a stray comma lets nothing through.
    const std::tuple<const char*, const char*, bool> matches[] = {
        {"TEXT", "", true},         {"PDF ", "txt,pdf", true},   {"TEXT", "pdf,TeXt", true}, {"PNGf", "pn", true},
        {"TEXT", "txt,pdf", false}, {"DIR ", "text,pdf", false}, {"TEXT", "pdf,", false}};
    for (auto [type, filter, match] : matches) EXPECT_EQ(f_TypeMatches(type, filter), match) << type << filter;
    const std::pair<int64_t, const char*> sizes[] = {
        {0, "0 B "},       {1023, "1023 B "},    {1024, "1 KB"},         {1048575, "1023 KB"},
        {1048576, "1 MB"}, {5368709120, "5 GB"}, {3298534883328, "3 TB"}};
    for (auto [size, text] : sizes) EXPECT_EQ(f_SizeStr(size), text) << size;
}

TEST(CatalogLines, TheThreeWidthsPlainAndWithTheFontsSymbolsAndNamesConverted) {
    f_CatItem file{
        .Name = "Brief.txt", .KindNum = 1, .Size = 1048575, .FileType = "TEXT", .ModifiedStr = "24.12.2023 18:30:00"};
    EXPECT_EQ(f_CatStr(file, 80, true), " Brief.txt" + std::string(40, ' ') + "  TEXT  1023 KB  24.12.2023");
    EXPECT_EQ(f_CatStr(file, 60, true), " Brief.txt" + std::string(23, ' ') + " TEXT 1023 KB 24.12.2023");
    EXPECT_EQ(f_CatStr(file, 50, true), f_CatStr(file, 60, true));
    // The 40-column line cuts the name and writes the year with two digits; a size of four
    // digits loses the blank before its unit rather than its first digit.
    file.Name = "Ein recht langer Name.txt";
    file.ReadOnly = true;
    EXPECT_EQ(f_CatStr(file, 40, true), "*Ein recht lange TEXT 1023KB 24.12.23");
    EXPECT_EQ(f_CatStr(file, 40, false), "\u0080Ein recht lange TEXT 1023KB 24.12.23");
    file.Size = 1023;
    EXPECT_EQ(f_CatStr(file, 40, true), "*Ein recht lange TEXT 1023B  24.12.23");
    file.Size = 999;
    EXPECT_EQ(f_CatStr(file, 40, true), "*Ein recht lange TEXT 999 B  24.12.23");

    f_CatItem folder{.Name = "Briefe", .KindNum = 2, .FileType = "DIR ", .ModifiedStr = file.ModifiedStr};
    const std::string name = " Briefe" + std::string(43, ' ') + "  ", date = std::string(11, ' ') + "24.12.2023";
    EXPECT_EQ(f_CatStr(folder, 80, true), name + "DIR " + date);
    EXPECT_EQ(f_CatStr(folder, 80, false), name + "\u0082\u0083\u0083\u0084" + date);
    folder.Path = f_VolumesFolder();
    EXPECT_THAT(f_CatStr(folder, 60, true), testing::HasSubstr(" VOL "));
    EXPECT_THAT(f_CatStr(folder, 60, false), testing::HasSubstr(" \u0081\u0083\u0083\u0084 "));
    // An entry whose attributes could not be read still gives a full line.
    EXPECT_EQ(kt::scalarCount(f_CatStr(f_CatItem{}, 60, false)), 57u);

    // Names are converted to the font's codes, and hidden extensions dropped.
    LogCapture log;
    f_CatItem item{.Name = "\u00C6sop \u20AC.pdf", .KindNum = 1, .FileType = "PDF ", .ModifiedStr = file.ModifiedStr};
    EXPECT_EQ(f_CatStr(item, 60, true).substr(0, 13), " Aesop \u00A4.pdf");
    item.ExtHidden = true;
    EXPECT_EQ(f_CatStr(item, 60, true).substr(0, 13), " Aesop \u00A4    ");
    EXPECT_EQ(log.text(), "");
    item.Name = "Notiz.longext";
    EXPECT_EQ(f_CatStr(item, 60, true).substr(0, 14), " Notiz.longext");
    EXPECT_EQ(log.text(), "f_CatStr: Extension too long to hide.\n");
}

TEST(CatalogLoad, EntriesAreSortedWithoutRegardToCaseAndFiltered) {
    TempFolder folder;
    for (const char* name : {"b.txt", "A.pdf", "c.PDF", "B2.txt", "a1", ".hidden", "Thumbs.db", "\u00E4rger.txt"})
        writeFile(folder.file(name), {1, 2, 3});
    std::filesystem::create_directory(folder.file("Zeta"));
    std::filesystem::create_symlink(folder.file("b.txt"), folder.file("link"));
    std::filesystem::create_symlink(folder.file("gone"), folder.file("dangling"));
    LogCapture log;
    loadFresh(folder.path());
    EXPECT_EQ(names(), (Names{"A.pdf", "a1", "b.txt", "B2.txt", "c.PDF", "Zeta", "\u00E4rger.txt"}));
    EXPECT_EQ(std::tuple(f_CatStatus(), f_CatCount(), f_CatFolder()), std::tuple(1, 7, folder.path() + "/"));
    const f_CatItem& pdf = f_Catalog()[0];
    EXPECT_EQ(std::tuple(pdf.Path, pdf.Kind, pdf.KindNum, pdf.FileType, pdf.FileCreator, pdf.Size),
              std::tuple(folder.path() + "/", "NSFileTypeRegular", 1, "PDF ", "????", 3));
    const f_CatItem& zeta = f_Catalog()[5];
    EXPECT_EQ(std::tuple(f_Catalog()[1].FileType, zeta.Kind, zeta.FileType, zeta.FileCreator),
              std::tuple("????", "NSFileTypeDirectory", "DIR ", "----"));
    EXPECT_EQ(log.text(), "");

    // Invisible entries and links on request; the dangling link can't be read and stays out.
    loadFresh(folder.path(), false, true, true);
    EXPECT_EQ(names(), (Names{".hidden", "A.pdf", "a1", "b.txt", "B2.txt", "c.PDF", "link", "Thumbs.db", "Zeta",
                              "\u00E4rger.txt"}));
    const f_CatItem& link = f_Catalog()[6];
    EXPECT_EQ(std::tuple(link.KindNum, link.Kind, link.Alias, f_Catalog()[0].Invisible),
              std::tuple(3, "NSFileTypeSymbolicLink", true, true));

    loadFresh(folder.path(), false, false, false, "txt,pdf");
    EXPECT_EQ(std::tuple(names(), f_CatFilter()), std::tuple(Names{"A.pdf", "c.PDF"}, "txt,pdf"));
    loadFresh(folder.path(), false, false, false, "text,pdf");
    EXPECT_EQ(names(), (Names{"A.pdf", "b.txt", "B2.txt", "c.PDF", "\u00E4rger.txt"}));
    // The catalog grows with every load until its user empties it.
    f_CatLoad(folder.path() + "/", false, false, false, "pdf");
    EXPECT_EQ(f_CatCount(), 7);
}

TEST(CatalogLoad, FoldersThatAreNoneOrMissingLeaveTheCatalogAlone) {
    TempFolder folder;
    writeFile(folder.file("file"), {1});
    loadFresh(folder.path());
    ASSERT_EQ(f_CatCount(), 1);
    LogCapture log;
    f_CatLoad(folder.file("file") + "/", false, false, false, "");
    EXPECT_EQ(f_CatStatus(), -2);
    f_CatLoad(folder.file("missing/"), false, false, false, "");
    f_CatLoad("", false, false, false, "");
    EXPECT_EQ(log.text(), "f_CatLoad: Path '" + folder.file("file") + "/' does not exist.\n" + "f_CatLoad: Path '" +
                              folder.file("missing/") + "' does not exist.\n" + "f_CatLoad: Path '' does not exist.\n");
    EXPECT_EQ(std::tuple(f_Catalog().size(), f_CatFolder()), std::tuple(1u, folder.path() + "/"));
    // A folder given without its "/" still gives whole paths.
    f_Catalog().clear();
    f_CatLoad(folder.path(), false, false, false, "");
    ASSERT_EQ(f_CatCount(), 1);
    EXPECT_EQ(f_Catalog()[0].Path, folder.path() + "/");
}

TEST(CatalogLoad, RecursionCollectsEveryLevelAndStopsAtLinksBackUp) {
    TempFolder folder;
    std::filesystem::create_directories(folder.file("a/b"));
    for (const char* name : {"a/b/deep.txt", "top.txt"}) writeFile(folder.file(name), {1});
    std::filesystem::create_directory_symlink(folder.path(), folder.file("a/up"));
    LogCapture log;
    loadFresh(folder.path(), true);
    // The link back up is an alias and not listed; it is not followed into the folder that is
    // being listed, which would never end.
    EXPECT_EQ(names(), (Names{"a", "b", "deep.txt", "top.txt"}));
    EXPECT_EQ(std::tuple(f_Catalog()[2].Path, f_CatFolder(), f_CatStatus(), log.text()),
              std::tuple(folder.path() + "/a/b/", folder.path() + "/", 1, ""));
}

TEST(CatalogLoad, TheVolumesFolderListsOnlyFoldersAndLinks) {
    EXPECT_THAT(f_VolumesFolder(), testing::AnyOf("/mnt/", testing::StartsWith("/media/")));
    TempFolder folder;
    for (const char* name : {"Stick", ".versteckt"}) std::filesystem::create_directory(folder.file(name));
    std::filesystem::create_directory_symlink("/", folder.file("System"));
    writeFile(folder.file("notes.txt"), {1});
    kt::setVolumesFolder(folder.path() + "/");
    LogCapture log;
    loadFresh(folder.path(), false, false, false, "pdf");
    kt::setVolumesFolder("");
    EXPECT_EQ(names(), (Names{".versteckt", "Stick", "System"}));
    EXPECT_THAT(log.text(), testing::HasSubstr("f_CatLoad: Volume „notes.txt“ of type „TEXT“ ignored\n"
                                               "f_CatLoad: Volume „Stick“ of type „DIR “ added to list\n"));
}

TEST(CatalogAttributes, DatesLocksAndFailures) {
    TempFolder folder;
    const std::string path = folder.file("datei.bin");
    writeFile(path, std::vector<uint8_t>(1500, 7));
    std::tm when{.tm_sec = 7, .tm_min = 6, .tm_hour = 5, .tm_mday = 4, .tm_mon = 2, .tm_year = 121, .tm_isdst = -1};
    const timespec times[2] = {{std::mktime(&when), 0}, {std::mktime(&when), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    f_CatItem item = f_FileAttributes(path);
    EXPECT_EQ(std::tuple(item.Name, item.Path, item.FileType, item.Size, item.ModifiedStr, item.CreatedStr.size(),
                         item.ReadOnly, item.ExtHidden),
              std::tuple("datei.bin", folder.path() + "/", "BIN ", 1500, "04.03.2021 05:06:07", 19u, false, false));
    if (setImmutable(path, true)) {
        EXPECT_TRUE(f_FileAttributes(path).ReadOnly);
        loadFresh(folder.path());
        EXPECT_EQ(f_CatStr(f_Catalog().at(0), 80, true)[0], '*');
        setImmutable(path, false);
    }
    LogCapture log;
    const auto before = std::chrono::system_clock::now();
    f_CatItem missing = f_FileAttributes(folder.file("fehlt"));
    EXPECT_THAT(log.text(), testing::StartsWith("f_FileAttributes: Error #2: "));
    EXPECT_EQ(std::tuple(missing.Name, missing.KindNum, missing.FileType, missing.Invisible),
              std::tuple("", 0, "", false));
    EXPECT_GE(missing.Modified, before);
}

TEST(CatalogSelection, SelectedEntryIndexAndNamesThatAreNoUtf8) {
    TempFolder folder;
    const std::string bad = "bad\xFF.bin";
    writeFile(folder.file(bad), {42});
    writeFile(folder.file("eins"), {});
    writeFile(folder.file("zwei"), {});
    loadFresh(folder.path());
    ASSERT_EQ(f_CatCount(), 3);
    EXPECT_EQ(f_CatSelectedName(), "");  // nothing selected
    // A name that is no UTF-8 is shown with a stand-in and keeps its bytes.
    EXPECT_EQ(std::tuple(f_Catalog()[0].Name, f_Catalog()[0].FileType), std::tuple(bad, "BIN "));
    LogCapture log;
    EXPECT_EQ(f_CatStr(f_Catalog()[0], 60, false).substr(0, 10), " bad\x7F.bin ");
    f_CatSelected() = 0;
    EXPECT_EQ(getbinaryfromfile(f_CatSelectedPath() + f_CatSelectedName()), kt::ByteArray{42});
    f_CatSelected() = 2;
    EXPECT_EQ(std::tuple(f_CatSelectedName(), f_CatSelectedPath()), std::tuple("zwei", folder.path() + "/"));
    f_CatSelected() = 3;  // past the end
    EXPECT_EQ(std::tuple(f_CatSelectedName(), f_CatIndex("zwei"), f_CatIndex("Zwei")), std::tuple("", 2, -1));
    f_CatStatus() = -1;
    f_CatSelected() = 0;
    EXPECT_EQ(f_CatSelectedPath(), "");
    f_Catalog().clear();
    EXPECT_EQ(f_CatIndex("eins"), -1);
    // Files, folders and nothing are told apart as for opened files; an empty path is -1.
    EXPECT_EQ(std::tuple(f_PathStatus(""), f_PathStatus(folder.path() + "/")), std::tuple(-1, 2));
}
