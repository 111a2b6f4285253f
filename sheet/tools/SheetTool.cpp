// sheet-tool: looks into, edits and draws BIFF8 workbooks with the engine, for people who
// debug workbooks and for checks run from outside the program.
//
//   sheet-tool dump WORKBOOK
//   sheet-tool set WORKBOOK OUT [CELL=TEXT ...]
//   sheet-tool recalc WORKBOOK OUT
//   sheet-tool render [--sheet NAME|INDEX] [--size WIDTHxHEIGHT] [--chart N] WORKBOOK OUT.png|.svg|.pdf [RANGE]
//
// Exit status 0 on success; otherwise one line on standard error and status 1. A picture
// written with a chart in it drawn as a placeholder says so on standard error, status 3.
//
// The file is built twice. `sheet-tool` reads and writes workbooks without loading the GUI
// libraries (with their eager symbol binding they cost more than a whole `set`); for
// `render` it hands over to `sheet-tool-render`, built with SHEET_TOOL_DRAWS, which does
// everything and draws too.

#include "WorkbookDump.h"
#include "format/CLocale.h"

#include "model/CellRange.h"
#include "base/Error.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#ifdef SHEET_TOOL_DRAWS
#include "DrawingFonts.h"
#include "PngWriter.h"
#include "SvgPicture.h"

#include "charts/ChartRenderer.h"
#include "charts/EmbeddedCharts.h"
#include "file/DurableFile.h"
#include "render/Render.h"
#include "render/RenderLimits.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QLibrary>
#include <QPainter>
#include <QPdfWriter>
#else
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

#include <cstdio>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The picture is written, but a chart in it is drawn as a placeholder that says why.
constexpr int kPlaceholderStatus = 3;

const char kUsage[]
    = "usage: sheet-tool dump WORKBOOK | set WORKBOOK OUT [CELL=TEXT...] | recalc WORKBOOK OUT | "
      "render [--sheet NAME|INDEX] [--size WIDTHxHEIGHT] [--chart N] WORKBOOK OUT.png|.svg|.pdf [RANGE]";

const char kDescription[]
    = "Looks into, edits and draws Excel 97-2003 workbooks (.xls, .xlt).\n"
      "\n"
      "Commands:\n"
      "  dump WORKBOOK              sheets, cells (shown text, value, format, formula) and chart\n"
      "                             series as JSON on standard output\n"
      "  set WORKBOOK OUT [CELL=TEXT...]\n"
      "                             types each TEXT into CELL of the active sheet as a user would\n"
      "                             (=... is a formula, \"\" empties the cell) and saves OUT as a\n"
      "                             workbook; with no assignments a plain re-save\n"
      "  recalc WORKBOOK OUT        recalculates every formula and saves OUT as a workbook\n"
      "  render WORKBOOK OUT [RANGE]\n"
      "                             draws a sheet as PNG, SVG or PDF (by OUT's extension): a\n"
      "                             worksheet's used range or RANGE (A1:K40) with the charts in\n"
      "                             it, one of those charts alone, or a chart sheet\n"
      "\n"
      "Exit status 0 on success; otherwise one line on standard error and status 1. A picture\n"
      "with a chart drawn as a placeholder (\"cannot be drawn\") is written, said on standard\n"
      "error, and ends with status 3.";

// Bad command lines are told apart from failures only by the usage line that follows.
struct UsageError {
    QString message;
};

void writeOut(const QByteArray& bytes)
{
    if (std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout)
            != static_cast<std::size_t>(bytes.size())
        || std::fflush(stdout) != 0)
        throw sheet::Error(QStringLiteral("cannot write to standard output"));
}

sheet::Worksheet& activeWorksheet(sheet::Workbook& book, const QString& path)
{
    const int active = book.activeSheet();
    sheet::Worksheet* ws = active >= 0 && active < book.sheetCount() ? book.worksheet(active) : nullptr;
    if (!ws)
        throw sheet::Error(QStringLiteral("'%1': the active sheet is not a worksheet").arg(path));
    return *ws;
}

