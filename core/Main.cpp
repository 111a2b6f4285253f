#include "Main.h"

#include "automation/Automation.h"

#include "Constants.h"
#include "Failure.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QWidget>

namespace {

QString& ApplicationPathOverride()
{
    static QString path;
    return path;
}

QString& AppliedTitle()
{
    static QString title;
    return title;
}

void SetBackground(QWidget* widget, const QColor& colour)
{
    // Buttons paint their background in the Button role; make every one use Window.
    widget->setBackgroundRole(QPalette::Window);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool TakesPlainBackground(QWidget* widget, bool includePictures)
{
    if (qobject_cast<QRadioButton*>(widget) || qobject_cast<QCheckBox*>(widget) || qobject_cast<QGroupBox*>(widget)
        || qobject_cast<QLabel*>(widget))
        return true;
    return includePictures && qobject_cast<QScrollArea*>(widget);
}

void SetBackgrounds(QWidget* window, const QColor& colour, bool includePictures)
{
    SetBackground(window, colour);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        // Dialogs owned by the window are windows of their own, and so are their controls.
        if (child->window() != window)
            continue;
        if (TakesPlainBackground(child, includePictures))
            SetBackground(child, colour);
    }
}

} // namespace

QString ApplicationPath()
{
    if (!ApplicationPathOverride().isEmpty())
        return ApplicationPathOverride();
    return QCoreApplication::applicationDirPath();
}

void SetApplicationPathForTesting(const QString& path) { ApplicationPathOverride() = path; }

QString BesideProgram(const QString& relative) { return ApplicationPath() + QLatin1Char('/') + relative; }

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void DeleteFileForced(const QString& path)
{
    QCoreApplication::processEvents();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    if (QFile::remove(path))
        return;
    // Make the file writable and try once more; a folder that forbids deleting stays as it is.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    QFile::remove(path);
}

void WriteBytesIfMissing(const QByteArray& bytes, const QString& path)
{
    QCoreApplication::processEvents();
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return;
    QFile file(path);
    // NewOnly: never follow or replace something created meanwhile.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.error() == QFileDevice::OpenError && QFileInfo(path).exists())
            return;
        throw Failure(QStringLiteral("The file %1 could not be created: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const qint64 written = file.write(bytes);
    const bool flushed = file.flush();
    if (written != bytes.size() || !flushed) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        throw Failure(
            QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(path), reason));
    }
    file.close();
}

QImage RetryPicture(const std::function<QImage()>& attempt, int maxAttempts)
{
    for (int i = 0; i < maxAttempts; ++i) {
        try {
            QImage picture = attempt();
            if (!picture.isNull())
                return picture;
        } catch (...) {
            // A failed attempt is simply repeated.
        }
    }
    return QImage();
}

QImage GetClipboardPicture(int format)
{
    constexpr int AnyPicture = 0;
    constexpr int Bitmap = 2;
    constexpr int DeviceIndependentBitmap = 8;
    if (format != AnyPicture && format != Bitmap && format != DeviceIndependentBitmap)
        return QImage();
    // The picture travels inside the program; the desktop's clipboard keeps what the user copied.
    return RetryPicture([] { return sheet::automation::copiedPicture(); }, ClipboardPictureAttempts);
}

QString LocaleDecimalSeparator()
{
    const QString half = QLocale().toString(0.5).trimmed();
    return half.mid(1, 1);
}

QString LocaleDateSeparator()
{
    // The first character between the day, month and year fields of the short date format.
    const QString format = QLocale().dateFormat(QLocale::ShortFormat);
    bool inQuote = false;
    bool seenField = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            continue;
        }
        if (inQuote)
            continue;
        if (c == QLatin1Char('d') || c == QLatin1Char('M') || c == QLatin1Char('y')) {
            seenField = true;
        } else if (seenField && !c.isSpace()) {
            return QString(c);
        }
    }
    return QStringLiteral("/");
}

QString NormalizeDecimal(const QString& text, DecimalDirection direction)
{
    const QString separator = LocaleDecimalSeparator();
    QString result = text;
    if (direction == DecimalDirection::ToPoint) {
        result.replace(separator, QStringLiteral("."));
    } else {
        result.replace(QLatin1Char('.'), separator);
        result.replace(QLatin1Char(','), separator);
    }
    return result;
}

QString ShortenedTitle(const QString& title)
{
    constexpr int Longest = 40;
    QString result = title;
    if (!result.contains(QLatin1Char(' ')))
        return result.left(Longest);
    do {
        const int blank = result.lastIndexOf(QLatin1Char(' '));
        if (blank < 0) {
            result.truncate(Longest);
            break;
        }
        result.truncate(blank);
    } while (result.size() > Longest);
    return result;
}

void ApplyApplicationTitle()
{
    AppliedTitle() = ShortenedTitle(ProductTitle);
    QGuiApplication::setApplicationDisplayName(AppliedTitle());
}

QString ApplicationTitle()
{
    if (AppliedTitle().isEmpty())
        return ShortenedTitle(ProductTitle);
    return AppliedTitle();
}

QFont WindowFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QFont ButtonFont()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(11.25);
    font.setBold(true);
    return font;
}

void ApplyWindowFonts(QWidget* window)
{
    window->setFont(WindowFont());
    const auto buttons = window->findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setFont(ButtonFont());
}

QColor ButtonFaceColour() { return QApplication::palette().color(QPalette::Button); }

void ApplyDesignBackground(QWidget* window) { SetBackgrounds(window, Qt::white, false); }

void ApplyPlainBackground(QWidget* window, bool includePictures)
{
    SetBackgrounds(window, ButtonFaceColour(), includePictures);
}
