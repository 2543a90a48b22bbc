// The Qt host as a desktop application, on the offscreen platform: the menus in every window,
// the side windows, the alert, the quit rule with the real editor, files dropped on a window
// and the channel through which a second start of the program on the same display hands its
// files over (which the script with two X servers runs end to end).
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>
#include <cstring>

#include "display/placement.h"
#include "editor/editor.h"
#include "editor/key_help.h"
#include "hosts/shared/menu_definition.h"
#include "hosts/qt/alert_sound.h"
#include "hosts/qt/graphic_window.h"
#include "hosts/qt/help_window.h"
#include "hosts/qt/host_window.h"
#include "hosts/qt/instance.h"
#include "input/entries.h"
#include "input/file_events.h"
#include "qt_test_support.h"
#include "terminal/area.h"

namespace {

using host::qt::InstanceChannel;
using namespace qt_test;

QTemporaryDir* runtimeFolder = nullptr;  // the user's runtime folder of this test program
std::atomic<int> applicationEnds{0};
std::atomic<int> beeps{0};

// Chooses the item titled `title` in the menu bar of window n (a key it names follows a tab).
void choose(int n, const char* title) {
    for (QAction* menu : qtHost->window(n)->menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text().section(QLatin1Char('\t'), 0, 0) == QString::fromUtf8(title)) return action->trigger();
    FAIL() << "no menu item " << title;
}

void focus(int n) {
    qtHost->orderFront(n);
    qtHost->makeKey(n);
    ASSERT_TRUE(spinUntil([n] { return qtHost->mainWindowNumber() == n; }, 2000)) << "window " << n;
}

// Waits until line `number` (from 1; 0: any) of window 0 shows `text`, or no longer does.
bool lineShows(int number, const std::string& text, bool shown = true) {
    return spinUntil([&] {
        const std::string all = t_GetScreen(0, "\r");
        const std::string line =
            number ? QByteArray::fromStdString(all).split('\r').value(number - 1).toStdString() : all;
        return (line.find(text) != std::string::npos) == shown;
    });
}

// --- The editor -------------------------------------------------------------------------

QString writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(QDir(runtimeFolder->path()).filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}
QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool editorShows(const QString& name) {
    return spinUntil([&] { return qtHost->windowTitle(0) == name.toStdString() && !t_FileEventAvailable(); });
}

// The editor on a file: started with it (once per process), or asked to open it; only its
// window shown.
void editorOn(const QString& path) {
    static bool started = false;
    f_FileEventHandler(path.toStdString(), 0);
    if (!std::exchange(started, true)) app::applicationDidFinishLaunching(editor::mainProgram);
    const QString name = QFileInfo(path).fileName();
    ASSERT_TRUE(editorShows(name)) << "the editor did not load " << path.toStdString();
    ASSERT_TRUE(lineShows(1, name.toStdString()));
    for (int w = 1; w <= 12; ++w) qtHost->orderOut(w);
    focus(0);
}

// The editor asks whether to save the file first; Escape takes the question back.
const char* const saveQuestion = "Aktuelle Datei vorher speichern?";
void declineToSave() {
    ASSERT_TRUE(lineShows(13, saveQuestion));
    QTest::keyClick(qtHost->graphicWindow(0)->view(), Qt::Key_Escape);
    ASSERT_TRUE(lineShows(13, saveQuestion, false));
}

}  // namespace

// Every window has the menus, whose shortcuts leave Control with a letter to the views.
// (Choices in them and a shortcut, Control+Shift+O, run in the tests below; what each action
// does is checked on the headless host.)
TEST(QtDesktop, EveryWindowHasTheMenusAndTheirShortcutsLeaveControlLettersToTheViews) {
    for (int n = 0; n <= 12; ++n) {
        QMenuBar* bar = qtHost->window(n)->menuBar();
        ASSERT_NE(bar, nullptr) << n;
        ASSERT_EQ(bar->actions().size(), static_cast<qsizetype>(host::menuDefinition().size())) << n;
        for (QAction* menu : bar->actions())
            for (QAction* action : menu->menu()->actions()) {
                const QKeySequence shortcut = action->shortcut();
                EXPECT_TRUE(shortcut.isEmpty() ||
                            shortcut[0].keyboardModifiers() & (Qt::ShiftModifier | Qt::MetaModifier))
                    << action->text().toStdString() << " takes " << shortcut.toString().toStdString();
            }
    }
}

