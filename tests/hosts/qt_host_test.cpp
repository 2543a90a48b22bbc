// The Qt host on the offscreen platform: the GUI thread runs the tests and spins the event
// loop while toolkit calls run on other threads, as the program thread's would.
#include <QClipboard>
#include <QFileDialog>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>
#include <QWheelEvent>

#include "display/glyph.h"
#include "display/image.h"
#include "display/placement.h"
#include "display/window.h"
#include "hosts/qt/graphic_window.h"
#include "hosts/qt/key_mapping.h"
#include "hosts/qt/view_geometry.h"
#include "input/events.h"
#include "input/mouse.h"
#include "input/wheel.h"
#include "qt_test_support.h"

namespace {

using namespace host::qt;
using namespace qt_test;
namespace mod = host::modifier;

// Window 0 as the editor sets it up; the window table is process-wide, so once.
void setUpWindowZero() {
    static bool done = false;
    if (std::exchange(done, true)) return;
    runOffMain([] {
        t_InitWindow(0, 24, 80, 25, 16, "DejaVuSansMono 16x32.font");
        t_WindowFront(0);
    });
    ASSERT_TRUE(kt::memoryReady() && kt::windowRecord(0).Initialized) << "window 0 was not set up";
}

}  // namespace

// On a laptop's screen window 0 is scaled down whole, its proportions kept and a click still
// in the cell under it; on the wide screen it has the toolkit's size below its menu bar; its
// view shows its picture, scaled with the window.
TEST(QtHost, WindowZeroShowsItsPictureAndFitsALaptopScreenWhole) {
    setUpWindowZero();
    QScreen *wide = nullptr, *laptop = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) (screen->size().width() == 1366 ? laptop : wide) = screen;
    ASSERT_TRUE(wide && laptop) << "the tests' offscreen platform has a wide and a laptop screen";
    auto* window = qtHost->graphicWindow(0);
    const int title = window->titleHeight();
    auto place = [&](QScreen* screen) {
        // The platform reports geometry in its own time: what it had to report first goes.
        QTest::qWait(100);
        window->move(screen->geometry().topLeft() + QPoint(40, 40));
        QTest::qWait(100);
        ASSERT_TRUE(screen->geometry().contains(window->geometry().center()));
        runOffMain([] {
            t_WindowSize(0, -1, -1, -1, -1);
            t_WindowCenter(0);
            t_WindowFront(0);
        });
        QTest::qWait(100);
    };
    // Scaled down on 1366 × 768, frame and all inside the screen; the toolkit's sizes stay
    // its own.
    place(laptop);
    EXPECT_TRUE(laptop->availableGeometry().contains(window->frameGeometry()));
    EXPECT_LT(window->width(), 1312);
    EXPECT_NEAR(double(window->width()) / (window->height() - title), 1312.0 / 832.0, 0.01);
    const QRect view = window->view()->geometry();
    EXPECT_NEAR(double(view.width()) / view.height(), 1280.0 / 800.0, 0.01);
    EXPECT_EQ(t_WindowPos(0, 8), 1280);
    // A click lands in the text cell under it: the middle of column 20, line 9.
    while (t_GetMouseText(0).first >= 0) {
    }
    const QRectF picture = window->view()->pictureRect();
    const double scale = picture.width() / 1280;
    QTest::mouseClick(window->view(), Qt::LeftButton, {},
                      (picture.topLeft() + QPointF((19 * 16 + 8) * scale, (8 * 32 + 16) * scale)).toPoint());
    EXPECT_EQ(t_GetMouseText(0), std::make_pair(int64_t{20}, int64_t{9}));
    // The user's sizes keep the proportions: the side the user changed most leads.
    window->resize(700, window->height());
    EXPECT_TRUE(spinUntil([&] { return window->size() == QSize(700, title + 444); }, 2000)) << window->height();
    window->resize(window->width(), title + 416);
    EXPECT_TRUE(spinUntil([&] { return window->size() == QSize(656, title + 416); }, 2000)) << window->width();

    // On the wide screen the toolkit's size (the toolkit's measures of the frame are checked
    // with the frames' conversion).
    place(wide);
    EXPECT_TRUE(window->isVisible() && title > 0 && t_TitleBarHeight() == title) << title;
    EXPECT_EQ(window->size(), QSize(1312, 832 + title));
    EXPECT_EQ(window->view()->geometry(), QRect(16, title + 16, 1280, 800));
    EXPECT_EQ(window->menuBar()->geometry(), QRect(0, 0, 1312, title));

    // There the view shows the window's picture (compared as RGB32, which leaves the alpha
    // byte out); at twice the size view and borders are twice as large, every pixel a sharp
    // 2 × 2 square.
    runOffMain([] { t_PrintSymbol(0, 'A', 0xC0, 1, 1); });
    const std::optional<host::Image> image = t_WindowImage(0);
    ASSERT_TRUE(image);
    const QImage expected(reinterpret_cast<const uchar*>(image->pixels.data()), image->width, image->height,
                          QImage::Format_RGB32);
    auto grab = [&] { return window->view()->grab().toImage().convertToFormat(QImage::Format_RGB32); };
    EXPECT_EQ(grab(), expected) << "the view does not show the window's picture";
    window->resize(2 * 1312, title + 2 * 832);
    EXPECT_EQ(window->view()->geometry(), QRect(32, title + 32, 2560, 1600));
    EXPECT_EQ(grab().copy(0, 0, 32, 64), expected.copy(0, 0, 16, 32).scaled(32, 64)) << "not sharp squares";
    window->resize(1312, 832 + title);
}

