#include "hosts/qt/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <cmath>
#include <memory>

#include "input/entries.h"
#include "input/keys.h"
#include "display/window.h"
#include "hosts/shared/completion.h"
#include "hosts/shared/folders.h"
#include "hosts/shared/menu_definition.h"
#include "display/placement.h"
#include "hosts/qt/alert_sound.h"
#include "hosts/qt/graphic_window.h"
#include "hosts/qt/help_window.h"
#include "hosts/qt/host_window.h"
#include "hosts/qt/panels.h"
#include "hosts/qt/view_geometry.h"
#include "hosts/shared/requests.h"
#include "input/events.h"

namespace host::qt {
namespace {

// Finishes the completion when it goes: after the posted task has run, or when Qt throws the
// task away unrun (its receiver went before the loop reached it), so no caller waits forever.
// Shared by every copy of the posted task.
class CompletionToken {
public:
    explicit CompletionToken(std::shared_ptr<Completion> completion) : completion_(std::move(completion)) {}
    CompletionToken(const CompletionToken&) = delete;
    CompletionToken& operator=(const CompletionToken&) = delete;
    ~CompletionToken() { completion_->finish(); }

private:
    std::shared_ptr<Completion> completion_;
};

int measureTitleBar() {
    QMenuBar* probe = buildMenuBar(menuDefinition(), {}, nullptr);
    const int height = probe->sizeHint().height();
    delete probe;
    return height;
}

// The screen a window is on: the one under its middle, as soon as it was moved there.
QScreen* screenOf(const QWidget* window) {
    QScreen* screen = window ? QGuiApplication::screenAt(window->geometry().center()) : nullptr;
    if (!screen && window) screen = window->screen();
    return screen ? screen : QGuiApplication::primaryScreen();
}

QRect screenGeometry(const QWidget* window) {
    QScreen* screen = screenOf(window);
    return screen ? screen->geometry() : QRect(0, 0, 1920, 1080);
}

// The screen's room for windows: without the panels and docks of the desktop.
QRect screenRoom(const QWidget* window) {
    QScreen* screen = screenOf(window);
    return screen ? screen->availableGeometry() : screenGeometry(window);
}

// What the window manager's frame adds around a window; none before it is framed.
QMargins marginsOf(const QWidget* w) {
    const QRect frame = w->frameGeometry(), client = w->geometry();
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
}

// Whether windows get frames on this platform (not offscreen, not a bare screen).
bool platformFrames() {
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"));
}

int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool windowSetUp(int number) {
    return number >= 0 && number < kt::graphicWindowCount && kt::memoryReady() &&
           kt::windowRecord(static_cast<uint8_t>(number)).Initialized;
}

}  // namespace

QtHost::QtHost(std::string resourceFolder)
    : mainThread_(std::this_thread::get_id()),
      dispatcher_(new QObject),
      titleBar_(measureTitleBar()),
      resources_(resourceFolder.empty() ? defaultResourceFolder() : std::move(resourceFolder)) {
    menus_ = menuDefinition();
    for (int n = 0; n < 8; ++n) windows_[n] = new GraphicWindow(n, titleBar_);
    windows_[8] = new TextWindow(8, titleBar_, false);
    windows_[9] = new TextWindow(9, titleBar_, true);
    windows_[10] = new TextWindow(10, titleBar_, true);
    windows_[11] = new PlainWindow(11, titleBar_, QStringLiteral("Ostrakonix hat keine Einstellungen."));
    windows_[12] = new PlainWindow(12, titleBar_, QStringLiteral("Ostrakonix\nHexadezimaler Editor"));
    const char* names[] = {"Zwischenablage", "Drucker", "Konsole", "Einstellungen", "Ostrakonix"};
    for (int n = 8; n <= 12; ++n) windows_[n]->setWindowTitle(QString::fromUtf8(names[n - 8]));
    // The side windows come in near the middle of the screen, a little apart, unless the
    // program places them.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        for (int n = 8; n <= 12; ++n) {
            QRect client(QPoint(), windows_[n]->size());
            client.moveCenter(area.center() + QPoint(32 * (n - 10), 32 * (n - 10)));
            windows_[n]->setClientGeometry(client);
        }
    }
    for (HostWindow* window : windows_) window->setCloseBox([this](int number) { closeBox(number); });
    // A quit the user types is the program's own: it ends only the program.
    for (int n = 0; n < 8; ++n)
        graphicWindow(n)->setKeyWatcher([this](const host::KeyEvent& key) {
            if (key.characters == std::string(1, static_cast<char>(key::controlQ))) quitBegunHere_ = false;
        });
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, dispatcher_, [this](QWindow* focused) {
        for (int n = 0; n < kt::graphicWindowCount; ++n)
            if (focused && windows_[n] && windows_[n]->windowHandle() == focused) lastGraphicFocus_ = n;
    });
    menuBarChanged();
    alertSound_ = std::make_unique<AlertSound>(QString::fromStdString(resources_ + "/sysbeep.wav"));
    applicationEnd_ = [] { QCoreApplication::exit(0); };
    systemBeep_ = [] { QApplication::beep(); };
}

