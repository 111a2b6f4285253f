#include "ErrorReport.h"

#include "Constants.h"
#include "MessageBox.h"

QString ProcedureName(const QString& shortName) { return ProcedurePrefix + shortName; }

QString ErrorReportText(const QString& description, const QString& procedureName, int line)
{
    return description + QLatin1String("\r\n") + QLatin1String("in ") + procedureName + QLatin1Char(' ')
        + QLatin1String("at line ") + QString::number(line) + QLatin1String("\r\r")
        + QLatin1String("Please email screenshot of this message to ") + SupportEmail;
}

void ReportError(const QString& description, const QString& procedureName, int line)
{
    ShowMessage(ErrorReportText(description, procedureName, line), MsgButtons::Ok, MsgIcon::Exclamation,
                QStringLiteral("Application Error"));
}
