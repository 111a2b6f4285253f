#include "ActiveLog.h"
#include "Constants.h"
#include "LogModel.h"
#include "Form1.h"
#include "ProgramFiles.h"
#include "ApplicationTitle.h"
#include "WindowLook.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "SampleData.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QImageWriter>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>
#include <QTreeView>

namespace {

QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, "<missing>"); }

// The list's column captions, as its header shows them.
QStringList Captions(const Form1& form)
{
    QStringList captions;
    const QAbstractItemModel* list = form.ListView1()->model();
    for (int i = 0; i < list->columnCount(); ++i)
        captions << list->headerData(i, Qt::Horizontal).toString();
    return captions;
}

void Write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        SetApplicationPathForTesting(programFolder.path());
    }
    void TearDown() override
    {
        SetApplicationPathForTesting(QString());
        ClearSettings();
    }

    QTemporaryDir programFolder;
};

TEST_F(Form1Test, FirstStartWithAnEmptyStore)
{
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_TRUE(form.Option1()->isChecked());
    EXPECT_FALSE(form.Option2()->isChecked());
    EXPECT_EQ(form.Text1()->text(), "5");
    EXPECT_EQ(form.Text2()->text(), "10");
    EXPECT_EQ(Captions(form), StartupImperialColumns());
    EXPECT_EQ(form.ListView1()->columnWidth(0), 100);
    EXPECT_EQ(form.ListView1()->model()->rowCount(), 0);
    QStringList keys = SettingKeys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"Text1_Men", "Text2_Men"}));
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    EXPECT_EQ(form.windowTitle(), "Kalmora");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(ApplicationTitle(), "Kalmora");
    // No skin: design backgrounds stay white; no cursor file: buttons show the arrow.
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form.Frame1()->palette().color(form.Frame1()->backgroundRole()), QColor(Qt::white));
    EXPECT_EQ(form.pointerRule()->customPointer().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Test, StoredFemaleChoiceLoadsTheMetricLog)
{
    WriteRawSettingsFile("[Kalmora]\n"
                         "Option1=False\n"
                         "Option2=True\n"
                         "Text1_Men=6\n"
                         "Text2_Men=1\n"
                         "Text1_Women=1\n"
                         "Text2_Women=75\n"
                         "Fitness%20Men=\"m||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP2||\"\n"
                         "Fitness%20Women=\"6/10/"
                         "2004||SEP1||63.5||SEP1||81.3||SEP1||78.74||SEP1||101.6||SEP1||17.27||SEP1||29.21||SEP2||"
                         "7/1/2004||SEP1||63||SEP1||81.3||SEP2||\"\n");
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_TRUE(form.Option2()->isChecked());
    EXPECT_FALSE(form.Option1()->isChecked());
    EXPECT_EQ(form.Label1(0)->text(), "Meter:");
    EXPECT_EQ(form.Label1(1)->text(), "CM:");
    EXPECT_EQ(form.Text1()->text(), "1");
    EXPECT_EQ(form.Text2()->text(), "75");
    EXPECT_EQ(Captions(form), MetricColumns());
    const QList<LogEntry> rows = form.logModel().entries();
    EXPECT_EQ(rows,
              QList<LogEntry>({{"6/10/2004", "63.5", "81.3", "78.74", "101.6", "17.27", "29.21"},
                               {"7/1/2004", "63", "81.3", "", "", "", ""}}));
    // The imperial heights shown on the way were already stored; nothing was changed.
    EXPECT_EQ(Stored(Keys::Text1Men), "6");
    EXPECT_EQ(Stored(Keys::Option1), "False");
    EXPECT_EQ(Stored(Keys::Option2), "True");
}

TEST_F(Form1Test, BothChoicesFalseShowAndSelectTheImperialLog)
{
    WriteRawSettingsFile(
        "[Kalmora]\nOption1=False\nOption2=false\nFitness%20Men=a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||\n");
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_TRUE(form.Option1()->isChecked());
    EXPECT_FALSE(form.Option2()->isChecked());
    EXPECT_EQ(Captions(form), StartupImperialColumns());
    EXPECT_EQ(form.ListView1()->model()->rowCount(), 1);
    EXPECT_EQ(form.logModel().activeKey(), Keys::FitnessMen);
}

TEST_F(Form1Test, BothChoicesTrueEndWithTheMetricLog)
{
    WriteRawSettingsFile("[Kalmora]\nOption1=true\nOption2=-1\n");
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_TRUE(form.Option2()->isChecked());
    EXPECT_FALSE(form.Option1()->isChecked());
    EXPECT_EQ(form.ListView1()->model()->columnCount(), 7);
}

