// libFuzzer entry for the formula layer. The first byte picks what the rest is fed to:
// token streams with their array constants (printer, evaluator in a cell and over an array
// range, shifter), formula text of a cell, an array range or a name (parser and round trip),
// typed input, or a number format code. The environment has three sheets and a run of them,
// defined names (one refers to itself, one is a function's name) and an add-in function.

#include "base/Error.h"
#include "biff/Bytes.h"
#include "formula/Formula.h"
#include "format/NumberFormat.h"
#include "format/TypedInput.h"

#include <QLocale>
#include <cstdlib>

using namespace sheet;

namespace {

const char* const kSheets[] = {"Data", "Calc", "Third"};
constexpr int kSpan = 3;  // EXTERNSHEET index of Data:Third
constexpr int kAddIn = 4; // EXTERNSHEET index of the add-in functions

struct Book : EvalEnv, FormulaEnv {
    Book()
    {
        // 1 Total = SUM(Data!$A$1:$A$3), 2 Rate = 0.5, 3 Self = Self+1, 4 _xlfn.IFERROR,
        // 5 Pair = {1,2}, 6 Here = Calc!A1 written as an offset (a relative reference)
        names[0].name = QStringLiteral("Total");
        names[0].rgce = {0x3B, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0x19, 0x10, 0, 0};
        names[1].name = QStringLiteral("Rate");
        names[1].rgce = parseFormula(QStringLiteral("=0.5"), nullptr, nullptr, FormulaKind::Name);
        names[2].name = QStringLiteral("Self");
        names[2].rgce = {0x23, 3, 0, 0, 0, 0x1E, 1, 0, 0x03};
        names[3].name = QStringLiteral("_xlfn.IFERROR");
        names[3].function = true;
        names[4].name = QStringLiteral("Pair");
        names[4].rgce = {0x60, 0, 0, 0, 0, 0, 0, 0};
        names[4].extra = {1, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x40};
        names[5].name = QStringLiteral("Here");
        names[5].rgce = {0x3A, 1, 0, 0, 0, 0, 0xC0};
    }

    // cells
    Value cellValue(int sheet, int row, int col) const override
    {
        switch ((sheet + row + col) % 5) {
        case 0: return Value();
        case 1: return Value::number(row - col * 0.5);
        case 2: return Value::string(QStringLiteral("x"));
        case 3: return Value::boolean(true);
        default: return Value::error(ErrorCode::NA);
        }
    }
    void usedExtent(int, int* lastRow, int* lastCol) const override
    {
        *lastRow = 40;
        *lastCol = 10;
    }
    bool formulaCell(int* row, int* col) const override
    {
        *row = 4;
        *col = 2;
        return true;
    }
    bool externSheets(int ixti, int* first, int* last) const override
    {
        if (ixti >= 0 && ixti < 3) {
            *first = *last = ixti;
            return true;
        }
        if (ixti == kSpan) {
            *first = 0;
            *last = 2;
            return true;
        }
        return false;
    }
    bool sheetByName(const QString& name, int* sheet) const override
    {
        for (int i = 0; i < 3; ++i)
            if (name.compare(QLatin1String(kSheets[i]), Qt::CaseInsensitive) == 0) {
                *sheet = i;
                return true;
            }
        return false;
    }
    QString sheetName(int sheet) const override
    {
        return sheet >= 0 && sheet < 3 ? QString::fromLatin1(kSheets[sheet]) : QString();
    }
    bool definedName(int index, NameDefinition* out) const override
    {
        if (index < 1 || index > 6)
            return false;
        *out = names[index - 1];
        return true;
    }
    bool externName(int ixti, int index, NameDefinition* out) const override
    {
        if (ixti != kAddIn || index != 1)
            return false;
        out->name = QStringLiteral("BIN2DEC");
        out->function = true;
        return true;
    }

