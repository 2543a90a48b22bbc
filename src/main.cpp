// Ostrakonix: picks a host from the command line and starts the application.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "input/entries.h"
#include "app/log.h"
#include "app/startup.h"
#include "editor/editor.h"
#include "editor/help_pages.h"
#include "editor/key_help.h"
#include "editor/texts.h"
#include "hosts/headless/headless_host.h"
#include "hosts/headless/script_runner.h"
#include "hosts/shared/requests.h"
#include "hosts/terminal/terminal_host.h"
#ifdef OSTRAKONIX_HAVE_QT
#include "hosts/qt/desktop.h"
#endif

namespace {

struct Options {
    bool headless = false;
    bool terminal = false;
    bool help = false;
    bool version = false;
    std::string script;
    std::string log;
    std::string file;
    std::string error;
};

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 < argc)
                into = argv[++i];
            else
                options.error = "option " + arg + " needs a value";
        };
        if (arg == "--headless")
            options.headless = true;
        else if (arg == "--terminal")
            options.terminal = true;
        else if (arg == "--script")
            value(options.script);
        else if (arg == "--log")
            value(options.log);
        else if (arg == "-h" || arg == "--help")
            options.help = true;
        else if (arg == "--version")
            options.version = true;
        else if (arg == "--")
            continue;
        else if (!arg.empty() && arg[0] == '-' && arg != "-")
            options.error = "unknown option " + arg;
        else if (options.file.empty())
            options.file = arg;
        else
            options.error = "only one file can be opened";
    }
    if (!options.script.empty() && !options.headless) options.error = "--script needs --headless";
    if (options.terminal && options.headless) options.error = "--terminal and --headless exclude each other";
    return options;
}

void printHelp() {
    std::fputs(editor::usageText().c_str(), stdout);
    std::fputs("\n", stdout);
    std::fputs(editor::keyHelpIntroduction(), stdout);
    std::fputs(editor::keyHelpText().c_str(), stdout);
}

// The package's version, from the build; the title screen shows its first two numbers.
void printVersion() {
    std::printf("%s %s\n%s %s\n", editor::texts::programName, OSTRAKONIX_VERSION, editor::texts::programKind,
                editor::texts::programNotice);
}

// An absolute path, as the desktop hands files over.
std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved) {
        std::string result = resolved;
        std::free(resolved);
        return result;
    }
    char* cwd = ::getcwd(nullptr, 0);
    std::string result = cwd ? std::string(cwd) + "/" + path : path;
    std::free(cwd);
    return result;
}

int runHeadless(const Options& options) {
    auto* headless = new host::HeadlessHost;  // lives until the process ends
    headless->start();
    const std::string file = absolute(options.file);
    headless->runOnMainSync([&] {
        app::applicationWillFinishLaunching();
        // A file named on the command line is a request to open it before the program runs.
        if (!file.empty()) f_FileEventHandler(file, host::commandLineRequest(file));
        app::applicationDidFinishLaunching(editor::mainProgram);
    });
    int status = 0;
    if (!options.script.empty()) {
        status = host::runScript(*headless, options.script, stdout);
    } else {
        while (!headless->programHasEnded()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    headless->runOnMainSync([] { app::applicationWillTerminate(); });
    std::fflush(stdout);
    std::fflush(kt::logStream());
    // The program thread may still be waiting for input: end the process without tearing
    // down what it uses.
    std::_Exit(status);
}

#ifdef OSTRAKONIX_HAVE_QT
// An X or Wayland display, or a Qt platform named outright (offscreen, a frame buffer),
// which needs neither.
bool hasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}
#endif

int runTerminal(const Options& options) {
    if (!::isatty(STDIN_FILENO)) {
        std::fputs("ostrakonix: --terminal needs a terminal on standard input\n", stderr);
        return 2;
    }
    // The screen goes to the terminal through a descriptor of its own; standard output then
    // leads nowhere, so that log lines (without --log) and stray output can't land in the
    // middle of the screen.
    int screen = ::isatty(STDOUT_FILENO) ? ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
    if (screen < 0) {
        const char* name = ::ttyname(STDIN_FILENO);
        screen = name ? ::open(name, O_WRONLY | O_CLOEXEC | O_NOCTTY) : -1;
    }
    if (screen < 0) {
        std::fprintf(stderr, "ostrakonix: the terminal cannot be written: %s\n", std::strerror(errno));
        return 2;
    }
    std::fflush(stdout);
    const int nowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere >= 0) {
        ::dup2(nowhere, STDOUT_FILENO);
        ::close(nowhere);
    }
    std::vector<std::string> paths;
    if (!options.file.empty()) paths.push_back(absolute(options.file));
    std::string error;
    const int status = host::terminal::runTerminal(host::terminal::optionsFromEnvironment(STDIN_FILENO, screen),
                                                   editor::mainProgram, paths, error);
    if (!error.empty()) std::fprintf(stderr, "ostrakonix: %s\n", error.c_str());
    std::fflush(stdout);
    std::fflush(kt::logStream());
    // The program's threads may still be running: end the process without tearing down
    // what they use.
    std::_Exit(status);
}

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    if (options.help) {
        printHelp();
        return 0;
    }
    if (options.version) {
        printVersion();
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "ostrakonix: %s\n%s", options.error.c_str(), editor::usageText().c_str());
        return 2;
    }
    if (!options.log.empty()) {
        std::FILE* logFile = std::fopen(options.log.c_str(), "w");
        if (!logFile) {
            std::fprintf(stderr, "ostrakonix: cannot write the log file %s: %s\n", options.log.c_str(),
                         std::strerror(errno));
            return 2;
        }
        kt::setLogStream(logFile);
    }
    if (options.headless) return runHeadless(options);
    if (options.terminal) return runTerminal(options);
#ifdef OSTRAKONIX_HAVE_QT
    if (hasDisplay()) {
        std::vector<std::string> paths;
        if (!options.file.empty()) paths.push_back(absolute(options.file));
        return host::runDesktop(argc, argv, editor::mainProgram, paths);
    }
#endif
    // No display (a server, a session over SSH): the editor in the terminal it was started in.
    if (::isatty(STDIN_FILENO)) return runTerminal(options);
#ifdef OSTRAKONIX_HAVE_QT
    std::fputs("ostrakonix: there is no display (DISPLAY and WAYLAND_DISPLAY are not set) and standard input is no "
               "terminal; start it in a terminal, or use --headless for scripted runs\n",
               stderr);
#else
    std::fputs("ostrakonix: this build has no desktop host and standard input is no terminal; start it in a "
               "terminal, or use --headless for scripted runs\n",
               stderr);
#endif
    return 2;
}