TEST_F(Form1Test, UnreadableChoiceIsReportedAndStartupGoesOn)
{
    WriteRawSettingsFile("[Kalmora]\nOption1=maybe\nOption2=0\n");
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"maybe\""));
    EXPECT_TRUE(messages.asked().first().text.contains("in Trevasso2021/08/31.Form1.Form_Load at line 90"));
    EXPECT_TRUE(form.Option1()->isChecked());
}

TEST_F(Form1Test, SkinTurnsBackgroundsToButtonFaceAndStylesTheWindow)
{
    const QByteArray skin = "QPushButton { color: #203040; }";
    Write(BesideProgram(SkinFileName), skin);
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(form.styleSheet(), QString::fromUtf8(skin));
    const QColor face = ButtonFaceColour();
    for (QWidget* widget : QList<QWidget*>{&form, form.Frame1(), form.Frame2(), form.Option1(), form.Label1(0)})
        EXPECT_EQ(widget->palette().color(widget->backgroundRole()), face) << widget->objectName().toStdString();
}

TEST_F(Form1Test, BrokenCursorFileIsReportedAndAGoodOneIsUsed)
{
    Write(BesideProgram(HandCursorFileName), "not a cursor");
    {
        ScriptedMessages messages;
        Form1 form;
        form.Form_Load();
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.asked().first().text.contains("Form1.Form_Load at line 50"));
        EXPECT_EQ(form.windowTitle(), "Kalmora");
    }
    QImage hand(32, 32, QImage::Format_ARGB32);
    hand.fill(Qt::black);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(QImageWriter(&buffer, "ico").write(hand));
    QByteArray cursor = buffer.data();
    cursor[2] = 2;
    Write(BesideProgram(HandCursorFileName), cursor);
    ScriptedMessages messages;
    Form1 form;
    form.Form_Load();
    EXPECT_EQ(messages.count(), 0);
    EXPECT_EQ(form.pointerRule()->customPointer().shape(), Qt::BitmapCursor);
}

TEST_F(Form1Test, ControlsStandWhereTheDesignPutsThem)
{
    Form1 form;
    // The designed client area below the menu bar, the status bar under it; that is also the
    // smallest the window gets.
    EXPECT_EQ(form.client()->size(), QSize(536, 379));
    EXPECT_EQ(form.client()->geometry().top(), form.menuBar()->height());
    EXPECT_GT(form.menuBar()->height(), 0);
    EXPECT_EQ(form.statusBar()->geometry().top(), form.client()->geometry().bottom() + 1);
    EXPECT_EQ(form.size(), QSize(536, form.menuBar()->height() + 379 + form.statusBar()->height()));
    EXPECT_EQ(form.minimumSizeHint(), form.size());
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    const QStringList captions = {"Start Creating Template", "Add New Entry", "Delete Selected Entry",
                                  "Edit Selected Entry",     "Clear List",    "Help",
                                  "Load Sample/Example Data"};
    for (int n = 1; n <= 7; ++n) {
        QPushButton* button = form.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(n));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button, form.PushButton(n));
        EXPECT_EQ(button->text(), captions.at(n - 1));
        EXPECT_EQ(button->height(), 27);
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
        EXPECT_TRUE(button->font().bold());
    }
    EXPECT_EQ(form.PushButton1()->geometry(), QRect(8, 8, 520, 27));
    EXPECT_EQ(form.PushButton(7)->geometry(), QRect(272, 42, 256, 27));
    EXPECT_EQ(form.PushButton(5)->geometry(), QRect(272, 345, 256, 27));
    EXPECT_EQ(form.findChild<QTreeView*>("ListView1")->geometry(), QRect(8, 136, 520, 169));
    EXPECT_EQ(form.findChild<QLineEdit*>("Text2")->geometry(), QRect(184, 20, 57, 23));
    EXPECT_EQ(form.findChild<QRadioButton*>("Option2")->geometry(), QRect(96, 23, 65, 17));
    EXPECT_EQ(form.findChild<QGroupBox*>("Frame2")->title(), "Height");
    EXPECT_EQ(form.findChild<QGroupBox*>("Frame1")->title(), "Gender");
    EXPECT_EQ(QFontInfo(form.font()).family(), "Liberation Sans");
    EXPECT_DOUBLE_EQ(form.Text1()->font().pointSizeF(), 9.0);
    EXPECT_TRUE(form.Label1(1)->font().bold());
    // Labels are as wide as their text, start at the design's left, and read on one line with
    // their box: same band, text centred in it.
    for (int i = 0; i < 2; ++i) {
        QLabel* label = form.Label1(i);
        QLineEdit* box = i == 0 ? form.Text1() : form.Text2();
        EXPECT_EQ(label->x(), i == 0 ? 16 : 128);
        EXPECT_GE(label->width(), label->sizeHint().width());
        EXPECT_EQ(label->geometry().top(), box->geometry().top());
        EXPECT_EQ(label->geometry().bottom(), box->geometry().bottom());
        EXPECT_TRUE(label->alignment() & Qt::AlignVCenter);
    }
}

