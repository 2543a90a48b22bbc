// Saves that keep what the user has (rights, links, owner, group, attributes), the leftovers
// of ended saves, and opening only regular files. The cases of rights and owners run the
// program itself as the unprivileged user "nobody", which needs root to set up.
#include "files/save.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app/file_primitives.h"
#include "support/toolkit_fixture.h"

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

constexpr const char* acl = "system.posix_acl_access";

// An ACL as the kernel stores it (44 bytes, little-endian): the owner and user reads and
// writes, the group and others read.
std::string aclLetting(uint32_t user) {
    std::string bytes;
    auto add = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i) bytes += static_cast<char>(value >> (8 * i));
    };
    add(2, 4);  // version
    const uint32_t entries[][3] = {{1, 6, ~0u}, {2, 6, user}, {4, 4, ~0u}, {0x10, 6, ~0u}, {0x20, 4, ~0u}};
    for (const auto& [tag, permissions, id] : entries) add(tag, 2), add(permissions, 2), add(id, 4);
    return bytes;
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

// Runs the program headless on a script and a file to open, as the user "nobody" when asked,
// with its home and cache in folder; output gets its screens and log lines. It is killed
// after 20 seconds (status 137), so that a hang fails the test.
int runProgram(const std::string& folder, const std::string& script, const std::string& file, bool asNobody,
               std::string& output) {
    std::ofstream(folder + "/script") << script;
    const std::string command =
        "HOME=" + folder + " XDG_CONFIG_HOME=" + folder + "/config XDG_CACHE_HOME=" + folder +
        "/cache timeout -s KILL 20 " + (asNobody ? "setpriv --reuid=nobody --regid=nogroup --clear-groups -- " : "") +
        "'" OSTRAKONIX_EXECUTABLE "' --headless --script " + folder + "/script '" + file + "' 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    output.clear();
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

    // Extended attributes and ACLs go with the file that replaces it; an ACL the new file took
    // from its folder, which the old file did not have, does not.
    const auto disk = onDisk();
    const std::string noted = disk->file("noted.bin"), bare = disk->file("bare.bin");
    writeFile(noted, bytesOf("old"));
    writeFile(bare, bytesOf("old"));
    if (::setxattr(noted.c_str(), "user.note", "kept", 4, 0) != 0 ||
        ::setxattr(noted.c_str(), acl, aclLetting(4321).data(), 44, 0) != 0 ||
        ::setxattr(disk->path().c_str(), "system.posix_acl_default", aclLetting(1234).data(), 44, 0) != 0)
        GTEST_SKIP() << "no user attributes or ACLs on " << disk->path() << ": " << std::strerror(errno);
    const std::string notedAcl = attribute(noted, acl);
    for (const auto& path : {noted, bare}) {
        EXPECT_EQ(save(path, "new", outcome), 0);
        EXPECT_FALSE(outcome.inPlace);
    }
    EXPECT_EQ(attribute(noted, "user.note"), "kept");
    EXPECT_EQ(attribute(noted, acl), notedAcl);
    EXPECT_EQ(attribute(bare, acl), "");
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
        EXPECT_EQ(output.find("setbinarytofile: Error #13:") != output.npos, c.expect == refused);  // EACCES
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
        // The program shows the message, takes the next keys and ends: it neither hung nor ran
        // out of memory.
        std::string output;
        const char* script = "screen\ntype x\nkey ^Q\nexpect 25 (Programm Ende)\n";
        EXPECT_EQ(runProgram(folder.path(), script, path, false, output), 0) << path << "\n" << output;
        EXPECT_NE(output.find("Die Datei konnte nicht gelesen werden."), output.npos) << path << "\n" << output;
    }
    ::close(listening);
}

}  // namespace
