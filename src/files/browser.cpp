#include "files/browser.h"


#include <algorithm>

#include "input/file_events.h"
#include "app/log.h"
#include "display/window.h"
#include "files/catalog.h"
#include "files/fileio.h"
#include "platform/platform.h"
#include "input/dialog.h"
#include "input/events.h"
#include "input/keys.h"
#include "input/mouse.h"
#include "terminal/area.h"
#include "terminal/cursor.h"
#include "terminal/modes.h"
#include "terminal/print.h"
#include "terminal/text.h"
#include "terminal/unicode.h"

namespace {

struct Browser {
    int64_t top = 0;
    int64_t firstRow = 0;
    int64_t lastRow = 0;
    int64_t rows = 0;
    int64_t width = 60;
    int64_t left = 0;
    bool folders = false;
    int64_t lastClick = -1;
    int64_t clickTime = -1;
    std::string desktop;
};

Browser& browser() {
    static Browser instance;
    return instance;
}

// A second click on the same entry within this time opens or chooses it.
constexpr int64_t doubleClickMilliseconds = 250;

int64_t entryCount() { return static_cast<int64_t>(f_Catalog().size()); }

std::string withSlash(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

std::string standardFolder(host::Folder folder) { return withSlash(host::host().standardFolder(folder)); }

// Draws font codes as glyphs: a control character in a file name must not act on the screen.
void printCodes(uint8_t window, const std::string& codes) {
    kt::forEachScalar(codes, [&](uint32_t c) { t_PrintChar(window, static_cast<uint8_t>(c < 256 ? c : 127)); });
}

bool isFolderEntry(const f_CatItem& item) { return item.KindNum == 2 || item.KindNum == 3; }

// The first character of a name in lower case; a byte that is no UTF-8 sorts after letters.
uint32_t firstLowerScalar(const std::string& name) {
    if (name.empty()) return 0;
    uint32_t c = 0;
    return kt::decodeScalar(name, 0, c) ? kt::lowerScalar(c) : 0xFFFD;
}

// The first list line that shows entry k: k itself, unless that would leave the last page.
int64_t topFor(int64_t k) {
    const int64_t lastPage = std::max<int64_t>(entryCount() - browser().rows, 0);
    return k > lastPage ? lastPage : k;
}

// The list lines without resetting the first line or the selection.
void drawList(uint8_t window) {
    const Browser& b = browser();
    const int64_t first = b.left + 1, last = b.left + b.width - 2;
    t_Area(window, first, b.firstRow + 3, last, b.firstRow + b.rows + 2);
    t_CursorHome(window);
    t_Normal(window);
    const int64_t count = entryCount(), selected = f_CatSelected();
    for (int64_t i = 0; i < b.rows; ++i) {
        const int64_t k = b.top + i;
        if (k >= count) {
            t_ClearEndOfLine(window);
        } else {
            if (k == selected) t_Inverse(window);
            printCodes(window, f_CatStr(f_Catalog()[static_cast<size_t>(k)], b.width, false));
            t_Normal(window);
        }
        if (i < b.rows - 1) t_Cr(window);
    }
}

void emptyCatalog() {
    f_Catalog().clear();
    f_CatStatus() = 0;
    f_CatCount() = 0;
    browser().top = 0;
    f_CatSelected() = -1;
}

void goToFolder(uint8_t window, const std::string& folder) {
    f_CatFolder() = folder;
    emptyCatalog();
    // A click before the change must not pair with one after it.
    browser().lastClick = -1;
    browser().clickTime = -1;
    f_CatLoad(folder, false, false, false, f_CatFilter());
    f_DrawCatalog(window);
}

void goToParent(uint8_t window) {
    const std::string& folder = f_CatFolder();
    if (folder.size() < 2) return;
    goToFolder(window, f_PathDirectory(folder.substr(0, folder.size() - 1)));
}

// Return and Control-U on the selected entry: a folder is opened unless it may be chosen.
int64_t openOrChoose(uint8_t window, bool mayChoose) {
    const int64_t s = f_CatSelected();
    if (s < 0 || s >= entryCount()) return 0;
    const f_CatItem& item = f_Catalog()[static_cast<size_t>(s)];
    if (isFolderEntry(item) && !(mayChoose && browser().folders)) {
        goToFolder(window, f_CatFolder() + item.Name + "/");
        return 0;
    }
    return mayChoose ? 13 : 0;
}

void selectEntry(uint8_t window, int64_t k) {
    Browser& b = browser();
    f_CatSelected() = k;
    if (k < b.top || k >= b.top + b.rows) b.top = topFor(k);
    drawList(window);
}

// A file or folder opened from the desktop while browsing is shown, not chosen.
void showRequestedPath(uint8_t window, const std::string& path) {
    const int64_t status = f_PathStatus(path);
    if (status != 1 && status != 2) return;
    const std::string folder = f_PathDirectory(path);
    if (folder.empty()) return;
    if (folder != f_CatFolder()) goToFolder(window, folder);
    const std::string name = f_PathName(path);
    const int64_t k = name.empty() ? -1 : f_CatIndex(name);
    if (k >= 0) selectEntry(window, k);
}

void typeAhead(uint8_t window, int64_t letter) {
    const auto& items = f_Catalog();
    for (size_t k = 0; k < items.size(); ++k) {
        if (firstLowerScalar(items[k].Name) < static_cast<uint32_t>(letter)) continue;
        f_CatSelected() = static_cast<int64_t>(k);
        browser().top = topFor(static_cast<int64_t>(k));
        drawList(window);
        return;
    }
    f_BrowseKey(window, 5);
}

}  // namespace

int64_t& f_BrowseTop() { return browser().top; }
int64_t& f_BrowseFirstRow() { return browser().firstRow; }
int64_t& f_BrowseLastRow() { return browser().lastRow; }
int64_t& f_BrowseRows() { return browser().rows; }
int64_t& f_BrowseWidth() { return browser().width; }
int64_t& f_BrowseLeft() { return browser().left; }
bool& f_BrowseFolders() { return browser().folders; }
int64_t& f_BrowseLastClick() { return browser().lastClick; }
int64_t& f_BrowseClickTime() { return browser().clickTime; }
std::string& f_BrowseDesktop() { return browser().desktop; }

void f_DrawCatalog(uint8_t window) {
    if (!kt::checkWindow("f_DrawCatalog", window)) return;
    Browser& b = browser();
    if (b.rows < 1) return;  // no box laid out yet
    const int64_t inner = b.width - 2;
    t_Area(window, b.left + 1, b.firstRow + 1, b.left + inner, b.firstRow + b.rows + 2);
    t_CursorHome(window);
    t_ClearEndOfWindow(window);
    t_Inverse(window);

    auto folder = kt::scalarsOf(t_ConvertUniCode(f_CatFolder()).first);
    std::vector<uint32_t> line;
    if (static_cast<int64_t>(folder.size()) > inner) {
        line.assign(folder.begin(), folder.begin() + (inner - 1));
        line.push_back(0xBF);
    } else {
        auto first = std::find_if(folder.begin(), folder.end(), [](uint32_t c) { return c != ' '; });
        auto last = std::find_if(folder.rbegin(), folder.rend(), [](uint32_t c) { return c != ' '; }).base();
        const int64_t length = first < last ? last - first : 0;
        line.assign(static_cast<size_t>((inner - length) / 2), ' ');
        if (first < last) line.insert(line.end(), first, last);
        line.resize(static_cast<size_t>(inner), ' ');
    }
    std::string codes;
    for (uint32_t c : line) codes += kt::utf8Of(c);
    printCodes(window, codes);
    t_PrintTitleLine(window, std::to_string(f_CatCount()) + " Objekte", inner);

    b.top = 0;
    f_CatSelected() = 0;
    drawList(window);
}

int64_t f_BrowseKey(uint8_t window, int64_t value) {
    Browser& b = browser();
    const int64_t N = entryCount(), L = b.rows;
    int64_t& s = f_CatSelected();
    int64_t& t = b.top;
    switch (value) {
    case key::controlA:
        goToFolder(window, withSlash(kt::executableFolder()));
        return 0;
    case key::controlB:
        if (s > 0) {
            s = 0;
            t = 0;
            drawList(window);
        }
        return 0;
    case key::controlC:
        if (s < N - 1) {
            s = std::min(s + L, N - 1);
            t = t + 2 * L > N ? std::max<int64_t>(N - L, 0) : t + L;
            drawList(window);
        }
        return 0;
    case key::controlD:
        goToFolder(window, standardFolder(host::Folder::Desktop));
        return 0;
    case key::controlE:
        if (s < N - 1) {
            s = N - 1;
            t = std::max<int64_t>(N - L, 0);
            drawList(window);
        }
        return 0;
    case key::controlF:
        goToFolder(window, standardFolder(host::Folder::Documents));
        return 0;
    case key::controlH:
        goToParent(window);
        return 0;
    case key::controlI:
        goToFolder(window, f_VolumesFolder());
        return 0;
    case key::controlJ:
        if (s < N - 1) {
            ++s;
            if (s > t + L - 1) ++t;
            drawList(window);
        }
        return 0;
    case key::controlK:
        if (s >= 1) {
            if (s <= t) t = s - 1;
            --s;
            drawList(window);
        }
        return 0;
    case key::controlL:
        goToFolder(window, standardFolder(host::Folder::Downloads));
        return 0;
    case key::controlM:
        return openOrChoose(window, true);
    case key::controlN:
        goToFolder(window, b.desktop);
        return 0;
    case key::controlP:
        goToFolder(window, standardFolder(host::Folder::Pictures));
        return 0;
    case key::controlR:
        if (s >= 1) {
            t = std::max<int64_t>(t - L, 0);
            s = std::max<int64_t>(s - L, 0);
            drawList(window);
        }
        return 0;
    case key::controlS:
        goToFolder(window, standardFolder(host::Folder::Music));
        return 0;
    case key::controlU:
        return openOrChoose(window, false);
    case key::controlV:
        goToFolder(window, standardFolder(host::Folder::Movies));
        return 0;
    case key::escape:
        s = -1;
        return 27;
    case key::backspace:
        goToFolder(window, f_HomeFolder());
        return 0;
    default:
        break;
    }
    if (value >= 'A' && value <= 'Z') value += 'a' - 'A';
    if (value >= 'a' && value <= 'z') {
        typeAhead(window, value);
        return 0;
    }
    return value;
}

int64_t f_BrowseClick(uint8_t window, int64_t firstRow) {
    const auto [x, y] = t_GetMouseText(window);
    if (x < 0) return 0;
    Browser& b = browser();
    const int64_t r = y - firstRow - 2;
    if (r == -1) {
        goToParent(window);
        return 0;
    }
    // Only the list lines count: a click below them would select an entry that isn't shown.
    if (r < 1 || r > b.rows || x - b.left < 1 || x - b.left > b.width - 2) return 0;
    const int64_t k = y - firstRow - 3 + b.top;
    if (k >= entryCount()) return 0;
    // The click's own time, so that a slow redraw can't join two separate clicks.
    const int64_t now = t_LastMouseEvent().Time;
    if (k != b.lastClick || b.clickTime < 0 || now - b.clickTime >= doubleClickMilliseconds) {
        b.lastClick = k;
        b.clickTime = now;
        f_CatSelected() = k;
        drawList(window);
        return 0;
    }
    b.lastClick = -1;
    b.clickTime = -1;
    const f_CatItem& item = f_Catalog()[static_cast<size_t>(k)];
    if (isFolderEntry(item)) {
        goToFolder(window, f_CatFolder() + item.Name + "/");
        return 0;
    }
    f_CatSelected() = k;
    return 13;
}

std::string f_CatBrowser(uint8_t window, const std::string& startPath, const std::string& title,
                         const std::string& filter, int64_t firstRow, int64_t rows, int64_t width, uint16_t flags) {
    if (!kt::checkWindow("f_CatBrowser", window)) return {};
    Browser& b = browser();
    const t_Window& w = kt::windowRecord(window);
    const int64_t W = width == 40 || width == 60 || width == 80 ? width : 60;
    const int64_t T = firstRow;
    int64_t B = T + rows + 3;
    if (w.TextHeight < B) B = w.TextHeight;
    const int64_t L = B - T - 3, left = w.TextWidth / 2 - W / 2 + 1;
    if (T < 1 || L < 1 || left < 1 || left + W - 1 > w.TextWidth) {
        kt::logLine("f_CatBrowser: The box does not fit into window #" + std::to_string(window) + ".");
        return {};
    }

    b.lastClick = -1;
    b.clickTime = -1;
    emptyCatalog();
    if (b.desktop.empty()) b.desktop = standardFolder(host::Folder::Desktop);
    // Many Linux accounts have no desktop folder: start in the home folder then.
    const std::string start = f_PathStatus(b.desktop) == 2 ? b.desktop : withSlash(host::host().standardFolder(host::Folder::Home));
    const std::string folder = !startPath.empty() && f_PathStatus(startPath) == 2 ? withSlash(startPath) : start;
    b.folders = flags & f_BrowseChooseFolders;
    // Set before loading, so that a folder that can't be listed still shows its name and the
    // later folder changes keep this browse's filter.
    f_CatFolder() = folder;
    f_CatFilter() = filter;
    f_CatLoad(folder, false, false, false, filter);

    b.firstRow = T;
    b.lastRow = B;
    b.rows = L;
    b.width = W;
    b.left = left;
    t_FullArea(window);
    t_Dialog(window, title, left, T, left + W - 1, B);
    f_DrawCatalog(window);

    if (!(flags & f_BrowseNoWait)) {
        for (;;) {
            bool chosenByClick = false;
            kt::waitUntil([&] {
                if (t_MouseEventAvailable() && f_BrowseClick(window, T) == key::returnKey) {
                    chosenByClick = true;
                    return true;
                }
                if (t_FileEventAvailable()) showRequestedPath(window, t_GetFileEvent());
                return t_EventAvailable();
            });
            if (chosenByClick) break;
            const int64_t key = t_GetEvent();
            if (key == -1) continue;
            const int64_t result = f_BrowseKey(window, key);
            if (result == key::returnKey || result == key::escape) break;
        }
        t_ClearRect(window, left, T, left + W - 1, B);
    }
    t_FullArea(window);

    const int64_t s = f_CatSelected();
    if (s < 0 || s >= entryCount()) return {};
    const f_CatItem& item = f_Catalog()[static_cast<size_t>(s)];
    return item.Path + item.Name + (isFolderEntry(item) ? "/" : "");
}