    // formula text
    int ixtiForSheet(const QString& name) const override
    {
        int s = -1;
        return sheetByName(name, &s) ? s : -1;
    }
    QString sheetForIxti(int ixti) const override
    {
        return ixti == kSpan ? QStringLiteral("Data:Third") : sheetName(ixti);
    }
    int ixtiForSheetSpan(const QString& first, const QString& last) const override
    {
        int a = -1, b = -1;
        if (!sheetByName(first, &a) || !sheetByName(last, &b))
            return -1;
        if (a == b)
            return a;
        return a == 0 && b == 2 ? kSpan : -1;
    }
    int nameIndex(const QString& name, const QString& sheet) const override
    {
        if (!sheet.isEmpty())
            return 0;
        for (int i = 0; i < 6; ++i)
            if (i != 3 && names[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i + 1;
        return 0;
    }
    QString nameText(int index) const override { return index >= 1 && index <= 6 ? names[index - 1].name : QString(); }
    QString externNameText(int ixti, int index) const override
    {
        return ixti == kAddIn && index == 1 ? QStringLiteral("BIN2DEC") : QString();
    }
    bool addInFunction(const QString& name, int* ixti, int* index) const override
    {
        if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive)) {
            *ixti = -1;
            *index = 4;
        } else {
            *ixti = kAddIn;
            *index = 1;
        }
        return true;
    }

    NameDefinition names[6];
};

// Evaluation may refuse a function it does not compute (an Error); it must not crash.
void evaluate(const Bytes& rgce, const Book& book, const Bytes& extra)
{
    try {
        evaluateFormula(rgce, book, extra);
    } catch (const FormatError&) {
        throw;
    } catch (const Error&) {
    }
    try {
        evaluateArrayFormula(rgce, book, 3, 2, extra);
    } catch (const FormatError&) {
        throw;
    } catch (const Error&) {
    }
}

// Text that compiles prints, and the print compiles to the same tokens and constants.
void roundTrip(const QString& text, const Book& book, FormulaKind kind)
{
    Bytes extra, tokens;
    try {
        tokens = parseFormula(text, &book, &extra, kind);
    } catch (const Error&) {
        return;
    }
    Bytes extraAgain;
    if (parseFormula(formulaText(tokens, &book, extra), &book, &extraAgain, kind) != tokens || extraAgain != extra)
        std::abort();
    if (arrayConstantsSize(tokens, extra) != extra.size())
        std::abort();
    evaluate(tokens, book, extra);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const Book book;
    const std::uint8_t mode = data[0] % 6;
    const Bytes rest(data + 1, data + size);
    const QString text
        = QString::fromUtf8(reinterpret_cast<const char*>(rest.data()), static_cast<qsizetype>(rest.size()));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    try {
        switch (mode) {
        case 0: {
            // tokens, then after a length byte's worth of them, their array constants
            const std::size_t n = rest.empty() ? 0 : std::min<std::size_t>(rest[0], rest.size() - 1);
            const Bytes rgce
                = rest.empty() ? Bytes() : Bytes(rest.begin() + 1, rest.begin() + 1 + static_cast<std::ptrdiff_t>(n));
            const Bytes extra
                = rest.empty() ? Bytes() : Bytes(rest.begin() + 1 + static_cast<std::ptrdiff_t>(n), rest.end());
            try {
                formulaText(rgce, &book, extra);
            } catch (const FormatError&) {
            }
            try {
                evaluate(rgce, book, extra);
            } catch (const FormatError&) {
            }
            try {
                shiftFormula(rgce, 7, -3);
                formulaReferences(rgce);
                formulaNames(rgce);
                formulaIsVolatile(rgce);
                arrayConstantsSize(rgce, extra);
                sharedFormulaForCell(rgce, 100, 5);
                int row = 0, col = 0;
                sharedFormulaAnchor(rgce, &row, &col);
                dataTableAnchor(rgce, &row, &col);
            } catch (const FormatError&) {
            }
            break;
        }
        case 1: roundTrip(text, book, FormulaKind::Cell); break;
        case 2: roundTrip(text, book, FormulaKind::Array); break;
        case 3: roundTrip(text, book, FormulaKind::Name); break;
        case 4:
            interpretTypedInput(text, us, QStringLiteral("# ?/?"));
            interpretTypedInput(text, de, QStringLiteral("General"));
            break;
        default:
            for (double v : {0.0, -1.5, 38148.25, 1e300, 0.375})
                formatValue(Value::number(v), text, us);
            formatValue(Value::string(QStringLiteral("t")), text, de);
            isDateFormat(text);
            isFractionFormat(text);
            break;
        }
    } catch (const FormatError&) {
        std::abort(); // well-formed input must not be refused as malformed
    }
    return 0;
}