QtHost::~QtHost() { shutDown(); }

void QtHost::stopAccepting() {
    {
        std::lock_guard lock(postMutex_);
        accepting_ = false;
    }
    if (dispatcher_ && isMainThread()) QCoreApplication::sendPostedEvents(dispatcher_, QEvent::MetaCall);
}

void QtHost::shutDown() {
    stopAccepting();
    alertSound_.reset();
    delete help_;
    help_ = nullptr;
    for (auto*& window : windows_) {
        delete window;
        window = nullptr;
    }
    // Tasks posted between the two steps are thrown away with their receiver, which
    // releases whoever waits for them.
    delete dispatcher_;
    dispatcher_ = nullptr;
}

bool QtHost::isMainThread() const { return std::this_thread::get_id() == mainThread_; }

bool QtHost::post(std::function<void()> task) {
    std::lock_guard lock(postMutex_);
    if (!accepting_ || !dispatcher_) return false;
    return QMetaObject::invokeMethod(dispatcher_, std::move(task), Qt::QueuedConnection);
}

void QtHost::runOnMainSync(const std::function<void()>& fn) {
    if (isMainThread()) {
        fn();
        return;
    }
    auto completion = std::make_shared<Completion>();
    auto token = std::make_shared<CompletionToken>(completion);
    if (!post([&fn, token] { fn(); })) return;
    // From here the token lives only in the posted task: it ends when the task has run or
    // has been thrown away.
    token.reset();
    completion->wait();
}

void QtHost::runOnMainAsync(std::function<void()> fn) { post(std::move(fn)); }

void QtHost::programEnded() {
    programEnded_ = true;
    runOnMainAsync([this] {
        if (programEndedHandler_) programEndedHandler_();
        if (quitBegunHere_) endApplication();
    });
}

HostWindow* QtHost::window(int number) const { return number >= 0 && number <= 12 ? windows_[number] : nullptr; }

GraphicWindow* QtHost::graphicWindow(int number) const {
    return number >= 0 && number < 8 ? static_cast<GraphicWindow*>(windows_[number]) : nullptr;
}

TextWindow* QtHost::textWindow(int number) const {
    return number >= 8 && number <= 10 ? static_cast<TextWindow*>(windows_[number]) : nullptr;
}

bool QtHost::hasWindow(int number) const { return window(number) != nullptr; }
bool QtHost::hasView(int number) const { return graphicWindow(number) != nullptr; }
bool QtHost::hasTextView(int number) const { return textWindow(number) != nullptr; }

Rect QtHost::windowFrame(int number) const {
    const QWidget* w = window(number);
    if (!w) return {};
    const QRect client = w->geometry(), screen = screenGeometry(w);
    return {double(client.x() - screen.x()), double(screen.y() + screen.height() - (client.y() + client.height())),
            double(client.width()), double(client.height())};
}

