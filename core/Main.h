#pragma once

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>

#include <functional>

class QWidget;

// Shared helpers of the program.

// The program's own folder (where the optional cursor and skin files are looked for).
QString ApplicationPath();
// Tests put the optional files in a folder of their own; an empty path restores the default.
void SetApplicationPathForTesting(const QString& path);
// ApplicationPath() + "/" + relative.
QString BesideProgram(const QString& relative);

// True when a file (not a folder) exists at path. Never fails.
bool FileExists(const QString& path);

// Deletes the file at path, read-only or not. Never fails and reports nothing; a file that
// cannot be deleted at all is left in place.
void DeleteFileForced(const QString& path);

// Writes bytes to a new file at path unless something already exists there (an existing file
// is never overwritten or examined). Throws Failure when the file cannot be written; a file
// left half-written is removed.
void WriteBytesIfMissing(const QByteArray& bytes, const QString& path);

// The picture the spreadsheet automation copied last (Range.CopyPicture), or a null image: the
// program's own clipboard, never the desktop's. Format 0 takes whatever picture it holds; 2 (bitmap) and 8
// (device-independent bitmap) name the same picture here; other formats give no picture. Failed attempts are repeated
// at once, at most 1000 attempts.
QImage GetClipboardPicture(int format = 0);
// The retry loop itself: calls attempt until it gives a picture, at most maxAttempts times.
QImage RetryPicture(const std::function<QImage()>& attempt, int maxAttempts = 1000);
constexpr int ClipboardPictureAttempts = 1000;

// The user's decimal separator: "." or "," (the second character of one half as text).
QString LocaleDecimalSeparator();
// The user's date separator ("/" for US English, "." for German...).
QString LocaleDateSeparator();

enum class DecimalDirection { ToPoint, FromPoint };
// ToPoint: every locale decimal separator becomes ".". FromPoint: every "." and then every
// "," becomes the locale separator. Nothing else changes.
QString NormalizeDecimal(const QString& text, DecimalDirection direction);

// The title cut at its last blank, repeated while longer than 40 characters, at least once.
// A title without a blank is kept whole (cut to 40 characters when longer).
QString ShortenedTitle(const QString& title);
// Makes the shortened product title the application title.
void ApplyApplicationTitle();
// The application title: the title of every message box that names none of its own. Before
// ApplyApplicationTitle it is the shortened product title all the same.
QString ApplicationTitle();

// Every window uses Arial 9 pt bold and every push button Arial 11.25 pt bold (fontconfig
// maps Arial to Liberation Sans).
QFont WindowFont();
QFont ButtonFont();
// Sets the window font on window and the button font on each of its push buttons.
void ApplyWindowFonts(QWidget* window);
// Push buttons are 405 twips high.
constexpr int ButtonHeightTwips = 405;

// The system's button face colour.
QColor ButtonFaceColour();
// Windows, frames, option buttons, check boxes and labels are designed on white.
void ApplyDesignBackground(QWidget* window);
// Gives the window and its option buttons, check boxes, frames and labels the button face
// background; other controls (text boxes, lists, push buttons) keep theirs. With
// includePictures, picture boxes (scroll areas showing a picture) too.
void ApplyPlainBackground(QWidget* window, bool includePictures = false);
