#include "hosts/headless/headless_host.h"

#include "app/threads.h"
#include "display/image.h"
#include "display/window.h"
#include "input/events.h"
#include "input/panels.h"
#include "hosts/shared/folders.h"
#include "hosts/shared/menu_definition.h"
#include "hosts/shared/requests.h"
#include "input/entries.h"
#include "input/keys.h"

namespace host {

HeadlessHost::HeadlessHost(std::string resourceFolder)
    : resources_(resourceFolder.empty() ? defaultResourceFolder() : std::move(resourceFolder)) {
    exists_.fill(true);
    menus_ = menuDefinition();
}

HeadlessHost::~HeadlessHost() {
    stop();
    if (hasHost() && &host() == this) setHost(nullptr);
}

void HeadlessHost::start() {
    if (thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { loop(); });
    while (mainId_.load() == std::thread::id{}) std::this_thread::yield();
    setHost(this);
}

void HeadlessHost::stop() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
    mainId_.store(std::thread::id{});
}

void HeadlessHost::loop() {
    kt::claimThreadNumber(1);
    mainId_.store(std::this_thread::get_id());
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
        // A drawing cycle: views marked as needing display are drawn once the tasks that
        // marked them have run.
        for (int n = 0; n < 8; ++n) {
            if (windows_[n].needsDisplay > 0) {
                windows_[n].needsDisplay = 0;
                displayNow(n);
            }
        }
    }
}

bool HeadlessHost::isMainThread() const { return std::this_thread::get_id() == mainId_.load(); }

void HeadlessHost::runOnMainSync(const std::function<void()>& fn) {
    if (isMainThread() || !thread_.joinable()) {
        fn();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool done = false;
    runOnMainAsync([&] {
        fn();
        std::lock_guard lock(doneMutex);
        done = true;
        doneSignal.notify_all();
    });
    std::unique_lock lock(doneMutex);
    doneSignal.wait(lock, [&] { return done; });
}

void HeadlessHost::runOnMainAsync(std::function<void()> fn) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(fn));
    }
    wake_.notify_one();
}

bool HeadlessHost::hasWindow(int number) const { return valid(number) && exists_[number]; }
bool HeadlessHost::hasView(int number) const { return number >= 0 && number < 8 && exists_[number]; }
bool HeadlessHost::hasTextView(int number) const { return number >= 8 && number <= 10 && exists_[number]; }

Rect HeadlessHost::windowFrame(int number) const { return hasWindow(number) ? windows_[number].frame : Rect{}; }

void HeadlessHost::setWindowFrame(int number, const Rect& frame) {
    if (hasWindow(number)) windows_[number].frame = frame;
}

void HeadlessHost::setViewFrame(int number, const Rect& frame) {
    if (hasView(number)) windows_[number].viewFrame = frame;
}

std::string HeadlessHost::windowTitle(int number) const { return hasWindow(number) ? windows_[number].title : ""; }

void HeadlessHost::setWindowTitle(int number, const std::string& title) {
    if (hasWindow(number)) windows_[number].title = title;
}

void HeadlessHost::setWindowTitled(int number, bool titled) {
    if (hasWindow(number)) windows_[number].titled = titled;
}

bool HeadlessHost::windowShown(int number) const { return hasWindow(number) && windows_[number].shown; }

void HeadlessHost::orderFront(int number) {
    if (hasWindow(number)) windows_[number].shown = true;
}

void HeadlessHost::orderOut(int number) {
    if (!hasWindow(number)) return;
    windows_[number].shown = false;
    if (keyWindow_ == number) keyWindow_ = 255;
}

void HeadlessHost::makeKey(int number) {
    if (hasWindow(number) && windows_[number].shown) keyWindow_ = number;
}

void HeadlessHost::centerWindow(int number) {
    if (!hasWindow(number)) return;
    Rect& f = windows_[number].frame;
    f.x = (screen_.width - f.width) / 2;
    f.y = (screen_.height - f.height) / 2;
}

void HeadlessHost::setWindowBackground(int number, const Color& color) {
    if (hasWindow(number)) windows_[number].background = color;
}

Size HeadlessHost::screenSize(int) const { return screen_; }

int HeadlessHost::mainWindowNumber() const { return keyWindow_; }

void HeadlessHost::setNeedsDisplay(int number) {
    if (hasView(number)) windows_[number].needsDisplay++;
}

void HeadlessHost::displayNow(int number) {
    if (!hasView(number)) return;
    windows_[number].displayed++;
    if (!kt::viewRedraw(number, images_[number], generations_[number])) images_[number] = Image{};
}

std::optional<Image> HeadlessHost::viewImage(int number) {
    std::optional<Image> copy;
    runOnMainSync([&] {
        if (hasView(number) && !images_[number].pixels.empty()) copy = images_[number];
    });
    return copy;
}

std::string HeadlessHost::textViewText(int number) const { return hasTextView(number) ? windows_[number].text : ""; }

void HeadlessHost::setTextViewText(int number, const std::string& text) {
    if (hasTextView(number)) windows_[number].text = text;
}

void HeadlessHost::prepareTextView(int number) {
    if (!hasTextView(number)) return;
    windows_[number].textPrepared = true;
    windows_[number].text.clear();
}

void HeadlessHost::pasteboardClear() {
    pasteText_.reset();
    pasteImage_.reset();
}

void HeadlessHost::pasteboardSetText(const std::string& text) { pasteText_ = text; }

