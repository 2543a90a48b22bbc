#include "host/qt/desktop.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

#include "app/entries.h"
#include "app/startup.h"
#include "app/threads.h"
#include "display/window.h"
#include "host/qt/qt_host.h"

namespace host {

int runDesktop(int argc, char** argv, std::function<void()> program, std::vector<std::string> openPaths) {
    kt::claimThreadNumber(1);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Ostrakonix"));
    // The toolkit hides and shows its windows itself; only the menu's quit ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    // The application speaks German: so do Qt's own dialogs, where the translation is installed.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    // The host outlives the QApplication: the program thread and the update thread may still
    // ask it for something while the process ends, and then get "no window".
    auto* desktop = new qt::QtHost();
    setHost(desktop);

    QTimer::singleShot(0, &application, [&program, &openPaths] {
        app::applicationWillFinishLaunching();
        // Files named on the command line are requests that wait for the program when it starts.
        for (const std::string& path : openPaths) f_FileEventHandler(path, 0);
        app::applicationDidFinishLaunching(std::move(program));
    });
    const int code = QApplication::exec();

    desktop->stopAccepting();
    app::applicationWillTerminate();
    // The update thread would otherwise keep asking for views that are gone.
    kt::display().updateThreadRunning = false;
    desktop->shutDown();
    return code;
}

}  // namespace host
