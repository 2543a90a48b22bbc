// The one seam between the toolkit and the platform.
//
// The toolkit names host objects by window number (0 to 7 the graphic windows and their
// views, 8 the pasteboard window, 9 the virtual printer, 10 the system console, 11 the
// preferences window, 12 the main window). A host that has no window for a number answers
// "none" and the toolkit reports the window as missing. Every call that touches a host
// object must be made on the host's main thread; the toolkit dispatches there itself.
//
// Geometry is in host points with the origin at the bottom left of the screen and y
// upwards, as the toolkit measures it; hosts whose platform measures from the top left
// convert at this boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct Rect {
    double x = 0, y = 0, width = 0, height = 0;
};

struct Size {
    double width = 0, height = 0;
};

struct Color {
    double red = 0, green = 0, blue = 0, alpha = 1;  // 0 … 1 each
};

// A picture of a graphic window: width × height pixels, rows from the top, each pixel
// 0xAARRGGBB in native byte order.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// One item of a menu; a title that is empty is a separator.
struct MenuItem {
    std::string title;
    std::string keyEquivalent;
    uint64_t keyModifiers = 0;  // shift bit 17, control 18, option 19, command 20
    int64_t tag = 0;
    // A key the views take themselves that does the same, shown beside the title only.
    std::string keyHint{};
    // False: shown greyed, and cannot be chosen.
    bool enabled = true;
};

struct Menu {
    std::string title;
    std::vector<MenuItem> items;
};

// Modifier flags as the toolkit reads them: bit 16 caps lock, 17 shift, 18 control,
// 19 option (Alt and AltGr), 20 command, 21 numeric keypad, 22 help, 23 function.
namespace modifier {
constexpr uint64_t capsLock = 1u << 16, shift = 1u << 17, control = 1u << 18, option = 1u << 19,
                   command = 1u << 20, numericPad = 1u << 21, help = 1u << 22, function = 1u << 23;
}

// A key press as the toolkit's key table expects it: the host key code (numbered as the
// keyboard's virtual key codes of the toolkit's home platform: 0 = A, 1 = S, … 36 = return,
// 123 … 126 = arrows), the characters the key produced (empty for a dead key; Control with
// a letter gives 1 to 26) and the modifier flags.
struct KeyEvent {
    int64_t keyCode = 0;
    std::string characters;
    uint64_t modifierFlags = 0;
};

// A mouse press (or, with a button held, a move) in a graphic window's host window: position in points from the
// window's bottom-left corner (the frame the toolkit measures, title bar included), the buttons held (bit 0 left, bit 1
// right) and the modifier flags.
struct MouseEvent {
    double x = 0, y = 0;
    uint64_t buttons = 0;
    uint64_t modifierFlags = 0;
};

enum class Folder { Home, Desktop, Documents, Downloads, Pictures, Music, Movies };

struct OpenPanelRequest {
    std::string title, message;
    std::vector<std::string> fileTypes;  // empty: every type
    bool multiple = false, files = true, folders = false;
    std::string buttonText;  // "Öffnen" or "Wählen"
};

struct SavePanelRequest {
    std::string name, title, message;
    std::vector<std::string> fileTypes;
    std::string buttonText;  // "Sichern"
    std::string nameLabel;   // "Sichern unter:"
};

class Host {
public:
    virtual ~Host() = default;

    // --- Main thread -------------------------------------------------------------------
    virtual bool isMainThread() const = 0;
    // Runs fn on the main thread and waits; runs it inline when already there.
    virtual void runOnMainSync(const std::function<void()>& fn) = 0;
    // Posts fn to the main thread and returns at once.
    virtual void runOnMainAsync(std::function<void()> fn) = 0;
    // The program thread waits for input: hosts that step programs (scripts, tests) learn
    // here that the program has nothing to do until the next event.
    virtual void programIdle() {}
    // The program thread has ended (t_QuitProgram).
    virtual void programEnded() {}

    // --- Windows and views (main thread) -----------------------------------------------
    virtual bool hasWindow(int number) const = 0;
    virtual bool hasView(int number) const = 0;
    virtual bool hasTextView(int number) const = 0;
    virtual Rect windowFrame(int number) const = 0;
    virtual void setWindowFrame(int number, const Rect& frame) = 0;
    virtual void setViewFrame(int number, const Rect& frame) = 0;
    virtual std::string windowTitle(int number) const = 0;
    virtual void setWindowTitle(int number, const std::string& title) = 0;
    virtual void setWindowTitled(int number, bool titled) = 0;
    virtual bool windowShown(int number) const = 0;
    virtual void orderFront(int number) = 0;
    virtual void orderOut(int number) = 0;
    virtual void makeKey(int number) = 0;
    virtual void centerWindow(int number) = 0;
    virtual void setWindowBackground(int number, const Color& color) = 0;
    virtual Size screenSize(int number) const = 0;
    // Number of the focused window, 255 when none has the focus.
    virtual int mainWindowNumber() const = 0;
    virtual double titleBarHeight() const = 0;
    // A graphic window's view: redraw in the next cycle, or at once.
    virtual void setNeedsDisplay(int number) = 0;
    virtual void displayNow(int number) = 0;
    // Side windows' text views (8, 9, 10).
    virtual std::string textViewText(int number) const = 0;
    virtual void setTextViewText(int number, const std::string& text) = 0;
    virtual void prepareTextView(int number) = 0;  // plain text, no substitutions, our monospace font

    // --- Menus (main thread) ----------------------------------------------------------
    virtual std::vector<Menu>& menuBar() = 0;
    virtual void menuBarChanged() {}
    // Only the items' enabled flags have changed.
    virtual void menuItemsEnabledChanged() {}

    // --- Pasteboard (main thread) -------------------------------------------------------
    virtual void pasteboardClear() = 0;
    virtual void pasteboardSetText(const std::string& text) = 0;
    virtual std::optional<std::string> pasteboardText() const = 0;
    virtual void pasteboardSetImage(const Image& image) = 0;

    // --- Panels (main thread); results are file URLs ("file:///…", percent-encoded) -----
    virtual std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) = 0;
    virtual std::string runSavePanel(const SavePanelRequest& request) = 0;
    // False for a host that has no panels to show (it answers every one as cancelled). Any
    // thread may ask.
    virtual bool hasPanels() const { return true; }

    // --- Sound --------------------------------------------------------------------------
    // The alert; a host does not start it again while it is still playing.
    virtual void playAlert() = 0;

    // --- Folders and the application ----------------------------------------------------
    virtual std::string standardFolder(Folder folder) const = 0;
    virtual std::string resourceFolder() const = 0;
    virtual std::string applicationName() const = 0;
};

// The host of this process. Set once at start, before the toolkit is used.
Host& host();
void setHost(Host* instance);
bool hasHost();

}  // namespace host
