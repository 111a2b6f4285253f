// What the entry dialogs take: numbers in the user's locale, typed dates, the keyboard.
#include "Constants.h"
#include "FocusRing.h"
#include "Guarded.h"
#include "LogHarness.h"
#include "MessageBox.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class EntryInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        h.startImperial();
    }
    void TearDown() override { ClearSettings(); }

    void add()
    {
        Guarded proc("Form1.PushButton2_Click");
        AddNewEntry(h.model, &h.window, proc);
    }
    void edit()
    {
        Guarded proc("Form1.PushButton4_Click");
        EditSelectedEntry(h.model, &h.window, proc);
    }

    LogHarness h;
};

// Typing into the date field as a user does: the field has the focus and gets the keys.
void TypeDate(EntryDialog* dialog, const QString& keys, bool selectAllFirst)
{
    QApplication::setActiveWindow(dialog);
    dialog->DateTimePicker1()->setFocus(Qt::TabFocusReason);
    if (selectAllFirst)
        QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(dialog->DateTimePicker1(), keys);
}

TEST_F(EntryInputTest, SaveRefusesWhatIsNotANumberAndKeepsWhatWasTyped)
{
    const char* bad[] = {"abc", "ten", "1.234,5", "1,234", "35,5", "", "   ", "0", "-3", "3/8", "5 kg"};
    for (const char* text : bad) {
        ScriptedMessages messages;
        bool focused = false;
        QString kept;
        DriveDialog drive([&](EntryDialog* dialog) {
            Type(dialog, {"180", text, "34", "38"});
            dialog->PushButton2()->click();
            kept = dialog->Text(2)->text();
            focused = dialog->focusWidget() == dialog->Text(2);
            EXPECT_TRUE(dialog->isVisible());
        });
        add();
        EXPECT_EQ(h.model.rowCount(), 0) << text;
        EXPECT_EQ(kept, text);
        EXPECT_TRUE(focused) << text;
        ASSERT_EQ(messages.count(), 1) << text;
        const MessageRequest& box = messages.asked().first();
        EXPECT_TRUE(box.text.contains("\"Chest (inch)\"")) << box.text.toStdString();
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(Stored(Keys::FitnessMen), "");
    }
}

TEST_F(EntryInputTest, TheMetricDialogNamesItsOwnFields)
{
    h.c.Option2->setChecked(true);
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        Type(dialog, {"63", "81", "70", "99", "17", "zwei"});
        dialog->PushButton2()->click();
    });
    add();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(
        messages.asked().first().text.contains("\"zwei\" is not a number. Please type a number for \"Forearm (cm)\""));
    EXPECT_EQ(h.model.rowCount(), 0);
}

TEST_F(EntryInputTest, CommaLocaleTakesCommasShowsThemAndStoresPoints)
{
    ScopedLocale german("de_DE");
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        dialog->DateTimePicker1()->setDate(QDate(2004, 6, 10));
        Type(dialog, {"180,5", "40", "34.5", "38"});
        dialog->PushButton2()->click();
        // "34.5" is no number where the comma marks the decimals.
        EXPECT_EQ(messages.count(), 1);
        dialog->Text(3)->setText("34,5");
        dialog->PushButton2()->click();
        dialog->PushButton1()->click();
    });
    add();
    ASSERT_EQ(h.model.rowCount(), 1);
    EXPECT_EQ(h.shownRows().first(), LogEntry({"6.10.2004", "180,5", "40", "34,5", "38"}));
    EXPECT_EQ(Stored(Keys::FitnessMen), "6.10.2004||SEP1||180.5||SEP1||40||SEP1||34.5||SEP1||38||SEP2||");

    // Edited without a change, the entry is stored as it was.
    DriveDialog again([&](EntryDialog* dialog) {
        EXPECT_EQ(dialog->Text(1)->text(), "180,5");
        dialog->PushButton2()->click();
    });
    edit();
    EXPECT_EQ(Stored(Keys::FitnessMen), "6.10.2004||SEP1||180.5||SEP1||40||SEP1||34.5||SEP1||38||SEP2||");
}

