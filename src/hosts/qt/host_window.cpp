#include "hosts/qt/host_window.h"

#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <algorithm>

#include "input/entries.h"

namespace host::qt {
namespace {

QFont monospaceFont() {
    QFont font(QStringLiteral("DejaVu Sans Mono"), 12);
    font.setStyleHint(QFont::Monospace);
    return font;
}

// Column marks for the printer's and the console's text: a dot a column, a colon at each
// fifth and the tens' digit at each tenth.
QString columnRuler(int columns) {
    QString ruler;
    for (int column = 1; column <= columns; ++column) {
        if (column % 10 == 0)
            ruler += QString::number((column / 10) % 10);
        else
            ruler += column % 5 == 0 ? QLatin1Char(':') : QLatin1Char('.');
    }
    return ruler;
}

}  // namespace

HostWindow::HostWindow(int number, int titleBarHeight)
    : QWidget(nullptr, Qt::Window), number_(number), titleBar_(titleBarHeight) {}

void HostWindow::setTitled(bool titled) {
    if (titled == titled_) return;
    titled_ = titled;
    if (menuBar_) menuBar_->setVisible(titled);
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

void HostWindow::setMenus(const std::vector<host::Menu>& menus, const MenuChoice& choose) {
    // The old bar may be the sender of the choice that changed the menus: it goes later.
    if (menuBar_) {
        menuBar_->hide();
        menuBar_->deleteLater();
    }
    menuBar_ = buildMenuBar(menus, choose, this);
    menuBar_->setVisible(titled_);
    layOut();
}

void HostWindow::layOut() {
    if (menuBar_) menuBar_->setGeometry(0, 0, width(), titleHeight());
}

void HostWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layOut();
}

void HostWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (closeBox_)
        closeBox_(number_);
    else
        windowShouldClose(number_);
}

TextWindow::TextWindow(int number, int titleBarHeight, bool withRuler)
    : HostWindow(number, titleBarHeight), textView_(new QPlainTextEdit(this)) {
    textView_->setReadOnly(true);
    textView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView_->setFont(monospaceFont());
    if (withRuler) {
        ruler_ = new QLineEdit(columnRuler(200), this);
        ruler_->setReadOnly(true);
        ruler_->setFocusPolicy(Qt::NoFocus);
        ruler_->setFont(monospaceFont());
        ruler_->setFrame(false);
        ruler_->setCursorPosition(0);  // shows the first columns, not the last
    }
    setFocusProxy(textView_);
    resize(400, 300);
    layOut();
}

QString TextWindow::text() const { return textView_->toPlainText(); }

void TextWindow::setText(const QString& text) { textView_->setPlainText(text); }

void TextWindow::prepare() {
    textView_->setFont(monospaceFont());
    textView_->clear();
}

void TextWindow::layOut() {
    HostWindow::layOut();
    // Below the menu bar: a margin of 10 around the pasteboard's text; 20 around the
    // printer's and the console's, with the ruler in the top margin.
    const int w = width(), h = height() - titleHeight(), top = titleHeight();
    if (!ruler_) {
        textView_->setGeometry(10, top + 10, std::max(0, w - 20), std::max(0, h - 20));
        return;
    }
    ruler_->setGeometry(24, top + 8, std::max(0, w - 48), 19);
    textView_->setGeometry(20, top + 35, std::max(0, w - 40), std::max(0, h - 55));
    // The ruler's columns line up with the text's (a line edit keeps 2 points before its text).
    const int textStart =
        textView_->x() + textView_->frameWidth() + static_cast<int>(textView_->document()->documentMargin());
    ruler_->setTextMargins(std::max(0, textStart - ruler_->x() - 2), 0, 0, 0);
}

PlainWindow::PlainWindow(int number, int titleBarHeight, const QString& text)
    : HostWindow(number, titleBarHeight), label_(new QLabel(text, this)) {
    label_->setAlignment(Qt::AlignCenter);
    label_->setWordWrap(true);
    resize(480, 320);
    layOut();
}

void PlainWindow::layOut() {
    HostWindow::layOut();
    label_->setGeometry(20, titleHeight() + 20, std::max(0, width() - 40), std::max(0, height() - titleHeight() - 40));
}

}  // namespace host::qt
