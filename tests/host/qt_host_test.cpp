// The Qt host on the offscreen platform: the GUI thread runs the tests and spins the event
// loop while toolkit calls run on other threads, as the program thread's would.
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QWheelEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include "display/glyph.h"
#include "display/image.h"
#include "display/window.h"
#include "host/menu_definition.h"
#include "display/placement.h"
#include "host/qt/graphic_window.h"
#include "host/qt/key_mapping.h"
#include "host/qt/menu_bar.h"
#include "host/qt/view_geometry.h"
#include "input/events.h"
#include "input/mouse.h"
#include "input/wheel.h"
#include "qt_test_support.h"

namespace {

using host::qt::KeyInput;
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

KeyInput key(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}) {
    return {.key = qtKey, .modifiers = modifiers, .text = text};
}

// A key with its evdev scan code, as X reports it.
KeyInput scanned(quint32 evdev, int qtKey, const QString& text = {}, bool altGr = false) {
    return {qtKey, {}, text, true, evdev + 8, false, altGr};
}

// What input maps to; an unset expectation is not checked.
void expectKey(const KeyInput& input, std::optional<int64_t> keyCode, std::optional<std::string> characters = {},
               std::optional<uint64_t> flags = {}) {
    SCOPED_TRACE(testing::Message() << "Qt key 0x" << std::hex << input.key << ", scan code " << std::dec
                                    << input.scanCode);
    const host::KeyEvent e = host::qt::mapKey(input);
    EXPECT_EQ(e.keyCode, keyCode.value_or(e.keyCode));
    EXPECT_EQ(e.characters, characters.value_or(e.characters));
    EXPECT_EQ(e.modifierFlags, flags.value_or(e.modifierFlags));
}

QImage grabView(host::qt::GraphicWindow* window) {
    return window->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

TEST(QtHost, WindowZeroGetsTheToolkitsSizeBelowTheMenuBar) {
    setUpWindowZero();
    const int title = static_cast<int>(qtHost->titleBarHeight());
    EXPECT_GT(title, 0);
    EXPECT_EQ(t_TitleBarHeight(), title);
    auto* window = qtHost->graphicWindow(0);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->view()->geometry(), QRect(16, title + 16, 1280, 800));
    EXPECT_EQ(window->geometry().size(), QSize(1312, 832 + title));
    EXPECT_EQ(window->menuBar()->geometry(), QRect(0, 0, 1312, title));
    EXPECT_EQ(t_WindowPos(0, 12), 832 + title);
    EXPECT_EQ(t_WindowPos(0, 10), 1312);
    // The frame's origin is its bottom left, measured from the bottom left of the screen.
    const QRect screen = window->screen()->geometry();
    EXPECT_EQ(t_WindowPos(0, 20), screen.bottom() + 1 - (window->geometry().bottom() + 1));
}

TEST(QtHost, ViewShowsTheWindowsPictureAndScalesWithTheWindow) {
    setUpWindowZero();
    runOffMain([] { t_PrintSymbol(0, 'A', 0xC0, 1, 1); });
    const std::optional<host::Image> picture = t_WindowImage(0);
    ASSERT_TRUE(picture);
    // Compared as RGB32, which leaves the alpha byte out.
    const QImage expected(reinterpret_cast<const uchar*>(picture->pixels.data()), picture->width, picture->height,
                          QImage::Format_RGB32);
    auto* window = qtHost->graphicWindow(0);
    EXPECT_EQ(grabView(window), expected) << "the view does not show the window's picture";
    QImage blank(16, 32, QImage::Format_RGB32);
    blank.fill(expected.pixel(0, 0));
    EXPECT_NE(expected.copy(0, 0, 16, 32), blank) << "the A left no mark in its cell";

    // Twice the content: view and borders twice as large, every pixel a sharp 2 × 2 square.
    const int title = window->titleHeight();
    const QSize natural = window->size();
    window->resize(2 * 1312, title + 2 * 832);
    EXPECT_EQ(window->view()->geometry(), QRect(32, title + 32, 2560, 1600));
    const QImage doubled = grabView(window);
    ASSERT_EQ(doubled.size(), QSize(2560, 1600));
    EXPECT_EQ(doubled.copy(0, 0, 32, 64), expected.copy(0, 0, 16, 32).scaled(32, 64)) << "not sharp 2 × 2 squares";
    // Between whole scales the pixels are blended: colours come in that the picture lacks.
    auto colours = [](const QImage& image) {
        QSet<QRgb> seen;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) seen.insert(image.pixel(x, y));
        return seen.size();
    };
    window->resize(1312 * 3 / 2, title + 832 * 3 / 2);
    EXPECT_GT(colours(grabView(window).copy(0, 0, 48, 96)), colours(expected.copy(0, 0, 32, 64)));
    window->resize(natural);
    EXPECT_EQ(window->view()->geometry(), QRect(16, title + 16, 1280, 800));
}