TEST_F(Form1Test, TabOrderFollowsTheDesign)
{
    Form1 form;
    // The keyboard starts where the order does.
    EXPECT_EQ(form.focusWidget(), form.Option1());
    // The goal field, which the design lacks, comes after the heights.
    const QList<QWidget*> expected
        = {form.Option1(),     form.Option2(),     form.Text1(),       form.Text2(),       form.GoalField(),
           form.ListView1(),   form.PushButton(2), form.PushButton(3), form.PushButton(4), form.PushButton(5),
           form.PushButton(1), form.PushButton(6), form.PushButton(7)};
    QWidget* widget = expected.first();
    for (int i = 1; i < expected.size(); ++i) {
        do
            widget = widget->nextInFocusChain();
        while (!(widget->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(widget, expected.at(i)) << "after " << expected.at(i - 1)->objectName().toStdString();
    }
}

TEST_F(Form1Test, HelpShowsTheContactMessageAndChangesNothing)
{
    Form1 form;
    form.Form_Load();
    form.PushButton(7)->click();
    const QList<LogEntry> before = form.logModel().entries();
    const QString stored = Stored(Keys::FitnessMen);
    ScriptedMessages messages;
    form.PushButton(6)->click();
    form.PushButton(6)->click();
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.asked().first().text, "Questions? Please contact Team Pendrel at " + ContactWebAddress);
    EXPECT_EQ(messages.asked().first().title, "Kalmora");
    EXPECT_EQ(messages.asked().first().icon, MsgIcon::None);
    EXPECT_EQ(form.logModel().entries(), before);
    EXPECT_EQ(Stored(Keys::FitnessMen), stored);
    EXPECT_TRUE(form.Option1()->isChecked());
}

TEST_F(Form1Test, ButtonsRunTheirCommands)
{
    Form1 form;
    form.Form_Load();
    form.PushButton(7)->click();
    EXPECT_EQ(form.logModel().entries(), SampleEntries(true));
    form.PushButton(3)->click();
    EXPECT_EQ(form.logModel().rowCount(), 4);
    form.setBusyPointer(true);
    EXPECT_TRUE(form.isBusyPointer());
    form.PushButton(5)->click();
    EXPECT_EQ(form.logModel().rowCount(), 4);
    form.setBusyPointer(false);
    form.PushButton(5)->click();
    EXPECT_EQ(form.logModel().rowCount(), 0);
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
    // Generation is not wired yet: the button changes nothing.
    form.PushButton1()->click();
    EXPECT_FALSE(form.generationBusy);
}

TEST_F(Form1Test, ClosingTheMainWindowEndsTheProgram)
{
    Form1 form;
    form.Form_Load();
    form.show();
    QWidget other;
    other.show();
    QTimer::singleShot(0, &form, [&form] { form.close(); });
    // Should the window not end the program, fail instead of hanging.
    QTimer::singleShot(10000, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QApplication::exec(), 0);
}

TEST_F(Form1Test, RestartFindsEverythingAsLeft)
{
    {
        Form1 form;
        form.Form_Load();
        form.PushButton(7)->click();
        form.Text2()->setText("4");
        form.Option2()->setChecked(true);
        form.PushButton(7)->click();
        form.Text1()->setText("2");
    }
    Form1 again;
    again.Form_Load();
    EXPECT_TRUE(again.Option2()->isChecked());
    EXPECT_EQ(again.Text1()->text(), "2");
    EXPECT_EQ(again.Text2()->text(), "68");
    EXPECT_EQ(again.logModel().entries(), SampleEntries(false));
    again.Option1()->setChecked(true);
    EXPECT_EQ(again.Text1()->text(), "6");
    EXPECT_EQ(again.Text2()->text(), "4");
    EXPECT_EQ(again.logModel().entries(), SampleEntries(true));
}

} // namespace
