#pragma once

#include "biff/SharedStrings.h"
#include "model/Cell.h"
#include "model/CellRange.h"
#include "model/PageSetup.h"
#include "model/RecordLayout.h"
#include "model/Sheet.h"

#include <QDate>
#include <QLocale>
#include <array>
#include <map>
#include <optional>
#include <vector>

namespace sheet {

// ROW record fields other than the row number and the column extent (computed on save).
struct RowInfo {
    // twips; bit 15 set means the row has the sheet's default height (the field is kept as
    // read so the record goes back unchanged)
    std::uint16_t height = 255;
    std::uint16_t flags = 0x0100;  // 0x0020 hidden, 0x0040 height set by hand, 0x0080 row format
    std::uint16_t xfWord = 0x000F; // bits 0-11 row XF
    std::uint16_t reserved1 = 0;
    std::uint16_t reserved2 = 0;

    bool customHeight() const { return flags & 0x0040; }
    bool defaultHeight() const { return height & 0x8000; }
    bool hidden() const { return flags & 0x0020; }
};

// COLINFO for one column.
struct ColumnInfo {
    std::uint16_t width = 0; // 1/256 of the width of a character
    std::uint16_t xf = 15;
    std::uint16_t flags = 0; // 0x0001 hidden, 0x0002 user-set, 0x0004 best fit
    std::uint16_t reserved = 0;

    bool hidden() const { return flags & 0x0001; }
    bool operator==(const ColumnInfo& o) const
    {
        return width == o.width && xf == o.xf && flags == o.flags && reserved == o.reserved;
    }
    bool operator!=(const ColumnInfo& o) const { return !(*this == o); }
};

class Worksheet : public Sheet {
public:
    using CellMap = std::map<std::uint32_t, Cell>;

    Worksheet(Workbook* book, const QString& name);
    ~Worksheet() override;

    // ---- cells (rows and columns 0-based) ----
    const Cell* cell(int row, int col) const;
    const CellMap& cells() const { return m_cells; }
    // The cell's value; formulas are brought up to date first.
    Value value(int row, int col) const;

    void setNumber(int row, int col, double v);
    void setText(int row, int col, const QString& text);
    void setBool(int row, int col, bool v);
    void setError(int row, int col, ErrorCode e);
    void setValue(int row, int col, const Value& v); // Empty makes the cell blank
    void setBlank(int row, int col);                 // value and formula gone, format kept
    void removeCell(int row, int col);               // the cell is gone, format too
    // Empties the cell as typing "" does: value and formula go; a formatted cell stays blank.
    void clearContents(int row, int col);

    // Formula from text such as "=(B6*1.082+94.42)-D6*4.15"; throws Error when it does not parse.
    void setFormula(int row, int col, const QString& text);
    void setFormulaTokens(int row, int col, const Bytes& tokens, const Bytes& extra = Bytes());
    // An array formula (entered with Ctrl+Shift+Enter) over a range, "=A1:A3*B1:B3": computed
    // once, each cell shows its part of the result. Throws Error when it does not parse.
    void setArrayFormula(const CellRange& range, const QString& text);
    // "=..." text of a formula cell; "{=...}" in the cells of an array formula and
    // "{=TABLE(B26,)}" in a data table's; empty for other cells.
    QString formulaText(int row, int col) const;

    // Typed input: the text becomes a number, date, boolean, error or text as the
    // spreadsheet's input line would take it in this locale; "" empties the cell.
    void setInput(int row, int col, const QString& text, const QLocale& locale = QLocale());
    // A date value, as a typed date lands: a General cell takes the short date format.
    void setDate(int row, int col, const QDate& date);

    // The cell's text as the sheet shows it: value in the cell's number format and locale.
    QString displayText(int row, int col, const QLocale& locale = QLocale()) const;

    std::uint16_t cellXf(int row, int col) const; // the XF a cell there shows with
    void setCellXf(int row, int col, std::uint16_t xf);

    // Smallest range holding every cell record (values, formulas and formatted blanks).
    std::optional<CellRange> usedRange() const;

    // ---- rows ----
    int rowHeight(int row) const; // twips
    void setRowHeight(int row, int twips);
    const RowInfo* rowInfo(int row) const;
    const std::map<int, RowInfo>& rows() const { return m_rows; }
    int defaultRowHeight() const { return m_defaultRowHeight; }
    void setDefaultRowHeight(int twips);

    // ---- columns ----
    // Width in 1/256 of a character: COLINFO's, else the sheet default (which, as in the
    // spreadsheet, includes the cell padding).
    int columnWidth(int col) const;
    const ColumnInfo* columnInfo(int col) const;
    void setColumnWidth(int firstCol, int lastCol, int width256);
    void setColumnXf(int firstCol, int lastCol, std::uint16_t xf);
    void setColumnHidden(int firstCol, int lastCol, bool hidden);
    int defaultColumnWidth() const { return m_defColWidth; } // characters (DEFCOLWIDTH)
    void setDefaultColumnWidth(int chars);

