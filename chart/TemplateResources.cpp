#include "TemplateResources.h"

#include <QFile>

namespace kalmora {

QByteArray templateResourceBytes(int resourceId)
{
    if (resourceId != 101 && resourceId != 102)
        return {};
    QFile file(QStringLiteral(":/templates/%1.xlt").arg(resourceId));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace kalmora
