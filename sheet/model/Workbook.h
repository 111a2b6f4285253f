#pragma once

#include "biff/Bytes.h"
#include "biff/Compound.h"
#include "biff/Record.h"
#include "biff/SharedStrings.h"
#include "model/DefinedName.h"
#include "model/Font.h"
#include "model/RecordLayout.h"
#include "model/OtherBooks.h"
#include "model/Sheet.h"
#include "model/Worksheet.h"
#include "model/Xf.h"

#include <QColor>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace sheet {

// An Excel 97-2003 (BIFF8) workbook: globals, sheets in order, and every record the engine
// does not interpret, kept where it was so that open and save leave it intact. Reading and
// writing files is io/'s (io/WorkbookFile.h).
//
// A default-constructed workbook is empty and ready to be built: four fonts (Arial 10), the
// standard style XFs and the default cell XF 15, no sheets.
class Workbook {
public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // ---- sheets ----
    int sheetCount() const { return static_cast<int>(m_sheets.size()); }
    Sheet& sheet(int index);
    const Sheet& sheet(int index) const;
    Worksheet* worksheet(int index); // nullptr when that sheet is not a worksheet
    const Worksheet* worksheet(int index) const;
    int sheetIndex(const QString& name) const; // -1 when absent (names compare case-insensitively)
    int indexOf(const Sheet* sheet) const;
    int addWorksheet(const QString& name);
    // A chart sheet from the records between its BOF and EOF (exclusive).
    int addChartSheet(const QString& name, RecordList body);
    void renameSheet(int index, const QString& name);

    int activeSheet() const { return m_activeSheet; }
    void setActiveSheet(int index);

    // ---- fonts (index 4 does not exist) ----
    int fontCount() const { return static_cast<int>(m_fonts.size()); } // records
    bool hasFont(int index) const;
    const Font& font(int index) const; // throws Error on a bad index
    void setFont(int index, const Font& font);
    int addFont(const Font& font); // returns its font index
    int findOrAddFont(const Font& font);

    // ---- number formats ----
    QString numberFormat(std::uint16_t index) const;    // custom or built-in code; "General" if unknown
    std::uint16_t addNumberFormat(const QString& code); // built-in index when there is one
    const std::vector<std::pair<std::uint16_t, QString>>& customFormats() const { return m_formats; }

    // ---- cell formats ----
    int xfCount() const { return static_cast<int>(m_xfs.size()); }
    const Xf& xf(int index) const; // throws Error on a bad index
    void setXf(int index, const Xf& xf);
    int addXf(const Xf& xf);
    int findOrAddXf(const Xf& xf);
    int defaultCellXf() const; // the first cell (not style) XF, 15 in Excel's layout
    // The XF that is `base` with another number format (found or added).
    std::uint16_t xfWithFormat(std::uint16_t base, std::uint16_t format);
    // Number format code a cell XF shows values with.
    QString xfNumberFormat(std::uint16_t xf) const;
    QColor paletteColor(int index) const;

    // ---- workbook settings ----
    bool date1904() const { return m_date1904; }
    void setDate1904(bool on) { m_date1904 = on; }
    bool isTemplate() const { return m_template; }
    void setTemplate(bool on) { m_template = on; }

    // ---- external sheet references (3-D references, chart series) ----
    // XTI index for a sheet of this workbook, adding the self SUPBOOK and the entry if needed.
    std::uint16_t externSheetIndex(int sheetIndex);
    // The same for a run of sheets (Sheet1:Sheet3).
    std::uint16_t externSheetIndex(int firstSheet, int lastSheet);
    // Sheet index an XTI entry points at, or -1 (another workbook, a sheet range, no such entry).
    int sheetForExternSheetIndex(std::uint16_t ixti) const;
    // The sheets of this workbook an XTI entry covers; false for other workbooks, add-ins
    // and deleted sheets.
    bool externSheetRange(std::uint16_t ixti, int* first, int* last) const;
    int externSheetCount() const { return static_cast<int>(m_xti.size()); }

    // ---- defined names (NAME records; formulas refer to them by 1-based position) ----
    int nameCount() const { return static_cast<int>(m_names.size()); }
    const DefinedName& definedName(int index) const; // 0-based; throws Error on a bad index
    // The name a formula on `sheet` means: that sheet's own first, then the workbook's
    // (-1 asks for the workbook's only). -1 when there is none. Built-in names answer to
    // their English names (Print_Area).
    int findName(const QString& name, int sheet) const;
    // Defines a name, or gives an existing one of the same scope a new formula: "Total",
    // "=SUM(Data!$B$6:$B$31)"; sheet -1 for the workbook's. References must name their sheet.
    // Throws Error for a bad name or formula. Returns the name's 0-based index.
    int defineName(const QString& name, const QString& formula, int sheet = -1);
    // "=SUM(Data!$B$6:$B$31)"; empty for names without a formula.
    QString nameFormula(int index) const;

    // ---- external names (EXTERNNAME: add-in functions, other workbooks' names) ----
    // The text of external name `index` (1-based) of the SUPBOOK an XTI entry points at;
    // empty when unknown. For this workbook's own sheets it is that sheet's name: "Sheet2!Rate".
    QString externNameText(std::uint16_t ixti, int index) const;
    bool externNameIsAddIn(std::uint16_t ixti) const;
    // The 0-based defined name an external name means when it points into this workbook
    // (through one of its sheets or the workbook itself); -1 otherwise.
    int ownExternName(std::uint16_t ixti, int index) const;
    // The SUPBOOK index and the sheets (of that workbook) an XTI entry names; false when
    // there is no such entry.
    bool externSheetEntry(std::uint16_t ixti, int* supBook, int* first, int* last) const;

