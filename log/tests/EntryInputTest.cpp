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
    // Shown the German way, stored month first.
    EXPECT_EQ(h.shownRows().first(), LogEntry({"10.06.2004", "180,5", "40", "34,5", "38"}));
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
    EXPECT_EQ(de.shownRows().first(), LogEntry({"10.06.2004", "200", "42", "35,5", "1,234"}));
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

TEST_F(EntryInputTest, DatesAreTypedAndShownInTheLocalesOrderAndStoredMonthFirst)
{
    struct Case {
        const char* locale;
        const char* format;
        const char* keys;
        const char* stored;
        const char* shown;
    };
    const Case cases[] = {
        {"en_GB", "dd/MM/yyyy", "15/07/2004", "7/15/2004", "15/07/2004"},
        {"en_GB", "dd/MM/yyyy", "6/3/2004", "3/6/2004", "06/03/2004"},
        {"de_DE", "dd.MM.yyyy", "15.07.2004", "7.15.2004", "15.07.2004"},
        {"de_DE", "dd.MM.yyyy", "6.3.04", "3.6.2004", "06.03.2004"},
        {"en_US", "M/d/yyyy", "7/15/2004", "7/15/2004", "7/15/2004"},
    };
    for (const Case& c : cases) {
        ScopedLocale locale(QString::fromLatin1(c.locale));
        ClearSettings();
        LogHarness local;
        local.startImperial();
        QString format;
        QString typedText;
        DriveDialog drive([&](EntryDialog* dialog) {
            format = dialog->DateTimePicker1()->displayFormat();
            Type(dialog, {"180", "40", "34", "38"});
            TypeDate(dialog, QString::fromLatin1(c.keys), true);
            QTest::keyClick(dialog->DateTimePicker1(), Qt::Key_Tab);
            dialog->PushButton2()->click();
        });
        Guarded proc("Form1.PushButton2_Click");
        AddNewEntry(local.model, &local.window, proc);
        EXPECT_EQ(format, c.format) << c.locale;
        ASSERT_EQ(local.model.rowCount(), 1) << c.locale << c.keys;
        EXPECT_EQ(local.rows().first().first(), c.stored) << c.locale << c.keys;
        EXPECT_EQ(local.shown(1, 0), c.shown) << c.locale << c.keys;
        EXPECT_TRUE(Stored(Keys::FitnessMen).startsWith(QString::fromLatin1(c.stored) + "||SEP1||180"));
    }
}

TEST_F(EntryInputTest, TheExampleIsShownInTheLocalesOrderAndReadBackWhateverItsSeparator)
{
    ScopedLocale british("en_GB");
    // Dates stored by earlier versions under other locales: month first, any separator.
    WriteSetting(SettingsSection, Keys::FitnessMen,
                 "6/10/2004||SEP1||200||SEP2||6.17.2004||SEP1||199||SEP2||6-24-2004||SEP1||198||SEP2||");
    LogHarness gb;
    gb.startImperial();
    EXPECT_EQ(gb.shown(1, 0), "10/06/2004");
    EXPECT_EQ(gb.shown(2, 0), "17/06/2004");
    EXPECT_EQ(gb.shown(3, 0), "24/06/2004");
    // Edited, an entry's date is read month first and stored again in today's form.
    gb.model.select(2);
    DriveDialog drive([&](EntryDialog* dialog) {
        EXPECT_EQ(dialog->DateTimePicker1()->date(), QDate(2004, 6, 17));
        EXPECT_EQ(dialog->DateTimePicker1()->text(), "17/06/2004");
        Type(dialog, {"199", "40", "34", "38"});
        dialog->PushButton2()->click();
    });
    Guarded proc("Form1.PushButton4_Click");
    EditSelectedEntry(gb.model, &gb.window, proc);
    EXPECT_EQ(gb.rows().at(1).first(), "6/17/2004");
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

TEST_F(EntryInputTest, ADateThatDoesNotExistIsNeverSavedAndStaysToBeCorrected)
{
    ScriptedMessages messages;
    QString shownAfterMessage;
    DriveDialog drive([&](EntryDialog* dialog) {
        EntryDateEdit* field = dialog->DateTimePicker1();
        field->setDate(QDate(2025, 12, 7));
        Type(dialog, {"180", "40", "34", "38"});
        TypeDate(dialog, "2/30/2024", true);
        EXPECT_EQ(field->date(), QDate(2025, 12, 7));
        EXPECT_EQ(field->rejectedText(), "2/30/2024");
        // The field keeps what was typed: it does not snap back to the old date.
        EXPECT_EQ(field->text(), "2/30/2024");
        // Enter does not save the date that stood there before: "Save" says why.
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(h.model.rowCount(), 0);
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.asked().first().text.startsWith(
            "\"2/30/2024\" is not a date. Please type the date as month/day/year, for example 6/10/2004."));
        shownAfterMessage = field->text();
        // Enter again: still not saved, still said.
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(h.model.rowCount(), 0);
        EXPECT_EQ(messages.count(), 2);
        // Half typed and left with Enter: the same.
        TypeDate(dialog, "13/5", true);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(h.model.rowCount(), 0);
        ASSERT_EQ(messages.count(), 3);
        EXPECT_TRUE(messages.asked().last().text.startsWith("\"13/5\" is not a date."));
        // The message left the text selected: Backspace takes it all, and a date typed then
        // is saved.
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text(), "");
        QTest::keyClicks(field, "12/15/2025");
        EXPECT_EQ(field->rejectedText(), "");
        EXPECT_EQ(field->date(), QDate(2025, 12, 15));
        dialog->PushButton2()->click();
        EXPECT_EQ(h.model.rowCount(), 1);
        // "Save" pressed while a date is still being typed takes that date, not the old one.
        Type(dialog, {"180", "40", "34", "38"});
        TypeDate(dialog, "1/2", true);
        dialog->PushButton2()->click();
        EXPECT_EQ(h.model.rowCount(), 2);
        // And refuses one that is no date.
        Type(dialog, {"180", "40", "34", "38"});
        TypeDate(dialog, "1/32", true);
        dialog->PushButton2()->click();
        EXPECT_EQ(h.model.rowCount(), 2);
        EXPECT_EQ(messages.count(), 4);
        dialog->PushButton1()->click();
    });
    add();
    EXPECT_EQ(shownAfterMessage, "2/30/2024");
    ASSERT_EQ(h.model.rowCount(), 2);
    EXPECT_EQ(h.rows().at(0).first(), "12/15/2025");
    EXPECT_EQ(h.rows().at(1).first(), "1/2/2025");
}

