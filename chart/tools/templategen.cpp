// Writes the chart template workbooks the program embeds: templategen <output folder>.
#include "TemplateDefinitions.h"

#include "base/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: templategen <output folder>\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.exists() && !QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "templategen: cannot create %s\n", argv[1]);
        return 1;
    }
    try {
        for (int id : {kalmora::kImperialTemplate, kalmora::kMetricTemplate}) {
            const sheet::Bytes bytes = kalmora::buildTemplateBytes(id);
            const QString path = dir.filePath(kalmora::templateDefinition(id).fileName);
            QSaveFile out(path);
            if (!out.open(QIODevice::WriteOnly)
                || out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()))
                    != static_cast<qint64>(bytes.size())
                || !out.commit()) {
                std::fprintf(stderr, "templategen: cannot write %s\n", qPrintable(path));
                return 1;
            }
        }
    } catch (const sheet::Error& e) {
        std::fprintf(stderr, "templategen: %s\n", qPrintable(e.message()));
        return 1;
    }
    return 0;
}
