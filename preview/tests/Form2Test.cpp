#include "Form2.h"

#include "FileDialog.h"
#include "MessageBox.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        workbook = dir.filePath(QStringLiteral("qarvel12345678.xls"));
        WriteAll(workbook, QByteArray("workbook bytes \x00\x01\x02", 18));
        form = std::make_unique<Form2>(&mainWindow);
        form->mExcelFile = workbook;
        form->SetProgramEnd([this] { ++programEnds; });
    }

    void click(const char* name) { form->findChild<QPushButton*>(QLatin1String(name))->click(); }

    QTemporaryDir dir;
    QString workbook;
    QWidget mainWindow;
    std::unique_ptr<Form2> form;
    int programEnds = 0;
};

QImage Picture(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int x = 0; x < w; x += 10)
        for (int y = 0; y < h; ++y)
            img.setPixel(x, y, qRgb(0, 0, 0));
    return img;
}

void Send(QWidget* w, QEvent::Type type, QPoint pos, Qt::MouseButtons buttons)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, QPointF(pos), w->mapToGlobal(QPointF(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

} // namespace

TEST_F(PreviewTest, SaveToNewNameCopiesBytesAndSaysDone)
{
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    const QString target = dir.filePath(QStringLiteral("mine.xls"));
    dialogs.answer(target);
    click("PushButton6");
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].title, QStringLiteral("Save File"));
    EXPECT_EQ(dialogs.asked()[0].filter, QStringLiteral("Excel Files (*.xls)"));
    EXPECT_EQ(ReadAll(target), ReadAll(workbook));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked()[0].text, QStringLiteral("Done."));
    EXPECT_EQ(messages.asked()[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(messages.asked()[0].icon, MsgIcon::None);
}

TEST_F(PreviewTest, NameWithoutExtensionIsKeptAsTyped)
{
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    const QString target = dir.filePath(QStringLiteral("progress"));
    dialogs.answer(target);
    click("PushButton6");
    EXPECT_EQ(ReadAll(target), ReadAll(workbook));
    EXPECT_FALSE(QFile::exists(target + QStringLiteral(".xls")));
}

TEST_F(PreviewTest, OverwriteAsksAndFollowsTheAnswer)
{
    const QString target = dir.filePath(QStringLiteral("old.xls"));
    WriteAll(target, "the user's old file");
    {
        ScriptedSaveFiles dialogs;
        ScriptedMessages messages;
        dialogs.answer(target);
        messages.answer(MsgAnswer::No);
        click("PushButton6");
        ASSERT_EQ(messages.count(), 2);
        EXPECT_EQ(messages.asked()[0].text, QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"));
        EXPECT_EQ(messages.asked()[0].buttons, MsgButtons::YesNo);
        EXPECT_EQ(messages.asked()[0].icon, MsgIcon::None);
        EXPECT_EQ(messages.asked()[1].text, QStringLiteral("Done."));
        EXPECT_EQ(ReadAll(target), QByteArray("the user's old file"));
    }
    {
        ScriptedSaveFiles dialogs;
        ScriptedMessages messages;
        dialogs.answer(target);
        messages.answer(MsgAnswer::Yes);
        click("PushButton6");
        ASSERT_EQ(messages.count(), 2);
        EXPECT_EQ(messages.asked()[1].text, QStringLiteral("Done."));
        EXPECT_EQ(ReadAll(target), ReadAll(workbook));
    }
}

TEST_F(PreviewTest, CancelCopiesNothingAndStillSaysDone)
{
    ScriptedSaveFiles dialogs; // no answer: cancelled
    ScriptedMessages messages;
    click("PushButton6");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked()[0].text, QStringLiteral("Done."));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(PreviewTest, FailedCopyKeepsTheExistingFileAndIsReported)
{
    const QString target = dir.filePath(QStringLiteral("old.xls"));
    WriteAll(target, "keep me");
    QFile::remove(workbook);
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    dialogs.answer(target);
    messages.answer(MsgAnswer::Yes);
    click("PushButton6");
    ASSERT_EQ(messages.count(), 3);
    EXPECT_EQ(messages.asked()[1].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(messages.asked()[1].text.contains(QStringLiteral("Form2.PushButton6_Click ")));
    EXPECT_EQ(messages.asked()[2].text, QStringLiteral("Done."));
    EXPECT_EQ(ReadAll(target), QByteArray("keep me"));
}

TEST_F(PreviewTest, BackDeletesWorkbookShowsMainWindowAndHides)
{
    form->show();
    click("PushButton8");
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(programEnds, 0);
}

TEST_F(PreviewTest, ClosingDeletesWorkbookAndEndsProgram)
{
    form->show();
    form->close();
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(mainWindow.isVisible());
}

TEST_F(PreviewTest, ZoomButtonsScaleThePictureFromTheStoredOriginal)
{
    form->SetPicture(Picture(400, 300));
    form->show();
    EXPECT_EQ(form->shownPictureSize(), QSize(400, 300));
    click("PushButton1");
    EXPECT_EQ(form->shownPictureSize(), QSize(500, 375));
    click("PushButton2");
    click("PushButton2");
    EXPECT_EQ(form->shownPictureSize(), QSize(300, 225));
}

TEST_F(PreviewTest, DraggingMovesThePictureAndReleaseSettlesTheBars)
{
    form->SetPicture(Picture(1000, 800));
    form->show();
    QLabel* pic = form->picture();
    EXPECT_TRUE(form->hScrollBar()->isEnabled());
    Send(pic, QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton);
    Send(pic, QEvent::MouseMove, QPoint(200, 250), Qt::LeftButton);
    EXPECT_EQ(pic->pos(), QPoint(-100, -50));
    Send(pic, QEvent::MouseButtonRelease, QPoint(200, 250), Qt::NoButton);
    EXPECT_GT(form->hScrollBar()->value(), 0);
    EXPECT_GT(form->vScrollBar()->value(), 0);

    form->hScrollBar()->setValue(0);
    EXPECT_EQ(pic->pos().x(), 0);
}

TEST_F(PreviewTest, SecondPictureGetsItsOwnSetUp)
{
    form->SetPicture(Picture(1000, 800));
    form->show();
    click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    form->hide();

    form->SetPicture(Picture(300, 200));
    form->show();
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.0f);
    EXPECT_EQ(form->shownPictureSize(), QSize(300, 200));
    EXPECT_FALSE(form->hScrollBar()->isEnabled());
    click("PushButton1");
    EXPECT_EQ(form->shownPictureSize(), QSize(375, 250));
}

TEST_F(PreviewTest, LayoutMatchesTheDesign)
{
    EXPECT_EQ(form->size(), QSize(656, 626));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Kalmora"));
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("PushButton6"))->text(), QStringLiteral("Save Results To Excel File"));
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("PushButton8"))->text(), QStringLiteral("< Back"));
    EXPECT_EQ(form->findChild<QPushButton*>(QStringLiteral("PushButton8"))->geometry(), QRect(8, 590, 312, 27));
    EXPECT_EQ(form->findChild<QScrollBar*>(QStringLiteral("HScroll1"))->geometry(), QRect(8, 503, 622, 17));
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
