#include "biff/CellRecords.h"

#include <cmath>
#include <cstring>

namespace sheet {

double decodeRk(std::uint32_t rk)
{
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, 8);
    }
    return (rk & 0x01) ? v / 100.0 : v;
}

bool encodeRk(double v, std::uint32_t* rk)
{
    if (!std::isfinite(v))
        return false;
    auto same = [](double a, double b) { return std::memcmp(&a, &b, 8) == 0; };
    // 30-bit integers
    if (v == std::floor(v) && v >= -536870912.0 && v <= 536870911.0) {
        const std::uint32_t r = (static_cast<std::uint32_t>(static_cast<std::int32_t>(v)) << 2) | 0x02;
        if (same(decodeRk(r), v)) {
            *rk = r;
            return true;
        }
    }
    // doubles whose low 34 bits are zero
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    if ((bits & 0x3FFFFFFFFull) == 0) {
        const std::uint32_t r = static_cast<std::uint32_t>(bits >> 32);
        if (same(decodeRk(r), v)) {
            *rk = r;
            return true;
        }
    }
    // hundredths
    const double h = v * 100.0;
    if (std::isfinite(h) && h == std::floor(h) && h >= -536870912.0 && h <= 536870911.0) {
        const std::uint32_t r = (static_cast<std::uint32_t>(static_cast<std::int32_t>(h)) << 2) | 0x03;
        if (same(decodeRk(r), v)) {
            *rk = r;
            return true;
        }
    }
    std::memcpy(&bits, &h, 8);
    if (std::isfinite(h) && (bits & 0x3FFFFFFFFull) == 0) {
        const std::uint32_t r = static_cast<std::uint32_t>(bits >> 32) | 0x01;
        if (same(decodeRk(r), v)) {
            *rk = r;
            return true;
        }
    }
    return false;
}

Value decodeFormulaResult(const std::uint8_t* p, bool* stringFollows)
{
    *stringFollows = false;
    if (p[6] == 0xFF && p[7] == 0xFF) {
        switch (p[0]) {
        case 0: *stringFollows = true; return Value::string(QString());
        case 1: return Value::boolean(p[2] != 0);
        case 2:
            return isKnownErrorCode(p[2]) ? Value::error(static_cast<ErrorCode>(p[2])) : Value::error(ErrorCode::NA);
        case 3: return Value::string(QString());
        default: return Value();
        }
    }
    double v;
    std::memcpy(&v, p, 8);
    return Value::number(v);
}

void encodeFormulaResult(ByteWriter& w, const Value& v)
{
    auto special = [&w](std::uint8_t kind, std::uint8_t value) {
        w.u8(kind);
        w.u8(0);
        w.u8(value);
        w.u8(0);
        w.u8(0);
        w.u8(0);
        w.u16(0xFFFF);
    };
    switch (v.type()) {
    case Value::Type::Empty: w.f64(0.0); break;
    case Value::Type::Number:
        if (std::isfinite(v.asNumber()))
            w.f64(v.asNumber());
        else
            special(2, static_cast<std::uint8_t>(ErrorCode::Num));
        break;
    case Value::Type::String: special(v.asString().isEmpty() ? 3 : 0, 0); break;
    case Value::Type::Bool: special(1, v.asBool() ? 1 : 0); break;
    case Value::Type::Error: special(2, static_cast<std::uint8_t>(v.asError())); break;
    }
}

} // namespace sheet
