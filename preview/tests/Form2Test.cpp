#include "Form2.h"

#include "FileDialog.h"
#include "FocusRing.h"
#include "Constants.h"
#include "MessageBox.h"
#include "Settings.h"
#include "TemplateResources.h"

#include "model/Workbook.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>

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

void Wheel(QWidget* w, QPoint angle, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const QPointF pos(10, 10);
    QWheelEvent e(pos, w->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

QStringList TabTexts(const QTabBar* bar)
{
    QStringList texts;
    for (int i = 0; i < bar->count(); ++i)
        texts << bar->tabText(i);
    return texts;
}

// Every test gets a screen large enough for the designed window unless it says otherwise.
struct LargeScreen {
    LargeScreen()
    {
        Form2::SetScreenAreaForTesting([] { return Form2::ScreenArea{QRect(0, 0, 1920, 1080), QMargins()}; });
    }
    ~LargeScreen() { Form2::SetScreenAreaForTesting({}); }
};

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // No size or folder remembered from another test.
        // The store forgets what it knew of the old file, or it takes the removal for a change
        // made elsewhere and says so in a message box nobody answers.
        QFile::remove(SettingsFilePath());
        ReloadSettingsForTesting();
        ASSERT_TRUE(dir.isValid());
        // The real imperial template: a data sheet and three chart sheets.
        workbookBytes = kalmora::templateResourceBytes(101);
        ASSERT_FALSE(workbookBytes.isEmpty());
        workbook = dir.filePath(QStringLiteral("qarvel12345678.xls"));
        WriteAll(workbook, workbookBytes);
        form = std::make_unique<Form2>(&mainWindow);
        form->mExcelFile = workbook;
        form->SetProgramEnd([this] { ++programEnds; });
    }

    QPushButton* button(const char* name) { return form->findChild<QPushButton*>(QLatin1String(name)); }
    void click(const char* name) { button(name)->click(); }
    void showWithPicture(int w, int h)
    {
        form->SetPicture(Picture(w, h));
        form->show();
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier, QWidget* to = nullptr)
    {
        QTest::keyClick(to ? to : form->viewport(), static_cast<Qt::Key>(k), mods);
    }

    LargeScreen screen;
    QTemporaryDir dir;
    QString workbook;
    QByteArray workbookBytes;
    QWidget mainWindow;
    std::unique_ptr<Form2> form;
    int programEnds = 0;
};

} // namespace

// ---------------------------------------------------------------- saving and leaving

TEST_F(PreviewTest, SaveToNewNameCopiesBytesAndSaysDone)
{
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    const QString target = dir.filePath(QStringLiteral("mine.xls"));
    dialogs.answer(target);
    click("PushButton6");
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].title, QStringLiteral("Save File"));
    // The workbook first, and the default; the report second.
    EXPECT_EQ(dialogs.asked()[0].filter, QStringLiteral("Excel Files (*.xls);;PDF report (*.pdf)"));
    EXPECT_EQ(ReadAll(target), workbookBytes);
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
    EXPECT_EQ(ReadAll(target), workbookBytes);
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
        EXPECT_EQ(messages.asked()[0].text,
                  QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"));
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
        EXPECT_EQ(ReadAll(target), workbookBytes);
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
    // The report is the last word: no "Done." after a save that failed.
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.asked()[1].title, QStringLiteral("Application Error"));
    EXPECT_TRUE(messages.asked()[1].text.contains(QStringLiteral("Form2.PushButton6_Click ")));
    EXPECT_EQ(ReadAll(target), QByteArray("keep me"));
}

TEST_F(PreviewTest, ReportIsChosenByItsFilterOrItsNameAndKeepsTheNameAsTyped)
{
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    const QString byFilter = dir.filePath(QStringLiteral("report"));
    const QString byName = dir.filePath(QStringLiteral("report.PDF"));
    const QString workbookByName = dir.filePath(QStringLiteral("book.xls"));
    dialogs.answer(byFilter, QStringLiteral("PDF report (*.pdf)"));
    dialogs.answer(byName); // the workbook filter left chosen
    dialogs.answer(workbookByName, QStringLiteral("PDF report (*.pdf)"));
    click("PushButton6");
    click("PushButton6");
    click("PushButton6");
    EXPECT_TRUE(ReadAll(byFilter).startsWith("%PDF-"));
    EXPECT_FALSE(QFile::exists(byFilter + QStringLiteral(".pdf")));
    EXPECT_TRUE(ReadAll(byName).startsWith("%PDF-"));
    EXPECT_EQ(ReadAll(workbookByName), workbookBytes);
    ASSERT_EQ(messages.count(), 3);
    for (const MessageRequest& m : messages.asked())
        EXPECT_EQ(m.text, QStringLiteral("Done."));
}

