#include "TemplateDefinitions.h"

#include "base/Error.h"
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
    };
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
         {{1, false, kBlue, ChartMarker::Square}, {8, true, kOrange, ChartMarker::Diamond}}},
        {QStringLiteral("Weight and Body Fat Chart"),
         QStringLiteral("Weight and Body Fat"),
         QStringLiteral("Pounds"),
         QStringLiteral("Body Fat Percentage"),
         {{1, false, kBlue, ChartMarker::Square}, {7, true, kRed, ChartMarker::Circle}}},
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
    };
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
         {{1, false, kBlue, ChartMarker::Square}, {10, true, kOrange, ChartMarker::Diamond}}},
        {QStringLiteral("Weight and Body Fat Chart"),
         QStringLiteral("Weight and Body Fat"),
         QStringLiteral("kg"),
         QStringLiteral("Body Fat Percentage"),
         {{1, false, kBlue, ChartMarker::Square}, {9, true, kRed, ChartMarker::Circle}}},
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
    return s;
}

void fillDataSheet(sheet::Worksheet& ws, const TemplateDefinition& d, const Styles& s)
{
    // The data sheet's picture must stay within 750 x 568 pixels (11,250 x 8,520 twips), so
    // that the preview's first zoom step (1.25) still fits its largest picture. Rows are 16
    // pixels, the empty row above the headers is a narrow gap, and the columns are as wide as
    // their numbers and wrapped headers need.
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

    for (int c = 0; c < d.headers.size(); ++c) {
        ws.setText(d.headerRow, c, d.headers[c]);
        ws.setCellXf(d.headerRow, c, s.header);
    }
    ws.setRowHeight(d.headerRow - 1, kGapRowHeight);
    ws.setRowHeight(d.headerRow, kHeaderRowHeight);

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
        for (int k = 0; k < d.formulas.size(); ++k) {
            ws.setFormula(row, d.formulaColumn(k), d.formulaForRow(k, row));
            ws.setCellXf(row, d.formulaColumn(k), s.derived);
        }
    }

    // Widths in 1/256 of a character: the date; the measurements (narrower where the metric
    // log has six of them); the estimates, whose headers wrap to three lines.
    const bool sixMeasurements = d.dataColumns > 5;
    ws.setColumnWidth(0, 0, 10 * 256);
    ws.setColumnWidth(1, d.dataColumns - 1, sixMeasurements ? 8 * 256 + 128 : 10 * 256);
    ws.setColumnWidth(d.dataColumns, d.columnCount() - 1, sixMeasurements ? 11 * 256 : 12 * 256);
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

sheet::Chart chartFor(const TemplateDefinition& d, const TemplateChart& tc, int dataSheet,
                      const sheet::ChartFonts& fonts)
{
    sheet::Chart c;
    c.title = tc.title;
    c.valueAxisTitle = tc.valueAxisTitle;
    c.secondaryValueAxisTitle = tc.secondaryValueAxisTitle;
    c.fonts = fonts;
    c.plotAreaColour = 0x09;
    c.gridlineColour = 0x16;
    c.legendPosition = sheet::LegendPosition::Bottom;
    c.categoryLabelRotation = 45; // 26 or 27 dates side by side
    c.categoryNumberFormat = kShortDate;
    for (const TemplateSeries& ts : tc.series) {
        sheet::ChartSeries s;
        s.values = sheet::SheetRange::column(dataSheet, ts.column, d.firstDataRow, d.lastDataRow());
        s.categories = sheet::SheetRange::column(dataSheet, 0, d.firstDataRow, d.lastDataRow());
        s.nameCell = sheet::SheetRange::cell(dataSheet, d.headerRow, ts.column);
        s.secondaryAxis = ts.secondaryAxis;
        s.colour = ts.colour;
        s.marker = ts.marker;
        s.weight = sheet::ChartLineWeight::Medium;
        c.series.push_back(s);
    }
    return c;
}

} // namespace

QString TemplateDefinition::formulaForRow(int k, int row) const
{
    QString f = formulas.at(k);
    return f.replace(QStringLiteral("{r}"), QString::number(row + 1));
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
        const sheet::Chart chart = chartFor(d, tc, data, fonts);
        wb->addChartSheet(tc.sheetName, sheet::writeChartSheetBody(chart, [&](int sheet) {
                              return sheet == data ? ixti : wb->externSheetIndex(sheet);
                          }));
    }
    wb->setActiveSheet(data);
    wb->recalculate();
    return wb;
}

sheet::Bytes buildTemplateBytes(int resourceId) { return sheet::workbookToBytes(*buildTemplateWorkbook(resourceId)); }

} // namespace kalmora
