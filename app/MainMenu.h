#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

class QAction;
class QMenuBar;
class QObject;

// The main window's menu bar, built from one list of commands.
enum class MenuId { File, Edit, Help };

struct MenuCommand {
    MenuId menu = MenuId::File;
    QString name; // the action's object name; empty for a separator
    QString text; // with its mnemonic, "&Quit"
    QList<QKeySequence> keys;
    std::function<void()> run;
};

// A separator in a menu.
inline MenuCommand MenuSeparator(MenuId menu) { return MenuCommand{menu, QString(), QString(), {}, {}}; }

// Adds "&File", "&Edit" and "&Help" to bar with the commands in their order. The actions
// belong to owner and are found by their names.
void BuildMenuBar(QMenuBar* bar, const QList<MenuCommand>& commands, QObject* owner);

// The texts of Help → "Keyboard Shortcuts" and Help → "About Kalmora".
QString KeyboardShortcutsText();
QString AboutText();
