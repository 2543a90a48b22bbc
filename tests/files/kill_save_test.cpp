// Saves that survive: the program killed at random moments while it saves a large file (by
// rename, and in place through a hard link), and a save into a full file system.
//
// The kill test runs the ostrakonix program itself (headless, with a script that opens the
// file, inserts a byte at its start and saves with ^S), because a kill must hit the whole
// save as the user runs it, and a child forked from this many-threaded test program could
// not safely do more than exec. OSTRAKONIX_KILLS sets the number of runs (default 12) and
// OSTRAKONIX_KILL_MIB the file's size (default 4).
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "input/entries.h"
#include "app/utf8.h"
#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "editor/editor.h"
#include "files/fileio.h"
#include "files/save.h"
#include "support/toolkit_fixture.h"

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;
using namespace testing_support;

int64_t environmentNumber(const char* name, int64_t fallback) {
    const char* value = std::getenv(name);
    return value && *value ? std::strtoll(value, nullptr, 10) : fallback;
}

// Names of the save's temporary files in a folder (".name.ostrakonix-<pid>-XXXXXX"); only
// those of one process when pid is given.
std::vector<std::string> temporaryFiles(const std::string& folder, pid_t pid = 0) {
    const std::string mark = ".ostrakonix-" + (pid ? std::to_string(pid) + "-" : std::string());
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (auto name = entry.path().filename().string(); name.find(mark) != name.npos) names.push_back(name);
    return names;
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

std::string textOf(const std::string& path) {
    const Bytes bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// Kills the program at random moments while it inserts a byte and saves. A file with a
// second name is written in place: a kill while the new content is copied over it may leave
// it mixed, but then the temporary file holds the whole new content and the log named it.
void killDuringSave(bool linked) {
    const int64_t runs = environmentNumber("OSTRAKONIX_KILLS", 12);
    const auto size = static_cast<size_t>(environmentNumber("OSTRAKONIX_KILL_MIB", 4)) << 20;
    TempFolder folder;
    const std::string path = folder.file("big.bin"), other = folder.file("other name.bin");
    Bytes content(size);
    std::mt19937_64 random(environmentNumber("OSTRAKONIX_KILL_SEED", 1));
    for (auto& b : content) b = static_cast<uint8_t>(random());
    writeFile(path, content);
    if (linked) std::filesystem::create_hard_link(path, other);
    std::ofstream(folder.file("save.script")) << "type x\nopen " << path << "\nkey ^I\nkey ^S\nwait\n";

    // One run undisturbed: how long a run takes, and how long its temporary file exists.
    const auto started = Clock::now();
    const pid_t first = startProgram(folder);
    ASSERT_GT(first, 0);
    Clock::time_point firstSeen{}, lastSeen{};
    int status = 0;
    while (::waitpid(first, &status, WNOHANG) == 0) {
        if (!temporaryFiles(folder.path(), first).empty())
            (firstSeen == Clock::time_point{} ? firstSeen : lastSeen) = Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const auto saveTime = std::max(std::chrono::duration_cast<std::chrono::microseconds>(lastSeen - firstSeen),
                                   std::chrono::microseconds(1000));
    content.insert(content.begin(), ' ');
    ASSERT_EQ(readFile(path), content) << "the undisturbed save did not write the new content";

    int killedWhileSaving = 0, killedOtherwise = 0, finished = 0, newContent = 0, mixed = 0, leftOver = 0;
    for (int64_t run = 0; run < runs; ++run) {
        const pid_t pid = startProgram(folder);
        ASSERT_GT(pid, 0);
        // Half the kills at any moment of a run, half once the save's temporary file exists.
        if (run % 2 == 1) {
            const auto deadline = Clock::now() + 4 * runTime + std::chrono::seconds(2);
            while (temporaryFiles(folder.path(), pid).empty() && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto span = run % 2 ? saveTime : runTime;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(span.count() + 1)));
        const bool saving = !temporaryFiles(folder.path(), pid).empty();
        ::kill(pid, SIGKILL);
        ++(reap(pid) ? finished : saving ? killedWhileSaving : killedOtherwise);

        Bytes onDisk = readFile(path);
        Bytes next = content;
        next.insert(next.begin(), ' ');
        if (linked) {
            ASSERT_EQ(std::filesystem::hard_link_count(path), 2u) << "run " << run;
            ASSERT_TRUE(std::filesystem::equivalent(path, other)) << "run " << run;
        }
        if (linked && onDisk != content && onDisk != next) {
            const auto kept = temporaryFiles(folder.path(), pid);
            ASSERT_EQ(kept.size(), 1u) << "run " << run << ": the file is mixed and the new content is not kept";
            ASSERT_EQ(readFile(folder.file(kept[0])), next) << "run " << run << ": the kept content is not whole";
            ASSERT_NE(textOf(folder.file("log.txt")).find(folder.file(kept[0])), std::string::npos)
                << "run " << run << ": the log does not name " << kept[0];
            writeFile(path, next);  // what the user does with it: put it back into the file
            onDisk = next;
            ++mixed;
        }
        ASSERT_TRUE(onDisk == content || onDisk == next)
            << "run " << run << ": the file holds " << onDisk.size() << " bytes, neither the old nor the new content";
        newContent += onDisk == next;
        content = onDisk;
        leftOver += static_cast<int>(temporaryFiles(folder.path(), pid).size());
    }
    // The next save removes what the killed ones left behind.
    const pid_t last = startProgram(folder);
    ASSERT_GT(last, 0);
    ASSERT_TRUE(reap(last));
    content.insert(content.begin(), ' ');
    EXPECT_EQ(readFile(path), content);
    EXPECT_EQ(temporaryFiles(folder.path()), std::vector<std::string>{}) << "the leftovers of killed saves remain";
    std::printf(
        "kill test%s: %lld runs of %zu MiB: %d killed while saving, %d otherwise, %d finished; %d saves landed, "
        "%d files mixed with the new content kept, %d temporary files left and removed by the next save\n",
        linked ? " (hard-linked, in place)" : "", static_cast<long long>(runs), size >> 20, killedWhileSaving,
        killedOtherwise, finished, newContent, mixed, leftOver);
}

TEST(KillDuringSave, TheFileIsAlwaysTheOldOrTheNewContent) { killDuringSave(false); }

TEST(KillDuringSave, AFileWrittenInPlaceIsOldOrNewOrItsNewContentIsKeptWhole) { killDuringSave(true); }

// --- A full file system -------------------------------------------------------------------

// A 256 KiB tmpfs over a temporary folder, for as long as it lives.
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
    SmallFileSystem fs;  // mounting needs root
    if (!fs.mounted) GTEST_SKIP() << "a small tmpfs could not be mounted (" << std::strerror(errno) << "); skipped";
    const TempFolder& folder = fs.folder;
    kt::setLogStream(std::fopen("/dev/null", "w"));
    const std::string path = folder.file("data.bin");
    Bytes original(150 * 1024);
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<uint8_t>(i * 7);
    writeFile(path, original);
    ASSERT_EQ(readFile(path), original);
    struct statvfs before {};
    ::statvfs(folder.path().c_str(), &before);

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
    EXPECT_TRUE(editor::state().Modified);
    EXPECT_EQ(editor::state().Buffer.size(), original.size() + 1);
    EXPECT_EQ(editor::state().CurrentPath, path);
    EXPECT_EQ(readFile(path), original);

    // No temporary file is left to fill the file system further.
    EXPECT_TRUE(temporaryFiles(folder.path()).empty());
    struct statvfs after {};
    ::statvfs(folder.path().c_str(), &after);
    EXPECT_EQ(after.f_bfree, before.f_bfree);
}

// Written in place (a second name), the save finds no room for the longer content: the file
// keeps its old content and the temporary file, named in the log, the new.
TEST(FullFileSystem, AFileWrittenInPlaceStaysWholeAndTheNewContentIsKept) {
    SmallFileSystem fs;
    if (!fs.mounted) GTEST_SKIP() << "a small tmpfs could not be mounted (" << std::strerror(errno) << "); skipped";
    const std::string path = fs.folder.file("data.bin");
    const Bytes old(100 * 1024, 'o'), next(130 * 1024, 'n');  // both fit, but not the file grown besides
    writeFile(path, old);
    ::link(path.c_str(), fs.folder.file("second name.bin").c_str());
    LogCapture log;
    SaveOutcome outcome;
    auto writer = [&](int fd) { return ::write(fd, next.data(), next.size()) == ssize_t(next.size()) ? 0 : errno; };
    EXPECT_EQ(f_SaveFile(path, writer, outcome), ENOSPC);
    EXPECT_TRUE(outcome.inPlace);
    EXPECT_EQ(readFile(path), old);
    ASSERT_FALSE(outcome.keptAt.empty());
    EXPECT_EQ(readFile(outcome.keptAt), next);
    EXPECT_NE(log.text().find("kept in “" + outcome.keptAt + "”"), std::string::npos) << log.text();
}

// Found while looking at the save's temporary files: a file whose name nearly fills a folder
// entry could not be saved, since the temporary name made from it was too long.
TEST(SaveReplacing, AFileWithALongNameIsSavedToo) {
    TempFolder folder;
    const std::string path = folder.file(std::string(250, 'n'));
    writeFile(path, {'o', 'l', 'd'});
    const Bytes next{'n', 'e', 'w', '!'};
    EXPECT_EQ(setbinarytofile(path, next), 0);
    EXPECT_EQ(readFile(path), next);
    EXPECT_TRUE(temporaryFiles(folder.path()).empty());
}

}  // namespace
