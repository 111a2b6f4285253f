// The main window as a desktop window: its menu bar, status bar, size and underlined keys.
#include "Commands.h"
#include "Constants.h"
#include "EntryDialog.h"
#include "FileDialog.h"
#include "ImportDialog.h"
#include "Form1.h"
#include "Help.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "Preferences.h"
#include "PreferencesDialog.h"
#include "Mnemonic.h"
#include "ProgramFiles.h"
#include "SampleData.h"
#include "Settings.h"
#include "StoredLog.h"
#include "TestSupport.h"
#include "WindowSize.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

class MainWindowTest : public ::testing::Test {
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

    // The texts of a menu's commands, separators left out.
    static QStringList Texts(const QMenu* menu)
    {
        QStringList texts;
        for (const QAction* action : menu->actions()) {
            if (!action->isSeparator())
                texts << action->text();
        }
        return texts;
    }

    // Every column of the list is on screen, none narrower than its caption.
    static void ExpectAllColumnsShow(const QTreeView* list)
    {
        const QHeaderView* header = list->header();
        int total = 0;
        for (int i = 0; i < header->count(); ++i) {
            total += header->sectionSize(i);
            if (i > 0) {
                EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << i;
            }
        }
        EXPECT_LE(total, list->viewport()->width());
    }

    QTemporaryDir programFolder;
};