int dump(const QStringList& args)
{
    if (args.size() != 1)
        throw UsageError{QStringLiteral("dump takes one workbook")};
    const auto book = sheet::loadWorkbook(args[0]);
    // written as it is made: a large workbook's JSON is many times its size
    sheet::writeWorkbookJson(*book, QLocale(), args[0], [](const char* data, std::size_t size) {
        if (std::fwrite(data, 1, size, stdout) != size)
            throw sheet::Error(QStringLiteral("cannot write to standard output"));
    });
    if (std::fflush(stdout) != 0)
        throw sheet::Error(QStringLiteral("cannot write to standard output"));
    return 0;
}

int set(const QStringList& args)
{
    if (args.size() < 2)
        throw UsageError{QStringLiteral("set takes a workbook, an output file and CELL=TEXT assignments")};
    // Every assignment is checked before anything is read or written, so a typo leaves no
    // half-edited output behind.
    struct Assignment {
        int row, col;
        QString text;
    };
    std::vector<Assignment> assignments;
    for (int i = 2; i < args.size(); ++i) {
        const QString& arg = args[i];
        const int eq = arg.indexOf(QLatin1Char('='));
        if (eq < 0)
            throw UsageError{QStringLiteral("'%1' is not CELL=TEXT").arg(arg)};
        Assignment a;
        if (!sheet::parseCellName(arg.left(eq), &a.row, &a.col))
            throw sheet::Error(QStringLiteral("'%1' is not a cell name").arg(arg.left(eq)));
        a.text = arg.mid(eq + 1);
        assignments.push_back(std::move(a));
    }

    const auto book = sheet::loadWorkbook(args[0]);
    if (!assignments.empty()) {
        sheet::Worksheet& ws = activeWorksheet(*book, args[0]);
        for (const Assignment& a : assignments) {
            try {
                ws.setInput(a.row, a.col, a.text);
            } catch (const sheet::Error& e) {
                throw sheet::Error(QStringLiteral("%1: %2").arg(sheet::cellName(a.row, a.col), e.message()));
            }
        }
    }
    // File format 56 is a workbook, so a template saved with it is one no longer.
    book->setTemplate(false);
    sheet::saveWorkbook(*book, args[1]);
    return 0;
}

int recalc(const QStringList& args)
{
    if (args.size() != 2)
        throw UsageError{QStringLiteral("recalc takes a workbook and an output file")};
    const auto book = sheet::loadWorkbook(args[0]);
    book->recalculate();
    book->setTemplate(false);
    sheet::saveWorkbook(*book, args[1]);
    return 0;
}

#ifdef SHEET_TOOL_DRAWS
// --size WIDTHxHEIGHT, each side 1 to 16384 pixels.
QSize parseSize(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,9})\\s*[xX]\\s*(\\d{1,9})\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        throw UsageError{QStringLiteral("--size takes WIDTHxHEIGHT in pixels, not '%1'").arg(text)};
    const qint64 w = m.captured(1).toLongLong();
    const qint64 h = m.captured(2).toLongLong();
    sheet::checkPictureSize(w, h, QStringLiteral("--size %1").arg(text.trimmed()));
    return QSize(static_cast<int>(w), static_cast<int>(h));
}

// --sheet: a sheet name (any case), else a position counting from 1 as the tabs do.
int findSheet(const sheet::Workbook& book, const QString& which, const QString& path)
{
    const int byName = book.sheetIndex(which);
    if (byName >= 0)
        return byName;
    bool number = false;
    const int position = which.toInt(&number);
    if (number && position >= 1 && position <= book.sheetCount())
        return position - 1;
    QStringList names;
    for (int i = 0; i < book.sheetCount(); ++i)
        names << QStringLiteral("'%1'").arg(book.sheet(i).name());
    throw sheet::Error(
        QStringLiteral("'%1' has no sheet '%2' (its sheets: %3)").arg(path, which, names.join(QStringLiteral(", "))));
}

enum class Format { Png, Svg, Pdf };

Format formatFor(const QString& out)
{
    const QString lower = out.toLower();
    if (lower.endsWith(QLatin1String(".png")))
        return Format::Png;
    if (lower.endsWith(QLatin1String(".svg")))
        return Format::Svg;
    if (lower.endsWith(QLatin1String(".pdf")))
        return Format::Pdf;
    throw UsageError{QStringLiteral("'%1': the picture's name must end in .png, .svg or .pdf").arg(out)};
}