TEST_F(PreviewTest, ReportThatCannotBeMadeKeepsTheOldFileAndIsReported)
{
    const QString target = dir.filePath(QStringLiteral("report.pdf"));
    WriteAll(target, "an older report");
    QFile::remove(workbook);
    {
        ScriptedSaveFiles dialogs;
        ScriptedMessages messages;
        dialogs.answer(target);
        messages.answer(MsgAnswer::Yes);
        click("PushButton6");
        ASSERT_EQ(messages.count(), 2);
        EXPECT_EQ(messages.asked()[0].text,
                  QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"));
        EXPECT_TRUE(messages.asked()[1].text.contains(QStringLiteral("Form2.PushButton6_Click ")));
        EXPECT_EQ(ReadAll(target), QByteArray("an older report"));
    }
    {
        // Once it can be made, Yes replaces the old one.
        WriteAll(workbook, workbookBytes);
        ScriptedSaveFiles dialogs;
        ScriptedMessages messages;
        dialogs.answer(target);
        messages.answer(MsgAnswer::Yes);
        click("PushButton6");
        ASSERT_EQ(messages.count(), 2);
        EXPECT_TRUE(ReadAll(target).startsWith("%PDF-"));
    }
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

TEST_F(PreviewTest, CtrlWGoesBackAsBackDoes)
{
    showWithPicture(400, 300);
    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(programEnds, 0);
}

TEST_F(PreviewTest, TheSaveDialogOffersADatedNameInTheFolderLastSavedTo)
{
    ScriptedSaveFiles dialogs;
    ScriptedMessages messages;
    const QString name = QStringLiteral("Fitness Progress %1.xls").arg(QDate::currentDate().toString("yyyy-MM-dd"));
    // Nothing saved yet: the documents folder the user's XDG settings name.
    const QString documents = dir.filePath(QStringLiteral("Documents"));
    QDir().mkpath(documents);
    WriteAll(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/user-dirs.dirs"),
             "XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
    dialogs.answer(QString());
    click("PushButton6");
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_EQ(dialogs.asked()[0].initialPath, documents + "/" + name);
    // Saved somewhere: the next save starts there.
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    QDir().mkpath(elsewhere);
    dialogs.answer(elsewhere + QStringLiteral("/mine.xls"));
    click("PushButton6");
    dialogs.answer(QString());
    click("PushButton6");
    ASSERT_EQ(dialogs.asked().size(), 3);
    EXPECT_EQ(dialogs.asked()[2].initialPath, elsewhere + "/" + name);
    EXPECT_EQ(ReadAll(elsewhere + QStringLiteral("/mine.xls")), workbookBytes);
    // Gone since: the documents folder again; without one, the home folder.
    QDir(elsewhere).removeRecursively();
    dialogs.answer(QString());
    click("PushButton6");
    EXPECT_EQ(dialogs.asked()[3].initialPath, documents + "/" + name);
    QDir(documents).removeRecursively();
    dialogs.answer(QString());
    click("PushButton6");
    EXPECT_EQ(dialogs.asked()[4].initialPath, QDir::homePath() + "/" + name);
    QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/user-dirs.dirs"));
    EXPECT_EQ(messages.count(), 5); // "Done." each time
}

TEST_F(PreviewTest, ALargerWindowGivesThePictureAreaTheRoomAndKeepsTheZoom)
{
    showWithPicture(1000, 800);
    click("PushButton2"); // 0.75: 750 x 600
    const QSize designed = form->size();
    EXPECT_EQ(form->minimumSize(), designed);
    const QRect area = form->viewport()->geometry();
    const QRect save = button("PushButton6")->geometry();
    form->resize(designed + QSize(300, 200));
    EXPECT_EQ(form->viewport()->geometry(), area.adjusted(0, 0, 300, 200));
    EXPECT_EQ(button("PushButton6")->geometry().bottom(), save.bottom() + 200);
    EXPECT_EQ(button("PushButton6")->geometry().right(), save.right() + 300);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    EXPECT_EQ(form->shownPictureSize(), QSize(750, 600));
    // The picture fits the larger area now: no bars.
    EXPECT_FALSE(form->hScrollBar()->isEnabled());
    EXPECT_FALSE(form->vScrollBar()->isEnabled());
    EXPECT_EQ(form->geometryModel().viewportOuterWidth(), form->viewport()->width() * 15);
}

TEST_F(PreviewTest, TheSizeLeftIsTheSizeOfTheNextRun)
{
    showWithPicture(400, 300);
    form->resize(780, 700);
    form->hide();
    EXPECT_EQ(ReadSetting(SettingsSection, PreviewSizeKey), "780x700");
    Form2 next(&mainWindow);
    next.SetPicture(Picture(400, 300));
    next.show();
    EXPECT_EQ(next.size(), QSize(780, 700));
    // Smaller than designed is not taken.
    WriteSetting(SettingsSection, PreviewSizeKey, "300x200");
    Form2 small(&mainWindow);
    small.show();
    EXPECT_EQ(small.size(), QSize(656, 652));
}

TEST_F(PreviewTest, ClosingDeletesWorkbookAndEndsProgram)
{
    form->show();
    form->close();
    EXPECT_FALSE(QFile::exists(workbook));
    EXPECT_EQ(programEnds, 1);
    EXPECT_FALSE(mainWindow.isVisible());
}

// ---------------------------------------------------------------- the data picture

TEST_F(PreviewTest, ZoomButtonsScaleThePictureFromTheStoredOriginal)
{
    showWithPicture(400, 300);
    EXPECT_EQ(form->shownPictureSize(), QSize(400, 300));
    click("PushButton1");
    EXPECT_EQ(form->shownPictureSize(), QSize(500, 375));
    click("PushButton2");
    click("PushButton2");
    EXPECT_EQ(form->shownPictureSize(), QSize(300, 225));
}

TEST_F(PreviewTest, DraggingMovesThePictureAndReleaseSettlesTheBars)
{
    showWithPicture(1000, 800);
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
    showWithPicture(1000, 800);
    click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    form->hide();

    showWithPicture(300, 200);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.0f);
    EXPECT_EQ(form->shownPictureSize(), QSize(300, 200));
    EXPECT_FALSE(form->hScrollBar()->isEnabled());
    click("PushButton1");
    EXPECT_EQ(form->shownPictureSize(), QSize(375, 250));
}

TEST_F(PreviewTest, LayoutKeepsTheDesignWithTheTabRowAboveTheZoomFrame)
{
    form->show();
    EXPECT_EQ(form->size(), QSize(656, 626 + 26));
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Kalmora"));
    EXPECT_EQ(button("PushButton6")->text(), QStringLiteral("Save Results To Excel File"));
    EXPECT_EQ(button("PushButton8")->text(), QStringLiteral("< Back"));
    EXPECT_EQ(form->findChild<QFrame*>(QStringLiteral("Picture2"))->geometry(), QRect(8, 8, 622, 495));
    EXPECT_EQ(form->findChild<QScrollBar*>(QStringLiteral("HScroll1"))->geometry(), QRect(8, 503, 622, 17));
    EXPECT_EQ(form->tabStrip()->geometry(), QRect(8, 520, 640, 26));
    // Everything below the picture area moved down by the tab row and nothing else.
    EXPECT_EQ(form->findChild<QGroupBox*>(QStringLiteral("Frame1"))->geometry(), QRect(8, 524 + 26, 640, 57));
    EXPECT_EQ(button("PushButton1")->geometry(), QRect(16, 20, 296, 27));
    EXPECT_EQ(button("PushButton8")->geometry(), QRect(8, 590 + 26, 312, 27));
    EXPECT_EQ(button("PushButton6")->geometry(), QRect(328, 590 + 26, 320, 27));
    // Centred on the screen.
    EXPECT_EQ(form->pos(), QPoint((1920 - 656) / 2, (1080 - 652) / 2));
}

// ---------------------------------------------------------------- sheet tabs

TEST_F(PreviewTest, TabsNameTheWorkbooksSheetsAndChartsWaitForTheirTab)
{
    showWithPicture(700, 500);
    EXPECT_EQ(TabTexts(form->tabStrip()),
              (QStringList{QStringLiteral("Data"), QStringLiteral("Measurements Chart"),
                           QStringLiteral("Weight and BMI Chart"), QStringLiteral("Weight and Body Fat Chart")}));
    EXPECT_EQ(form->tabStrip()->currentIndex(), 0);
    // Opening the preview neither opens the workbook nor draws a chart.
    EXPECT_EQ(form->openedWorkbook(), nullptr);
    EXPECT_EQ(form->drawnSheetPictures(), 0);

    form->tabStrip()->setCurrentIndex(2);
    ASSERT_NE(form->openedWorkbook(), nullptr);
    EXPECT_EQ(form->currentSheet().name, QStringLiteral("Weight and BMI Chart"));
    EXPECT_EQ(form->currentSheet().kind, SheetTab::Kind::Chart);
    EXPECT_EQ(form->drawnSheetPictures(), 1);
    // At zoom 1 a chart is 1000 x 700 pixels, its text as large as the data sheet's; the
    // bars move it in the picture area.
    EXPECT_EQ(form->shownPictureSize(), QSize(1000, 700));
    EXPECT_TRUE(form->hScrollBar()->isEnabled());
    EXPECT_TRUE(form->vScrollBar()->isEnabled());

    // Back to the data sheet: its own picture; to the chart again: not drawn a second time.
    form->tabStrip()->setCurrentIndex(0);
    EXPECT_EQ(form->shownPictureSize(), QSize(700, 500));
    form->tabStrip()->setCurrentIndex(2);
    EXPECT_EQ(form->drawnSheetPictures(), 1);
    EXPECT_EQ(form->picture()->pixmap().deviceIndependentSize().toSize(), QSize(1000, 700));
}

TEST_F(PreviewTest, ZoomOnAChartRedrawsItAtTheZoomedSizeAndKeepsTheDataZoom)
{
    showWithPicture(400, 300);
    click("PushButton2"); // data sheet at 0.75
    form->tabStrip()->setCurrentIndex(1);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.0f);

    click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.25f);
    EXPECT_EQ(form->shownPictureSize(), QSize(1250, 875));
    EXPECT_EQ(form->drawnSheetPictures(), 2);
    EXPECT_TRUE(form->hScrollBar()->isEnabled());
    EXPECT_TRUE(form->vScrollBar()->isEnabled());

    // The bars reach the whole zoomed chart, so the keys move it too.
    QLabel* pic = form->picture();
    key(Qt::Key_Down);
    EXPECT_EQ(pic->pos(), QPoint(0, -20));
    key(Qt::Key_End);
    EXPECT_EQ(form->vScrollBar()->maximum(), 570); // (13125 - 7425) / 10
    EXPECT_EQ(pic->pos().y(), -380);               // 5700 twips
    key(Qt::Key_Home);

    // Dragging works on the chart as on the data sheet.
    Send(pic, QEvent::MouseButtonPress, QPoint(300, 300), Qt::LeftButton);
    Send(pic, QEvent::MouseMove, QPoint(200, 250), Qt::LeftButton);
    EXPECT_EQ(pic->pos(), QPoint(-100, -50));
    Send(pic, QEvent::MouseButtonRelease, QPoint(200, 250), Qt::NoButton);

    // A chart is drawn again at every size: Zoom In goes on past 1.25, up to 4.
    click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.5f);
    EXPECT_EQ(form->shownPictureSize(), QSize(1500, 1050));
    EXPECT_EQ(form->drawnSheetPictures(), 3);
    for (int i = 0; i < 12; ++i)
        click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 4.0f);
    EXPECT_EQ(form->shownPictureSize(), QSize(4000, 2800));

    for (int i = 0; i < 13; ++i)
        click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    EXPECT_EQ(form->shownPictureSize(), QSize(750, 525));

    form->tabStrip()->setCurrentIndex(0);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    EXPECT_EQ(form->shownPictureSize(), QSize(300, 225));
}

