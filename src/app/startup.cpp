#include "app/startup.h"

#include <cctype>
#include <cstdlib>
#include <ctime>

#include "app/log.h"
#include "app/threads.h"
#include "platform/platform.h"

namespace {
std::array<uint8_t, 16> hexDigits{};
std::array<int, 256> hexValues{};
int64_t titleBarHeight = 0;
}  // namespace

const std::array<uint8_t, 16>& t_HexDigits() { return hexDigits; }
const std::array<int, 256>& t_HexValues() { return hexValues; }

void initketools() {
    kt::logLine("initketools: Start.");
    const char* digits = "0123456789ABCDEF";
    hexValues.fill(-1);
    for (int i = 0; i < 16; ++i) {
        hexDigits[i] = static_cast<uint8_t>(digits[i]);
        hexValues[static_cast<uint8_t>(digits[i])] = i;
        hexValues[static_cast<uint8_t>(std::tolower(digits[i]))] = i;
    }
    srandom(static_cast<unsigned>(std::time(nullptr) & 0x7FFFFFFF));
    kt::logLine("initketools: End.");
}

std::function<void()>& t_TerminationHook() {
    static std::function<void()> hook = [] {};
    return hook;
}

int64_t t_TitleBarHeight() { return titleBarHeight; }

namespace app {

void applicationWillFinishLaunching() {
    kt::logLine("applicationWillFinishLaunching: Called.");
    if (kt::threadNumber() == 1) kt::nameThread("AppDelegate");
}

void startToolkit() {
    initketools();
    host::host().runOnMainSync([] { titleBarHeight = static_cast<int64_t>(host::host().titleBarHeight()); });
}

void applicationDidFinishLaunching(std::function<void()> program) {
    kt::logLine("applicationDidFinishLaunching: Start.");
    startToolkit();
    kt::logLine("Program: Start.");
    startprocess(
        [program = std::move(program)] {
            program();
            host::host().programEnded();
        },
        programStackSize);
    kt::logLine("applicationDidFinishLaunching: End.");
}

void applicationWillTerminate() {
    kt::logLine("applicationWillTerminate: Called.");
    t_TerminationHook()();
}

}  // namespace app
