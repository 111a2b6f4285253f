#include "ImportText.h"

#include "base/Error.h"
#include "file/ReadFile.h"

#include <QFileInfo>
#include <QLocale>
#include <QMap>
#include <QStringDecoder>

namespace {

// Lines looked at to find the delimiter.
constexpr int DelimiterSampleRows = 50;

int LineOfOffset(const QByteArray& bytes, qsizetype offset)
{
    return static_cast<int>(QByteArrayView(bytes).first(offset).count('\n')) + 1;
}

// The offset of the first byte that is not part of a well-formed UTF-8 character, or -1.
qsizetype FirstBadUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        unsigned char low = 0x80, high = 0xBF; // the second byte's range
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            low = b == 0xE0 ? 0xA0 : 0x80;
            high = b == 0xED ? 0x9F : 0xBF; // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            low = b == 0xF0 ? 0x90 : 0x80;
            high = b == 0xF4 ? 0x8F : 0xBF;
        } else {
            return i;
        }
        if (i + length > n || p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF)
                return i;
        }
        i += length;
    }
    return -1;
}

bool IsBinaryCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r' && u != u'\f';
}

[[noreturn]] void RefuseBinary()
{
    throw ImportRefused(QStringLiteral("This file is not a text file. Please choose a CSV file (values separated by "
                                       "commas, semicolons or tabs) or a workbook saved by Kalmora (.xls)."));
}

// Splits the text into rows; stops after maxRows rows when maxRows >= 0 (for sampling).
class Splitter {
public:
    Splitter(const QString& text, QChar delimiter)
        : m_text(text)
        , m_delimiter(delimiter)
    {
    }

    QList<ImportRow> rows(int maxRows)
    {
        QList<ImportRow> rows;
        const qsizetype n = m_text.size();
        while (m_at < n && (maxRows < 0 || rows.size() < maxRows)) {
            ImportRow row;
            row.line = m_line;
            readRow(row.cells);
            bool blank = true;
            for (const QString& cell : row.cells)
                blank = blank && cell.trimmed().isEmpty();
            if (blank && row.cells.size() <= 1)
                continue;
            if (row.cells.size() > ImportColumnLimit)
                throw ImportRefused(QStringLiteral("Line %1 of this file holds more than %2 values, more than a log "
                                                   "could use. Nothing was imported.")
                                        .arg(row.line)
                                        .arg(ImportColumnLimit));
            m_cells += row.cells.size();
            if (m_cells > ImportCellLimit)
                throw ImportRefused(QStringLiteral("This file holds more values than a log could use (more than "
                                                   "%1). Nothing was imported.")
                                        .arg(QLocale().toString(ImportCellLimit)));
            rows.append(std::move(row));
            if (maxRows < 0 && rows.size() > ImportRowLimit + 1)
                throw ImportRefused(TooLargeMessage());
        }
        return rows;
    }

private:
    // One row: cells up to the line break that ends it (line breaks in quotes belong to the cell).
    void readRow(QStringList& cells)
    {
        const qsizetype n = m_text.size();
        const QChar* data = m_text.constData();
        QString cell;
        for (;;) {
            if (m_at < n && data[m_at] == u'"' && cell.trimmed().isEmpty()) {
                cell.clear();
                readQuoted(cell);
            }
            // The rest of the cell, up to the delimiter or the end of the line.
            const qsizetype start = m_at;
            while (m_at < n && data[m_at] != m_delimiter && data[m_at] != u'\n' && data[m_at] != u'\r')
                ++m_at;
            cell.append(QStringView(data + start, m_at - start));
            cells.append(cell);
            cell.clear();
            if (m_at >= n)
                return;
            if (data[m_at] == m_delimiter) {
                ++m_at;
                continue;
            }
            skipLineBreak();
            return;
        }
    }

    void readQuoted(QString& cell)
    {
        const qsizetype n = m_text.size();
        const QChar* data = m_text.constData();
        const int opened = m_line;
        ++m_at;
        for (;;) {
            const qsizetype start = m_at;
            while (m_at < n && data[m_at] != u'"') {
                if (data[m_at] == u'\n' || (data[m_at] == u'\r' && (m_at + 1 >= n || data[m_at + 1] != u'\n')))
                    ++m_line;
                ++m_at;
            }
            cell.append(QStringView(data + start, m_at - start));
            if (m_at >= n)
                throw ImportRefused(QStringLiteral("The quotation mark that opens a value on line %1 is never closed, "
                                                   "so the file cannot be read. Nothing was imported.")
                                        .arg(opened));
            ++m_at;
            if (m_at < n && data[m_at] == u'"') {
                cell.append(u'"');
                ++m_at;
                continue;
            }
            return;
        }
    }

