#pragma once

#include "model/CellRange.h"
#include "base/Value.h"

#include <QDate>
#include <QImage>
#include <QString>
#include <memory>
#include <vector>

namespace sheet {
class Workbook;
class Worksheet;
class InstanceRegistration;
} // namespace sheet

// The spreadsheet application as an automation client sees it: application, its open
// workbooks, worksheets and ranges. Rows and columns are counted from 1 here, as in the
// spreadsheet's own object model. Every failure throws sheet::Error with a readable message;
// handles to a closed workbook or a quit application throw too, they never dangle.
namespace sheet::automation {

// The application's default value (its name), which callers use to recognise it.
inline const QString kApplicationName = QStringLiteral("Microsoft Excel");

// File formats SaveAs accepts; both write an Excel 97-2003 (BIFF8) workbook.
constexpr int xlExcel8 = 56;
constexpr int xlWorkbookNormal = -4143;

struct OpenWorkbook;
class Application;

class Range {
public:
    int Row() const { return m_range.firstRow + 1; }
    int Column() const { return m_range.firstCol + 1; }
    // Range.Rows / Range.Columns: their count, and the sheet row (column) at a position.
    struct RowsView {
        int first, n;
        int count() const { return n; }
        int Row(int position) const; // 1-based position
    };
    struct ColumnsView {
        int first, n;
        int count() const { return n; }
        int Column(int position) const;
    };
    RowsView Rows() const { return RowsView{m_range.firstRow + 1, m_range.rowCount()}; }
    ColumnsView Columns() const { return ColumnsView{m_range.firstCol + 1, m_range.colCount()}; }
    int LastRow() const { return m_range.lastRow + 1; }
    int LastColumn() const { return m_range.lastCol + 1; }

    // Value of the range's first cell (formulas computed).
    sheet::Value Value() const;
    // Shown like the spreadsheet's input line takes typed text: numbers and dates in the
    // user's locale, "" empties, "=..." is a formula. Applies to every cell of the range.
    void setValue(const QString& text) const;
    // A date value (Range.Value = a Date): the number of the date, shown as a date.
    void setDate(const QDate& date) const;
    QString Formula() const; // "=..." of the first cell, or its value as text

    // The range as it shows on screen; both need a QGuiApplication (fonts). A range beyond the
    // renderer's bounds (RenderLimits.h) is cut to what fits from its top left.
    QImage Picture() const;
    // Picture() onto the program's own picture clipboard (copiedPicture()). The desktop's
    // clipboard is never touched: what the user copied there stays.
    void CopyPicture() const;

    const CellRange& range() const { return m_range; }

private:
    friend class Worksheet;
    Range(std::weak_ptr<OpenWorkbook> book, int sheet, CellRange range)
        : m_book(std::move(book))
        , m_sheet(sheet)
        , m_range(range)
    {
    }
    sheet::Worksheet& sheet() const;

    std::weak_ptr<OpenWorkbook> m_book;
    int m_sheet;
    CellRange m_range;
};

class Worksheet {
public:
    QString Name() const;
    automation::Range Cells(int row, int column) const;
    automation::Range Range(const QString& a1) const; // "A1:K32"
    // Smallest range holding every used cell; A1 on an empty sheet.
    automation::Range UsedRange() const;
    sheet::Worksheet& model() const;

private:
    friend class Workbook;
    Worksheet(std::weak_ptr<OpenWorkbook> book, int sheet)
        : m_book(std::move(book))
        , m_sheet(sheet)
    {
    }

    std::weak_ptr<OpenWorkbook> m_book;
    int m_sheet;
};

class Workbook {
public:
    Worksheet ActiveSheet() const; // throws when the active sheet is a chart sheet
    QString FullName() const;      // path it was opened from or saved to
    void SaveAs(const QString& path, int FileFormat = xlExcel8) const;
    // For scratch copies: the same file, without waiting for the disk.
    void SaveAsScratch(const QString& path, int FileFormat = xlExcel8) const;
    void Close() const;
    sheet::Workbook& model() const;

private:
    friend class Workbooks;
    explicit Workbook(std::weak_ptr<OpenWorkbook> book)
        : m_book(std::move(book))
    {
    }
    std::shared_ptr<OpenWorkbook> lock() const;

    std::weak_ptr<OpenWorkbook> m_book;
};

class Workbooks {
public:
    Workbook Open(const QString& path);
    int count() const;
    Workbook operator()(int position) const; // 1-based; the latest opened is at count()
    Workbook Item(int position) const { return (*this)(position); }

private:
    friend class Application;
    explicit Workbooks(Application* app)
        : m_app(app)
    {
    }
    Application* m_app;
};

// A new, hidden instance that holds no workbook. It registers itself so that other
// processes of the user can tell that the spreadsheet application is running.
class Application {
public:
    Application();
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    automation::Workbooks& Workbooks() { return m_workbooks; }
    QString Version() const { return QStringLiteral("12.0"); }
    QString Value() const { return kApplicationName; }
    bool DisplayAlerts() const { return m_displayAlerts; }
    void setDisplayAlerts(bool on) { m_displayAlerts = on; }
    void Quit(); // closes every workbook without saving and ends the instance
    bool isRunning() const { return m_running; }

private:
    friend class Workbooks;
    friend class Workbook;
    void checkRunning() const;

    automation::Workbooks m_workbooks{this};
    std::vector<std::shared_ptr<OpenWorkbook>> m_open;
    std::unique_ptr<InstanceRegistration> m_registration;
    bool m_displayAlerts = true;
    bool m_running = true;
};

// The program's own clipboard for pictures: what CopyPicture put there last, or a null image.
QImage copiedPicture();
void clearCopiedPicture();

} // namespace sheet::automation

namespace sheet {
// Is a spreadsheet application instance running for this user (any process)?
bool isApplicationRunning();
} // namespace sheet
