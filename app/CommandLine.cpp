#include "CommandLine.h"

#include <QCommandLineParser>
#include <QTextStream>

namespace {

constexpr int UsageError = 2;

void Describe(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Keeps a log of body measurements (imperial or metric) and turns it into an Excel "
                       "97-2003 workbook with formulas and progress charts.\n"
                       "The logs are kept in ~/.config/Pendrel/Pendrel.ini; daily backups of them in "
                       "~/.local/share/Pendrel/Kalmora/backups."));
    parser.addHelpOption();
    parser.addVersionOption();
}

QString Usage(const QString& program)
{
    return QStringLiteral("Usage: %1 [-h | --help | -v | --version]\n").arg(program);
}

bool AsksForInformation(const QStringList& arguments)
{
    static const QStringList names
        = {QStringLiteral("-h"),         QStringLiteral("--help"), QStringLiteral("-?"),
           QStringLiteral("--help-all"), QStringLiteral("-v"),     QStringLiteral("--version")};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (names.contains(arguments.at(i)))
            return true;
    }
    return false;
}

// Options QGuiApplication and QApplication take on X11 and Wayland, with and without a value.
const QStringList& ToolkitOptionsWithValue()
{
    static const QStringList names = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("title"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("icon"),
        QStringLiteral("session"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("display"),
        QStringLiteral("name"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
    };
    return names;
}

const QStringList& ToolkitFlags()
{
    static const QStringList names
        = {QStringLiteral("reverse"), QStringLiteral("widgetcount"), QStringLiteral("nograb"),
           QStringLiteral("dograb"),  QStringLiteral("sync"),        QStringLiteral("qmljsdebugger")};
    return names;
}

} // namespace

QStringList WithoutToolkitOptions(const QStringList& arguments)
{
    QStringList left;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            left << argument;
            continue;
        }
        // The toolkit reads "--name" as "-name", and "-name=value" as a name with its value.
        QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool joined = equals >= 0;
        if (joined)
            name.truncate(equals);
        if (ToolkitFlags().contains(name))
            continue;
        if (ToolkitOptionsWithValue().contains(name)) {
            if (!joined && i + 1 < arguments.size())
                ++i;
            continue;
        }
        left << argument;
    }
    return left;
}

QString ProgramVersion() { return QStringLiteral(KALMORA_VERSION); }

std::optional<int> AnswerInformationOptions(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (!AsksForInformation(arguments))
        return std::nullopt;
    QCommandLineParser parser;
    Describe(parser);
    const QString program = QStringLiteral("kalmora");
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        err << program << ": "
            << (parser.errorText().isEmpty() ? QStringLiteral("Unexpected argument") : parser.errorText()) << '\n'
            << Usage(program);
        err.flush();
        return UsageError;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        out << program << ' ' << ProgramVersion() << '\n';
    } else {
        // helpText() names the program after the first argument; the installed name it is.
        QString text = parser.helpText();
        const qsizetype end = text.indexOf(QLatin1Char('\n'));
        text.replace(0, end + 1, Usage(program));
        out << text;
    }
    out.flush();
    return 0;
}

std::optional<int> RefuseUnknownArguments(const QStringList& arguments, QTextStream& err)
{
    if (arguments.size() <= 1)
        return std::nullopt;
    const QString program = QStringLiteral("kalmora");
    const QString& first = arguments.at(1);
    err << program << ": "
        << (first.startsWith(QLatin1Char('-')) ? QStringLiteral("Unknown option '%1'.").arg(first)
                                               : QStringLiteral("Unexpected argument '%1'.").arg(first))
        << '\n'
        << Usage(program);
    err.flush();
    return UsageError;
}
