// Saves that keep what the user has (rights, links, owner, group, attributes), the leftovers
// of ended saves, and opening only regular files. The cases of rights and owners run the
// program itself as the unprivileged user "nobody", which needs root to set up.
#include "files/save.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "app/file_primitives.h"
#include "support/toolkit_fixture.h"

extern char** environ;

namespace {

using namespace testing_support;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

struct stat statOf(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info;
}

std::vector<std::string> temporaries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        if (auto name = entry.path().filename().string(); name.find(".ostrakonix-") != name.npos) names.push_back(name);
    return names;
}

int save(const std::string& path, const std::string& text, SaveOutcome& outcome) {
    return f_SaveFile(
        path, [&](int fd) { return ::write(fd, text.data(), text.size()) == ssize_t(text.size()) ? 0 : EIO; }, outcome);
}

std::string attribute(const std::string& path, const char* name) {
    char value[64] = {};
    ssize_t n = ::getxattr(path.c_str(), name, value, sizeof value);
    return n < 0 ? "" : std::string(value, static_cast<size_t>(n));
}

// A folder on the disk: /tmp may be a tmpfs, which keeps no user attributes.
std::unique_ptr<TempFolder> onDisk() {
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    ::setenv("TMPDIR", "/var/tmp", 1);
    auto folder = std::make_unique<TempFolder>();
    old ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    return folder;
}