TEST_F(MainWindowTest, TheMenusOfferTheWindowsCommandsWithTheirKeys)
{
    Form1 form;
    form.Form_Load();
    QStringList titles;
    for (const QAction* action : form.menuBar()->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&Help"}));
    EXPECT_EQ(
        Texts(form.menuBar()->findChild<QMenu*>("FileMenu")),
        QStringList({"&Start Creating Template", "&Import...", "&Export CSV...", "&Restore From Backup...", "&Quit"}));
    EXPECT_EQ(
        Texts(form.menuBar()->findChild<QMenu*>("EditMenu")),
        QStringList({"&Undo", "&Redo", "&Add New Entry...", "&Edit Selected Entry...", "&Delete Selected Entry",
                     "&Clear List", "&Load Example Data", "&Sort by Date", "Set &Goal Weight...", "&Preferences..."}));
    EXPECT_EQ(Texts(form.menuBar()->findChild<QMenu*>("HelpMenu")),
              QStringList({"&Help", "&Keyboard Shortcuts", "&About Kalmora"}));
    EXPECT_EQ(form.menuAction("Quit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(form.menuAction("Help")->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(form.menuAction("Undo")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));

    // The Help menu's boxes: help, the keys, and what the program is and where it keeps things.
    ScriptedMessages messages;
    form.menuAction("Help")->trigger();
    form.menuAction("KeyboardShortcuts")->trigger();
    form.menuAction("About")->trigger();
    ASSERT_EQ(messages.count(), 3);
    EXPECT_EQ(messages.asked().at(0).text, HelpMessageText());
    EXPECT_TRUE(messages.asked().at(1).text.contains("Ctrl+W"));
    const QString about = messages.asked().at(2).text;
    EXPECT_TRUE(about.startsWith("Kalmora " KALMORA_VERSION)) << about.toStdString();
    EXPECT_TRUE(about.contains("Licence"));
    EXPECT_TRUE(about.contains(SettingsFilePath()));
    EXPECT_TRUE(about.contains("/Pendrel/Kalmora/backups"));
    EXPECT_EQ(messages.asked().at(2).title, "About Kalmora");
}

TEST_F(MainWindowTest, MenuCommandsRunTheButtonsCommands)
{
    Form1 form;
    form.Form_Load();
    form.menuAction("LoadExampleData")->trigger();
    EXPECT_EQ(form.logModel().entries(), SampleEntries(true));
    EXPECT_TRUE(form.statusBar()->currentMessage().contains("Ctrl+Z brings the log back"));
    form.statusBar()->clearMessage();
    form.menuAction("ClearList")->trigger();
    EXPECT_EQ(form.logModel().rowCount(), 0);
    EXPECT_TRUE(form.statusBar()->currentMessage().contains("Ctrl+Z brings the log back"));
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(form.logModel().entries(), SampleEntries(true));
    form.menuAction("Redo")->trigger();
    EXPECT_EQ(form.logModel().rowCount(), 0);
    // Clearing an empty list changes nothing: nothing to bring back, nothing said.
    form.statusBar()->clearMessage();
    form.menuAction("ClearList")->trigger();
    EXPECT_EQ(form.statusBar()->currentMessage(), "");
}

TEST_F(MainWindowTest, CtrlQQuits)
{
    Form1 form;
    form.Form_Load();
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
    bool closed = false;
    QObject::connect(form.menuAction("Quit"), &QAction::triggered, [&closed] { closed = true; });
    QTest::keyClick(&form, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(form.isVisible());
    // Closing ended the program's event loops: one more run of the application's own loop
    // clears that, or every dialog of the later tests would return at once.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(MainWindowTest, ALargerWindowGivesTheListTheRoomAndEveryColumnShows)
{
    Form1 form;
    form.Form_Load();
    form.Option2()->click();
    form.PushButton(7)->click();
    form.show();
    QTreeView* list = form.ListView1();
    // The metric log's seven columns at the designed size, wrist and forearm included.
    ASSERT_EQ(list->header()->count(), 7);
    ExpectAllColumnsShow(list);
    EXPECT_EQ(list->columnWidth(0), 100);

    const QRect listBefore = list->geometry();
    const QRect clearBefore = form.PushButton(5)->geometry();
    const QRect helpBefore = form.PushButton(6)->geometry();
    form.resize(form.size() + QSize(200, 100));
    EXPECT_EQ(list->geometry(), listBefore.adjusted(0, 0, 200, 100));
    // The right-hand column moves by half the extra width and widens by the other half.
    EXPECT_EQ(form.PushButton(5)->geometry(), clearBefore.translated(100, 100).adjusted(0, 0, 100, 0));
    EXPECT_EQ(form.PushButton(6)->geometry(), helpBefore.adjusted(0, 0, 100, 0));
    EXPECT_EQ(form.PushButton1()->width(), 720);
    ExpectAllColumnsShow(list);
    EXPECT_GE(list->header()->length(), list->viewport()->width() - 6);

    // No smaller than designed.
    form.resize(100, 100);
    EXPECT_EQ(form.client()->size(), QSize(536, 379));
}

TEST_F(MainWindowTest, TheWindowsSizeIsRememberedAcrossRuns)
{
    {
        Form1 form;
        form.Form_Load();
        form.show();
        form.resize(700, 520);
        form.hide(); // stores what the user left
    }
    EXPECT_EQ(ReadSetting(SettingsSection, MainWindowSizeKey), "700x520");
    // The specified keys are what they were.
    EXPECT_FALSE(HasSetting("Fitness Men"));
    {
        Form1 form;
        form.Form_Load();
        EXPECT_EQ(form.size(), QSize(700, 520));
    }
    // Nonsense and a size below the minimum: the designed size.
    for (const char* stored : {"wide", "10x10", "-5x300"}) {
        WriteSetting(SettingsSection, MainWindowSizeKey, stored);
        Form1 form;
        form.Form_Load();
        EXPECT_EQ(form.size(), form.minimumSizeHint()) << stored;
    }
}

// Types a goal into the main window's field and leaves it with Enter.
void TypeGoal(Form1& form, const QString& text)
{
    QLineEdit* field = form.GoalField();
    field->clear();
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Return);
}

QString StoredGoal(bool imperial) { return ReadSetting(SettingsSection, imperial ? Keys::GoalMen : Keys::GoalWomen); }

TEST_F(MainWindowTest, TheGoalFieldTakesACheckedGoalForEachLogAndUndoTakesItBack)
{
    ScopedLocale german(QStringLiteral("de_DE"));
    Form1 form;
    form.Form_Load();
    QLineEdit* goal = form.GoalField();
    EXPECT_EQ(goal->text(), "");
    EXPECT_EQ(goal->accessibleName(), "Goal weight, pounds");
    ScriptedMessages messages;
    TypeGoal(form, "185,5");
    EXPECT_EQ(StoredInFile("Goal Men"), "185.5");
    EXPECT_EQ(messages.count(), 0);

    // Refused: the message, the typed text stays to be corrected, the goal is kept.
    for (const char* typed : {"lots", "0", "-5"}) {
        messages.clear();
        TypeGoal(form, typed);
        ASSERT_EQ(messages.count(), 1) << typed;
        EXPECT_EQ(messages.asked().first().buttons, MsgButtons::Ok);
        EXPECT_EQ(goal->text(), typed);
        EXPECT_EQ(StoredGoal(true), "185.5") << typed;
    }
    // Unlikely: asked; "No" keeps the goal, "Yes" takes the new one.
    messages.clear();
    messages.answer(MsgAnswer::No);
    TypeGoal(form, "2000");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text, "That looks unlikely. Save anyway?");
    EXPECT_EQ(StoredGoal(true), "185.5");
    messages.answer(MsgAnswer::Yes);
    TypeGoal(form, "2000");
    EXPECT_EQ(StoredGoal(true), "2000");
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(StoredGoal(true), "185.5");
    EXPECT_EQ(goal->text(), "185,5");

    // The metric log has a goal of its own; the field follows the switch.
    form.Option2()->click();
    EXPECT_EQ(goal->text(), "");
    EXPECT_EQ(goal->accessibleName(), "Goal weight, kilograms");
    TypeGoal(form, "72,5");
    EXPECT_EQ(StoredGoal(false), "72.5");
    TypeGoal(form, ""); // no goal
    EXPECT_EQ(StoredGoal(false), "");
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(goal->text(), "72,5");
    EXPECT_EQ(StoredGoal(true), "185.5");
    // Back in the imperial log, undo goes on in its own history.
    form.Option1()->click();
    EXPECT_EQ(goal->text(), "185,5");
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(goal->text(), "");
    EXPECT_EQ(StoredInFile("Goal Men"), "");
    EXPECT_EQ(StoredGoal(false), "72.5");
}

TEST_F(MainWindowTest, SortByDateIsOneStepThatKeepsTheSelectedEntry)
{
    Form1 form;
    form.Form_Load();
    // Dates in any separator; one that names no date goes last.
    const QList<LogEntry> mixed = {{"7/4/2005", "204", "", "", ""},
                                   {"someday", "203", "", "", ""},
                                   {"6/1/2005", "201", "", "", ""},
                                   {"6.20.2005", "205", "", "", ""}};
    form.logModel().appendEntries(mixed);
    form.logModel().storeActiveLog();
    form.logModel().select(1); // 7/4/2005
    form.menuAction("SortByDate")->trigger();
    const QList<LogEntry> sorted = {mixed[2], mixed[3], mixed[0], mixed[1]};
    EXPECT_EQ(form.logModel().entries(), sorted);
    EXPECT_EQ(form.logModel().selected(), 3);
    EXPECT_EQ(SplitStoredLog(StoredInFile("Fitness Men")), sorted);
    EXPECT_TRUE(form.statusBar()->currentMessage().contains("Ctrl+Z"));
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(form.logModel().entries(), mixed);
    EXPECT_EQ(SplitStoredLog(StoredInFile("Fitness Men")), mixed);
    form.menuAction("Redo")->trigger();
    // Sorted already: said so, and no step to undo.
    form.menuAction("SortByDate")->trigger();
    EXPECT_EQ(form.statusBar()->currentMessage(), "The log already is in date order.");
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(form.logModel().entries(), mixed);
}

TEST_F(MainWindowTest, SetGoalWeightAndPreferencesOpenTheirDialogsAndAddFollowsTheLimit)
{
    Form1 form;
    form.Form_Load();
    ScriptedMessages messages;
    int limit = 3;
    SetPreferenceDialogHook([&limit](QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog, &limit] {
            if (auto* goal = qobject_cast<GoalDialog*>(dialog))
                goal->goalField()->setText(QStringLiteral("180"));
            else if (auto* preferences = qobject_cast<PreferencesDialog*>(dialog))
                preferences->entryLimit()->setValue(limit);
            dialog->accept();
        });
    });
    form.menuAction("SetGoalWeight")->trigger();
    EXPECT_EQ(StoredGoal(true), "180");
    EXPECT_EQ(form.GoalField()->text(), "180");
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(form.GoalField()->text(), "");

    form.menuAction("Preferences")->trigger();
    EXPECT_EQ(StoredInFile("Entry Limit"), "3");
    int opened = 0;
    SetEntryDialogOpenedHook([&opened](EntryDialog* dialog) {
        ++opened;
        QTimer::singleShot(0, dialog, [dialog] { dialog->reject(); });
    });
    form.logModel().appendEntries({{"1/1/2024", "200"}, {"1/2/2024", "200"}, {"1/3/2024", "200"}});
    form.PushButton(2)->click();
    EXPECT_EQ(opened, 0);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text, EntryLimitReachedMessage(3));
    EXPECT_TRUE(messages.asked().first().text.contains("Edit > Preferences"));
    // No limit: the dialog opens whatever the count.
    limit = 0;
    form.menuAction("Preferences")->trigger();
    form.PushButton(2)->click();
    EXPECT_EQ(opened, 1);
    // Unset, the add command stops at 26 with the message it has always shown.
    WriteSetting(SettingsSection, EntryLimitKey, QString());
    form.logModel().clearEntries();
    for (int i = 0; i < 26; ++i)
        form.logModel().appendEntries({{"1/1/2024", QString::number(150 + i)}});
    messages.clear();
    form.PushButton(2)->click();
    EXPECT_EQ(opened, 1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text, EntryLimitMessage());
    SetPreferenceDialogHook({});
    SetEntryDialogOpenedHook({});
}

