// The top-level window of a toolkit window number. Its close box never closes it: the
// toolkit decides, and hides the window itself.
#pragma once

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;

namespace host::qt {

class HostWindow : public QWidget {
public:
    explicit HostWindow(int number);
    int number() const { return number_; }

    // Titled: the window manager's frame; untitled: a frameless window. The window keeps
    // its place and visibility.
    virtual void setTitled(bool titled);
    bool titled() const { return titled_; }
    // Sets the client area. A hidden window gets its resize event only when shown, so the
    // contents are laid out here at once.
    void setClientGeometry(const QRect& client);

protected:
    virtual void layOut() {}
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int number_;
    bool titled_ = true;
};

// The pasteboard (8), the virtual printer (9) and the system console (10): read-only plain
// text, the printer and the console with a one-line ruler above it.
class TextWindow : public HostWindow {
public:
    TextWindow(int number, bool withRuler);
    QString text() const;
    void setText(const QString& text);
    // Plain text in our monospace font, emptied.
    void prepare();

protected:
    void layOut() override;

private:
    QPlainTextEdit* textView_;
    QLineEdit* ruler_ = nullptr;
};

}  // namespace host::qt
