#include "ActiveLog.h"

#include "Constants.h"
#include "EntryList.h"
#include "Failure.h"
#include "Guarded.h"
#include "LogHistory.h"
#include "NumberText.h"
#include "Settings.h"
#include "StoredLog.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

QStringList ImperialColumns()
{
    return {QStringLiteral("Date"), QStringLiteral("Weight (lbs)"), QStringLiteral("Chest (inch)"),
            QStringLiteral("Waist (inch)"), QStringLiteral("Hips (inch)")};
}

QStringList MetricColumns()
{
    return {QStringLiteral("Date"),        QStringLiteral("Weight (kg)"), QStringLiteral("Chest (cm)"),
            QStringLiteral("Waist (cm)"),  QStringLiteral("Hips (cm)"),   QStringLiteral("Wrist (cm)"),
            QStringLiteral("Forearm (cm)")};
}

QStringList StartupImperialColumns()
{
    return {QStringLiteral("Date"), QStringLiteral(" Weight (lbs)"), QStringLiteral("Chest (inch)"),
            QStringLiteral(" Waist (inch)"), QStringLiteral("Hips (inch)")};
}

QString ActiveLogKey(const LogControls& c) { return c.Option1->isChecked() ? Keys::FitnessMen : Keys::FitnessWomen; }

void StoreActiveLog(const LogControls& c)
{
    const QString text = JoinStoredLog(EntryList(c.ListView1).storedEntries());
    // The store backs up the day's first change itself (SettingsBackup.h).
    WriteSetting(SettingsSection, ActiveLogKey(c), text);
}

void LoadActiveLog(const LogControls& c)
{
    EntryList list(c.ListView1);
    const QList<LogEntry> entries = SplitStoredLog(ReadSetting(SettingsSection, ActiveLogKey(c)));
    // Wrist and forearm belong to the metric log only.
    int fields = list.columnCount();
    if (!c.Option2->isChecked())
        fields = qMin(fields, 5);
    list.appendEntries(entries, fields);
    list.ensureSelection();
}

void ShowStoredHeight(QLineEdit* field, const QString& stored) { SetHeightField(field, ShownNumberText(stored)); }

namespace {

// Set while the program itself writes a height field, so the change is not taken for typing.
int g_programSetsHeight = 0;

} // namespace

bool HeightSetByProgram() { return g_programSetsHeight > 0; }

void SetHeightField(QLineEdit* field, const QString& text)
{
    // No change, no write.
    if (field->text() == text)
        return;
    ++g_programSetsHeight;
    struct Done {
        ~Done() { --g_programSetsHeight; }
    } done;
    field->setText(text);
}

void SetupImperialView(const LogControls& c)
{
    ShowStoredHeight(c.Text1, ReadSetting(SettingsSection, Keys::Text1Men, Defaults::Text1Men));
    ShowStoredHeight(c.Text2, ReadSetting(SettingsSection, Keys::Text2Men, Defaults::Text2MenAtStartup));
    EntryList list(c.ListView1);
    for (const QString& caption : StartupImperialColumns())
        list.addColumn(caption);
}

void SwitchTemplate(const LogControls& c, int which)
{
    Guarded proc(which == 1 ? QStringLiteral("Form1.Option1_Click") : QStringLiteral("Form1.Option2_Click"),
                 Guarded::InCaller);
    EntryList list(c.ListView1);
    proc(10, [&] {
        c.Label1[0]->setText(which == 1 ? QStringLiteral("Feet:") : QStringLiteral("Meter:"));
        c.Label1[1]->setText(which == 1 ? QStringLiteral("Inches:") : QStringLiteral("CM:"));
        // As wide as the caption; the height stays that of the box beside it.
        for (QLabel* label : c.Label1)
            label->resize(label->sizeHint().width(), label->height());
    });
    proc(20, [&] { list.clearRows(); });
    proc(30, [&] { list.clearColumns(); });
    const bool imperial = c.Option1->isChecked();
    if (imperial) {
        proc(40, [&] { ShowStoredHeight(c.Text1, ReadSetting(SettingsSection, Keys::Text1Men, Defaults::Text1Men)); });
        proc(41, [&] {
            ShowStoredHeight(c.Text2, ReadSetting(SettingsSection, Keys::Text2Men, Defaults::Text2MenAtSwitch));
        });
        proc(42, [&] {
            for (const QString& caption : ImperialColumns())
                list.addColumn(caption);
        });
    } else {
        proc(43,
             [&] { ShowStoredHeight(c.Text1, ReadSetting(SettingsSection, Keys::Text1Women, Defaults::Text1Women)); });
        proc(44,
             [&] { ShowStoredHeight(c.Text2, ReadSetting(SettingsSection, Keys::Text2Women, Defaults::Text2Women)); });
        proc(45, [&] {
            for (const QString& caption : MetricColumns())
                list.addColumn(caption);
        });
    }
    proc(50, [&] { list.setColumnWidthTwips(1, DateColumnTwips); });
    proc(60, [&] { WriteSetting(SettingsSection, Keys::Option1, BoolSettingText(c.Option1->isChecked())); });
    proc(61, [&] { WriteSetting(SettingsSection, Keys::Option2, BoolSettingText(c.Option2->isChecked())); });
    proc(70, [&] { LoadActiveLog(c); });
}