TEST_F(EntryInputTest, OlderDecimalCommasLoadAsNumbersAndAreStoredWithPoints)
{
    ClearSettings();
    WriteSetting(SettingsSection, Keys::FitnessMen,
                 "6/10/2004||SEP1||200||SEP1||42||SEP1||35,5||SEP1||1,234||SEP2||6/17/"
                 "2004||SEP1||abc||SEP1||4||SEP1||3||SEP1||2||SEP2||");
    LogHarness us;
    us.startImperial();
    EXPECT_EQ(us.shownRows().first(), LogEntry({"6/10/2004", "200", "42", "35.5", "1,234"}));
    us.model.storeActiveLog();
    // The unambiguous comma is today's point now; "1,234" and "abc" are left as they were.
    EXPECT_EQ(Stored(Keys::FitnessMen),
              "6/10/2004||SEP1||200||SEP1||42||SEP1||35.5||SEP1||1,234||SEP2||6/17/"
              "2004||SEP1||abc||SEP1||4||SEP1||3||SEP1||2||SEP2||");

    ScopedLocale german("de_DE");
    LogHarness de;
    de.startImperial();
    EXPECT_EQ(de.shownRows().first(), LogEntry({"6/10/2004", "200", "42", "35,5", "1,234"}));
    de.model.storeActiveLog();
    // Shown as "1,234" in German, but stored as it came: it is not read as 1.234.
    EXPECT_TRUE(Stored(Keys::FitnessMen).startsWith("6/10/2004||SEP1||200||SEP1||42||SEP1||35.5||SEP1||1,234||SEP2||"));
}

TEST_F(EntryInputTest, HeightsAreStoredWithAPointAndShownInTheLocale)
{
    ClearSettings();
    WriteSetting(SettingsSection, Keys::Text2Men, "10.5");
    ScopedLocale german("de_DE");
    LogHarness de;
    de.startImperial();
    EXPECT_EQ(de.c.Text2->text(), "10,5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10.5");
    de.c.Text2->clear();
    QTest::keyClicks(de.c.Text2, "7,25");
    EXPECT_EQ(Stored(Keys::Text2Men), "7.25");
    QTest::keyClicks(de.c.Text1, "x");
    EXPECT_EQ(Stored(Keys::Text1Men), "5x");
}

TEST_F(EntryInputTest, TypedDatesBecomeTheDateTyped)
{
    struct Case {
        const char* keys;
        bool selectAll;
        QDate expected;
    };
    const Case cases[] = {
        {"6/3/2004", false, QDate(2004, 6, 3)},    {"6/3/2004", true, QDate(2004, 6, 3)},
        {"12/31/1999", true, QDate(1999, 12, 31)}, {"06/03/04", true, QDate(2004, 6, 3)},
        {"2/29/2024", true, QDate(2024, 2, 29)},   {"1/1/1601", true, QDate(1601, 1, 1)},
    };
    for (const Case& c : cases) {
        QDate saved;
        DriveDialog drive([&](EntryDialog* dialog) {
            dialog->DateTimePicker1()->setDate(QDate(2025, 12, 7));
            Type(dialog, {"180", "40", "34", "38"});
            TypeDate(dialog, c.keys, c.selectAll);
            QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_Return);
            saved = dialog->DateTimePicker1()->date();
            dialog->PushButton1()->click();
        });
        add();
        EXPECT_EQ(saved, c.expected) << c.keys;
        ASSERT_EQ(h.model.rowCount(), 1) << c.keys;
        EXPECT_EQ(h.rows().first().first(),
                  QStringLiteral("%1/%2/%3").arg(c.expected.month()).arg(c.expected.day()).arg(c.expected.year()));
        h.model.clearEntries();
    }
}

TEST_F(EntryInputTest, ADateTypedInTheLocalesOwnSeparatorKeepsTheFieldsOrder)
{
    ScopedLocale german("de_DE");
    QDate typed;
    DriveDialog drive([&](EntryDialog* dialog) {
        EXPECT_EQ(dialog->DateTimePicker1()->displayFormat(), "M.d.yyyy");
        TypeDate(dialog, "6.3.2004", true);
        QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_Tab);
        typed = dialog->DateTimePicker1()->date();
    });
    add();
    EXPECT_EQ(typed, QDate(2004, 6, 3));
}

TEST_F(EntryInputTest, TabLeavesTheDateFieldFromAnyOfItsParts)
{
    QList<QWidget*> reached;
    DriveDialog drive([&](EntryDialog* dialog) {
        QApplication::setActiveWindow(dialog);
        dialog->DateTimePicker1()->setFocus(Qt::TabFocusReason);
        dialog->DateTimePicker1()->setCurrentSection(QDateTimeEdit::DaySection);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        reached << QApplication::focusWidget();
        reached << dialog->Text(1) << dialog->DateTimePicker1();
    });
    add();
    ASSERT_EQ(reached.size(), 4);
    EXPECT_EQ(reached.at(0), reached.at(2));
    EXPECT_EQ(reached.at(1), reached.at(3));
}

