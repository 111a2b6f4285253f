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
