#include "hosts/qt/menu_bar.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QProxyStyle>

namespace host::qt {
namespace {

// A title is shown as it is: an ampersand would otherwise make a mnemonic that takes Alt
// with a letter away from the views.
QString plainTitle(const std::string& title) {
    return QString::fromStdString(title).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// The application's style, except that Alt alone does not take the keyboard into the menu
// bar: Alt and AltGr are modifiers of the views' keys.
class NoAltNavigationStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* menuBarStyle() {
    // Made once, owned by the application.
    static QStyle* style = [] {
        auto* made = new NoAltNavigationStyle;
        made->setParent(QCoreApplication::instance());
        return made;
    }();
    return style;
}

}  // namespace

QKeySequence keySequenceFor(const host::MenuItem& item) {
    const QString key = QString::fromStdString(item.keyEquivalent).toUpper();
    if (key.size() != 1) return {};
    const QKeySequence plain(key);
    if (plain.isEmpty()) return {};
    const int keyCode = plain[0].key();
    const uint64_t m = item.keyModifiers;
    const bool shift = m & host::modifier::shift, control = m & host::modifier::control,
               option = m & host::modifier::option, command = m & host::modifier::command;
    // Control with Shift, or Command, leaves every key the views read to them.
    if (!(control && shift) && !command) return {};
    Qt::KeyboardModifiers modifiers;
    if (shift) modifiers |= Qt::ShiftModifier;
    if (control) modifiers |= Qt::ControlModifier;
    if (option) modifiers |= Qt::AltModifier;
    if (command) modifiers |= Qt::MetaModifier;
    return QKeySequence(QKeyCombination(modifiers, static_cast<Qt::Key>(keyCode)));
}

QMenuBar* buildMenuBar(const std::vector<host::Menu>& menus, const MenuChoice& choose, QWidget* parent) {
    auto* bar = new QMenuBar(parent);
    bar->setStyle(menuBarStyle());
    // The bar is laid out by its window, not by a platform's global menu.
    bar->setNativeMenuBar(false);
    for (const host::Menu& menu : menus) {
        QMenu* qmenu = bar->addMenu(plainTitle(menu.title));
        for (const host::MenuItem& item : menu.items) {
            if (item.title.empty()) {
                qmenu->addSeparator();
                continue;
            }
            // A key the views take themselves is named after a tab, where menus show shortcuts,
            // in the words the shortcuts use ("Strg+S" where Qt speaks German).
            QString text = plainTitle(item.title);
            if (!item.keyHint.empty()) {
                const QString hint = QString::fromStdString(item.keyHint);
                const QString native = QKeySequence(hint, QKeySequence::PortableText).toString(QKeySequence::NativeText);
                text += QLatin1Char('\t') + (native.isEmpty() ? hint : native);
            }
            QAction* action = qmenu->addAction(text);
            action->setShortcut(keySequenceFor(item));
            action->setShortcutContext(Qt::WindowShortcut);
            action->setEnabled(item.enabled);
            QObject::connect(action, &QAction::triggered, bar,
                             [choose, title = menu.title, item] { choose(title, item); });
        }
    }
    return bar;
}

void updateMenuEnabling(QMenuBar* bar, const std::vector<host::Menu>& menus) {
    // The bar holds a menu for each menu and an action for each item, separators included.
    const QList<QAction*> menuActions = bar->actions();
    for (qsizetype m = 0; m < menuActions.size() && m < static_cast<qsizetype>(menus.size()); ++m) {
        const QMenu* qmenu = menuActions[m]->menu();
        if (!qmenu) continue;
        const QList<QAction*> actions = qmenu->actions();
        const std::vector<host::MenuItem>& items = menus[static_cast<size_t>(m)].items;
        for (qsizetype i = 0; i < actions.size() && i < static_cast<qsizetype>(items.size()); ++i)
            if (!actions[i]->isSeparator()) actions[i]->setEnabled(items[static_cast<size_t>(i)].enabled);
    }
}

}  // namespace host::qt
