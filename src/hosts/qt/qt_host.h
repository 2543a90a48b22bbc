// The Qt desktop host: the GUI thread is the main thread; windows 0 to 7 are graphic windows
// with a view, 8 to 10 text windows, 11 and 12 plain windows, each with the menu bar.
//
// The menu bar lives in the windows, so a program whose windows were all hidden could no
// longer be reached, nor told to quit. While the program runs, the user's last step that
// would hide the last window (its close box, a hide action, the quit item) becomes the
// program's own quit key in its window, so that it can ask to save first; when the program
// ends after that, the application ends with it. A quit the user typed in the program ends
// only the program, which shows its closing message; then any of those steps ends the
// application.
//
// A graphic window that would not fit its screen is scaled down to fit it, whole: the
// toolkit keeps its own sizes and points, only the picture is drawn smaller.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/platform.h"

class QMargins;
class QObject;
class QRect;
class QWidget;

namespace host::qt {

class AlertSound;
class GraphicWindow;
class HelpWindow;
class HostWindow;
class TextWindow;

class QtHost : public Host {
public:
    // Made on the GUI thread once the QApplication exists; all windows start hidden.
    explicit QtHost(std::string resourceFolder = {});
    ~QtHost() override;

    // The end of the event loop: work posted from other threads from now on is dropped
    // (their synchronous calls return without running it); what was posted before runs now.
    void stopAccepting();
    // Closes every window. The object stays usable (it answers "no window") for threads
    // that still call it, so that it can outlive the QApplication.
    void shutDown();

    bool isMainThread() const override;
    void runOnMainSync(const std::function<void()>& fn) override;
    void runOnMainAsync(std::function<void()> fn) override;
    void programEnded() override;

    bool hasWindow(int number) const override;
    bool hasView(int number) const override;
    bool hasTextView(int number) const override;
    Rect windowFrame(int number) const override;
    void setWindowFrame(int number, const Rect& frame) override;
    void setViewFrame(int number, const Rect& frame) override;
    std::string windowTitle(int number) const override;
    void setWindowTitle(int number, const std::string& title) override;
    void setWindowTitled(int number, bool titled) override;
    bool windowShown(int number) const override;
    void orderFront(int number) override;
    void orderOut(int number) override;
    void makeKey(int number) override;
    void centerWindow(int number) override;
    void setWindowBackground(int number, const Color& color) override;
    Size screenSize(int number) const override;
    int mainWindowNumber() const override;
    double titleBarHeight() const override { return titleBar_; }
    void setNeedsDisplay(int number) override;
    void displayNow(int number) override;
    std::string textViewText(int number) const override;
    void setTextViewText(int number, const std::string& text) override;
    void prepareTextView(int number) override;

    std::vector<Menu>& menuBar() override { return menus_; }
    void menuBarChanged() override;
    void menuItemsEnabledChanged() override;

    void pasteboardClear() override;
    void pasteboardSetText(const std::string& text) override;
    std::optional<std::string> pasteboardText() const override;
    void pasteboardSetImage(const Image& image) override;

    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;
    std::string runSavePanel(const SavePanelRequest& request) override;

    void playAlert() override;

    std::string standardFolder(Folder folder) const override;
    std::string resourceFolder() const override { return resources_; }
    std::string applicationName() const override { return "Ostrakonix"; }

    // The host window of a number (nullptr when there is none), for the desktop and tests.
    HostWindow* window(int number) const;
    GraphicWindow* graphicWindow(int number) const;
    TextWindow* textWindow(int number) const;
    // The help window, once the menu has asked for it.
    HelpWindow* helpWindow() const { return help_; }

    // --- The application around the program (GUI thread) ------------------------------
    bool programHasEnded() const { return programEnded_.load(); }
    // Whether the quit under way was asked for by the host: the program's end then ends the
    // application too.
    bool quitBegunHere() const { return quitBegunHere_.load(); }
    // A choice in the menu bar of window `window`, and a click on its close box.
    void chooseMenu(int window, const std::string& menuTitle, const host::MenuItem& item);
    void closeBox(int window);
    // Brings the program's window to the front (a later start handed files over).
    void bringToFront();
    // What ends the application (by default: leave the event loop), what rings the system
    // beep, and what runs once the program has ended; tests watch them here.
    void setApplicationEnd(std::function<void()> end) { applicationEnd_ = std::move(end); }
    void setSystemBeep(std::function<void()> beep) { systemBeep_ = std::move(beep); }
    void setProgramEndedHandler(std::function<void()> handler) { programEndedHandler_ = std::move(handler); }

private:
    bool post(std::function<void()> task);
    bool anyWindowShown() const;
    // The graphic window that is to ask the quit question: `preferred` when the program has
    // set it up, else the one that last had the focus, the default window or the first
    // set-up one; −1 when there is none.
    int quitWindow(int preferred) const;
    // The program's quit key in its window, which comes to the front for the question.
    // False when the program has no window to ask in.
    bool askProgramToQuit(int preferred);
    // The menu items that are the editor's commands, given to it in its window.
    void programCommand(int preferred, int64_t tag);
    void showHelp();
    // The room a window's client area may take on its screen: the screen's available area
    // less the window manager's frame.
    QRect availableArea(const QWidget* window) const;
    QMargins frameMargins() const;
    // A window manager frames a window some time after it is shown, and its frame may be
    // larger than the one the window was scaled and placed for: once it is there, the window
    // is fitted again, frame and all, into its screen's available area.
    void fitWhenFramed(HostWindow* window, int checksLeft);
    void endApplication();
    void ring();

    std::thread::id mainThread_;
    QObject* dispatcher_ = nullptr;
    std::mutex postMutex_;
    bool accepting_ = true;

    std::array<HostWindow*, 13> windows_{};
    std::vector<Menu> menus_;
    int titleBar_ = 0;
    std::string resources_;
    std::unique_ptr<AlertSound> alertSound_;
    int64_t lastBeep_ = 0;  // steady milliseconds of the last system beep
    std::atomic<bool> programEnded_{false};
    // The quit under way was begun by the host (close box, menu): its end ends the application.
    std::atomic<bool> quitBegunHere_{false};
    HelpWindow* help_ = nullptr;
    int lastGraphicFocus_ = -1;  // the graphic window that last had the focus
    std::function<void()> applicationEnd_;
    std::function<void()> systemBeep_;
    std::function<void()> programEndedHandler_;
};

}  // namespace host::qt
