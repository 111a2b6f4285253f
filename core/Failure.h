#pragma once

#include <QString>
#include <stdexcept>

// A failure of one step of a guarded procedure. The text is what the error report shows, so
// it is written for the user.
class Failure : public std::runtime_error {
public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString())
    {
    }

    QString description() const { return QString::fromUtf8(what()); }
};

// A settings write that did not reach the disk. One command can write several settings; it
// reports the first such failure only (see Guarded).
class SettingsNotSaved : public Failure {
public:
    using Failure::Failure;
};