TEST_F(PreviewTest, TheDataPictureZoomsPastItsAreaAndTheBarsReachAllOfIt)
{
    // As wide as the data sheet of the metric log with its trend and goal columns.
    showWithPicture(851, 560);
    click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.25f);
    // The zoom scales the picture less its 2-twip border: 1063.5 x 699.8 pixels.
    EXPECT_EQ(form->shownPictureSize(), QSize(1064, 700));
    ASSERT_TRUE(form->hScrollBar()->isEnabled());
    // The bars take the picture's far edges to the area's edges.
    QLabel* pic = form->picture();
    key(Qt::Key_End);
    EXPECT_NEAR(pic->pos().y() + 700, form->viewport()->height(), 5);
    form->hScrollBar()->setValue(form->hScrollBar()->maximum());
    EXPECT_NEAR(pic->pos().x() + 1064, form->viewport()->width(), 5);
    // Up to four times the size, where every zoom stops.
    for (int i = 0; i < 12; ++i)
        click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 4.0f);
    EXPECT_EQ(form->shownPictureSize(), QSize(3403, 2239));
    click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 3.75f);
}

TEST_F(PreviewTest, AnIgnoredZoomInLeavesTheZoomSoZoomOutGoesBackOneStep)
{
    // 15,000 pixels wide at 2.5; 2.75 would be wider than a picture is ever drawn (16,384).
    showWithPicture(6000, 300);
    for (int i = 0; i < 6; ++i)
        click("PushButton1");
    EXPECT_EQ(form->shownPictureSize(), QSize(15000, 750));
    click("PushButton1");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 2.5f);
    EXPECT_EQ(form->shownPictureSize(), QSize(15000, 750));
    click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 2.25f);
    EXPECT_EQ(form->shownPictureSize(), QSize(13500, 675));
}