TEST_F(MainWindowTest, ExportAndImportThroughTheFileMenuGiveTheLogBack)
{
    QTemporaryDir dir;
    Form1 form;
    form.Form_Load();
    form.PushButton(7)->click();
    const QList<LogEntry> example = form.logModel().entries();
    ScriptedMessages messages;
    ScriptedSaveFiles saves;
    saves.answer(dir.filePath("log"));
    form.menuAction("ExportCsv")->trigger();
    EXPECT_TRUE(form.statusBar()->currentMessage().startsWith("Exported"))
        << form.statusBar()->currentMessage().toStdString();
    ASSERT_TRUE(QFile::exists(dir.filePath("log.csv")));

    form.PushButton(5)->click();
    SetImportFileResponder([&] { return dir.filePath("log.csv"); });
    form.menuAction("Import")->trigger();
    SetImportFileResponder({});
    EXPECT_EQ(form.logModel().entries(), example);
    EXPECT_EQ(SplitStoredLog(StoredInFile("Fitness Men")), example);
    EXPECT_TRUE(form.statusBar()->currentMessage().contains("Ctrl+Z"))
        << form.statusBar()->currentMessage().toStdString();
    EXPECT_EQ(messages.count(), 0);
    // One step: undo leaves the cleared list.
    form.menuAction("Undo")->trigger();
    EXPECT_EQ(form.logModel().rowCount(), 0);
}

