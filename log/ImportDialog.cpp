#include "ImportDialog.h"

#include "MessageBox.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

std::function<void(QDialog*)>& Hook()
{
    static std::function<void(QDialog*)> hook;
    return hook;
}

std::function<QString()>& FileResponder()
{
    static std::function<QString()> responder;
    return responder;
}

// Rows of the file the mapping dialog counts as readable or not while the user chooses.
constexpr int CountedRows = 2000;

QComboBox* Choices(QWidget* parent, const QString& name, const QStringList& items, int current)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    box->setCurrentIndex(current);
    return box;
}

QDialogButtonBox* ImportButtons(QDialog* dialog)
{
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, dialog);
    QPushButton* import = buttons->addButton(QStringLiteral("&Import"), QDialogButtonBox::AcceptRole);
    import->setObjectName(QStringLiteral("ImportButton"));
    import->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

QString Lines(const QList<int>& lines)
{
    QStringList texts;
    for (int i = 0; i < lines.size() && i < 20; ++i)
        texts.append(QString::number(lines.at(i)));
    QString text = texts.join(QStringLiteral(", "));
    if (lines.size() > 20)
        text += QStringLiteral(" and %1 more").arg(lines.size() - 20);
    return text;
}

} // namespace

ImportMappingDialog::ImportMappingDialog(const QString& fileName, const ImportTable& table, bool imperial,
                                         const ImportLayout& layout, QWidget* parent)
    : QDialog(parent)
    , m_table(table)
    , m_imperial(imperial)
{
    setObjectName(QStringLiteral("ImportMappingDialog"));
    setWindowTitle(QStringLiteral("Import %1").arg(fileName));
    auto* column = new QVBoxLayout(this);
    auto* intro
        = new QLabel(QStringLiteral("Choose what each column of %1 holds for the %2 log, or \"Nothing\".")
                         .arg(fileName, imperial ? QStringLiteral("Fitness Men") : QStringLiteral("Fitness Women")),
                     this);
    intro->setWordWrap(true);
    column->addWidget(intro);

    const int columns = static_cast<int>(layout.fields.size());
    m_rows = new QTableWidget(ShownRows + 1, columns, this);
    m_rows->setObjectName(QStringLiteral("ImportRows"));
    m_rows->setAccessibleName(QStringLiteral("First rows of the file"));
    m_rows->verticalHeader()->setVisible(false);
    m_rows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    const QStringList fields = QStringList{QStringLiteral("Nothing")} + ImportFieldNames(imperial);
    for (int c = 0; c < columns; ++c) {
        QComboBox* box = Choices(m_rows, QStringLiteral("ImportField%1").arg(c + 1), fields,
                                 static_cast<int>(layout.fields.at(c)) + 1);
        box->setAccessibleName(QStringLiteral("Column %1 holds").arg(c + 1));
        connect(box, &QComboBox::currentIndexChanged, this, &ImportMappingDialog::updateReadable);
        m_rows->setCellWidget(0, c, box);
        m_fields.append(box);
    }
    column->addWidget(m_rows, 1);

    auto* form = new QFormLayout;
    m_header = new QCheckBox(QStringLiteral("The first row names the columns"), this);
    m_header->setObjectName(QStringLiteral("ImportHeader"));
    m_header->setChecked(layout.header);
    connect(m_header, &QCheckBox::toggled, this, [this] {
        showRows();
        updateReadable();
    });
    form->addRow(m_header);
    m_dateOrder = Choices(this, QStringLiteral("ImportDateOrder"),
                          {QStringLiteral("Month first (12/31/2024)"), QStringLiteral("Day first (31/12/2024)")},
                          layout.dateOrder == DateOrder::DayFirst ? 1 : 0);
    form->addRow(QStringLiteral("&Dates:"), m_dateOrder);
    m_decimal
        = Choices(this, QStringLiteral("ImportDecimal"),
                  {QStringLiteral("Point (72.5)"), QStringLiteral("Comma (72,5)")}, layout.decimal == u',' ? 1 : 0);
    form->addRow(QStringLiteral("Decimal &separator:"), m_decimal);
    m_weightUnit
        = Choices(this, QStringLiteral("ImportWeightUnit"), {QStringLiteral("Pounds"), QStringLiteral("Kilograms")},
                  layout.weightUnit == WeightUnit::Kilograms ? 1 : 0);
    form->addRow(QStringLiteral("&Weight in:"), m_weightUnit);
    m_lengthUnit
        = Choices(this, QStringLiteral("ImportLengthUnit"), {QStringLiteral("Inches"), QStringLiteral("Centimetres")},
                  layout.lengthUnit == LengthUnit::Centimetres ? 1 : 0);
    form->addRow(QStringLiteral("&Measurements in:"), m_lengthUnit);
    for (QComboBox* box : {m_dateOrder, m_decimal, m_weightUnit, m_lengthUnit})
        connect(box, &QComboBox::currentIndexChanged, this, &ImportMappingDialog::updateReadable);
    column->addLayout(form);

    m_readable = new QLabel(this);
    m_readable->setObjectName(QStringLiteral("ImportReadable"));
    m_readable->setWordWrap(true);
    column->addWidget(m_readable);
    column->addWidget(ImportButtons(this));
    showRows();
    updateReadable();
    resize(720, 520);
}

