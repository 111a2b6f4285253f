#pragma once

#include <QByteArray>
#include <QLocale>
#include <QPageSize>
#include <QString>

namespace sheet {
class Workbook;
}

// Letter where the locale's territory prints on it (the Americas that use US paper, the
// Philippines) and for the C locale, which the program treats as US English; A4 elsewhere.
QPageSize PaperForLocale(const QLocale& locale);

// The printable report of a workbook as PDF bytes: a summary page when the workbook has a data
// sheet of entries (ReportSummary.h), then each visible worksheet's used range on a page of its own, scaled to the page
// width (and no higher than the page), then each chart sheet filling a page, in the workbook's order; landscape pages
// with 10 mm margins. Drawn as vectors, so the text stays text. Throws on a sheet that cannot be drawn.
QByteArray PdfReport(const sheet::Workbook& book, const QPageSize& paper, const QString& title);