void HeightFieldChanged(const LogControls& c, int field)
{
    const bool imperial = c.Option1->isChecked();
    QString key;
    if (field == 1)
        key = imperial ? Keys::Text1Men : Keys::Text1Women;
    else
        key = imperial ? Keys::Text2Men : Keys::Text2Women;
    WriteSetting(SettingsSection, key, StoredNumberText((field == 1 ? c.Text1 : c.Text2)->text()));
}

namespace {

// Selects a height field's whole text when it gets the focus, so typing replaces it.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) {
            if (auto* field = qobject_cast<QLineEdit*>(watched)) {
                field->selectAll();
                // A mouse click places the cursor after the focus arrives; select again then.
                QTimer::singleShot(0, field, [field] {
                    if (field->hasFocus())
                        field->selectAll();
                });
            }
        }
        return false;
    }
};

} // namespace

void WireLogControls(const LogControls& c)
{
    QObject::connect(c.Option1, &QRadioButton::toggled, c.window, [c](bool checked) {
        if (checked)
            SwitchTemplate(c, 1);
    });
    QObject::connect(c.Option2, &QRadioButton::toggled, c.window, [c](bool checked) {
        if (checked)
            SwitchTemplate(c, 2);
    });
    QObject::connect(c.Text1, &QLineEdit::textChanged, c.window, [c] {
        Guarded proc(QStringLiteral("Form1.Text1_Change"), Guarded::InCaller);
        proc(10, [&] { HeightFieldChanged(c, 1); });
        if (c.history)
            c.history->heightChanged(1, c.Text1->text(), HeightSetByProgram());
    });
    QObject::connect(c.Text2, &QLineEdit::textChanged, c.window, [c] {
        Guarded proc(QStringLiteral("Form1.Text2_Change"), Guarded::InCaller);
        proc(10, [&] { HeightFieldChanged(c, 2); });
        if (c.history)
            c.history->heightChanged(2, c.Text2->text(), HeightSetByProgram());
    });
    auto* focus = new SelectAllOnFocus(c.window);
    c.Text1->installEventFilter(focus);
    c.Text2->installEventFilter(focus);
    KeepOneRowSelected(c.ListView1);
}

namespace {

// "3/8" or "5 3/8".
std::optional<double> ReadFraction(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(?:(\\d+)\\s+)?(\\d+)\\s*/\\s*(\\d+)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const double denominator = match.captured(3).toDouble();
    if (denominator == 0)
        return std::nullopt;
    return match.captured(1).toDouble() + match.captured(2).toDouble() / denominator;
}

} // namespace

std::optional<HeightProblem> CheckHeightForChart(bool imperial, const QString& first, const QString& second)
{
    const QString firstName = imperial ? QStringLiteral("Feet") : QStringLiteral("Meter");
    const QString secondName = imperial ? QStringLiteral("Inches") : QStringLiteral("CM");
    static const QRegularExpression whole(QStringLiteral("^\\s*\\d+\\s*$"));
    if (first.trimmed().isEmpty())
        return HeightProblem{1, QStringLiteral("Please type the height under \"%1\".").arg(firstName)};
    if (!whole.match(first).hasMatch())
        return HeightProblem{
            1,
            QStringLiteral("The height \"%1\" under \"%2\" is not a whole number. Please type the whole %3 "
                           "there and the rest under \"%4\".")
                .arg(first, firstName, imperial ? QStringLiteral("feet") : QStringLiteral("metres"), secondName)};
    if (second.trimmed().isEmpty())
        return HeightProblem{
            2, QStringLiteral("Please type the height under \"%1\" (0 when there is nothing to add).").arg(secondName)};
    std::optional<double> rest = ReadTypedNumber(second);
    if (!rest && imperial)
        rest = ReadFraction(second);
    if (!rest || *rest < 0)
        return HeightProblem{
            2,
            QStringLiteral("The height \"%1\" under \"%2\" is not a number. Please type a number there, "
                           "for example %3.")
                .arg(second, secondName,
                     imperial ? ExampleNumber(7.5) + QStringLiteral(" or 3/8") : QStringLiteral("68"))};
    if (first.trimmed().toDouble() == 0 && *rest == 0)
        return HeightProblem{
            1, QStringLiteral("The height is 0. Please type it under \"%1\" and \"%2\".").arg(firstName, secondName)};
    return std::nullopt;
}
