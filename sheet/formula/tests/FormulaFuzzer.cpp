// libFuzzer entry for the formula layer. The first byte picks what the rest is fed to:
// token streams (printer, evaluator, shifter), formula text (parser and round trip),
// typed input, or a number format code.

#include "model/Error.h"
#include "formula/Formula.h"
#include "formula/NumberFormat.h"
#include "formula/TypedInput.h"

#include <QLocale>
#include <cstdlib>

using namespace sheet;

namespace {

struct Cells : EvalEnv, FormulaEnv {
    Value cellValue(int ixti, int row, int col) const override
    {
        switch ((ixti + row + col) % 5) {
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
    int ixtiForSheet(const QString& name) const override { return name == QLatin1String("Data") ? 0 : -1; }
    QString sheetForIxti(int ixti) const override { return ixti == 0 ? QStringLiteral("Data") : QString(); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const Cells cells;
    const std::uint8_t mode = data[0] % 4;
    const Bytes rest(data + 1, data + size);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(rest.data()), static_cast<qsizetype>(rest.size()));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    try {
        switch (mode) {
        case 0: {
            try {
                formulaText(rest, &cells);
            } catch (const FormatError&) {
            }
            try {
                evaluateFormula(rest, cells);
            } catch (const FormatError&) {
            }
            try {
                shiftFormula(rest, 7, -3);
                formulaReferences(rest);
                sharedFormulaForCell(rest, 100, 5);
            } catch (const FormatError&) {
            }
            break;
        }
        case 1: {
            Bytes tokens;
            try {
                tokens = parseFormula(text, &cells);
            } catch (const Error&) {
                break;
            }
            // Whatever compiles prints, and the print compiles to the same tokens.
            if (parseFormula(formulaText(tokens, &cells), &cells) != tokens)
                std::abort();
            evaluateFormula(tokens, cells);
            break;
        }
        case 2:
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
