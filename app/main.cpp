#include "AppIcon.h"
#include "Form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kalmora"));
    QApplication::setDesktopFileName(QStringLiteral("kalmora"));
    QApplication::setWindowIcon(ApplicationIcon());

    Form1 form;
    form.Form_Load();
    form.show();
    return app.exec();
}
