// The top-level window of a toolkit window number. Every one carries the application's menu
// bar at the top of its client area, as tall as the toolkit's title bar: without a global
// menu bar, a window without one could not be reached by the menus. Its close box never
// closes it: the toolkit (or the host's quit rule) decides.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "platform/platform.h"
#include "hosts/qt/menu_bar.h"

class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;

namespace host::qt {

class HostWindow : public QWidget {
public:
    HostWindow(int number, int titleBarHeight);
    int number() const { return number_; }

    // Titled: the window manager's frame and the menu bar; untitled: a frameless window
    // without the bar. The window keeps its place and visibility.
    virtual void setTitled(bool titled);
    bool titled() const { return titled_; }
    // Height of the menu bar at the top of the client area: the toolkit's title bar.
    int titleHeight() const { return titled_ ? titleBar_ : 0; }
    // Sets the client area. A hidden window gets its resize event only when shown, so the
    // contents are laid out here at once.
    void setClientGeometry(const QRect& client);

    void setMenus(const std::vector<host::Menu>& menus, const MenuChoice& choose);
    QMenuBar* menuBar() const { return menuBar_; }
    // What a click on the close box does with the window number.
    void setCloseBox(std::function<void(int)> handler) { closeBox_ = std::move(handler); }

protected:
    // Places the menu bar; subclasses place their contents below titleHeight().
    virtual void layOut();
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int number_;
    int titleBar_;
    bool titled_ = true;
    QMenuBar* menuBar_ = nullptr;
    std::function<void(int)> closeBox_;
};

// The pasteboard (8), the virtual printer (9) and the system console (10): read-only plain
// text in a scrolling view, the printer and the console with a one-line ruler above it.
class TextWindow : public HostWindow {
public:
    TextWindow(int number, int titleBarHeight, bool withRuler);
    QString text() const;
    void setText(const QString& text);
    // Our monospace font at 12 points, emptied. A plain text view makes no substitutions of
    // quotes, dashes or links and detects no data, so there is nothing to turn off.
    void prepare();
    QPlainTextEdit* textView() const { return textView_; }
    QLineEdit* ruler() const { return ruler_; }

protected:
    void layOut() override;

private:
    QPlainTextEdit* textView_;
    QLineEdit* ruler_ = nullptr;
};

// The preferences (11) and the main window (12): a line of text and the menu bar.
class PlainWindow : public HostWindow {
public:
    PlainWindow(int number, int titleBarHeight, const QString& text);

protected:
    void layOut() override;

private:
    QLabel* label_;
};

}  // namespace host::qt