TEST(WindowSize, SizesAreReadAsWidthByHeight)
{
    EXPECT_EQ(WindowSizeMemory::ParseSize("536x379"), QSize(536, 379));
    EXPECT_EQ(WindowSizeMemory::ParseSize(" 800 x 600 "), QSize(800, 600));
    EXPECT_FALSE(WindowSizeMemory::ParseSize("800,600").isValid());
    EXPECT_FALSE(WindowSizeMemory::ParseSize("800x").isValid());
    EXPECT_FALSE(WindowSizeMemory::ParseSize("999999x1").isValid());
    EXPECT_EQ(WindowSizeMemory::SizeText(QSize(640, 480)), "640x480");
}

TEST(Mnemonic, TheLetterIsUnderlinedAndTheCaptionKept)
{
    EXPECT_EQ(MnemonicCaption("Start Creating Template", QLatin1Char('S')), "&Start Creating Template");
    EXPECT_EQ(MnemonicCaption("Load Sample/Example Data", QLatin1Char('L')), "&Load Sample/Example Data");
    EXPECT_EQ(MnemonicCaption("Female", QLatin1Char('F')), "&Female");
    EXPECT_EQ(MnemonicCaption("Help", QLatin1Char('l')), "He&lp");
    // A caption's own "&" stays a character; a letter it lacks underlines nothing.
    EXPECT_EQ(MnemonicCaption("Fish & Chips", QLatin1Char('C')), "Fish && &Chips");
    EXPECT_EQ(MnemonicCaption("Save", QLatin1Char('x')), "Save");

    QPushButton button("Delete Selected Entry");
    SetMnemonic(&button, QLatin1Char('D'));
    EXPECT_EQ(button.text(), "Delete Selected Entry");
    EXPECT_EQ(button.shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    EXPECT_EQ(button.toolTip(), QKeySequence(Qt::ALT | Qt::Key_D).toString(QKeySequence::NativeText));
    // Drawn with the letter underlined: not the same picture as the plain caption.
    button.resize(200, 27);
    QPushButton plain("Delete Selected Entry");
    plain.resize(200, 27);
    EXPECT_NE(button.grab().toImage(), plain.grab().toImage());
}

} // namespace
