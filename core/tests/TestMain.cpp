// Test main for every GUI and settings test: headless unless told otherwise, never the real
// user's settings, one locale.
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (!config.isValid())
        return 3;
    // Before the first QSettings: the store lands in this folder.
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    // Nor the user's data folder (the logs' daily backups).
    qputenv("XDG_DATA_HOME", config.path().toLocal8Bit() + "/data");
    // Spreadsheet instances register per user; tests running side by side must not see
    // each other's instances.
    QTemporaryDir runtime;
    if (!runtime.isValid())
        return 3;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    // A real modal box would wait forever for a click: any box a test did not script fails it.
    SetMessageResponder([](const MessageRequest& request) {
        ADD_FAILURE() << "unexpected message box: " << request.text.toStdString();
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    });
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
