#include "EntryTableModel.h"

#include "EntryDate.h"
#include "LogModel.h"
#include "NumberText.h"

EntryTableModel::EntryTableModel(LogModel& log, QObject* parent)
    : QAbstractTableModel(parent)
    , m_log(log)
{
    connect(&log, &LogModel::aboutToReset, this, [this] { beginResetModel(); });
    connect(&log, &LogModel::wasReset, this, [this] { endResetModel(); });
    connect(&log, &LogModel::rowsAboutToBeAppended, this,
            [this](int first, int last) { beginInsertRows(QModelIndex(), first - 1, last - 1); });
    connect(&log, &LogModel::rowsAppended, this, [this] { endInsertRows(); });
    connect(&log, &LogModel::rowAboutToBeRemoved, this,
            [this](int position) { beginRemoveRows(QModelIndex(), position - 1, position - 1); });
    connect(&log, &LogModel::rowRemoved, this, [this] { endRemoveRows(); });
    connect(&log, &LogModel::rowChanged, this, [this](int position) {
        emit dataChanged(index(position - 1, 0), index(position - 1, columnCount() - 1), {Qt::DisplayRole});
    });
}

int EntryTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_log.rowCount(); }

int EntryTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_log.columnCount(); }

QString EntryTableModel::ShownField(const QString& stored, int k)
{
    // No date or number is this long: a longer text (a hand edit, another program) is shown
    // as it is, without reading it through.
    if (stored.size() > 64)
        return stored;
    return k == 0 ? ShownEntryDate(stored) : ShownNumberText(stored);
}

QVariant EntryTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_log.rowCount() || index.column() >= m_log.columnCount())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return ShownField(m_log.field(index.row() + 1, index.column()), index.column());
    return QVariant();
}

QVariant EntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_log.columnCount())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_log.columns().at(section);
    return QVariant();
}
