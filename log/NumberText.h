#pragma once

#include <QString>

#include <optional>

// Numbers of the logs (measurements and heights) are stored with a point before the decimals
// whatever the locale ("35.5"), and shown and typed in the user's locale ("35,5" in German).
// Only the decimal separator changes between the two forms: the digits stay as typed, and a
// text that is not such a number (a fraction like "3/8", a word) is the same in both.

// The stored form of a text shown to or typed by the user.
QString StoredNumberText(const QString& shown);

// The stored text in today's form: a decimal comma that an older version stored ("35,5": a
// comma followed by one or two digits, so it cannot be a thousands separator) becomes a point.
// Any other text is returned unchanged.
QString CanonicalStoredNumber(const QString& stored);

// The text to show for a stored text (of today's or the older form).
QString ShownNumberText(const QString& stored);

// A number typed in the user's locale: digits with at most one decimal separator, an optional
// minus sign, blanks around it; no thousands separators. Nothing when the text is not one.
std::optional<double> ReadTypedNumber(const QString& text);

// A number in the user's locale for messages, e.g. ExampleNumber(72.5) is "72,5" in German.
QString ExampleNumber(double value);
