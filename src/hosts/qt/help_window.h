// The help window of the "Hilfe" menu: the editor's keys with their German names and what
// they do in English, made from the same list as --help.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace host::qt {

class HelpWindow : public QWidget {
public:
    HelpWindow();
    // Brings the window to the front, sized to fit the screen it is shown on.
    void present();
    QString text() const;

private:
    QTextBrowser* view_;
    bool placed_ = false;
};

// The key list as the help window shows it (HTML).
QString keyHelpHtml();

}  // namespace host::qt
