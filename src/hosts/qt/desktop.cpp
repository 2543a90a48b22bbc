#include "hosts/qt/desktop.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <cstdio>

#include "input/entries.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/window.h"
#include "hosts/qt/instance.h"
#include "hosts/qt/qt_host.h"
#include "hosts/shared/requests.h"

namespace host {

int runDesktop(int argc, char** argv, std::function<void()> program, std::vector<std::string> openPaths) {
    kt::claimThreadNumber(1);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrakonix"));
    // The desktop entry and the icon are installed under this name: it lets the desktop match
    // the windows to the entry and show the icon (none when the editor runs from the build).
    QApplication::setDesktopFileName(QStringLiteral(OSTRAKONIX_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(OSTRAKONIX_APP_ID)));
    // The toolkit hides and shows its windows itself; the host's quit rule ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    // One editor per user and display: a start while one runs there hands its files over and
    // ends.
    qt::InstanceChannel instance;
    qt::QtHost* desktop = nullptr;
    const auto started = instance.start(openPaths, [&desktop](const std::vector<std::string>& paths) {
        for (const std::string& path : paths) f_FileEventHandler(path, commandLineRequest(path));
        if (desktop) desktop->bringToFront();
    });
    if (started == qt::InstanceChannel::Start::HandedOver) return 0;
    if (started == qt::InstanceChannel::Start::Refused) {
        std::fputs("ostrakonix: the Ostrakonix that runs did not take the files\n", stderr);
        return 1;
    }
    if (started == qt::InstanceChannel::Start::Alone)
        std::fprintf(stderr, "ostrakonix: later starts cannot hand their files to this editor: %s\n",
                     instance.whyAlone().toLocal8Bit().constData());

    // The application speaks German: so do Qt's own dialogs, where the translation is installed
    // (Debian's qt6-translations-l10n), with German dates, sizes and file kinds.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));

    // The host outlives the QApplication: the program thread and the update thread may still
    // ask it for something while the process ends, and then get "no window".
    desktop = new qt::QtHost();
    setHost(desktop);
    // An ended program opens no more files: a later start then runs an editor of its own.
    desktop->setProgramEndedHandler([&instance] { instance.stopListening(); });

    QTimer::singleShot(0, &application, [&program, &openPaths] {
        app::applicationWillFinishLaunching();
        // Files named on the command line are requests that wait for the program when it starts.
        for (const std::string& path : openPaths) f_FileEventHandler(path, commandLineRequest(path));
        app::applicationDidFinishLaunching(std::move(program));
    });
    const int code = QApplication::exec();

    instance.stopListening();
    desktop->stopAccepting();
    desktop->setProgramEndedHandler({});
    app::applicationWillTerminate();
    // The update thread would otherwise keep asking for views that are gone.
    kt::display().updateThreadRunning = false;
    desktop->shutDown();
    return code;
}

}  // namespace host
