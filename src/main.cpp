// Ostrakonix: picks a host from the command line and starts the application.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "app/log.h"
#include "app/startup.h"
#include "host/headless/headless_host.h"

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
        else if (!arg.empty() && arg[0] == '-' && arg != "-")
            options.error = "unknown option " + arg;
        else if (options.file.empty())
            options.file = arg;
        else
            options.error = "only one file can be opened";
    }
    return options;
}

const char* usage =
    "usage: ostrakonix [--headless [--script SCRIPT]] [--log LOGFILE] [FILE]\n"
    "  FILE              the file to open\n"
    "  --headless        run without a display (tests, scripts, screenshots)\n"
    "  --script SCRIPT   with --headless: run the steps of SCRIPT\n"
    "  --log LOGFILE     write the toolkit's log lines to LOGFILE instead of standard output\n";

std::atomic<bool> programFinished{false};

// Stands in for the editor until it exists: starts and ends the program thread.
void placeholderProgram() { kt::logLine("Program: Ostrakonix placeholder."); }

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
    std::FILE* logFile = nullptr;
    if (!options.log.empty()) {
        logFile = std::fopen(options.log.c_str(), "w");
        if (!logFile) {
            std::fprintf(stderr, "ostrakonix: cannot write the log file %s: %s\n", options.log.c_str(),
                         std::strerror(errno));
            return 2;
        }
        kt::setLogStream(logFile);
    }

    host::HeadlessHost headless;
    headless.start();
    headless.runOnMainSync([] {
        app::applicationWillFinishLaunching();
        app::applicationDidFinishLaunching([] {
            placeholderProgram();
            programFinished = true;
        });
    });
    while (!programFinished) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    headless.runOnMainSync([] { app::applicationWillTerminate(); });
    headless.stop();
    kt::setLogStream(nullptr);
    if (logFile) std::fclose(logFile);
    return 0;
}
