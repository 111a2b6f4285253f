#pragma once

#include "ImportCommand.h"

#include <QDialog>
#include <QList>

#include <functional>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;
class QTableWidget;

// The windows of File > Import...: the mapping dialog, which shows the first rows of the file
// and lets the user say what each column holds, and the review, which says what will be
// imported and asks what to do with entries on dates the log already has.

class ImportMappingDialog : public QDialog {
    Q_OBJECT
public:
    // Rows of the file shown.
    static constexpr int ShownRows = 8;

    ImportMappingDialog(const QString& fileName, const ImportTable& table, bool imperial, const ImportLayout& layout,
                        QWidget* parent = nullptr);

    // The layout as the controls now say.
    ImportLayout layout() const;

    QTableWidget* rows() const { return m_rows; }
    QComboBox* fieldBox(int column) const { return m_fields.at(column); }
    QCheckBox* headerBox() const { return m_header; }
    QComboBox* dateOrderBox() const { return m_dateOrder; }
    QComboBox* decimalBox() const { return m_decimal; }
    QComboBox* weightUnitBox() const { return m_weightUnit; }
    QComboBox* lengthUnitBox() const { return m_lengthUnit; }
    QLabel* readable() const { return m_readable; }

    // "Import": refused with a message while the layout has a problem.
    void accept() override;

private:
    void showRows();
    void updateReadable();

    const ImportTable& m_table;
    bool m_imperial;
    QTableWidget* m_rows;
    QList<QComboBox*> m_fields;
    QCheckBox* m_header;
    QComboBox* m_dateOrder;
    QComboBox* m_decimal;
    QComboBox* m_weightUnit;
    QComboBox* m_lengthUnit;
    QLabel* m_readable;
};

class ImportReviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit ImportReviewDialog(const ImportReview& review, QWidget* parent = nullptr);

    SameDate rule() const;
    QRadioButton* ruleButton(SameDate rule) const;
    QLabel* summary() const { return m_summary; }

private:
    QLabel* m_summary;
    QButtonGroup* m_rules = nullptr;
};

// The dialogs as an import's questions, over `parent`.
class DialogImportQuestions : public ImportQuestions {
public:
    explicit DialogImportQuestions(QWidget* parent)
        : m_parent(parent)
    {
    }
    bool chooseLayout(const QString& fileName, const ImportTable& table, bool imperial, ImportLayout& layout) override;
    bool confirm(const ImportReview& review, SameDate& rule) override;
    void tell(const QString& message) override;

private:
    QWidget* m_parent;
};

// Tests watch each import dialog just before it runs (modally).
void SetImportDialogHook(std::function<void(QDialog*)> hook);
// Runs a dialog modally, after the hook.
int RunImportDialog(QDialog* dialog);

// The file to import, chosen in an open-file dialog; the empty text when cancelled. Tests
// answer it with a responder.
QString AskImportFileName(QWidget* parent);
void SetImportFileResponder(std::function<QString()> responder);
