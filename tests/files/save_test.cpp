// Saves that keep what the user has (rights, links, owner, group, attributes), the leftovers
// of ended saves, saves that survive a kill at random moments and a full file system, and
// setbinarytofile, the wrapper the whole-file helpers offer.
//
// The cases of rights and owners run the program itself as the unprivileged user "nobody",
// which needs root to set up. The kill test runs the program too (headless, with a script
// that opens the file, inserts a byte at its start and saves with ^S), because a kill must
// hit the whole save as the user runs it, and a child forked from this many-threaded test
// program could not safely do more than exec. OSTRAKONIX_KILLS sets the number of runs
// (default 12) and OSTRAKONIX_KILL_MIB the file's size (default 4).
#include "files/save.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "app/utf8.h"
#include "editor/editor.h"
#include "files/journal.h"
#include "input/entries.h"
#include "support/toolkit_fixture.h"

extern char** environ;

namespace {

using namespace testing_support;
using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

struct stat statOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

// Names of the save's temporary files in a folder (".name.ostrakonix-<pid>-XXXXXX"); only
// those of one process when pid is given.
std::vector<std::string> temporaries(const std::string& folder, pid_t pid = 0) {
    const std::string mark = ".ostrakonix-" + (pid ? std::to_string(pid) + "-" : std::string());
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (auto name = entry.path().filename().string(); name.find(mark) != name.npos) names.push_back(name);
    return names;
}

// The copies of new content that saves in place kept ("NAME.ostrakonix-rescue-XXXXXX").
std::vector<std::string> rescues(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (auto name = entry.path().filename().string(); name.find(".ostrakonix-rescue-") != name.npos)
            names.push_back(name);
    return names;
}

// Saves text into the file: the error code, whether the file was written in place, where the
// new content was kept.
std::tuple<int, bool, std::string> save(
    const std::string& path, const std::string& text,
    int (*write)(int, const std::string&) = [](int fd, const std::string& t) {
        return ::write(fd, t.data(), t.size()) == ssize_t(t.size()) ? 0 : errno;
    }) {
    SaveOutcome outcome;
    const int code = f_SaveFile(
        path, [&](int fd) { return write(fd, text); }, outcome);
    return {code, outcome.inPlace, outcome.keptAt};
}

std::string attribute(const std::string& path, const char* name) {
    char value[64] = {};
    ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "" : std::string(value, static_cast<size_t>(n));
}

constexpr const char* acl = "system.posix_acl_access";

// An ACL as the kernel stores it (little-endian): version 2, then tag, permissions and id of
// each entry: the owner and user reads and writes, the group and others read.
std::string aclLetting(uint32_t user) {
    const uint32_t fields[] = {2, 1, 6, ~0u, 2, 6, user, 4, 4, ~0u, 0x10, 6, ~0u, 0x20, 4, ~0u};
    std::string bytes;
    for (size_t i = 0; i < std::size(fields); ++i)
        bytes.append(reinterpret_cast<const char*>(&fields[i]), i == 0 || i % 3 == 0 ? 4 : 2);
    return bytes;
}

// Runs the program headless on a script and a file to open, as the user "nobody", with its
// home and cache in folder; output gets its screens and log lines. It is killed after 20
// seconds (status 137), so that a hang fails the test.
int runAsNobody(const std::string& folder, const std::string& script, const std::string& file, std::string& output) {
    std::ofstream(folder + "/script") << script;
    const std::string command = "HOME=" + folder + " XDG_CONFIG_HOME=" + folder + "/config XDG_CACHE_HOME=" + folder +
                                "/cache timeout -s KILL 20 setpriv --reuid=nobody --regid=nogroup --clear-groups -- '" +
                                OSTRAKONIX_EXECUTABLE "' --headless --script " + folder + "/script '" + file + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    output.clear();
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the program on folder's "save.script", logging to its "log.txt".
pid_t startProgram(const TempFolder& folder) {
    const std::string script = folder.file("save.script"), log = folder.file("log.txt");
    const char* argv[] = {OSTRAKONIX_EXECUTABLE, "--headless", "--script", script.c_str(), "--log",
                          log.c_str(),           nullptr};
    pid_t pid = -1;
    return ::posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char**>(argv), environ) == 0 ? pid : -1;
}

// Waits for the program; true when it ended by itself (rather than by the kill).
bool reap(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return !(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
}

}  // namespace

// A file with other links is written in place (KillDuringSave.AFileWrittenInPlace... and the
// case "hard-linked" below check its links); others are replaced by a new file.
TEST(SaveFile, RenamesUnlessThatLosesLinksAndRefusesWhatIsNoFile) {
    TempFolder folder;
    // Found while looking at the save's temporary files: a file whose name nearly fills a folder
    // entry could not be saved, since the temporary name made from it was too long.
    const std::string plain = folder.file(std::string(250, 'p')), linked = folder.file(std::string(250, 'l'));
    writeFile(plain, bytesOf("old"));
    writeFile(linked, bytesOf("old content, longer"));
    fs::create_hard_link(linked, folder.file("other name.bin"));
    const ino_t plainInode = statOf(plain).st_ino;
    EXPECT_EQ(save(plain, "new"), std::tuple(0, false, ""));
    EXPECT_EQ(save(linked, "new"), std::tuple(0, true, ""));
    // The other name sees the new content, cut to its length.
    EXPECT_EQ(std::tuple(statOf(plain).st_ino != plainInode, readFile(folder.file("other name.bin"))),
              std::tuple(true, bytesOf("new")));

    // A writer that fails leaves the file as it was and no temporary file, either way.
    for (const auto& path : {plain, linked}) {
        const auto failing = [](int fd, const std::string&) { return ::write(fd, "part", 4) == 4 ? ENOSPC : EIO; };
        EXPECT_EQ(std::get<0>(save(path, "", failing)), ENOSPC) << path;
        EXPECT_EQ(readFile(path), bytesOf("new")) << path;
    }
    EXPECT_TRUE(temporaries(folder.path()).empty());

    // What is no regular file is refused and stays what it is.
    ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0666), 0);
    EXPECT_EQ(std::tuple(std::get<0>(save(folder.path(), "x")), std::get<0>(save(folder.file("pipe"), "x")),
                         std::get<0>(save("/dev/null", "x"))),
              std::tuple(EISDIR, ENOTSUP, ENOTSUP));
    EXPECT_TRUE(S_ISFIFO(statOf(folder.file("pipe")).st_mode) && S_ISCHR(statOf("/dev/null").st_mode));
    EXPECT_TRUE(temporaries(folder.path()).empty());

    // ACLs go with the file that replaces it; an ACL the new file took from its folder, which
    // the old file did not have, does not. (The case "user-attribute" below keeps a user one.)
    const TempFolder disk("/var/tmp");  // on the disk: /tmp may be a tmpfs, which keeps no attributes
    const std::string noted = disk.file("noted.bin"), bare = disk.file("bare.bin");
    writeFile(noted, bytesOf("old"));
    writeFile(bare, bytesOf("old"));
    if (::setxattr(noted.c_str(), acl, aclLetting(4321).data(), 44, 0) != 0 ||
        ::setxattr(disk.path().c_str(), "system.posix_acl_default", aclLetting(1234).data(), 44, 0) != 0)
        GTEST_SKIP() << "no ACLs on " << disk.path() << ": " << std::strerror(errno);
    const std::string notedAcl = attribute(noted, acl);
    for (const auto& path : {noted, bare}) EXPECT_EQ(save(path, "new"), std::tuple(0, false, ""));
    EXPECT_EQ(std::tuple(attribute(noted, acl), attribute(bare, acl)), std::tuple(notedAcl, ""));
}

