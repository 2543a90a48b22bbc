// The Qt desktop host: the GUI thread is the main thread; windows 0 to 7 are graphic windows
// with the menu bar and a view, 8 to 10 text windows, 11 and 12 plain windows.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "host/host.h"

class QObject;
class QWidget;

namespace host::qt {

class GraphicWindow;
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
    QWidget* window(int number) const;
    GraphicWindow* graphicWindow(int number) const;

private:
    bool post(std::function<void()> task);
    TextWindow* textWindow(int number) const;
    // Height the toolkit counts above the client area of a window that has no menu bar of
    // its own: the window manager's title bar stands in for the toolkit's.
    double hiddenTitle(int number) const;

    std::thread::id mainThread_;
    QObject* dispatcher_ = nullptr;
    std::mutex postMutex_;
    bool accepting_ = true;

    std::array<HostWindow*, 13> windows_{};
    std::vector<Menu> menus_;
    int titleBar_ = 0;
    std::string resources_;
    std::atomic<int64_t> lastAlert_{0};  // steady milliseconds of the last alert
};

}  // namespace host::qt