// Draws a picture of logical size `size` (96-dpi pixels) in the output's format.
QByteArray drawPicture(Format format, const QSize& size, const std::function<void(QPainter&)>& draw)
{
    if (format == Format::Png) {
        // Drawn straight into the rows the PNG stream holds. (Qt's own encoder tries every
        // row filter at zlib's default level, which took most of the tool's time.)
        PngCanvas canvas(size);
        QPainter p(&canvas.image());
        draw(p);
        p.end();
        return canvas.encode();
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case Format::Png: break;
    case Format::Svg: {
        const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/" SHEET_TOOL_SVG_MODULE);
        if (!QFileInfo::exists(path))
            throw sheet::Error(QStringLiteral("cannot write SVG: %1 is not installed").arg(path));
        QLibrary module(path);
        const auto drawSvg = reinterpret_cast<SheetToolDrawSvg>(module.resolve(SHEET_TOOL_SVG_FUNCTION));
        if (!drawSvg)
            throw sheet::Error(QStringLiteral("cannot write SVG: %1").arg(module.errorString()));
        drawSvg(&buffer, &size, &draw);
        break;
    }
    case Format::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setCreator(QStringLiteral("sheet-tool"));
        pdf.setResolution(96);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setPageSize(QPageSize(QSizeF(size.width() * 72.0 / 96.0, size.height() * 72.0 / 96.0), QPageSize::Point,
                                  QString(), QPageSize::ExactMatch));
        QPainter p(&pdf);
        draw(p);
        p.end();
        break;
    }
    }
    return bytes;
}

struct RenderOptions {
    QString sheet; // null: the active sheet
    QString size;  // null: the picture's own size
    QString chart; // null: the whole sheet
};

// What render draws, all read before the GUI starts: its fonts are chosen from what it shows.
struct Picture {
    QSize size;
    DrawingFonts fonts;
    std::function<void(QPainter&)> draw;
    QStringList placeholders; // charts drawn as placeholders: which, and why
};

void addChartFonts(Picture& picture, const sheet::ChartDrawing& chart, const QString& name)
{
    for (const QString& family : chart.fontFamilies())
        picture.fonts.addFamily(family);
    for (const QString& text : chart.texts())
        picture.fonts.addText(text);
    if (!chart.placeholderText().isEmpty())
        picture.placeholders << QStringLiteral("%1 is drawn as a placeholder: %2").arg(name, chart.placeholderText());
}

// One chart alone: a chart sheet, or a chart embedded in a worksheet at its size there.
void chartPicture(Picture& picture, std::shared_ptr<const sheet::ChartDrawing> chart, const QString& name,
                  const QSize& ownSize, const std::optional<QSize>& size)
{
    addChartFonts(picture, *chart, name);
    picture.size = size.value_or(ownSize);
    if (!size)
        sheet::checkPictureSize(picture.size.width(), picture.size.height(), name);
    picture.draw = [chart, pictureSize = picture.size](QPainter& p) {
        chart->paint(p, QRectF(QPointF(0, 0), QSizeF(pictureSize)));
    };
}

sheet::CellRange united(const sheet::CellRange& a, const sheet::CellRange& b)
{
    return sheet::CellRange{std::min(a.firstRow, b.firstRow), std::min(a.firstCol, b.firstCol),
                            std::max(a.lastRow, b.lastRow), std::max(a.lastCol, b.lastCol)};
}

// The charts of the sheet that sit where the picture of `range` shows them.
struct PlacedChart {
    std::shared_ptr<const sheet::ChartDrawing> drawing;
    QRectF rect;
};

