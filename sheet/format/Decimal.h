#pragma once

// Locale-independent decimal conversions shared by the evaluator, the number formats and
// typed input. Internal. (QString::toDouble and QString::number are correct but slow for
// per-cell work; the C functions follow the process locale, which a Qt program sets.)

#include <QString>
#include <charconv>
#include <cmath>

namespace sheet::decimal {

// Reads a plain ASCII decimal such as "-12.5e3"; false unless the whole text is a finite number.
inline bool parse(const QString& text, double* out)
{
    char buf[64];
    const int n = static_cast<int>(text.size());
    if (n == 0 || n >= static_cast<int>(sizeof buf))
        return false;
    for (int i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c > 0x7F)
            return false;
        buf[i] = static_cast<char>(c);
    }
    const char* begin = buf;
    if (*begin == '+')
        ++begin;
    const auto r = std::from_chars(begin, buf + n, *out);
    return r.ec == std::errc() && r.ptr == buf + n && std::isfinite(*out);
}

// The value as it reads with 15 significant digits, the precision the spreadsheet keeps.
inline double round15(double x)
{
    if (x == 0 || !std::isfinite(x))
        return x;
    char buf[40];
    const auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    double v = x;
    std::from_chars(buf, r.ptr, v);
    return v;
}

} // namespace sheet::decimal
