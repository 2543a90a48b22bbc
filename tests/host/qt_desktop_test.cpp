// The Qt host as a desktop application, on the offscreen platform: the menus in every window,
// the side windows, the alert, the quit rule with the real editor, files dropped on a window
// and files handed over by a second start of the program on the same display.
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <array>
#include <cstring>

#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "input/file_events.h"
#include "input/entries.h"
#include "display/window.h"
#include "editor/editor.h"
#include "editor/key_help.h"
#include "host/menu_definition.h"
#include "display/placement.h"
#include "host/qt/alert_sound.h"
#include "host/qt/graphic_window.h"
#include "host/qt/help_window.h"
#include "host/qt/host_window.h"
#include "host/qt/instance.h"
#include "input/events.h"
#include "input/menu_events.h"
#include "qt_test_support.h"
#include "terminal/area.h"

namespace {

using host::qt::InstanceChannel;
using namespace qt_test;

QTemporaryDir* runtimeFolder = nullptr;  // the user's runtime folder of this test program
std::atomic<int> applicationEnds{0};
std::atomic<int> beeps{0};

// The item titled `title` in the menu bar of window n (a key it names follows a tab).
QAction* menuItem(int n, const char* title) {
    for (QAction* menu : qtHost->window(n)->menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text().section(QLatin1Char('\t'), 0, 0) == QString::fromUtf8(title)) return action;
    return nullptr;
}

void choose(int n, const char* title) {
    QAction* action = menuItem(n, title);
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
    if (!std::exchange(done, true)) runOffMain([] { t_InitWindow(1, 24, 12, 3, 8, "DejaVuSansMono 16x32.font"); });
    return kt::windowRecord(1);
}

// Line `number` (from 1) of window 0's text, or all of it for 0.
std::string line(int number) {
    const std::string all = t_GetScreen(0, "\r");
    return number == 0 ? all : QByteArray::fromStdString(all).split('\r').value(number - 1).toStdString();
}

// Waits until line `number` of window 0 shows `text` (or, with shown false, no longer does).
bool lineShows(int number, const std::string& text, bool shown = true) {
    return spinUntil([&] { return (line(number).find(text) != std::string::npos) == shown; });
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
                EXPECT_TRUE(shortcut[0].keyboardModifiers() & (Qt::ShiftModifier | Qt::MetaModifier))
                    << action->text().toStdString() << " takes " << shortcut.toString().toStdString();
            }
    }
    // The bars carry the definition's shortcuts, quitting among them.
    EXPECT_EQ(menuItem(2, "Ostrakonix beenden")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Q));
    EXPECT_EQ(menuItem(9, "Bildschirm als Text kopieren")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
}