TEST_F(PreviewTest, ADisabledBarShowsNoThumb)
{
    showWithPicture(400, 300);
    for (QScrollBar* bar : {form->hScrollBar(), form->vScrollBar()}) {
        EXPECT_FALSE(bar->isEnabled());
        EXPECT_EQ(bar->maximum(), 0);
    }
    // A picture larger than the area gets bars that move it; zoomed back down, none again.
    click("PushButton1");
    click("PushButton1");
    click("PushButton1");
    click("PushButton2");
    click("PushButton2");
    click("PushButton2");
    click("PushButton2");
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    for (QScrollBar* bar : {form->hScrollBar(), form->vScrollBar()}) {
        EXPECT_FALSE(bar->isEnabled());
        EXPECT_EQ(bar->maximum(), 0);
    }
}

TEST_F(PreviewTest, CtrlPageDownAndUpWalkTheTabsAndStopAtTheEnds)
{
    showWithPicture(400, 300);
    key(Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(form->currentTab(), 0);
    for (int i = 0; i < 5; ++i)
        key(Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(form->currentTab(), 3);
    EXPECT_EQ(form->currentSheet().name, QStringLiteral("Weight and Body Fat Chart"));
    key(Qt::Key_PageUp, Qt::ControlModifier, button("PushButton6"));
    EXPECT_EQ(form->currentTab(), 2);
    // A focused tab row keeps its own left and right.
    key(Qt::Key_Left, Qt::NoModifier, form->tabStrip());
    EXPECT_EQ(form->currentTab(), 1);
}

TEST_F(PreviewTest, SecondGenerationGoesBackToTheDataTabAndDropsTheCharts)
{
    showWithPicture(400, 300);
    form->tabStrip()->setCurrentIndex(3);
    ASSERT_NE(form->openedWorkbook(), nullptr);
    click("PushButton8");

    // The next generation: a new picture and a new workbook (the metric one).
    const QString second = dir.filePath(QStringLiteral("qarvel87654321.xls"));
    WriteAll(second, kalmora::templateResourceBytes(102));
    form->SetPicture(Picture(500, 400));
    EXPECT_EQ(form->currentTab(), 0);
    EXPECT_EQ(form->openedWorkbook(), nullptr);
    EXPECT_EQ(form->drawnSheetPictures(), 0);
    form->mExcelFile = second;
    form->show();
    EXPECT_EQ(form->tabStrip()->currentIndex(), 0);
    EXPECT_EQ(form->tabStrip()->count(), 4);
    EXPECT_EQ(form->shownPictureSize(), QSize(500, 400));
    EXPECT_TRUE(form->pictureShown());

    form->tabStrip()->setCurrentIndex(1);
    ASSERT_NE(form->openedWorkbook(), nullptr);
    // The chart comes from the new workbook.
    EXPECT_EQ(form->openedWorkbook()->sheet(0).name(), QStringLiteral("Data"));
    EXPECT_EQ(form->drawnSheetPictures(), 1);
}

TEST_F(PreviewTest, UnreadableWorkbookIsReportedAndTheDataSheetStillShows)
{
    WriteAll(workbook, "not a workbook");
    ScriptedMessages messages;
    showWithPicture(400, 300);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("Form2.Form_Activate ")));
    EXPECT_TRUE(messages.asked()[0].text.contains(QDir::toNativeSeparators(workbook)));
    EXPECT_EQ(TabTexts(form->tabStrip()), QStringList{QStringLiteral("Data")});
    EXPECT_EQ(form->shownPictureSize(), QSize(400, 300));
}