TEST(SaveFile, RemovesTheLeftoversOfEndedSavesOfTheSameFileOnly) {
    TempFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = std::to_string(ended), alive = std::to_string(::getpid());
    const std::string d = ".data.bin.ostrakonix-";
    // clang-format off
    const std::pair<std::string, bool> leftovers[] = {
        {d + dead + "-abc123", true}, {d + dead + "-XyZ789", true}, {d + alive + "-abcdef", false},
        {".other.bin.ostrakonix-" + dead + "-abcdef", false}, {d + dead + "-abcdefg", false}, {d + dead + "-abc.ef", false},
        {d.substr(1) + dead + "-abcdef", false}, {d + "0" + dead + "-abcdef", false}, {d + "0-abcdef", false}};
    // clang-format on
    for (const auto& [name, removed] : leftovers) writeFile(folder.file(name), bytesOf("x"));
    ::mkdir(folder.file(d + dead + "-folder").c_str(), 0700);  // not a file: kept
    writeFile(folder.file("data.bin"), bytesOf("old"));
    ASSERT_EQ(save(folder.file("data.bin"), "new"), std::tuple(0, false, ""));
    for (const auto& [name, removed] : leftovers) EXPECT_NE(fs::exists(folder.file(name)), removed) << name;
    EXPECT_TRUE(fs::is_directory(folder.file(d + dead + "-folder")));
}

