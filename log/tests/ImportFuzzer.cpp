// libFuzzer target for reading a file to import: any bytes, into either log, must give entries
// or one refusal, never a crash, a hang or memory out of bounds. The first byte chooses the
// log and the locale's date order; the rest is the file.
#include "LogImport.h"

#include <QLocale>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool imperial = (data[0] & 1) != 0;
    const QLocale locale((data[0] & 2) != 0 ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                            : QLocale(QLocale::English, QLocale::UnitedStates));
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
    try {
        const QString text = DecodeImportText(bytes);
        const ImportTable table = SplitDelimited(text, DetectDelimiter(text));
        const ImportLayout layout = DetectLayout(table, imperial, locale);
        const ImportResult result = ConvertImport(table, layout, imperial);
        const QList<LogEntry> log = {{QStringLiteral("1/1/2024"), QStringLiteral("80")}};
        for (const SameDate rule : {SameDate::Skip, SameDate::Replace, SameDate::KeepBoth})
            (void)MergeImport(log, result.entries, rule);
        (void)DescribeRejected(result.rejected);
    } catch (const ImportRefused&) {
    }
    return 0;
}
