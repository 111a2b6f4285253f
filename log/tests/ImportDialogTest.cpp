#include "ImportCommand.h"
#include "ImportDialog.h"
#include "MessageBox.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers the questions of an import and records them.
class ScriptedQuestions : public ImportQuestions {
public:
    bool chooseLayout(const QString&, const ImportTable&, bool, ImportLayout& layout) override
    {
        ++layoutsAsked;
        if (!mapping)
            return false;
        mapping(layout);
        return true;
    }
    bool confirm(const ImportReview& review, SameDate& rule) override
    {
        reviews.append(review);
        rule = answer;
        return !cancelReview;
    }
    void tell(const QString& message) override { told.append(message); }

    std::function<void(ImportLayout&)> mapping;
    SameDate answer = SameDate::Skip;
    bool cancelReview = false;
    int layoutsAsked = 0;
    QList<ImportReview> reviews;
    QStringList told;
};

class ImportRun : public ::testing::Test {
protected:
    std::optional<QList<LogEntry>> run(const QByteArray& bytes, const QList<LogEntry>& log, bool imperial = true,
                                       int limit = 0)
    {
        const QString path = dir.filePath("file.csv");
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(bytes);
        file.close();
        return RunImport(path, imperial, log, limit, ask);
    }
    QTemporaryDir dir;
    ScriptedQuestions ask;
};

TEST_F(ImportRun, AKnownLayoutWithNothingToSayImportsWithoutAQuestion)
{
    const auto result = run("Date,Weight (lbs)\n6/24/2004,198\n", {{"6/10/2004", "200", "", "", ""}});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, QList<LogEntry>({{"6/10/2004", "200", "", "", ""}, {"6/24/2004", "198", "", "", ""}}));
    EXPECT_EQ(ask.layoutsAsked, 0);
    EXPECT_TRUE(ask.reviews.isEmpty());
    EXPECT_TRUE(ask.told.isEmpty());
}

TEST_F(ImportRun, AnUnknownLayoutAsksForTheMappingAndCancelChangesNothing)
{
    const QByteArray csv = "when,kilos,notes\n2024-01-01,80,x\n";
    EXPECT_FALSE(run(csv, {}).has_value());
    EXPECT_EQ(ask.layoutsAsked, 1);
    ask.mapping = [](ImportLayout& layout) {
        layout.fields = {ImportField::Date, ImportField::Weight, ImportField::None};
        layout.weightUnit = WeightUnit::Kilograms;
    };
    const auto result = run(csv, {});
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, QList<LogEntry>({{"1/1/2024", "176.37", "", "", ""}}));
}

TEST_F(ImportRun, SameDatesAndLeftOutRowsAreReviewedAndTheAnswerIsFollowed)
{
    const QList<LogEntry> log = {{"1/1/2024", "80", "", "", "", "", ""}};
    const QByteArray csv = "Date,Weight (kg)\n2024-01-01,79\n2024-01-02,78\nnot a date,1\n2024-01-03,900\n";
    ask.answer = SameDate::Replace;
    const auto result = run(csv, log, false, 2);
    ASSERT_EQ(ask.reviews.size(), 1);
    const ImportReview& review = ask.reviews.first();
    EXPECT_EQ(review.imported, 3);
    EXPECT_EQ(review.sameDates, 1);
    ASSERT_EQ(review.rejected.size(), 1);
    EXPECT_EQ(review.rejected.first().line, 4);
    EXPECT_EQ(review.unlikelyLines, QList<int>({5}));
    EXPECT_EQ(review.entriesAfter, 4);
    EXPECT_EQ(review.entryLimit, 2);
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->size(), 3);
    EXPECT_EQ(result->first().at(1), "79");

    ask.cancelReview = true;
    EXPECT_FALSE(run(csv, log, false).has_value());
}

TEST_F(ImportRun, NothingToImportIsToldAndGivesNothing)
{
    EXPECT_FALSE(run("", {}).has_value());
    ASSERT_EQ(ask.told.size(), 1);
    EXPECT_TRUE(ask.told.first().contains("empty"));
    ask.told.clear();
    EXPECT_FALSE(run("Date,Weight\nnever,80\nsoon,81\n", {}).has_value());
    ASSERT_EQ(ask.told.size(), 1);
    EXPECT_TRUE(ask.told.first().startsWith("No row of file.csv could be read"));
    EXPECT_TRUE(ask.told.first().contains("Line 3: \"soon\" is not a date"));
    // Skipping every entry leaves the log as it was: said, and nothing changes.
    ask.told.clear();
    EXPECT_FALSE(run("Date,Weight\n1/1/2024,80\n", {{"1/1/2024", "81", "", "", ""}}).has_value());
    ASSERT_EQ(ask.reviews.size(), 1);
    EXPECT_TRUE(ask.told.first().contains("nothing was imported"));
    EXPECT_FALSE(ReviewNeedsAnswer(ImportReview{}));
}