// A worksheet's range with the charts embedded in it where they sit, scaled to `size`.
void rangePicture(Picture& picture, const sheet::Workbook& book, int index,
                  const std::optional<sheet::CellRange>& range, const std::optional<QSize>& size)
{
    const sheet::Worksheet& ws = *book.worksheet(index);
    const std::vector<sheet::EmbeddedChart> embedded = sheet::embeddedChartList(book, index);
    // The used range and every anchored chart, unless a range is asked for; A1 on an empty sheet.
    std::optional<sheet::CellRange> shown = range ? range : ws.usedRange();
    if (!range)
        for (const sheet::EmbeddedChart& c : embedded)
            if (c.anchor)
                shown = shown ? united(*shown, c.anchor->cells()) : c.anchor->cells();
    const sheet::CellRange r = shown.value_or(sheet::CellRange{});
    auto cells = std::make_shared<sheet::RangeDrawing>(ws, r.firstRow, r.firstCol, r.lastRow, r.lastCol);
    for (const sheet::RenderCell& cell : cells->cells()) {
        if (cell.kind == sheet::RenderCell::Kind::Empty)
            continue;
        picture.fonts.addFamily(cell.style.fontName);
        picture.fonts.addText(cell.text);
    }
    picture.fonts.addText(QStringLiteral("#0")); // too narrow a number shows as ###
    std::vector<PlacedChart> charts;
    for (std::size_t k = 0; k < embedded.size(); ++k) {
        if (!embedded[k].anchor)
            continue;
        const QString name = QStringLiteral("chart %1 of sheet '%2'").arg(k + 1).arg(ws.name());
        auto drawing = std::make_shared<const sheet::ChartDrawing>(book, embedded[k].records, name);
        addChartFonts(picture, *drawing, name);
        charts.push_back({drawing, sheet::anchorRect(ws, r, *embedded[k].anchor)});
    }
    const QSize natural = cells->pixelSize();
    picture.size = size.value_or(natural);
    if (!size)
        sheet::checkPictureSize(
            natural.width(), natural.height(),
            QStringLiteral("The range %1:%2")
                .arg(sheet::cellName(r.firstRow, r.firstCol), sheet::cellName(r.lastRow, r.lastCol)));
    picture.draw = [cells, charts, natural, pictureSize = picture.size](QPainter& p) {
        if (pictureSize != natural) {
            // Scaled to fit, proportions kept, centred.
            const double scale = std::min(double(pictureSize.width()) / natural.width(),
                                          double(pictureSize.height()) / natural.height());
            p.translate((pictureSize.width() - natural.width() * scale) / 2,
                        (pictureSize.height() - natural.height() * scale) / 2);
            p.scale(scale, scale);
        }
        cells->paint(p);
        for (const PlacedChart& c : charts)
            c.drawing->paint(p, c.rect);
    };
}

// Chart N of a worksheet, alone.
void embeddedChartPicture(Picture& picture, const sheet::Workbook& book, int index, const QString& which,
                          const std::optional<QSize>& size)
{
    const sheet::Worksheet& ws = *book.worksheet(index);
    std::vector<sheet::EmbeddedChart> embedded = sheet::embeddedChartList(book, index);
    bool number = false;
    const int n = which.toInt(&number);
    if (!number || n < 1)
        throw UsageError{QStringLiteral("--chart takes a chart's number counting from 1, not '%1'").arg(which)};
    if (n > static_cast<int>(embedded.size()))
        throw sheet::Error(QStringLiteral("sheet '%1' holds %2 charts, so there is no chart %3")
                               .arg(ws.name())
                               .arg(embedded.size())
                               .arg(n));
    const sheet::EmbeddedChart& chart = embedded[static_cast<std::size_t>(n - 1)];
    const QString name = QStringLiteral("chart %1 of sheet '%2'").arg(n).arg(ws.name());
    // Its size on the sheet; else, for a chart squeezed to nothing there, the size it was made at.
    QSizeF own(1000, 700);
    const QSizeF made = sheet::readChartSize(chart.records) * 96.0 / 72.0;
    const QSizeF placed = chart.anchor ? sheet::anchorRect(ws, sheet::CellRange{}, *chart.anchor).size() : QSizeF();
    if (placed.width() >= 16 && placed.height() >= 16)
        own = placed;
    else if (made.width() >= 16 && made.height() >= 16 && made.width() <= 16384 && made.height() <= 16384)
        own = made;
    chartPicture(picture, std::make_shared<const sheet::ChartDrawing>(book, chart.records, name), name,
                 QSize(static_cast<int>(std::lround(own.width())), static_cast<int>(std::lround(own.height()))), size);
}

// The sheet render draws: the one asked for, else the active one.
int sheetToDraw(const sheet::Workbook& book, const RenderOptions& options, const QString& path)
{
    if (!options.sheet.isNull())
        return findSheet(book, options.sheet, path);
    const int active = book.activeSheet();
    if (active < 0 || active >= book.sheetCount())
        throw sheet::Error(QStringLiteral("'%1' has no active sheet; name the sheet to draw with --sheet").arg(path));
    return active;
}