TEST(QtHost, WindowZeroFitsALaptopScreenWholeAndKeepsItsProportions) {
    setUpWindowZero();
    ASSERT_EQ(QGuiApplication::screens().size(), 2) << "the tests' offscreen platform has a wide and a laptop screen";
    QScreen *wide = nullptr, *laptop = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) (screen->size().width() == 1366 ? laptop : wide) = screen;
    ASSERT_TRUE(wide && laptop);
    auto* window = qtHost->graphicWindow(0);
    const int title = window->titleHeight();
    auto proportions = [&] { return double(window->width()) / (window->height() - title); };
    auto place = [&](QScreen* screen) {
        // The platform reports geometry in its own time: what it had to report first goes.
        spinFor(100);
        window->move(screen->geometry().topLeft() + QPoint(40, 40));
        spinFor(100);
        ASSERT_TRUE(screen->geometry().contains(window->geometry().center()));
        runOffMain([] {
            t_WindowSize(0, -1, -1, -1, -1);
            t_WindowCenter(0);
            t_WindowFront(0);
        });
        spinFor(100);
    };
    // Scaled down on 1366 × 768, frame and all inside the screen, the picture's proportions
    // kept; the toolkit's sizes stay its own.
    place(laptop);
    const QRect area = laptop->availableGeometry();
    EXPECT_TRUE(area.contains(window->frameGeometry()));
    EXPECT_LT(window->width(), 1312);
    EXPECT_NEAR(proportions(), 1312.0 / 832.0, 0.01);
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

    // On the wide screen, the toolkit's size.
    place(wide);
    EXPECT_EQ(window->size(), QSize(1312, 832 + title));
    EXPECT_EQ(window->view()->geometry(), QRect(16, title + 16, 1280, 800));
}

TEST(QtHost, TitleFromAnotherThreadReachesTheWindow) {
    setUpWindowZero();
    runOffMain([] { t_WindowTitle(0, "Titel"); });
    EXPECT_TRUE(spinUntil([] { return qtHost->graphicWindow(0)->windowTitle() == QStringLiteral("Titel"); }, 2000));
    EXPECT_EQ(qtHost->windowTitle(0), "Titel");
}

TEST(QtHost, FramesConvertBetweenTheToolkitsAndQtsOrigin) {
    const QRect screen = qtHost->window(3)->screen()->geometry();
    const double title = qtHost->titleBarHeight();
    const int titleHeight = static_cast<int>(title);
    auto frameOf = [](int n) {
        const host::Rect frame = qtHost->windowFrame(n);
        return QRectF(frame.x, frame.y, frame.width, frame.height);
    };
    qtHost->setWindowFrame(3, {50, 60, 500, 400});
    EXPECT_EQ(qtHost->window(3)->geometry(), QRect(screen.x() + 50, screen.y() + screen.height() - 460, 500, 400));
    EXPECT_EQ(frameOf(3), QRectF(50, 60, 500, 400));

    // A window whose frame grew above the screen comes in with its menu bar on the screen.
    qtHost->setWindowFrame(3, {50, 60, 500, double(screen.height())});
    ASSERT_LT(qtHost->window(3)->geometry().top(), screen.top());
    qtHost->orderFront(3);
    EXPECT_EQ(qtHost->window(3)->frameGeometry().top(), qtHost->window(3)->screen()->availableGeometry().top());
    qtHost->orderOut(3);

    // A side window's menu bar stands for the toolkit's title bar, at the top of the client area.
    qtHost->setWindowFrame(9, {10, 20, 400, 300 + title});
    EXPECT_EQ(qtHost->window(9)->geometry().size(), QSize(400, 300 + titleHeight));
    EXPECT_EQ(qtHost->window(9)->menuBar()->geometry(), QRect(0, 0, 400, titleHeight));
    EXPECT_EQ(frameOf(9), QRectF(10, 20, 400, 300 + title));

    // Without its title bar a graphic window is frameless and its view moves up.
    auto* window = qtHost->graphicWindow(1);
    qtHost->setViewFrame(1, {8, 8, 320, 200});
    qtHost->setWindowFrame(1, {0, 0, 336, 216 + title});
    EXPECT_EQ(window->view()->geometry(), QRect(8, titleHeight + 8, 320, 200));
    qtHost->setWindowTitled(1, false);
    qtHost->setWindowFrame(1, {0, 0, 336, 216});
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(window->menuBar()->isVisibleTo(window));
    EXPECT_EQ(window->view()->geometry(), QRect(8, 8, 320, 200));
    qtHost->setWindowTitled(1, true);
    EXPECT_FALSE(window->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window->menuBar()->isVisibleTo(window));
}