// A graphic window's picture and its text, with the desktop's line ends, reach the clipboard.
// (Which window copies what, and the console's whole text, are checked on the headless host.)
TEST(QtDesktop, CopiesOfAWindowReachTheClipboard) {
    runOffMain([] {
        t_InitWindow(1, 24, 12, 3, 8, "DejaVuSansMono 16x32.font");
        t_FullArea(1);
        t_TextHline(1, 1, 1, 1, 'A');
        t_TextHline(1, 2, 2, 1, 138);
        t_TextHline(1, 3, 3, 1, 160);
        t_TextHline(1, 1, 2, 2, 140);
        t_WindowFront(1);
    });
    focus(1);
    QClipboard* clipboard = QGuiApplication::clipboard();
    choose(1, "Bildschirm als Bild kopieren");
    EXPECT_EQ(clipboard->image().size(), QSize(12 * 16, 3 * 32));
    choose(1, "Bildschirm als Text kopieren");
    EXPECT_EQ(clipboard->text(), QStringLiteral("A|\u02FD\n--"));
    qtHost->orderOut(1);
}

// The side windows' text views are read only and follow their window's size, whether the
// toolkit or the user sets it; the printer's ruler stays above its text.
TEST(QtDesktop, SideWindowsFollowTheirSize) {
    qtHost->prepareTextView(8);
    EXPECT_TRUE(qtHost->textWindow(8)->textView()->isReadOnly());
    runOffMain([] {
        t_WindowSize(9, 100, 100, 400, 300 - static_cast<int64_t>(t_TitleBarHeight()));
        t_WindowVisible(9, true);  // a hidden window hears of a resize only when shown
    });
    auto* printer = qtHost->textWindow(9);
    EXPECT_EQ(printer->size(), QSize(400, 300));
    const QRect text = printer->textView()->geometry();
    EXPECT_LT(printer->ruler()->geometry().bottom(), text.top());
    EXPECT_TRUE(printer->rect().contains(text) && printer->rect().contains(printer->ruler()->geometry()));
    printer->resize(500, 400);
    EXPECT_EQ(printer->textView()->geometry(), text.adjusted(0, 0, 100, 100));
    qtHost->orderOut(9);
}

TEST(QtDesktop, TheAlertIsAShortSoundResourceOrTheBeepNeverTwiceAtOnce) {
    const std::string wav = readFile(QStringLiteral(OSTRAKONIX_TEST_RESOURCES "/sysbeep.wav")).toStdString();
    ASSERT_GE(wav.size(), 44u);
    auto u32 = [&](size_t at) { return qFromLittleEndian<quint32>(wav.data() + at); };
    // A wave whose sizes add up, a twentieth to half a second long.
    EXPECT_EQ(wav.substr(0, 4) + wav.substr(8, 8), "RIFFWAVEfmt ");
    EXPECT_EQ(std::tuple(u32(4), u32(40)), std::tuple(quint32(wav.size() - 8), quint32(wav.size() - 44)));
    const double seconds = double(u32(40)) / u32(28);
    EXPECT_TRUE(seconds > 0.05 && seconds < 0.5) << seconds;
    EXPECT_FALSE(host::qt::AlertSound(QStringLiteral("/nowhere/sysbeep.wav")).play());

    // Three alerts at once, from two threads: one sound or one beep. Without an audio output
    // (as here, offscreen) it is the beep. On a busy machine the third may come a beep's
    // length after the first, and then rings again.
    QTest::qWait(350);  // past the length of any alert before
    const int before = beeps.load();
    QElapsedTimer clock;
    clock.start();
    qtHost->playAlert();
    qtHost->playAlert();
    runOffMain([] { host::host().playAlert(); });
    QTest::qWait(50);
    EXPECT_LE(beeps.load() - before, clock.elapsed() < 300 ? 1 : 2) << clock.elapsed() << " ms";
}