void preparePicture(Picture& picture, const sheet::Workbook& book, const QStringList& args,
                    const RenderOptions& options)
{
    std::optional<sheet::CellRange> range;
    if (args.size() == 3) {
        sheet::CellRange r;
        if (!sheet::parseRangeName(args[2], &r))
            throw sheet::Error(QStringLiteral("'%1' is not a cell range").arg(args[2]));
        range = r;
    }
    std::optional<QSize> size;
    if (!options.size.isNull())
        size = parseSize(options.size);
    const int index = sheetToDraw(book, options, args[0]);
    const sheet::Sheet& target = book.sheet(index);
    if (!target.isWorksheet() && !target.isChart())
        throw sheet::Error(
            QStringLiteral("'%1': sheet '%2' is neither a worksheet nor a chart sheet").arg(args[0], target.name()));
    if (target.isChart() && range)
        throw UsageError{QStringLiteral("a RANGE is for worksheets; '%1' is a chart sheet").arg(target.name())};
    if (!options.chart.isNull() && (target.isChart() || range))
        throw UsageError{QStringLiteral("--chart draws a chart embedded in a worksheet, alone and without a RANGE")};
    if (target.isChart()) {
        // The chart sheet's own proportions at 96 dpi unless asked otherwise.
        const QString name = QStringLiteral("chart sheet '%1'").arg(target.name());
        chartPicture(picture, std::make_shared<const sheet::ChartDrawing>(sheet::ChartDrawing::ofSheet(book, index)),
                     name, QSize(1000, 700), size);
    } else if (!options.chart.isNull()) {
        embeddedChartPicture(picture, book, index, options.chart, size);
    } else {
        rangePicture(picture, book, index, range, size);
    }
}

int render(const QStringList& args, const RenderOptions& options, int& argc, char** argv)
{
    if (args.size() != 2 && args.size() != 3)
        throw UsageError{QStringLiteral("render takes a workbook, an output file and an optional range")};
    const Format format = formatFor(args[1]);
    const auto book = sheet::loadWorkbook(args[0]);
    Picture picture;
    preparePicture(picture, *book, args, options);
    picture.fonts.apply();

    // Fonts need a GUI application, but never a display: drawn offscreen, the picture does not
    // depend on the desktop the command runs in, and a display that is gone costs nothing.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QByteArray bytes = drawPicture(format, picture.size, picture.draw);
    if (bytes.isEmpty())
        throw sheet::Error(QStringLiteral("'%1': the picture could not be drawn").arg(args[0]));
    sheet::writeFileDurably(args[1], bytes);
    // The picture is written, but a script must be able to tell that part of it says "cannot
    // draw" instead of showing a chart.
    for (const QString& placeholder : picture.placeholders)
        std::fprintf(stderr, "sheet-tool: '%s': %s\n", args[0].toLocal8Bit().constData(),
                     placeholder.simplified().toLocal8Bit().constData());
    return picture.placeholders.isEmpty() ? 0 : kPlaceholderStatus;
}

#else

// Drawing happens in sheet-tool-render, next to this program or in the library folder it is
// installed to.
[[noreturn]] void drawElsewhere(char** argv)
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    const QString dir = QFileInfo(self).absolutePath();
    QString helper;
    for (const QString& candidate : {dir + QStringLiteral("/sheet-tool-render"),
                                     dir + QStringLiteral("/" SHEET_TOOL_LIBEXEC "/sheet-tool-render")}) {
        if (QFileInfo(candidate).isExecutable()) {
            helper = candidate;
            break;
        }
    }
    if (helper.isEmpty())
        throw sheet::Error(QStringLiteral("cannot draw: sheet-tool-render is not installed beside %1").arg(self));
    const QByteArray path = QFile::encodeName(helper);
    ::execv(path.constData(), argv);
    throw sheet::Error(QStringLiteral("cannot start %1: %2").arg(helper, QString::fromLocal8Bit(std::strerror(errno))));
}

#endif

