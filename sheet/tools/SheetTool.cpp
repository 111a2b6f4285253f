// sheet-tool: looks into and edits BIFF8 workbooks with the engine, for people who debug
// workbooks and for checks run from outside the program.
//
//   sheet-tool dump WORKBOOK
//   sheet-tool set WORKBOOK OUT CELL=TEXT ...
//   sheet-tool render WORKBOOK OUT.png [RANGE]
//
// Exit status 0 on success; otherwise one line on standard error and status 1.

#include "WorkbookDump.h"
#include "formula/CLocale.h"

#include "model/CellRange.h"
#include "model/Error.h"
#include "render/Render.h"
#include "model/Workbook.h"

#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace {

const char kUsage[] =
    "usage: sheet-tool dump WORKBOOK | set WORKBOOK OUT CELL=TEXT... | render WORKBOOK OUT.png [RANGE]";

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
    const auto book = sheet::Workbook::load(args[0]);
    QJsonObject root = sheet::dumpWorkbook(*book, QLocale());
    root.insert(QStringLiteral("file"), args[0]);
    writeOut(QJsonDocument(root).toJson(QJsonDocument::Indented));
    return 0;
}

int set(const QStringList& args)
{
    if (args.size() < 3)
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

    const auto book = sheet::Workbook::load(args[0]);
    sheet::Worksheet& ws = activeWorksheet(*book, args[0]);
    for (const Assignment& a : assignments) {
        try {
            ws.setInput(a.row, a.col, a.text);
        } catch (const sheet::Error& e) {
            throw sheet::Error(QStringLiteral("%1: %2").arg(sheet::cellName(a.row, a.col), e.message()));
        }
    }
    // File format 56 is a workbook, so a template saved with it is one no longer.
    book->setTemplate(false);
    book->save(args[1]);
    return 0;
}

int render(const QStringList& args, int& argc, char** argv)
{
    if (args.size() != 2 && args.size() != 3)
        throw UsageError{QStringLiteral("render takes a workbook, an output file and an optional range")};
    sheet::CellRange range;
    const bool haveRange = args.size() == 3;
    if (haveRange && !sheet::parseRangeName(args[2], &range))
        throw sheet::Error(QStringLiteral("'%1' is not a cell range").arg(args[2]));

    // Fonts need a GUI application; without a display, draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    const auto book = sheet::Workbook::load(args[0]);
    const sheet::Worksheet& ws = activeWorksheet(*book, args[0]);
    if (!haveRange)
        range = ws.usedRange().value_or(sheet::CellRange{}); // A1 on an empty sheet, as UsedRange
    const QImage image = sheet::renderRange(ws, range.firstRow, range.firstCol, range.lastRow, range.lastCol);
    if (image.isNull())
        throw sheet::Error(QStringLiteral("'%1': the range could not be drawn").arg(args[0]));

    QSaveFile file(args[1]);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
        throw sheet::Error(QStringLiteral("cannot write '%1': %2").arg(args[1], file.errorString()));
    return 0;
}

// Standard error carries this tool's own one-line report; Qt's chatter (a missing runtime
// folder, font notes) would break that, so only its critical messages pass.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "sheet-tool: %s\n", message.simplified().toLocal8Bit().constData());
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
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 1 && (args[0] == QLatin1String("-h") || args[0] == QLatin1String("--help"))) {
        std::puts(kUsage);
        return 0;
    }

    try {
        if (args.isEmpty())
            throw UsageError{QStringLiteral("no command")};
        const QString command = args.takeFirst();
        if (command == QLatin1String("dump"))
            return dump(args);
        if (command == QLatin1String("set"))
            return set(args);
        if (command == QLatin1String("render"))
            return render(args, argc, argv);
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
