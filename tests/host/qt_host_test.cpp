// The Qt host on the offscreen platform: the GUI thread runs the tests and spins the event
// loop while toolkit calls run on other threads, as the program thread's would.
#include "host/qt/qt_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/glyph.h"
#include "display/image.h"
#include "display/setup.h"
#include "display/window.h"
#include "host/menu_definition.h"
#include "host/placement.h"
#include "host/qt/graphic_window.h"
#include "host/qt/key_mapping.h"
#include "host/qt/menu_bar.h"
#include "host/qt/view_geometry.h"
#include "input/events.h"
#include "input/mouse.h"

namespace {

using host::qt::KeyInput;
using host::qt::QtHost;
namespace mod = host::modifier;

QtHost* qtHost = nullptr;

// Spins the GUI thread's event loop until done() or the time is up.
bool spinUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Runs fn on a thread of its own while the GUI thread answers its calls to the main thread.
void runOffMain(const std::function<void()>& fn) {
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        fn();
        finished = true;
    });
    const bool inTime = spinUntil([&] { return finished.load(); });
    worker.join();
    ASSERT_TRUE(inTime) << "the call on the other thread did not finish";
}

// Window 0 as the editor sets it up; the window table is process-wide, so once.
void setUpWindowZero() {
    static bool done = false;
    if (done) return;
    done = true;
    runOffMain([] {
        t_InitWindow(0, 24, 80, 25, 16, "DejaVuSansMono 16x32.font");
        t_WindowFront(0);
    });
    ASSERT_TRUE(kt::memoryReady() && kt::windowRecord(0).Initialized) << "window 0 was not set up";
}

KeyInput key(int qtKey, Qt::KeyboardModifiers modifiers = {}, const QString& text = {}) {
    KeyInput input;
    input.key = qtKey;
    input.modifiers = modifiers;
    input.text = text;
    return input;
}

KeyInput scanned(quint32 evdev, int qtKey, const QString& text = {}) {
    KeyInput input = key(qtKey, {}, text);
    input.hasScanCode = true;
    input.scanCode = evdev + 8;
    return input;
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
    auto* window = qtHost->graphicWindow(0);
    const QImage shown = window->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(picture->width, picture->height));
    int differences = 0, inked = 0;
    for (int y = 0; y < picture->height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(shown.constScanLine(y));
        for (int x = 0; x < picture->width; ++x) {
            const uint32_t expected = picture->pixels[static_cast<size_t>(y) * picture->width + x] | 0xFF000000u;
            differences += (row[x] | 0xFF000000u) != expected;
            if (x < 16 && y < 32) inked += expected != (picture->pixels[0] | 0xFF000000u);
        }
    }
    EXPECT_EQ(differences, 0);
    EXPECT_GT(inked, 0) << "the A left no mark in its cell";

    // Twice the content: view and borders twice as large, every pixel a sharp 2 × 2 square.
    const int title = window->titleHeight();
    const QSize natural = window->size();
    window->resize(2 * 1312, title + 2 * 832);
    EXPECT_EQ(window->view()->geometry(), QRect(32, title + 32, 2560, 1600));
    const QImage doubled = window->view()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(doubled.size(), QSize(2560, 1600));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(doubled.pixel(x, y) | 0xFF000000u,
                      picture->pixels[(y / 2) * picture->width + x / 2] | 0xFF000000u)
                << "at " << x << ", " << y;
    window->resize(natural);
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
    qtHost->setWindowFrame(3, {50, 60, 500, 400});
    EXPECT_EQ(qtHost->window(3)->geometry(), QRect(screen.x() + 50, screen.y() + screen.height() - 460, 500, 400));
    host::Rect frame = qtHost->windowFrame(3);
    EXPECT_EQ(QRectF(frame.x, frame.y, frame.width, frame.height), QRectF(50, 60, 500, 400));

    // A window whose frame grew above the screen comes in with its menu bar on the screen.
    qtHost->setWindowFrame(3, {50, 60, 500, double(screen.height())});
    ASSERT_LT(qtHost->window(3)->geometry().top(), screen.top());
    qtHost->orderFront(3);
    EXPECT_EQ(qtHost->window(3)->geometry().top(), qtHost->window(3)->screen()->availableGeometry().top());
    qtHost->orderOut(3);

    // A side window has the menu bar too: it stands for the toolkit's title bar, at the top
    // of the client area.
    qtHost->setWindowFrame(9, {10, 20, 400, 300 + title});
    EXPECT_EQ(qtHost->window(9)->geometry().size(), QSize(400, 300 + titleHeight));
    EXPECT_EQ(qtHost->window(9)->menuBar()->geometry(), QRect(0, 0, 400, titleHeight));
    frame = qtHost->windowFrame(9);
    EXPECT_EQ(QRectF(frame.x, frame.y, frame.width, frame.height), QRectF(10, 20, 400, 300 + title));

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

