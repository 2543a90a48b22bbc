// The browser's tests load folders through the catalog, pin a file's line of 80 and of 40
// columns on the screen, and load a volumes folder (only its folder is listed, with the
// volume's symbols and its log line); here the rules, the other lines, and what a load lists.
#include "files/catalog.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

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

// Sets or clears the immutable flag; false where the file system, our rights or the tools
// don't allow it.
bool setImmutable(const std::string& path, bool on) {
    return std::system(("chattr " + std::string(on ? "+i '" : "-i '") + path + "' 2>/dev/null").c_str()) == 0;
}

}  // namespace

TEST(CatalogRules, HiddenNamesTypeCodesFiltersSizeTextsAndLines) {
    const std::pair<const char*, bool> hiddenNames[] = {
        {".", true},     {"thumbs.DB", true}, {"Icon\r", true},      {"", false},         {"profile.", false},
        {"Icon", false}, {"Icon\r\r", false}, {"thumbs.db2", false}, {"x.profile", false}};
    for (auto [name, hidden] : hiddenNames) EXPECT_EQ(f_IsHiddenName(name), hidden) << name;
    const std::pair<const char*, const char*> kinds[] = {{"JPG", "JPEG"}, {"", "????"}, {"jpgx", "????"}};
    for (auto [extension, kind] : kinds) EXPECT_EQ(f_FileKind(extension), kind) << extension;
    // "txt" is not within "text"; a stray comma lets nothing through.
    const std::tuple<const char*, const char*, bool> matches[] = {
        {"TEXT", "", true},         {"PDF ", "txt,pdf", true},   {"TEXT", "pdf,TeXt", true}, {"PNGf", "pn", true},
        {"TEXT", "txt,pdf", false}, {"DIR ", "text,pdf", false}, {"TEXT", "pdf,", false}};
    for (auto [type, filter, match] : matches) EXPECT_EQ(f_TypeMatches(type, filter), match) << type << filter;
    const std::pair<int64_t, const char*> sizes[] = {{0, "0 B "},          {1023, "1023 B "}, {1024, "1 KB"},
                                                     {1048575, "1023 KB"}, {1048576, "1 MB"}, {3298534883328, "3 TB"}};
    for (auto [size, text] : sizes) EXPECT_EQ(f_SizeStr(size), text) << size;

    // The line of 40 columns cuts the name and writes the year with two digits; a size of four
    // digits loses the blank before its unit rather than its first digit.
    const std::string when = "24.12.2023 18:30:00";
    f_CatItem file{.Name = "Ein recht langer Name.txt", .KindNum = 1, .FileType = "TEXT", .ModifiedStr = when};
    file.ReadOnly = true;
    for (auto [size, text] : {std::pair{1048575, "1023KB"}, {1023, "1023B "}, {999, "999 B "}}) {
        file.Size = size;
        EXPECT_EQ(f_CatStr(file, 40, true), "*Ein recht lange TEXT " + std::string(text) + " 24.12.23");
    }
    EXPECT_EQ(f_CatStr(file, 40, false), "\u0080Ein recht lange TEXT 999 B  24.12.23");
    file = {.Name = "Brief.txt", .KindNum = 1, .Size = 1048575, .FileType = "TEXT", .ModifiedStr = when};
    EXPECT_EQ(std::tuple(f_CatStr(file, 60, true), f_CatStr(file, 50, true)),
              std::tuple(" Brief.txt" + std::string(23, ' ') + " TEXT 1023 KB 24.12.2023", f_CatStr(file, 60, true)));
    f_CatItem folder{.Name = "Briefe", .KindNum = 2, .FileType = "DIR ", .ModifiedStr = when};
    const std::string name = " Briefe" + std::string(43, ' ') + "  ", date = std::string(11, ' ') + "24.12.2023";
    EXPECT_EQ(std::tuple(f_CatStr(folder, 80, true), f_CatStr(folder, 80, false)),
              std::tuple(name + "DIR " + date, name + "\u0082\u0083\u0083\u0084" + date));
    folder.Path = f_VolumesFolder();
    EXPECT_THAT(f_CatStr(folder, 60, true), testing::HasSubstr(" VOL "));
    // An entry whose attributes could not be read still gives a full line.
    EXPECT_EQ(kt::scalarCount(f_CatStr(f_CatItem{}, 60, false)), 57u);

    // Names are converted to the font's codes, and hidden extensions dropped unless too long.
    LogCapture log;
    f_CatItem item{
        .Name = "\u00C6sop \u20AC.pdf", .KindNum = 1, .FileType = "PDF ", .ExtHidden = true, .ModifiedStr = when};
    const std::string hidden = f_CatStr(item, 60, true).substr(0, 13);
    item.Name = "Notiz.longext";
    const std::string kept = f_CatStr(item, 60, true).substr(0, 14);
    EXPECT_EQ(std::tuple(hidden, kept, log.text()),
              std::tuple(" Aesop \u00A4    ", " Notiz.longext", "f_CatStr: Extension too long to hide.\n"));
}

