// The headless host: a complete host without a display. Its main thread is a task loop of
// its own; windows have frames, titles and visibility; views keep their last image; the
// pasteboard holds text and an image; panels answer from queues of prepared paths; alerts
// are counted. Tests, scripted runs and screenshots run on it.
#pragma once

#include <array>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace host {

class HeadlessHost : public Host {
public:
    struct WindowState {
        Rect frame{100, 100, 640, 480};
        Rect viewFrame{};
        std::string title;
        bool titled = true;
        bool shown = false;
        Color background{};
        int needsDisplay = 0;  // marks since the last drawing cycle
        int displayed = 0;     // drawing cycles run
        std::string text;      // side windows' text views
        bool textPrepared = false;
    };

    explicit HeadlessHost(std::string resourceFolder = {});
    ~HeadlessHost() override;

    // Starts the main-thread loop (thread number 1) and makes this the process's host.
    void start();
    // Ends the loop after the tasks already posted.
    void stop();

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

    void pasteboardClear() override;
    void pasteboardSetText(const std::string& text) override;
    std::optional<std::string> pasteboardText() const override;
    void pasteboardSetImage(const Image& image) override;

    std::vector<std::string> runOpenPanel(const OpenPanelRequest& request) override;
    std::string runSavePanel(const SavePanelRequest& request) override;

    void playAlert() override { alerts_.fetch_add(1); }
    void programIdle() override;
    void programEnded() override;

    std::string standardFolder(Folder folder) const override;
    std::string resourceFolder() const override { return resources_; }
    std::string applicationName() const override { return "Ostrakonix"; }

    // --- For tests and scripts ---------------------------------------------------------
    // Runs fn on the main thread as the delivery of input (a key, a click, a file): the
    // program counts as busy from here until it next waits for input with nothing queued.
    void deliver(const std::function<void()>& fn);
    // Waits until the program waits for input with every queue empty, or has ended; false
    // when that did not happen within the time limit.
    bool waitUntilIdle(std::chrono::milliseconds limit = std::chrono::milliseconds(10000));
    bool programHasEnded();
    // A window's state, read on the main thread.
    WindowState window(int number);
    // Removes or restores a host window (a host interface definition that lacks it).
    void setWindowExists(int number, bool exists);
    // The next open panel answers these paths (an empty list cancels); the next save
    // panel answers this path (empty cancels). Without prepared answers a panel cancels.
    void prepareOpenPanel(std::vector<std::string> paths);
    void prepareSavePanel(std::string path);
    std::vector<OpenPanelRequest> openPanelRequests();
    std::vector<SavePanelRequest> savePanelRequests();
    int alerts() const { return alerts_.load(); }
    std::optional<Image> pasteboardImage();
    // The picture a view showed at its last redraw.
    std::optional<Image> viewImage(int number);
    // A choice in the menu bar, as the desktop makes it: the hosts' own items (quit, help,
    // the editor's commands) are carried out here, the others by the toolkit. False when
    // the menu bar has no such item.
    bool chooseMenu(const std::string& menuTitle, const std::string& itemTitle);
    // Whether the item exists and is not greyed: a greyed item is found but does nothing.
    bool menuItemEnabled(const std::string& menuTitle, const std::string& itemTitle);
    // The menu item whose shortcut a key press is (Control with Shift and a letter), as the
    // desktop's menu bar takes it before the views: its menu and item titles, or nothing.
    std::optional<std::pair<std::string, std::string>> menuShortcut(const KeyEvent& key);
    // How often the help window was asked for.
    int helpShown() const { return helpShown_.load(); }
    void setTitleBarHeight(double height) { titleBar_ = height; }
    void setScreenSize(Size size) { screen_ = size; }

private:
    void loop();
    bool valid(int number) const { return number >= 0 && number <= 12; }

    std::thread thread_;
    std::atomic<std::thread::id> mainId_{};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;

    std::array<WindowState, 13> windows_{};
    std::array<bool, 13> exists_{};
    std::array<Image, 8> images_{};
    std::array<uint64_t, 8> generations_{};
    int keyWindow_ = 255;
    std::vector<Menu> menus_;
    std::optional<std::string> pasteText_;
    std::optional<Image> pasteImage_;
    std::deque<std::vector<std::string>> openAnswers_;
    std::deque<std::string> saveAnswers_;
    std::vector<OpenPanelRequest> openRequests_;
    std::vector<SavePanelRequest> saveRequests_;
    std::atomic<int> alerts_{0};
    std::atomic<int> helpShown_{0};
    std::mutex idleMutex_;
    std::condition_variable idleSignal_;
    bool idle_ = false;
    bool ended_ = false;
    std::string resources_;
    double titleBar_ = 22;
    Size screen_{1920, 1080};
};

}  // namespace host
