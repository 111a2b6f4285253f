#include "SaveFormat.h"

#include "Failure.h"

#include "file/DurableFile.h"

#include <QFileInfo>

QString SaveFilters() { return ExcelFilter + QStringLiteral(";;") + PdfFilter; }

bool WantsPdf(const QString& path, const QString& filter)
{
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0)
        return true;
    if (suffix.compare(QLatin1String("xls"), Qt::CaseInsensitive) == 0)
        return false;
    return filter == PdfFilter;
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    try {
        sheet::writeFileDurably(path, bytes);
    } catch (const sheet::WriteError& e) {
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, e.reason()));
    }
}