TEST(QtDesktop, MenuChoicesCarryOutTheActionsAndQueueTheirEvents) {
    kt::menuQueue().clear();
    auto chooseShows = [](int n, const char* title, int window, bool shown) {
        choose(n, title);
        EXPECT_EQ(qtHost->windowShown(window), shown) << title;
    };
    focus(12);
    chooseShows(12, "Drucker zeigen", 9, true);
    chooseShows(9, "Konsole zeigen", 10, true);
    qtHost->setTextViewText(9, "gedruckt");
    qtHost->setTextViewText(10, "Konsole");
    choose(10, "Drucker leeren");
    EXPECT_EQ(qtHost->textViewText(9), "");
    EXPECT_EQ(qtHost->textViewText(10), "Konsole");
    choose(10, "Konsole leeren");
    EXPECT_EQ(qtHost->textViewText(10), "");
    chooseShows(10, "Zwischenablage zeigen", 8, true);
    chooseShows(8, "Zwischenablage verbergen", 8, false);
    chooseShows(10, "Drucker verbergen", 9, false);
    focus(10);
    chooseShows(10, "Fenster schließen", 10, false);  // the window with the focus hides itself

    const std::vector<t_MenuEvent> events = t_MenuEventQueue();
    std::vector<int64_t> actions;
    for (const t_MenuEvent& event : events) actions.push_back(event.ItemAction);
    EXPECT_EQ(actions, (std::vector<int64_t>{209, 229, 112, 114, 211, 212, 210, 201}));
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
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("vorher"));
    choose(1, "Bildschirm als Bild kopieren");
    EXPECT_EQ(clipboard->image().size(), QSize(static_cast<int>(w.Width), static_cast<int>(w.Height)));
    EXPECT_EQ(clipboard->image().size(), QSize(12 * 16, 3 * 32));
    // Lines end with the desktop's line feed.
    choose(1, "Bildschirm als Text kopieren");
    EXPECT_EQ(clipboard->text(), QStringLiteral("A|\u02FD\n--"));

    // The console's whole text; nothing from the pasteboard window, only the alert.
    qtHost->setTextViewText(10, "Zeile 1\nZeile 2");
    focus(10);
    QTest::keyClick(qtHost->window(10), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("Zeile 1\nZeile 2"));
    qtHost->orderOut(10);
    focus(8);
    const int before = beeps.load();
    choose(8, "Bildschirm als Text kopieren");
    spinFor(20);
    EXPECT_EQ(beeps.load(), before + 1);
    EXPECT_EQ(clipboard->text(), QStringLiteral("Zeile 1\nZeile 2"));
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
    auto show = [] { runOffMain([] { t_WindowVisible(8, true); }); };
    QGuiApplication::clipboard()->setText(QStringLiteral("Grüße"));
    show();
    EXPECT_EQ(pasteboard->text(), QStringLiteral("Grüße"));
    QGuiApplication::clipboard()->setText(QStringLiteral("später"));
    EXPECT_EQ(pasteboard->text(), QStringLiteral("Grüße"));
    show();
    EXPECT_EQ(pasteboard->text(), QStringLiteral("später"));
    QGuiApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
    show();
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
    EXPECT_EQ(little(20, 2), 1u) << "PCM";
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
    auto stateOf = [](const QByteArray& bytes) { return host::qt::decodeOpenRequest(bytes).state; };
    const std::vector<std::string> paths{"/tmp/a b.bin", "/tmp/Zeile\nZwei", "/tmp/\xff\xfe"};
    const QByteArray request = host::qt::encodeOpenRequest(paths);
    EXPECT_EQ(stateOf(request), State::Complete);
    EXPECT_EQ(host::qt::decodeOpenRequest(request).paths, paths);
    EXPECT_EQ(stateOf(host::qt::encodeOpenRequest({})), State::Complete);
    // Arriving in pieces: incomplete until the last byte.
    for (qsizetype size = 0; size < request.size(); ++size)
        ASSERT_EQ(stateOf(request.left(size)), State::Incomplete) << size;
    // Refused: a relative path, an empty one, a NUL inside, bytes after the end, another
    // program's message, and a length past every bound.
    for (const std::string& bad : {std::string("a.bin"), std::string(), std::string("/a\0b", 4)})
        EXPECT_EQ(stateOf(host::qt::encodeOpenRequest({bad})), State::Invalid);
    EXPECT_EQ(stateOf(request + "x"), State::Invalid);
    EXPECT_EQ(stateOf(QByteArray("GET / HTTP/1.1\r\n\r\n")), State::Invalid);
    QByteArray huge = host::qt::encodeOpenRequest({"/x"});
    huge[12] = '\x7f';  // the first path's length, big-endian: far beyond a path
    EXPECT_EQ(stateOf(huge), State::Invalid);
}