TEST(QtHost, CloseBoxLeavesTheDecisionToTheToolkit) {
    // Another window stays: closing the last one is the host's quit rule (qt_desktop_test).
    qtHost->orderFront(4);
    QWidget* window = qtHost->window(5);
    qtHost->orderFront(5);
    ASSERT_TRUE(window->isVisible());
    EXPECT_FALSE(window->close());         // never closed by Qt …
    EXPECT_FALSE(qtHost->windowShown(5));  // … the toolkit hid it
    qtHost->orderFront(5);
    EXPECT_TRUE(window->isVisible());
    qtHost->orderOut(5);
    qtHost->orderOut(4);
}

TEST(QtHost, ClicksAreMeasuredInPicturePixelsFromTheBottomLeft) {
    const QSize image(1280, 800);
    // At the natural size, pixel (px, py) lies at view point (px, py).
    QRectF picture = host::qt::pictureRect(QSizeF(1280, 800), image);
    EXPECT_EQ(host::qt::toolkitPoint({0.5, 0.5}, picture, image, 16, 16), QPointF(16, 816));
    EXPECT_EQ(host::qt::toolkitPoint({1279.5, 799.5}, picture, image, 16, 16), QPointF(1295, 17));
    // Twice as large: both halves of a doubled pixel give the same point.
    picture = host::qt::pictureRect(QSizeF(2560, 1600), image);
    EXPECT_EQ(host::qt::toolkitPoint({2 * 10 + 0.2, 2 * 20 + 1.8}, picture, image, 16, 16), QPointF(26, 796));
    EXPECT_EQ(host::qt::toolkitPoint({2 * 10 + 1.8, 2 * 20 + 0.2}, picture, image, 16, 16), QPointF(26, 796));
    // A press in the border left of the picture lies left of the drawing area.
    EXPECT_LT(host::qt::toolkitPoint({-3, 100}, picture, image, 16, 16).x(), 16);
    // A view wider than the picture's proportions centres the picture.
    picture = host::qt::pictureRect(QSizeF(1600, 800), image);
    EXPECT_EQ(picture, QRectF(160, 0, 1280, 800));
    EXPECT_EQ(host::qt::toolkitPoint({160.5, 0.5}, picture, image, 16, 16), QPointF(16, 816));
}

TEST(QtHost, KeysBecomeTheHomePlatformsCodesAndCharacters) {
    using host::qt::mapKey;
    host::KeyEvent e = mapKey(key(Qt::Key_U, Qt::ControlModifier));
    EXPECT_EQ(e.keyCode, 32);
    EXPECT_EQ(e.characters, "\x15");
    EXPECT_EQ(e.modifierFlags, mod::control);
    e = mapKey(key(Qt::Key_Right));
    EXPECT_EQ(e.keyCode, 124);
    EXPECT_EQ(e.characters, "\xEF\x9C\x83");  // U+F703
    EXPECT_EQ(e.modifierFlags, mod::function | mod::numericPad);
    e = mapKey(key(Qt::Key_Return, {}, "\r"));
    EXPECT_EQ(e.keyCode, 36);
    EXPECT_EQ(e.characters, "\r");
    e = mapKey(key(Qt::Key_Escape, {}, "\x1b"));
    EXPECT_EQ(e.keyCode, 53);
    EXPECT_EQ(e.characters, "\x1b");
    e = mapKey(key(Qt::Key_Backtab, Qt::ShiftModifier));
    EXPECT_EQ(e.keyCode, 48);
    EXPECT_EQ(e.characters, "\x19");
    EXPECT_EQ(e.modifierFlags, mod::shift);
    e = mapKey(key(Qt::Key_Adiaeresis, {}, QStringLiteral("ä")));
    EXPECT_EQ(e.keyCode, 39);
    EXPECT_EQ(e.characters, "ä");
    e = mapKey(key(Qt::Key_F1));
    EXPECT_EQ(e.keyCode, 122);
    EXPECT_EQ(e.characters, "\xEF\x9C\x84");  // U+F704
    EXPECT_EQ(e.modifierFlags, mod::function);
    e = mapKey(key(Qt::Key_Backspace, {}, "\b"));
    EXPECT_EQ(e.keyCode, 51);
    EXPECT_EQ(e.characters, "\x7f");
    EXPECT_EQ(mapKey(key(Qt::Key_Odiaeresis, Qt::ControlModifier)).characters, "\x1c");
    EXPECT_EQ(mapKey(key(Qt::Key_BracketRight, Qt::ControlModifier)).characters, "\x1d");
    EXPECT_EQ(mapKey(key(Qt::Key_5, Qt::KeypadModifier, "5")).keyCode, 87);
    EXPECT_EQ(mapKey(key(Qt::Key_5, {}, "5")).keyCode, 23);
    EXPECT_EQ(mapKey(key(Qt::Key_unknown)).keyCode, host::qt::unknownKeyCode);
}