TEST(QtHost, ClicksAreMeasuredInPicturePixelsFromTheBottomLeft) {
    const QSize image(1280, 800);
    QRectF picture;
    auto point = [&](QPointF inView) { return host::qt::toolkitPoint(inView, picture, image, 16, 16); };
    // At the natural size, pixel (px, py) lies at view point (px, py).
    picture = host::qt::pictureRect(QSizeF(1280, 800), image);
    EXPECT_EQ(point({0.5, 0.5}), QPointF(16, 816));
    EXPECT_EQ(point({1279.5, 799.5}), QPointF(1295, 17));
    // Twice as large: both halves of a doubled pixel give the same point.
    picture = host::qt::pictureRect(QSizeF(2560, 1600), image);
    EXPECT_EQ(point({2 * 10 + 0.2, 2 * 20 + 1.8}), QPointF(26, 796));
    EXPECT_EQ(point({2 * 10 + 1.8, 2 * 20 + 0.2}), QPointF(26, 796));
    // A press in the border left of the picture lies left of the drawing area.
    EXPECT_LT(point({-3, 100}).x(), 16);
    // A view wider than the picture's proportions centres the picture.
    picture = host::qt::pictureRect(QSizeF(1600, 800), image);
    EXPECT_EQ(picture, QRectF(160, 0, 1280, 800));
    EXPECT_EQ(point({160.5, 0.5}), QPointF(16, 816));
}

TEST(QtHost, KeysBecomeTheHomePlatformsCodesCharactersAndModifiers) {
    expectKey(key(Qt::Key_U, Qt::ControlModifier), 32, "\x15", mod::control);
    expectKey(key(Qt::Key_Right), 124, "\xEF\x9C\x83" /* U+F703 */, mod::function | mod::numericPad);
    expectKey(key(Qt::Key_Return, {}, "\r"), 36, "\r");
    expectKey(key(Qt::Key_Escape, {}, "\x1b"), 53, "\x1b");
    expectKey(key(Qt::Key_Backtab, Qt::ShiftModifier), 48, "\x19", mod::shift);
    expectKey(key(Qt::Key_Adiaeresis, {}, QStringLiteral("ä")), 39, "ä");
    expectKey(key(Qt::Key_F1), 122, "\xEF\x9C\x84" /* U+F704 */, mod::function);
    expectKey(key(Qt::Key_Backspace, {}, "\b"), 51, "\x7f");
    expectKey(key(Qt::Key_Odiaeresis, Qt::ControlModifier), {}, "\x1c");
    expectKey(key(Qt::Key_BracketRight, Qt::ControlModifier), {}, "\x1d");
    expectKey(key(Qt::Key_6, Qt::ControlModifier, "6"), 22, "\x1e");  // the line editor's code entry
    expectKey(key(Qt::Key_5, Qt::KeypadModifier, "5"), 87);
    expectKey(key(Qt::Key_5, {}, "5"), 23);
    expectKey(key(Qt::Key_unknown), host::qt::unknownKeyCode);
    // The scan code gives the key's place whatever the layout (here German: Y and Z swapped).
    expectKey(scanned(44, Qt::Key_Y, "y"), 6);
    expectKey(scanned(21, Qt::Key_Z, "z"), 16);
    expectKey(scanned(86, Qt::Key_Less, "<"), 50);
    expectKey(scanned(41, Qt::Key_Dead_Circumflex), 10);
    // AltGr+E gives the layout's character with the option bit (Qt reports € by its code).
    expectKey(scanned(18, 0x20AC, QStringLiteral("€"), true), 14, "€", mod::option);
    expectKey(scanned(75, Qt::Key_Left), 123);  // keypad 4 with Num Lock off
    expectKey(scanned(96, Qt::Key_Enter), 76);
    expectKey(scanned(240, Qt::Key_Escape), 53);  // no place in the table: told by its symbol

    // A modifier key reports the state after its change; X reports the one from before.
    KeyInput shift = key(Qt::Key_Shift);
    EXPECT_TRUE(host::qt::isModifierKey(shift.key));
    EXPECT_FALSE(host::qt::isModifierKey(Qt::Key_A));
    EXPECT_EQ(host::qt::modifierFlags(shift, true), mod::shift);
    shift.modifiers = Qt::ShiftModifier | Qt::ControlModifier;
    EXPECT_EQ(host::qt::modifierFlags(shift, false), mod::control);
    EXPECT_EQ(host::qt::modifierFlags(key(Qt::Key_AltGr), true), mod::option);
    EXPECT_EQ(host::qt::modifierFlags(key(Qt::Key_A, Qt::MetaModifier | Qt::AltModifier)), mod::command | mod::option);
}