TEST(QtDesktop, TheChannelIsNamedSafelyAndChecksRequestsBeforeTheyAreTaken) {
    using State = host::qt::OpenRequestParse::State;
    auto stateOf = [](const QByteArray& bytes) { return host::qt::decodeOpenRequest(bytes).state; };
    const std::vector<std::string> paths{"/tmp/a b.bin", "/tmp/Zeile\nZwei", "/tmp/\xff\xfe"};
    const QByteArray request = host::qt::encodeOpenRequest(paths);
    EXPECT_EQ(host::qt::decodeOpenRequest(request).paths, paths);
    EXPECT_EQ(stateOf(host::qt::encodeOpenRequest({})), State::Complete);
    // Arriving in pieces: incomplete until the last byte.
    for (qsizetype size = 0; size <= request.size(); ++size)
        ASSERT_EQ(stateOf(request.left(size)), size < request.size() ? State::Incomplete : State::Complete) << size;
    // Refused: a relative path, an empty one, a NUL inside, bytes after the end, another
    // program's message, and a length past every bound (the first path's, big-endian).
    QByteArray huge = host::qt::encodeOpenRequest({"/x"});
    huge[12] = '\x7f';
    for (const QByteArray& bad : {host::qt::encodeOpenRequest({"a.bin"}), host::qt::encodeOpenRequest({""}),
                                  host::qt::encodeOpenRequest({std::string("/a\0b", 4)}), request + "x",
                                  QByteArray("GET / HTTP/1.1\r\n\r\n"), huge})
        EXPECT_EQ(stateOf(bad), State::Invalid) << bad.toStdString();

    // The channel is named for the display, as a safe file name.
    using host::qt::channelName;
    // The X display first: with a Wayland display and a terminal too, the X display's name.
    EXPECT_EQ(channelName(":1", "wayland-0", "/dev/pts/3"), channelName(":1", {}, {}));
    EXPECT_EQ(channelName({}, "wayland-0", "/dev/pts/3"), QStringLiteral("ostrakonix-wayland-wayland-0"));
    // Every other display, terminal, or none at all: a name of its own, safe as a file name
    // and short enough for a socket's path.
    // Two long hosts that differ only past any cut must not share a name.
    const QByteArray longHost(300, 'h');
    // clang-format off
    const std::vector<std::array<QByteArray, 3>> others{
        {":1", "", ""}, {":10", "", ""}, {"localhost:1", "", ""}, {"ho/st:1", "", ""}, {":1-2", "", ""},
        {longHost + ":1", "", ""}, {longHost + "x:1", "", ""}, {"", "wayland-0", ""},
        {"", "/run/user/1/../wayland-0", ""}, {"", "", "/dev/pts/3"}, {"", "", "/dev/tty1"}, {"", "", ""}};
    // clang-format on
    QSet<QString> names;
    for (const auto& [x, wayland, terminal] : others) {
        const QString name = channelName(x, wayland, terminal);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9._%-]{1,80}$")).match(name).hasMatch())
            << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), static_cast<qsizetype>(others.size()));
}