TEST(QtDesktop, TheChannelIsNamedForTheDisplayAsASafeFileName) {
    using host::qt::channelName;
    // The X display first; its screen and "unix" for this machine don't make another one.
    const QString one = channelName(":1", {}, {});
    for (const char* same : {":1.0", "unix:1", "unix:1.2", ":01"})
        EXPECT_EQ(channelName(same, "wayland-0", "/dev/pts/3"), one) << same;
    // Every other display, terminal, or none at all: a name of its own, safe as a file name
    // and short enough for a socket's path.
    const std::string longHost(300, 'h');
    const std::vector<std::array<QByteArray, 3>> others{
        {":2", "", ""}, {":10", "", ""}, {"localhost:1", "", ""}, {"localhost:10.0", "", ""},
        {"ho/st:1", "", ""}, {"1:2", "", ""}, {":1-2", "", ""}, {"gibberish", "", ""},
        {QByteArray::fromStdString(longHost + ":1"), "", ""}, {QByteArray::fromStdString(longHost + "x:1"), "", ""},
        {"", "wayland-0", ""}, {"", "wayland-1", ""}, {"", "/run/user/1/../wayland-0", ""},
        {"", "", "/dev/pts/3"}, {"", "", "/dev/tty1"}, {"", "", ""}};
    QSet<QString> names{one};
    for (const auto& [x, wayland, terminal] : others) {
        const QString name = channelName(x, wayland, terminal);
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[A-Za-z0-9._%-]{1,80}$")).match(name).hasMatch())
            << name.toStdString();
        names.insert(name);
    }
    EXPECT_EQ(names.size(), static_cast<qsizetype>(others.size() + 1));
    EXPECT_EQ(channelName({}, "wayland-0", "/dev/pts/3"), QStringLiteral("ostrakonix-wayland-wayland-0"));
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
        EXPECT_NE(host::qt::preparePrivateFolder(QString::fromLocal8Bit(path(name))).toStdString(), "") << name;
        InstanceChannel channel(QString::fromLocal8Bit(path(name)));
        EXPECT_EQ(channel.start({}, {}), InstanceChannel::Start::Alone) << name;
        EXPECT_FALSE(channel.whyAlone().isEmpty()) << name;
    }
    ASSERT_EQ(::lstat(path("open").constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0711u);

    // A socket file left behind by a program that crashed, or of one that stopped listening.
    {
        InstanceChannel first(made);
        ASSERT_TRUE(QFile(first.socketPath()).open(QIODevice::WriteOnly));
        EXPECT_EQ(first.start({}, {}), InstanceChannel::Start::First);
        first.stopListening();
        InstanceChannel second(made);
        EXPECT_EQ(second.start({"/tmp/x"}, {}), InstanceChannel::Start::First);
    }
    // Only its user may connect; another display's channel lives beside it.
    InstanceChannel third(made, QStringLiteral("ostrakonix-x11-1"));
    EXPECT_EQ(third.start({}, {}), InstanceChannel::Start::First);
    EXPECT_EQ(QFileInfo(third.socketPath()).permissions() &
                  (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    InstanceChannel otherDisplay(made, QStringLiteral("ostrakonix-x11-2"));
    EXPECT_EQ(otherDisplay.start({"/tmp/x"}, {}), InstanceChannel::Start::First);
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
            const bool sent = ::send(fd, request.constData(), static_cast<size_t>(request.size()), MSG_NOSIGNAL) ==
                              request.size();
            ::_exit(sent && ::read(fd, &answer, 1) == 1 && answer == 1 ? 0 : 1);
        }
        int status = 0;
        ASSERT_TRUE(spinUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; })) << user;
        ASSERT_TRUE(WIFEXITED(status)) << user;
        EXPECT_EQ(WEXITSTATUS(status), user == 0 ? 0 : 1) << user;
        EXPECT_EQ(taken.size(), 1u) << user;
    }
}

// Both editor tests share one editor when the whole program runs at once: this one leaves
// it running with an unchanged buffer.
TEST(QtDesktopEditor, DroppedFilesAndLaterStartsOpenTheirFiles) {
    editorOn(writeFile(QStringLiteral("eins.bin"), "EINS"));

    // A file dropped on the window; something else than files is not taken.
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

    // A second start of the program hands its file to this one and ends.
    const auto take = [](const std::vector<std::string>& paths) {
        for (const std::string& path : paths) f_FileEventHandler(path, 0);
        qtHost->bringToFront();
    };
    InstanceChannel channel;
    ASSERT_EQ(channel.start({}, take), InstanceChannel::Start::First);
    // Offscreen like this program, with its display and standard input: the same channel.
    QProcess second;
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.setInputChannelMode(QProcess::ForwardedInputChannel);
    second.start(QStringLiteral(OSTRAKONIX_EXECUTABLE), {writeFile(QStringLiteral("drei.bin"), "DREI")});
    ASSERT_TRUE(spinUntil([&] { return second.state() == QProcess::NotRunning; }, 20000)) << "the second start ran on";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(editorShows(QStringLiteral("drei.bin")));
    EXPECT_TRUE(lineShows(0, "DREI"));
}