TEST(QtHost, FramesConvertBetweenTheToolkitsAndQtsOrigin) {
    const QRect screen = qtHost->window(3)->screen()->geometry();
    const int title = static_cast<int>(qtHost->titleBarHeight());
    qtHost->setWindowFrame(3, {50, 60, 500, 400});
    EXPECT_EQ(qtHost->window(3)->geometry(), QRect(screen.x() + 50, screen.y() + screen.height() - 460, 500, 400));
    const host::Rect frame = qtHost->windowFrame(3);
    EXPECT_EQ(QRectF(frame.x, frame.y, frame.width, frame.height), QRectF(50, 60, 500, 400));

    // A window whose frame grew above the screen comes in with its menu bar on the screen.
    qtHost->setWindowFrame(3, {50, 60, 500, double(screen.height())});
    ASSERT_LT(qtHost->window(3)->geometry().top(), screen.top());
    qtHost->orderFront(3);
    EXPECT_EQ(qtHost->window(3)->frameGeometry().top(), qtHost->window(3)->screen()->availableGeometry().top());
    qtHost->orderOut(3);

    // Without its title bar a graphic window is frameless and its view moves up.
    auto* window = qtHost->graphicWindow(1);
    qtHost->setViewFrame(1, {8, 8, 320, 200});
    qtHost->setWindowFrame(1, {0, 0, 336, 216.0 + title});
    EXPECT_EQ(window->view()->geometry(), QRect(8, title + 8, 320, 200));
    qtHost->setWindowTitled(1, false);
    qtHost->setWindowFrame(1, {0, 0, 336, 216});
    EXPECT_TRUE((window->windowFlags() & Qt::FramelessWindowHint) && !window->menuBar()->isVisibleTo(window));
    EXPECT_EQ(window->view()->geometry(), QRect(8, 8, 320, 200));
    qtHost->setWindowTitled(1, true);
    EXPECT_TRUE(!(window->windowFlags() & Qt::FramelessWindowHint) && window->menuBar()->isVisibleTo(window));
}

TEST(QtHost, ClicksAreMeasuredInPicturePixelsFromTheBottomLeft) {
    // Twice as large, both halves of a doubled pixel give the same point; a view wider than
    // the picture's proportions centres the picture; a press in the border left of the picture
    // lies left of the drawing area. (A click in a scaled window is checked above.)
    const QSize image(1280, 800);
    auto point = [&](QSizeF view, QPointF inView) {
        return toolkitPoint(inView, pictureRect(view, image), image, 16, 16);
    };
    EXPECT_EQ(point({2560, 1600}, {20.2, 41.8}), QPointF(26, 796));
    EXPECT_EQ(point({2560, 1600}, {21.8, 40.2}), QPointF(26, 796));
    EXPECT_EQ(point({1600, 800}, {160.5, 0.5}), QPointF(16, 816));
    EXPECT_EQ(point({1280, 800}, {1279.5, 799.5}), QPointF(1295, 17));
    EXPECT_LT(point({1280, 800}, {-3, 100}).x(), 16);
}