TEST_F(PreviewTest, WorkbookGoneBeforeAChartTabIsReportedOnceAndLeavesTheTabEmpty)
{
    showWithPicture(400, 300);
    QFile::remove(workbook);
    ScriptedMessages messages;
    form->tabStrip()->setCurrentIndex(1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("Form2.TabStrip1_Click ")));
    EXPECT_FALSE(form->pictureShown());
    click("PushButton1"); // nothing to zoom, nothing reported
    EXPECT_EQ(messages.count(), 1);
    form->tabStrip()->setCurrentIndex(0);
    EXPECT_EQ(form->shownPictureSize(), QSize(400, 300));
}

// ---------------------------------------------------------------- keys, wheel, focus

TEST_F(PreviewTest, ArrowAndPageKeysScrollWhicheverControlHasTheFocus)
{
    showWithPicture(1000, 1200);
    QLabel* pic = form->picture();
    key(Qt::Key_Down);
    EXPECT_EQ(pic->pos(), QPoint(0, -20));
    key(Qt::Key_Right, Qt::NoModifier, button("PushButton1"));
    EXPECT_EQ(pic->pos(), QPoint(-20, -20));
    key(Qt::Key_Up, Qt::NoModifier, form->vScrollBar());
    EXPECT_EQ(pic->pos(), QPoint(-20, 0));
    EXPECT_EQ(form->vScrollBar()->value(), 0);
    // A page is the inside of the picture area less a line: 491 - 20 pixels.
    key(Qt::Key_PageDown);
    EXPECT_EQ(pic->pos().y(), -471);
    EXPECT_EQ(form->vScrollBar()->value(), form->geometryModel().vScroll().value);
    key(Qt::Key_End);
    EXPECT_EQ(form->vScrollBar()->value(), form->vScrollBar()->maximum());
    key(Qt::Key_PageDown); // already at the end
    EXPECT_EQ(form->vScrollBar()->value(), form->vScrollBar()->maximum());
    key(Qt::Key_Home);
    EXPECT_EQ(pic->pos().y(), 0);
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    EXPECT_EQ(pic->pos().x(), 0);
}