TEST(CatalogLoad, EntriesAreSortedAndFilteredMissingFoldersChangeNothingAndRecursionStopsAtLinksBackUp) {
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
    const f_CatItem &pdf = f_Catalog()[0], &zeta = f_Catalog()[5];
    EXPECT_EQ(std::tuple(pdf.Path, pdf.KindNum, pdf.FileType, pdf.Size, f_Catalog()[1].FileType, zeta.KindNum,
                         zeta.FileType, log.text()),
              std::tuple(folder.path() + "/", 1, "PDF ", 3, "????", 2, "DIR ", ""));

    // Invisible entries and links on request; the dangling link can't be read and stays out.
    loadFresh(folder.path(), false, true, true);
    EXPECT_EQ(names(), (Names{".hidden", "A.pdf", "a1", "b.txt", "B2.txt", "c.PDF", "link", "Thumbs.db", "Zeta",
                              "\u00E4rger.txt"}));
    EXPECT_EQ(std::tuple(f_Catalog()[6].KindNum, f_Catalog()[6].Alias, f_Catalog()[0].Invisible),
              std::tuple(3, true, true));

    loadFresh(folder.path(), false, false, false, "text,pdf");
    EXPECT_EQ(std::tuple(names(), f_CatFilter()),
              std::tuple(Names{"A.pdf", "b.txt", "B2.txt", "c.PDF", "\u00E4rger.txt"}, "text,pdf"));
    // The catalog grows with every load until its user empties it.
    f_CatLoad(folder.path() + "/", false, false, false, "pdf");
    EXPECT_EQ(f_CatCount(), 7);

    // Nothing, a missing folder and a file are no folders: the catalog stays as it was.
    for (const std::string& path : {std::string(), folder.file("missing/"), folder.file("b.txt") + "/"})
        f_CatLoad(path, false, false, false, "");
    EXPECT_THAT(log.text(), testing::EndsWith("f_CatLoad: Path '" + folder.file("b.txt") + "/' does not exist.\n"));
    EXPECT_EQ(std::tuple(f_CatStatus(), f_Catalog().size(), f_CatFolder()), std::tuple(-2, 7u, folder.path() + "/"));

    // Recursion collects every level and stops at links back up.
    TempFolder tree;
    std::filesystem::create_directories(tree.file("a/b"));
    for (const char* name : {"a/b/deep.txt", "top.txt"}) writeFile(tree.file(name), {1});
    std::filesystem::create_directory_symlink(tree.path(), tree.file("a/up"));
    LogCapture quiet;
    loadFresh(tree.path(), true);
    // The link back up is an alias and not listed; it is not followed into the folder that is
    // being listed, which would never end.
    EXPECT_EQ(names(), (Names{"a", "b", "deep.txt", "top.txt"}));
    EXPECT_EQ(std::tuple(f_Catalog()[2].Path, f_CatFolder(), f_CatStatus(), quiet.text()),
              std::tuple(tree.path() + "/a/b/", tree.path() + "/", 1, ""));
}

TEST(CatalogAttributes, DatesLocksFailuresAndTheSelectedEntry) {
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
    EXPECT_EQ(
        std::tuple(missing.Name, missing.KindNum, missing.FileType, missing.Invisible, missing.Modified >= before),
        std::tuple("", 0, "", false, true));

    // The selected entry, and a name that is no UTF-8: shown with a stand-in, it keeps its bytes.
    const std::string bad = "bad\xFF.bin";
    writeFile(folder.file(bad), {42});
    writeFile(folder.file("zwei"), {});
    loadFresh(folder.path());
    ASSERT_EQ(f_CatCount(), 3);
    EXPECT_EQ(std::tuple(f_CatSelectedName(), f_Catalog()[0].Name, f_Catalog()[0].FileType),
              std::tuple("", bad, "BIN "));
    f_CatSelected() = 0;
    EXPECT_EQ(readFile(f_CatSelectedPath() + f_CatSelectedName()), std::vector<uint8_t>{42});
    f_CatSelected() = 3;  // past the end
    EXPECT_EQ(std::tuple(f_CatSelectedName(), f_CatIndex("zwei"), f_CatIndex("Zwei")), std::tuple("", 2, -1));
    f_CatStatus() = -1;
    f_CatSelected() = 0;
    EXPECT_EQ(f_CatSelectedPath(), "");
    f_Catalog().clear();
    EXPECT_EQ(std::tuple(f_CatIndex("zwei"), f_PathStatus(""), f_PathStatus(folder.path() + "/")),
              std::tuple(-1, -1, 2));
}
