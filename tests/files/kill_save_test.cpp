// Saves that survive: the program killed at random moments while it saves a large file,
// and a save into a full file system.
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

// Names of the save's temporary files in a folder (".name.ostrakonix-XXXXXX").
std::vector<std::string> temporaryFiles(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (auto name = entry.path().filename().string(); name.find(".ostrakonix-") != name.npos) names.push_back(name);
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

TEST(KillDuringSave, TheFileIsAlwaysTheOldOrTheNewContent) {
    const int64_t runs = environmentNumber("OSTRAKONIX_KILLS", 12);
    const auto size = static_cast<size_t>(environmentNumber("OSTRAKONIX_KILL_MIB", 4)) << 20;
    TempFolder folder;
    const std::string path = folder.file("big.bin");
    Bytes content(size);
    std::mt19937_64 random(environmentNumber("OSTRAKONIX_KILL_SEED", 1));
    for (auto& b : content) b = static_cast<uint8_t>(random());
    writeFile(path, content);
    std::ofstream(folder.file("save.script")) << "type x\nopen " << path << "\nkey ^I\nkey ^S\nwait\n";

    // One run undisturbed: how long a run takes, and how long its temporary file exists.
    const auto started = Clock::now();
    const pid_t first = startProgram(folder);
    ASSERT_GT(first, 0);
    Clock::time_point firstSeen{}, lastSeen{};
    int status = 0;
    while (::waitpid(first, &status, WNOHANG) == 0) {
        if (!temporaryFiles(folder.path()).empty()) (firstSeen == Clock::time_point{} ? firstSeen : lastSeen) = Clock::now();
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const auto runTime = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    const auto saveTime = std::max(std::chrono::duration_cast<std::chrono::microseconds>(lastSeen - firstSeen),
                                   std::chrono::microseconds(1000));
    content.insert(content.begin(), ' ');
    ASSERT_EQ(readFile(path), content) << "the undisturbed save did not write the new content";

    int killedWhileSaving = 0, killedOtherwise = 0, finished = 0, newContent = 0, leftOver = 0;
    for (int64_t run = 0; run < runs; ++run) {
        const pid_t pid = startProgram(folder);
        ASSERT_GT(pid, 0);
        // Half the kills at any moment of a run, half once the save's temporary file exists.
        if (run % 2 == 1) {
            const auto deadline = Clock::now() + 4 * runTime + std::chrono::seconds(2);
            while (temporaryFiles(folder.path()).empty() && Clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const auto span = run % 2 ? saveTime : runTime;
        std::this_thread::sleep_for(std::chrono::microseconds(random() % static_cast<uint64_t>(span.count() + 1)));
        const bool saving = !temporaryFiles(folder.path()).empty();
        ::kill(pid, SIGKILL);
        ++(reap(pid) ? finished : saving ? killedWhileSaving : killedOtherwise);

        const Bytes onDisk = readFile(path);
        Bytes next = content;
        next.insert(next.begin(), ' ');
        ASSERT_TRUE(onDisk == content || onDisk == next)
            << "run " << run << ": the file holds " << onDisk.size() << " bytes, neither the old nor the new content";
        newContent += onDisk == next;
        content = onDisk;
        // A killed save leaves its temporary file behind; it is not the user's file.
        for (const auto& name : temporaryFiles(folder.path())) leftOver += ::unlink(folder.file(name).c_str()) == 0;
    }
    std::printf(
        "kill test: %lld runs of %zu MiB: %d killed while saving, %d otherwise, %d finished; %d saves landed, "
        "%d temporary files left\n",
        static_cast<long long>(runs), size >> 20, killedWhileSaving, killedOtherwise, finished, newContent, leftOver);
}

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
