#pragma once

#include <QString>

// The uniform error report of guarded procedures.

// "Trevasso2021/08/31." + shortName, e.g. ProcedureName("Form1.Form_Load").
QString ProcedureName(const QString& shortName);

// The report's text: description, CR LF, "in <procedure> at line <n>", CR, CR, and the
// request to e-mail a screenshot to the support address.
QString ErrorReportText(const QString& description, const QString& procedureName, int line);

// Shows the report ("Application Error", OK, exclamation icon) and returns when it is closed.
void ReportError(const QString& description, const QString& procedureName, int line);
