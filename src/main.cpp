// Ostrakonix: picks a host from the command line and starts the application.
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <unistd.h>

#include "app/entries.h"
#include "app/log.h"
#include "app/startup.h"
#include "editor/editor.h"
#include "host/headless/headless_host.h"
#include "host/headless/script_runner.h"
#ifdef OSTRAKONIX_HAVE_QT
#include "host/qt/desktop.h"
#endif

namespace {

struct Options {
    bool headless = false;
    bool help = false;
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
        else if (arg == "--script")
            value(options.script);
        else if (arg == "--log")
            value(options.log);
        else if (arg == "-h" || arg == "--help")
            options.help = true;
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
    return options;
}

const char* usage =
    "usage: ostrakonix [--log LOGFILE] [FILE]\n"
    "       ostrakonix --headless [--script SCRIPT] [--log LOGFILE] [FILE]\n"
    "  FILE              the file to open\n"
    "  --headless        run without a display (tests, scripts, screenshots)\n"
    "  --script SCRIPT   with --headless: run the steps of SCRIPT, then end\n"
    "  --log LOGFILE     write the toolkit's log lines to LOGFILE instead of standard output\n";

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
        if (!file.empty()) f_FileEventHandler(file, 0);
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

}  // namespace

int main(int argc, char** argv) {
    Options options = parse(argc, argv);
    if (options.help) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "ostrakonix: %s\n%s", options.error.c_str(), usage);
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
#ifdef OSTRAKONIX_HAVE_QT
    std::vector<std::string> paths;
    if (!options.file.empty()) paths.push_back(absolute(options.file));
    return host::runDesktop(argc, argv, editor::mainProgram, paths);
#else
    std::fputs("ostrakonix: this build has no desktop host; use --headless\n", stderr);
    return 2;
#endif
}
