#pragma once

#include "biff/Bytes.h"
#include "biff/Record.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace sheet {

class Workbook;

// A sheet of a workbook. Worksheets are interpreted (see Worksheet); chart sheets and the
// rarer kinds (macro sheets, modules) are kept as the records between their BOF and EOF.
class Sheet {
public:
    enum class Kind { Worksheet, Chart, Other };
    enum class Visibility : std::uint8_t { Visible = 0, Hidden = 1, VeryHidden = 2 };

    Sheet(Workbook* book, Kind kind, const QString& name);
    virtual ~Sheet();
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    Kind kind() const { return m_kind; }
    bool isWorksheet() const { return m_kind == Kind::Worksheet; }
    bool isChart() const { return m_kind == Kind::Chart; }
    const QString& name() const { return m_name; }
    Visibility visibility() const { return m_visibility; }
    void setVisibility(Visibility v) { m_visibility = v; }

    Workbook& workbook() { return *m_book; }
    const Workbook& workbook() const { return *m_book; }

    // Chart sheets (and other kept sheets): the records between BOF and EOF, exclusive.
    RecordList& records() { return m_records; }
    const RecordList& records() const { return m_records; }

    // BOF body this sheet was read with (build and history fields are written back as read).
    const Bytes& bof() const { return m_bof; }
    void setBof(Bytes bof) { m_bof = std::move(bof); }
    // BOUNDSHEET type byte for kinds the engine does not interpret (macro, module).
    std::uint8_t boundSheetType() const { return m_boundType; }
    void setBoundSheetType(std::uint8_t t) { m_boundType = t; }

    // Text cells (LABELSST) among the kept records: the entry of the workbook's string pool
    // each one shows, so that a save points it at that text in the table it writes anew.
    struct KeptString {
        std::size_t record; // position in records()
        std::uint32_t pool;
    };
    std::vector<KeptString>& keptStrings() { return m_keptStrings; }
    const std::vector<KeptString>& keptStrings() const { return m_keptStrings; }

    // Renaming goes through Workbook::renameSheet, which checks uniqueness.
    void setNameUnchecked(const QString& name) { m_name = name; }

protected:
    Workbook* m_book;

private:
    Kind m_kind;
    QString m_name;
    Visibility m_visibility = Visibility::Visible;
    std::uint8_t m_boundType = 0;
    Bytes m_bof;
    RecordList m_records;
    std::vector<KeptString> m_keptStrings;
};

// Standard BOF bodies of the engine's own substreams.
Bytes standardBof(std::uint16_t substreamType);

} // namespace sheet