// The menu items that are the editor's own commands, with the real editor: Save As names and
// binds the buffer, Open (by its shortcut) asks to save first, Neu closes, about and help
// show, and undo and redo reach the editor as its keys. Leaves an unchanged buffer.
TEST(QtDesktopEditor, MenusGiveTheEditorItsCommands) {
    const QString first = writeFile(QStringLiteral("erste.bin"), "abc");
    editorOn(first);
    auto* window = qtHost->graphicWindow(0);
    QTest::keyClicks(window->view(), QStringLiteral("Y"));
    ASSERT_TRUE(lineShows(1, ":erste.bin"));

    const QString second = QDir(runtimeFolder->path()).filePath(QStringLiteral("zweite.bin"));
    answerPanelWith(second);
    choose(0, "Sichern unter …");
    EXPECT_TRUE(editorShows(QStringLiteral("zweite.bin")));
    EXPECT_TRUE(lineShows(1, "\u00B7zweite.bin"));
    EXPECT_EQ(readFile(second), QByteArray("Ybc"));
    EXPECT_EQ(readFile(first), QByteArray("abc"));

    // Typed, and taken, before the request to open comes: a key the editor takes together
    // with a file event is dropped.
    QTest::keyClicks(window->view(), QStringLiteral("Z"));
    ASSERT_TRUE(lineShows(1, ":zweite.bin"));
    focus(0);
    answerPanelWith(writeFile(QStringLiteral("dritte.bin"), "DREI"));
    QTest::keyClick(window, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(lineShows(13, saveQuestion));
    QTest::keyClicks(window->view(), QStringLiteral("n"));
    EXPECT_TRUE(editorShows(QStringLiteral("dritte.bin")));
    EXPECT_TRUE(lineShows(0, "DREI"));
    EXPECT_EQ(readFile(second), QByteArray("Ybc"));

    QTest::keyClicks(window->view(), QStringLiteral("Q"));
    ASSERT_TRUE(lineShows(1, ":dritte.bin"));
    choose(0, "Neu");
    ASSERT_TRUE(lineShows(13, saveQuestion));
    QTest::keyClicks(window->view(), QStringLiteral("n"));
    EXPECT_TRUE(editorShows(QStringLiteral("Ostrakonix © 2026 die Ostrakonix-Autoren")));
    EXPECT_TRUE(lineShows(1, "Pos =           Ende ="));
    EXPECT_EQ(readFile(QDir(runtimeFolder->path()).filePath(QStringLiteral("dritte.bin"))), QByteArray("DREI"));

    choose(0, "Über Ostrakonix");
    EXPECT_TRUE(lineShows(3, "O s t r a k o n i x"));
    QTest::keyClicks(window->view(), QStringLiteral(" "));
    EXPECT_TRUE(lineShows(2, "^H = Zeichen links"));

    // The help window: every key of the list with its German name and its English gloss.
    choose(0, "Ostrakonix-Hilfe");
    ASSERT_NE(qtHost->helpWindow(), nullptr);
    EXPECT_TRUE(qtHost->helpWindow()->isVisible());
    const QString help = qtHost->helpWindow()->text();
    for (const editor::KeyHelpSection& section : editor::keyHelp())
        for (const editor::KeyHelp& key : section.keys)
            for (const char* text : {key.keys, key.german, key.english})
                EXPECT_TRUE(help.contains(QString::fromUtf8(text))) << text;
    qtHost->helpWindow()->hide();

    // Undo and redo: Backspace's value with the option flag, and shift for redo.
    editorOn(writeFile(QStringLiteral("vierte.bin"), "VIER"));
    const auto taken = [](bool shift) {
        return spinUntil([shift] {
            const t_Event key = t_LastEvent();
            return key.Value == 127 && key.OptionPressed && key.ShiftPressed == shift;
        });
    };
    choose(0, "Widerrufen");
    EXPECT_TRUE(taken(false));
    choose(0, "Wiederholen");
    EXPECT_TRUE(taken(true));
    QTest::keyClick(window->view(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(lineShows(1, "\u00B7vierte.bin"));
}

// The story of quitting: the close box and the quit item while the editor runs ask it to
// quit, and nothing unsaved is lost; when it ends then, the application ends with it.
TEST(QtDesktopEditor, ClosingTheLastWindowAsksTheEditorToQuitAndLosesNothing) {
    const QString path = writeFile(QStringLiteral("probe.bin"), "abc");
    editorOn(path);
    auto* window = qtHost->graphicWindow(0);
    QTest::keyClick(window->view(), Qt::Key_B, Qt::ControlModifier);  // the cursor to the file's start
    QTest::keyClicks(window->view(), QStringLiteral("Y"));
    ASSERT_TRUE(lineShows(1, ":probe.bin")) << line(1);

    // The close box of the last window: the window stays and shows the question.
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(qtHost->windowShown(0));
    ASSERT_TRUE(lineShows(13, saveQuestion));
    EXPECT_EQ(readFile(path), QByteArray("abc"));
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
