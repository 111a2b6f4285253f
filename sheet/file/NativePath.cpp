#include "file/NativePath.h"

#include <QStringDecoder>

namespace sheet {

namespace {

// The length of the valid UTF-8 sequence at bytes[i], or 0 when none starts there.
int validSequence(const QByteArray& bytes, qsizetype i)
{
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes.at(k)); };
    const unsigned char lead = at(i);
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char c = at(i + k);
        if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

} // namespace

QString decodePath(const QByteArray& bytes)
{
    QString path;
    path.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        qsizetype j = i;
        int n = 0;
        while (j < bytes.size() && (n = validSequence(bytes, j)) > 0)
            j += n;
        path += QString::fromUtf8(bytes.constData() + i, j - i);
        if (j < bytes.size()) {
            path += QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes.at(j))));
            ++j;
        }
        i = j;
    }
    return path;
}

QByteArray encodePath(const QString& path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype i = 0;
    while (i < path.size()) {
        qsizetype j = i;
        // Everything up to the next escaped byte goes out as UTF-8.
        while (j < path.size()) {
            const char16_t c = path.at(j).unicode();
            const bool escaped = c >= 0xDC80 && c <= 0xDCFF && (j == 0 || !path.at(j - 1).isHighSurrogate());
            if (escaped)
                break;
            ++j;
        }
        bytes += path.mid(i, j - i).toUtf8();
        if (j < path.size()) {
            bytes += static_cast<char>(path.at(j).unicode() - 0xDC00);
            ++j;
        }
        i = j;
    }
    return bytes;
}

QString environmentPath(const char* name) { return decodePath(qgetenv(name)); }

} // namespace sheet