TEST(QtHost, KeysBecomeTheHomePlatformsCodesCharactersAndModifiers) {
    // A key as Qt reports it, with its evdev scan code as X reports it (0: none).
    auto key = [](int qtKey, const QString& text = {}, Qt::KeyboardModifiers modifiers = {}, quint32 evdev = 0) {
        return KeyInput{qtKey, modifiers, text, evdev != 0, evdev + 8, false, false};
    };
    const Qt::KeyboardModifiers withCtrl = Qt::ControlModifier, withShift = Qt::ShiftModifier,
                                onPad = Qt::KeypadModifier;
    const uint64_t ctl = mod::control, fnPad = mod::function | mod::numericPad;
    // Wanted: key code (−1: any), characters (nothing: any), flags. Control+6 is the line
    // editor's code entry. Then by scan code: the key's place whatever the layout (here
    // German: Y and Z swapped); AltGr+E gives the layout's character with the option bit (Qt
    // reports € by its code); keypad 4 with Num Lock off; a key the table lacks: told by its
    // symbol.
    // clang-format off
    const std::tuple<KeyInput, int64_t, const char*, uint64_t> cases[] = {
        {key(Qt::Key_Right), 124, "\uF703", fnPad}, {key(Qt::Key_Return, "\r"), 36, "\r", 0},
        {key(Qt::Key_Backtab, {}, withShift), 48, "\x19", mod::shift}, {key(Qt::Key_Adiaeresis, "ä"), 39, "ä", 0},
        {key(Qt::Key_Odiaeresis, {}, withCtrl), -1, "\x1c", ctl}, {key(Qt::Key_6, "6", withCtrl), 22, "\x1e", ctl},
        {key(Qt::Key_5, "5", onPad), 87, "5", mod::numericPad}, {key(Qt::Key_5, "5"), 23, "5", 0},
        {key(Qt::Key_unknown), unknownKeyCode, nullptr, 0}, {key(Qt::Key_Y, "y", {}, 44), 6, "y", 0},
        {{0x20AC, {}, "€", true, 18 + 8, false, true}, 14, "€", mod::option},
        {key(Qt::Key_Left, {}, {}, 75), 123, nullptr, fnPad}, {key(Qt::Key_Enter, {}, {}, 96), 76, nullptr, 0},
        {key(Qt::Key_Escape, {}, {}, 240), 53, nullptr, 0}};
    // clang-format on
    for (const auto& [input, code, characters, flags] : cases) {
        SCOPED_TRACE(testing::Message() << "Qt key 0x" << std::hex << input.key << ", scan code " << input.scanCode);
        const host::KeyEvent e = mapKey(input);
        EXPECT_EQ(e.keyCode, code < 0 ? e.keyCode : code);
        EXPECT_EQ(e.characters, characters ? characters : e.characters);
        EXPECT_EQ(e.modifierFlags, flags);
    }
    // A modifier key reports the state after its change; X reports the one from before.
    KeyInput shift = key(Qt::Key_Shift);
    EXPECT_TRUE(isModifierKey(shift.key) && !isModifierKey(Qt::Key_A));
    EXPECT_EQ(modifierFlags(shift, true), mod::shift);
    shift.modifiers = Qt::ShiftModifier | Qt::ControlModifier;
    EXPECT_EQ(modifierFlags(shift, false), mod::control);
    EXPECT_EQ(modifierFlags(key(Qt::Key_AltGr), true), mod::option);
    EXPECT_EQ(modifierFlags(key(Qt::Key_A, {}, Qt::MetaModifier | Qt::AltModifier)), mod::command | mod::option);
}

TEST(QtHost, KeysAndTheWheelInTheViewReachTheToolkitsQueues) {
    setUpWindowZero();
    auto* window = qtHost->graphicWindow(0);
    qtHost->makeKey(0);
    window->view()->setFocus();
    ASSERT_TRUE(window->view()->hasFocus());
    // Tab stays in the view rather than moving the focus; Alt+Backspace undoes,
    // Shift+Alt+Backspace redoes: Backspace's value with the flags; Alt alone does not take
    // the keyboard into the menu bar (Down after it is a key).
    kt::keyQueue().clear();
    const std::pair<Qt::Key, Qt::KeyboardModifiers> typed[] = {
        {Qt::Key_U, Qt::ControlModifier},     {Qt::Key_Tab, {}},
        {Qt::Key_Backspace, Qt::AltModifier}, {Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier},
        {Qt::Key_Alt, Qt::AltModifier},       {Qt::Key_Down, {}}};
    for (const auto& [key, modifiers] : typed) QTest::keyClick(window->view(), key, modifiers);
    EXPECT_TRUE(window->menuBar()->activeAction() == nullptr && window->view()->hasFocus());
    using Key = std::tuple<uint8_t, int64_t, int64_t, bool, bool, bool>;  // window, code, value, control, option, shift
    std::vector<Key> keys;
    for (const t_Event& e : kt::keyQueue().snapshot())
        keys.emplace_back(e.Window, e.Index, e.Value, e.ControlPressed, e.OptionPressed, e.ShiftPressed);
    // clang-format off
    EXPECT_EQ(keys, (std::vector<Key>{{0, 32, 21, true, false, false}, {0, 48, 9, false, false, false},
                                      {0, 51, 127, false, true, false}, {0, 51, 127, false, true, true},
                                      {0, 125, 10, false, false, false}}));
    // clang-format on

    // The wheel: a notch a line, up positive; a touchpad's parts of a notch add up.
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(100, 100), window->view()->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window->view(), &event);
    };
    t_GetWheelLines(0);
    wheel(240);
    wheel(-120);
    EXPECT_EQ(t_GetWheelLines(0), 1);
    wheel(-60);
    EXPECT_FALSE(t_WheelEventAvailable());
    wheel(-70);
    EXPECT_EQ(t_GetWheelLines(0), -1);
}

