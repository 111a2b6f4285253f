#include "AppIcon.h"
#include "CommandLine.h"
#include "EndSignals.h"
#include "Failure.h"
#include "Form1.h"
#include "Form2.h"
#include "MessageBox.h"
#include "Settings.h"
#include "SettingsLock.h"
#include "SingleInstance.h"
#include "WorkFiles.h"
#include "format/CLocale.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {

// Once the session ends (logout, a closed terminal, Ctrl+C) nobody is there to click a box
// away: what would be asked goes to the standard error, answered with the default.
void AnswerMessagesOnStandardError()
{
    SetMessageResponder([](const MessageRequest& request) {
        QTextStream err(stderr);
        err << "kalmora: " << QString(request.text).replace(QLatin1String("\r\n"), QLatin1String("\n")) << '\n';
        err.flush();
        return request.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    });
}

// The window the user works in: the main window, or the preview that replaced it.
void BringToFront(Form1& form)
{
    QWidget* shown = &form;
    if (!form.isVisible() && form.existingPreview() && form.existingPreview()->isVisible())
        shown = form.existingPreview();
    shown->setWindowState((shown->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    shown->show();
    shown->raise();
    shown->activateWindow();
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything reads the locale: C and POSIX read as US English.
    sheet::useUsEnglishForCLocale();
    {
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QTextStream out(stdout);
        QTextStream err(stderr);
        if (const std::optional<int> status = AnswerInformationOptions(arguments, out, err))
            return *status;
        // Before the window system: without a display the toolkit would abort first.
        if (const std::optional<int> status = RefuseUnknownArguments(WithoutToolkitOptions(arguments), err))
            return *status;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kalmora"));
    QApplication::setApplicationVersion(ProgramVersion());
    QApplication::setDesktopFileName(QStringLiteral("io.pendrel.Kalmora"));
    QApplication::setWindowIcon(ApplicationIcon());
    {
        QTextStream err(stderr);
        if (const std::optional<int> status = RefuseUnknownArguments(QApplication::arguments(), err))
            return *status;
    }

    // One instance per user: a second start wakes the first and ends. An unusable private
    // folder is reported by the first command that needs it.
    QString workFolder;
    try {
        workFolder = PrivateWorkFolder();
    } catch (const std::exception&) {
    }
    SingleInstance instance(workFolder);
    if (instance.acquire() == SingleInstance::Role::Another)
        return 0;
    // The guard above lives in the work folder; two sessions with different work folders (ssh,
    // su, two machines sharing a home) still share one settings file, and a second one asks.
    SettingsSessionLock session(SettingsFilePath());
    if (session.state() == SettingsSessionLock::State::HeldElsewhere
        && ShowMessage(QStringLiteral("Kalmora is already running with the same settings (%1).\r\n\r\n"
                                      "Start it here as well? Changes made in either are kept; a log changed in "
                                      "both is stored as this window has it, and you are offered the other.")
                           .arg(session.holder()),
                       MsgButtons::YesNo, MsgIcon::Exclamation)
            != MsgAnswer::Yes)
        return 0;
    RemoveWorkLeftovers(workFolder);
    RemoveSettingsLeftovers();

    Form1 form;
    QObject::connect(&instance, &SingleInstance::activationRequested, &form, [&form] { BringToFront(form); });
    // Every change is stored when it is made; a signal to end stores what a failed write left
    // waiting, and ends the program as its close box would, open dialogs included.
    EndSignals endSignals;
    QObject::connect(&endSignals, &EndSignals::received, &app, [] {
        AnswerMessagesOnStandardError();
        try {
            SaveUnsavedSettings();
        } catch (const Failure&) {
            // Tried again, and reported, after the event loop has ended.
        }
        QCoreApplication::exit(0);
    });
    form.Form_Load();
    form.show();
    const int result = app.exec();

    // Settings whose write failed were reported; one last try, and a word if it fails too.
    if (HasUnsavedSettings()) {
        const QStringList keys = UnsavedSettingKeys();
        try {
            SaveUnsavedSettings();
        } catch (const Failure& failure) {
            ShowMessage(QStringLiteral("These settings could not be saved and are lost: %1.\r\n\r\n%2")
                            .arg(keys.join(QStringLiteral(", ")), failure.description()),
                        MsgButtons::Ok, MsgIcon::Exclamation);
        }
    }
    return result;
}
