// The host's open and save panels, which the menu actions and programs ask for a path.
#pragma once

#include <string>
#include <vector>

std::vector<std::string> f_OpenPanel(const std::string& title, const std::string& message,
                                     const std::string& fileTypes, bool multiple, bool files, bool folders);
std::string f_OpenPanelPath(const std::string& title, const std::string& message, const std::string& fileTypes,
                            bool files, bool folders);
std::string f_SavePanel(const std::string& name, const std::string& title, const std::string& message,
                        const std::string& fileTypes);
// Whether the host shows panels at all (a text terminal has none).
bool f_PanelsAvailable();
// The save panel from any thread: the panel runs on the main thread while the caller waits.
std::string f_SavePanelFromAnyThread(const std::string& name, const std::string& title,
                                     const std::string& message, const std::string& fileTypes);

namespace kt {
// A panel's file URL as a path: percent escapes decoded, composed to normalisation form C,
// a leading "file://" dropped.
std::string panelUrlToPath(const std::string& url);
// The reverse, as the hosts hand paths back: "file://" and the percent-encoded path.
std::string pathToFileUrl(const std::string& path);
}  // namespace kt
