#include "automation/Automation.h"

#include "automation/InstanceRegistry.h"
#include "render/Render.h"
#include "render/RenderLimits.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <cmath>
#include <QFileInfo>
#include <QGuiApplication>

namespace sheet::automation {

struct OpenWorkbook {
    std::unique_ptr<sheet::Workbook> book;
    QString path;
};

namespace {
std::shared_ptr<OpenWorkbook> lockBook(const std::weak_ptr<OpenWorkbook>& weak)
{
    auto book = weak.lock();
    if (!book)
        throw Error(QStringLiteral("The workbook has been closed"));
    return book;
}

void checkPosition(int position, int count, const char* what)
{
    if (position < 1 || position > count)
        throw Error(
            QStringLiteral("%1 %2 does not exist (there are %3)").arg(QLatin1String(what)).arg(position).arg(count));
}
} // namespace

// ---------------------------------------------------------------- Range

int Range::RowsView::Row(int position) const
{
    checkPosition(position, n, "Row");
    return first + position - 1;
}

int Range::ColumnsView::Column(int position) const
{
    checkPosition(position, n, "Column");
    return first + position - 1;
}

sheet::Worksheet& Range::sheet() const
{
    auto book = lockBook(m_book);
    sheet::Worksheet* ws = book->book->worksheet(m_sheet);
    if (!ws)
        throw Error(QStringLiteral("The sheet no longer exists"));
    return *ws;
}

sheet::Value Range::Value() const { return sheet().value(m_range.firstRow, m_range.firstCol); }

void Range::setValue(const QString& text) const
{
    sheet::Worksheet& ws = sheet();
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r)
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c)
            ws.setInput(r, c, text);
}

void Range::setDate(const QDate& date) const
{
    sheet::Worksheet& ws = sheet();
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r)
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c)
            ws.setDate(r, c, date);
}

QString Range::Formula() const
{
    sheet::Worksheet& ws = sheet();
    const QString f = ws.formulaText(m_range.firstRow, m_range.firstCol);
    if (!f.isEmpty())
        return f;
    const sheet::Value v = ws.value(m_range.firstRow, m_range.firstCol);
    switch (v.type()) {
    case sheet::Value::Type::Empty: return QString();
    case sheet::Value::Type::Number: return QString::number(v.asNumber(), 'g', 15);
    case sheet::Value::Type::String: return v.asString();
    case sheet::Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case sheet::Value::Type::Error: return errorText(v.asError());
    }
    return QString();
}

QImage Range::Picture() const
{
    sheet::Worksheet& ws = sheet();
    // Text is drawn with the platform's fonts, which only a GUI application has.
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Error(QStringLiteral("Drawing a range needs a running GUI application"));
    ws.workbook().ensureCalculated();
    // Like the spreadsheet's own CopyPicture, a picture too large to handle is cut: it shows
    // the rows and columns from the range's top left corner that fit the renderer's bounds.
    // A sheet's worth of rows would otherwise ask for gigabytes, or for nothing at all.
    const auto fits = [&](int lastRow, int lastCol) {
        const QSize size = rangePixelSize(ws, m_range.firstRow, m_range.firstCol, lastRow, lastCol);
        return size.width() <= kMaxPictureSide && size.height() <= kMaxPictureSide
            && qint64(size.width()) * size.height() <= kMaxPicturePixels;
    };
    // The last row (then column) that still fits, found by halving: each size costs a pass
    // over the range's rows and columns.
    const auto lastFitting = [](int first, int last, const auto& fitsUpTo) {
        if (fitsUpTo(last))
            return last;
        int good = first;
        int bad = last;
        while (bad - good > 1) {
            const int mid = good + (bad - good) / 2;
            (fitsUpTo(mid) ? good : bad) = mid;
        }
        return good;
    };
    const int lastRow
        = lastFitting(m_range.firstRow, m_range.lastRow, [&](int r) { return fits(r, m_range.firstCol); });
    const int lastCol = lastFitting(m_range.firstCol, m_range.lastCol, [&](int c) { return fits(lastRow, c); });
    return renderRange(ws, m_range.firstRow, m_range.firstCol, lastRow, lastCol);
}

namespace {

QImage& PictureClipboard()
{
    static QImage picture;
    return picture;
}

} // namespace

QImage copiedPicture() { return PictureClipboard(); }

void clearCopiedPicture() { PictureClipboard() = QImage(); }