TEST(QtHost, MenuShortcutsNeverTakeAControlLetterFromTheViews) {
    std::vector<host::Menu> menus{{"Ablage",
                                   {{"Öffnen …", "O", mod::control | mod::shift, 100},
                                    {},
                                    {"Sichern", "S", mod::control, 101},
                                    {"Drucken", "P", 0, 102},
                                    {"Beenden", "Q", mod::command, 103}}}};
    std::vector<int64_t> chosen;
    std::unique_ptr<QMenuBar> bar(host::qt::buildMenuBar(
        menus, [&](const std::string&, const host::MenuItem& item) { chosen.push_back(item.tag); }, nullptr));
    const QList<QAction*> items = bar->actions().front()->menu()->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_TRUE(items[2]->shortcut().isEmpty());
    EXPECT_TRUE(items[3]->shortcut().isEmpty());
    EXPECT_EQ(items[4]->shortcut(), QKeySequence(Qt::META | Qt::Key_Q));
    items[2]->trigger();
    EXPECT_EQ(chosen, std::vector<int64_t>{101});
}

TEST(QtHost, KeysAndClicksInTheViewReachTheToolkitsQueues) {
    setUpWindowZero();
    auto* window = qtHost->graphicWindow(0);
    qtHost->makeKey(0);
    window->view()->setFocus();
    ASSERT_TRUE(window->view()->hasFocus());
    kt::keyQueue().clear();
    QTest::keyClick(window->view(), Qt::Key_U, Qt::ControlModifier);
    QTest::keyClick(window->view(), Qt::Key_Tab);
    std::vector<t_Event> keys = kt::keyQueue().snapshot();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[0].Window, 0);
    EXPECT_EQ(keys[0].Index, 32);
    EXPECT_EQ(keys[0].Value, 21);
    EXPECT_TRUE(keys[0].ControlPressed);
    EXPECT_EQ(keys[1].Value, 9) << "Tab must stay in the view, not move the focus";

    // Alt+Backspace undoes, Shift+Alt+Backspace redoes: Backspace's value with the flags.
    kt::keyQueue().clear();
    QTest::keyClick(window->view(), Qt::Key_Backspace, Qt::AltModifier);
    QTest::keyClick(window->view(), Qt::Key_Backspace, Qt::AltModifier | Qt::ShiftModifier);
    keys = kt::keyQueue().snapshot();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_TRUE(keys[0].Value == 127 && keys[0].OptionPressed && !keys[0].ShiftPressed);
    EXPECT_TRUE(keys[1].Value == 127 && keys[1].OptionPressed && keys[1].ShiftPressed);

    // The wheel: a notch a line, up positive; a touchpad's parts of a notch add up.
    auto wheel = [&](int delta) {
        QWheelEvent event(QPointF(100, 100), window->view()->mapToGlobal(QPointF(100, 100)), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
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

    // Alt alone does not take the keyboard into the menu bar.
    kt::keyQueue().clear();
    QTest::keyClick(window->view(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyClick(window->view(), Qt::Key_Down);
    EXPECT_EQ(window->menuBar()->activeAction(), nullptr);
    EXPECT_TRUE(window->view()->hasFocus());
    keys = kt::keyQueue().snapshot();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Value, 10);

    // A click on picture pixel (67, 69) lies in text column 5, line 3 of the 16 × 32 font.
    while (t_GetMouseText(0).first >= 0) {
    }
    QTest::mouseClick(window->view(), Qt::LeftButton, {}, QPoint(67, 69));
    EXPECT_EQ(t_GetMouseText(0), std::make_pair(int64_t{5}, int64_t{3}));
}

TEST(QtHost, WorkFromOtherThreadsRunsOnTheGuiThread) {
    EXPECT_TRUE(qtHost->isMainThread());
    bool inline_ = false;
    qtHost->runOnMainSync([&] { inline_ = true; });  // no event loop needed on the GUI thread
    EXPECT_TRUE(inline_);

    QThread* ranOn = nullptr;
    bool sawMain = false, callerIsMain = true;
    std::vector<int> order;
    runOffMain([&] {
        callerIsMain = qtHost->isMainThread();
        for (int i = 0; i < 3; ++i) qtHost->runOnMainAsync([&order, i] { order.push_back(i); });
        qtHost->runOnMainSync([&] {
            ranOn = QThread::currentThread();
            sawMain = qtHost->isMainThread();
            order.push_back(3);
        });
    });
    EXPECT_FALSE(callerIsMain);
    EXPECT_EQ(ranOn, QCoreApplication::instance()->thread());
    EXPECT_TRUE(sawMain);
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
}

TEST(QtHost, PanelsSpeakGermanAndAnswerFileUrls) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("Grüße 1.bin"));
    QFile(existing).open(QIODevice::WriteOnly);

    QStringList labels;
    QString filter;
    answerPanel([&](QFileDialog* dialog) {
        labels = {dialog->labelText(QFileDialog::Accept), dialog->labelText(QFileDialog::Reject),
                  dialog->labelText(QFileDialog::FileName)};
        filter = dialog->selectedNameFilter();
        dialog->selectFile(folder.filePath(QStringLiteral("Neu 2")));
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
    });
    const std::string saved =
        qtHost->runSavePanel({"Daten.bin", "Sichern", "Wohin?", {".bin"}, "Sichern", "Sichern unter:"});
    EXPECT_EQ(labels, (QStringList{"Sichern", "Abbrechen", "Sichern unter:"}));
    EXPECT_TRUE(filter.contains(QStringLiteral("*.bin"))) << filter.toStdString();
    // The name typed without an extension gets the first allowed one; the URL is encoded.
    EXPECT_EQ(
        saved,
        QUrl::fromLocalFile(folder.filePath(QStringLiteral("Neu 2.bin"))).toString(QUrl::FullyEncoded).toStdString());
    EXPECT_NE(saved.find("Neu%202.bin"), std::string::npos) << saved;

    const host::OpenPanelRequest open{"Öffnen", "", {}, false, true, false, "Öffnen"};
    answerPanel([&](QFileDialog* dialog) {
        labels = {dialog->labelText(QFileDialog::Accept)};
        dialog->selectFile(existing);
        static_cast<QDialog*>(dialog)->accept();
    });
    const std::vector<std::string> opened = qtHost->runOpenPanel(open);
    EXPECT_EQ(labels, QStringList{"Öffnen"});
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_NE(opened[0].find("Gr%C3%BC%C3%9Fe%201.bin"), std::string::npos) << opened[0];

    answerPanel([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_TRUE(qtHost->runOpenPanel(open).empty());
}

TEST(QtHost, PasteboardHoldsTextUntilCleared) {
    qtHost->pasteboardSetText("Grüße");
    EXPECT_EQ(qtHost->pasteboardText(), "Grüße");
    qtHost->pasteboardClear();
    EXPECT_EQ(qtHost->pasteboardText(), std::nullopt);
    // A picture whose pixels do not fill its size is refused, not read past its end.
    qtHost->pasteboardSetImage(host::Image{4, 4, std::vector<uint32_t>(3, 0xFF00FF00u)});
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