TEST_F(PreviewTest, WheelScrollsShiftWheelGoesSidewaysCtrlWheelZooms)
{
    showWithPicture(1000, 1200);
    QLabel* pic = form->picture();
    const int notch = QApplication::wheelScrollLines() * 20;
    Wheel(form->viewport(), QPoint(0, -120));
    EXPECT_EQ(pic->pos(), QPoint(0, -notch));
    Wheel(pic, QPoint(0, -120), Qt::ShiftModifier);
    EXPECT_EQ(pic->pos(), QPoint(-notch, -notch));
    Wheel(form->vScrollBar(), QPoint(0, 120));
    EXPECT_EQ(pic->pos(), QPoint(-notch, 0));

    showWithPicture(400, 300);
    Wheel(form->viewport(), QPoint(0, 120), Qt::ControlModifier);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.25f);
    // Half notches add up to one step.
    Wheel(form->viewport(), QPoint(0, -60), Qt::ControlModifier);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.25f);
    Wheel(form->viewport(), QPoint(0, -60), Qt::ControlModifier);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.0f);
    // Over the tab row as well, without turning its tabs.
    Wheel(form->tabStrip(), QPoint(0, -120), Qt::ControlModifier);
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 0.75f);
    EXPECT_EQ(form->currentTab(), 0);
}