void Range::CopyPicture() const
{
    const QImage image = Picture();
    if (image.isNull())
        throw Error(QStringLiteral("The range could not be drawn"));
    PictureClipboard() = image;
}

// ---------------------------------------------------------------- Worksheet

sheet::Worksheet& Worksheet::model() const
{
    auto book = lockBook(m_book);
    sheet::Worksheet* ws = book->book->worksheet(m_sheet);
    if (!ws)
        throw Error(QStringLiteral("The sheet no longer exists"));
    return *ws;
}

QString Worksheet::Name() const { return model().name(); }

automation::Range Worksheet::Cells(int row, int column) const
{
    model();
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxCols)
        throw Error(QStringLiteral("Cells(%1, %2) is outside the sheet").arg(row).arg(column));
    return automation::Range(m_book, m_sheet, CellRange{row - 1, column - 1, row - 1, column - 1});
}

automation::Range Worksheet::Range(const QString& a1) const
{
    model();
    CellRange r;
    if (!parseRangeName(a1, &r))
        throw Error(QStringLiteral("'%1' is not a cell range").arg(a1));
    return automation::Range(m_book, m_sheet, r);
}

automation::Range Worksheet::UsedRange() const
{
    const auto used = model().usedRange();
    return automation::Range(m_book, m_sheet, used ? *used : CellRange{0, 0, 0, 0});
}

// ---------------------------------------------------------------- Workbook

std::shared_ptr<OpenWorkbook> Workbook::lock() const { return lockBook(m_book); }

sheet::Workbook& Workbook::model() const { return *lock()->book; }

automation::Worksheet Workbook::ActiveSheet() const
{
    auto book = lock();
    const int index = book->book->activeSheet();
    if (!book->book->worksheet(index))
        throw Error(QStringLiteral("The active sheet '%1' is not a worksheet").arg(book->book->sheet(index).name()));
    return automation::Worksheet(m_book, index);
}

QString Workbook::FullName() const { return lock()->path; }

void Workbook::SaveAs(const QString& path, int FileFormat) const
{
    auto book = lock();
    if (FileFormat != xlExcel8 && FileFormat != xlWorkbookNormal)
        throw Error(QStringLiteral("File format %1 is not supported; use 56 or -4143").arg(FileFormat));
    // Both formats are ordinary workbooks: a template saved this way stops being one.
    book->book->setTemplate(false);
    sheet::saveWorkbook(*book->book, path);
    book->path = QFileInfo(path).absoluteFilePath();
}

void Workbook::SaveAsScratch(const QString& path, int FileFormat) const
{
    auto book = lock();
    if (FileFormat != xlExcel8 && FileFormat != xlWorkbookNormal)
        throw Error(QStringLiteral("File format %1 is not supported; use 56 or -4143").arg(FileFormat));
    book->book->setTemplate(false);
    sheet::saveWorkbook(*book->book, path, sheet::Durability::Scratch);
    book->path = QFileInfo(path).absoluteFilePath();
}

void Workbook::Close() const
{
    auto book = lock();
    // The owning application drops it; every handle to it then reports it closed.
    book->book.reset();
    book->path.clear();
}

// ---------------------------------------------------------------- Workbooks

automation::Workbook Workbooks::Open(const QString& path)
{
    m_app->checkRunning();
    auto open = std::make_shared<OpenWorkbook>();
    open->book = sheet::loadWorkbook(path);
    open->path = QFileInfo(path).absoluteFilePath();
    m_app->m_open.push_back(open);
    return automation::Workbook(open);
}

int Workbooks::count() const
{
    m_app->checkRunning();
    auto& open = m_app->m_open;
    open.erase(std::remove_if(open.begin(), open.end(), [](const auto& b) { return !b->book; }), open.end());
    return static_cast<int>(open.size());
}

automation::Workbook Workbooks::operator()(int position) const
{
    const int n = count();
    checkPosition(position, n, "Workbook");
    return automation::Workbook(m_app->m_open[static_cast<std::size_t>(position - 1)]);
}

// ---------------------------------------------------------------- Application

Application::Application()
    : m_registration(std::make_unique<InstanceRegistration>())
{
}

Application::~Application() { Quit(); }

void Application::checkRunning() const
{
    if (!m_running)
        throw Error(QStringLiteral("The spreadsheet application has quit"));
}

void Application::Quit()
{
    // Handles held elsewhere see their workbook closed.
    for (auto& b : m_open)
        b->book.reset();
    m_open.clear();
    m_registration.reset();
    m_running = false;
}

} // namespace sheet::automation
