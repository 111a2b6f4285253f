#include "IniText.h"

#include <QDataStream>
#include <QIODevice>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QStringList>

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
    for (const QChar qc : text) {
        const uint c = qc.unicode();
        if (c == ';' || c == ',' || c == '=')
            needsQuotes = true;
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
        QByteArray header;
        appendEscapedKey(s.key(), header);
        if (header.isEmpty())
            header = "[General]";
        else if (header.compare("general", Qt::CaseInsensitive) == 0)
            header = "[%General]";
        else
            header = '[' + header + ']';
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
