// The trend, goal and figure formulas recalculated by LibreOffice and by Gnumeric: both must
// show what the figures' definitions give, in every case a log can be in, and no error.
#include "InteropFiles.h"
#include "TrendFill.h"

#include "ToolRun.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>

using namespace kalmora;
using namespace trendref;
using interop::ParseCsv;
using interop::ReadText;

namespace {

struct Case {
    const char* name;
    std::vector<Entry> entries;
    std::optional<double> goal;
};

std::vector<Entry> Days(std::initializer_list<std::pair<int, double>> days)
{
    std::vector<Entry> out;
    for (const auto& [day, weight] : days) {
        if (weight < 0)
            out.push_back({kJune10 + day, std::nullopt});
        else
            out.push_back({kJune10 + day, weight});
    }
    return out;
}

std::vector<Case> Cases()
{
    std::vector<Entry> uneven;
    const int days[] = {0, 1, 4, 8, 16, 25, 40, 56, 78, 108, 139, 177, 222, 268, 320, 380, 441, 508, 582, 657};
    for (int i = 0; i < 20; ++i)
        uneven.push_back({kJune10 + days[i], 210.0 - 0.03 * days[i] + ((i * 7) % 5 - 2) * 0.3});
    std::vector<Entry> undated = Days({{0, 200}, {35, 195}});
    undated.push_back({std::nullopt, 150.0});
    return {
        {"uneven", uneven, 185.0},
        {"uneven-no-goal", uneven, std::nullopt},
        {"one", Days({{0, 200}}), 185.0},
        {"one-on-goal", Days({{0, 185}}), 185.0},
        // -1: no weight
        {"same-day-and-gaps", Days({{0, 200}, {0, 190}, {7, 198}, {9, -1}, {20, 196}, {40, -1}, {41, 195}}), 180.0},
        {"late-weights", Days({{0, -1}, {3, -1}, {10, 90}, {12, 89}, {50, 88}}), 80.0},
        {"no-weights", Days({{0, -1}, {30, -1}, {60, -1}}), 80.0},
        {"27-days", Days({{0, 200}, {14, 199}, {27, 198}}), 185.0},
        {"28-days", Days({{0, 200}, {10, 190}, {38, 198}}), 185.0},
        {"reached", Days({{0, 200}, {30, 190}, {60, 180}}), 195.0},
        {"moving-away", Days({{0, 200}, {30, 190}, {60, 180}}), 205.0},
        {"gaining-reached", Days({{0, 60}, {30, 61}, {60, 62}}), 61.0},
        {"gaining", Days({{0, 60}, {30, 61}, {60, 62}}), 65.0},
        {"flat", Days({{0, 70}, {30, 70}, {60, 70}}), 65.0},
        {"past-9999", Days({{0, 70}, {300, 69.99999}}), 10.0},
        {"undated-last", undated, 185.0},
    };
}

// Sets the cached number of the formula in (row, col) of the file to a bogus one, so that only
// a recalculation shows the right figure. Formulas with a text result keep theirs.
void SpoilCachedNumber(QByteArray& file, int row, int col)
{
    const QByteArray head("\x06\x00", 2);
    const auto u16 = [&](int i) {
        return static_cast<int>(static_cast<unsigned char>(file[i]))
            | (static_cast<int>(static_cast<unsigned char>(file[i + 1])) << 8);
    };
    for (int at = file.indexOf(head); at >= 0 && at + 18 <= file.size(); at = file.indexOf(head, at + 1)) {
        if (u16(at + 2) >= 22 && u16(at + 4) == row && u16(at + 6) == col && u16(at + 16) != 0xFFFF) {
            const double bogus = 12345.0;
            std::memcpy(file.data() + at + 10, &bogus, 8);
            return;
        }
    }
}

QString Field(const std::vector<QStringList>& rows, int row, int col)
{
    return row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)].value(col) : QString();
}

// A date as the other programs show the short date format.
QDate ShownDate(const QString& text)
{
    for (const char* format : {"M/d/yyyy", "MM/dd/yy", "M/d/yy", "yyyy-MM-dd", "yyyy/MM/dd"}) {
        QDate d = QDate::fromString(text, QString::fromLatin1(format));
        if (d.isValid()) {
            if (d.year() < 1950)
                d = d.addYears(100);
            return d;
        }
    }
    return {};
}

