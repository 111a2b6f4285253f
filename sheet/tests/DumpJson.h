#pragma once

// The dump of a workbook as a JSON object, for tests that look into it.
#include "tools/WorkbookDump.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace sheet::test {

inline QByteArray dumpText(const Workbook& book, const QLocale& locale, const QString& file = QString())
{
    QByteArray out;
    writeWorkbookJson(book, locale, file,
                      [&](const char* data, std::size_t size) { out.append(data, static_cast<qsizetype>(size)); });
    return out;
}

inline QJsonObject dumpWorkbook(const Workbook& book, const QLocale& locale)
{
    return QJsonDocument::fromJson(dumpText(book, locale)).object();
}

} // namespace sheet::test
