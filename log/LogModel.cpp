#include "LogModel.h"

#include "ActiveLog.h"
#include "Constants.h"
#include "EntryOrder.h"
#include "Failure.h"
#include "Guarded.h"
#include "NumberText.h"
#include "Preferences.h"
#include "SampleData.h"
#include "Settings.h"

namespace {

// One field per column: missing fields empty, extra fields dropped.
LogEntry Fitted(LogEntry entry, int fields)
{
    entry = entry.mid(0, fields);
    while (entry.size() < fields)
        entry.append(QString(QLatin1String("")));
    return entry;
}

// Measurements in today's stored form (an older decimal comma becomes a point).
LogEntry Canonical(LogEntry entry)
{
    for (qsizetype k = 1; k < entry.size(); ++k)
        entry[k] = CanonicalStoredNumber(entry.at(k));
    return entry;
}

} // namespace

LogModel::LogModel(QObject* parent)
    : QObject(parent)
    , m_history(new LogHistory(*this, this))
{
    connect(m_history, &LogHistory::changed, this, &LogModel::historyChanged);
}

LogModel::~LogModel() = default;

QString LogModel::activeKey() const { return m_imperial ? Keys::FitnessMen : Keys::FitnessWomen; }

std::array<QString, 2> LogModel::HeightCaptions(bool imperial)
{
    if (imperial)
        return {QStringLiteral("Feet:"), QStringLiteral("Inches:")};
    return {QStringLiteral("Meter:"), QStringLiteral("CM:")};
}

int LogModel::fieldCount() const
{
    // Wrist and forearm belong to the metric log only.
    return m_imperial ? qMin(columnCount(), 5) : columnCount();
}

void LogModel::setColumns(const QStringList& captions)
{
    emit aboutToReset();
    m_columns = captions;
    for (LogEntry& row : m_rows)
        row = Fitted(std::move(row), columnCount());
    emit wasReset();
    emit columnsChanged();
}

QList<LogEntry> LogModel::typedEntries() const
{
    QList<LogEntry> result = m_rows;
    for (LogEntry& row : result)
        for (qsizetype k = 1; k < row.size(); ++k)
            row[k] = ShownNumberText(row.at(k));
    return result;
}

void LogModel::select(int position)
{
    // One row stays selected while there are rows.
    if (position < 1 || position > rowCount())
        position = rowCount() > 0 ? qBound(1, m_selected, rowCount()) : 0;
    if (position == m_selected)
        return;
    m_selected = position;
    emit selectionChanged(m_selected);
}

void LogModel::ensureSelection()
{
    if (rowCount() == 0)
        select(0);
    else if (m_selected < 1 || m_selected > rowCount())
        select(1);
}

void LogModel::resetRows(const QList<LogEntry>& rows, int selected)
{
    emit aboutToReset();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (const LogEntry& row : rows)
        m_rows.append(Fitted(row, columnCount()));
    m_selected = 0;
    emit wasReset();
    if (selected > 0 && selected <= rowCount())
        select(selected);
    ensureSelection();
}

void LogModel::appendRows(const QList<LogEntry>& rows)
{
    if (rows.isEmpty())
        return;
    const int first = rowCount() + 1;
    const int last = rowCount() + static_cast<int>(rows.size());
    emit rowsAboutToBeAppended(first, last);
    for (const LogEntry& row : rows)
        m_rows.append(Canonical(Fitted(row, columnCount())));
    emit rowsAppended(first, last);
    ensureSelection();
}

void LogModel::removeRow(int position)
{
    emit rowAboutToBeRemoved(position);
    m_rows.removeAt(position - 1);
    // The row that moved up into the place, or the new last row.
    if (m_selected > rowCount())
        m_selected = rowCount();
    emit rowRemoved(position);
    emit selectionChanged(m_selected);
}

LogState LogModel::state() const
{
    LogState s;
    s.rows = m_rows;
    s.height1 = m_heights[0];
    s.height2 = m_heights[1];
    s.selected = m_selected;
    return s;
}

