#include "host/qt/host_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <algorithm>

#include "app/entries.h"

namespace host::qt {

HostWindow::HostWindow(int number) : QWidget(nullptr, Qt::Window), number_(number) {}

void HostWindow::setTitled(bool titled) {
    if (titled == titled_) return;
    titled_ = titled;
    // Changing the window's flags recreates it, hidden.
    const bool visible = isVisible();
    const QRect frame = geometry();
    setWindowFlag(Qt::FramelessWindowHint, !titled);
    setClientGeometry(frame);
    if (visible) show();
}

void HostWindow::setClientGeometry(const QRect& client) {
    setGeometry(client);
    layOut();
}

void HostWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void HostWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    windowShouldClose(number_);
}

TextWindow::TextWindow(int number, bool withRuler) : HostWindow(number), textView_(new QPlainTextEdit(this)) {
    textView_->setReadOnly(true);
    if (withRuler) {
        ruler_ = new QLineEdit(this);
        ruler_->setReadOnly(true);
        ruler_->setFocusPolicy(Qt::NoFocus);
    }
    resize(400, 300);
    layOut();
}

QString TextWindow::text() const { return textView_->toPlainText(); }

void TextWindow::setText(const QString& text) { textView_->setPlainText(text); }

void TextWindow::prepare() {
    QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
    font.setStyleHint(QFont::Monospace);
    textView_->setFont(font);
    textView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView_->clear();
}

void TextWindow::layOut() {
    // The margins of the side windows: 10 around the pasteboard's text; 20 around the
    // printer's and the console's, with the ruler in the top margin.
    const int w = width(), h = height();
    if (!ruler_) {
        textView_->setGeometry(10, 10, std::max(0, w - 20), std::max(0, h - 20));
        return;
    }
    ruler_->setGeometry(24, 8, std::max(0, w - 48), 19);
    textView_->setGeometry(20, 35, std::max(0, w - 40), std::max(0, h - 55));
}

}  // namespace host::qt