TEST(QtHost, ScanCodesGiveTheKeysPositionWhateverTheLayout) {
    using host::qt::mapKey;
    // German layout: the key left of X types Y; the key beside left Shift types <.
    EXPECT_EQ(mapKey(scanned(44, Qt::Key_Y, "y")).keyCode, 6);
    EXPECT_EQ(mapKey(scanned(21, Qt::Key_Z, "z")).keyCode, 16);
    EXPECT_EQ(mapKey(scanned(86, Qt::Key_Less, "<")).keyCode, 50);
    EXPECT_EQ(mapKey(scanned(41, Qt::Key_Dead_Circumflex)).keyCode, 10);
    // AltGr+E gives the layout's character with the option bit.
    KeyInput euro = scanned(18, 0x20AC /* Qt reports the euro sign by its code */, QStringLiteral("€"));
    euro.altGr = true;
    host::KeyEvent e = mapKey(euro);
    EXPECT_EQ(e.keyCode, 14);
    EXPECT_EQ(e.characters, "€");
    EXPECT_EQ(e.modifierFlags, mod::option);
    // Keypad 4 with Num Lock off is the left arrow.
    EXPECT_EQ(mapKey(scanned(75, Qt::Key_Left)).keyCode, 123);
    EXPECT_EQ(mapKey(scanned(96, Qt::Key_Enter)).keyCode, 76);
    // A key the table has no place for is told by its symbol.
    EXPECT_EQ(mapKey(scanned(240, Qt::Key_Escape)).keyCode, 53);
}

TEST(QtHost, ModifierKeysReportTheStateAfterTheirChange) {
    KeyInput shift = key(Qt::Key_Shift);  // X reports the state from before the press
    EXPECT_TRUE(host::qt::isModifierKey(shift.key));
    EXPECT_EQ(host::qt::modifierFlags(shift, true), mod::shift);
    shift.modifiers = Qt::ShiftModifier | Qt::ControlModifier;
    EXPECT_EQ(host::qt::modifierFlags(shift, false), mod::control);
    KeyInput altGr = key(Qt::Key_AltGr);
    EXPECT_EQ(host::qt::modifierFlags(altGr, true), mod::option);
    EXPECT_EQ(host::qt::modifierFlags(key(Qt::Key_A, Qt::MetaModifier | Qt::AltModifier)), mod::command | mod::option);
    EXPECT_FALSE(host::qt::isModifierKey(Qt::Key_A));
}

