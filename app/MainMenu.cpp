#include "MainMenu.h"

#include "CommandLine.h"
#include "Constants.h"
#include "LogBackup.h"
#include "Settings.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>

void BuildMenuBar(QMenuBar* bar, const QList<MenuCommand>& commands, QObject* owner)
{
    QMenu* menus[] = {bar->addMenu(QStringLiteral("&File")), bar->addMenu(QStringLiteral("&Edit")),
                      bar->addMenu(QStringLiteral("&Help"))};
    menus[0]->setObjectName(QStringLiteral("FileMenu"));
    menus[1]->setObjectName(QStringLiteral("EditMenu"));
    menus[2]->setObjectName(QStringLiteral("HelpMenu"));
    for (const MenuCommand& command : commands) {
        QMenu* menu = menus[static_cast<int>(command.menu)];
        if (command.name.isEmpty()) {
            menu->addSeparator();
            continue;
        }
        auto* action = new QAction(command.text, owner);
        action->setObjectName(command.name);
        action->setShortcuts(command.keys);
        QObject::connect(action, &QAction::triggered, owner, command.run);
        menu->addAction(action);
    }
}

QString KeyboardShortcutsText()
{
    return QStringLiteral("Main window\r\n"
                          "  Alt + the underlined letter\tpresses that button or option\r\n"
                          "  Alt+G\tthe goal weight field\r\n"
                          "  Tab, Shift+Tab\tnext, previous control\r\n"
                          "  Enter\tpresses the focused button\r\n"
                          "  Ctrl+Z\tundo\r\n"
                          "  Ctrl+Shift+Z, Ctrl+Y\tredo\r\n"
                          "  F1\thelp\r\n"
                          "  Ctrl+Q\tquit\r\n"
                          "\r\n"
                          "In the list\r\n"
                          "  Up, Down\tselect an entry\r\n"
                          "  Enter, double-click\tedit the selected entry\r\n"
                          "  Delete\tdelete the selected entry\r\n"
                          "\r\n"
                          "In the entry dialog\r\n"
                          "  Enter, Alt+S\tsave\r\n"
                          "  Esc, Alt+C\tcancel\r\n"
                          "\r\n"
                          "In the preview\r\n"
                          "  Arrow keys, PgUp, PgDn, Home, End\tmove the picture\r\n"
                          "  Ctrl+plus, Ctrl+minus, Ctrl+wheel\tzoom in, zoom out\r\n"
                          "  Ctrl+PgDn, Ctrl+PgUp\tnext, previous sheet\r\n"
                          "  Esc, Ctrl+W\tback to the main window");
}

QString AboutText()
{
    return QStringLiteral("%1 %2\r\n"
                          "Keeps a log of body measurements and turns it into an Excel workbook with charts.\r\n"
                          "\r\n"
                          "Licence: proprietary; all rights reserved by Pendrel.\r\n"
                          "\r\n"
                          "Settings and both logs: %3\r\n"
                          "Daily backups of the logs: %4")
        .arg(ProductTitle, ProgramVersion(), QDir::toNativeSeparators(SettingsFilePath()),
             QDir::toNativeSeparators(BackupFolder()));
}
