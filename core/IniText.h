#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

// The text of an INI settings file exactly as QSettings (IniFormat, Unix line ends) writes it
// for the given keys ("Section/key" → value, as QSettings::allKeys() and value() give them):
// sections and keys in sorted order, keys and sections %-escaped, texts quoted and escaped,
// lists joined by ", ", other types in @Type(...) form. The settings store produces its file
// with this, so that writing it through the durable helper changes nothing in its text.
QByteArray IniFileText(const QMap<QString, QVariant>& keys);

// A settings file as this program reads and writes it. Values are kept as the bytes that stand
// after "=" (without the blanks around them), so a value nobody changes is written back
// exactly as it was; sections and keys are kept apart, so a section name with a "/" in it
// ("[\Lead]") comes back as it was. Sections and keys are written in sorted order, as
// QSettings writes them: a file QSettings wrote comes back byte for byte.
struct IniDocument {
    // Section ("" is [General]) → key → raw value.
    QMap<QString, QMap<QString, QByteArray>> sections;
    // What the text held that cannot be written back exactly (a line that is no section,
    // comment or key, a key given twice, text that is no UTF-8, control characters, an
    // unclosed quote), one description per line; empty when the file reads whole. Comment
    // lines and blanks are dropped without a word, as QSettings drops them.
    QStringList problems;

    bool contains(const QString& section, const QString& key) const;
    // The value's text (see IniValueText); the default when the key is missing.
    QString text(const QString& section, const QString& key, const QString& defaultValue = QString()) const;
    void setText(const QString& section, const QString& key, const QString& text);
    // The same keys and values (problems and sections without keys aside).
    bool operator==(const IniDocument& other) const;
    bool operator!=(const IniDocument& other) const { return !(*this == other); }
};

IniDocument ParseIniText(const QByteArray& bytes);
QByteArray IniDocumentText(const IniDocument& document);

// The text a raw value stands for, read as this store writes values: quotes and escapes as
// QSettings writes them, and everything else literally, ";" and "," included (QSettings
// would cut a value at an unquoted ";" and split it at an unquoted ","). A text that begins
// with "@" is written with a second one before it, and read back without it.
QString IniValueText(const QByteArray& raw);
// The raw value this store writes for a text (QSettings' form for a QString).
QByteArray IniRawValue(const QString& text);
