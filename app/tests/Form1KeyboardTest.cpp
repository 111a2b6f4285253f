// The main window with the keyboard and the mouse: list keys, context menu, Alt keys, Enter,
// undo and redo, the focus ring, and how the frames look.
#include "EntryDialog.h"
#include "LogModel.h"
#include "FocusRing.h"
#include "Form1.h"
#include "LogHistory.h"
#include "ProgramFiles.h"
#include "MessageBox.h"
#include "SampleData.h"
#include "Settings.h"
#include "TestSupport.h"
#include "Commands.h"
#include "Constants.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

namespace {

QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, "<missing>"); }

class Form1KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        SetApplicationPathForTesting(programFolder.path());
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
        QApplication::setActiveWindow(form.get());
        form->PushButton(7)->click();
    }
    void TearDown() override
    {
        SetEntryDialogOpenedHook({});
        form.reset();
        SetApplicationPathForTesting(QString());
        ClearSettings();
    }

    QList<LogEntry> rows() const { return form->logModel().entries(); }
    QTreeView* list() const { return form->ListView1(); }
    void select(int position) { form->logModel().select(position); }
    // Where the row at position stands in the list's viewport.
    QRect rowRect(int position) const { return list()->visualRect(list()->model()->index(position - 1, 0)); }
    // The row the list shows selected (from 1), or 0.
    int listSelection() const
    {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        return rows.isEmpty() ? 0 : rows.first().row() + 1;
    }
    // Answers the next entry dialog: sets the weight and saves, or cancels.
    void answerDialog(const QString& weight, int* opened)
    {
        SetEntryDialogOpenedHook([weight, opened](EntryDialog* dialog) {
            ++*opened;
            QTimer::singleShot(0, dialog, [dialog, weight] {
                if (weight.isEmpty()) {
                    dialog->reject();
                    return;
                }
                dialog->Text(1)->setText(weight);
                dialog->PushButton2()->click();
                if (dialog->isVisible())
                    dialog->reject();
            });
        });
    }

    QTemporaryDir programFolder;
    std::unique_ptr<Form1> form;
};

