// Pictures of the data windows, for looking at them (not a test): kalmora-dataio-screenshots
// FOLDER writes import-mapping.png, import-review.png, restore.png, preferences.png, goal.png
// and report.pdf (whose first page is the summary), under the platform, scale and locale it
// runs with, on a settings folder of its own.
#include "BackupRestore.h"
#include "Constants.h"
#include "ImportDialog.h"
#include "LogBackup.h"
#include "PdfReport.h"
#include "PreferencesDialog.h"
#include "RestoreDialog.h"
#include "Settings.h"
#include "StoredLog.h"
#include "TemplateResources.h"
#include "format/CLocale.h"

#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

bool Save(QWidget* window, const QString& path)
{
    window->show();
    QTest::qWait(200);
    const bool ok = window->grab().save(path);
    std::printf("%s %s (%dx%d)\n", ok ? "wrote" : "FAILED", qPrintable(path), window->width(), window->height());
    window->hide();
    return ok;
}

ImportTable GermanTable()
{
    const QString text = QStringLiteral("Datum;Gewicht;Taille;Notiz\n15.07.2024;80,5;90,5;nach dem Sport\n"
                                        "22.07.2024;80,1;90;\n29.07.2024;79,6;89,5;Urlaub\n05.08.2024;79,9;;\n"
                                        "12.08.2024;79,2;89;\n19.08.2024;78,8;88,5;\n26.08.2024;zwei;88;\n");
    return SplitDelimited(text, DetectDelimiter(text));
}

bool WriteReport(const QString& path)
{
    const QByteArray bytes = kalmora::templateResourceBytes(101);
    auto book = sheet::workbookFromBytes(sheet::Bytes(bytes.begin(), bytes.end()));
    sheet::Worksheet& data = *book->worksheet(0);
    data.setBlank(9, 2);
    data.setBlank(14, 4);
    book->recalculate();
    QFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly)
        && file.write(PdfReport(*book, PaperForLocale(QLocale()), QStringLiteral("Report"))) > 0;
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    sheet::useUsEnglishForCLocale();
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit() + "/data");
    QApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    bool ok = true;

    const ImportTable table = GermanTable();
    ImportMappingDialog mapping(QStringLiteral("gewicht.csv"), table, false, DetectLayout(table, false));
    ok = Save(&mapping, folder + QStringLiteral("/import-mapping.png")) && ok;

    ImportReview review;
    review.fileName = QStringLiteral("gewicht.csv");
    review.imported = 6;
    review.sameDates = 2;
    review.rejected = {{8, QStringLiteral("\"zwei\" is not a number (Weight)")}};
    review.entriesAfter = 30;
    review.entryLimit = 26;
    ImportReviewDialog reviewDialog(review);
    ok = Save(&reviewDialog, folder + QStringLiteral("/import-review.png")) && ok;

    for (int day = 1; day <= 3; ++day) {
        SetBackupDayForTesting(QDate(2026, 12, day));
        QList<LogEntry> entries;
        for (int i = 0; i < day * 4; ++i)
            entries.append({QStringLiteral("6/%1/2004").arg(i + 1), QStringLiteral("200")});
        // The day's first change backs up the settings as they stood.
        WriteSetting(SettingsSection, Keys::FitnessMen, JoinStoredLog(entries));
    }
    BackUpBeforeRestore();
    RestoreDialog restore(ListBackups(), true);
    ok = Save(&restore, folder + QStringLiteral("/restore.png")) && ok;

    PreferencesDialog preferences;
    ok = Save(&preferences, folder + QStringLiteral("/preferences.png")) && ok;
    GoalDialog goal(true, QStringLiteral("180.5"));
    ok = Save(&goal, folder + QStringLiteral("/goal.png")) && ok;

    ok = WriteReport(folder + QStringLiteral("/report.pdf")) && ok;
    return ok ? 0 : 1;
}