void QtHost::setWindowFrame(int number, const Rect& frame) {
    HostWindow* w = number >= 0 && number <= 12 ? windows_[number] : nullptr;
    if (!w) return;
    const QRect screen = screenGeometry(w);
    int width = std::max(1, static_cast<int>(std::lround(frame.width)));
    int height = std::max(1, static_cast<int>(std::lround(frame.height)));
    // A graphic window too large for its screen comes in scaled down, whole.
    if (number < kt::graphicWindowCount) {
        const QSize fitted = fittedClient({width, height}, w->titleHeight(), availableArea(w).size());
        width = fitted.width();
        height = fitted.height();
    }
    const int bottom = screen.y() + screen.height() - static_cast<int>(std::lround(frame.y));
    w->setClientGeometry({screen.x() + static_cast<int>(std::lround(frame.x)), bottom - height, width, height});
}

QMargins QtHost::frameMargins() const {
    for (const HostWindow* w : windows_) {
        if (!w || !w->isVisible() || !w->titled()) continue;
        if (const QMargins margins = marginsOf(w); !margins.isNull()) return margins;
    }
    // Before a window manager has framed one of ours: the size of a usual frame, where
    // windows get one.
    return platformFrames() ? QMargins(4, 32, 4, 8) : QMargins();
}

QRect QtHost::availableArea(const QWidget* window) const { return screenRoom(window).marginsRemoved(frameMargins()); }

void QtHost::setViewFrame(int number, const Rect& frame) {
    if (GraphicWindow* w = graphicWindow(number)) w->setViewFrame(frame);
}

std::string QtHost::windowTitle(int number) const {
    const QWidget* w = window(number);
    return w ? w->windowTitle().toStdString() : std::string();
}

void QtHost::setWindowTitle(int number, const std::string& title) {
    if (QWidget* w = window(number)) w->setWindowTitle(QString::fromStdString(title));
}

void QtHost::setWindowTitled(int number, bool titled) {
    if (hasWindow(number)) windows_[number]->setTitled(titled);
}

bool QtHost::windowShown(int number) const {
    const QWidget* w = window(number);
    return w && w->isVisible();
}

void QtHost::orderFront(int number) {
    HostWindow* w = number >= 0 && number <= 12 ? windows_[number] : nullptr;
    if (!w) return;
    // As on the toolkit's home platform, a titled window comes in with its top on the screen,
    // title bar and all: frames keep their bottom edge, so a window that grew would otherwise
    // hide its menu bar.
    // The frame may be known only once the window is shown: then it is looked at again.
    auto keepTitleOnScreen = [this, w] {
        const QRect area = availableArea(w);
        QRect client = w->geometry();
        if (!w->titled() || client.top() >= area.top()) return;
        client.moveTop(area.top());
        w->setClientGeometry(client);
    };
    const bool opening = !w->isVisible();
    keepTitleOnScreen();
    w->show();
    keepTitleOnScreen();
    w->raise();
    if (opening && w->titled() && platformFrames()) fitWhenFramed(w, 200);
}

void QtHost::fitWhenFramed(HostWindow* w, int checksLeft) {
    const QMargins margins = marginsOf(w);
    if (margins.isNull()) {
        // Not framed yet (or never, without a window manager): looked at again every 50
        // milliseconds for ten seconds (a busy machine frames late).
        if (checksLeft > 0)
            QTimer::singleShot(50, w, [this, w, checksLeft] {
                if (w->isVisible()) fitWhenFramed(w, checksLeft - 1);
            });
        return;
    }
    const QRect client = w->geometry();
    const QRect fitted =
        fittedOnScreen(client, margins, screenRoom(w), w->titleHeight(), w->number() < kt::graphicWindowCount);
    if (fitted != client) w->setClientGeometry(fitted);
}

void QtHost::orderOut(int number) {
    if (QWidget* w = window(number)) w->hide();
}

