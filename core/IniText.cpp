#include "IniText.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringDecoder>
#include <QStringList>

#include <cstring>

namespace {

char hexUpper(uint digit) { return "0123456789ABCDEF"[digit & 0xF]; }

bool isHexDigit(uint c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Letters, digits, '_', '-' and '.' stay; '/' becomes '\'; everything else is %XX or %UXXXX.
void appendEscapedKey(const QString& key, QByteArray& out)
{
    for (const QChar qc : key) {
        uint c = qc.unicode();
        if (c == '/') {
            out += '\\';
        } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
                   || c == '.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += hexUpper(c / 16);
            out += hexUpper(c % 16);
        } else {
            out += "%U";
            char digits[4];
            for (int i = 3; i >= 0; --i) {
                digits[i] = hexUpper(c % 16);
                c >>= 4;
            }
            out.append(digits, 4);
        }
    }
}

// A value text: control characters escaped, '"' and '\' escaped, UTF-8 otherwise, and quoted
// when it holds ';', ',' or '=' or begins or ends with a blank. Binary forms (@ByteArray,
// @Variant, @DateTime) keep their bytes and escape those from 0x7F up instead.
// "[name]" as QSettings writes it: the keyless section is General, a real "General" is escaped.
QByteArray sectionHeader(const QString& name)
{
    QByteArray header;
    appendEscapedKey(name, header);
    if (header.isEmpty())
        return "[General]";
    if (header.compare("general", Qt::CaseInsensitive) == 0)
        return "[%General]";
    return '[' + header + ']';
}

void appendEscapedString(const QString& text, QByteArray& out)
{
    const bool binary = text.startsWith(QLatin1String("@ByteArray(")) || text.startsWith(QLatin1String("@Variant("))
        || text.startsWith(QLatin1String("@DateTime("));
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfHex = false;
    // Plain characters gather here and go out as UTF-8 together, so surrogate pairs stay whole.
    QString plain;
    auto flush = [&] {
        if (!plain.isEmpty()) {
            out += plain.toUtf8();
            plain.clear();
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar qc = text.at(i);
        const uint c = qc.unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
        // Half a surrogate pair has no UTF-8: it goes out as a number (a hand-written escape
        // can make one), so that it reads back the same.
        const bool paired = (qc.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            || (qc.isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate());
        if (qc.isSurrogate() && !paired) {
            flush();
            out += "\\x" + QByteArray::number(c, 16);
            escapeNextIfHex = true;
            continue;
        }
        // A hex digit right after a \x or \0 escape would be read as part of it.
        if (escapeNextIfHex && isHexDigit(c)) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfHex = false;
        if (c > 0x1F && c != '"' && c != '\\' && (c < 0x7F || !binary)) {
            if (binary)
                out += static_cast<char>(c);
            else
                plain += qc;
            continue;
        }
        flush();
        switch (c) {
        case 0:
            out += "\\0";
            escapeNextIfHex = true;
            break;
        case '\a': out += "\\a"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\v': out += "\\v"; break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(c);
            break;
        default: out += "\\x" + QByteArray::number(c, 16); escapeNextIfHex = true;
        }
    }
    flush();
    if (needsQuotes || (start < out.size() && (out.at(start) == ' ' || out.at(out.size() - 1) == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

QString streamed(const QVariant& value, const char* prefix, QDataStream::Version version)
{
    QByteArray bytes;
    {
        QDataStream stream(&bytes, QIODevice::WriteOnly);
        stream.setVersion(version);
        stream << value;
    }
    return QLatin1String(prefix) + QString::fromLatin1(bytes) + QLatin1Char(')');
}

QString variantText(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType: return QStringLiteral("@Invalid()");
    case QMetaType::QByteArray:
        return QStringLiteral("@ByteArray(") + QString::fromLatin1(value.toByteArray()) + QLatin1Char(')');
    case QMetaType::QString:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Bool:
    case QMetaType::Float:
    case QMetaType::Double:
    case QMetaType::QKeySequence: {
        QString text = value.toString();
        // A text with a NUL is wrapped; one that begins with '@' would read back as a type,
        // so its '@' is doubled.
        if (text.contains(QChar::Null))
            return QStringLiteral("@String(") + text + QLatin1Char(')');
        if (text.startsWith(QLatin1Char('@')))
            text.prepend(QLatin1Char('@'));
        return text;
    }
    case QMetaType::QRect: {
        const QRect r = value.toRect();
        return QStringLiteral("@Rect(%1 %2 %3 %4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    case QMetaType::QSize: {
        const QSize s = value.toSize();
        return QStringLiteral("@Size(%1 %2)").arg(s.width()).arg(s.height());
    }
    case QMetaType::QPoint: {
        const QPoint p = value.toPoint();
        return QStringLiteral("@Point(%1 %2)").arg(p.x()).arg(p.y());
    }
    case QMetaType::QDateTime: return streamed(value, "@DateTime(", QDataStream::Qt_5_6);
    default: return streamed(value, "@Variant(", QDataStream::Qt_4_0);
    }
}

void appendValue(const QVariant& value, QByteArray& out)
{
    const int type = value.metaType().id();
    // A one-element variant list is no list here (it goes out as @Variant), as in QSettings.
    if (type == QMetaType::QStringList || (type == QMetaType::QVariantList && value.toList().size() != 1)) {
        const QVariantList items = value.toList();
        if (items.isEmpty()) {
            out += "@Invalid()";
            return;
        }
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i != 0)
                out += ", ";
            appendEscapedString(variantText(items.at(i)), out);
        }
        return;
    }
    appendEscapedString(variantText(value), out);
}

} // namespace

QByteArray IniFileText(const QMap<QString, QVariant>& keys)
{
    // Section → key → value, both levels in sorted order; keys without a section go to General.
    QMap<QString, QMap<QString, QVariant>> sections;
    for (auto it = keys.constBegin(); it != keys.constEnd(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        if (slash < 0)
            sections[QString()][it.key()] = it.value();
        else
            sections[it.key().left(slash)][it.key().mid(slash + 1)] = it.value();
    }
    QByteArray out;
    bool first = true;
    for (auto s = sections.constBegin(); s != sections.constEnd(); ++s) {
        const QByteArray header = sectionHeader(s.key());
        if (!first)
            out += '\n';
        first = false;
        out += header + '\n';
        for (auto k = s.value().constBegin(); k != s.value().constEnd(); ++k) {
            appendEscapedKey(k.key(), out);
            out += '=';
            appendValue(k.value(), out);
            out += '\n';
        }
    }
    return out;
}

// ---------------------------------------------------------------- reading

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

QString decodeUtf8(QByteArrayView bytes, bool* bad)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (utf8.hasError() && bad)
        *bad = true;
    return text;
}

// QSettings' key escapes: '\' is '/', %XX and %UXXXX are characters; the rest is UTF-8.
QString unescapeKey(QByteArrayView key, bool* bad)
{
    QString result;
    QByteArray plain;
    auto flush = [&] {
        result += decodeUtf8(plain, bad);
        plain.clear();
    };
    for (qsizetype i = 0; i < key.size(); ++i) {
        const char c = key.at(i);
        if (c == '\\') {
            plain += '/';
            continue;
        }
        if (c != '%' || i + 1 >= key.size()) {
            plain += c;
            continue;
        }
        qsizetype first = i + 1;
        int digits = 2;
        if (key.at(first) == 'U') {
            ++first;
            digits = 4;
        }
        bool ok = first + digits <= key.size();
        uint code = 0;
        if (ok)
            code = key.sliced(first, digits).toByteArray().toUInt(&ok, 16);
        if (!ok) {
            plain += '%';
            continue;
        }
        flush();
        result += QChar(static_cast<char16_t>(code));
        i = first + digits - 1;
    }
    flush();
    return result;
}

// One logical line: a physical line, joined with the next while it ends in an odd number of
// backslashes (a continued value). Returns the line without its end; *pos moves past it.
QByteArrayView nextLine(const QByteArray& bytes, qsizetype* pos)
{
    const qsizetype start = *pos;
    qsizetype i = start;
    for (;;) {
        while (i < bytes.size() && bytes.at(i) != '\n' && bytes.at(i) != '\r')
            ++i;
        qsizetype slashes = 0;
        while (i - 1 - slashes >= start && bytes.at(i - 1 - slashes) == '\\')
            ++slashes;
        const qsizetype end = i;
        // \n, \r, \r\n and \n\r end a line.
        if (i < bytes.size()) {
            const char c = bytes.at(i++);
            if (i < bytes.size() && (bytes.at(i) == '\n' || bytes.at(i) == '\r') && bytes.at(i) != c)
                ++i;
        }
        if (slashes % 2 == 1 && i < bytes.size() && end < i)
            continue;
        *pos = i;
        return QByteArrayView(bytes).sliced(start, end - start);
    }
}

QByteArrayView trimmed(QByteArrayView v)
{
    while (!v.isEmpty() && isBlank(v.front()))
        v = v.sliced(1);
    while (!v.isEmpty() && isBlank(v.back()))
        v.chop(1);
    return v;
}

// A value whose last backslash escapes nothing (the file ends there): written back as it
// stands, the next line would continue it.
bool endsInOpenEscape(QByteArrayView value)
{
    qsizetype slashes = 0;
    while (slashes < value.size() && value.at(value.size() - 1 - slashes) == '\\')
        ++slashes;
    return slashes % 2 == 1;
}

bool hasUnclosedQuote(QByteArrayView value)
{
    bool quoted = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value.at(i) == '\\')
            ++i;
        else if (value.at(i) == '"')
            quoted = !quoted;
    }
    return quoted;
}

bool hasControlCharacter(QByteArrayView line)
{
    for (const char c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return true;
    }
    return false;
}

QString describe(int lineNumber, const QString& what)
{
    return QStringLiteral("line %1: %2").arg(lineNumber).arg(what);
}

// A section header's name: "" for [General] in any letter case, "General" for [%General].
QString sectionName(QByteArrayView inside, bool* bad)
{
    if (inside.size() == 7 && QByteArray(inside.data(), 7).compare("general", Qt::CaseInsensitive) == 0)
        return QString();
    if (inside == QByteArrayView("%General"))
        return QStringLiteral("General");
    return unescapeKey(inside, bad);
}

// The escape at raw[*i] (the character after the backslash): the C escapes, \\x and octal
// numbers, a continued line; any other character is dropped, as QSettings drops it.
void appendEscape(const QByteArray& raw, qsizetype* i, QString& text)
{
    const char e = raw.at(*i);
    static const char from[] = "abfnrtv\"?'\\";
    static const char to[] = "\a\b\f\n\r\t\v\"?'\\";
    if (const char* hit = std::strchr(from, e); hit && e != '\0') {
        text += QLatin1Char(to[hit - from]);
    } else if (e == 'x' || (e >= '0' && e <= '7')) {
        const int base = e == 'x' ? 16 : 8;
        uint code = e == 'x' ? 0 : uint(e - '0');
        while (*i + 1 < raw.size()) {
            const char d = raw.at(*i + 1);
            int digit = -1;
            if (d >= '0' && d <= '9')
                digit = d - '0';
            else if (base == 16 && d >= 'a' && d <= 'f')
                digit = d - 'a' + 10;
            else if (base == 16 && d >= 'A' && d <= 'F')
                digit = d - 'A' + 10;
            if (digit < 0 || digit >= base)
                break;
            code = code * uint(base) + uint(digit);
            ++*i;
        }
        text += QChar(static_cast<char16_t>(code));
    } else if (e == '\n' || e == '\r') {
        // A continued line: \n, \r, \r\n or \n\r.
        if (*i + 1 < raw.size() && (raw.at(*i + 1) == '\n' || raw.at(*i + 1) == '\r') && raw.at(*i + 1) != e)
            ++*i;
    }
}

} // namespace

IniDocument ParseIniText(const QByteArray& bytes)
{
    IniDocument document;
    QString section;
    qsizetype pos = 0;
    int physical = 1;
    while (pos < bytes.size()) {
        const int number = physical;
        const QByteArrayView raw = nextLine(bytes, &pos);
        physical += static_cast<int>(raw.count('\n') + raw.count('\r')) + 1;
        const QByteArrayView line = trimmed(raw);
        if (line.isEmpty() || line.front() == ';')
            continue;
        // A line that cannot be read back exactly is left out (the caller keeps a copy of the
        // whole text), so that what is written back reads whole.
        QString problem;
        bool bad = false;
        if (hasControlCharacter(line))
            problem = QStringLiteral("control characters");
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            if (close < 0 || !trimmed(line.sliced(close + 1)).isEmpty())
                problem = QStringLiteral("a section header with more on its line");
            section = sectionName(line.sliced(1, (close < 0 ? line.size() : close) - 1), &bad);
        } else if (const qsizetype equals = line.indexOf('='); equals < 0) {
            problem = QStringLiteral("neither a section, a comment nor a key");
        } else {
            const QString key = unescapeKey(trimmed(line.first(equals)), &bad);
            const QByteArrayView value = trimmed(line.sliced(equals + 1));
            decodeUtf8(value, &bad);
            if (hasUnclosedQuote(value))
                problem = QStringLiteral("a quote that is not closed");
            if (problem.isEmpty() && !bad) {
                QMap<QString, QByteArray>& keys = document.sections[section];
                if (keys.contains(key))
                    document.problems << describe(number, QStringLiteral("the key \"%1\" a second time").arg(key));
                // A value continued over several lines, or ending in a lone backslash, is
                // kept in the one-line form this store writes: written back as it stood, its
                // line ends could join it to the next key.
                const bool oneLine = !value.contains('\n') && !value.contains('\r') && !endsInOpenEscape(value);
                keys.insert(key, oneLine ? value.toByteArray() : IniRawValue(IniValueText(value.toByteArray())));
            }
        }
        if (bad && problem.isEmpty())
            problem = QStringLiteral("text that is not UTF-8");
        if (!problem.isEmpty())
            document.problems << describe(number, problem);
    }
    return document;
}

