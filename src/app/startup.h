// Start-up and termination of the application around the user program.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

// The hexadecimal digit table ("0" … "9", "A" … "F") and the value of every character
// code as a hexadecimal digit (−1 for a non-digit). Filled by initketools.
const std::array<uint8_t, 16>& t_HexDigits();
const std::array<int, 256>& t_HexValues();

void initketools();

// The procedure run when the application terminates; a program may replace it.
std::function<void()>& t_TerminationHook();

// Height of a host window's title bar in points, measured once at launch.
int64_t t_TitleBarHeight();

namespace app {

// The application delegate's launch and termination callbacks. The host calls them on its
// main thread; didFinishLaunching starts program on the program thread (1 GiB of stack).
void applicationWillFinishLaunching();
void applicationDidFinishLaunching(std::function<void()> program);
void applicationWillTerminate();

// The toolkit's part of the launch: initketools and the title bar height of the host.
void startToolkit();

constexpr int64_t programStackSize = 1073741824;

}  // namespace app
