#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QTextStream;

// kalmora's command line: --help and --version, and nothing else (the program has no other
// options; Qt's own, such as -platform, are taken by the application object first).

// The program's version, CMake's project version.
QString ProgramVersion();

// Answers --help (-h) and --version (-v): the text goes to out and the exit status is
// returned. A command line without either gives nothing, so the program goes on. Runs before
// the window system is asked for, so both work without a display.
std::optional<int> AnswerInformationOptions(const QStringList& arguments, QTextStream& out, QTextStream& err);

// What is left after the application object took its own options: anything at all is refused
// with a message on err and exit status 2.
std::optional<int> RefuseUnknownArguments(const QStringList& arguments, QTextStream& err);

// The command line without the options the GUI toolkit takes for itself (-platform offscreen,
// -style=Fusion, --display :1, ...), so that anything else can be refused before the window
// system is asked for: without a display the toolkit would abort first.
QStringList WithoutToolkitOptions(const QStringList& arguments);