QString IniValueText(const QByteArray& raw)
{
    QString text;
    // Plain bytes gather here and are decoded together, so a character's UTF-8 stays whole.
    QByteArray plain;
    // Blanks at the end of the plain bytes that stand outside quotes: dropped at the end of the
    // value, as QSettings drops them.
    qsizetype openBlanks = 0;
    auto flush = [&] {
        text += decodeUtf8(plain, nullptr);
        plain.clear();
        openBlanks = 0;
    };
    bool quoted = false;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char c = raw.at(i);
        if (c == '"') {
            quoted = !quoted;
            flush();
            continue;
        }
        if (c != '\\') {
            plain += c;
            openBlanks = !quoted && isBlank(c) ? openBlanks + 1 : 0;
            continue;
        }
        flush();
        if (++i >= raw.size())
            break;
        appendEscape(raw, &i, text);
    }
    plain.chop(openBlanks);
    flush();
    if (text.startsWith(QLatin1String("@@")))
        return text.mid(1);
    if (text.startsWith(QLatin1String("@String(")) && text.endsWith(QLatin1Char(')')))
        return text.mid(8, text.size() - 9);
    return text;
}

QByteArray IniRawValue(const QString& text)
{
    QByteArray out;
    appendValue(QVariant(text), out);
    return out;
}

