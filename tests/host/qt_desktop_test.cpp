// The Qt host as a desktop application, on the offscreen platform: the menus in every window,
// the side windows, the alert, the quit rule with the real editor, files dropped on a window
// and files handed over by a second start of the program.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QLocalServer>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "app/documents.h"
#include "app/entries.h"
#include "app/log.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/setup.h"
#include "display/window.h"
#include "editor/editor.h"
#include "host/menu_definition.h"
#include "host/placement.h"
#include "host/qt/alert_sound.h"
#include "host/qt/graphic_window.h"
#include "host/qt/host_window.h"
#include "host/qt/instance.h"
#include "host/qt/qt_host.h"
#include "input/events.h"
#include "input/menu_events.h"
#include "terminal/area.h"

namespace {

using host::qt::QtHost;

QtHost* qtHost = nullptr;
QTemporaryDir* runtimeFolder = nullptr;  // the user's runtime folder of this test program
std::atomic<int> applicationEnds{0};
std::atomic<int> beeps{0};

bool spinUntil(const std::function<bool()>& done, int milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void spinFor(int milliseconds) {
    spinUntil([] { return false; }, milliseconds);
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

// The item titled `title` in the menu bar of window n.
QAction* menuItem(int n, const QString& title) {
    for (QAction* menu : qtHost->window(n)->menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text() == title) return action;
    return nullptr;
}

void choose(int n, const char* title) {
    QAction* action = menuItem(n, QString::fromUtf8(title));
    ASSERT_NE(action, nullptr) << title;
    action->trigger();
}

void focus(int n) {
    qtHost->orderFront(n);
    qtHost->makeKey(n);
    ASSERT_TRUE(spinUntil([n] { return qtHost->mainWindowNumber() == n; }, 2000)) << "window " << n;
}

// Graphic window 1 with 12 × 3 cells, set up as a program does it (once per process).
const t_Window& windowOne() {
    static bool done = false;
    if (!done) {
        done = true;
        runOffMain([] { t_InitWindow(1, 24, 12, 3, 8, "DejaVuSansMono 16x32.font"); });
    }
    return kt::windowRecord(1);
}

std::string screen(uint8_t n) { return t_GetScreen(n, "\r"); }

std::string line(uint8_t n, int number) {
    const std::string all = screen(n);
    size_t start = 0;
    for (int i = 1; i < number; ++i) {
        start = all.find('\r', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return all.substr(start, all.find('\r', start) - start);
}

// --- The editor -------------------------------------------------------------------------

QString writeFile(const QString& name, const QByteArray& bytes) {
    const QString path = QDir(runtimeFolder->path()).filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool editorShows(const QString& name) {
    return spinUntil([&] { return qtHost->windowTitle(0) == name.toStdString() && !t_FileEventAvailable(); });
}

// The editor on a file: started with it (once per process), or asked to open it.
void editorOn(const QString& path) {
    static bool started = false;
    f_FileEventHandler(path.toStdString(), 0);
    if (!started) {
        started = true;
        app::applicationDidFinishLaunching(editor::mainProgram);
    }
    const QString name = QFileInfo(path).fileName();
    ASSERT_TRUE(editorShows(name)) << "the editor did not load " << path.toStdString();
    ASSERT_TRUE(spinUntil([&] { return line(0, 1).find(name.toStdString()) != std::string::npos; }));
}

bool asksToSave() {
    return spinUntil([] { return line(0, 13).find("Aktuelle Datei vorher speichern?") != std::string::npos; });
}

bool questionGone() {
    return spinUntil([] { return line(0, 13).find("Aktuelle Datei vorher speichern?") == std::string::npos; });
}

void onlyShown(int n) {
    for (int w = 0; w <= 12; ++w)
        if (w != n) qtHost->orderOut(w);
    focus(n);
}

}  // namespace

TEST(QtDesktop, EveryWindowHasTheMenusAndTheirShortcutsLeaveControlLettersToTheViews) {
    const std::vector<host::Menu> definition = host::menuDefinition();
    for (int n = 0; n <= 12; ++n) {
        QMenuBar* bar = qtHost->window(n)->menuBar();
        ASSERT_NE(bar, nullptr) << n;
        ASSERT_EQ(bar->actions().size(), static_cast<qsizetype>(definition.size())) << n;
        for (QAction* menu : bar->actions())
            for (QAction* action : menu->menu()->actions()) {
                const QKeySequence shortcut = action->shortcut();
                if (shortcut.isEmpty()) continue;
                const Qt::KeyboardModifiers modifiers = shortcut[0].keyboardModifiers();
                EXPECT_TRUE(modifiers & (Qt::ShiftModifier | Qt::MetaModifier))
                    << action->text().toStdString() << " takes " << shortcut.toString().toStdString();
            }
    }
    // The shortcut of a side window's bar works in that window.
    EXPECT_EQ(menuItem(9, QStringLiteral("Bildschirm als Text kopieren"))->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
}

TEST(QtDesktop, MenuChoicesCarryOutTheActionsAndQueueTheirEvents) {
    windowOne();
    kt::menuQueue().clear();
    focus(12);
    choose(12, "Grafikfenster 1 zeigen");
    EXPECT_TRUE(qtHost->windowShown(1));
    EXPECT_TRUE(spinUntil([] { return qtHost->mainWindowNumber() == 1; }, 2000));
    choose(1, "Drucker zeigen");
    EXPECT_TRUE(qtHost->windowShown(9));
    choose(9, "Konsole zeigen");
    EXPECT_TRUE(qtHost->windowShown(10));
    qtHost->setTextViewText(9, "gedruckt");
    qtHost->setTextViewText(10, "Konsole");
    choose(10, "Drucker leeren");
    EXPECT_EQ(qtHost->textViewText(9), "");
    EXPECT_EQ(qtHost->textViewText(10), "Konsole");
    choose(10, "Konsole leeren");
    EXPECT_EQ(qtHost->textViewText(10), "");
    choose(10, "Grafikfenster 1 verbergen");
    EXPECT_FALSE(qtHost->windowShown(1));
    choose(10, "Einstellungen …");
    EXPECT_TRUE(qtHost->windowShown(11));
    choose(11, "Einstellungen verbergen");
    EXPECT_FALSE(qtHost->windowShown(11));
    // The window with the focus hides itself.
    focus(9);
    choose(9, "Fenster schließen");
    EXPECT_FALSE(qtHost->windowShown(9));

    const std::vector<t_MenuEvent> events = t_MenuEventQueue();
    std::vector<int64_t> actions;
    for (const t_MenuEvent& event : events) actions.push_back(event.ItemAction);
    EXPECT_EQ(actions, (std::vector<int64_t>{215, 209, 229, 112, 114, 216, 207, 208, 201}));
    EXPECT_EQ(events[0].MenuTitle, "Fenster");
    EXPECT_EQ(events.back().ItemKeyChar, "W");
    EXPECT_EQ(events.back().ItemKeyAsc, 'W');

    // An item the toolkit has no action for goes to the program's handler, once.
    std::atomic<int> runs{0};
    t_ProgramMenuHandler() = [&] { runs++; };
    qtHost->chooseMenu(10, "Extras", {"Frei", "", 0, 0});
    EXPECT_TRUE(spinUntil([&] { return runs.load() == 1; }, 2000));
    spinFor(50);
    EXPECT_EQ(runs.load(), 1);
    t_ProgramMenuHandler() = [] {};
    EXPECT_EQ(t_MenuEventQueue().back().ItemAction, 0);
    qtHost->orderOut(10);
    qtHost->orderOut(12);
    kt::menuQueue().clear();
}

TEST(QtDesktop, CopiesOfAWindowReachTheClipboard) {
    const t_Window& w = windowOne();
    runOffMain([] {
        t_FullArea(1);
        t_TextHline(1, 1, 1, 1, 'A');
        t_TextHline(1, 2, 2, 1, 138);
        t_TextHline(1, 3, 3, 1, 160);
        t_TextHline(1, 1, 2, 2, 140);
        t_WindowFront(1);
    });
    focus(1);
    spinFor(350);  // past the length of any beep before
    QGuiApplication::clipboard()->setText(QStringLiteral("vorher"));
    choose(1, "Bildschirm als Bild kopieren");
    const QImage picture = QGuiApplication::clipboard()->image();
    EXPECT_EQ(picture.size(), QSize(static_cast<int>(w.Width), static_cast<int>(w.Height)));
    EXPECT_EQ(picture.size(), QSize(12 * 16, 3 * 32));

    // Lines end with the desktop's line feed.
    choose(1, "Bildschirm als Text kopieren");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("A|\u02FD\n--"));

    // The console's whole text; nothing from the pasteboard window, only the alert.
    qtHost->setTextViewText(10, "Zeile 1\nZeile 2");
    focus(10);
    QTest::keyClick(qtHost->window(10), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Zeile 1\nZeile 2"));
    qtHost->orderOut(10);
    focus(8);
    const int before = beeps.load();
    choose(8, "Bildschirm als Text kopieren");
    spinFor(20);
    EXPECT_EQ(beeps.load(), before + 1);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Zeile 1\nZeile 2"));
    qtHost->orderOut(8);
    qtHost->orderOut(1);
    spinFor(350);  // past the beep's length, for the tests after this one
}

TEST(QtDesktop, SideWindowsShowTheirTextAndFollowTheirSize) {
    const int title = static_cast<int>(qtHost->titleBarHeight());
    auto* pasteboard = qtHost->textWindow(8);
    qtHost->prepareTextView(8);
    const QFont font = pasteboard->textView()->font();
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Sans Mono"));
    EXPECT_EQ(font.pointSize(), 12);
    EXPECT_TRUE(pasteboard->textView()->isReadOnly());

    // Shown, the pasteboard window copies the clipboard's text, each time anew.
    QGuiApplication::clipboard()->setText(QStringLiteral("Grüße"));
    runOffMain([] { t_WindowVisible(8, true); });
    EXPECT_EQ(pasteboard->text(), QStringLiteral("Grüße"));
    QGuiApplication::clipboard()->setText(QStringLiteral("später"));
    EXPECT_EQ(pasteboard->text(), QStringLiteral("Grüße"));
    runOffMain([] { t_WindowVisible(8, true); });
    EXPECT_EQ(pasteboard->text(), QStringLiteral("später"));
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    runOffMain([] { t_WindowVisible(8, true); });
    EXPECT_EQ(pasteboard->text(), QString());

    // A frame of 400 × 300 (title bar included): the scroll view of 380 × (280 − title) lies
    // 10 from the bottom left; the printer's keeps 20 and has the ruler above it.
    runOffMain([] {
        t_WindowSize(8, 100, 100, 400, 300 - static_cast<int64_t>(t_TitleBarHeight()));
        t_WindowSize(9, 100, 100, 400, 300 - static_cast<int64_t>(t_TitleBarHeight()));
    });
    EXPECT_EQ(pasteboard->size(), QSize(400, 300));
    EXPECT_EQ(pasteboard->textView()->geometry(), QRect(10, title + 10, 380, 280 - title));
    auto* printer = qtHost->textWindow(9);
    runOffMain([] { t_WindowVisible(9, true); });  // a hidden window hears of a resize only when shown
    EXPECT_EQ(printer->textView()->geometry(), QRect(20, title + 35, 360, 245 - title));
    EXPECT_EQ(printer->ruler()->geometry(), QRect(24, title + 8, 352, 19));
    EXPECT_TRUE(printer->ruler()->text().startsWith(QStringLiteral("....:....1....:....2")));
    // And when the user resizes it.
    printer->resize(500, 400);
    EXPECT_EQ(printer->textView()->geometry(), QRect(20, title + 35, 460, 345 - title));
    EXPECT_EQ(qtHost->textWindow(10)->ruler()->font().family(), QStringLiteral("DejaVu Sans Mono"));
    qtHost->orderOut(8);
    qtHost->orderOut(9);
}

TEST(QtDesktop, TheAlertIsAShortSoundResourceOrTheBeepNeverTwiceAtOnce) {
    QFile sound(QStringLiteral(OSTRAKONIX_TEST_RESOURCES "/sysbeep.wav"));
    ASSERT_TRUE(sound.open(QIODevice::ReadOnly));
    const QByteArray wav = sound.readAll();
    ASSERT_GE(wav.size(), 44);
    EXPECT_EQ(wav.left(4), QByteArray("RIFF"));
    EXPECT_EQ(wav.mid(8, 8), QByteArray("WAVEfmt "));
    auto little = [&](int at, int bytes) {
        quint32 value = 0;
        for (int i = bytes - 1; i >= 0; --i) value = value << 8 | static_cast<quint8>(wav.at(at + i));
        return value;
    };
    auto u32 = [&](int at) { return little(at, 4); };
    auto u16 = [&](int at) { return little(at, 2); };
    EXPECT_EQ(u16(20), 1) << "PCM";
    EXPECT_EQ(u32(4), static_cast<quint32>(wav.size() - 8));
    EXPECT_EQ(u32(40), static_cast<quint32>(wav.size() - 44));
    const double seconds = double(u32(40)) / u32(28);
    EXPECT_GT(seconds, 0.05);
    EXPECT_LT(seconds, 0.5);

    host::qt::AlertSound missing(QStringLiteral("/nowhere/sysbeep.wav"));
    EXPECT_FALSE(missing.play());

    // Three alerts at once, from two threads: one sound or one beep. Without an audio output
    // (as here, offscreen) it is the beep.
    spinFor(350);
    const int before = beeps.load();
    qtHost->playAlert();
    qtHost->playAlert();
    runOffMain([] { host::host().playAlert(); });
    spinFor(50);
    EXPECT_LE(beeps.load() - before, 1);
}

TEST(QtDesktop, RequestsToOpenAreCheckedBeforeTheyAreTaken) {
    using State = host::qt::OpenRequestParse::State;
    const std::vector<std::string> paths{"/tmp/a b.bin", "/tmp/Zeile\nZwei", "/tmp/\xff\xfe"};
    const QByteArray request = host::qt::encodeOpenRequest(paths);
    host::qt::OpenRequestParse parse = host::qt::decodeOpenRequest(request);
    EXPECT_EQ(parse.state, State::Complete);
    EXPECT_EQ(parse.paths, paths);
    EXPECT_EQ(host::qt::decodeOpenRequest(host::qt::encodeOpenRequest({})).state, State::Complete);
    // Arriving in pieces: incomplete until the last byte.
    for (qsizetype size = 0; size < request.size(); ++size)
        ASSERT_EQ(host::qt::decodeOpenRequest(request.left(size)).state, State::Incomplete) << size;
    // Refused: a relative path, an empty one, a NUL inside, bytes after the end, another
    // program's message, and a length past every bound.
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"a.bin"}, std::vector<std::string>{""},
                                                std::vector<std::string>{std::string("/a\0b", 4)}})
        EXPECT_EQ(host::qt::decodeOpenRequest(host::qt::encodeOpenRequest(bad)).state, State::Invalid);
    EXPECT_EQ(host::qt::decodeOpenRequest(request + "x").state, State::Invalid);
    EXPECT_EQ(host::qt::decodeOpenRequest(QByteArray("GET / HTTP/1.1\r\n\r\n")).state, State::Invalid);
    QByteArray huge = host::qt::encodeOpenRequest({"/x"});
    huge[12] = '\x7f';  // the first path's length, big-endian: far beyond a path
    EXPECT_EQ(host::qt::decodeOpenRequest(huge).state, State::Invalid);
}

TEST(QtDesktop, AChannelOfAProgramThatIsGoneIsTakenOver) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    {
        host::qt::InstanceChannel first(folder.path());
        EXPECT_EQ(first.start({}, {}), host::qt::InstanceChannel::Start::First);
        first.stopListening();
        host::qt::InstanceChannel second(folder.path());
        EXPECT_EQ(second.start({"/tmp/x"}, {}), host::qt::InstanceChannel::Start::First);
    }
    // A socket file left behind by a program that crashed.
    QFile stale(QDir(folder.path()).filePath(QStringLiteral("ostrakonix.socket")));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    host::qt::InstanceChannel third(folder.path());
    EXPECT_EQ(third.start({}, {}), host::qt::InstanceChannel::Start::First);
    // Only its user may connect.
    EXPECT_EQ(QFileInfo(third.socketPath()).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
}

// Both editor tests share one editor when the whole program runs at once: this one leaves
// it running with an unchanged buffer.
TEST(QtDesktopEditor, DroppedFilesAndLaterStartsOpenTheirFiles) {
    editorOn(writeFile(QStringLiteral("eins.bin"), "EINS"));
    onlyShown(0);

    // A file dropped on the window.
    const QString dropped = writeFile(QStringLiteral("zwei.bin"), "ZWEI");
    auto* window = qtHost->graphicWindow(0);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(dropped), QUrl(QStringLiteral("https://example.invalid/x"))});
    const QPointF at(200, 200);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(editorShows(QStringLiteral("zwei.bin")));
    EXPECT_TRUE(spinUntil([] { return screen(0).find("ZWEI") != std::string::npos; }));

    // Something else than files is not taken.
    QMimeData text;
    text.setText(QStringLiteral("nur Text"));
    QDragEnterEvent refused(at.toPoint(), Qt::CopyAction, &text, Qt::LeftButton, {});
    refused.setAccepted(false);
    QApplication::sendEvent(window, &refused);
    EXPECT_FALSE(refused.isAccepted());

    // A second start of the program hands its file to this one and ends.
    host::qt::InstanceChannel channel;
    ASSERT_EQ(channel.start({},
                            [](const std::vector<std::string>& paths) {
                                for (const std::string& path : paths) f_FileEventHandler(path, 0);
                                qtHost->bringToFront();
                            }),
              host::qt::InstanceChannel::Start::First);
    const QString handed = writeFile(QStringLiteral("drei.bin"), "DREI");
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Offscreen like this program; the program looks for a display before it starts the desktop.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":0"));
    second.setProcessEnvironment(environment);
    second.start(QStringLiteral(OSTRAKONIX_EXECUTABLE), {handed});
    ASSERT_TRUE(spinUntil([&] { return second.state() == QProcess::NotRunning; }, 20000)) << "the second start ran on";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(editorShows(QStringLiteral("drei.bin")));
    EXPECT_TRUE(spinUntil([] { return screen(0).find("DREI") != std::string::npos; }));
}

