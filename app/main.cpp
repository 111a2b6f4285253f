#include "AppIcon.h"
#include "CommandLine.h"
#include "Form1.h"
#include "formula/CLocale.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

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

    Form1 form;
    form.Form_Load();
    form.show();
    return app.exec();
}