// ---------------------------------------------------------------- store, load, switch

void LogModel::storeActiveLog()
{
    // The store backs up the day's first change itself (SettingsBackup.h).
    WriteSetting(SettingsSection, activeKey(), JoinStoredLog(m_rows));
}

void LogModel::loadActiveLog()
{
    QList<LogEntry> entries = SplitStoredLog(ReadSetting(SettingsSection, activeKey()));
    const int fields = fieldCount();
    for (LogEntry& entry : entries)
        entry = Fitted(std::move(entry), fields);
    appendRows(entries);
}

void LogModel::reloadActiveLog()
{
    const int selected = m_selected;
    resetRows({}, 0);
    loadActiveLog();
    select(selected);
}

void LogModel::setUpImperialView()
{
    setHeight(1, ShownNumberText(ReadSetting(SettingsSection, Keys::Text1Men, Defaults::Text1Men)));
    setHeight(2, ShownNumberText(ReadSetting(SettingsSection, Keys::Text2Men, Defaults::Text2MenAtStartup)));
    setColumns(StartupImperialColumns());
}

void LogModel::switchTemplate(bool imperial, Guarded& proc)
{
    proc(20, [&] { resetRows({}, 0); });
    proc(30, [&] { setColumns({}); });
    m_imperial = imperial;
    m_history->setActive(imperial);
    emit activeLogChanged(imperial);
    auto stored = [](const QString& key, const QString& fallback) {
        return ShownNumberText(ReadSetting(SettingsSection, key, fallback));
    };
    if (imperial) {
        proc(40, [&] { setHeight(1, stored(Keys::Text1Men, Defaults::Text1Men)); });
        proc(41, [&] { setHeight(2, stored(Keys::Text2Men, Defaults::Text2MenAtSwitch)); });
        proc(42, [&] { setColumns(ImperialColumns()); });
    } else {
        proc(43, [&] { setHeight(1, stored(Keys::Text1Women, Defaults::Text1Women)); });
        proc(44, [&] { setHeight(2, stored(Keys::Text2Women, Defaults::Text2Women)); });
        proc(45, [&] { setColumns(MetricColumns()); });
    }
    proc(60, [&] { WriteSetting(SettingsSection, Keys::Option1, BoolSettingText(imperial)); });
    proc(61, [&] { WriteSetting(SettingsSection, Keys::Option2, BoolSettingText(!imperial)); });
    proc(70, [&] { loadActiveLog(); });
}

// ---------------------------------------------------------------- heights

QString LogModel::heightKey(int field) const
{
    if (field == 1)
        return m_imperial ? Keys::Text1Men : Keys::Text1Women;
    return m_imperial ? Keys::Text2Men : Keys::Text2Women;
}

void LogModel::storeHeight(int field)
{
    WriteSetting(SettingsSection, heightKey(field), StoredNumberText(height(field)));
}

void LogModel::setHeight(int field, const QString& text)
{
    // No change, no write.
    if (m_heights.at(field - 1) == text)
        return;
    m_heights[field - 1] = text;
    emit heightChanged(field, text);
    storeHeight(field);
}

void LogModel::typeHeight(int field, const QString& text)
{
    const QString before = m_heights.at(field - 1);
    if (before == text)
        return;
    m_heights[field - 1] = text;
    emit heightChanged(field, text);
    m_history->recordTypedHeight(field, before, text);
    storeHeight(field);
}

// ---------------------------------------------------------------- editing

void LogModel::appendEntry(const LogEntry& entry)
{
    const LogState before = state();
    appendRows({entry});
    emit entryAppended(rowCount());
    m_history->recordAppendedRows(before, state());
}

void LogModel::replaceSelected(const LogEntry& entry)
{
    if (m_selected < 1)
        return;
    const LogState before = state();
    m_rows[m_selected - 1] = Fitted(entry, columnCount());
    emit rowChanged(m_selected);
    m_history->recordChange(QStringLiteral("Edit Entry"), before, state());
    storeActiveLog();
}