TEST(QtDesktop, TheChannelLivesInAPrivateFolderAndTakesOverAStaleSocket) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A missing folder is made with mode 0700, whatever the umask leaves.
    const QString made = folder.filePath(QStringLiteral("made"));
    const mode_t mask = ::umask(0277);
    EXPECT_EQ(host::qt::preparePrivateFolder(made).toStdString(), "");
    ::umask(mask);
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(made).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_EQ(host::qt::preparePrivateFolder(made).toStdString(), "");

    // Refused, and left as found: a link (even to a private folder), a folder others may
    // enter, a file, and (as root) a folder of another user.
    auto path = [&](const char* name) { return QFile::encodeName(folder.filePath(QString::fromLatin1(name))); };
    ASSERT_EQ(::symlink(QFile::encodeName(made).constData(), path("link").constData()), 0);
    ASSERT_EQ(::mkdir(path("open").constData(), 0700), 0);
    ASSERT_EQ(::chmod(path("open").constData(), 0711), 0);
    ASSERT_TRUE(QFile(QString::fromLocal8Bit(path("file"))).open(QIODevice::WriteOnly));
    std::vector<const char*> refused{"link", "open", "file"};
    if (::geteuid() == 0) {
        ASSERT_EQ(::mkdir(path("foreign").constData(), 0700), 0);
        ASSERT_EQ(::chown(path("foreign").constData(), 65534, 65534), 0);
        refused.push_back("foreign");
    }
    for (const char* name : refused) {
        InstanceChannel channel(QString::fromLocal8Bit(path(name)));
        EXPECT_TRUE(channel.start({}, {}) == InstanceChannel::Start::Alone && !channel.whyAlone().isEmpty()) << name;
    }
    ASSERT_EQ(::lstat(path("open").constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0711u);

    // A socket file left behind by a program that crashed is taken over; only its user may
    // connect to the new one.
    InstanceChannel first(made);
    ASSERT_TRUE(QFile(first.socketPath()).open(QIODevice::WriteOnly));
    EXPECT_EQ(first.start({}, {}), InstanceChannel::Start::First);
    EXPECT_EQ(QFileInfo(first.socketPath()).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    // A start while another holds the lock of the same name runs alone.
    QLockFile lock(QDir(made).filePath(QStringLiteral("ostrakonix-x11-3.lock")));
    ASSERT_TRUE(lock.tryLock(0));
    InstanceChannel locked(made, QStringLiteral("ostrakonix-x11-3"));
    EXPECT_EQ(locked.start({}, {}), InstanceChannel::Start::Alone);
    EXPECT_TRUE(locked.whyAlone().contains(QStringLiteral("lock"))) << locked.whyAlone().toStdString();
}

TEST(QtDesktop, OnlyTheUsersOwnStartsMayHandFilesOver) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root, to connect from a process of another user";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    std::vector<std::vector<std::string>> taken;
    InstanceChannel channel(folder.path());
    ASSERT_EQ(channel.start({}, [&](const std::vector<std::string>& paths) { taken.push_back(paths); }),
              InstanceChannel::Start::First);
    // Folder and socket opened to everybody: only the check of the peer stands in the way.
    const QByteArray socketPath = QFile::encodeName(channel.socketPath());
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0711), 0);
    ASSERT_EQ(::chmod(socketPath.constData(), 0777), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<size_t>(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
    const QByteArray request = host::qt::encodeOpenRequest({"/tmp/fremd.bin"});

    // The child exits 0 when its file was taken, 1 when the channel dropped it, 2 when it
    // could not even try.
    for (const uid_t user : {uid_t{0}, uid_t{65534}}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (user != 0 && (::setgroups(0, nullptr) != 0 || ::setresgid(user, user, user) != 0 ||
                              ::setresuid(user, user, user) != 0))
                ::_exit(2);
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(2);
            char answer = 0;
            const bool sent =
                ::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL) == request.size();
            ::_exit(sent && ::read(fd, &answer, 1) == 1 && answer == 1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_TRUE(spinUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; })) << user;
        EXPECT_EQ(std::pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, taken.size()), std::pair(user ? 1 : 0, 1ul));
    }
}

// A file dropped on the window opens; something else than files is not taken. Leaves the
// editor running with an unchanged buffer, for the other editor tests.
TEST(QtDesktopEditor, DroppedFilesOpen) {
    editorOn(writeFile(QStringLiteral("eins.bin"), "EINS"));
    auto* window = qtHost->graphicWindow(0);
    auto drag = [&](QMimeData& data) {
        QDragEnterEvent enter(QPoint(200, 200), Qt::CopyAction, &data, Qt::LeftButton, {});
        enter.setAccepted(false);
        QApplication::sendEvent(window, &enter);
        return enter.isAccepted();
    };
    QMimeData text;
    text.setText(QStringLiteral("nur Text"));
    EXPECT_FALSE(drag(text));
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(writeFile(QStringLiteral("zwei.bin"), "ZWEI")),
                   QUrl(QStringLiteral("https://example.invalid/x"))});
    EXPECT_TRUE(drag(files));
    QDropEvent drop(QPointF(200, 200), Qt::CopyAction, &files, Qt::LeftButton, {});
    QApplication::sendEvent(window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_TRUE(editorShows(QStringLiteral("zwei.bin")));
    EXPECT_TRUE(lineShows(0, "ZWEI"));
}