TEST(ImportMapping, TheControlsShowTheDetectedLayoutAndGiveBackTheUsersChoice)
{
    ImportTable table;
    table.rows = {{1, {"when", "kilos", "waist"}}, {2, {"15.07.2024", "80,5", "90"}}, {3, {"16.07.2024", "x", "91"}}};
    ImportLayout detected = DetectLayout(table, false);
    ImportMappingDialog dialog("file.csv", table, false, detected);
    EXPECT_TRUE(dialog.headerBox()->isChecked());
    EXPECT_EQ(dialog.fieldBox(2)->currentText(), "Waist");
    EXPECT_EQ(dialog.fieldBox(0)->currentText(), "Date");
    EXPECT_EQ(dialog.fieldBox(1)->currentText(), "Nothing");
    EXPECT_EQ(dialog.decimalBox()->currentIndex(), 1);
    EXPECT_EQ(dialog.rows()->horizontalHeaderItem(1)->text(), "kilos");
    EXPECT_EQ(dialog.rows()->item(1, 0)->text(), "15.07.2024");
    // Metric log: the wrist and forearm can be chosen too.
    EXPECT_EQ(dialog.fieldBox(1)->count(), 8);

    dialog.fieldBox(1)->setCurrentText("Weight");
    dialog.weightUnitBox()->setCurrentIndex(1);
    EXPECT_TRUE(dialog.readable()->text().startsWith("1 of 2 rows can be read."))
        << dialog.readable()->text().toStdString();
    EXPECT_TRUE(dialog.readable()->text().contains("Line 3"));
    const ImportLayout chosen = dialog.layout();
    EXPECT_EQ(chosen.fields, QList<int>({ImportField::Date, ImportField::Weight, ImportField::Waist}));
    EXPECT_EQ(chosen.weightUnit, WeightUnit::Kilograms);
    EXPECT_EQ(chosen.dateOrder, DateOrder::DayFirst);

    // Without a header the first row is data, and the columns are numbered.
    dialog.headerBox()->setChecked(false);
    EXPECT_EQ(dialog.rows()->horizontalHeaderItem(1)->text(), "Column 2");
    EXPECT_EQ(dialog.rows()->item(1, 0)->text(), "when");
}

TEST(ImportMapping, ImportIsRefusedWhileAFieldIsChosenTwice)
{
    ImportTable table;
    table.rows = {{1, {"2024-01-01", "80", "81"}}};
    ImportLayout layout = DetectLayout(table, true);
    ImportMappingDialog dialog("file.csv", table, true, layout);
    dialog.fieldBox(1)->setCurrentText("Weight");
    dialog.fieldBox(2)->setCurrentText("Weight");
    ScriptedMessages messages;
    dialog.show();
    dialog.accept();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"Weight\" is chosen for more than one column"));
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialog.isVisible());
    dialog.fieldBox(2)->setCurrentText("Nothing");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(ImportReviewWindow, SaysWhatHappensAndAsksOnlyWhenDatesMeet)
{
    ImportReview review;
    review.fileName = "file.csv";
    review.imported = 12;
    review.rejected = {{4, "\"x\" is not a date"}};
    ImportReviewDialog plain(review);
    EXPECT_EQ(plain.ruleButton(SameDate::Replace), nullptr);
    EXPECT_EQ(plain.rule(), SameDate::Skip);
    EXPECT_TRUE(plain.summary()->text().contains("12 entries can be imported from file.csv."));

    review.sameDates = 3;
    ImportReviewDialog asking(review);
    ASSERT_NE(asking.ruleButton(SameDate::Replace), nullptr);
    EXPECT_TRUE(asking.ruleButton(SameDate::Skip)->isChecked());
    asking.ruleButton(SameDate::KeepBoth)->setChecked(true);
    EXPECT_EQ(asking.rule(), SameDate::KeepBoth);

    // Through the questions, as File > Import runs them.
    SetImportDialogHook([](QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            auto* shown = qobject_cast<ImportReviewDialog*>(dialog);
            ASSERT_NE(shown, nullptr);
            shown->ruleButton(SameDate::Replace)->setChecked(true);
            dialog->findChild<QPushButton*>("ImportButton")->click();
        });
    });
    DialogImportQuestions questions(nullptr);
    SameDate rule = SameDate::Skip;
    EXPECT_TRUE(questions.confirm(review, rule));
    EXPECT_EQ(rule, SameDate::Replace);
    SetImportDialogHook({});
}

} // namespace