    void skipLineBreak()
    {
        const QChar* data = m_text.constData();
        if (data[m_at] == u'\r' && m_at + 1 < m_text.size() && data[m_at + 1] == u'\n')
            ++m_at;
        ++m_at;
        ++m_line;
    }

    const QString& m_text;
    QChar m_delimiter;
    qsizetype m_at = 0;
    int m_line = 1;
    qint64 m_cells = 0;
};

// How well a delimiter splits the sample: the share of rows with the most frequent number of
// cells, when that number is above one.
double DelimiterScore(const QString& text, QChar delimiter)
{
    QList<ImportRow> sample;
    try {
        sample = Splitter(text, delimiter).rows(DelimiterSampleRows);
    } catch (const ImportRefused&) {
        return 0;
    }
    if (sample.isEmpty())
        return 0;
    QMap<int, int> counts;
    for (const ImportRow& row : sample)
        ++counts[static_cast<int>(row.cells.size())];
    int modal = 0;
    int modalRows = 0;
    for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
        if (it.value() > modalRows || (it.value() == modalRows && it.key() > modal)) {
            modal = it.key();
            modalRows = it.value();
        }
    }
    if (modal < 2)
        return 0;
    return static_cast<double>(modalRows) / sample.size();
}

} // namespace

QString TooLargeMessage()
{
    return QStringLiteral("This file is too large to import: files of more than 50 MB or more than 200,000 rows "
                          "are refused. Nothing was imported.");
}

QByteArray ReadImportBytes(const QString& path)
{
    if (QFileInfo(path).isFile() && QFileInfo(path).size() > ImportByteLimit)
        throw ImportRefused(TooLargeMessage());
    QByteArray bytes;
    try {
        bytes = sheet::readRegularFile(path, ImportByteLimit);
    } catch (const sheet::Error& e) {
        if (QFileInfo(path).isFile() && QFileInfo(path).size() > ImportByteLimit)
            throw ImportRefused(TooLargeMessage());
        throw ImportRefused(e.message() + QStringLiteral(". Nothing was imported."));
    }
    // The file may have grown while it was read.
    if (bytes.size() > ImportByteLimit)
        throw ImportRefused(TooLargeMessage());
    return bytes;
}

QString DecodeImportText(const QByteArray& bytes)
{
    if (bytes.isEmpty())
        throw ImportRefused(QStringLiteral("This file is empty. Nothing was imported."));
    QString text;
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        QStringDecoder utf16(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                             QStringDecoder::Flag::Stateless);
        text = utf16.decode(QByteArrayView(bytes).sliced(2));
        if (utf16.hasError() || (bytes.size() % 2) != 0)
            throw ImportRefused(QStringLiteral("This file says it is UTF-16 text but holds bytes that are not. "
                                               "Nothing was imported."));
    } else {
        if (bytes.contains('\0'))
            RefuseBinary();
        const qsizetype bad = FirstBadUtf8(bytes);
        if (bad >= 0)
            throw ImportRefused(
                QStringLiteral("Line %1 of this file holds bytes that are not UTF-8 text. Please save the file as "
                               "UTF-8 (\"CSV UTF-8\" in most spreadsheets) and import it again. Nothing was imported.")
                    .arg(LineOfOffset(bytes, bad)));
        text = QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes);
    }
    for (const QChar c : text) {
        if (IsBinaryCharacter(c))
            RefuseBinary();
    }
    if (text.trimmed().isEmpty())
        throw ImportRefused(QStringLiteral("This file holds no values. Nothing was imported."));
    return text;
}

QChar DetectDelimiter(const QString& text)
{
    QChar best = u',';
    double bestScore = 0;
    for (const QChar candidate : {QChar(u'\t'), QChar(u';'), QChar(u',')}) {
        const double score = DelimiterScore(text, candidate);
        if (score > bestScore) {
            best = candidate;
            bestScore = score;
        }
    }
    return best;
}

ImportTable SplitDelimited(const QString& text, QChar delimiter)
{
    ImportTable table;
    table.delimiter = delimiter;
    table.rows = Splitter(text, delimiter).rows(-1);
    return table;
}
