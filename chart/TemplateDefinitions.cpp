#include "TemplateDefinitions.h"

#include "base/Error.h"
#include "formula/Formula.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <QDate>
#include <cmath>
#include <stdexcept>

namespace kalmora {

using sheet::ChartMarker;

namespace {

// Built-in number formats the templates use.
constexpr std::uint16_t kGeneral = 0;
constexpr std::uint16_t kWhole = 1;       // "0"
constexpr std::uint16_t kTwoDecimals = 2; // "0.00"
constexpr std::uint16_t kFraction = 12;   // "# ?/?"
constexpr std::uint16_t kShortDate = 14;

// Palette colours (default BIFF8 palette).
constexpr sheet::PaletteIndex kBlue = 0x30;   // 3366FF
constexpr sheet::PaletteIndex kOrange = 0x35; // FF6600
constexpr sheet::PaletteIndex kGreen = 0x39;  // 339966
constexpr sheet::PaletteIndex kPurple = 0x14; // 800080
constexpr sheet::PaletteIndex kBrown = 0x3C;  // 993300
constexpr sheet::PaletteIndex kRed = 0x10;    // 800000
constexpr sheet::PaletteIndex kNavy = 0x12;   // 000080
constexpr int kHeaderFill = 0x2C;             // 99CCFF
constexpr int kDerivedFill = 0x29;            // CCFFFF
constexpr int kInputFill = 0x2B;              // FFFF99
constexpr int kGridColour = 0x17;             // 808080
constexpr int kTitleColour = 0x12;            // 000080

// Row heights of the data sheet, in twips (15 to a pixel).
constexpr int kRowHeight = 240;        // 16 px: entries and the height cells
constexpr int kTwoLineRowHeight = 450; // a label with a line break of its own
constexpr int kTitleRowHeight = 420;   // the 16 pt title
constexpr int kGapRowHeight = 90;      // the empty row above the headers
constexpr int kHeaderRowHeight = 720;  // three lines of bold headers

// On the weight axis: the trend as a plain line, the goal as a flat dashed one.
TemplateSeries trend(int column) { return {column, false, kNavy, ChartMarker::None, false}; }
TemplateSeries goal(int column) { return {column, false, kGreen, ChartMarker::None, true}; }

TemplateDefinition imperial()
{
    TemplateDefinition d;
    d.resourceId = kImperialTemplate;
    d.fileName = QStringLiteral("fitness-101.xlt");
    d.dataSheetName = QStringLiteral("Data");
    d.title = QStringLiteral("Fitness Progress Chart for Men");
    d.heightLabelColumn = 7; // H
    d.heightColumn = 8;      // I
    d.heightLabels[0] = QStringLiteral("Height (feet)");
    d.heightLabels[1] = QStringLiteral("Height (inches)");
    d.heightValues[0] = 6;
    d.heightValues[1] = 0.375;
    d.heightFormats[0] = kGeneral;
    d.heightFormats[1] = kFraction;
    d.headers = QStringList{
        QStringLiteral("Date"),
        QStringLiteral("Weight (pounds)"),
        QStringLiteral("Chest (inches)"),
        QStringLiteral("Waist (inches)"),
        QStringLiteral("Hips (inches)"),
        QStringLiteral("Estimated Lean Body Weight"),
        QStringLiteral("Estimated Body Fat Weight"),
        QStringLiteral("Estimated Body Fat Percentage"),
        QStringLiteral("Estimated Body Mass Index (BMI)"),
        QStringLiteral("Weight Trend (pounds)"),
        QStringLiteral("Goal Weight (pounds)"),
    };
    d.goalLabel = QStringLiteral("Goal (pounds)");
    d.goalValue = 185;
    d.dataColumns = 5;
    d.dataRowCount = 26;
    d.formulas = QStringList{
        QStringLiteral("=(B{r}*1.082+94.42)-D{r}*4.15"),
        QStringLiteral("=B{r}-F{r}"),
        QStringLiteral("=G{r}*100/B{r}"),
        QStringLiteral("=B{r}/($I$2*12+$I$3)/($I$2*12+$I$3)*703"),
    };
    d.charts = {
        {QStringLiteral("Measurements Chart"),
         QStringLiteral("Measurements"),
         QStringLiteral("Inches"),
         QString(),
         {{2, false, kBlue, ChartMarker::Square},
          {3, false, kOrange, ChartMarker::Diamond},
          {4, false, kGreen, ChartMarker::Triangle}}},
        {QStringLiteral("Weight and BMI Chart"),
         QStringLiteral("Weight and BMI"),
         QStringLiteral("Pounds"),
         QStringLiteral("BMI"),
         {{1, false, kBlue, ChartMarker::Square}, trend(9), goal(10), {8, true, kOrange, ChartMarker::Diamond}}},
        {QStringLiteral("Weight and Body Fat Chart"),
         QStringLiteral("Weight and Body Fat"),
         QStringLiteral("Pounds"),
         QStringLiteral("Body Fat Percentage"),
         {{1, false, kBlue, ChartMarker::Square}, trend(9), goal(10), {7, true, kRed, ChartMarker::Circle}}},
    };
    return d;
}

TemplateDefinition metric()
{
    TemplateDefinition d;
    d.resourceId = kMetricTemplate;
    d.fileName = QStringLiteral("fitness-102.xlt");
    d.dataSheetName = QStringLiteral("Data");
    d.title = QStringLiteral("Fitness Progress Chart for Women");
    d.heightLabelColumn = 9; // J
    d.heightColumn = 10;     // K
    d.heightLabels[0] = QStringLiteral("Height (m)");
    d.heightLabels[1] = QStringLiteral("Height \n(cm)");
    d.heightValues[0] = 1;
    d.heightValues[1] = 68;
    d.heightFormats[0] = kWhole;
    d.heightFormats[1] = kGeneral;
    d.headers = QStringList{
        QStringLiteral("Date"),
        QStringLiteral("Weight (kg)"),
        QStringLiteral("Chest (cm)"),
        QStringLiteral("Waist (cm)"),
        QStringLiteral("Hips (cm)"),
        QStringLiteral("Wrist (cm)"),
        QStringLiteral("Forearm (cm)"),
        QStringLiteral("Estimated Lean Body Weight"),
        QStringLiteral("Estimated Body Fat Weight"),
        QStringLiteral("Estimated Body Fat Percentage"),
        QStringLiteral("Estimated Body Mass Index (BMI)"),
        QStringLiteral("Weight Trend (kg)"),
        QStringLiteral("Goal Weight (kg)"),
    };
    d.goalLabel = QStringLiteral("Goal (kg)");
    d.goalValue = 62;
    d.dataColumns = 7;
    d.dataRowCount = 27;
    d.formulas = QStringList{
        QStringLiteral("=((B{r}/0.45359)*0.732+8.987+(F{r}/2.54)/3.14-(D{r}/2.54)*0.157-(E{r}/2.54)*0.249"
                       "+(G{r}/2.54)*0.434)*0.45359"),
        QStringLiteral("=B{r}-H{r}"),
        QStringLiteral("=I{r}*100/B{r}"),
        QStringLiteral("=B{r}/($K$2+$K$3/100)^2"),
    };
    d.charts = {
        {QStringLiteral("Measurements Chart"),
         QStringLiteral("Measurements"),
         QStringLiteral("cm"),
         QString(),
         {{2, false, kBlue, ChartMarker::Square},
          {3, false, kOrange, ChartMarker::Diamond},
          {4, false, kGreen, ChartMarker::Triangle},
          {5, false, kPurple, ChartMarker::Circle},
          {6, false, kBrown, ChartMarker::Cross}}},
        {QStringLiteral("Weight and BMI Chart"),
         QStringLiteral("Weight and BMI"),
         QStringLiteral("kg"),
         QStringLiteral("BMI"),
         {{1, false, kBlue, ChartMarker::Square}, trend(11), goal(12), {10, true, kOrange, ChartMarker::Diamond}}},
        {QStringLiteral("Weight and Body Fat Chart"),
         QStringLiteral("Weight and Body Fat"),
         QStringLiteral("kg"),
         QStringLiteral("Body Fat Percentage"),
         {{1, false, kBlue, ChartMarker::Square}, trend(11), goal(12), {9, true, kRed, ChartMarker::Circle}}},
    };
    return d;
}

// Example entries: a steady programme with small week-to-week ups and downs.
double wiggle(int week, int salt)
{
    static const double pattern[] = {0.0, 0.6, -0.4, 0.3, -0.2, 0.5, -0.5, 0.1, 0.4, -0.3, 0.2, -0.1, 0.0};
    return pattern[(week * 5 + salt * 3) % 13];
}

double roundTo(double v, double step) { return std::round(v / step) * step; }

std::vector<std::vector<double>> exampleEntries(const TemplateDefinition& d)
{
    const QDate epoch(1899, 12, 30);
    const QDate first(2004, 6, 10);
    std::vector<std::vector<double>> rows;
    const int n = d.dataRowCount;
    for (int w = 0; w < n; ++w) {
        const double t = static_cast<double>(w) / (n - 1);
        std::vector<double> r;
        r.push_back(static_cast<double>(epoch.daysTo(first.addDays(7 * w))));
        if (d.resourceId == kImperialTemplate) {
            r.push_back(roundTo(212.0 - 20.0 * t + 1.2 * wiggle(w, 0), 0.5)); // weight, lb
            r.push_back(roundTo(44.5 - 1.5 * t + 0.3 * wiggle(w, 1), 0.25));  // chest, in
            r.push_back(roundTo(40.5 - 4.0 * t + 0.4 * wiggle(w, 2), 0.25));  // waist, in
            r.push_back(roundTo(42.0 - 2.25 * t + 0.3 * wiggle(w, 3), 0.25)); // hips, in
        } else {
            r.push_back(roundTo(72.4 - 6.5 * t + 0.5 * wiggle(w, 0), 0.1));  // weight, kg
            r.push_back(roundTo(96.0 - 3.5 * t + 0.6 * wiggle(w, 1), 0.5));  // chest, cm
            r.push_back(roundTo(82.0 - 8.0 * t + 0.8 * wiggle(w, 2), 0.5));  // waist, cm
            r.push_back(roundTo(104.0 - 5.0 * t + 0.6 * wiggle(w, 3), 0.5)); // hips, cm
            r.push_back(roundTo(15.6 - 0.3 * t + 0.1 * wiggle(w, 4), 0.05)); // wrist, cm
            r.push_back(roundTo(25.6 - 0.9 * t + 0.2 * wiggle(w, 5), 0.05)); // forearm, cm
        }
        rows.push_back(r);
    }
    return rows;
}

// Cell styles of the data sheet.
struct Styles {
    std::uint16_t title = 0;
    std::uint16_t label = 0;
    std::uint16_t wrappedLabel = 0;
    std::uint16_t height[2] = {0, 0};
    std::uint16_t header = 0;
    std::uint16_t date = 0;
    std::uint16_t entry = 0;
    std::uint16_t entryTwoDecimals = 0;
    std::uint16_t derived = 0;
    std::uint16_t goal = 0;          // the goal weight, an input like the height
    std::uint16_t changePerWeek = 0; // the figures beside their labels
    std::uint16_t goalDate = 0;
};

constexpr std::uint16_t kUsedAlignment = 0x1000;

std::uint16_t addXf(sheet::Workbook& wb, sheet::Xf xf) { return static_cast<std::uint16_t>(wb.findOrAddXf(xf)); }

sheet::Xf gridCell(std::uint16_t font, std::uint16_t format, int fill)
{
    sheet::Xf x = sheet::cellXf(font, format);
    x.setBorders(1, kGridColour);
    if (fill >= 0)
        x.setSolidFill(fill);
    return x;
}

// The goal, an input beside the heights, and the two figures computed from the trend.
void addFigureStyles(sheet::Workbook& wb, std::uint16_t boldFont, Styles* s)
{
    sheet::Xf goal = gridCell(boldFont, kGeneral, kInputFill);
    goal.setHorizontalAlignment(sheet::Xf::Center);
    goal.setVerticalAlignment(sheet::Xf::VCenter);
    goal.indent |= kUsedAlignment;
    s->goal = addXf(wb, goal);
    for (const auto& [format, xf] : {std::pair{kTwoDecimals, &s->changePerWeek}, std::pair{kShortDate, &s->goalDate}}) {
        sheet::Xf figure = gridCell(boldFont, format, kDerivedFill);
        figure.setHorizontalAlignment(sheet::Xf::Center);
        figure.setVerticalAlignment(sheet::Xf::VCenter);
        figure.indent |= kUsedAlignment;
        *xf = addXf(wb, figure);
    }
}

Styles addStyles(sheet::Workbook& wb, const TemplateDefinition& d, sheet::ChartFonts* chartFonts)
{
    sheet::Font titleFont;
    titleFont.height = 320;
    titleFont.weight = 700;
    titleFont.color = kTitleColour;
    sheet::Font bold;
    bold.weight = 700;
    sheet::Font chartTitle;
    chartTitle.height = 280;
    chartTitle.weight = 700;
    sheet::Font axisTitle;
    axisTitle.height = 220;
    axisTitle.weight = 700;
    sheet::Font small;
    small.height = 180;

    const auto fontIndex = [&](const sheet::Font& f) { return static_cast<std::uint16_t>(wb.findOrAddFont(f)); };
    const std::uint16_t titleIdx = fontIndex(titleFont);
    const std::uint16_t boldIdx = fontIndex(bold);
    chartFonts->title = fontIndex(chartTitle);
    chartFonts->axisTitle = fontIndex(axisTitle);
    chartFonts->axisLabels = fontIndex(small);
    chartFonts->legend = 0; // Arial 10, the workbook's default font
    chartFonts->titleHeight = chartTitle.height;
    chartFonts->axisTitleHeight = axisTitle.height;
    chartFonts->axisLabelsHeight = small.height;
    chartFonts->legendHeight = 200;

    Styles s;
    s.title = addXf(wb, sheet::cellXf(titleIdx, kGeneral));

    sheet::Xf label = sheet::cellXf(boldIdx, kGeneral);
    label.setHorizontalAlignment(sheet::Xf::Right);
    label.setVerticalAlignment(sheet::Xf::VCenter);
    label.indent |= kUsedAlignment;
    s.label = addXf(wb, label);
    label.setWrapText(true); // for a label with a line break of its own
    s.wrappedLabel = addXf(wb, label);

    for (int k = 0; k < 2; ++k) {
        sheet::Xf height = gridCell(boldIdx, d.heightFormats[k], kInputFill);
        height.setHorizontalAlignment(sheet::Xf::Center);
        height.setVerticalAlignment(sheet::Xf::VCenter);
        height.indent |= kUsedAlignment;
        s.height[k] = addXf(wb, height);
    }

    sheet::Xf header = gridCell(boldIdx, kGeneral, kHeaderFill);
    header.setHorizontalAlignment(sheet::Xf::Center);
    header.setVerticalAlignment(sheet::Xf::VCenter);
    header.setWrapText(true);
    header.indent |= kUsedAlignment;
    s.header = addXf(wb, header);

    sheet::Xf date = gridCell(0, kShortDate, -1);
    date.setHorizontalAlignment(sheet::Xf::Center);
    date.indent |= kUsedAlignment;
    s.date = addXf(wb, date);
    s.entry = addXf(wb, gridCell(0, kGeneral, -1));
    s.entryTwoDecimals = addXf(wb, gridCell(0, kTwoDecimals, -1));
    s.derived = addXf(wb, gridCell(0, kTwoDecimals, kDerivedFill));
    addFigureStyles(wb, boldIdx, &s);
    return s;
}

// The title, the heights and the goal, the figures beside their labels, the headers.
void fillHeaderArea(sheet::Worksheet& ws, const TemplateDefinition& d, const Styles& s)
{
    ws.setText(0, 0, d.title);
    ws.setCellXf(0, 0, s.title);
    ws.setRowHeight(0, kTitleRowHeight);

    for (int k = 0; k < 2; ++k) {
        const int row = 1 + k;
        ws.setText(row, d.heightLabelColumn, d.heightLabels[k]);
        const bool lineBreak = d.heightLabels[k].contains(QLatin1Char('\n'));
        ws.setCellXf(row, d.heightLabelColumn, lineBreak ? s.wrappedLabel : s.label);
        ws.setRowHeight(row, lineBreak ? kTwoLineRowHeight : kRowHeight);
        ws.setNumber(row, d.heightColumn, d.heightValues[k]);
        ws.setCellXf(row, d.heightColumn, s.height[k]);
    }
    ws.setText(d.goalRow, d.heightLabelColumn, d.goalLabel);
    ws.setCellXf(d.goalRow, d.heightLabelColumn, s.label);
    ws.setNumber(d.goalRow, d.heightColumn, d.goalValue);
    ws.setCellXf(d.goalRow, d.heightColumn, s.goal);
    ws.setRowHeight(d.goalRow, kRowHeight);

    // Right-aligned labels reach left over the empty cells; the figures span two columns.
    const std::pair<int, QString> labels[]
        = {{d.changePerWeekRow, kChangePerWeekLabel}, {d.goalDateRow, kGoalDateLabel}};
    for (const auto& [row, label] : labels) {
        ws.setText(row, d.summaryLabelColumn, label);
        ws.setCellXf(row, d.summaryLabelColumn, s.label);
        ws.addMergedRange(sheet::CellRange{row, d.summaryColumn, row, d.summaryColumn + 1});
        const std::uint16_t xf = row == d.changePerWeekRow ? s.changePerWeek : s.goalDate;
        ws.setCellXf(row, d.summaryColumn, xf);
        ws.setCellXf(row, d.summaryColumn + 1, xf);
    }

    for (int c = 0; c < d.headers.size(); ++c) {
        ws.setText(d.headerRow, c, d.headers[c]);
        ws.setCellXf(d.headerRow, c, s.header);
    }
    ws.setRowHeight(d.headerRow, kHeaderRowHeight);
}

void fillDataSheet(sheet::Worksheet& ws, const TemplateDefinition& d, const Styles& s)
{
    // Rows are 16 pixels and the columns are as wide as their numbers and wrapped headers
    // need, so that the example's picture stays small enough to zoom in the preview.
    fillHeaderArea(ws, d, s);
    const auto entries = exampleEntries(d);
    for (int i = 0; i < d.dataRowCount; ++i) {
        const int row = d.firstDataRow + i;
        ws.setRowHeight(row, kRowHeight);
        for (int c = 0; c < d.dataColumns; ++c) {
            ws.setNumber(row, c, entries[static_cast<std::size_t>(i)][static_cast<std::size_t>(c)]);
            std::uint16_t xf = s.entry;
            if (c == 0)
                xf = s.date;
            else if (d.resourceId == kMetricTemplate && c >= 5)
                xf = s.entryTwoDecimals; // wrist and forearm
            ws.setCellXf(row, c, xf);
        }
        for (int k = 0; k < d.derivedCount(); ++k) {
            ws.setFormula(row, d.formulaColumn(k), d.formulaForRow(k, row));
            ws.setCellXf(row, d.formulaColumn(k), s.derived);
        }
    }
    const int last = d.lastDataRow();
    ws.setFormula(d.changePerWeekRow, d.summaryColumn, d.changePerWeekFormula(last));
    ws.setFormula(d.goalDateRow, d.summaryColumn, d.goalDateFormula(last));

    // Widths in 1/256 of a character: the date; the measurements (narrower where the metric
    // log has six of them); the estimates, whose headers wrap to three lines; trend and goal.
    const bool sixMeasurements = d.dataColumns > 5;
    ws.setColumnWidth(0, 0, 10 * 256);
    ws.setColumnWidth(1, d.dataColumns - 1, sixMeasurements ? 8 * 256 + 128 : 9 * 256 + 128);
    ws.setColumnWidth(d.dataColumns, d.trendColumn() - 1, 11 * 256);
    ws.setColumnWidth(d.trendColumn(), d.goalColumn(), sixMeasurements ? 8 * 256 + 128 : 9 * 256 + 128);
    ws.setShowGridlines(false);

    // It prints landscape, one page wide: its table is wider than a portrait page.
    sheet::PageSetup setup;
    setup.setPaper(d.resourceId == kMetricTemplate ? sheet::PageSetup::A4 : sheet::PageSetup::Letter, true, 600);
    setup.fitToPages = true;
    setup.fitWidth = 1;
    setup.fitHeight = 0; // as many pages down as it takes
    setup.headerMargin = 0.3;
    setup.footerMargin = 0.3;
    ws.setPageSetup(setup);
}

// A chart whose series end at data row lastRow; without a goal it has no goal line.
sheet::Chart chartFor(const TemplateDefinition& d, const TemplateChart& tc, int dataSheet,
                      const sheet::ChartFonts& fonts, int lastRow, bool withGoal)
{
    sheet::Chart c;
    c.title = tc.title;
    c.valueAxisTitle = tc.valueAxisTitle;
    c.secondaryValueAxisTitle = tc.secondaryValueAxisTitle;
    c.fonts = fonts;
    c.plotAreaColour = 0x09;
    c.gridlineColour = 0x16;
    c.legendPosition = sheet::LegendPosition::Bottom;
    c.categoryLabelRotation = 45; // many dates side by side
    c.categoryNumberFormat = kShortDate;
    // Each entry at its date: two weeks between entries take twice the room of one. Every day
    // is a place of its own (a month's entries would otherwise share one); the reader picks
    // the steps of the labels.
    c.dateCategoryAxis = true;
    c.dateScaling.autoBase = false;
    c.dateScaling.base = sheet::DateUnit::Days;
    for (const TemplateSeries& ts : tc.series) {
        if (ts.column == d.goalColumn() && !withGoal)
            continue;
        sheet::ChartSeries s;
        s.values = sheet::SheetRange::column(dataSheet, ts.column, d.firstDataRow, lastRow);
        s.categories = sheet::SheetRange::column(dataSheet, 0, d.firstDataRow, lastRow);
        s.nameCell = sheet::SheetRange::cell(dataSheet, d.headerRow, ts.column);
        s.secondaryAxis = ts.secondaryAxis;
        s.colour = ts.colour;
        s.marker = ts.marker;
        s.pattern = ts.dashed ? sheet::ChartLinePattern::Dash : sheet::ChartLinePattern::Solid;
        s.weight = sheet::ChartLineWeight::Medium;
        c.series.push_back(s);
    }
    return c;
}

} // namespace

QString TemplateDefinition::formulaForRow(int k, int row) const
{
    QString f;
    if (k < formulas.size()) {
        f = formulas.at(k);
    } else if (k == formulas.size() && row == firstDataRow) {
        // The first trend is the first weight.
        f = QStringLiteral("=IF(ISNUMBER(B{r}),B{r},\"\")");
    } else if (k == formulas.size()) {
        // A tenth of the difference a day, for each day since the previous entry; an entry
        // without a weight or a date carries the trend over, and the first weight starts it.
        f = QStringLiteral("=IF(AND(ISNUMBER(B{r}),ISNUMBER(A{r})),IF(AND(ISNUMBER({T}{p}),ISNUMBER(A{p})),"
                           "{T}{p}+(1-0.9^(A{r}-A{p}))*(B{r}-{T}{p}),B{r}),{T}{p})");
    } else {
        f = QStringLiteral("=IF(ISNUMBER({G}),{G},\"\")");
    }
    return f.replace(QStringLiteral("{T}"), sheet::columnName(trendColumn()))
        .replace(QStringLiteral("{G}"), goalCell())
        .replace(QStringLiteral("{r}"), QString::number(row + 1))
        .replace(QStringLiteral("{p}"), QString::number(row));
}

QString TemplateDefinition::goalCell() const
{
    return QStringLiteral("$%1$%2").arg(sheet::columnName(heightColumn)).arg(goalRow + 1);
}

QString TemplateDefinition::summaryFormula(QString f, int lastRow) const
{
    return f.replace(QStringLiteral("{T}"), sheet::columnName(trendColumn()))
        .replace(QStringLiteral("{G}"), goalCell())
        .replace(QStringLiteral("{W}"), sheet::columnName(summaryColumn) + QString::number(changePerWeekRow + 1))
        .replace(QStringLiteral("{F}"), QString::number(firstDataRow + 1))
        .replace(QStringLiteral("{L}"), QString::number(lastRow + 1));
}

// The figures use only functions every spreadsheet computes alike, no array forms, and nest
// at most seven deep, as Excel 97-2003 lets a formula be edited.
QString TemplateDefinition::changePerWeekFormula(int lastRow) const
{
    // (last trend - trend of the latest entry at least 28 days older) / days between * 7;
    // the dates rise down the column, so MATCH finds that entry.
    const QString then = QStringLiteral("MATCH($A${L}-28,$A${F}:$A${L},1)");
    QString f = QStringLiteral(
        "=IF(ISNUMBER($A${L}),IF($A${F}>$A${L}-28,\"\",IF(AND(ISNUMBER(${T}${L}),ISNUMBER(INDEX(${T}${F}:${T}${L},@))),"
        "(${T}${L}-INDEX(${T}${F}:${T}${L},@))/($A${L}-INDEX($A${F}:$A${L},@))*7,\"\")),\"\")");
    return summaryFormula(f.replace(QLatin1Char('@'), then), lastRow);
}

QString TemplateDefinition::goalDateFormula(int lastRow) const
{
    // The first trend is the first number of the trend column: the trend is empty until the
    // first weight and a number from there on. A trend on the goal's side of it, or on the
    // goal, has reached it; a projection past the last date a sheet holds is no date.
    const QString first = QStringLiteral("INDEX(${T}${F}:${T}${L},ROWS(${T}${F}:${T}${L})-COUNT(${T}${F}:${T}${L})+1)");
    const QString date = QStringLiteral("$A${L}+7*({G}-${T}${L})/{W}");
    QString f = QStringLiteral("=IF(ISNUMBER({G}),IF(ISNUMBER(${T}${L}),IF(({G}-${T}${L})*({G}-@first)<=0,\"%1\","
                               "IF(ISNUMBER({W}),IF(({G}-${T}${L})*{W}>0,IF(@date<=2958465,INT(@date),\"%2\"),"
                               "\"%2\"),\"\")),\"\"),\"\")")
                    .arg(kGoalReached, kNotOnTrend);
    f.replace(QStringLiteral("@first"), first).replace(QStringLiteral("@date"), date);
    return summaryFormula(f, lastRow);
}

const TemplateDefinition& templateDefinition(int resourceId)
{
    static const TemplateDefinition men = imperial();
    static const TemplateDefinition women = metric();
    if (resourceId == kImperialTemplate)
        return men;
    if (resourceId == kMetricTemplate)
        return women;
    throw std::invalid_argument("no chart template with that resource id");
}

std::unique_ptr<sheet::Workbook> buildTemplateWorkbook(int resourceId)
{
    const TemplateDefinition& d = templateDefinition(resourceId);
    auto wb = std::make_unique<sheet::Workbook>();
    wb->setTemplate(true);

    sheet::ChartFonts fonts;
    const Styles styles = addStyles(*wb, d, &fonts);

    const int data = wb->addWorksheet(d.dataSheetName);
    fillDataSheet(*wb->worksheet(data), d, styles);

    const std::uint16_t ixti = wb->externSheetIndex(data);
    for (const TemplateChart& tc : d.charts) {
        const sheet::Chart chart = chartFor(d, tc, data, fonts, d.lastDataRow(), true);
        wb->addChartSheet(tc.sheetName, sheet::writeChartSheetBody(chart, [&](int sheet) {
                              return sheet == data ? ixti : wb->externSheetIndex(sheet);
                          }));
    }
    wb->setActiveSheet(data);
    wb->recalculate();
    return wb;
}

sheet::Bytes buildTemplateBytes(int resourceId) { return sheet::workbookToBytes(*buildTemplateWorkbook(resourceId)); }

namespace {

int dataSheetOf(const sheet::Workbook& book, const TemplateDefinition& d)
{
    const int index = book.sheetIndex(d.dataSheetName);
    if (index < 0 || !book.worksheet(index))
        throw sheet::Error(QStringLiteral("The workbook has no worksheet \"%1\"").arg(d.dataSheetName));
    return index;
}

} // namespace

void extendDataRows(sheet::Workbook& book, int resourceId, int entries)
{
    const TemplateDefinition& d = templateDefinition(resourceId);
    sheet::Worksheet& ws = *book.worksheet(dataSheetOf(book, d));
    const int last = d.firstDataRow + entries - 1;
    if (last <= d.lastDataRow())
        return;
    // The template's second data row is the pattern: formats, height and formulas copy down
    // from it as they would in the spreadsheet (the first row's trend is a formula of its own).
    const int pattern = d.firstDataRow + 1;
    std::vector<std::uint16_t> xfs;
    for (int c = 0; c < d.columnCount(); ++c)
        xfs.push_back(ws.cellXf(pattern, c));
    std::vector<sheet::Bytes> tokens;
    for (int k = 0; k < d.derivedCount(); ++k)
        tokens.push_back(sheet::parseFormula(d.formulaForRow(k, pattern)));
    const int height = ws.rowHeight(pattern);
    for (int row = d.lastDataRow() + 1; row <= last; ++row) {
        ws.setRowHeight(row, height);
        for (int c = 0; c < d.columnCount(); ++c)
            ws.setCellXf(row, c, xfs[static_cast<std::size_t>(c)]);
        for (int k = 0; k < d.derivedCount(); ++k)
            ws.setFormulaTokens(row, d.formulaColumn(k),
                                sheet::shiftFormula(tokens[static_cast<std::size_t>(k)], row - pattern, 0));
    }
}

void fitToEntries(sheet::Workbook& book, int resourceId, int entries, int datedEntries, bool withGoal)
{
    const TemplateDefinition& d = templateDefinition(resourceId);
    const int data = dataSheetOf(book, d);
    sheet::Worksheet& ws = *book.worksheet(data);
    if (datedEntries > 0) {
        const int lastDated = d.firstDataRow + datedEntries - 1;
        ws.setFormula(d.changePerWeekRow, d.summaryColumn, d.changePerWeekFormula(lastDated));
        ws.setFormula(d.goalDateRow, d.summaryColumn, d.goalDateFormula(lastDated));
    } else {
        ws.clearContents(d.changePerWeekRow, d.summaryColumn);
        ws.clearContents(d.goalDateRow, d.summaryColumn);
    }

    // An empty log keeps one (empty) row in its charts.
    const int lastRow = d.firstDataRow + std::max(entries, 1) - 1;
    const auto sheetFor = [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); };
    const auto ixtiFor = [&](int sheet) { return book.externSheetIndex(sheet); };
    for (const TemplateChart& tc : d.charts) {
        const int index = book.sheetIndex(tc.sheetName);
        if (index < 0 || !book.sheet(index).isChart())
            throw sheet::Error(QStringLiteral("The workbook has no chart sheet \"%1\"").arg(tc.sheetName));
        sheet::RecordList& records = book.sheet(index).records();
        const sheet::ChartFonts fonts = sheet::readChartSheetBody(records, sheetFor).fonts;
        records = sheet::writeChartSheetBody(chartFor(d, tc, data, fonts, lastRow, withGoal), ixtiFor);
    }
}

} // namespace kalmora