// The story of quitting: the close box and the quit item while the editor runs ask it to
// quit, and nothing unsaved is lost; once it has ended, they end the application.
TEST(QtDesktopEditor, ClosingTheLastWindowAsksTheEditorToQuitAndLosesNothing) {
    const QString path = writeFile(QStringLiteral("probe.bin"), "abc");
    editorOn(path);
    onlyShown(0);
    auto* window = qtHost->graphicWindow(0);
    QTest::keyClicks(window->view(), QStringLiteral("Y"));
    ASSERT_TRUE(spinUntil([] { return line(0, 1).find(":probe.bin") != std::string::npos; })) << line(0, 1);

    // The close box of the last window: the window stays and shows the question.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_TRUE(asksToSave());
    EXPECT_EQ(readFile(path), QByteArray("abc"));
    QTest::keyClick(window->view(), Qt::Key_Escape);
    ASSERT_TRUE(questionGone());
    EXPECT_EQ(applicationEnds.load(), 0);

    // With another window shown the close box only hides; closing that last one brings the
    // editor's window back with the question.
    choose(0, "Konsole zeigen");
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(qtHost->windowShown(0));
    EXPECT_FALSE(qtHost->window(10)->close());
    EXPECT_FALSE(qtHost->windowShown(10));
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_TRUE(asksToSave());
    QTest::keyClick(window->view(), Qt::Key_Escape);
    ASSERT_TRUE(questionGone());

    // Hiding every window from the menu does the same.
    choose(0, "Alle Fenster verbergen");
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_TRUE(asksToSave());
    QTest::keyClick(window->view(), Qt::Key_Escape);
    ASSERT_TRUE(questionGone());
    EXPECT_EQ(readFile(path), QByteArray("abc"));

    // The quit item: the question again; yes saves, and the editor ends.
    choose(0, "Ostrakonix beenden");
    ASSERT_TRUE(asksToSave());
    QTest::keyClicks(window->view(), QStringLiteral("j"));
    ASSERT_TRUE(spinUntil([] { return qtHost->programHasEnded(); }));
    EXPECT_EQ(readFile(path), QByteArray("Ybc"));
    EXPECT_TRUE(spinUntil([] { return line(0, 25).find("(Programm Ende)") != std::string::npos; }));
    EXPECT_EQ(applicationEnds.load(), 0);

    // Now the close box and the quit item end the application.
    EXPECT_FALSE(window->close());
    EXPECT_EQ(applicationEnds.load(), 1);
    choose(0, "Ostrakonix beenden");
    EXPECT_EQ(applicationEnds.load(), 2);
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    // The user's runtime folder of this test program, so that the channel between starts of
    // the program stays between this program and the starts it makes itself.
    runtimeFolder = new QTemporaryDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder->path()));
    kt::claimThreadNumber(1);
    QApplication application(argc, argv);
    std::FILE* quiet = std::fopen("/dev/null", "w");
    if (quiet) kt::setLogStream(quiet);
    qtHost = new QtHost(OSTRAKONIX_TEST_RESOURCES);
    qtHost->setApplicationEnd([] { applicationEnds++; });
    qtHost->setSystemBeep([] { beeps++; });
    host::setHost(qtHost);
    app::applicationWillFinishLaunching();
    app::startToolkit();
    const int result = RUN_ALL_TESTS();
    qtHost->stopAccepting();
    kt::display().updateThreadRunning = false;
    qtHost->shutDown();
    delete runtimeFolder;
    return result;
}