// The menu items that are the editor's own commands, with the real editor and the desktop's
// panels: Open (by its shortcut) asks to save first, the help window lists every key. (Save
// As, Neu, the about screen, undo and redo are the same commands on every host: the headless
// host's test and the end-to-end script of the menus run them; the save panel's answer is
// checked in the Qt host's test.) Leaves an unchanged buffer.
TEST(QtDesktopEditor, MenusGiveTheEditorItsCommands) {
    const QString first = writeFile(QStringLiteral("erste.bin"), "abc");
    editorOn(first);
    auto* window = qtHost->graphicWindow(0);
    // Typed, and taken, before the request to open comes: a key the editor takes together
    // with a file event is dropped.
    QTest::keyClicks(window->view(), QStringLiteral("Y"));
    ASSERT_TRUE(lineShows(1, ":erste.bin"));
    answerPanel([path = writeFile(QStringLiteral("dritte.bin"), "DREI")](QFileDialog* dialog) {
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept();  // public in QDialog
    });
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(lineShows(13, saveQuestion));
    QTest::keyClicks(window->view(), QStringLiteral("n"));
    EXPECT_TRUE(editorShows(QStringLiteral("dritte.bin")));
    EXPECT_TRUE(lineShows(0, "DREI"));
    EXPECT_EQ(readFile(first), QByteArray("abc"));

    choose(0, "Ostrakonix-Hilfe");
    ASSERT_TRUE(qtHost->helpWindow() && qtHost->helpWindow()->isVisible());
    const QString help = qtHost->helpWindow()->text();
    for (const editor::KeyHelpSection& section : editor::keyHelp())
        for (const editor::KeyHelp& key : section.keys)
            for (const char* text : {key.keys, key.german, key.english})
                EXPECT_TRUE(help.contains(QString::fromUtf8(text))) << text;
    qtHost->helpWindow()->hide();
}

