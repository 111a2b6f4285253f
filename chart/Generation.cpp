#include "Generation.h"

#include "automation/Automation.h"
#include "automation/InstanceRegistry.h"
#include "formula/Formula.h"
#include "model/Worksheet.h"
#include "EntryOrder.h"
#include "Excel1.h"
#include "TemplateDefinitions.h"
#include "TemplateResources.h"
#include "WorkFiles.h"

#include "Failure.h"
#include "Guarded.h"
#include "ProgramFiles.h"

#include <QFile>
#include <QLocale>

#include <cmath>

using kalmora::extendDataRows;
using kalmora::fitToEntries;
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
    map.clearedColumns = columnCount + 6;
    return map;
}

std::optional<double> GoalWeight(const QString& stored)
{
    bool ok = false;
    const double goal = QLocale::c().toDouble(stored.trimmed(), &ok);
    // A goal of a million or more is no weight, and would only overflow the goal date.
    if (!ok || !std::isfinite(goal) || goal <= 0 || goal >= 1e6)
        return std::nullopt;
    return goal;
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

namespace {

// What the steps of one generation hand each other.
struct Run {
    Guarded& proc;
    const GenerationInput& input;
    GenerationFiles files;
    CellMap map;
    int templateId = 0;
    std::unique_ptr<Application> a;
    std::unique_ptr<Workbook> w;
    std::unique_ptr<Worksheet> data;
};

// Steps 34 to 70: the checks, the work folder, the instance and the opened template.
void OpenTemplate(Run& run)
{
    Guarded& proc = run.proc;
    QByteArray templateBytes;
    // What cannot fit a sheet is refused at once, in one report, before anything is written.
    proc.needed(34, [&] { CheckFitsSheet(run.input); });
    // Every later step needs the work folder, the instance, the template and the workbook:
    // when one of them fails, its report is the only one and the generation ends there.
    proc.needed(35, [&] {
        run.files.folder = PrivateWorkFolder();
        run.files.templatePath = run.files.folder + QStringLiteral("/Fitness.xlt");
        run.files.picturePath = run.files.folder + QStringLiteral("/temp.bmp");
        // The previous generation's workbook left the screen with it.
        HeldWorkbook().reset();
        RemoveWorkLeftovers(run.files.folder);
    });
    proc.needed(40, [&] { run.a = std::make_unique<Application>(); });
    proc.needed(50, [&] { templateBytes = TemplateBytes(run.templateId); });
    // Always the active log's template, replacing whatever stands at its name.
    proc.needed(60, [&] { ReplaceWorkFile(run.files.templatePath, templateBytes); });
    proc.needed(70, [&] {
        run.w = std::make_unique<Workbook>(Need(run.a).Workbooks().Open(run.files.templatePath));
        run.data = std::make_unique<Worksheet>(run.w->ActiveSheet());
    });
}

// The log writes dates month first whatever the locale; handing that text to the locale's
// reading would turn 6/10 into 6 October where days come first. A text that names no date
// stays the text it is, so that the sheet's dates are those the order went by.
void WriteDateCell(const Worksheet& data, int r, const QString& text)
{
    const QDate date = ReadEntryDate(text);
    if (date.isValid())
        data.Cells(r, 1).setDate(date);
    else if (text.isEmpty())
        data.Cells(r, 1).setValue(text);
    else
        data.model().setText(r - 1, 0, text);
}

// Steps 75 to 105: a row for every entry, the height, the goal, the entries in date order,
// the rest emptied, the figures and the charts ended at the last entry.
void FillTemplate(Run& run)
{
    Guarded& proc = run.proc;
    const GenerationInput& input = run.input;
    const QList<int> order = DateOrder(input.rows);
    const std::optional<double> goal = GoalWeight(input.goal);
    proc.needed(75, [&] { extendDataRows(Need(run.w).model(), run.templateId, static_cast<int>(order.size())); });
    proc.needed(80, [&] { Need(run.data).Cells(2, run.map.heightColumn).setValue(input.height1); });
    proc.needed(81, [&] { Need(run.data).Cells(3, run.map.heightColumn).setValue(input.height2); });
    // The stored goal has a point before its decimals whatever the locale: a number, not typing.
    proc.needed(82, [&] {
        if (goal)
            Need(run.data).model().setNumber(run.map.goalRow - 1, run.map.heightColumn - 1, *goal);
        else
            Need(run.data).Cells(run.map.goalRow, run.map.heightColumn).setValue(QString());
    });

    // A cell that cannot be written leaves a workbook without the user's log: one report, end.
    int r = run.map.firstDataRow;
    int dated = 0;
    for (const int position : order) {
        const QStringList& row = input.rows.at(position);
        if (!row.isEmpty() && ReadEntryDate(row.first()).isValid())
            ++dated;
        for (int k = 1; k <= input.columnCount && !proc.stopped(); ++k) {
            const QString text = k - 1 < row.size() ? row.at(k - 1) : QString();
            proc.needed(90, [&] {
                if (k == 1)
                    WriteDateCell(*run.data, r, text);
                else
                    run.data->Cells(r, k).setValue(text);
            });
        }
        if (proc.stopped())
            break;
        ++r;
    }
    for (int row = r; row <= run.map.lastClearedRow && !proc.stopped(); ++row)
        for (int k = 1; k <= run.map.clearedColumns && !proc.stopped(); ++k)
            proc.needed(100, [&] { run.data->Cells(row, k).setValue(QString()); });
    proc.needed(105, [&] {
        fitToEntries(Need(run.w).model(), run.templateId, static_cast<int>(order.size()), dated, goal.has_value());
    });
}

// Steps 110 to 192: saved under a fresh name, reopened, its data sheet captured.
void SaveAndCapture(Run& run, std::mt19937& rng, const std::function<void()>& busyPointer)
{
    Guarded& proc = run.proc;
    GenerationFiles& files = run.files;
    proc(110, [&] { busyPointer(); });
    proc.needed(120, [&] {
        files.workbookPath = ChooseTempWorkbookPath(files.folder, rng, FileExists);
        // Claimed at once, so nothing can take the name before the save, and held for as
        // long as this run shows it.
        CreateFileExclusively(files.workbookPath);
        HeldWorkbook() = std::make_unique<sheet::FileHold>(files.workbookPath);
    });
    proc.needed(130, [&] { Need(run.w).SaveAsScratch(files.workbookPath, excelSaveFormat(run.a.get())); });
    proc(140, [&] { Need(run.a).setDisplayAlerts(false); });
    proc(141, [&] { Need(run.w).Close(); });
    proc(142, [&] { Need(run.a).Quit(); });
    proc(143, [&] {
        run.data.reset();
        run.w.reset();
        run.a.reset();
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
}

} // namespace

GenerationFiles GenerateChartWorkbook(Guarded& proc, const GenerationInput& input, std::mt19937& rng,
                                      const std::function<void()>& busyPointer)
{
    Run run{proc, input, {}, CellMapFor(input.imperial, input.columnCount), input.imperial ? 101 : 102, {}, {}, {}};
    OpenTemplate(run);
    FillTemplate(run);
    SaveAndCapture(run, rng, busyPointer);
    GenerationFiles& files = run.files;
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
