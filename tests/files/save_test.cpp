// Opening only regular files.
#include "app/file_primitives.h"

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

#include "support/toolkit_fixture.h"

extern char** environ;

namespace {

using namespace testing_support;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

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