std::optional<std::string> HeadlessHost::pasteboardText() const { return pasteText_; }

void HeadlessHost::pasteboardSetImage(const Image& image) { pasteImage_ = image; }

std::vector<std::string> HeadlessHost::runOpenPanel(const OpenPanelRequest& request) {
    openRequests_.push_back(request);
    if (openAnswers_.empty()) return {};
    std::vector<std::string> urls;
    for (const auto& path : openAnswers_.front()) urls.push_back(kt::pathToFileUrl(path));
    openAnswers_.pop_front();
    if (!request.multiple && urls.size() > 1) urls.resize(1);
    return urls;
}

std::string HeadlessHost::runSavePanel(const SavePanelRequest& request) {
    saveRequests_.push_back(request);
    if (saveAnswers_.empty()) return {};
    std::string path = saveAnswers_.front();
    saveAnswers_.pop_front();
    return path.empty() ? std::string() : kt::pathToFileUrl(path);
}

void HeadlessHost::programIdle() {
    std::lock_guard lock(idleMutex_);
    // Input that has arrived since the program last looked keeps it busy.
    if (kt::inputPending()) return;
    idle_ = true;
    idleSignal_.notify_all();
}

void HeadlessHost::programEnded() {
    std::lock_guard lock(idleMutex_);
    ended_ = true;
    idleSignal_.notify_all();
}

void HeadlessHost::deliver(const std::function<void()>& fn) {
    // Held while the input is queued, so that the program can't report itself idle between
    // the reset and the arrival.
    std::lock_guard lock(idleMutex_);
    idle_ = false;
    runOnMainSync(fn);
}

bool HeadlessHost::waitUntilIdle(std::chrono::milliseconds limit) {
    std::unique_lock lock(idleMutex_);
    return idleSignal_.wait_for(lock, limit, [this] { return idle_ || ended_; });
}

bool HeadlessHost::programHasEnded() {
    std::lock_guard lock(idleMutex_);
    return ended_;
}

std::string HeadlessHost::standardFolder(Folder folder) const { return userFolder(folder); }

HeadlessHost::WindowState HeadlessHost::window(int number) {
    WindowState state;
    runOnMainSync([&] { state = valid(number) ? windows_[number] : WindowState{}; });
    return state;
}

void HeadlessHost::setWindowExists(int number, bool exists) {
    runOnMainSync([&] {
        if (valid(number)) exists_[number] = exists;
    });
}

void HeadlessHost::prepareOpenPanel(std::vector<std::string> paths) {
    runOnMainSync([&] { openAnswers_.push_back(std::move(paths)); });
}

void HeadlessHost::prepareSavePanel(std::string path) {
    runOnMainSync([&] { saveAnswers_.push_back(std::move(path)); });
}

std::vector<OpenPanelRequest> HeadlessHost::openPanelRequests() {
    std::vector<OpenPanelRequest> copy;
    runOnMainSync([&] { copy = openRequests_; });
    return copy;
}

std::vector<SavePanelRequest> HeadlessHost::savePanelRequests() {
    std::vector<SavePanelRequest> copy;
    runOnMainSync([&] { copy = saveRequests_; });
    return copy;
}

bool HeadlessHost::chooseMenu(const std::string& menuTitle, const std::string& itemTitle) {
    bool found = false;
    runOnMainSync([&] {
        const MenuItem* chosen = findMenuItem(menus_, menuTitle, itemTitle);
        if (!chosen) return;
        found = true;
        if (!chosen->enabled) return;
        const MenuItem item = *chosen;
        // The program's keys go to its window, the default one.
        const int program = kt::display().defaultWindow.load();
        const int window = program < kt::graphicWindowCount ? program : 0;
        if (item.tag == quitMenuTag) {
            sendProgramKey(window, key::controlQ, modifier::control);
        } else if (item.tag == helpMenuTag) {
            helpShown_++;
        } else if (!carryOutProgramCommand(item.tag, window)) {
            t_MenuEventHandler(menuTitle, item);
        }
    });
    return found;
}

bool HeadlessHost::menuItemEnabled(const std::string& menuTitle, const std::string& itemTitle) {
    bool enabled = false;
    runOnMainSync([&] {
        const MenuItem* item = findMenuItem(menus_, menuTitle, itemTitle);
        enabled = item && item->enabled;
    });
    return enabled;
}

std::optional<std::pair<std::string, std::string>> HeadlessHost::menuShortcut(const KeyEvent& key) {
    constexpr uint64_t held = modifier::shift | modifier::control | modifier::option | modifier::command;
    std::optional<std::pair<std::string, std::string>> found;
    runOnMainSync([&] {
        for (const Menu& menu : menus_)
            for (const MenuItem& item : menu.items) {
                const bool controlShift = (item.keyModifiers & held) == (modifier::control | modifier::shift);
                if (found || !controlShift || item.keyEquivalent.size() != 1) continue;
                // Control with a letter gives the letter's control character.
                const char letter = item.keyEquivalent[0];
                if ((key.modifierFlags & held) == (modifier::control | modifier::shift) &&
                    key.characters == std::string(1, static_cast<char>(letter & 0x1F)))
                    found = std::make_pair(menu.title, item.title);
            }
    });
    return found;
}

std::optional<Image> HeadlessHost::pasteboardImage() {
    std::optional<Image> copy;
    runOnMainSync([&] { copy = pasteImage_; });
    return copy;
}

}  // namespace host
