#include "AppIcon.h"
#include "Failure.h"
#include "FileDialog.h"
#include "ApplicationTitle.h"
#include "ClipboardPicture.h"
#include "LocaleText.h"
#include "ProgramFiles.h"
#include "WindowLook.h"
#include "automation/Automation.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDialog>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTreeWidget>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

TEST(FileExists, FilesOnly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("a.txt");
    Write(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.filePath("missing.txt")));
    EXPECT_FALSE(FileExists(dir.filePath("no/such/folder/a.txt")));
    EXPECT_FALSE(FileExists(dir.path()));
    EXPECT_FALSE(FileExists(QString()));
}

TEST(DeleteFileForced, DeletesReadOnlyFilesAndIgnoresMissingOnes)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("locked.bin");
    Write(file, "x");
    QFile::setPermissions(file, QFileDevice::ReadOwner);
    DeleteFileForced(file);
    EXPECT_FALSE(QFile::exists(file));
    DeleteFileForced(dir.filePath("missing.bin"));
    DeleteFileForced(QString());
    // A folder is not a file: left alone.
    DeleteFileForced(dir.path());
    EXPECT_TRUE(QFileInfo::exists(dir.path()));
}

TEST(WriteBytesIfMissing, WritesTheBytesExactly)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Fitness.xlt");
    const QByteArray bytes("\xD0\xCF\x11\xE0\0\0\x01\xff\n\r\n", 12);
    WriteBytesIfMissing(bytes, file);
    EXPECT_EQ(ReadAll(file), bytes);
}

TEST(WriteBytesIfMissing, ExistingFileIsLeftAsItIs)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Fitness.xlt");
    Write(file, "old and longer content");
    WriteBytesIfMissing("new", file);
    EXPECT_EQ(ReadAll(file), "old and longer content");
    Write(file, "");
    WriteBytesIfMissing("new", file);
    EXPECT_EQ(ReadAll(file), "");
}

TEST(WriteBytesIfMissing, DoesNotFollowALinkPlantedAtThePath)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("elsewhere.txt");
    const QString link = dir.filePath("Fitness.xlt");
    ASSERT_TRUE(QFile::link(target, link));
    WriteBytesIfMissing("bytes", link);
    EXPECT_FALSE(QFile::exists(target));
}

TEST(WriteBytesIfMissing, UnwritablePlaceFails)
{
    QTemporaryDir dir;
    EXPECT_THROW(WriteBytesIfMissing("x", dir.filePath("no/such/folder/f.bin")), Failure);
}

TEST(RetryPicture, StopsAtTheFirstPicture)
{
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(Qt::red);
    int attempts = 0;
    EXPECT_EQ(RetryPicture([&] {
                  ++attempts;
                  return picture;
              }),
              picture);
    EXPECT_EQ(attempts, 1);

    attempts = 0;
    const QImage late = RetryPicture([&] {
        ++attempts;
        if (attempts < 5)
            throw std::runtime_error("busy");
        return picture;
    });
    EXPECT_EQ(attempts, 5);
    EXPECT_EQ(late, picture);
}

TEST(RetryPicture, GivesUpAfterThousandAttempts)
{
    int attempts = 0;
    EXPECT_TRUE(RetryPicture([&] {
                    ++attempts;
                    return QImage();
                }).isNull());
    EXPECT_EQ(attempts, 1000);
}

TEST(GetClipboardPicture, ReturnsThePictureTheAutomationCopiedAndLeavesTheDesktopClipboardAlone)
{
    sheet::automation::Application app;
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xls");
    {
        sheet::Workbook book;
        book.worksheet(book.addWorksheet(QStringLiteral("Data")))->setValue(0, 0, sheet::Value::number(7));
        sheet::saveWorkbook(book, path);
    }
    const sheet::automation::Range range = app.Workbooks().Open(path).ActiveSheet().UsedRange();
    const QImage picture = range.Picture();
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's paragraph"));
    range.CopyPicture();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("the user's paragraph"));
    const QImage got = GetClipboardPicture(0);
    ASSERT_FALSE(got.isNull());
    EXPECT_EQ(got.size(), picture.size());
    EXPECT_EQ(got.convertToFormat(QImage::Format_ARGB32).pixel(3, 3), picture.pixel(3, 3));
    EXPECT_FALSE(GetClipboardPicture(8).isNull());
    // A metafile is not something this clipboard holds.
    EXPECT_TRUE(GetClipboardPicture(14).isNull());
    sheet::automation::clearCopiedPicture();
    EXPECT_TRUE(GetClipboardPicture(0).isNull());
    app.Quit();
}

TEST(LocaleSeparators, DecimalAndDateSeparatorFollowTheLocale)
{
    {
        ScopedLocale locale("en_US");
        EXPECT_EQ(LocaleDecimalSeparator(), ".");
        EXPECT_EQ(LocaleDateSeparator(), "/");
    }
    {
        ScopedLocale locale("de_DE");
        EXPECT_EQ(LocaleDecimalSeparator(), ",");
        EXPECT_EQ(LocaleDateSeparator(), ".");
    }
    {
        ScopedLocale locale("nl_NL");
        EXPECT_EQ(LocaleDateSeparator(), "-");
    }
}

