#include "hosts/qt/help_window.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "editor/key_help.h"

namespace host::qt {

QString keyHelpHtml() {
    auto text = [](const char* utf8) { return QString::fromUtf8(utf8).toHtmlEscaped(); };
    QString html =
        QStringLiteral("<h2>Ostrakonix</h2><p>") + text(editor::keyHelpIntroduction()) + QStringLiteral("</p>");
    for (const editor::KeyHelpSection& section : editor::keyHelp()) {
        html += QStringLiteral("<h3>") + text(section.title) + QStringLiteral("</h3>");
        html += QStringLiteral("<table cellspacing='0' cellpadding='3'><tr><th align='left'>") + text(section.first) +
                QStringLiteral("</th><th align='left'>Deutsch</th><th align='left'>English</th></tr>");
        for (const editor::KeyHelp& key : section.keys)
            html += QStringLiteral("<tr><td><code>") + text(key.keys) + QStringLiteral("</code></td><td>") +
                    text(key.german) + QStringLiteral("</td><td>") + text(key.english) + QStringLiteral("</td></tr>");
        html += QStringLiteral("</table>");
    }
    return html;
}

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window), view_(new QTextBrowser(this)) {
    setWindowTitle(QStringLiteral("Ostrakonix-Hilfe"));
    view_->setHtml(keyHelpHtml());
    view_->setOpenLinks(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

void HelpWindow::present() {
    if (!placed_) {
        placed_ = true;
        // Large enough for the table's three columns, no larger than the screen allows.
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        QRect client(0, 0, std::min(900, area.width() - 40), std::min(760, area.height() - 80));
        client.moveCenter(area.center());
        setGeometry(client);
    }
    show();
    raise();
    activateWindow();
}

QString HelpWindow::text() const { return view_->toPlainText(); }

}  // namespace host::qt
