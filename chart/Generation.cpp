#include "Generation.h"

#include "automation/Automation.h"
#include "automation/InstanceRegistry.h"
#include "formula/Formula.h"
#include "EntryDate.h"
#include "Excel1.h"
#include "TemplateResources.h"
#include "WorkFiles.h"

#include "Failure.h"
#include "Guarded.h"
#include "ProgramFiles.h"

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

template <typename T> T& Need(const std::unique_ptr<T>& object)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set"));
    return *object;
}

// The most characters a cell's text may have.
constexpr int kCellTextLimit = 32767;

// The temporary workbook of the last generation: on screen in the preview until the next
// generation, so no run of the program removes it as a leftover meanwhile.
std::unique_ptr<sheet::FileHold>& HeldWorkbook()
{
    static std::unique_ptr<sheet::FileHold> held;
    return held;
}

} // namespace

void CheckFitsSheet(const GenerationInput& input)
{
    const CellMap map = CellMapFor(input.imperial, input.columnCount);
    const int room = sheet::kMaxRows - map.firstDataRow + 1;
    if (input.rows.size() > room)
        throw Failure(QStringLiteral("The log has %1 entries, but a sheet has room for %2 from row %3 on. "
                                     "Nothing was written.")
                          .arg(input.rows.size())
                          .arg(room)
                          .arg(map.firstDataRow));
    auto checkLength = [](const QString& text, const QString& where) {
        if (text.size() > kCellTextLimit)
            throw Failure(
                QStringLiteral("Text longer than %1 characters: %2 holds %3 characters, more than a cell takes. "
                               "Nothing was written.")
                    .arg(kCellTextLimit)
                    .arg(where)
                    .arg(text.size()));
    };
    checkLength(input.height1, QStringLiteral("the first height field"));
    checkLength(input.height2, QStringLiteral("the second height field"));
    for (int i = 0; i < input.rows.size(); ++i)
        for (int k = 0; k < input.rows.at(i).size(); ++k)
            checkLength(input.rows.at(i).at(k), QStringLiteral("field %1 of entry %2").arg(k + 1).arg(i + 1));
}

GenerationFiles GenerateChartWorkbook(Guarded& proc, const GenerationInput& input, std::mt19937& rng,
                                      const std::function<void()>& busyPointer)
{
    GenerationFiles files;
    std::unique_ptr<Application> a;
    std::unique_ptr<Workbook> w;
    std::unique_ptr<Worksheet> data;
    QByteArray templateBytes;
    const CellMap map = CellMapFor(input.imperial, input.columnCount);

    // What cannot fit a sheet is refused at once, in one report, before anything is written.
    proc.needed(34, [&] { CheckFitsSheet(input); });
    // Every later step needs the work folder, the instance, the template and the workbook:
    // when one of them fails, its report is the only one and the generation ends there.
    proc.needed(35, [&] {
        files.folder = PrivateWorkFolder();
        files.templatePath = files.folder + QStringLiteral("/Fitness.xlt");
        files.picturePath = files.folder + QStringLiteral("/temp.bmp");
        // The previous generation's workbook left the screen with it.
        HeldWorkbook().reset();
        RemoveWorkLeftovers(files.folder);
    });
    proc.needed(40, [&] { a = std::make_unique<Application>(); });
    proc.needed(50, [&] { templateBytes = TemplateBytes(input.imperial ? 101 : 102); });
    // Always the active log's template, replacing whatever stands at its name.
    proc.needed(60, [&] { ReplaceWorkFile(files.templatePath, templateBytes); });
    proc.needed(70, [&] {
        w = std::make_unique<Workbook>(Need(a).Workbooks().Open(files.templatePath));
        data = std::make_unique<Worksheet>(w->ActiveSheet());
    });
    proc.needed(80, [&] { Need(data).Cells(2, map.heightColumn).setValue(input.height1); });
    proc.needed(81, [&] { Need(data).Cells(3, map.heightColumn).setValue(input.height2); });

    // A cell that cannot be written leaves a workbook without the user's log: one report, end.
    int r = map.firstDataRow;
    for (const QStringList& row : input.rows) {
        for (int k = 1; k <= input.columnCount && !proc.stopped(); ++k) {
            const QString text = k - 1 < row.size() ? row.at(k - 1) : QString();
            proc.needed(90, [&] {
                // The log writes dates month first whatever the locale; handing that text to
                // the locale's reading would turn 6/10 into 6 October where days come first.
                const QDate date = k == 1 ? ParseEntryDate(text) : QDate();
                if (date.isValid())
                    data->Cells(r, k).setDate(date);
                else
                    data->Cells(r, k).setValue(text);
            });
        }
        if (proc.stopped())
            break;
        ++r;
    }
    for (int row = r; row <= map.lastClearedRow && !proc.stopped(); ++row)
        for (int k = 1; k <= map.clearedColumns && !proc.stopped(); ++k)
            proc.needed(100, [&] { data->Cells(row, k).setValue(QString()); });

    proc(110, [&] { busyPointer(); });
    proc.needed(120, [&] {
        files.workbookPath = ChooseTempWorkbookPath(files.folder, rng, FileExists);
        // Claimed at once, so nothing can take the name before the save, and held for as
        // long as this run shows it.
        CreateFileExclusively(files.workbookPath);
        HeldWorkbook() = std::make_unique<sheet::FileHold>(files.workbookPath);
    });
    proc.needed(130, [&] { Need(w).SaveAsScratch(files.workbookPath, excelSaveFormat(a.get())); });
    proc(140, [&] { Need(a).setDisplayAlerts(false); });
    proc(141, [&] { Need(w).Close(); });
    proc(142, [&] { Need(a).Quit(); });
    proc(143, [&] {
        data.reset();
        w.reset();
        a.reset();
    });

    std::unique_ptr<Application> b;
    std::unique_ptr<Workbook> v;
    proc.needed(150, [&] { b = openExcelWithWorkbook(files.workbookPath); });
    proc(160, [&] { busyPointer(); });
    proc.needed(170, [&] { v = std::make_unique<Workbook>(Need(b).Workbooks()(b->Workbooks().count())); });
    bool captureReported = false;
    proc.needed(180, [&] {
        QFile::remove(files.picturePath);
        const int reports = Guarded::ReportsShown();
        saveCellsActivesheet(Need(v), files.picturePath);
        if (FileExists(files.picturePath))
            return;
        // No picture, no preview. The capture has said why, or this says it.
        captureReported = Guarded::ReportsShown() != reports;
        if (!captureReported)
            throw Failure(QStringLiteral("Cannot load the picture: the data sheet gave no picture"));
    });
    if (captureReported)
        proc.stop();
    proc(190, [&] { Need(b).setDisplayAlerts(false); });
    proc(191, [&] { Need(v).Close(); });
    proc(192, [&] { Need(b).Quit(); });

    if (proc.stopped()) {
        // Nothing of a generation that did not finish stays behind.
        if (!files.workbookPath.isEmpty()) {
            HeldWorkbook().reset();
            QFile::remove(files.workbookPath);
            files.workbookPath.clear();
        }
        if (!files.picturePath.isEmpty())
            QFile::remove(files.picturePath);
    }
    return files;
}