TEST_F(EntryInputTest, ADateThatDoesNotExistIsNeverSaved)
{
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        dialog->DateTimePicker1()->setDate(QDate(2025, 12, 7));
        Type(dialog, {"180", "40", "34", "38"});
        TypeDate(dialog, "2/30/2024", true);
        EXPECT_EQ(dialog->DateTimePicker1()->date(), QDate(2025, 12, 7));
        EXPECT_EQ(dialog->DateTimePicker1()->rejectedText(), "2/30/2024");
        // Enter does not save the date that stood there before: "Save" says why, once.
        QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_Return);
        EXPECT_EQ(h.model.rowCount(), 0);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.asked().first().text.startsWith("\"2/30/2024\" is not a date."));
        // Half typed and left with Enter: the same.
        TypeDate(dialog, "13/5", true);
        QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_Return);
        EXPECT_EQ(h.model.rowCount(), 0);
        ASSERT_EQ(messages.count(), 2);
        EXPECT_TRUE(messages.asked().last().text.startsWith("\"13/5\" is not a date."));
        // Told, the user may keep the date shown.
        dialog->PushButton2()->click();
        EXPECT_EQ(h.model.rowCount(), 1);
        dialog->PushButton1()->click();
    });
    add();
    EXPECT_EQ(h.rows().first().first(), "12/7/2025");
}

TEST_F(EntryInputTest, EnterSavesAndOnCancelCancels)
{
    h.addRows({{"1/1/2020", "1", "2", "3", "4"}});
    h.model.select(1);
    DriveDialog drive([&](EntryDialog* dialog) {
        QApplication::setActiveWindow(dialog);
        EXPECT_TRUE(dialog->PushButton2()->isDefault());
        dialog->Text(3)->setFocus();
        dialog->Text(3)->selectAll();
        QTest::keyClicks(dialog->Text(3), "33");
        QTest::keyClick(dialog->Text(3), Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
    });
    edit();
    EXPECT_EQ(h.rows().first(), LogEntry({"1/1/2020", "1", "2", "33", "4"}));

    DriveDialog cancel([&](EntryDialog* dialog) {
        dialog->Text(1)->setText("999");
        dialog->PushButton1()->setFocus();
        QTest::keyClick(dialog->PushButton1(), Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
    });
    edit();
    EXPECT_EQ(h.rows().first(), LogEntry({"1/1/2020", "1", "2", "33", "4"}));

    // In add mode Enter saves and the dialog stays for the next entry.
    DriveDialog adding([&](EntryDialog* dialog) {
        Type(dialog, {"180", "40", "34", "38"});
        QTest::keyClick(dialog->Text(4), Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->Text(1)->text(), "");
        dialog->PushButton1()->click();
    });
    add();
    EXPECT_EQ(h.model.rowCount(), 2);
}

TEST_F(EntryInputTest, AltSSavesAndAltCCancelsWithTheCaptionsUnchanged)
{
    DriveDialog drive([&](EntryDialog* dialog) {
        EXPECT_EQ(dialog->PushButton2()->text(), "Save");
        EXPECT_EQ(dialog->PushButton1()->text(), "Cancel");
        QApplication::setActiveWindow(dialog);
        Type(dialog, {"180", "40", "34", "38"});
        dialog->Text(1)->setFocus();
        QTest::keyClick(dialog->Text(1), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(h.model.rowCount(), 1);
        QTest::keyClick(dialog->Text(1), Qt::Key_C, Qt::AltModifier);
        QTRY_VERIFY(!dialog->isVisible());
    });
    add();
    EXPECT_EQ(h.model.rowCount(), 1);
}

TEST_F(EntryInputTest, TheFocusRingStandsAroundTheFocusedControl)
{
    DriveDialog drive([&](EntryDialog* dialog) {
        auto* ring = dialog->findChild<FocusRing*>();
        ASSERT_NE(ring, nullptr);
        QApplication::setActiveWindow(dialog);
        for (QWidget* control : QList<QWidget*>{dialog->Text(2), dialog->PushButton2(), dialog->DateTimePicker1()}) {
            control->setFocus(Qt::TabFocusReason);
            QApplication::processEvents();
            EXPECT_EQ(ring->target(), control);
            EXPECT_TRUE(ring->isVisible());
            const QRect around(control->mapTo(dialog, QPoint(0, 0)), control->size());
            EXPECT_TRUE(ring->geometry().contains(around));
            EXPECT_FALSE(around.contains(ring->geometry()));
            EXPECT_LE(ring->geometry().width() - around.width(), 2 * (FocusRing::Width + FocusRing::Gap));
        }
        EXPECT_TRUE(ring->testAttribute(Qt::WA_TransparentForMouseEvents));
    });
    add();
}

} // namespace