void LogModel::deleteSelected(Guarded& proc)
{
    const LogState before = state();
    proc(10, [&] {
        if (!m_busy && m_selected > 0)
            removeRow(m_selected);
    });
    proc(20, [&] { storeActiveLog(); });
    m_history->recordChange(QStringLiteral("Delete Entry"), before, state());
}

void LogModel::clear(Guarded& proc)
{
    const LogState before = state();
    proc(10, [&] {
        if (!m_busy)
            resetRows({}, 0);
    });
    proc(20, [&] { storeActiveLog(); });
    m_history->recordChange(QStringLiteral("Clear List"), before, state());
}

void LogModel::loadSample(Guarded& proc)
{
    const LogState before = state();
    proc(10, [&] {
        if (!m_busy)
            resetRows({}, 0);
    });
    proc(20, [&] { setHeight(1, m_imperial ? ImperialSampleHeight1 : MetricSampleHeight1); });
    proc(21, [&] { setHeight(2, m_imperial ? ImperialSampleHeight2 : MetricSampleHeight2); });
    proc(30, [&] { appendRows(SampleEntries(m_imperial)); });
    proc(40, [&] { storeActiveLog(); });
    m_history->recordChange(QStringLiteral("Load Example Data"), before, state());
}

void LogModel::replaceLog(const QList<LogEntry>& entries, const QString& stepText)
{
    const LogState before = state();
    QList<LogEntry> rows;
    for (const LogEntry& entry : entries)
        rows.append(Canonical(Fitted(entry, fieldCount())));
    resetRows(rows, m_selected);
    m_history->recordChange(stepText, before, state());
    storeActiveLog();
}

bool LogModel::sortByDate()
{
    if (m_busy || IsInDateOrder(m_rows))
        return false;
    const QList<int> order = DateOrder(m_rows);
    QList<LogEntry> rows;
    rows.reserve(order.size());
    for (const int index : order)
        rows.append(m_rows.at(index));
    const LogState before = state();
    resetRows(rows, m_selected > 0 ? static_cast<int>(order.indexOf(m_selected - 1)) + 1 : 0);
    m_history->recordChange(QStringLiteral("Sort by Date"), before, state());
    storeActiveLog();
    return true;
}

QString LogModel::goal() const { return ReadGoal(m_imperial); }

void LogModel::goalReadAgain(bool imperial) { emit goalChanged(imperial, ReadGoal(imperial)); }

void LogModel::setGoal(const QString& stored)
{
    const QString before = goal();
    if (stored == before)
        return;
    // The step belongs to this log's history: undone after a switch, it still sets this log's goal.
    m_history->activeStack()->push(new GoalStep(
        m_imperial, before, stored, [this](bool imperial, const QString& g) { emit goalChanged(imperial, g); }));
}

// ---------------------------------------------------------------- undo

void LogModel::undo()
{
    if (m_busy || !canUndo())
        return;
    m_undoProcedure = QStringLiteral("Form1.Undo");
    m_history->undo();
}

void LogModel::redo()
{
    if (m_busy || !canRedo())
        return;
    m_undoProcedure = QStringLiteral("Form1.Redo");
    m_history->redo();
}

void LogModel::applyState(const LogState& state)
{
    Guarded proc(m_undoProcedure.isEmpty() ? QStringLiteral("Form1.Undo") : m_undoProcedure);
    proc(10, [&] { resetRows(state.rows, state.selected); });
    proc(20, [&] { setHeight(1, state.height1); });
    proc(21, [&] { setHeight(2, state.height2); });
    proc(30, [&] { storeActiveLog(); });
}

void LogModel::applyHeight(int field, const QString& text)
{
    Guarded proc(m_undoProcedure.isEmpty() ? QStringLiteral("Form1.Undo") : m_undoProcedure);
    proc(field == 1 ? 20 : 21, [&] { setHeight(field, text); });
}
