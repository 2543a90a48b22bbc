// The catalog browser: a framed box in a graphic window listing one folder of the file
// catalog, in which the user picks a file (or a folder) with keys and mouse clicks.
#pragma once

#include <cstdint>
#include <string>

// Browser state; lives for the whole run and keeps its last values after a browse.
int64_t& f_BrowseTop();          // index of the entry in the first list line
int64_t& f_BrowseFirstRow();     // window row of the box's top edge
int64_t& f_BrowseLastRow();      // window row of the box's bottom edge
int64_t& f_BrowseRows();         // number of list lines
int64_t& f_BrowseWidth();        // box width: 40, 60 or 80
int64_t& f_BrowseLeft();         // window column of the box's left edge
bool& f_BrowseFolders();         // Return on a folder chooses it instead of opening it
int64_t& f_BrowseLastClick();    // entry of the last click, −1 for none
int64_t& f_BrowseClickTime();    // time of the last click in milliseconds, −1 for none
std::string& f_BrowseDesktop();  // the desktop folder with a trailing "/", taken at first use

// Flags of f_CatBrowser.
constexpr uint16_t f_BrowseChooseFolders = 1 << 0;
constexpr uint16_t f_BrowseNoWait = 1 << 8;

// Lets the user choose an entry of startPath (the desktop folder when empty or no folder)
// and returns its path ("/" appended for a folder), or "" when cancelled. Runs on the
// program thread and waits for input itself.
std::string f_CatBrowser(uint8_t window, const std::string& startPath, const std::string& title,
                         const std::string& filter, int64_t firstRow, int64_t rows, int64_t width, uint16_t flags);
// Draws the folder line, the count line and the list, and selects the first entry.
void f_DrawCatalog(uint8_t window);
// Performs one key: 0 when used, 13 when an entry was chosen, 27 when cancelled, otherwise
// the key itself.
int64_t f_BrowseKey(uint8_t window, int64_t key);
// Performs the oldest mouse click of the window: 13 when it chose an entry (a second click
// on a file within 250 milliseconds), otherwise 0.
int64_t f_BrowseClick(uint8_t window, int64_t firstRow);
