#include "Generation.h"

#include "automation/Automation.h"
#include "EntryDate.h"
#include "Excel1.h"
#include "TemplateResources.h"
#include "WorkFiles.h"

#include "Failure.h"
#include "Guarded.h"
#include "Main.h"

#include <QFile>

using sheet::automation::Application;
using sheet::automation::Workbook;
using sheet::automation::Worksheet;

QByteArray TemplateBytes(int id)
{
    const QByteArray bytes = kalmora::templateResourceBytes(id);
    if (bytes.isEmpty())
        throw Failure(QStringLiteral("Resource %1 not found").arg(id));
    return bytes;
}

CellMap CellMapFor(bool imperial, int columnCount)
{
    CellMap map;
    map.heightColumn = imperial ? 9 : 11;
    map.clearedColumns = columnCount + 4;
    return map;
}

namespace {

template <typename T>
T& Need(const std::unique_ptr<T>& object)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set"));
    return *object;
}

} // namespace

GenerationFiles GenerateChartWorkbook(Guarded& proc, const GenerationInput& input, std::mt19937& rng,
                                      const std::function<void()>& busyPointer)
{
    GenerationFiles files;
    std::unique_ptr<Application> a;
    std::unique_ptr<Workbook> w;
    std::unique_ptr<Worksheet> data;
    QByteArray templateBytes;
    const CellMap map = CellMapFor(input.imperial, input.columnCount);

    proc(35, [&] {
        files.folder = PrivateWorkFolder();
        files.templatePath = files.folder + QStringLiteral("/Fitness.xlt");
        files.picturePath = files.folder + QStringLiteral("/temp.bmp");
    });
    proc(40, [&] { a = std::make_unique<Application>(); });
    proc(50, [&] { templateBytes = TemplateBytes(input.imperial ? 101 : 102); });
    proc(60, [&] {
        if (files.folder.isEmpty())
            throw Failure(QStringLiteral("Path not found"));
        // Always the active log's template: an older copy is replaced.
        if (FileExists(files.templatePath))
            DeleteFileForced(files.templatePath);
        WriteBytesIfMissing(templateBytes, files.templatePath);
    });
    proc(70, [&] {
        w = std::make_unique<Workbook>(Need(a).Workbooks().Open(files.templatePath));
        data = std::make_unique<Worksheet>(w->ActiveSheet());
    });
    proc(80, [&] { Need(data).Cells(2, map.heightColumn).setValue(input.height1); });
    proc(81, [&] { Need(data).Cells(3, map.heightColumn).setValue(input.height2); });

    int r = map.firstDataRow;
    for (const QStringList& row : input.rows) {
        for (int k = 1; k <= input.columnCount; ++k) {
            const QString text = k - 1 < row.size() ? row.at(k - 1) : QString();
            proc(90, [&] {
                // The log writes dates month first whatever the locale; handing that text to
                // the locale's reading would turn 6/10 into 6 October where days come first.
                const QDate date = k == 1 ? ParseEntryDate(text) : QDate();
                if (date.isValid())
                    Need(data).Cells(r, k).setDate(date);
                else
                    Need(data).Cells(r, k).setValue(text);
            });
        }
        ++r;
    }
    for (int row = r; row <= map.lastClearedRow; ++row)
        for (int k = 1; k <= map.clearedColumns; ++k)
            proc(100, [&] { Need(data).Cells(row, k).setValue(QString()); });

    proc(110, [&] { busyPointer(); });
    proc(120, [&] {
        if (files.folder.isEmpty())
            throw Failure(QStringLiteral("Path not found"));
        files.workbookPath = ChooseTempWorkbookPath(files.folder, rng, FileExists);
        // Claimed at once, so nothing can take the name before the save.
        CreateFileExclusively(files.workbookPath);
    });
    proc(130, [&] { Need(w).SaveAsScratch(files.workbookPath, excelSaveFormat(a.get())); });
    proc(140, [&] { Need(a).setDisplayAlerts(false); });
    proc(141, [&] { Need(w).Close(); });
    proc(142, [&] { Need(a).Quit(); });
    proc(143, [&] { data.reset(); w.reset(); a.reset(); });

    std::unique_ptr<Application> b;
    std::unique_ptr<Workbook> v;
    proc(150, [&] { b = openExcelWithWorkbook(files.workbookPath); });
    proc(160, [&] { busyPointer(); });
    proc(170, [&] { v = std::make_unique<Workbook>(Need(b).Workbooks()(b->Workbooks().count())); });
    proc(180, [&] { saveCellsActivesheet(Need(v), files.picturePath); });
    proc(190, [&] { Need(b).setDisplayAlerts(false); });
    proc(191, [&] { Need(v).Close(); });
    proc(192, [&] { Need(b).Quit(); });
    return files;
}