// Runs the program headless on a script (and a file to open), as the user "nobody" when
// asked; its screen and log lines are returned. −1 when it had to be killed after `seconds`.
int runProgram(const std::string& folder, const std::string& script, const std::string& file, bool asNobody,
               std::string& output, int seconds = 30) {
    std::ofstream(folder + "/script") << script;
    std::vector<std::string> args;
    if (asNobody) args = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"};
    args.insert(args.end(), {OSTRAKONIX_EXECUTABLE, "--headless", "--script", folder + "/script"});
    if (!file.empty()) args.push_back(file);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    // Its own home and cache, where it may write.
    std::vector<std::string> environment = {"HOME=" + folder, "XDG_CONFIG_HOME=" + folder + "/config",
                                            "XDG_CACHE_HOME=" + folder + "/cache",
                                            "PATH=/usr/bin:/bin:/usr/sbin:/sbin"};
    for (char** e = environ; *e; ++e)
        if (std::string v = *e; v.starts_with("ASAN_") || v.starts_with("UBSAN_")) environment.push_back(v);
    std::vector<char*> envp;
    for (auto& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);
    const std::string out = folder + "/output.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -2;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            status = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::stringstream text;
    text << std::ifstream(out).rdbuf();
    output = text.str();
    return status < 0 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(SaveFile, RenamesUnlessThatLosesLinksAndRefusesWhatIsNoFile) {
    TempFolder folder;
    const std::string plain = folder.file("plain.bin"), linked = folder.file("linked.bin");
    writeFile(plain, bytesOf("old"));
    writeFile(linked, bytesOf("old content, longer"));
    fs::create_hard_link(linked, folder.file("other name.bin"));
    const ino_t plainInode = statOf(plain).st_ino, linkedInode = statOf(linked).st_ino;
    SaveOutcome outcome;
    EXPECT_EQ(save(plain, "new", outcome), 0);
    EXPECT_FALSE(outcome.inPlace);
    EXPECT_NE(statOf(plain).st_ino, plainInode);
    EXPECT_EQ(save(linked, "new", outcome), 0);
    EXPECT_TRUE(outcome.inPlace);
    EXPECT_TRUE(outcome.keptAt.empty());
    EXPECT_EQ(readFile(folder.file("other name.bin")), bytesOf("new"));  // cut to the new length
    EXPECT_EQ(statOf(linked).st_ino, linkedInode);
    EXPECT_EQ(statOf(linked).st_nlink, 2u);

    // A writer that fails leaves the file as it was and no temporary file, either way.
    for (const auto& path : {plain, linked}) {
        auto failing = [](int fd) { return ::write(fd, "part", 4) == 4 ? ENOSPC : EIO; };
        EXPECT_EQ(f_SaveFile(path, failing, outcome), ENOSPC) << path;
        EXPECT_EQ(readFile(path), bytesOf("new")) << path;
    }
    EXPECT_TRUE(temporaries(folder.path()).empty());

    // What is no regular file is refused and stays what it is.
    ASSERT_EQ(::mkfifo(folder.file("pipe").c_str(), 0666), 0);
    EXPECT_EQ(save(folder.path(), "x", outcome), EISDIR);
    EXPECT_EQ(save(folder.file("pipe"), "x", outcome), ENOTSUP);
    EXPECT_EQ(save("/dev/null", "x", outcome), ENOTSUP);
    EXPECT_TRUE(S_ISFIFO(statOf(folder.file("pipe")).st_mode));
    EXPECT_TRUE(S_ISCHR(statOf("/dev/null").st_mode));
    EXPECT_TRUE(temporaries(folder.path()).empty());

    // Extended attributes go with the file that replaces it.
    const auto disk = onDisk();
    const std::string noted = disk->file("noted.bin");
    writeFile(noted, bytesOf("old"));
    if (::setxattr(noted.c_str(), "user.note", "kept", 4, 0) != 0)
        GTEST_SKIP() << "no user attributes on " << disk->path() << ": " << std::strerror(errno);
    EXPECT_EQ(save(noted, "new", outcome), 0);
    EXPECT_FALSE(outcome.inPlace);
    EXPECT_EQ(attribute(noted, "user.note"), "kept");
}

TEST(SaveFile, RemovesTheLeftoversOfEndedSavesOfTheSameFileOnly) {
    TempFolder folder;
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string dead = std::to_string(ended), alive = std::to_string(::getpid());
    const std::pair<std::string, bool> leftovers[] = {{".data.bin.ostrakonix-" + dead + "-abc123", true},
                                                      {".data.bin.ostrakonix-" + dead + "-XyZ789", true},
                                                      {".data.bin.ostrakonix-" + alive + "-abcdef", false},
                                                      {".other.bin.ostrakonix-" + dead + "-abcdef", false},
                                                      {".data.bin.ostrakonix-" + dead + "-abcdefg", false},
                                                      {".data.bin.ostrakonix-" + dead + "-abc.ef", false},
                                                      {"data.bin.ostrakonix-" + dead + "-abcdef", false},
                                                      {".data.bin.ostrakonix-0" + dead + "-abcdef", false},
                                                      {".data.bin.ostrakonix-0-abcdef", false}};
    for (const auto& [name, removed] : leftovers) writeFile(folder.file(name), bytesOf("x"));
    ::mkdir(folder.file(".data.bin.ostrakonix-" + dead + "-folder").c_str(), 0700);  // not a file: kept
    writeFile(folder.file("data.bin"), bytesOf("old"));
    SaveOutcome outcome;
    ASSERT_EQ(save(folder.file("data.bin"), "new", outcome), 0);
    for (const auto& [name, removed] : leftovers) EXPECT_NE(fs::exists(folder.file(name)), removed) << name;
    EXPECT_TRUE(fs::is_directory(folder.file(".data.bin.ostrakonix-" + dead + "-folder")));
}

TEST(SaveFile, NeverDoesWhatAWriteOfTheUserCouldNotAndKeepsOwnersLinksAndAttributes) {
    if (::geteuid() != 0) GTEST_SKIP() << "the program is run as the user nobody, which needs root; skipped";
    const passwd* user = ::getpwnam("nobody");
    const group* users = ::getgrnam("nogroup");
    if (!user || !users) GTEST_SKIP() << "no user nobody or group nogroup; skipped";
    const uid_t uid = user->pw_uid, gid = users->gr_gid;
    enum Expect { refused, renamed, inPlace };
    struct Case {
        const char* name;
        uid_t folderOwner;
        mode_t folderMode;
        uid_t fileOwner;
        gid_t fileGroup;
        mode_t fileMode;
        const char* attribute;  // set by root
        Expect expect;
    };
    const Case cases[] = {
        {"read-only", uid, 0755, uid, gid, 0444, nullptr, refused},
        {"plain", uid, 0755, uid, gid, 0640, nullptr, renamed},
        {"hard-linked", uid, 0755, uid, gid, 0644, nullptr, inPlace},
        {"sticky", 0, 01777, 0, 0, 0666, nullptr, inPlace},
        {"other-group", uid, 0755, uid, 0, 0664, nullptr, inPlace},
        {"user-attribute", uid, 0755, uid, gid, 0644, "user.note", renamed},
        {"security-attribute", uid, 0755, uid, gid, 0644, "security.ostrakonix-test", inPlace},
        {"closed-folder", uid, 0555, uid, gid, 0644, nullptr, inPlace},
    };
    const auto disk = onDisk();
    ::chmod(disk->path().c_str(), 0755);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string home = disk->file(std::string(c.name) + "-home"), folder = disk->file(c.name);
        const std::string path = folder + "/data.bin";
        ::mkdir(home.c_str(), 0755);
        ::mkdir(folder.c_str(), 0755);
        writeFile(path, bytesOf("old"));
        if (std::string(c.name) == "hard-linked") ::link(path.c_str(), (home + "/link").c_str());
        if (c.attribute && ::setxattr(path.c_str(), c.attribute, "kept", 4, 0) != 0) {
            std::printf("%s: %s could not be set (%s); the case is skipped\n", c.name, c.attribute,
                        std::strerror(errno));
            continue;
        }
        ASSERT_EQ(::chown(home.c_str(), uid, gid), 0);
        ASSERT_EQ(::chown(path.c_str(), c.fileOwner, c.fileGroup), 0);
        ASSERT_EQ(::chmod(path.c_str(), c.fileMode), 0);
        ASSERT_EQ(::chown(folder.c_str(), c.folderOwner, c.folderOwner == 0 ? 0 : gid), 0);
        ASSERT_EQ(::chmod(folder.c_str(), c.folderMode), 0);
        const struct stat before = statOf(path);

        std::string output;
        ASSERT_EQ(runProgram(home, "key ^I\nkey ^S\nscreen\n", path, true, output), 0) << output;
        const bool failed = output.find("Die Datei konnte nicht gespeichert werden.") != output.npos;
        const struct stat after = statOf(path);
        EXPECT_EQ(failed, c.expect == refused) << output;
        // The status line's mark: ":" while the buffer holds changes not saved, "·" after a save.
        EXPECT_NE(output.find(c.expect == refused ? " :data.bin" : " \u00B7data.bin"), output.npos) << output;
        EXPECT_EQ(readFile(path), bytesOf(c.expect == refused ? "old" : " old"));
        EXPECT_EQ(after.st_ino == before.st_ino, c.expect != renamed);
        EXPECT_EQ(after.st_uid, c.fileOwner);
        EXPECT_EQ(after.st_gid, c.fileGroup);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_nlink, before.st_nlink);
        EXPECT_EQ(attribute(path, c.attribute ? c.attribute : "user.none"), c.attribute ? "kept" : "");
        EXPECT_TRUE(temporaries(folder).empty());
        if (std::string(c.name) == "closed-folder") {
            // The new content waited in the program's own cache folder, which only its user may enter.
            EXPECT_EQ(statOf(home + "/cache/ostrakonix").st_mode & 07777, 0700u);
            EXPECT_TRUE(temporaries(home + "/cache/ostrakonix").empty());
        }
        ::chmod(folder.c_str(), 0755);
    }
}

TEST(OpenRegularFile, DevicesPipesAndSocketsAreRefusedAtOnceAndTheProgramGoesOn) {
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    const std::string pipe = folder.file("pipe"), socket = folder.file("socket");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
    const int listening = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    for (const std::string& path : {std::string("/dev/zero"), std::string("/dev/urandom"), pipe, socket}) {
        int error = 0;
        EXPECT_TRUE(gettextfromfile(path, error).empty());
        EXPECT_EQ(error, ENOTSUP) << path;
        // The program shows the message, takes the next keys and ends: it did not hang (killed
        // after 20 seconds) nor run out of memory.
        std::string output;
        const char* script = "screen\ntype x\nkey ^Q\nexpect 25 (Programm Ende)\n";
        EXPECT_EQ(runProgram(folder.path(), script, path, false, output, 20), 0) << path << "\n" << output;
        EXPECT_NE(output.find("Die Datei konnte nicht gelesen werden."), output.npos) << path << "\n" << output;
    }
    ::close(listening);
}

}  // namespace
