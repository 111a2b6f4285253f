#pragma once

#include <QAbstractTableModel>

class LogModel;

// The active log as the main list shows it: one row per entry, one column per field, dates
// and numbers as the user's locale writes them. It follows the log model and changes nothing itself.
class EntryTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit EntryTableModel(LogModel& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text shown for field k of a stored row.
    static QString ShownField(const QString& stored, int k);

private:
    LogModel& m_log;
};