    // ---- merged cells ----
    const std::vector<CellRange>& mergedRanges() const { return m_merged; }
    void addMergedRange(const CellRange& range); // throws Error on overlap or bad bounds
    void clearMergedRanges() { m_merged.clear(); }

    // ---- window ----
    bool showGridlines() const;
    void setShowGridlines(bool on);
    bool showZeros() const;
    bool isSelected() const; // as read; saving marks the workbook's active sheet selected

    // ---- printing ----
    PageSetup pageSetup() const;
    void setPageSetup(const PageSetup& setup);

    // ---- substreams embedded in the sheet (charts other programs put on a worksheet) ----
    // Each as read, BOF to EOF, in file order; saved where it was.
    const std::vector<RecordList>& embeddedSubstreams() const { return m_embedded; }
    void addEmbeddedSubstream(RecordList records);
    // The embedded charts: the records between each chart's BOF and EOF, in file order.
    std::vector<RecordList> embeddedCharts() const;
    // Every record the sheet keeps as it was read (drawings, objects, notes...), in file order,
    // the embedded substreams in their places: what a chart's anchor and object are read from.
    RecordList keptRecords() const;

    // ---- the substream as the file holds it (the reader and the writer in io/) ----
    // The parts of the substream the model writes itself; between them, the records it keeps.
    enum class Part : std::uint8_t {
        Raw,
        Dimensions,
        DefColWidth,
        ColInfos,
        DefaultRowHeight,
        CellTable,
        MergedCells,
        Window2,
        WsBool,
        Setup,
        Embedded // the next of the embedded substreams
    };
    using Layout = RecordLayout<Part>;
    Layout& layout() { return m_layout; }
    const Layout& layout() const { return m_layout; }
    // Puts a part the file lacks where the spreadsheet expects it.
    void ensurePart(Part part);

    // The cells themselves: the reader fills them and recalculation writes results into them.
    // Nothing is checked and nothing is marked for recalculation.
    CellMap& cellStore() { return m_cells; }
    // Records as read, unchecked: ROW, COLINFO (one column), DEFCOLWIDTH, STANDARDWIDTH,
    // DEFAULTROWHEIGHT, a range of MERGEDCELLS, WINDOW2.
    void setRowRecord(int row, const RowInfo& info) { m_rows[row] = info; }
    void setColumnRecord(int col, const ColumnInfo& info) { m_columns.at(static_cast<std::size_t>(col)) = info; }
    void setDefaultColumnRecord(std::uint16_t chars) { m_defColWidth = chars; }
    void setStandardWidth(std::uint16_t width256) { m_standardWidth = width256; }
    std::uint16_t defaultRowFlags() const { return m_defaultRowFlags; }
    void setDefaultRowRecord(std::uint16_t flags, std::uint16_t twips)
    {
        m_defaultRowFlags = flags;
        m_defaultRowHeight = twips;
    }
    void addMergedRecord(const CellRange& range) { m_merged.push_back(range); }
    const Bytes& window2Record() const { return m_window2; }
    void setWindow2Record(Bytes body) { m_window2 = std::move(body); }
    // WSBOOL's flags (fit to pages among them) and SETUP.
    std::uint16_t wsBoolRecord() const { return m_wsBool; }
    void setWsBoolRecord(std::uint16_t flags) { m_wsBool = flags; }
    const PageSetup& setupRecord() const { return m_setup; }
    void setSetupRecord(const PageSetup& setup) { m_setup = setup; }

private:
    Cell& touch(int row, int col);
    void checkCell(int row, int col) const;
    std::uint16_t newCellXf(int row, int col) const;
    void changed();
    void setStringCell(Cell& c, const QString& text);
    void defaultLayout();
    int afterWindowRecords() const;

    CellMap m_cells;
    std::map<int, RowInfo> m_rows;
    std::array<std::optional<ColumnInfo>, kMaxCols> m_columns;
    std::vector<CellRange> m_merged;
    std::uint16_t m_defColWidth = 8;
    std::uint16_t m_defaultRowHeight = 255;
    std::uint16_t m_defaultRowFlags = 0;
    std::optional<std::uint16_t> m_standardWidth; // STANDARDWIDTH, when the file has one
    Bytes m_window2;
    std::uint16_t m_wsBool = 0x04C1; // summary rows below, outline symbols, fit-to-page off
    PageSetup m_setup;
    std::vector<RecordList> m_embedded;
    Layout m_layout;
};

} // namespace sheet