TEST(QtHost, MenuShortcutsNeverTakeAControlLetterFromTheViews) {
    host::MenuItem item{"Öffnen …", "O", mod::control | mod::shift, 100};
    EXPECT_EQ(host::qt::keySequenceFor(item), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    item.keyModifiers = mod::control;
    EXPECT_TRUE(host::qt::keySequenceFor(item).isEmpty());
    item.keyModifiers = 0;
    EXPECT_TRUE(host::qt::keySequenceFor(item).isEmpty());
    item.keyModifiers = mod::command;
    EXPECT_EQ(host::qt::keySequenceFor(item), QKeySequence(Qt::META | Qt::Key_O));

    // A bar gets the shortcuts that leave the views their keys.
    std::vector<host::Menu> menus{{"Ablage",
                                   {{"Öffnen …", "O", mod::control | mod::shift, 100},
                                    {},
                                    {"Sichern", "S", mod::control, 101},
                                    {"Drucken", "P", 0, 102}}}};
    std::vector<int64_t> chosen;
    QMenuBar* bar = host::qt::buildMenuBar(
        menus, [&](const std::string&, const host::MenuItem& chosenItem) { chosen.push_back(chosenItem.tag); },
        nullptr);
    const QList<QAction*> items = bar->actions().front()->menu()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_TRUE(items[2]->shortcut().isEmpty());
    EXPECT_TRUE(items[3]->shortcut().isEmpty());
    items[2]->trigger();
    EXPECT_EQ(chosen, std::vector<int64_t>{101});
    delete bar;

    // The windows' bars carry the definition's shortcuts, quitting among them.
    QStringList shortcuts;
    for (QAction* menu : qtHost->graphicWindow(2)->menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (!action->shortcut().isEmpty()) shortcuts << action->shortcut().toString();
    EXPECT_TRUE(shortcuts.contains(QStringLiteral("Ctrl+Shift+Q"))) << shortcuts.join(' ').toStdString();
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

    // Alt alone does not take the keyboard into the menu bar.
    kt::keyQueue().clear();
    QTest::keyClick(window->view(), Qt::Key_Alt, Qt::AltModifier);
    QTest::keyClick(window->view(), Qt::Key_Down);
    EXPECT_EQ(window->menuBar()->activeAction(), nullptr);
    EXPECT_TRUE(window->view()->hasFocus());
    keys = kt::keyQueue().snapshot();
    ASSERT_EQ(keys.size(), 1u);
    EXPECT_EQ(keys[0].Value, 10);
    kt::keyQueue().clear();

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

// Answers the next modal file dialog once it is open: answer gets the dialog.
void answerPanel(std::function<void(QFileDialog*)> answer) {
    QTimer::singleShot(0, [answer = std::move(answer)] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        answer(dialog);
    });
}

TEST(QtHost, PanelsSpeakGermanAndAnswerFileUrls) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString existing = folder.filePath(QStringLiteral("Grüße 1.bin"));
    QFile(existing).open(QIODevice::WriteOnly);

    host::SavePanelRequest save{"Daten.bin", "Sichern", "Wohin?", {".bin"}, "Sichern", "Sichern unter:"};
    QString accept, reject, nameLabel, filter;
    answerPanel([&](QFileDialog* dialog) {
        accept = dialog->labelText(QFileDialog::Accept);
        reject = dialog->labelText(QFileDialog::Reject);
        nameLabel = dialog->labelText(QFileDialog::FileName);
        filter = dialog->selectedNameFilter();
        dialog->selectFile(folder.filePath(QStringLiteral("Neu 2")));
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
    });
    const std::string saved = qtHost->runSavePanel(save);
    EXPECT_EQ(accept, QStringLiteral("Sichern"));
    EXPECT_EQ(reject, QStringLiteral("Abbrechen"));
    EXPECT_EQ(nameLabel, QStringLiteral("Sichern unter:"));
    EXPECT_TRUE(filter.contains(QStringLiteral("*.bin"))) << filter.toStdString();
    // The name typed without an extension gets the first allowed one; the URL is encoded.
    EXPECT_EQ(
        saved,
        QUrl::fromLocalFile(folder.filePath(QStringLiteral("Neu 2.bin"))).toString(QUrl::FullyEncoded).toStdString());
    EXPECT_NE(saved.find("Neu%202.bin"), std::string::npos) << saved;

    host::OpenPanelRequest open{"Öffnen", "", {}, false, true, false, "Öffnen"};
    answerPanel([&](QFileDialog* dialog) {
        accept = dialog->labelText(QFileDialog::Accept);
        dialog->selectFile(existing);
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
    });
    std::vector<std::string> opened = qtHost->runOpenPanel(open);
    EXPECT_EQ(accept, QStringLiteral("Öffnen"));
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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    kt::claimThreadNumber(1);
    QApplication application(argc, argv);
    // The toolkit's log lines would bury the test report.
    std::FILE* quiet = std::fopen("/dev/null", "w");
    if (quiet) kt::setLogStream(quiet);
    // Kept past the QApplication: toolkit threads may still call it while the program ends.
    qtHost = new QtHost(OSTRAKONIX_TEST_RESOURCES);
    host::setHost(qtHost);
    app::applicationWillFinishLaunching();
    app::applicationDidFinishLaunching([] {});
    // The launcher returns before its thread has taken the program: a test program that ended
    // at once would tear the launcher down under it.
    while (!qtHost->programHasEnded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const int result = RUN_ALL_TESTS();
    qtHost->stopAccepting();
    kt::display().updateThreadRunning = false;
    qtHost->shutDown();
    return result;
}