TEST_F(EntryInputTest, AWrongDateInBritishEnglishIsExplainedInItsOrder)
{
    ScopedLocale british("en_GB");
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        Type(dialog, {"180", "40", "34", "38"});
        TypeDate(dialog, "7/15/2004", true);
        dialog->PushButton2()->click();
    });
    add();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().text,
              "\"7/15/2004\" is not a date. Please type the date as day/month/year, for example 10/06/2004.");
    EXPECT_EQ(h.model.rowCount(), 0);
}

TEST_F(EntryInputTest, ValuesFarOutsideHumanRangeAreAskedAboutNotRefused)
{
    struct Case {
        bool imperial;
        int field;
        const char* text;
    };
    const Case unlikely[]
        = {{true, 1, "1001"}, {true, 1, "19"},        {false, 1, "451"},   {false, 1, "8.5"},   {true, 2, "101"},
           {false, 3, "251"}, {false, 6, "99999999"}, {true, 4, "0.0001"}, {false, 5, "0.0001"}};
    for (const Case& c : unlikely)
        EXPECT_TRUE(UnlikelyMeasurement(c.imperial, c.field, QString::fromLatin1(c.text).toDouble())) << c.text;
    const Case likely[] = {{true, 1, "1000"}, {true, 1, "20"},   {false, 1, "450"},  {false, 1, "9"},
                           {true, 3, "100"},  {false, 6, "250"}, {false, 5, "14.5"}, {true, 2, "42.5"}};
    for (const Case& c : likely)
        EXPECT_FALSE(UnlikelyMeasurement(c.imperial, c.field, QString::fromLatin1(c.text).toDouble())) << c.text;

    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        Type(dialog, {"2000", "40", "34", "38"});
        messages.answer(MsgAnswer::No);
        dialog->PushButton2()->click();
        // No: nothing saved, the value is there to be changed.
        EXPECT_EQ(h.model.rowCount(), 0);
        EXPECT_EQ(dialog->focusWidget(), dialog->Text(1));
        EXPECT_EQ(dialog->Text(1)->text(), "2000");
        messages.answer(MsgAnswer::Yes);
        dialog->PushButton2()->click();
        EXPECT_EQ(h.model.rowCount(), 1);
    });
    add();
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.asked().first().text, "Weight (lbs): 2000\r\nThat looks unlikely. Save anyway?");
    EXPECT_EQ(messages.asked().first().buttons, MsgButtons::YesNo);
    EXPECT_EQ(h.rows().first().at(1), "2000");
}

TEST_F(EntryInputTest, EnterSavesAndOnCancelCancels)
{
    h.addRows({{"1/1/2020", "180", "42", "34", "38"}});
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
    EXPECT_EQ(h.rows().first(), LogEntry({"1/1/2020", "180", "42", "33", "38"}));

    DriveDialog cancel([&](EntryDialog* dialog) {
        dialog->Text(1)->setText("999");
        dialog->PushButton1()->setFocus();
        QTest::keyClick(dialog->PushButton1(), Qt::Key_Return);
        EXPECT_FALSE(dialog->isVisible());
    });
    edit();
    EXPECT_EQ(h.rows().first(), LogEntry({"1/1/2020", "180", "42", "33", "38"}));

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