// Selecting on the desktop: a drag over the byte rows, Alt+M and Shift+Right; the edit menu's
// items greyed until a selection stands, and its copies reaching the clipboard.
TEST(QtDesktopEditor, DragAndAltKeysSelectAndTheEditMenuCopies) {
    editorOn(writeFile(QStringLiteral("auswahl.bin"), "0123456789"));
    auto* view = qtHost->graphicWindow(0)->view();
    QAction* copyHex = nullptr;
    for (QAction* action : qtHost->window(0)->menuBar()->actions()[2]->menu()->actions())
        if (action->text().startsWith(QStringLiteral("Kopieren (Hex)"))) copyHex = action;
    ASSERT_TRUE(copyHex && !copyHex->isEnabled());
    const t_Window& w = kt::windowRecord(0);
    auto cell = [&](int column, int row) {  // the middle of a text cell, in the view
        const QRectF picture = view->pictureRect();
        const QPointF pixel(w.BorderWidth + (column - 0.5) * w.Font.Width, w.BorderHeight + (row - 0.5) * w.Font.Height);
        return (picture.topLeft() + pixel * (picture.width() / double(w.Width + 2 * w.BorderWidth))).toPoint();
    };
    QTest::mousePress(view, Qt::LeftButton, {}, cell(11, 8));
    QMouseEvent move(QEvent::MouseMove, cell(20, 8), view->mapToGlobal(cell(20, 8)), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, cell(20, 8));
    ASSERT_TRUE(spinUntil([&] { return copyHex->isEnabled(); }));
    choose(0, "Kopieren (Hex)");
    EXPECT_TRUE(spinUntil([] { return QGuiApplication::clipboard()->text() == QStringLiteral("30 31 32 33"); }));
    QTest::keyClick(view, Qt::Key_M, Qt::AltModifier);  // ends the selection; a second starts one
    QTest::keyClick(view, Qt::Key_M, Qt::AltModifier);
    QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(view, Qt::Key_T, Qt::AltModifier);
    EXPECT_TRUE(spinUntil([] { return QGuiApplication::clipboard()->text() == QStringLiteral("34"); }));
    // A drag on beyond the window's right side reaches the row's end, not its start.
    QTest::keyClick(view, Qt::Key_M, Qt::AltModifier);
    ASSERT_TRUE(spinUntil([&] { return !copyHex->isEnabled(); }));  // the selection has ended
    QTest::mousePress(view, Qt::LeftButton, {}, cell(11, 8));
    const QPoint outside(view->width() + 40, cell(20, 8).y());
    QMouseEvent away(QEvent::MouseMove, outside, view->mapToGlobal(outside), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(view, &away);
    QTest::mouseRelease(view, Qt::LeftButton, {}, outside);
    ASSERT_TRUE(spinUntil([&] { return copyHex->isEnabled(); }));
    choose(0, "Kopieren (Hex)");
    EXPECT_TRUE(spinUntil([] {
        return QGuiApplication::clipboard()->text() == QStringLiteral("30 31 32 33 34 35 36 37 38 39");
    }));
}

// The story of quitting: the close box and the quit item while the editor runs ask it to
// quit, and nothing unsaved is lost; when it ends then, the application ends with it.
TEST(QtDesktopEditor, ClosingTheLastWindowAsksTheEditorToQuitAndLosesNothing) {
    const QString path = writeFile(QStringLiteral("probe.bin"), "abc");
    editorOn(path);
    auto* window = qtHost->graphicWindow(0);
    QTest::keyClick(window->view(), Qt::Key_B, Qt::ControlModifier);  // the cursor to the file's start
    QTest::keyClicks(window->view(), QStringLiteral("Y"));
    ASSERT_TRUE(lineShows(1, ":probe.bin"));

    // The close box of the last window: the window stays and shows the question.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_NO_FATAL_FAILURE(declineToSave());
    EXPECT_EQ(applicationEnds.load(), 0);

    // With another window shown the close box only hides; closing that last one brings the
    // editor's window back with the question.
    choose(0, "Konsole zeigen");
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(qtHost->windowShown(0));
    EXPECT_FALSE(qtHost->window(10)->close());
    EXPECT_FALSE(qtHost->windowShown(10));
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_NO_FATAL_FAILURE(declineToSave());

    // Closing the last window from the menu does the same.
    choose(0, "Fenster schließen");
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_NO_FATAL_FAILURE(declineToSave());
    EXPECT_EQ(readFile(path), QByteArray("abc"));

    // ^Q typed in the editor is its own quit: its end would leave the closing message.
    EXPECT_TRUE(qtHost->quitBegunHere());
    QTest::keyClick(window->view(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(qtHost->quitBegunHere());
    ASSERT_NO_FATAL_FAILURE(declineToSave());

    // The quit item: the question again; yes saves, the editor ends, and the application
    // with it at once.
    choose(0, "Ostrakonix beenden");
    ASSERT_TRUE(lineShows(13, saveQuestion));
    QTest::keyClicks(window->view(), QStringLiteral("j"));
    EXPECT_TRUE(spinUntil([] { return qtHost->programHasEnded() && applicationEnds.load() == 1; }));
    EXPECT_EQ(readFile(path), QByteArray("Ybc"));

    // Once it has ended, the close box and the quit item end the application.
    EXPECT_FALSE(window->close());
    EXPECT_EQ(applicationEnds.load(), 2);
    choose(0, "Ostrakonix beenden");
    EXPECT_EQ(applicationEnds.load(), 3);
}

int main(int argc, char** argv) {
    // The user's runtime folder of this test program, so that the channel between starts of
    // the program stays between this program and the starts it makes itself.
    runtimeFolder = new QTemporaryDir;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeFolder->path()));
    const int result = runTests(argc, argv, [] {
        qtHost->setApplicationEnd([] { applicationEnds++; });
        qtHost->setSystemBeep([] { beeps++; });
        app::startToolkit();
    });
    delete runtimeFolder;
    return result;
}
