#include "EntryList.h"

#include "Constants.h"
#include "NumberText.h"

#include <QHeaderView>
#include <QLocale>
#include <QTreeWidget>

void EntryList::clearColumns() { m_list->setColumnCount(0); }

void EntryList::addColumn(const QString& caption)
{
    const int column = m_list->columnCount();
    m_list->setColumnCount(column + 1);
    m_list->headerItem()->setText(column, caption);
}

int EntryList::columnCount() const { return m_list->columnCount(); }

void EntryList::setColumnWidthTwips(int position, int twips) { m_list->setColumnWidth(position - 1, Px(twips)); }

QString EntryList::columnCaption(int position) const { return m_list->headerItem()->text(position - 1); }

void EntryList::clearRows() { m_list->clear(); }

QTreeWidgetItem* EntryList::addRow(const QString& text)
{
    auto* row = new QTreeWidgetItem(QStringList{text});
    m_list->addTopLevelItem(row);
    return row;
}

int EntryList::rowCount() const { return m_list->topLevelItemCount(); }

QTreeWidgetItem* EntryList::row(int position) const { return m_list->topLevelItem(position - 1); }

void EntryList::removeRow(int position) { delete m_list->takeTopLevelItem(position - 1); }

int EntryList::index(const QTreeWidgetItem* row) const
{
    return m_list->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(row)) + 1;
}

QString EntryList::text(const QTreeWidgetItem* row) { return row->text(0); }

void EntryList::setText(QTreeWidgetItem* row, const QString& text) { row->setText(0, text); }

QString EntryList::subItem(const QTreeWidgetItem* row, int k) { return row->text(k); }

namespace {

// A measurement's stored text, kept beside the shown one while it is unchanged.
constexpr int StoredRole = Qt::UserRole;

QString StoredField(const QTreeWidgetItem* item, int k)
{
    if (k == 0)
        return item->text(0);
    const QVariant stored = item->data(k, StoredRole);
    return stored.isValid() ? stored.toString() : StoredNumberText(item->text(k));
}

} // namespace

void EntryList::setSubItem(QTreeWidgetItem* row, int k, const QString& text)
{
    row->setText(k, text);
    row->setData(k, StoredRole, QVariant());
}

QTreeWidgetItem* EntryList::selectedRow() const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void EntryList::selectRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    m_list->setCurrentItem(row);
    row->setSelected(true);
    m_list->scrollToItem(row);
}

void EntryList::ensureSelection()
{
    if (rowCount() > 0 && !selectedRow())
        selectRow(row(1));
}

QList<LogEntry> EntryList::collect(QString (*field)(const QTreeWidgetItem*, int)) const
{
    const int rows = rowCount();
    const int columns = columnCount();
    QList<LogEntry> result;
    result.reserve(rows);
    for (int i = 0; i < rows; ++i) {
        const QTreeWidgetItem* item = m_list->topLevelItem(i);
        LogEntry entry;
        entry.reserve(columns);
        for (int k = 0; k < columns; ++k)
            entry.append(field(item, k));
        result.append(std::move(entry));
    }
    return result;
}

QList<LogEntry> EntryList::entries() const
{
    return collect([](const QTreeWidgetItem* item, int k) { return item->text(k); });
}

QList<LogEntry> EntryList::storedEntries() const { return collect(StoredField); }

void EntryList::appendEntries(const QList<LogEntry>& entries, int fieldCount)
{
    const bool pointLocale = QLocale().decimalPoint() == QLatin1String(".");
    QList<QTreeWidgetItem*> items;
    items.reserve(entries.size());
    for (const LogEntry& entry : entries) {
        QStringList texts = entry.mid(0, fieldCount);
        while (texts.size() < fieldCount)
            texts.append(QString(QLatin1String("")));
        auto* item = new QTreeWidgetItem(texts);
        for (int k = 1; k < fieldCount; ++k) {
            // The common case, a point locale and no comma, shows the stored text as it is.
            if (pointLocale && !texts.at(k).contains(QLatin1Char(',')))
                continue;
            const QString stored = CanonicalStoredNumber(texts.at(k));
            item->setData(k, StoredRole, stored);
            item->setText(k, ShownNumberText(stored));
        }
        items.append(item);
    }
    // One insertion for all rows: a long stored log loads without a view update per row.
    m_list->addTopLevelItems(items);
}

void KeepOneRowSelected(QTreeWidget* list)
{
    QObject::connect(list, &QTreeWidget::itemSelectionChanged, list, [list] {
        if (list->topLevelItemCount() > 0 && list->selectedItems().isEmpty()) {
            QTreeWidgetItem* row = list->currentItem() ? list->currentItem() : list->topLevelItem(0);
            row->setSelected(true);
        }
    });
}
