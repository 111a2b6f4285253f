#include "Value.h"

namespace sheet {

namespace {
struct ErrorName {
    ErrorCode code;
    const char* text;
};
constexpr ErrorName kErrorNames[] = {
    {ErrorCode::Null, "#NULL!"}, {ErrorCode::Div0, "#DIV/0!"}, {ErrorCode::Value, "#VALUE!"}, {ErrorCode::Ref, "#REF!"},
    {ErrorCode::Name, "#NAME?"}, {ErrorCode::Num, "#NUM!"},    {ErrorCode::NA, "#N/A"},
};
} // namespace

QString errorText(ErrorCode code)
{
    for (const auto& e : kErrorNames)
        if (e.code == code)
            return QString::fromLatin1(e.text);
    return QStringLiteral("#N/A");
}

bool errorFromText(const QString& text, ErrorCode* out)
{
    for (const auto& e : kErrorNames) {
        if (text.compare(QLatin1String(e.text), Qt::CaseInsensitive) == 0) {
            if (out)
                *out = e.code;
            return true;
        }
    }
    return false;
}

bool isKnownErrorCode(std::uint8_t code)
{
    for (const auto& e : kErrorNames)
        if (static_cast<std::uint8_t>(e.code) == code)
            return true;
    return false;
}

bool Value::operator==(const Value& o) const
{
    if (m_type != o.m_type)
        return false;
    switch (m_type) {
    case Type::Empty: return true;
    case Type::Number:
    case Type::Bool: return m_number == o.m_number;
    case Type::String: return m_string == o.m_string;
    case Type::Error: return m_error == o.m_error;
    }
    return false;
}

} // namespace sheet