TEST_F(PreviewTest, CtrlPlusAndMinusRunTheZoomStepsAndEscapeGoesBack)
{
    showWithPicture(400, 300);
    key(Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_EQ(form->shownPictureSize(), QSize(500, 375));
    key(Qt::Key_Equal, Qt::ControlModifier, button("PushButton6")); // "+" without Shift
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.5f);
    key(Qt::Key_Minus, Qt::ControlModifier | Qt::KeypadModifier);
    key(Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_EQ(form->shownPictureSize(), QSize(400, 300));

    key(Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(mainWindow.isVisible());
    EXPECT_FALSE(QFile::exists(workbook));
}

TEST_F(PreviewTest, EnterPressesTheFocusedButton)
{
    showWithPicture(400, 300);
    key(Qt::Key_Return, Qt::NoModifier, button("PushButton1"));
    EXPECT_FLOAT_EQ(form->geometryModel().zoomFactor(), 1.25f);
}

TEST_F(PreviewTest, FocusRingSurroundsThePictureAreaFirstAndFollowsTheFocus)
{
    showWithPicture(400, 300);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    FocusRing* ring = form->focusRing();
    EXPECT_EQ(QApplication::focusWidget(), form->viewport());
    ASSERT_TRUE(ring->isVisible());
    EXPECT_EQ(ring->target(), form->viewport());
    // Just inside the picture area, between its neighbours.
    EXPECT_TRUE(form->viewport()->geometry().contains(ring->geometry()));

    button("PushButton6")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(ring->target(), button("PushButton6"));
    EXPECT_TRUE(ring->geometry().contains(button("PushButton6")->geometry()));

    // On the tab row the ring marks the current tab and moves with it.
    form->tabStrip()->setFocus(Qt::TabFocusReason);
    const QRect first = ring->geometry();
    form->tabStrip()->setCurrentIndex(1);
    EXPECT_NE(ring->geometry(), first);
    EXPECT_TRUE(
        ring->geometry().contains(QRect(form->tabStrip()->mapTo(form.get(), form->tabStrip()->tabRect(1).topLeft()),
                                        form->tabStrip()->tabRect(1).size())));

    // The ring is drawn in the highlight colour, and over the control, not under it.
    const QImage shot = form->grab().toImage();
    const QColor highlight = form->palette().color(QPalette::Active, QPalette::Highlight);
    const QPoint onRing = ring->geometry().topLeft() + QPoint(ring->width() / 2, 1);
    EXPECT_EQ(shot.pixelColor(onRing).rgb(), highlight.rgb());
}

// ---------------------------------------------------------------- screen

TEST(PreviewScreen, SmallScreenShrinksThePictureAreaAndKeepsEveryButtonOnIt)
{
    // 1920 x 1200 at twice the scale, less a panel, with a title bar of 37 pixels.
    const QRect available(0, 27, 960, 573);
    const QMargins frame(1, 37, 1, 1);
    Form2::SetScreenAreaForTesting([=] { return Form2::ScreenArea{available, frame}; });
    QWidget mainWindow;
    Form2 form(&mainWindow);
    form.SetPicture(Picture(750, 568));
    form.show();
    const QRect outer(form.pos(), form.size().grownBy(frame));
    EXPECT_TRUE(available.contains(outer)) << outer.top() << " " << outer.bottom();
    for (const char* name : {"PushButton1", "PushButton2", "PushButton6", "PushButton8"}) {
        auto* b = form.findChild<QPushButton*>(QLatin1String(name));
        const QRect onScreen(b->mapTo(&form, QPoint(0, 0)) + form.pos() + QPoint(frame.left(), frame.top()), b->size());
        EXPECT_TRUE(available.contains(onScreen)) << name;
    }
    // The picture area gave up the difference; the bars were fitted to it.
    const int viewportHeight = form.viewport()->height();
    EXPECT_LT(viewportHeight, 495);
    EXPECT_EQ(form.geometryModel().viewportOuterHeight(), viewportHeight * 15);
    EXPECT_TRUE(form.vScrollBar()->isEnabled());
    EXPECT_EQ(form.vScrollBar()->maximum(), form.geometryModel().vScroll().maximum);
    EXPECT_EQ(form.width(), 656);
    EXPECT_EQ(form.pos().x(), (960 - 658) / 2);
    Form2::SetScreenAreaForTesting({});
}
