// Writes the application icon as PNG files, one per size, for installing into the hicolor
// icon theme: kalmora-icon-tool <folder> writes <folder>/<n>x<n>/kalmora.png.
#include "AppIcon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : ApplicationIconSizes) {
        const QString sizeFolder = QStringLiteral("%1/%2x%2").arg(folder).arg(size);
        const QString path = sizeFolder + QStringLiteral("/kalmora.png");
        if (!QDir().mkpath(sizeFolder) || !DrawApplicationIcon(size).save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