void QtHost::makeKey(int number) {
    QWidget* w = window(number);
    if (!w || !w->isVisible()) return;
    w->activateWindow();
    if (GraphicWindow* graphic = graphicWindow(number)) graphic->view()->setFocus(Qt::ActiveWindowFocusReason);
}

void QtHost::centerWindow(int number) {
    HostWindow* w = number >= 0 && number <= 12 ? windows_[number] : nullptr;
    if (!w) return;
    // The window with its frame in the middle of the room, its title bar on the screen.
    const QRect area = availableArea(w);
    QRect client = w->geometry();
    client.moveCenter(area.center());
    if (client.top() < area.top()) client.moveTop(area.top());
    w->setClientGeometry(client);
}

void QtHost::setWindowBackground(int number, const Color& color) {
    if (GraphicWindow* w = graphicWindow(number)) {
        w->setBorderColor(
            QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha)));
        return;
    }
    if (QWidget* w = window(number)) {
        QPalette colours = w->palette();
        colours.setColor(QPalette::Window,
                         QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha)));
        w->setPalette(colours);
        w->setAutoFillBackground(true);
    }
}

Size QtHost::screenSize(int number) const {
    const QRect screen = screenGeometry(window(number));
    return {double(screen.width()), double(screen.height())};
}

int QtHost::mainWindowNumber() const {
    const QWidget* active = QApplication::activeWindow();
    for (int n = 0; n <= 12; ++n)
        if (active && windows_[n] == active) return n;
    return 255;
}

void QtHost::setNeedsDisplay(int number) {
    if (GraphicWindow* w = graphicWindow(number)) w->view()->update();
}

void QtHost::displayNow(int number) {
    if (GraphicWindow* w = graphicWindow(number)) w->view()->repaint();
}

std::string QtHost::textViewText(int number) const {
    const TextWindow* w = textWindow(number);
    return w ? w->text().toStdString() : std::string();
}

void QtHost::setTextViewText(int number, const std::string& text) {
    if (TextWindow* w = textWindow(number)) w->setText(QString::fromStdString(text));
}

void QtHost::prepareTextView(int number) {
    if (TextWindow* w = textWindow(number)) w->prepare();
}

void QtHost::menuBarChanged() {
    for (HostWindow* window : windows_)
        if (window)
            window->setMenus(menus_, [this, number = window->number()](const std::string& title,
                                                                       const host::MenuItem& item) {
                chooseMenu(number, title, item);
            });
}

void QtHost::menuItemsEnabledChanged() {
    for (HostWindow* window : windows_)
        if (window && window->menuBar()) updateMenuEnabling(window->menuBar(), menus_);
}

void QtHost::pasteboardClear() { QGuiApplication::clipboard()->clear(); }

void QtHost::pasteboardSetText(const std::string& text) {
    // The toolkit ends its lines with a carriage return; text on this desktop ends them with
    // a line feed, or other programs would paste it as one line.
    QString desktopText = QString::fromStdString(text);
    desktopText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    desktopText.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QGuiApplication::clipboard()->setText(desktopText);
}

std::optional<std::string> QtHost::pasteboardText() const {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return std::nullopt;
    return data->text().toStdString();
}

void QtHost::pasteboardSetImage(const Image& image) {
    // A picture whose pixels do not fill its size is not read past its end.
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        return;
    const QImage picture(reinterpret_cast<const uchar*>(image.pixels.data()), image.width, image.height,
                         image.width * 4, QImage::Format_RGB32);
    QGuiApplication::clipboard()->setImage(picture.copy());
}

std::vector<std::string> QtHost::runOpenPanel(const OpenPanelRequest& request) {
    return qt::runOpenPanel(request, QApplication::activeWindow());
}

std::string QtHost::runSavePanel(const SavePanelRequest& request) {
    return qt::runSavePanel(request, QApplication::activeWindow());
}

