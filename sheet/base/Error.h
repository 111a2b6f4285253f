#pragma once

#include <QString>
#include <stdexcept>

namespace sheet {

// Every failure the engine reports is one of these; what() / message() is the text a
// user-facing error report shows, so keep it readable.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString())
        , m_message(message)
    {
    }
    const QString& message() const noexcept { return m_message; }

private:
    QString m_message;
};

// A file that does not follow the format (truncated record, bad index, loop in a chain...).
class FormatError : public Error {
public:
    using Error::Error;
};

// A spreadsheet file of another version than Excel 97-2003 (BIFF8): the message says which
// ("an Excel 4.0 (BIFF4) workbook; ...").
class UnsupportedFormatError : public FormatError {
public:
    using FormatError::FormatError;
};

} // namespace sheet