TEST(SaveFile, NeverDoesWhatAWriteOfTheUserCouldNotAndKeepsOwnersLinksAndAttributes) {
    if (::geteuid() != 0) GTEST_SKIP() << "the program is run as the user nobody, which needs root; skipped";
    const passwd* user = ::getpwnam("nobody");
    const group* users = ::getgrnam("nogroup");
    if (!user || !users) GTEST_SKIP() << "no user nobody or group nogroup; skipped";
    const uid_t uid = user->pw_uid, gid = users->gr_gid;
    enum Expect { refused, renamed, inPlace };
    // Name, owner and mode of the folder, owner, group and mode of the file, an attribute root sets.
    const std::tuple<const char*, uid_t, mode_t, uid_t, gid_t, mode_t, const char*, Expect> cases[] = {
        {"read-only", uid, 0755, uid, gid, 0444, nullptr, refused},
        {"plain", uid, 0755, uid, gid, 06750, nullptr, renamed},  // set-ID bits, which writing clears
        {"hard-linked", uid, 0755, uid, gid, 04755, nullptr, inPlace},
        {"sticky", 0, 01777, 0, 0, 0666, nullptr, inPlace},
        {"other-group", uid, 0755, uid, 0, 0664, nullptr, inPlace},
        {"user-attribute", uid, 0755, uid, gid, 0644, "user.note", renamed},
        {"security-attribute", uid, 0755, uid, gid, 0644, "security.ostrakonix-test", inPlace},
        {"closed-folder", uid, 0555, uid, gid, 0644, nullptr, inPlace},
    };
    const TempFolder disk("/var/tmp");  // on the disk: /tmp may be a tmpfs, which keeps no user attributes
    ::chmod(disk.path().c_str(), 0755);
    // A blank inserted (a new file renamed, or a copy over the file), or a byte overwritten
    // (written in place through a journal, which keeps everything by its nature).
    for (size_t round = 0; round < 2 * std::size(cases); ++round) {
        const bool journaled = round >= std::size(cases);
        const auto& [name, folderOwner, folderMode, fileOwner, fileGroup, fileMode, attributeName, expect] =
            cases[round % std::size(cases)];
        SCOPED_TRACE(std::string(name) + (journaled ? ", journaled" : ""));
        const std::string home = disk.file(name + std::string(journaled ? "-j-home" : "-home"));
        const std::string folder = disk.file(name + std::string(journaled ? "-j" : ""));
        const std::string path = folder + "/data.bin";
        ::mkdir(home.c_str(), 0755);
        ::mkdir(folder.c_str(), 0755);
        writeFile(path, bytesOf("old"));
        if (std::string(name) == "hard-linked") ::link(path.c_str(), (home + "/link").c_str());
        if (attributeName && ::setxattr(path.c_str(), attributeName, "kept", 4, 0) != 0) {
            std::printf("%s: %s could not be set (%s); the case is skipped\n", name, attributeName,
                        std::strerror(errno));
            continue;
        }
        ASSERT_EQ(::chown(home.c_str(), uid, gid), 0);
        ASSERT_EQ(::chown(path.c_str(), fileOwner, fileGroup), 0);
        ASSERT_EQ(::chmod(path.c_str(), fileMode), 0);
        ASSERT_EQ(::chown(folder.c_str(), folderOwner, folderOwner == 0 ? 0 : gid), 0);
        ASSERT_EQ(::chmod(folder.c_str(), folderMode), 0);
        const struct stat before = statOf(path);

        std::string output;
        ASSERT_EQ(runAsNobody(home, journaled ? "type Z\nkey ^S\nscreen\n" : "key ^I\nkey ^S\nscreen\n", path, output),
                  0)
            << output;
        const struct stat after = statOf(path);
        const bool refusal = expect == refused;
        // The status line's mark: ":" while the buffer holds changes not saved, "·" after a save.
        EXPECT_EQ(std::tuple(output.find("Die Datei konnte nicht gespeichert werden.") != output.npos,
                             output.find("setbinarytofile: Error #13:") != output.npos,  // EACCES
                             output.find(refusal ? " :data.bin" : " \u00B7data.bin") != output.npos),
                  std::tuple(refusal, refusal, true))
            << output;
        EXPECT_EQ(std::tuple(readFile(path), after.st_ino == before.st_ino, after.st_uid, after.st_gid, after.st_mode,
                             after.st_nlink, attribute(path, attributeName ? attributeName : "user.none"),
                             temporaries(folder).empty()),
                  std::tuple(bytesOf(refusal     ? "old"
                                     : journaled ? "Zld"
                                                 : " old"),
                             journaled || expect != renamed, fileOwner, fileGroup, before.st_mode, before.st_nlink,
                             attributeName ? "kept" : "", true));
        if (std::string(name) == "closed-folder") {
            // The new content waited in the program's own cache folder, which only its user may enter.
            EXPECT_EQ(statOf(home + "/cache/ostrakonix").st_mode & 07777, 0700u);
            EXPECT_TRUE(temporaries(home + "/cache/ostrakonix").empty());
        }
        ::chmod(folder.c_str(), 0755);
    }
}