TEST(NormalizeDecimal, CommaLocale)
{
    ScopedLocale locale("de_DE");
    EXPECT_EQ(NormalizeDecimal("1,5", DecimalDirection::ToPoint), "1.5");
    EXPECT_EQ(NormalizeDecimal("1.5", DecimalDirection::FromPoint), "1,5");
    EXPECT_EQ(NormalizeDecimal("a,b,c", DecimalDirection::ToPoint), "a.b.c");
    EXPECT_EQ(NormalizeDecimal("12", DecimalDirection::FromPoint), "12");
}

TEST(NormalizeDecimal, PointLocale)
{
    ScopedLocale locale("en_US");
    EXPECT_EQ(NormalizeDecimal("1,5", DecimalDirection::FromPoint), "1.5");
    EXPECT_EQ(NormalizeDecimal("1,5", DecimalDirection::ToPoint), "1,5");
    EXPECT_EQ(NormalizeDecimal("x 3.25 y", DecimalDirection::ToPoint), "x 3.25 y");
}

TEST(ShortenedTitle, CutsAtBlanksAtLeastOnce)
{
    EXPECT_EQ(ShortenedTitle("Kalmora"), "Kalmora");
    EXPECT_EQ(ShortenedTitle("Kalmora Body Log"), "Kalmora Body");
    const QString forty = QStringLiteral("Kalmora ") + QString(32, QLatin1Char('x'));
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(ShortenedTitle(forty), "Kalmora");
    const QString longTitle = QStringLiteral("Kalmora measurement log with charts for everybody in the house");
    const QString shortened = ShortenedTitle(longTitle);
    EXPECT_EQ(shortened, "Kalmora measurement log with charts for");
    EXPECT_LE(shortened.size(), 40);
    EXPECT_EQ(ShortenedTitle(QString(50, QLatin1Char('k'))).size(), 40);
}

TEST(Backgrounds, PlainBackgroundReachesOptionsFramesLabelsOnly)
{
    QWidget window;
    auto* frame = new QGroupBox("Gender", &window);
    auto* option = new QRadioButton("Male", frame);
    auto* check = new QCheckBox("x", &window);
    auto* label = new QLabel("Feet:", frame);
    auto* text = new QLineEdit(&window);
    auto* button = new QPushButton("Help", &window);
    auto* list = new QTreeWidget(&window);
    auto* dialog = new QDialog(&window);
    auto* dialogLabel = new QLabel("other window", dialog);

    ApplyDesignBackground(&window);
    EXPECT_EQ(option->palette().color(option->backgroundRole()), QColor(Qt::white));

    ApplyPlainBackground(&window);
    const QColor face = ButtonFaceColour();
    for (QWidget* widget : QList<QWidget*>{&window, frame, option, check, label}) {
        EXPECT_TRUE(widget->autoFillBackground()) << widget->metaObject()->className();
        EXPECT_EQ(widget->palette().color(widget->backgroundRole()), face) << widget->metaObject()->className();
    }
    for (QWidget* widget : QList<QWidget*>{text, button, list, dialog, dialogLabel})
        EXPECT_FALSE(widget->autoFillBackground()) << widget->metaObject()->className();
}

TEST(Fonts, ArialIsLiberationSans)
{
    const QFontInfo window(WindowFont());
    EXPECT_EQ(window.family(), "Liberation Sans");
    EXPECT_TRUE(window.bold());
    EXPECT_DOUBLE_EQ(WindowFont().pointSizeF(), 9.0);
    EXPECT_DOUBLE_EQ(ButtonFont().pointSizeF(), 11.25);
    EXPECT_TRUE(ButtonFont().bold());
}

TEST(ApplicationIcon, FourSizesDrawnOnATransparentCorner)
{
    const QIcon icon = ApplicationIcon();
    QList<int> sizes;
    for (const QSize& size : icon.availableSizes())
        sizes << size.width();
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, QList<int>({32, 48, 128, 256}));
    for (int size : {32, 256}) {
        const QImage image = DrawApplicationIcon(size);
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255);
    }
}

TEST(SaveFileSeam, ScriptAnswersAndCancels)
{
    ScriptedSaveFiles dialogs;
    dialogs.answer("/tmp/out.xls");
    EXPECT_EQ(AskSaveFileName("Save As", "Excel Workbook (*.xls)"), "/tmp/out.xls");
    EXPECT_EQ(AskSaveFileName("Save As", "Excel Workbook (*.xls)"), "");
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked().first().title, "Save As");
    EXPECT_EQ(dialogs.asked().first().filter, "Excel Workbook (*.xls)");
}

} // namespace
