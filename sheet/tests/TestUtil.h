#pragma once

#include "biff/Bytes.h"
#include "biff/Record.h"
#include "base/Value.h"

#include <QFile>
#include <QString>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

// Readable values in assertion messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace sheet {
inline void PrintTo(const Value& v, std::ostream* os)
{
    switch (v.type()) {
    case Value::Type::Empty: *os << "(empty)"; break;
    case Value::Type::Number: *os << v.asNumber(); break;
    case Value::Type::String: *os << '"' << v.asString().toStdString() << '"'; break;
    case Value::Type::Bool: *os << (v.asBool() ? "TRUE" : "FALSE"); break;
    case Value::Type::Error: *os << errorText(v.asError()).toStdString(); break;
    }
}
} // namespace sheet

namespace sheet::test {

inline QString dataPath(const char* name) { return QStringLiteral(SHEET_TEST_DATA "/") + QString::fromLatin1(name); }

inline Bytes readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray d = f.readAll();
    return Bytes(d.begin(), d.end());
}

inline std::string hexAround(const Bytes& b, std::size_t at)
{
    std::string out;
    const std::size_t from = at >= 8 ? at - 8 : 0;
    for (std::size_t i = from; i < std::min(b.size(), at + 8); ++i) {
        char buf[8];
        std::snprintf(buf, sizeof buf, i == at ? "[%02X]" : "%02X ", b[i]);
        out += buf;
    }
    return out;
}

// Compares written bytes with an annotated expected buffer; on a mismatch names the first
// differing offset and shows the bytes around it.
inline ::testing::AssertionResult sameBytes(const Bytes& actual, const Bytes& expected)
{
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (actual[i] != expected[i])
            return ::testing::AssertionFailure()
                << "first difference at offset " << i << "\n  actual:   " << hexAround(actual, i)
                << "\n  expected: " << hexAround(expected, i);
    }
    if (actual.size() != expected.size())
        return ::testing::AssertionFailure() << "sizes differ: actual " << actual.size() << ", expected "
                                             << expected.size() << " (equal up to offset " << n << ")";
    return ::testing::AssertionSuccess();
}

// A record as the stream holds it: header then body.
inline Bytes recordBytes(std::uint16_t id, const Bytes& body)
{
    Bytes out;
    appendRecord(out, id, body);
    return out;
}

} // namespace sheet::test