TEST_F(Form1KeyboardTest, DeleteAndEnterInTheListDeleteAndEdit)
{
    list()->setFocus();
    select(2);
    QTest::keyClick(list(), Qt::Key_Delete);
    QList<LogEntry> expected = SampleEntries(true);
    expected.removeAt(1);
    EXPECT_EQ(rows(), expected);
    EXPECT_EQ(Stored("Fitness Men"), JoinStoredLog(expected));

    int opened = 0;
    answerDialog("150", &opened);
    select(3);
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(rows().at(2).at(1), "150");
    answerDialog("151", &opened);
    QTest::keyClick(list(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(opened, 2);
    EXPECT_EQ(rows().at(2).at(1), "151");
    EXPECT_EQ(Stored("Fitness Men"), JoinStoredLog(rows()));
    // Other keys keep their meaning: the arrows move the selection.
    QTest::keyClick(list(), Qt::Key_Down);
    EXPECT_EQ(form->logModel().selected(), 4);
    EXPECT_EQ(listSelection(), 4);
}

TEST_F(Form1KeyboardTest, DoubleClickEditsTheRowClicked)
{
    int opened = 0;
    answerDialog("160", &opened);
    const QPoint at = rowRect(4).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(rows().at(3).at(1), "160");
    EXPECT_EQ(rows().at(2).at(1), "199");
}

TEST_F(Form1KeyboardTest, TheListsContextMenuOffersTheCommandsForTheRowClicked)
{
    QMenu* menu = form->listMenu(rowRect(3).center());
    EXPECT_EQ(form->logModel().selected(), 3);
    EXPECT_EQ(listSelection(), 3);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    EXPECT_EQ(texts, QStringList({"Add New Entry", "Edit Selected Entry", "Delete Selected Entry", "&Undo", "&Redo"}));
    QAction* remove = menu->actions().at(2);
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_TRUE(form->undoAction()->isEnabled()); // the example can be undone
    EXPECT_FALSE(form->redoAction()->isEnabled());
    remove->trigger();
    EXPECT_EQ(rows().size(), 4);
    EXPECT_EQ(rows().at(2).first(), "7/1/2004");
    form->listMenu(QPoint(1, 1))->actions().at(4)->trigger(); // Undo: the row is back
    EXPECT_EQ(rows(), SampleEntries(true));
    EXPECT_TRUE(form->redoAction()->isEnabled());
    form->listMenu(QPoint(1, 1))->actions().at(5)->trigger(); // Redo
    EXPECT_EQ(rows().size(), 4);

    // On an empty list only "Add New Entry" and the history are there to use.
    form->PushButton(5)->click();
    menu = form->listMenu(QPoint(5, 5));
    EXPECT_TRUE(menu->actions().at(0)->isEnabled());
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());
    EXPECT_FALSE(menu->actions().at(2)->isEnabled());
}

TEST_F(Form1KeyboardTest, UndoAndRedoKeysWorkEverywhereInTheWindowTheHeightFieldsIncluded)
{
    list()->setFocus();
    select(1);
    QTest::keyClick(list(), Qt::Key_Delete);
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(rows().size(), 3);
    QTest::keyClick(list(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows().size(), 4);
    form->PushButton(2)->setFocus();
    QTest::keyClick(form->PushButton(2), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows(), SampleEntries(true));
    EXPECT_EQ(Stored("Fitness Men"), JoinStoredLog(SampleEntries(true)));
    QTest::keyClick(form->PushButton(2), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(rows().size(), 4);
    QTest::keyClick(form->PushButton(2), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(rows().size(), 3);
    EXPECT_EQ(Stored("Fitness Men"), JoinStoredLog(rows()));

    // In a height field Ctrl+Z is the log's undo too: the typed height goes back, stored.
    form->Text1()->setFocus();
    form->Text1()->selectAll();
    QTest::keyClicks(form->Text1(), "5");
    EXPECT_EQ(Stored("Text1_Men"), "5");
    QTest::keyClick(form->Text1(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(form->Text1()->text(), "6");
    EXPECT_EQ(Stored("Text1_Men"), "6");
    QTest::keyClick(form->Text1(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(rows().size(), 4);
}

TEST_F(Form1KeyboardTest, AltKeysPressTheButtonsWhoseCaptionsStayAsTheyAre)
{
    const QStringList captions = {"Start Creating Template", "Add New Entry", "Delete Selected Entry",
                                  "Edit Selected Entry",     "Clear List",    "Help",
                                  "Load Sample/Example Data"};
    const QString keys = "SADECHL";
    QSet<QString> distinct;
    for (int n = 1; n <= 7; ++n) {
        EXPECT_EQ(form->PushButton(n)->text(), captions.at(n - 1));
        EXPECT_EQ(form->PushButton(n)->shortcut(), QKeySequence(Qt::ALT | Qt::Key(keys.at(n - 1).unicode())));
        EXPECT_TRUE(form->PushButton(n)->toolTip().contains(keys.at(n - 1)));
        distinct.insert(form->PushButton(n)->shortcut().toString());
    }
    distinct.insert(form->Option1()->shortcut().toString());
    distinct.insert(form->Option2()->shortcut().toString());
    EXPECT_EQ(distinct.size(), 9);
    EXPECT_EQ(form->Option1()->text(), "Male");

    list()->setFocus();
    select(1);
    QTest::keyClick(list(), Qt::Key_D, Qt::AltModifier);
    QTRY_COMPARE(rows().size(), 4);
    QTest::keyClick(list(), Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(form->Option2()->isChecked());
    EXPECT_EQ(list()->model()->columnCount(), 7);
    QTest::keyClick(list(), Qt::Key_M, Qt::AltModifier);
    QTRY_VERIFY(form->Option1()->isChecked());
    int opened = 0;
    answerDialog(QString(), &opened);
    QTest::keyClick(list(), Qt::Key_A, Qt::AltModifier);
    QTRY_COMPARE(opened, 1);
}

TEST_F(Form1KeyboardTest, EnterPressesTheFocusedButton)
{
    form->PushButton(5)->setFocus();
    QTest::keyClick(form->PushButton(5), Qt::Key_Return);
    EXPECT_TRUE(rows().isEmpty());
    form->PushButton(7)->setFocus();
    QTest::keyClick(form->PushButton(7), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(rows(), SampleEntries(true));
    // Enter in a height field presses nothing.
    form->Text1()->setFocus();
    QTest::keyClick(form->Text1(), Qt::Key_Return);
    EXPECT_EQ(rows(), SampleEntries(true));
}

TEST_F(Form1KeyboardTest, TheFocusRingFollowsTheFocusAcrossTheWindow)
{
    FocusRing* ring = form->focusRing();
    ASSERT_NE(ring, nullptr);
    for (QWidget* control : QList<QWidget*>{form->PushButton(2), form->Option2(), form->Text2(), list()}) {
        control->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(ring->target(), control) << control->objectName().toStdString();
        EXPECT_TRUE(ring->isVisible());
        const QRect around(control->mapTo(form.get(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(ring->geometry().contains(around));
    }
    // Drawn on top, in the highlight colour, at the ring's edge.
    form->PushButton(2)->setFocus();
    QApplication::processEvents();
    const QImage shot = form->grab().toImage();
    const QPoint edge = ring->geometry().topLeft() + QPoint(ring->width() / 2, 1);
    EXPECT_EQ(shot.pixelColor(edge), form->palette().color(QPalette::Active, QPalette::Highlight));
}

TEST_F(Form1KeyboardTest, OptionsAndCaptionsInFramesShowTheFramesOwnBackground)
{
    // The focus ring away from the frames.
    list()->setFocus();
    QApplication::processEvents();
    const QImage shot = form->grab().toImage();
    for (QWidget* control : QList<QWidget*>{form->Option1(), form->Option2(), form->Label1(0), form->Label1(1)}) {
        const QRect at(control->mapTo(form.get(), QPoint(0, 0)), control->size());
        // The right edge of a control is empty space; it must look like the frame beside it.
        const QPoint inside(at.right() - 1, at.center().y());
        const QPoint beside(at.left() - 3, at.center().y());
        EXPECT_EQ(shot.pixelColor(inside), shot.pixelColor(beside)) << control->objectName().toStdString();
    }
}

} // namespace