void ExpectShown(const std::vector<QStringList>& rows, const TemplateDefinition& d, const Case& c)
{
    const Figures want = Compute(c.entries, c.goal);
    const auto number = [](const QString& text, double expected) {
        bool ok = false;
        const double v = text.toDouble(&ok);
        return ok && std::abs(v - expected) <= 0.006;
    };
    for (std::size_t i = 0; i < c.entries.size(); ++i) {
        const int row = d.firstDataRow + static_cast<int>(i);
        const QString trend = Field(rows, row, d.trendColumn());
        if (want.trend[i]) {
            EXPECT_TRUE(number(trend, *want.trend[i])) << "trend " << i << ": " << trend.toStdString();
        } else {
            EXPECT_EQ(trend, QString()) << "trend " << i;
        }
        const QString goal = Field(rows, row, d.goalColumn());
        if (c.goal) {
            EXPECT_TRUE(number(goal, *c.goal)) << "goal " << i << ": " << goal.toStdString();
        } else {
            EXPECT_EQ(goal, QString()) << "goal " << i;
        }
    }
    const QString change = Field(rows, d.changePerWeekRow, d.summaryColumn);
    if (want.changePerWeek) {
        EXPECT_TRUE(number(change, *want.changePerWeek)) << "change per week: " << change.toStdString();
    } else {
        EXPECT_EQ(change, QString()) << "change per week";
    }
    const QString date = Field(rows, d.goalDateRow, d.summaryColumn);
    if (want.goalDate) {
        EXPECT_EQ(ShownDate(date), QDate(1899, 12, 30).addDays(*want.goalDate)) << date.toStdString();
    } else {
        EXPECT_EQ(date, want.goalText);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (int col = 0; col < rows[r].size(); ++col) {
            const bool estimate = col >= d.dataColumns && col < d.trendColumn();
            const QString& text = rows[r].at(col);
            if (!estimate) {
                EXPECT_FALSE(text.startsWith(QLatin1Char('#')) || text.contains(QLatin1String("Err:")))
                    << "row " << r + 1 << ", column " << col + 1 << ": " << text.toStdString();
            }
        }
    }
}

class TrendInterop : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        def = &templateDefinition(GetParam());
        cases = Cases();
        for (std::size_t k = 0; k < cases.size(); ++k) {
            const Filled f = Fill(GetParam(), cases[k].entries, cases[k].goal);
            const sheet::Bytes b = sheet::workbookToBytes(*f.book);
            QByteArray bytes(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
            for (std::size_t i = 0; i < cases[k].entries.size(); ++i)
                SpoilCachedNumber(bytes, def->firstDataRow + static_cast<int>(i), def->trendColumn());
            SpoilCachedNumber(bytes, def->changePerWeekRow, def->summaryColumn);
            SpoilCachedNumber(bytes, def->goalDateRow, def->summaryColumn);
            QFile file(path(k, QStringLiteral("xls")));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_EQ(file.write(bytes), bytes.size());
        }
    }
    QString path(std::size_t k, const QString& suffix) const
    {
        return dir.filePath(QStringLiteral("%1.%2").arg(QString::fromLatin1(cases[k].name), suffix));
    }

    QTemporaryDir dir;
    const TemplateDefinition* def = nullptr;
    std::vector<Case> cases;
};

} // namespace

TEST_P(TrendInterop, LibreOfficeComputesTheFiguresOfEveryCase)
{
    QStringList args = {QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
                        QStringLiteral("--outdir"), dir.filePath(QStringLiteral("lo"))};
    for (std::size_t k = 0; k < cases.size(); ++k)
        args << path(k, QStringLiteral("xls"));
    ASSERT_TRUE(sheet::test::runTool(dir.path(), QStringLiteral("libreoffice"), args));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].name);
        const QString csv = ReadText(dir.filePath(QStringLiteral("lo/%1.csv").arg(cases[k].name)));
        ASSERT_FALSE(csv.isEmpty());
        ExpectShown(ParseCsv(csv), *def, cases[k]);
    }
}

TEST_P(TrendInterop, GnumericComputesTheFiguresOfEveryCase)
{
    for (std::size_t k = 0; k < cases.size(); ++k) {
        SCOPED_TRACE(cases[k].name);
        const QString csv = path(k, QStringLiteral("csv"));
        ASSERT_TRUE(sheet::test::runTool(dir.path(), QStringLiteral("ssconvert"),
                                         {QStringLiteral("--recalc"), path(k, QStringLiteral("xls")), csv}));
        ExpectShown(ParseCsv(ReadText(csv)), *def, cases[k]);
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, TrendInterop, ::testing::Values(kImperialTemplate, kMetricTemplate),
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == kImperialTemplate ? "Imperial" : "Metric";
                         });