// Kills the program at random moments while it inserts a byte and saves. A file with a
// second name is written in place: a kill while the new content is copied over it may leave
// it mixed, but then the kept copy holds the whole new content and the log named it. A byte
// overwritten is saved in place through a journal: once the file is opened again (which
// finishes or removes a journal) it is the old or the new content, and no journal is left.
enum class Kill { renamed, linked, journaled };

void killDuringSave(Kill mode) {
    const bool linked = mode == Kill::linked;
    const int64_t runs = environmentNumber("OSTRAKONIX_KILLS", 12);
    const auto size = static_cast<size_t>(environmentNumber("OSTRAKONIX_KILL_MIB", 4)) << 20;
    TempFolder folder;
    const std::string path = folder.file("big.bin"), other = folder.file("other name.bin");
    Bytes content(size);
    std::mt19937_64 random(environmentNumber("OSTRAKONIX_KILL_SEED", 1));
    for (auto& b : content) b = static_cast<uint8_t>(random());
    writeFile(path, content);
    if (linked) fs::create_hard_link(path, other);
    const std::string journal = f_JournalBeside(path);
    // The edit of a run: a blank inserted at the start, or the first byte overwritten.
    auto edited = [&](Bytes bytes) {
        const char typed = bytes[0] == 'J' ? 'K' : 'J';
        std::ofstream(folder.file("save.script"))
            << "type x\nopen " << path << (mode == Kill::journaled ? std::string("\ntype ") + typed : "\nkey ^I")
            << "\nkey ^S\nwait\n";
        if (mode == Kill::journaled)
            bytes[0] = static_cast<uint8_t>(typed);
        else
            bytes.insert(bytes.begin(), ' ');
        return bytes;
    };
    auto saving = [&](pid_t pid) {
        return !temporaries(folder.path(), pid).empty() || !rescues(folder.path()).empty() || fs::exists(journal);
    };
    Bytes next = edited(content);

    // One run undisturbed: how long a run takes, and how long its temporary file exists.
    const auto started = Clock::now();
    const pid_t first = startProgram(folder);
    ASSERT_GT(first, 0);
    Clock::time_point firstSeen{}, lastSeen{};
    int status = 0;
    while (::waitpid(first, &status, WNOHANG) == 0) {
        if (saving(first)) (firstSeen == Clock::time_point{} ? firstSeen : lastSeen) = Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const auto saveTime = std::max(std::chrono::duration_cast<std::chrono::microseconds>(lastSeen - firstSeen),
                                   std::chrono::microseconds(1000));
    content = next;
    ASSERT_EQ(readFile(path), content) << "the undisturbed save did not write the new content";

    int killedWhileSaving = 0, killedOtherwise = 0, finished = 0, mixed = 0, journalsFinished = 0, journalsRemoved = 0;
    testing_support::LogCapture quiet;
    for (int64_t run = 0; run < runs; ++run) {
        next = edited(content);
        const pid_t pid = startProgram(folder);
        ASSERT_GT(pid, 0);
        // Half the kills at any moment of a run, half once the save's temporary file exists.
        if (run % 2 == 1) {
            const auto deadline = Clock::now() + 4 * runTime + std::chrono::seconds(2);
            while (!saving(pid) && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto span = run % 2 ? saveTime : runTime;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(span.count() + 1)));
        const bool wasSaving = saving(pid);
        ::kill(pid, SIGKILL);
        ++(reap(pid) ? finished : wasSaving ? killedWhileSaving : killedOtherwise);

        const bool journalLeft = fs::exists(journal);
        f_FinishJournal(path);  // as opening the file does
        ASSERT_FALSE(fs::exists(journal)) << "run " << run;
        Bytes onDisk = readFile(path);
        if (journalLeft) ++(onDisk == next ? journalsFinished : journalsRemoved);
        ASSERT_TRUE(!linked || (fs::hard_link_count(path) == 2 && fs::equivalent(path, other))) << "run " << run;
        const auto kept = rescues(folder.path());
        if (linked && onDisk != content && onDisk != next) {
            ASSERT_EQ(kept.size(), 1u) << "run " << run << ": the file is mixed and the new content is not kept";
            ASSERT_EQ(readFile(folder.file(kept[0])), next) << "run " << run << ": the kept content is not whole";
            const Bytes log = readFile(folder.file("log.txt"));
            ASSERT_NE(std::string(log.begin(), log.end()).find(folder.file(kept[0])), std::string::npos)
                << "run " << run << ": the log does not name " << kept[0];
            writeFile(path, next);  // what the user does with it: put it back into the file
            onDisk = next;
            ++mixed;
        }
        for (const auto& name : kept) fs::remove(folder.file(name));  // a copy no longer needed
        ASSERT_TRUE(onDisk == content || onDisk == next)
            << "run " << run << ": the file holds " << onDisk.size() << " bytes, neither the old nor the new content";
        content = onDisk;
    }
    // The next save removes what the killed ones left behind.
    content = edited(content);
    const pid_t last = startProgram(folder);
    ASSERT_GT(last, 0);
    ASSERT_TRUE(reap(last));
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(temporaries(folder.path()), std::vector<std::string>{}) << "the leftovers of killed saves remain";
    std::printf(
        "kill test: %d killed while saving, %d otherwise, %d finished, %d mixed with the new content kept, %d "
        "journals finished, %d removed\n",
        killedWhileSaving, killedOtherwise, finished, mixed, journalsFinished, journalsRemoved);
}

TEST(KillDuringSave, TheFileIsAlwaysTheOldOrTheNewContent) { killDuringSave(Kill::renamed); }

TEST(KillDuringSave, AFileWrittenInPlaceIsOldOrNewOrItsNewContentIsKeptWhole) { killDuringSave(Kill::linked); }

TEST(KillDuringSave, AJournaledSaveLeavesTheOldOrTheNewContentAndNoJournal) { killDuringSave(Kill::journaled); }

// A 256 KiB tmpfs over a temporary folder, for as long as it lives (mounting needs root).
struct SmallFileSystem {
    TempFolder folder;
    bool mounted = ::mount("tmpfs", folder.path().c_str(), "tmpfs", 0, "size=256k") == 0;
    ~SmallFileSystem() {
        if (mounted) ::umount2(folder.path().c_str(), MNT_DETACH);
    }
};

void press(int64_t key) {
    headless().deliver([key] { viewKeyDown(0, {200, kt::utf8Of(static_cast<uint32_t>(key)), 0}); });
    ASSERT_TRUE(headless().waitUntilIdle());
}

TEST(FullFileSystem, AFailedSaveKeepsTheOldFileAndTheEdit) {
    SmallFileSystem fs;
    if (!fs.mounted) GTEST_SKIP() << "a small tmpfs could not be mounted (" << std::strerror(errno) << "); skipped";
    kt::setLogStream(std::fopen("/dev/null", "w"));
    const std::string path = fs.folder.file("data.bin");
    Bytes original(150 * 1024);
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 7);
    writeFile(path, original);
    ASSERT_EQ(readFile(path), original);
    struct statvfs before {};
    ::statvfs(fs.folder.path().c_str(), &before);

    startprocess(editor::mainProgram, app::programStackSize);
    ASSERT_TRUE(headless().waitUntilIdle());
    press('x');
    headless().deliver([&] { f_FileEventHandler(path, 0); });
    ASSERT_TRUE(headless().waitUntilIdle());
    ASSERT_EQ(editor::state().Buffer.size(), original.size());
    // ^I: a blank at the start; ^S: there is no room for the new file beside the old; x: the failure's message.
    for (char key : {'\t', '\x13', 'x'}) press(key);
    EXPECT_TRUE(editor::state().Modified);
    // Closing asks to save first; the failed save cancels the close and keeps the edit.
    for (char key : {'\x18', 'J', 'x'}) press(key);  // ^X, "yes", and the failure's message
    EXPECT_EQ(std::tuple(editor::state().Modified, editor::state().Buffer.size(), editor::state().CurrentPath),
              std::tuple(true, original.size() + 1, path));
    EXPECT_EQ(readFile(path), original);
    // No temporary file is left to fill the file system further.
    struct statvfs after {};
    ::statvfs(fs.folder.path().c_str(), &after);
    EXPECT_EQ(std::tuple(temporaries(fs.folder.path()).empty(), after.f_bfree), std::tuple(true, before.f_bfree));
}
