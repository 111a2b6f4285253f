#pragma once

#include "formula/Formula.h"

namespace sheet {

class Workbook;

// Formula text in a workbook: sheet names resolve through its EXTERNSHEET table (entries
// added as needed), names through its NAME records as seen from the formula's sheet, add-in
// functions through its add-in links.
class BookFormulaEnv : public FormulaEnv {
public:
    // `sheet`: the sheet the formula is on, -1 for none (a workbook name's formula).
    BookFormulaEnv(Workbook* book, int sheet)
        : m_book(book)
        , m_sheet(sheet)
    {
    }

    int ixtiForSheet(const QString& sheetName) const override;
    QString sheetForIxti(int ixti) const override;
    int ixtiForSheetSpan(const QString& first, const QString& last) const override;
    int nameIndex(const QString& name, const QString& sheet) const override;
    QString nameText(int index) const override;
    QString externNameText(int ixti, int index) const override;
    bool addInFunction(const QString& name, int* ixti, int* index) const override;

private:
    Workbook* m_book;
    int m_sheet;
};

} // namespace sheet