ImportLayout ImportMappingDialog::layout() const
{
    ImportLayout layout;
    layout.header = m_header->isChecked();
    for (const QComboBox* box : m_fields)
        layout.fields.append(box->currentIndex() - 1);
    layout.dateOrder = m_dateOrder->currentIndex() == 1 ? DateOrder::DayFirst : DateOrder::MonthFirst;
    layout.decimal = m_decimal->currentIndex() == 1 ? u',' : u'.';
    layout.weightUnit = m_weightUnit->currentIndex() == 1 ? WeightUnit::Kilograms : WeightUnit::Pounds;
    layout.lengthUnit = m_lengthUnit->currentIndex() == 1 ? LengthUnit::Centimetres : LengthUnit::Inches;
    return layout;
}

void ImportMappingDialog::accept()
{
    const QString problem = LayoutProblem(layout(), m_imperial);
    if (!problem.isEmpty()) {
        ShowMessage(problem, MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    QDialog::accept();
}

void ImportMappingDialog::showRows()
{
    const bool header = m_header->isChecked();
    const int columns = static_cast<int>(m_fields.size());
    QStringList captions;
    for (int c = 0; c < columns; ++c) {
        const QString name
            = header && !m_table.rows.isEmpty() ? m_table.rows.first().cells.value(c).trimmed() : QString();
        captions.append(name.isEmpty() ? QStringLiteral("Column %1").arg(c + 1) : name);
    }
    m_rows->setHorizontalHeaderLabels(captions);
    const int first = header ? 1 : 0;
    for (int r = 0; r < ShownRows; ++r) {
        const int index = first + r;
        for (int c = 0; c < columns; ++c) {
            const QString text = index < m_table.rows.size() ? m_table.rows.at(index).cells.value(c) : QString();
            m_rows->setItem(r + 1, c, new QTableWidgetItem(text));
        }
    }
}

void ImportMappingDialog::updateReadable()
{
    const ImportLayout current = layout();
    const QString problem = LayoutProblem(current, m_imperial);
    if (!problem.isEmpty()) {
        m_readable->setText(problem);
        return;
    }
    // Counted on the first rows: a long file would make every choice wait.
    ImportTable sample;
    sample.rows = m_table.rows.mid(0, CountedRows + 1);
    const ImportResult result = ConvertImport(sample, current, m_imperial);
    const int rows = static_cast<int>(result.entries.size() + result.rejected.size());
    const QString of = m_table.rows.size() > sample.rows.size() ? QStringLiteral("of the first %1 rows").arg(rows)
                                                                : QStringLiteral("of %1 rows").arg(rows);
    m_readable->setText(QStringLiteral("%1 %2 can be read.").arg(result.entries.size()).arg(of)
                        + (result.rejected.isEmpty()
                               ? QString()
                               : QStringLiteral(" First that cannot: ") + DescribeRejected(result.rejected.mid(0, 1))));
}

ImportReviewDialog::ImportReviewDialog(const ImportReview& review, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportReviewDialog"));
    setWindowTitle(QStringLiteral("Import %1").arg(review.fileName));
    auto* column = new QVBoxLayout(this);
    QStringList lines;
    lines.append(review.imported == 1
                     ? QStringLiteral("1 entry can be imported from %1.").arg(review.fileName)
                     : QStringLiteral("%1 entries can be imported from %2.").arg(review.imported).arg(review.fileName));
    if (review.rejected.size() == 1)
        lines.append(QStringLiteral("1 row cannot be read and is left out:"));
    else if (!review.rejected.isEmpty())
        lines.append(QStringLiteral("%1 rows cannot be read and are left out:").arg(review.rejected.size()));
    m_summary = new QLabel(lines.join(QLatin1Char('\n')), this);
    m_summary->setObjectName(QStringLiteral("ImportSummary"));
    m_summary->setWordWrap(true);
    column->addWidget(m_summary);
    if (!review.rejected.isEmpty()) {
        auto* list = new QPlainTextEdit(DescribeRejected(review.rejected, 1000), this);
        list->setObjectName(QStringLiteral("ImportRejected"));
        list->setAccessibleName(QStringLiteral("Rows left out"));
        list->setReadOnly(true);
        column->addWidget(list, 1);
    }
    auto note = [&](const QString& text, const QString& name) {
        auto* label = new QLabel(text, this);
        label->setObjectName(name);
        label->setWordWrap(true);
        column->addWidget(label);
    };
    if (!review.unlikelyLines.isEmpty())
        note(QStringLiteral("Values on lines %1 look unlikely; they are imported as they are.")
                 .arg(Lines(review.unlikelyLines)),
             QStringLiteral("ImportUnlikely"));
    if (review.entryLimit > 0 && review.entriesAfter > review.entryLimit)
        note(QStringLiteral("The log will hold up to %1 entries, more than the entry limit of %2 (Edit > "
                            "Preferences). The add command stays closed until the limit is raised.")
                 .arg(review.entriesAfter)
                 .arg(review.entryLimit),
             QStringLiteral("ImportOverLimit"));
    if (review.sameDates > 0) {
        note(review.sameDates == 1 ? QStringLiteral("1 of the entries falls on a date the log already has. For it:")
                                   : QStringLiteral("%1 of the entries fall on dates the log already has. For those:")
                                         .arg(review.sameDates),
             QStringLiteral("ImportSameDates"));
        m_rules = new QButtonGroup(this);
        const std::pair<SameDate, QString> choices[] = {
            {SameDate::Skip, QStringLiteral("&Skip them, keep the log's entries")},
            {SameDate::Replace, QStringLiteral("&Replace the log's entries of those dates")},
            {SameDate::KeepBoth, QStringLiteral("&Keep both")},
        };
        for (const auto& [rule, text] : choices) {
            auto* button = new QRadioButton(text, this);
            button->setObjectName(QStringLiteral("SameDate%1").arg(static_cast<int>(rule)));
            m_rules->addButton(button, static_cast<int>(rule));
            column->addWidget(button);
        }
        m_rules->button(static_cast<int>(SameDate::Skip))->setChecked(true);
    }
    column->addWidget(ImportButtons(this));
    setMinimumWidth(480);
}

SameDate ImportReviewDialog::rule() const
{
    return m_rules ? static_cast<SameDate>(m_rules->checkedId()) : SameDate::Skip;
}

QRadioButton* ImportReviewDialog::ruleButton(SameDate rule) const
{
    return m_rules ? qobject_cast<QRadioButton*>(m_rules->button(static_cast<int>(rule))) : nullptr;
}

bool DialogImportQuestions::chooseLayout(const QString& fileName, const ImportTable& table, bool imperial,
                                         ImportLayout& layout)
{
    ImportMappingDialog dialog(fileName, table, imperial, layout, m_parent);
    if (RunImportDialog(&dialog) != QDialog::Accepted)
        return false;
    layout = dialog.layout();
    return true;
}

bool DialogImportQuestions::confirm(const ImportReview& review, SameDate& rule)
{
    ImportReviewDialog dialog(review, m_parent);
    if (RunImportDialog(&dialog) != QDialog::Accepted)
        return false;
    rule = dialog.rule();
    return true;
}

void DialogImportQuestions::tell(const QString& message) { ShowMessage(message, MsgButtons::Ok, MsgIcon::Exclamation); }

void SetImportDialogHook(std::function<void(QDialog*)> hook) { Hook() = std::move(hook); }

int RunImportDialog(QDialog* dialog)
{
    if (Hook())
        Hook()(dialog);
    return dialog->exec();
}

QString AskImportFileName(QWidget* parent)
{
    if (FileResponder())
        return FileResponder()();
    return QFileDialog::getOpenFileName(
        parent, QStringLiteral("Import"), QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
        QStringLiteral("Logs (*.csv *.txt *.tsv *.xls);;CSV files (*.csv *.txt *.tsv);;Kalmora workbooks (*.xls);;"
                       "All files (*)"));
}

void SetImportFileResponder(std::function<QString()> responder) { FileResponder() = std::move(responder); }
