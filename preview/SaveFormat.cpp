#include "SaveFormat.h"

#include "Failure.h"

#include "file/DurableFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "Constants.h"
#include "Settings.h"

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

QString SaveFolder()
{
    const QString last = ReadSetting(SettingsSection, SaveFolderKey);
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

void RememberSaveFolder(const QString& savedPath)
{
    const QString folder = QFileInfo(savedPath).absolutePath();
    if (ReadSetting(SettingsSection, SaveFolderKey) != folder)
        WriteSetting(SettingsSection, SaveFolderKey, folder);
}

QString SuggestedSaveName(const QDate& day)
{
    return QStringLiteral("Fitness Progress %1.xls").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

void WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    try {
        sheet::writeFileDurably(path, bytes);
    } catch (const sheet::WriteError& e) {
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, e.reason()));
    }
}