bool IniDocument::operator==(const IniDocument& other) const
{
    // A section without keys is no part of the text.
    auto withKeys = [](const IniDocument& document) {
        QMap<QString, QMap<QString, QByteArray>> kept;
        for (auto s = document.sections.cbegin(); s != document.sections.cend(); ++s) {
            if (!s->isEmpty())
                kept.insert(s.key(), *s);
        }
        return kept;
    };
    return withKeys(*this) == withKeys(other);
}

bool IniDocument::contains(const QString& section, const QString& key) const
{
    const auto s = sections.constFind(section);
    return s != sections.constEnd() && s->contains(key);
}

QString IniDocument::text(const QString& section, const QString& key, const QString& defaultValue) const
{
    const auto s = sections.constFind(section);
    if (s == sections.constEnd())
        return defaultValue;
    const auto k = s->constFind(key);
    return k == s->constEnd() ? defaultValue : IniValueText(*k);
}

void IniDocument::setText(const QString& section, const QString& key, const QString& text)
{
    sections[section].insert(key, IniRawValue(text));
}

QByteArray IniDocumentText(const IniDocument& document)
{
    QByteArray out;
    bool first = true;
    for (auto s = document.sections.constBegin(); s != document.sections.constEnd(); ++s) {
        // A section without keys is not written, as QSettings writes none.
        if (s->isEmpty())
            continue;
        const QByteArray header = sectionHeader(s.key());
        if (!first)
            out += '\n';
        first = false;
        out += header + '\n';
        for (auto k = s->constBegin(); k != s->constEnd(); ++k) {
            appendEscapedKey(k.key(), out);
            out += '=';
            out += k.value();
            out += '\n';
        }
    }
    return out;
}