TEST(QtHost, WorkFromOtherThreadsRunsOnTheGuiThread) {
    EXPECT_TRUE(qtHost->isMainThread());
    bool inline_ = false;
    qtHost->runOnMainSync([&] { inline_ = true; });  // no event loop needed on the GUI thread
    EXPECT_TRUE(inline_);

    QThread* ranOn = nullptr;
    bool callerIsMain = true;
    std::vector<int> order;
    runOffMain([&] {
        callerIsMain = qtHost->isMainThread();
        for (int i = 0; i < 3; ++i) qtHost->runOnMainAsync([&order, i] { order.push_back(i); });
        qtHost->runOnMainSync([&] {
            ranOn = QThread::currentThread();
            order.push_back(3);
        });
    });
    EXPECT_TRUE(!callerIsMain && ranOn == QCoreApplication::instance()->thread());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(QtHost, PanelsSpeakGermanAndAnswerFileUrls) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QStringList labels;
    QString filter;
    answerPanel([&](QFileDialog* dialog) {
        labels = {dialog->labelText(QFileDialog::Accept), dialog->labelText(QFileDialog::Reject),
                  dialog->labelText(QFileDialog::FileName)};
        filter = dialog->selectedNameFilter();
        dialog->selectFile(folder.filePath(QStringLiteral("Grüße 2")));
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
    });
    const std::string saved =
        qtHost->runSavePanel({"Daten.bin", "Sichern", "Wohin?", {".bin"}, "Sichern", "Sichern unter:"});
    EXPECT_EQ(labels, (QStringList{"Sichern", "Abbrechen", "Sichern unter:"}));
    EXPECT_TRUE(filter.contains(QStringLiteral("*.bin"))) << filter.toStdString();
    // The name typed without an extension gets the first allowed one; the URL is encoded.
    EXPECT_EQ(saved, QUrl::fromLocalFile(folder.filePath("Grüße 2.bin")).toString(QUrl::FullyEncoded).toStdString());
    EXPECT_NE(saved.find("Gr%C3%BC%C3%9Fe%202.bin"), std::string::npos) << saved;

    // A cancelled panel answers nothing. (An open panel's answer reaches the editor in the
    // desktop's test.)
    answerPanel([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(qtHost->runOpenPanel({"Öffnen", "", {}, false, true, false, "Öffnen"}).empty());
}

TEST(QtHost, PasteboardHoldsTextUntilClearedOrAPictureComes) {
    qtHost->pasteboardSetText("Grüße");
    EXPECT_EQ(qtHost->pasteboardText(), "Grüße");
    // A picture whose pixels do not fill its size is refused, not read past its end.
    qtHost->pasteboardSetImage(host::Image{4, 4, std::vector<uint32_t>(3, 0xFF00FF00u)});
    EXPECT_EQ(qtHost->pasteboardText(), "Grüße");
    qtHost->pasteboardClear();
    EXPECT_EQ(qtHost->pasteboardText(), std::nullopt);
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));  // a picture is no text
    EXPECT_EQ(qtHost->pasteboardText(), std::nullopt);
}

int main(int argc, char** argv) {
    return qt_test::runTests(argc, argv, [] {
        app::applicationDidFinishLaunching([] {});
        // The launcher returns before its thread has taken the program: a test program that
        // ended at once would tear the launcher down under it.
        while (!qt_test::qtHost->programHasEnded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    });
}
