#include "LogView.h"

#include "ActiveLog.h"
#include "Constants.h"
#include "EntryTableModel.h"
#include "Guarded.h"
#include "LogModel.h"

#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeView>

LogView::LogView(const LogControls& controls, LogModel& model, QObject* parent)
    : QObject(parent)
    , m_c(controls)
    , m_model(model)
    , m_table(new EntryTableModel(model, this))
{
    m_c.ListView1->setModel(m_table);
    connect(m_c.Option1, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            SwitchTemplate(1);
    });
    connect(m_c.Option2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            SwitchTemplate(2);
    });
    connect(&model, &LogModel::heightChanged, this, &LogView::showHeight);
    connect(m_c.Text1, &QLineEdit::textChanged, this, [this] { heightEdited(1); });
    connect(m_c.Text2, &QLineEdit::textChanged, this, [this] { heightEdited(2); });
    m_c.Text1->installEventFilter(this);
    m_c.Text2->installEventFilter(this);

    connect(&model, &LogModel::columnsChanged, this, &LogView::fitColumns);
    m_listViewport = m_c.ListView1->viewport();
    m_listViewport->installEventFilter(this);
    nameHeightFields(model.imperial());
    connect(&model, &LogModel::selectionChanged, this, &LogView::showSelection);
    connect(&model, &LogModel::wasReset, this, &LogView::showSelection);
    connect(&model, &LogModel::entryAppended, this,
            [this](int position) { m_c.ListView1->scrollTo(m_table->index(position - 1, 0)); });
    connect(m_c.ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, &LogView::takeSelection);
    showHeight(1, model.height(1));
    showHeight(2, model.height(2));
}

void LogView::SwitchTemplate(int which)
{
    Guarded proc(which == 1 ? QStringLiteral("Form1.Option1_Click") : QStringLiteral("Form1.Option2_Click"),
                 Guarded::InCaller);
    proc(10, [&] {
        const std::array<QString, 2> captions = LogModel::HeightCaptions(which == 1);
        for (int i = 0; i < 2; ++i) {
            QLabel* label = m_c.Label1.at(static_cast<std::size_t>(i));
            label->setText(captions.at(static_cast<std::size_t>(i)));
            // As wide as the caption; the height stays that of the box beside it.
            label->resize(label->sizeHint().width(), label->height());
        }
        nameHeightFields(which == 1);
    });
    m_model.switchTemplate(m_c.Option1->isChecked(), proc);
}

void LogView::showHeight(int field, const QString& text)
{
    QLineEdit* edit = field == 1 ? m_c.Text1 : m_c.Text2;
    // The field's change handler sees the model already holding the text: nothing to store.
    if (edit->text() != text)
        edit->setText(text);
}

void LogView::heightEdited(int field)
{
    const QString text = (field == 1 ? m_c.Text1 : m_c.Text2)->text();
    // A text the model put there itself is no edit.
    if (text == m_model.height(field))
        return;
    Guarded proc(field == 1 ? QStringLiteral("Form1.Text1_Change") : QStringLiteral("Form1.Text2_Change"),
                 Guarded::InCaller);
    proc(10, [&] { m_model.typeHeight(field, text); });
}

std::array<QString, 2> LogView::HeightFieldNames(bool imperial)
{
    if (imperial)
        return {QStringLiteral("Height, feet"), QStringLiteral("Height, inches")};
    return {QStringLiteral("Height, metres"), QStringLiteral("Height, centimetres")};
}

void LogView::nameHeightFields(bool imperial)
{
    const std::array<QString, 2> names = HeightFieldNames(imperial);
    m_c.Text1->setAccessibleName(names[0]);
    m_c.Text2->setAccessibleName(names[1]);
}

bool LogView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listViewport && event->type() == QEvent::Resize)
        fitColumns();
    auto* field = qobject_cast<QLineEdit*>(watched);
    if (field && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        // Typing after the field got the focus again is a new undo step.
        m_model.startHeightSession();
        if (event->type() == QEvent::FocusIn) {
            // The whole height is selected, so typing replaces it. A mouse click places the
            // cursor after the focus arrives; select again then.
            field->selectAll();
            QTimer::singleShot(0, field, [field] {
                if (field->hasFocus())
                    field->selectAll();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void LogView::fitColumns()
{
    QTreeView* list = m_c.ListView1;
    const QHeaderView* header = list->header();
    const int count = header->count();
    if (count < 1)
        return;
    const int date = Px(DateColumnTwips);
    list->setColumnWidth(0, date);
    if (count < 2)
        return;
    QList<int> widths;
    int needed = 0;
    for (int i = 1; i < count; ++i) {
        widths.append(header->sectionSizeHint(i));
        needed += widths.last();
    }
    // What is left over is shared out evenly, the odd pixels to the first columns.
    const int spare = std::max(0, list->viewport()->width() - date - needed);
    const int each = spare / (count - 1);
    const int odd = spare % (count - 1);
    for (int i = 1; i < count; ++i)
        list->setColumnWidth(i, widths.at(i - 1) + each + (i <= odd ? 1 : 0));
}

void LogView::showSelection()
{
    const int position = m_model.selected();
    QItemSelectionModel* selection = m_c.ListView1->selectionModel();
    m_showingSelection = true;
    if (position < 1) {
        selection->clear();
    } else {
        const QModelIndex index = m_table->index(position - 1, 0);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_c.ListView1->scrollTo(index);
    }
    m_showingSelection = false;
}

void LogView::takeSelection()
{
    if (m_showingSelection)
        return;
    const QModelIndexList rows = m_c.ListView1->selectionModel()->selectedRows();
    // A row stays selected whatever the user clicks.
    if (rows.isEmpty()) {
        showSelection();
        return;
    }
    m_model.select(rows.first().row() + 1);
}
