#pragma once

#include <QString>

// Separators of the user's locale.

// The user's decimal separator: "." or "," (the second character of one half as text).
QString LocaleDecimalSeparator();
// The user's date separator ("/" for US English, "." for German...).
QString LocaleDateSeparator();

enum class DecimalDirection { ToPoint, FromPoint };
// ToPoint: every locale decimal separator becomes ".". FromPoint: every "." and then every
// "," becomes the locale separator. Nothing else changes.
QString NormalizeDecimal(const QString& text, DecimalDirection direction);
