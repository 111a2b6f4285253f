#pragma once

#include <QString>
#include <cstdint>

namespace sheet {

// Error values as BIFF8 encodes them.
enum class ErrorCode : std::uint8_t {
    Null = 0x00,
    Div0 = 0x07,
    Value = 0x0F,
    Ref = 0x17,
    Name = 0x1D,
    Num = 0x24,
    NA = 0x2A,
};

QString errorText(ErrorCode code); // "#DIV/0!" ...
bool errorFromText(const QString& text, ErrorCode* out);
bool isKnownErrorCode(std::uint8_t code);

// A cell's content or a formula result: empty, number, text, boolean or error.
class Value {
public:
    enum class Type : std::uint8_t { Empty, Number, String, Bool, Error };

    Value() = default;
    static Value number(double v)
    {
        Value r;
        r.m_type = Type::Number;
        r.m_number = v;
        return r;
    }
    static Value string(const QString& s)
    {
        Value r;
        r.m_type = Type::String;
        r.m_string = s;
        return r;
    }
    static Value boolean(bool b)
    {
        Value r;
        r.m_type = Type::Bool;
        r.m_number = b ? 1 : 0;
        return r;
    }
    static Value error(ErrorCode e)
    {
        Value r;
        r.m_type = Type::Error;
        r.m_error = e;
        return r;
    }

    Type type() const { return m_type; }
    bool isEmpty() const { return m_type == Type::Empty; }
    bool isNumber() const { return m_type == Type::Number; }
    bool isString() const { return m_type == Type::String; }
    bool isBool() const { return m_type == Type::Bool; }
    bool isError() const { return m_type == Type::Error; }

    double asNumber() const { return m_number; } // Number, or Bool as 0/1
    bool asBool() const { return m_number != 0; }
    const QString& asString() const { return m_string; }
    ErrorCode asError() const { return m_error; }

    bool operator==(const Value& o) const;
    bool operator!=(const Value& o) const { return !(*this == o); }

private:
    Type m_type = Type::Empty;
    double m_number = 0;
    ErrorCode m_error = ErrorCode::Null;
    QString m_string;
};

} // namespace sheet
