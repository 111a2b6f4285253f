#include "PdfReport.h"

#include "Constants.h"
#include "Failure.h"
#include "ReportSummary.h"

#include "charts/ChartRenderer.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

QPageSize PaperForLocale(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return QPageSize(QPageSize::Letter);
    if (locale.measurementSystem() == QLocale::ImperialUSSystem)
        return QPageSize(QPageSize::Letter);
    // Territories whose everyday paper is US Letter (Unicode CLDR, paper size preferences).
    switch (locale.territory()) {
    case QLocale::UnitedStates:
    case QLocale::Canada:
    case QLocale::Mexico:
    case QLocale::Belize:
    case QLocale::Chile:
    case QLocale::Colombia:
    case QLocale::CostaRica:
    case QLocale::ElSalvador:
    case QLocale::Guatemala:
    case QLocale::Nicaragua:
    case QLocale::Panama:
    case QLocale::Philippines:
    case QLocale::PuertoRico:
    case QLocale::Venezuela: return QPageSize(QPageSize::Letter);
    default: return QPageSize(QPageSize::A4);
    }
}

namespace {

// The writer draws in pixels of 96 dpi, the unit the sheet and chart renderers use, so fonts
// given in points come out at their size.
constexpr int kDpi = 96;

void drawWorksheet(const sheet::Worksheet& ws, QPainter& painter, const QRectF& page)
{
    const auto used = ws.usedRange();
    if (!used)
        return;
    const QSize size = sheet::rangePixelSize(ws, used->firstRow, used->firstCol, used->lastRow, used->lastCol);
    if (size.isEmpty())
        return;
    const qreal scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.save();
    painter.translate(page.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(0, 0, size.width(), size.height()));
    sheet::paintRange(ws, used->firstRow, used->firstCol, used->lastRow, used->lastCol, painter);
    painter.restore();
}

} // namespace

QByteArray PdfReport(const sheet::Workbook& book, const QPageSize& paper, const QString& title)
{
    book.ensureCalculated();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kDpi);
        writer.setTitle(title);
        writer.setCreator(ProductTitle);
        writer.setPageLayout(
            QPageLayout(paper, QPageLayout::Landscape, QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));

        QPainter painter;
        bool first = true;
        auto nextPage = [&] {
            if (first) {
                if (!painter.begin(&writer))
                    throw Failure(QStringLiteral("The PDF report could not be started"));
                first = false;
            } else if (!writer.newPage()) {
                throw Failure(QStringLiteral("The PDF report could not get a new page"));
            }
            return QRectF(QPointF(0, 0), QSizeF(writer.pageLayout().paintRectPixels(kDpi).size()));
        };
        if (const std::optional<ReportSummary> summary = SummarizeWorkbook(book))
            PaintSummaryPage(*summary, painter, nextPage());
        for (int i = 0; i < book.sheetCount(); ++i) {
            const sheet::Sheet& s = book.sheet(i);
            if (s.visibility() != sheet::Sheet::Visibility::Visible || !(s.isWorksheet() || s.isChart()))
                continue;
            const QRectF page = nextPage();
            if (s.isChart())
                sheet::paintChartSheet(book, i, painter, page);
            else
                drawWorksheet(*book.worksheet(i), painter, page);
        }
        if (first)
            throw Failure(QStringLiteral("The workbook has no sheet to print"));
        if (!painter.end())
            throw Failure(QStringLiteral("The PDF report could not be finished"));
    }
    return bytes;
}
