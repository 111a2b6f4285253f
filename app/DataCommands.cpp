#include "DataCommands.h"

#include "Failure.h"
#include "FileDialog.h"
#include "Guarded.h"
#include "ImportDialog.h"
#include "LogExport.h"
#include "LogFigures.h"
#include "MessageBox.h"
#include "Preferences.h"
#include "RestoreDialog.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <optional>

namespace {

QString LogName(bool imperial) { return imperial ? QStringLiteral("Fitness Men") : QStringLiteral("Fitness Women"); }

QString Entries(int count)
{
    return count == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(QLocale().toString(count));
}

// The path to export to, asked for; with ".csv" added to a name without a suffix, and an
// existing file replaced only when the user says so. Empty when cancelled.
QString AskExportPath(bool imperial)
{
    QString path = AskSaveFileName(QStringLiteral("Export CSV"), QStringLiteral("CSV files (*.csv)"));
    if (path.isEmpty())
        return QString();
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    if (QFileInfo::exists(path)
        && ShowMessage(QStringLiteral("%1 already exists. Replace it with the %2 log?")
                           .arg(QDir::toNativeSeparators(path), LogName(imperial)),
                       MsgButtons::YesNo, MsgIcon::Exclamation)
            != MsgAnswer::Yes)
        return QString();
    return path;
}

} // namespace

QString ExportFileName(bool imperial, const QDate& day)
{
    return QStringLiteral("%1 %2.csv").arg(LogName(imperial), day.toString(Qt::ISODate));
}

QString ImportIntoActiveLog(const ActiveLogAccess& log, QWidget* parent)
{
    Guarded proc(QStringLiteral("Form1.Import_Click"));
    QString status;
    proc(10, [&] {
        const QString path = AskImportFileName(parent);
        if (path.isEmpty())
            return;
        DialogImportQuestions questions(parent);
        const std::optional<QList<LogEntry>> merged
            = RunImport(path, log.imperial, log.entries, ReadEntryLimit(), questions);
        if (!merged)
            return;
        log.replace(*merged, QStringLiteral("Import"));
        status = QStringLiteral("Imported %1 into the %2 log; Ctrl+Z takes the import back.")
                     .arg(QFileInfo(path).fileName(), LogName(log.imperial));
    });
    return status;
}

QString ExportActiveLog(const ActiveLogAccess& log, QWidget* parent)
{
    (void)parent;
    Guarded proc(QStringLiteral("Form1.ExportCsv_Click"));
    QString status;
    QString path;
    proc.needed(10, [&] { path = AskExportPath(log.imperial); });
    if (path.isEmpty())
        return status;
    QByteArray bytes;
    proc.needed(20, [&] {
        bytes = ExportCsvBytes(log.imperial, log.entries,
                               ComputeLogFigures(log.imperial, log.height1, log.height2, log.entries));
    });
    proc(30, [&] {
        try {
            WriteExportFile(path, bytes);
        } catch (const Failure& e) {
            // A full disk or a folder that may not be written: said plainly, nothing is lost.
            ShowMessage(e.description() + QStringLiteral("\r\nNothing was written."), MsgButtons::Ok,
                        MsgIcon::Exclamation);
            return;
        }
        status = QStringLiteral("Exported %1 of the %2 log to %3.")
                     .arg(Entries(static_cast<int>(log.entries.size())), LogName(log.imperial),
                          QDir::toNativeSeparators(path));
    });
    return status;
}

QString RestoreActiveLog(const ActiveLogAccess& log, QWidget* parent)
{
    Guarded proc(QStringLiteral("Form1.RestoreFromBackup_Click"));
    QString status;
    proc(10, [&] {
        const std::optional<QList<LogEntry>> entries = ChooseRestore(log.imperial, parent);
        if (!entries)
            return;
        log.replace(*entries, QStringLiteral("Restore From Backup"));
        status = QStringLiteral("The %1 log was restored (%2); Ctrl+Z takes the restore back.")
                     .arg(LogName(log.imperial), Entries(static_cast<int>(entries->size())));
    });
    return status;
}