void QtHost::playAlert() {
    // Any thread may ring; the sound is played on the GUI thread.
    if (isMainThread())
        ring();
    else
        runOnMainAsync([this] { ring(); });
}

void QtHost::ring() {
    if (!QCoreApplication::instance()) return;
    if (alertSound_ && alertSound_->play()) return;
    // One beep at a time: a beep lasts about this long.
    const int64_t now = steadyMilliseconds();
    if (lastBeep_ != 0 && now - lastBeep_ < 300) return;
    lastBeep_ = now;
    if (systemBeep_) systemBeep_();
}

bool QtHost::anyWindowShown() const {
    for (int n = 0; n <= 12; ++n)
        if (windowShown(n)) return true;
    return false;
}

int QtHost::quitWindow(int preferred) const {
    if (windowSetUp(preferred)) return preferred;
    if (windowSetUp(lastGraphicFocus_)) return lastGraphicFocus_;
    const int fallback = kt::display().defaultWindow.load();
    if (windowSetUp(fallback)) return fallback;
    for (int n = 0; n < kt::graphicWindowCount; ++n)
        if (windowSetUp(n)) return n;
    return -1;
}

bool QtHost::askProgramToQuit(int preferred) {
    const int target = quitWindow(preferred);
    if (target < 0) return false;
    t_WindowFront(static_cast<uint8_t>(target));
    quitBegunHere_ = true;
    sendProgramKey(target, key::controlQ, modifier::control);
    return true;
}

void QtHost::programCommand(int preferred, int64_t tag) {
    const int target = programHasEnded() ? -1 : quitWindow(preferred);
    if (target < 0) {
        playAlert();
        return;
    }
    // The editor's window comes to the front: its questions and its answer show there.
    t_WindowFront(static_cast<uint8_t>(target));
    if (!carryOutProgramCommand(tag, target)) playAlert();
}

void QtHost::showHelp() {
    if (!help_) help_ = new HelpWindow;
    help_->present();
}

void QtHost::endApplication() {
    if (applicationEnd_) applicationEnd_();
}

void QtHost::chooseMenu(int number, const std::string& menuTitle, const host::MenuItem& item) {
    if (item.tag == quitMenuTag) {
        if (programHasEnded())
            endApplication();
        else if (!askProgramToQuit(number))
            playAlert();
        return;
    }
    if (item.tag == helpMenuTag) {
        showHelp();
        return;
    }
    if (item.tag < 0) {
        programCommand(number, item.tag);
        return;
    }
    const bool reachable = anyWindowShown();
    t_MenuEventHandler(menuTitle, item);
    if (!reachable || anyWindowShown()) return;
    // The choice hid the last window.
    if (programHasEnded()) {
        endApplication();
    } else if (!askProgramToQuit(number)) {
        // A program without a window of its own: the window stays.
        t_WindowFront(static_cast<uint8_t>(number));
        playAlert();
    }
}

void QtHost::closeBox(int number) {
    bool last = windowShown(number);
    for (int n = 0; n <= 12 && last; ++n)
        if (n != number && windowShown(n)) last = false;
    if (!last) {
        windowShouldClose(number);
        return;
    }
    if (programHasEnded()) {
        endApplication();
        return;
    }
    const int target = quitWindow(number);
    if (target < 0) {
        playAlert();
        return;
    }
    // A side window goes as asked; the question comes in the program's window.
    if (target != number) windowShouldClose(number);
    askProgramToQuit(target);
}

void QtHost::bringToFront() {
    int front = -1;
    const int fallback = kt::display().defaultWindow.load();
    if (fallback >= 0 && fallback <= 12 && windowShown(fallback)) front = fallback;
    for (int n = 0; n <= 12 && front < 0; ++n)
        if (windowShown(n)) front = n;
    if (front < 0) return;
    windows_[front]->raise();
    windows_[front]->activateWindow();
}

std::string QtHost::standardFolder(Folder folder) const { return userFolder(folder); }

}  // namespace host::qt