// Standard error carries this tool's own one-line report; Qt's chatter (a missing runtime
// folder, font notes) would break that, so only its critical messages pass.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "sheet-tool: %s\n", message.simplified().toLocal8Bit().constData());
}

struct RenderOptionNames {
    QCommandLineOption sheet;
    QCommandLineOption size;
    QCommandLineOption chart;
};

RenderOptionNames addRenderOptions(QCommandLineParser& parser)
{
    RenderOptionNames o{
        QCommandLineOption(
            QStringLiteral("sheet"),
            QStringLiteral(
                "render: the sheet to draw, by name or by position counting from 1 (default: the active sheet)."),
            QStringLiteral("NAME|INDEX")),
        QCommandLineOption(
            QStringLiteral("size"),
            QStringLiteral("render: the picture's size in pixels at 96 dpi (default: a worksheet range's own size; "
                           "1000x700 for a chart sheet; a chart's size on its sheet for --chart). A range is scaled "
                           "to fit, keeping its proportions."),
            QStringLiteral("WIDTHxHEIGHT")),
        QCommandLineOption(QStringLiteral("chart"),
                           QStringLiteral("render: the chart embedded in the worksheet to draw alone, counting from 1 "
                                          "(default: the sheet with its charts where they sit)."),
                           QStringLiteral("N"))};
    parser.addOption(o.sheet);
    parser.addOption(o.size);
    parser.addOption(o.chart);
    return o;
}

void fail(const QString& message)
{
    // One line, whatever the message holds.
    QString line = message.simplified();
    std::fprintf(stderr, "sheet-tool: %s\n", line.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv)
{
    sheet::useUsEnglishForCLocale();
    qInstallMessageHandler(qtMessages);
    QCoreApplication::setApplicationName(QStringLiteral("sheet-tool"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SHEET_TOOL_VERSION));

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const RenderOptionNames renderOptions = addRenderOptions(parser);
    const QCommandLineOption& sheetOption = renderOptions.sheet;
    const QCommandLineOption& sizeOption = renderOptions.size;
    const QCommandLineOption& chartOption = renderOptions.chart;
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("dump, set, recalc or render"));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("the command's files, cells and range"),
                                 QStringLiteral("[arguments...]"));

    try {
        if (!parser.parse(arguments))
            throw UsageError{parser.errorText()};
        const bool helpAll = parser.isSet(QStringLiteral("help-all"));
        if (parser.isSet(help) || helpAll || parser.isSet(version)) {
            // The parser names the program from the application object.
            QCoreApplication app(argc, argv);
            if (parser.isSet(help) || helpAll)
                writeOut(parser.helpText().toLocal8Bit());
            else
                writeOut(QStringLiteral("sheet-tool %1\n").arg(QStringLiteral(SHEET_TOOL_VERSION)).toLocal8Bit());
            return 0;
        }
        QStringList args = parser.positionalArguments();
        if (args.isEmpty())
            throw UsageError{QStringLiteral("no command")};
        const QString command = args.takeFirst();
        const bool drawing = command == QLatin1String("render");
        if (!drawing && (parser.isSet(sheetOption) || parser.isSet(sizeOption) || parser.isSet(chartOption)))
            throw UsageError{QStringLiteral("--sheet, --size and --chart are options of render")};
        if (command == QLatin1String("dump"))
            return dump(args);
        if (command == QLatin1String("set"))
            return set(args);
        if (command == QLatin1String("recalc"))
            return recalc(args);
#ifdef SHEET_TOOL_DRAWS
        if (drawing) {
            RenderOptions options;
            for (auto [option, value] : {std::pair{&sheetOption, &options.sheet}, std::pair{&sizeOption, &options.size},
                                         std::pair{&chartOption, &options.chart}})
                if (parser.isSet(*option))
                    *value = parser.value(*option);
            return render(args, options, argc, argv);
        }
#else
        if (drawing)
            drawElsewhere(argv);
#endif
        throw UsageError{QStringLiteral("unknown command '%1'").arg(command)};
    } catch (const UsageError& e) {
        fail(e.message + QStringLiteral("; ") + QLatin1String(kUsage));
    } catch (const sheet::Error& e) {
        fail(e.message());
    } catch (const std::exception& e) {
        fail(QString::fromLocal8Bit(e.what()));
    }
    return 1;
}
