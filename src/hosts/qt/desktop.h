// The desktop application on Qt: the QApplication, the host and its windows, the
// application's launch and termination around the event loop.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace host {

// Runs the application until it quits: once the event loop runs, the launch callbacks start
// program on the program thread and each of openPaths is handed to the toolkit as a file to
// open. Returns the exit code.
int runDesktop(int argc, char** argv, std::function<void()> program, std::vector<std::string> openPaths);

}  // namespace host