    // ---- other workbooks and DDE links, with the values the file keeps of them ----
    OtherBooks otherBooks() const;
    // The sheet numbers (OtherBooks) of another workbook's sheets an XTI entry covers; false
    // for this workbook's own, add-ins, DDE links and what the file does not know.
    bool otherBookSheets(const OtherBooks& books, std::uint16_t ixti, int* first, int* last) const;
    // "[Book1.xls]Sheet1" (or a run "[Book1.xls]Sheet1:Sheet3") for an XTI entry into another
    // workbook; empty for any other.
    QString otherBookSheetText(std::uint16_t ixti) const;

    // Where a formula calls an add-in function (BIN2DEC) or a later version's ("_xlfn.IFERROR"):
    // the XTI and EXTERNNAME index, or ixti -1 and a NAME index. Added when missing.
    void addInFunction(const QString& name, int* ixti, int* index);

    // ---- strings and calculation ----
    StringPool& strings() { return m_strings; }
    const StringPool& strings() const { return m_strings; }

    // Recomputes every formula's cached result (circular references give #REF!).
    void recalculate();
    void ensureCalculated() const;
    void markDirty() { m_dirty = true; }
    bool isDirty() const { return m_dirty; }
    // The cached results are up to date (as read, or just computed).
    void markCalculated() { m_dirty = false; }

    // ---- the globals as the file holds them (the reader and the writer in io/) ----
    // The parts of the globals the model writes itself; between them, the records it keeps.
    enum class Part : std::uint8_t {
        Raw,
        Template,
        Window1,
        DateMode,
        Fonts,
        Formats,
        Xfs,
        BoundSheets,
        LinkTable,
        Names,
        Sst
    };
    using Layout = RecordLayout<Part>;
    Layout& layout() { return m_layout; }
    const Layout& layout() const { return m_layout; }
    // Puts a part the file lacks where the spreadsheet expects it.
    void ensurePart(Part part);

    // SUPBOOK with the records that belong to it, and the EXTERNSHEET entries that point at
    // the SUPBOOKs (XTI).
    struct SupBook {
        bool self = false;
        Record record;        // the SUPBOOK itself
        RecordList followers; // EXTERNNAME / XCT / CRN / CONTINUE that belong to it
    };
    struct Xti {
        std::uint16_t supBook = 0;
        std::uint16_t firstSheet = 0;
        std::uint16_t lastSheet = 0;
    };
    const std::vector<SupBook>& supBooks() const { return m_supBooks; }
    const std::vector<Xti>& externSheets() const { return m_xti; }
    void setLinkTable(std::vector<SupBook> supBooks, std::vector<Xti> externSheets);

    const Bytes& bofRecord() const { return m_bof; }
    void setBofRecord(Bytes body) { m_bof = std::move(body); }
    // WINDOW1 as read; empty for a workbook built here.
    const Bytes& window1Record() const { return m_window1; }
    void setWindow1Record(Bytes body) { m_window1 = std::move(body); }
    const std::vector<Font>& fonts() const { return m_fonts; }
    void setFonts(std::vector<Font> fonts) { m_fonts = std::move(fonts); }
    const std::vector<Xf>& xfs() const { return m_xfs; }
    void setXfs(std::vector<Xf> xfs) { m_xfs = std::move(xfs); }
    void setCustomFormats(std::vector<std::pair<std::uint16_t, QString>> formats) { m_formats = std::move(formats); }
    // Custom colours (RGB) from index 8 on; empty for the default palette.
    const std::vector<std::uint32_t>& palette() const { return m_palette; }
    void setPalette(std::vector<std::uint32_t> palette) { m_palette = std::move(palette); }
    void setDefinedNames(std::vector<DefinedName> names) { m_names = std::move(names); }
    // A sheet as the file holds it, its name unchecked.
    void addSheetAsRead(std::unique_ptr<Sheet> sheet);
    // The compound file's streams other than the workbook's, carried through a save.
    const std::vector<CompoundEntry>& otherStreams() const { return m_otherStreams; }
    void setOtherStreams(std::vector<CompoundEntry> streams) { m_otherStreams = std::move(streams); }

private:
    void defaultLayout();
    void checkSheetName(const QString& name, int ignoreIndex) const;
    int addSheet(std::unique_ptr<Sheet> sheet);
    int selfSupBook() const;
    int addInSupBook() const;
    QString externNameAt(int supBook, int index) const;
    OtherBook otherBook(int supBook, OtherBookPart part) const;
    QString otherBookNameText(int supBook, int index) const;

    std::vector<std::unique_ptr<Sheet>> m_sheets;
    std::vector<Font> m_fonts;
    std::vector<std::pair<std::uint16_t, QString>> m_formats;
    std::vector<Xf> m_xfs;
    std::vector<SupBook> m_supBooks;
    std::vector<Xti> m_xti;
    std::vector<DefinedName> m_names;
    std::vector<std::uint32_t> m_palette; // custom PALETTE entries (RGB), empty for the default
    StringPool m_strings;
    Bytes m_bof;
    Bytes m_window1;
    int m_activeSheet = 0;
    bool m_date1904 = false;
    bool m_template = false;
    bool m_dirty = false;
    Layout m_layout;
    std::vector<CompoundEntry> m_otherStreams;
};

} // namespace sheet
